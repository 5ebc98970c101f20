#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>

namespace platform {

// An error that a member of a hosted control raises: it reaches the host
// with its number, source and description, whether the host called the
// member directly or by name. Header-only, so that a control library and a
// host that does not link it share one type.
class DispatchError : public std::runtime_error {
public:
    DispatchError(std::int32_t number, const QString &source, const QString &description)
        : std::runtime_error(whatText(number, source, description)),
          number_(number),
          source_(source),
          description_(description)
    {
    }

    std::int32_t number() const noexcept { return number_; }
    const QString &source() const noexcept { return source_; }
    const QString &description() const noexcept { return description_; }

private:
    static std::string whatText(std::int32_t number, const QString &source, const QString &description)
    {
        QString text = QStringLiteral("error %1: %2").arg(number).arg(description);
        if (!source.isEmpty())
            text += QStringLiteral(" (%1)").arg(source);
        return text.toStdString();
    }

    std::int32_t number_;
    QString source_;
    QString description_;
};

}  // namespace platform
