#pragma once

#include <QLoggingCategory>

namespace kestrum {

// Kestrum's messages: "kestrum". Debug messages are off unless
// QT_LOGGING_RULES turns them on ("kestrum.debug=true").
Q_DECLARE_LOGGING_CATEGORY(kestrumLog)
// When the clock display shows each new second ("kestrum.timing", debug
// messages, off by default): what the timing benchmark reads.
Q_DECLARE_LOGGING_CATEGORY(kestrumTimingLog)

}  // namespace kestrum
