// bench_pacer: reads raw audio from standard input no faster than a sound
// card would play it, one period at a time, and throws it away. With
// `mpg123 -q -s FILE | bench_pacer 176400 4096` it is the anchor of
// bench_engine's real-time CPU figure: a plain decoder feeding a device.
//
// Usage: bench_pacer BYTES_PER_SECOND PERIOD_BYTES
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include <unistd.h>

int main(int argc, char **argv)
{
    const long long rate = argc > 2 ? std::atoll(argv[1]) : 0;
    const long long period = argc > 2 ? std::atoll(argv[2]) : 0;
    if (rate <= 0 || period <= 0) {
        std::fprintf(stderr, "usage: %s BYTES_PER_SECOND PERIOD_BYTES\n", argv[0]);
        return 2;
    }
    std::vector<char> buffer(static_cast<std::size_t>(period));
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    long long consumed = 0;
    for (;;) {
        long long got = 0;
        while (got < period) {
            const ssize_t count = ::read(0, buffer.data() + got, static_cast<std::size_t>(period - got));
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                return 0;
            got += count;
        }
        consumed += got;
        // The period just taken ends playing at start + consumed / rate.
        const long long ns = consumed * 1000000000LL / rate;
        timespec until = start;
        until.tv_sec += static_cast<time_t>(ns / 1000000000LL);
        until.tv_nsec += static_cast<long>(ns % 1000000000LL);
        if (until.tv_nsec >= 1000000000L) {
            ++until.tv_sec;
            until.tv_nsec -= 1000000000L;
        }
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
    }
}
