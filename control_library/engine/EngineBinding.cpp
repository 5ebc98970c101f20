#include "engine/EngineBinding.h"

#include "ErrorNumbers.h"
#include "LibraryLog.h"
#include "SharedLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace SonbrelMP3 {

// The engine's error numbers are rows of the library's table.
static_assert(SBMP3_ERR_BAD_FILE_NAME == kBadFileNameError);
static_assert(SBMP3_ERR_FILE_NOT_FOUND == kFileNotFoundError);
static_assert(SBMP3_ERR_FILE_ALREADY_OPEN == kFileAlreadyOpenError);
static_assert(SBMP3_ERR_DEVICE_IO == kDeviceIOError);
static_assert(SBMP3_ERR_DEVICE_UNAVAILABLE == kDeviceUnavailableError);
static_assert(SBMP3_ERR_ACCESS == kPathFileAccessError);
static_assert(SBMP3_ERR_PATH_NOT_FOUND == kPathNotFoundError);
static_assert(SBMP3_ERR_FILE_LOCKED == kFileLockedError);
static_assert(SBMP3_ERR_NOT_AUDIO == kNotAudioFileError);
static_assert(SBMP3_ERR_DEVICE_ALREADY_OPEN == kDeviceAlreadyOpenError);
static_assert(SBMP3_ERR_NO_AUDIO_DRIVER == kNoAudioDriverError);
static_assert(SBMP3_ERR_NO_SOUND_MEMORY == kNoSoundMemoryError);
static_assert(SBMP3_ERR_DEVICE_SYNCHRONOUS == kDeviceSynchronousError);
static_assert(SBMP3_ERR_NO_AUDIO_DEVICE == kNoAudioDeviceError);
static_assert(SBMP3_ERR_UNKNOWN_MEDIA == kUnknownMediaError);
static_assert(SBMP3_ERR_OUT_OF_MEMORY == kOutOfMemoryError);

namespace {

constexpr const char *kFunctionNames[] = {
    "play_mp3", "release_window", "play", "fade_in", "continue_playing", "pause_playing",
    "stop_playing", "fade_out", "seek_playing", "set_vu_interval", "is_finished", "get_status",
    "get_id3_tag", "set_id3_tag", "get_frame_info", "create_eq", "set_eq", "set_gain", "eq_state",
};

const QString kEngineSource = QStringLiteral("SonbrelMP3");

// Calls `call` with the file name as the engine receives it: bytes in the
// file system's encoding. A name with a NUL character in it cannot name a
// file, and cut at the NUL it could name another one: it is not found.
template <typename Call>
std::int16_t withEngineName(const QString &fileName, Call &&call)
{
    if (fileName.contains(QChar(u'\0')))
        return SBMP3_ERR_FILE_NOT_FOUND;
    const QByteArray name = QFile::encodeName(fileName);
    return call(name.constData());
}

}  // namespace

EngineBinding::EngineBinding(QString libraryName, QStringList folders)
    : libraryName_(std::move(libraryName)), folders_(std::move(folders))
{
    static_assert(std::size(kFunctionNames) == FunctionCount);
}

// The library stays loaded: the engine may still run threads of its own, and
// a host that created a binding once may call it again until the process ends.
EngineBinding::~EngineBinding() = default;

QString EngineBinding::folderOfControlLibrary()
{
    const QString library =
        platform::pathOfLoadedObject(reinterpret_cast<const void *>(&EngineBinding::folderOfControlLibrary));
    return library.isEmpty() ? QString() : QFileInfo(library).absolutePath();
}

bool EngineBinding::isLoaded() const
{
    std::lock_guard lock(mutex_);
    return library_ != nullptr;
}

QString EngineBinding::loadedPath() const
{
    std::lock_guard lock(mutex_);
    return loadedPath_;
}

QString EngineBinding::loadError() const
{
    std::lock_guard lock(mutex_);
    return loadError_;
}

void EngineBinding::loadLibrary()
{
    loadTried_ = true;
    QStringList candidates;
    for (const QString &folder : folders_) {
        if (!folder.isEmpty())
            candidates << QDir(folder).filePath(libraryName_);
    }
    candidates << libraryName_;  // the dynamic loader's own search

    // Why each place failed: a path that is not there, or the loader's text.
    QStringList errors;
    for (const QString &candidate : candidates) {
        if (candidate != libraryName_ && !QFileInfo::exists(candidate)) {
            errors << QStringLiteral("%1: no such file").arg(candidate);
            continue;
        }
        QString error;
        if (auto library = platform::SharedLibrary::load(candidate, &error)) {
            library_ = std::make_unique<platform::SharedLibrary>(std::move(*library));
            loadedPath_ = candidate;
            loadError_.clear();
            qCDebug(engineLog) << "the engine library is" << candidate;
            return;
        }
        errors << (error.isEmpty() ? candidate : error);
    }
    loadError_ = errors.join(QStringLiteral("; "));
    qCWarning(engineLog).noquote() << "the engine library" << libraryName_ << "cannot be loaded:" << loadError_;
}

