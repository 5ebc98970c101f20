#pragma once

#include <QLoggingCategory>

namespace platform {

// The platform layer's messages: "tarnel.platform". Debug messages are off
// unless QT_LOGGING_RULES turns them on ("tarnel.*.debug=true").
Q_DECLARE_LOGGING_CATEGORY(platformLog)

}  // namespace platform
