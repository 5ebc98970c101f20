#include "KestrumLog.h"

namespace kestrum {

Q_LOGGING_CATEGORY(kestrumLog, "kestrum", QtInfoMsg)
Q_LOGGING_CATEGORY(kestrumTimingLog, "kestrum.timing", QtInfoMsg)

}  // namespace kestrum
