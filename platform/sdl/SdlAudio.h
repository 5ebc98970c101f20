#pragma once

#include <thread>
#include <type_traits>
#include <utility>

// How every part of the project that plays sound sets SDL's audio up: short
// sounds here and the audio engine alike. Plain C++ and SDL, no Qt.
//
// - Hints first: SDL installs no signal handlers (the host program owns
//   SIGINT and SIGTERM), and the audio device carries the program's name
//   unless the host has named it already.
// - The driver is the one SDL_AUDIODRIVER names, otherwise the first of
//   SDL's own list that starts (its test drivers, "disk" and "dummy", only
//   when named).
// - SDL keeps data for each thread that calls it and frees it only for its
//   own threads. Device work therefore runs on short-lived threads of ours,
//   which free that data before they end, never on the host's threads.
namespace platform::sdl {

// Sets the hints above, once however often it is called, from any thread.
void setAudioHints();

// Sets the hints and starts SDL's audio. False when no driver starts. Each
// successful call is matched by one stopAudio().
bool startAudio();
void stopAudio();

// Frees what SDL keeps for the calling thread: the last SDL call of each
// thread of ours.
void releaseThreadData();

// Starts `work` on a new thread that releases SDL's data for itself when
// the work is done.
template <typename Work>
std::thread startOwnThread(Work work)
{
    return std::thread([work = std::move(work)]() mutable {
        work();
        releaseThreadData();
    });
}

// Runs `work` on a short-lived thread of our own and gives its result.
template <typename Work>
auto runOnOwnThread(Work work) -> decltype(work())
{
    using Result = decltype(work());
    if constexpr (std::is_void_v<Result>) {
        startOwnThread(std::move(work)).join();
    } else {
        Result result{};
        startOwnThread([&] { result = work(); }).join();
        return result;
    }
}

}  // namespace platform::sdl
