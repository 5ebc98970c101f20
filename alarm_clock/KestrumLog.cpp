#include "KestrumLog.h"

namespace kestrum {

Q_LOGGING_CATEGORY(kestrumLog, "kestrum", QtInfoMsg)

}  // namespace kestrum
