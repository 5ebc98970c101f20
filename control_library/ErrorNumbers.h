#pragma once

#include <cstdint>

namespace SonbrelMP3 {

// The numbers of the errors a host can meet, as RaisedError::number() (or
// platform::DispatchError::number()) gives them. ErrorText gives the
// description of those the library passes on from the engine or from an
// entry; the others carry a description of their own.

// Errors of the engine and of the files it reads and writes, passed on by
// the player (PlayStart, PlayFadeIn), the entries (tags, SetFileName) and
// the playlist (AddEntry), source "SBMP3Player".
inline constexpr std::int32_t kBadFileNameError = 52;
inline constexpr std::int32_t kFileNotFoundError = 53;
inline constexpr std::int32_t kFileAlreadyOpenError = 55;
inline constexpr std::int32_t kDeviceIOError = 57;
inline constexpr std::int32_t kDeviceUnavailableError = 68;
inline constexpr std::int32_t kPathFileAccessError = 75;
inline constexpr std::int32_t kPathNotFoundError = 76;
inline constexpr std::int32_t kFileInPlayListError = 30073;
inline constexpr std::int32_t kFileLockedError = 30074;
inline constexpr std::int32_t kNotAudioFileError = 30075;
inline constexpr std::int32_t kDeviceAlreadyOpenError = 30076;
inline constexpr std::int32_t kNoAudioDriverError = 30098;
inline constexpr std::int32_t kNoSoundMemoryError = 30099;
inline constexpr std::int32_t kDeviceSynchronousError = 30100;
inline constexpr std::int32_t kNoAudioDeviceError = 30101;
inline constexpr std::int32_t kUnknownMediaError = 30102;
inline constexpr std::int32_t kOutOfMemoryError = 30104;

// The engine library could not be loaded (the description names the path
// and the loader's reason), or it lacks a function (the description names
// it). Raised where the engine's result would have been: PlayStart,
// PlayFadeIn, SetFileName's result, AddEntry, the tag properties.
inline constexpr std::int32_t kEngineMissingError = 48;
inline constexpr std::int32_t kEngineFunctionMissingError = 453;

// GenreList, and an ID3Genre that has no one-byte form.
inline constexpr std::int32_t kUnknownGenreError = 30103;
// An ID3Track outside 0 to 255.
inline constexpr std::int32_t kInvalidPropertyValueError = 380;

// The playlist: a key already in use (AddEntry), no playlist file name or a
// file without the "#EXTM3U" header (LoadPlayList, SavePlayList), no entry
// at an index (RemoveEntry, MovePlayListEntry, AddEntry at a place that
// does not exist). Loading and saving also raise 52, 53, 75 and 76, 57 for
// a full or failing disk, and 30104 for a playlist file larger than a list
// should hold (or a list larger than the memory there is).
inline constexpr std::int32_t kKeyInUseError = 457;
inline constexpr std::int32_t kNoPlayListFileError = 30077;
inline constexpr std::int32_t kNoPlayListEntryError = 30078;

// The equalizer (source "SonbrelMP3").
inline constexpr std::int32_t kBandExistsError = 30090;
inline constexpr std::int32_t kNoSuchBandError = 30091;
inline constexpr std::int32_t kNoBandsError = 30092;

// A host that creates the controls by ProgID and calls their members by
// name meets these from the control host (source "ControlHost"): a value
// of the wrong type, no object, a read-only property, a control that cannot
// be created, no member of that name, the wrong number of arguments; and 48
// and 453 above for a control library that cannot be loaded or lacks its
// factory; 7 when memory runs out in a member and 51 for any other fault
// that is not one of the member's own errors.
inline constexpr std::int32_t kHostOutOfMemoryError = 7;
inline constexpr std::int32_t kInternalError = 51;
inline constexpr std::int32_t kTypeMismatchError = 13;
inline constexpr std::int32_t kObjectNotSetError = 91;
inline constexpr std::int32_t kPropertyReadOnlyError = 383;
inline constexpr std::int32_t kCannotCreateObjectError = 429;
inline constexpr std::int32_t kNoSuchMemberError = 438;
inline constexpr std::int32_t kWrongArgumentCountError = 450;

}  // namespace SonbrelMP3
