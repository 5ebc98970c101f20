#pragma once

#include <QLoggingCategory>

namespace kestrum {

// Kestrum's messages: "kestrum". Debug messages are off unless
// QT_LOGGING_RULES turns them on ("kestrum.debug=true").
Q_DECLARE_LOGGING_CATEGORY(kestrumLog)

}  // namespace kestrum
