#pragma once

#include <QString>

namespace SonbrelMP3 {
class RaisedError;
}

namespace sbmp3 {

// sbmp3's exit codes, after the BSD sysexits convention: each error number
// of the library's table falls in one class.
enum ExitCode {
    kSuccess = 0,
    kUsage = 64,        // the command line is wrong
    kDataError = 65,    // a file's content or a value is refused
    kNoInput = 66,      // a file or folder is not there
    kUnavailable = 69,  // no sound: device, driver or engine library
    kSoftware = 70,     // any other error
    kOutOfMemory = 71,
    kIOError = 74,      // reading or writing failed
    kInUse = 75,        // the file is in use; try again later
    kNoPermission = 77,
    kInterrupted = 130,  // SIGINT
    kTerminated = 143,   // SIGTERM
};

// The exit code of a library error number.
int exitCodeFor(int number);

// The first failure of a run decides its exit code; later ones are only
// reported.
class Outcome {
public:
    void fail(int exitCode)
    {
        if (exitCode_ == kSuccess)
            exitCode_ = exitCode;
    }
    int exitCode() const { return exitCode_; }

private:
    int exitCode_ = kSuccess;
};

// Writes "sbmp3: <subject>: <message>" to standard error; no subject, no
// "<subject>: ".
void printError(const QString &subject, const QString &message);

// Reports an error the library raised ("<description> (error <number>)")
// and gives its exit code.
int reportError(const QString &subject, const SonbrelMP3::RaisedError &error);

}  // namespace sbmp3
