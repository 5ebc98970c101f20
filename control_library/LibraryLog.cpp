#include "LibraryLog.h"

namespace SonbrelMP3 {

Q_LOGGING_CATEGORY(libraryLog, "tarnel.library", QtInfoMsg)
Q_LOGGING_CATEGORY(engineLog, "tarnel.engine", QtInfoMsg)

}  // namespace SonbrelMP3
