#pragma once

#include "StreamScanner.h"

#include <cstddef>
#include <string>

namespace audioengine {

// The frame-information text of a stream, its fields separated by "|":
//   0 MPEG version "1", "2" or "2.5"      8 private bit "1"/"0"
//   1 layer "1", "2" or "3"               9 copyright "1"/"0"
//   2 "CBR" or "VBR"                     10 original "1"/"0"
//   3 data rate in bits per second       11 channels "1" or "2"
//   4 sample rate in Hz                  12 file size in bytes
//   5 CRC present "1"/"0"                13 audio frames
//   6 emphasis "None", "50/15 ms",       14 length in whole seconds
//     "Reserved" or "CCITT J.17"
//   7 channel mode "Stereo", "Joint Stereo", "Dual Channel" or "Single Channel"
// The text is at most 130 characters long.
std::string formatFrameInfo(const StreamSummary &summary);

// The same into out (size bytes, NUL-terminated, cut short to fit), without
// allocating; returns the text's length.
std::size_t formatFrameInfo(const StreamSummary &summary, char *out, std::size_t size);

}  // namespace audioengine
