// In a build with AddressSanitizer, the leak check of a Qt program runs as
// soon as main() has returned, before the process's static objects go,
// rather than at the very end of the process. By then everything the
// program made is gone, while Qt's own service threads (the D-Bus
// connection thread) still run: at the very end such a thread may still be
// finishing, and the thread data it frees only as it finishes would be
// reported as a leak now and then.
// In other builds this does nothing.
#pragma once

#include <QCoreApplication>

#if defined(__SANITIZE_ADDRESS__)
#define PLATFORM_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PLATFORM_LEAK_CHECK 1
#endif
#endif

#ifdef PLATFORM_LEAK_CHECK
#include <sanitizer/lsan_interface.h>

#include <cstdlib>
#endif

namespace platform {

// Call once, before the QCoreApplication is made. When the application
// object goes away, a check is registered to run at exit before the static
// objects that already exist then (exit handlers run newest first); the
// usual check at the process's very end is then skipped.
inline void checkLeaksWhenTheApplicationEnds()
{
#ifdef PLATFORM_LEAK_CHECK
    qAddPostRoutine([] { std::atexit([] { __lsan_do_leak_check(); }); });
#endif
}

} // namespace platform
