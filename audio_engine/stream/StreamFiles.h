#pragma once

#include "StreamScanner.h"

#include <cstdint>
#include <optional>

namespace audioengine {

// The engine's file operations on streams and tag blocks. Each opens the file
// by name and takes regular files only (a folder, pipe or device is never
// read as a stream). Results are the SBMP3_ERR_ numbers of sonbrel_mp3.h.

// 0 when the file is MPEG audio (see locateStream); SBMP3_ERR_BAD_FILE_NAME
// for a null or empty path, SBMP3_ERR_FILE_NOT_FOUND, SBMP3_ERR_ACCESS when it
// exists but cannot be opened, SBMP3_ERR_NOT_AUDIO (empty files and folders
// too), SBMP3_ERR_DEVICE_IO when reading fails.
std::int16_t probeMpegFile(const char *path);

// Fills info (SBMP3_FRAME_INFO_SIZE bytes, NUL-terminated, zero-filled on any
// failure) with the text of formatFrameInfo. Returns 1 on success,
// SBMP3_ERR_FILE_NOT_FOUND when the file is missing, 0 for anything else:
// a null or empty path, a file that is not MPEG audio or cannot be read.
std::int16_t frameInfoOfFile(const char *path, char *info);

// The summary of the file's stream (see summarizeStream), or nothing when the
// file cannot be read or is not MPEG audio.
std::optional<StreamSummary> summarizeFile(const char *path);

// Copies the file's last SBMP3_TAG_BLOCK_SIZE bytes into tag, or zeros when
// the file is shorter (so the block never starts with "TAG"). 0 on success;
// SBMP3_ERR_BAD_FILE_NAME for null arguments or an empty path,
// SBMP3_ERR_FILE_NOT_FOUND, SBMP3_ERR_ACCESS when it cannot be opened or is
// a folder, SBMP3_ERR_DEVICE_IO when reading fails. tag is zero-filled on
// failure.
std::int16_t readTagBlockOfFile(const char *path, char *tag);

// Writes the SBMP3_TAG_BLOCK_SIZE bytes of tag as the file's ID3v1 block:
// over the last 128 bytes when they start with "TAG", else appended. The bytes
// before the block are never written. Refuses a block that does not start with
// "TAG" (SBMP3_ERR_BAD_FILE_NAME, like null arguments) and a file that is not
// MPEG audio (SBMP3_ERR_NOT_AUDIO). A failed write leaves the file as it was:
// an append is cut back to the old size, an overwrite gets its old block
// back. Errors: SBMP3_ERR_FILE_NOT_FOUND; SBMP3_ERR_ACCESS for a read-only
// file or file system, or a folder; SBMP3_ERR_DEVICE_IO for a full disk, a
// file size limit or an I/O error. A process that keeps SIGXFSZ at its
// default action is ended by the system when an append passes RLIMIT_FSIZE.
std::int16_t writeTagBlockToFile(const char *path, const char *tag);

}  // namespace audioengine
