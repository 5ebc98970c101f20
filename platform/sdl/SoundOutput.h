#pragma once

// The two sound calls of the Windows API that play short system sounds,
// with the same arguments and results, over SDL2's audio output. Code written
// against the Windows API uses them after `using namespace platform;`.
//
// - One sound plays at a time, as with the Windows call: a new sound stops
//   the one before it, unless SND_NOSTOP asks not to interrupt it.
// - Sounds are WAV files of any format SDL reads (PCM, float, IMA ADPCM,
//   A-law, mu-law), or the same WAV data in memory (SND_MEMORY); SDL
//   converts them to what the device takes.
// - There is no default system sound here, so SND_NODEFAULT changes nothing:
//   a file that cannot be played is simply not played.
// - All SDL work happens on threads of this layer's own, so that no per-thread
//   data of SDL is left behind on the caller's threads.
namespace platform {

inline constexpr unsigned SND_SYNC = 0x0000;      // return when the sound has ended
inline constexpr unsigned SND_ASYNC = 0x0001;     // return as soon as it plays
inline constexpr unsigned SND_NODEFAULT = 0x0002; // no default sound when the file fails
inline constexpr unsigned SND_MEMORY = 0x0004;    // the name points to a WAV image in memory
inline constexpr unsigned SND_LOOP = 0x0008;      // repeat until stopped; only with SND_ASYNC
inline constexpr unsigned SND_NOSTOP = 0x0010;    // fail rather than stop a sound that plays

// The number of sound output devices; 0 when there is no working audio
// output (no driver could start, or it reports no device).
unsigned waveOutGetNumDevs();

// Plays the WAV file `soundName`; non-zero when it plays (SND_ASYNC) or has
// played to its end. A null `soundName` stops the sound that plays, if any,
// and returns non-zero. Gives 0 for a file that is missing or not a WAV file,
// when no device can be opened, and with SND_NOSTOP while a sound plays.
//
// With SND_MEMORY, `soundName` points to a whole WAV image ("RIFF", its
// length, "WAVE", ...); its length is read from its header, and the data is
// copied, so the caller's buffer need not outlive the call. With SND_LOOP
// (which needs SND_ASYNC, and gives 0 without it) the sound plays again and
// again, without a gap, until it is stopped or another sound starts.
int sndPlaySoundA(const char *soundName, unsigned flags);

// True while a sound started here still plays. A looping sound stops
// playing when its device goes away (unplugged, the sound server gone).
bool soundIsPlaying();

} // namespace platform
