#pragma once

#include <QString>

namespace platform {

// What a hosted control may ask of its container.
class ContainerSite {
public:
    enum class MessageIcon { Information, Warning, Critical };

    virtual ~ContainerSite() = default;
    // True when the host runs (user mode), false while a form is designed.
    virtual bool userMode() const = 0;
    // A property of the control has changed; a container that saves the
    // control's properties marks its form as changed.
    virtual void propertyChanged(const QString &name) = 0;
    // A modal message box.
    virtual void messageBox(const QString &text, const QString &title, MessageIcon icon) = 0;
};

}  // namespace platform
