#include "RaisedError.h"

#include "LibraryLog.h"
#include "LookupTables.h"

namespace SonbrelMP3 {

void raiseCode(std::int32_t number)
{
    const QString description = ErrorText(number);
    qCDebug(libraryLog).noquote() << "raising error" << number << "(" + description + ")";
    throw RaisedError(number, QString::fromLatin1(kPlayerErrorSource), description);
}

void logSkippedStep(const std::exception_ptr &error) noexcept
{
    if (!libraryLog().isDebugEnabled())
        return;
    try {
        try {
            std::rethrow_exception(error);
        } catch (const platform::DispatchError &raised) {
            qCDebug(libraryLog).noquote() << "skipped a step: error" << raised.number() << "from"
                                          << raised.source() << "-" << raised.description();
        } catch (const std::exception &other) {
            qCDebug(libraryLog).noquote() << "skipped a step:" << other.what();
        } catch (...) {
            qCDebug(libraryLog) << "skipped a step that failed with an unknown exception";
        }
    } catch (...) {
        // Logging never breaks the member that goes on.
    }
}

}  // namespace SonbrelMP3