QFunctionPointer EngineBinding::resolve(Function function)
{
    std::lock_guard lock(mutex_);
    if (QFunctionPointer address = addresses_[function].load(std::memory_order_acquire))
        return address;
    if (!loadTried_)
        loadLibrary();
    if (!library_) {
        throw EngineUnavailable(kEngineMissingError, kEngineSource,
                                QStringLiteral("Error in loading DLL %1: %2")
                                    .arg(libraryName_, loadError_));
    }
    const QFunctionPointer address = library_->resolve(kFunctionNames[function]);
    if (address == nullptr) {
        if (!missingReported_.test(function)) {
            missingReported_.set(function);
            qCWarning(engineLog) << "the engine library" << loadedPath_ << "has no function"
                                 << kFunctionNames[function];
        }
        throw EngineUnavailable(kEngineFunctionMissingError, kEngineSource,
                                QStringLiteral("Can't find DLL entry point %1 in %2")
                                    .arg(QString::fromLatin1(kFunctionNames[function]),
                                         loadedPath_));
    }
    addresses_[function].store(address, std::memory_order_release);
    return address;
}

template <typename Signature>
Signature *EngineBinding::bind(Function function)
{
    QFunctionPointer address = addresses_[function].load(std::memory_order_acquire);
    if (address == nullptr)
        address = resolve(function);
    return reinterpret_cast<Signature *>(address);
}

void EngineBinding::play_mp3(std::int32_t reserved, sbmp3_window *window)
{
    bind<decltype(::play_mp3)>(PlayMp3)(reserved, window);
}

void EngineBinding::release_window(sbmp3_window *window)
{
    bind<decltype(::release_window)>(ReleaseWindow)(window);
}

std::int16_t EngineBinding::play(const QString &fileName)
{
    auto *function = bind<decltype(::play)>(Play);
    return withEngineName(fileName, [&](const char *name) { return function(name); });
}

std::int16_t EngineBinding::fade_in(const QString &fileName, float attackSeconds)
{
    auto *function = bind<decltype(::fade_in)>(FadeIn);
    return withEngineName(fileName,
                          [&](const char *name) { return function(name, attackSeconds); });
}

void EngineBinding::continue_playing()
{
    bind<decltype(::continue_playing)>(ContinuePlaying)();
}

void EngineBinding::pause_playing()
{
    bind<decltype(::pause_playing)>(PausePlaying)();
}

void EngineBinding::stop_playing()
{
    bind<decltype(::stop_playing)>(StopPlaying)();
}

void EngineBinding::fade_out(float decaySeconds)
{
    bind<decltype(::fade_out)>(FadeOut)(decaySeconds);
}

void EngineBinding::seek_playing(double seconds)
{
    bind<decltype(::seek_playing)>(SeekPlaying)(seconds);
}

void EngineBinding::set_vu_interval(std::int16_t &intervalMs)
{
    bind<decltype(::set_vu_interval)>(SetVuInterval)(&intervalMs);
}

std::int16_t EngineBinding::is_finished()
{
    return bind<decltype(::is_finished)>(IsFinished)();
}

void EngineBinding::get_status(std::int16_t &status, double &position, std::int16_t *levels,
                               std::int16_t *wave, float *spectrum)
{
    bind<decltype(::get_status)>(GetStatus)(&status, &position, levels, wave, spectrum);
}

std::int16_t EngineBinding::get_id3_tag(const QString &fileName, TagBlock &tag)
{
    auto *function = bind<decltype(::get_id3_tag)>(GetId3Tag);
    return withEngineName(fileName, [&](const char *name) { return function(name, tag.data()); });
}

std::int16_t EngineBinding::set_id3_tag(const QString &fileName, const TagBlock &tag)
{
    auto *function = bind<decltype(::set_id3_tag)>(SetId3Tag);
    return withEngineName(fileName, [&](const char *name) { return function(name, tag.data()); });
}

std::int16_t EngineBinding::get_frame_info(const QString &fileName, FrameInfoBuffer &info)
{
    auto *function = bind<decltype(::get_frame_info)>(GetFrameInfo);
    return withEngineName(fileName, [&](const char *name) { return function(name, info.data()); });
}

void EngineBinding::create_eq(const std::int16_t *frequencies, std::int16_t count)
{
    bind<decltype(::create_eq)>(CreateEq)(frequencies, count);
}

void EngineBinding::set_eq(const float *gains)
{
    bind<decltype(::set_eq)>(SetEq)(gains);
}

void EngineBinding::set_gain(const float &left, const float &right)
{
    bind<decltype(::set_gain)>(SetGain)(&left, &right);
}

void EngineBinding::eq_state(std::int16_t on)
{
    bind<decltype(::eq_state)>(EqState)(on);
}

AudioEngine &processEngine()
{
    // Never destroyed: the engine may be called until the process ends.
    static auto *engine = new EngineBinding();
    return *engine;
}

}  // namespace SonbrelMP3
