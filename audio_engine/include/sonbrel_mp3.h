/*
 * The plain C interface of the audio engine libSonbrelMP3.so.
 *
 * The engine keeps one current track per process: no call names a player.
 * File names are NUL-terminated byte strings in the file system's encoding.
 * Every function may be called from the host's user-interface thread at any
 * time and in any order; window callbacks come from the engine's own thread.
 *
 * Results of type int16_t are 0 for success unless the function says
 * otherwise; failures use the SBMP3_ERR_ numbers below.
 */
#ifndef SONBREL_MP3_H
#define SONBREL_MP3_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define SBMP3_API __attribute__((visibility("default")))
#else
#define SBMP3_API
#endif

/* Sizes of the buffers and arrays exchanged with the engine. */
enum {
    SBMP3_TAG_BLOCK_SIZE = 128,   /* ID3 version 1 block */
    SBMP3_FRAME_INFO_SIZE = 200,  /* "|"-separated frame information */
    SBMP3_CHANNEL_SELECTORS = 3,  /* 0 both channels, 1 left, 2 right */
    SBMP3_WAVE_SAMPLES = 256,     /* wave samples per channel selector */
    SBMP3_SPECTRUM_BINS = 128,    /* spectrum magnitudes per channel selector */
    SBMP3_EQ_GAIN_SLOTS = 32      /* band gains passed to set_eq */
};

/* Error numbers that engine results use: rows of the control library's
 * error table, which gives each its text. get_frame_info reports success
 * with any other non-zero value (1). */
enum {
    SBMP3_ERR_BAD_FILE_NAME = 52,
    SBMP3_ERR_FILE_NOT_FOUND = 53,
    SBMP3_ERR_FILE_ALREADY_OPEN = 55,
    SBMP3_ERR_DEVICE_IO = 57,
    SBMP3_ERR_DEVICE_UNAVAILABLE = 68,
    SBMP3_ERR_ACCESS = 75,
    SBMP3_ERR_PATH_NOT_FOUND = 76,
    SBMP3_ERR_FILE_LOCKED = 30074,
    SBMP3_ERR_NOT_AUDIO = 30075,
    SBMP3_ERR_DEVICE_ALREADY_OPEN = 30076,
    SBMP3_ERR_NO_AUDIO_DRIVER = 30098,
    SBMP3_ERR_NO_SOUND_MEMORY = 30099,
    SBMP3_ERR_DEVICE_SYNCHRONOUS = 30100,
    SBMP3_ERR_NO_AUDIO_DEVICE = 30101,
    SBMP3_ERR_UNKNOWN_MEDIA = 30102,
    SBMP3_ERR_OUT_OF_MEMORY = 30104
};

/* Status values reported by get_status. */
enum {
    SBMP3_STATUS_ENDED = 0,
    SBMP3_STATUS_PLAYING = 1,
    SBMP3_STATUS_PAUSED = 2,
    SBMP3_STATUS_STOPPED = 3
};

/*
 * A window that wants to hear about new status. The record is owned by the
 * caller; the engine calls invalidate from its own thread whenever new status
 * is ready, until release_window has returned for that record. invalidate
 * should only post a notice to the caller's own thread: it may call back
 * into the engine, but it must not wait for a thread that is inside an
 * engine call.
 */
typedef struct sbmp3_window {
    void (*invalidate)(struct sbmp3_window *self);
} sbmp3_window;

/* Attaches the window that is told about new status; the first argument is 0. */
SBMP3_API void play_mp3(int32_t reserved, sbmp3_window *window);

/* Detaches a window: once this returns, the engine never calls it again. */
SBMP3_API void release_window(sbmp3_window *window);

/* Starts the file from its beginning, replacing any current track. */
SBMP3_API int16_t play(const char *file_name);

/* As play, rising from silence to full level over attack_seconds. */
SBMP3_API int16_t fade_in(const char *file_name, float attack_seconds);

SBMP3_API void continue_playing(void);
SBMP3_API void pause_playing(void);
SBMP3_API void stop_playing(void);

/* Falls to silence over decay_seconds (above 0, at most 20), then stops. */
SBMP3_API void fade_out(float decay_seconds);

/* Continues playback from the given second of the track. */
SBMP3_API void seek_playing(double seconds);

/* Interval between status updates in milliseconds, 10 to 250. */
SBMP3_API void set_vu_interval(int16_t *interval_ms);

/* 1 from the moment the track has played to its end until the next start. */
SBMP3_API int16_t is_finished(void);

/*
 * Fills the status, the position in seconds heard so far and the three
 * visualisation arrays, laid out with channel selector c and index i at
 * element i * 3 + c:
 *   levels:   SBMP3_CHANNEL_SELECTORS peaks, 0 to 32767
 *   wave:     SBMP3_CHANNEL_SELECTORS * SBMP3_WAVE_SAMPLES samples
 *   spectrum: SBMP3_CHANNEL_SELECTORS * SBMP3_SPECTRUM_BINS magnitudes, 0 to 1
 */
SBMP3_API void get_status(int16_t *status, double *position, int16_t *levels,
                          int16_t *wave, float *spectrum);

/*
 * Copies the file's last SBMP3_TAG_BLOCK_SIZE bytes into tag.
 * Returns 0 on success, else an error number.
 */
SBMP3_API int16_t get_id3_tag(const char *file_name, char *tag);

/*
 * Writes the SBMP3_TAG_BLOCK_SIZE bytes of tag as the file's ID3 version 1
 * block, over an existing one or appended. Returns 0 on success, else an
 * error number; a failed write leaves the file as it was.
 */
SBMP3_API int16_t set_id3_tag(const char *file_name, const char *tag);

/*
 * Fills info (SBMP3_FRAME_INFO_SIZE bytes) with the "|"-separated stream
 * information. Returns 0 when the file is not MPEG audio, 53 when it does
 * not exist, any other value on success.
 */
SBMP3_API int16_t get_frame_info(const char *file_name, char *info);

/* Equalizer: band frequencies in Hz, in band order. */
SBMP3_API void create_eq(const int16_t *frequencies, int16_t count);
/* Equalizer: SBMP3_EQ_GAIN_SLOTS band gains in dB; slots past the band count are ignored. */
SBMP3_API void set_eq(const float *gains);
/* Overall gains of the left and right channel in dB. */
SBMP3_API void set_gain(const float *left, const float *right);
/* 1 switches the equalizer on, 0 off. */
SBMP3_API void eq_state(int16_t on);

#ifdef __cplusplus
}
#endif

#endif /* SONBREL_MP3_H */
