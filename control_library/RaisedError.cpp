#include "RaisedError.h"

#include "LookupTables.h"

namespace SonbrelMP3 {

namespace {

std::string whatText(std::int32_t number, const QString &source, const QString &description)
{
    QString text = QStringLiteral("error %1: %2").arg(number).arg(description);
    if (!source.isEmpty())
        text += QStringLiteral(" (%1)").arg(source);
    return text.toStdString();
}

}  // namespace

RaisedError::RaisedError(std::int32_t number, const QString &source, const QString &description)
    : std::runtime_error(whatText(number, source, description)),
      number_(number),
      source_(source),
      description_(description)
{
}

void raiseCode(std::int32_t number)
{
    throw RaisedError(number, QString::fromLatin1(kPlayerErrorSource), ErrorText(number));
}

}  // namespace SonbrelMP3
