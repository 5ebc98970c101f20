#include "ExitCodes.h"

#include <TarnelMP3/ErrorNumbers.h>
#include <TarnelMP3/RaisedError.h>

#include <cstdio>

namespace sbmp3 {

int exitCodeFor(int number)
{
    using namespace SonbrelMP3;
    switch (number) {
    case kBadFileNameError:
    case kFileNotFoundError:
    case kPathNotFoundError:
        return kNoInput;
    case kNotAudioFileError:
    case kNoPlayListFileError:
    case kNoPlayListEntryError:
    case kInvalidPropertyValueError:
    case kUnknownGenreError:
    case kKeyInUseError:
    case kBandExistsError:
    case kNoSuchBandError:
    case kNoBandsError:
    case kTypeMismatchError:
        return kDataError;
    case kDeviceUnavailableError:
    case kDeviceAlreadyOpenError:
    case kNoAudioDriverError:
    case kNoSoundMemoryError:
    case kDeviceSynchronousError:
    case kNoAudioDeviceError:
    case kUnknownMediaError:
    case kEngineMissingError:
    case kEngineFunctionMissingError:
        return kUnavailable;
    case kHostOutOfMemoryError:
    case kOutOfMemoryError:
        return kOutOfMemory;
    case kDeviceIOError:
        return kIOError;
    case kFileAlreadyOpenError:
    case kFileInPlayListError:
    case kFileLockedError:
        return kInUse;
    case kPathFileAccessError:
        return kNoPermission;
    default:
        return kSoftware;
    }
}

void printError(const QString &subject, const QString &message)
{
    const QString line = subject.isEmpty() ? message : subject + QStringLiteral(": ") + message;
    std::fprintf(stderr, "sbmp3: %s\n", line.toLocal8Bit().constData());
}

int reportError(const QString &subject, const SonbrelMP3::RaisedError &error)
{
    printError(subject, QStringLiteral("%1 (error %2)").arg(error.description()).arg(error.number()));
    return exitCodeFor(error.number());
}

}  // namespace sbmp3
