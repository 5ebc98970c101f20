/* A small engine library for binding tests: a few of the engine's functions,
 * some deliberately missing (stop_playing among them), and counters that
 * the tests read. */
#include <sonbrel_mp3.h>

#include <string.h>

static int play_calls;
static char last_name[256];

SBMP3_API int stub_play_calls(void) { return play_calls; }
SBMP3_API const char *stub_last_name(void) { return last_name; }

SBMP3_API int16_t play(const char *file_name)
{
    ++play_calls;
    strncpy(last_name, file_name, sizeof last_name - 1);
    return 30101;
}

SBMP3_API int16_t is_finished(void) { return 1; }

SBMP3_API void set_vu_interval(int16_t *interval_ms)
{
    if (*interval_ms > 250)
        *interval_ms = 250;
}

SBMP3_API int16_t get_frame_info(const char *file_name, char *info)
{
    (void)file_name;
    memset(info, 'x', SBMP3_FRAME_INFO_SIZE); /* no terminating NUL */
    memcpy(info, "1|3|", 4);
    return 1;
}
