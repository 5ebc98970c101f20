#pragma once

#include <QLoggingCategory>

namespace SonbrelMP3 {

// The library's messages: "tarnel.library" for its controls and the steps
// they skip, "tarnel.engine" for the binding of the engine library. Debug
// messages are off unless QT_LOGGING_RULES turns them on
// ("tarnel.*.debug=true").
Q_DECLARE_LOGGING_CATEGORY(libraryLog)
Q_DECLARE_LOGGING_CATEGORY(engineLog)

}  // namespace SonbrelMP3
