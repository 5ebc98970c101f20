#pragma once

#include "ContainerSite.h"
#include "PropertyBag.h"

#include <QtPlugin>

namespace platform {

// The container events of a hosted control, besides its dispatch members:
// the host finds this interface with qobject_cast on the control's widget.
class HostedControl {
public:
    virtual ~HostedControl() = default;
    // The container that hosts the control; nullptr detaches it.
    virtual void setContainerSite(ContainerSite *site) = 0;
    // A new control placed on a form: the properties take their defaults.
    virtual void InitProperties() = 0;
    // A control restored with its form.
    virtual void ReadProperties(PropertyBag &bag) = 0;
    // The container saves the control's properties.
    virtual void WriteProperties(PropertyBag &bag) = 0;
};

}  // namespace platform

#define PLATFORM_HOSTED_CONTROL_IID "tarnel.platform.HostedControl/1.0"
Q_DECLARE_INTERFACE(platform::HostedControl, PLATFORM_HOSTED_CONTROL_IID)
