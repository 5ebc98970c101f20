#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace platform {

// The container's store for a control's persisted properties. A value is
// written together with its default, and a value equal to its default is
// left out of the store; reading a key that is not there gives the default.
class PropertyBag {
public:
    virtual ~PropertyBag() = default;
    virtual QVariant ReadProperty(const QString &name, const QVariant &defaultValue) = 0;
    virtual void WriteProperty(const QString &name, const QVariant &value, const QVariant &defaultValue) = 0;
};

// A property bag kept in memory, for hosts that save it themselves and for
// tests.
class MemoryPropertyBag : public PropertyBag {
public:
    QVariant ReadProperty(const QString &name, const QVariant &defaultValue) override
    {
        return values.value(name, defaultValue);
    }
    void WriteProperty(const QString &name, const QVariant &value, const QVariant &defaultValue) override
    {
        if (value == defaultValue)
            values.remove(name);
        else
            values.insert(name, value);
    }

    QVariantMap values;
};

}  // namespace platform
