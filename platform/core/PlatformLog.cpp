#include "PlatformLog.h"

namespace platform {

Q_LOGGING_CATEGORY(platformLog, "tarnel.platform", QtInfoMsg)

}  // namespace platform
