#pragma once

#include "DispatchError.h"

#include <QString>

#include <cstdint>
#include <exception>

namespace SonbrelMP3 {

// The source that errors passed on from the engine or from an entry carry,
// whichever class raises them.
inline constexpr char kPlayerErrorSource[] = "SBMP3Player";

// An error raised by a member of the library. It reaches the host with its
// number, its source and its description; a host that does not link the
// library catches it as platform::DispatchError.
class RaisedError : public platform::DispatchError {
public:
    using platform::DispatchError::DispatchError;
};

// Raises a code passed on from the engine or from an entry: the number
// unchanged, source "SBMP3Player", description from the error table.
[[noreturn]] void raiseCode(std::int32_t number);

// Logs a step that failed with `error` and was skipped (debug messages of
// "tarnel.library": the error's number, source and description).
void logSkippedStep(const std::exception_ptr &error) noexcept;

// Runs one step of a member in continue-on-error mode: a step that fails in
// any way is skipped, logged, and the member goes on with its next step.
// Returns whether the step completed.
template <typename Step>
bool runStep(Step &&step) noexcept
{
    try {
        step();
        return true;
    } catch (...) {
        logSkippedStep(std::current_exception());
        return false;
    }
}

}  // namespace SonbrelMP3
