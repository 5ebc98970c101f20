#include "FakeEngine.h"

#include <algorithm>
#include <cstring>

namespace SonbrelMP3::testing {

namespace {

QByteArray blockBytes(const TagBlock &block)
{
    return QByteArray(block.data(), static_cast<qsizetype>(block.size()));
}

}  // namespace

QByteArray FakeEngine::typicalFrameInfo()
{
    return "1|3|0|128000|44100|0|0|Joint Stereo|0|0|1|0|4800000|11500|300";
}

TagBlock FakeEngine::rawBlock(const QByteArray &bytes)
{
    TagBlock block{};
    std::copy_n(bytes.constData(), std::min<qsizetype>(bytes.size(), SBMP3_TAG_BLOCK_SIZE),
                block.data());
    return block;
}

TagBlock FakeEngine::tagBlock(const QByteArray &title, const QByteArray &artist,
                              const QByteArray &album, const QByteArray &year,
                              const QByteArray &comment, unsigned char genre)
{
    TagBlock block{};
    const auto put = [&block](int offset, int width, const QByteArray &text) {
        std::copy_n(text.constData(), std::min<qsizetype>(text.size(), width),
                    block.data() + offset);
    };
    put(0, 3, "TAG");
    put(3, 30, title);
    put(33, 30, artist);
    put(63, 30, album);
    put(93, 4, year);
    put(97, 30, comment);
    block[127] = static_cast<char>(genre);
    return block;
}

FakeEngine::File &FakeEngine::addFile(const QString &name, const QByteArray &frameInfo)
{
    File &file = files[name];
    file.frameInfo = frameInfo;
    return file;
}

void FakeEngine::queueResult(const std::string &function, std::int16_t result)
{
    queued_[function].push_back(result);
}

std::int16_t FakeEngine::nextResult(const std::string &function, std::int16_t fallback)
{
    auto found = queued_.find(function);
    if (found == queued_.end() || found->second.empty())
        return fallback;
    const std::int16_t result = found->second.front();
    found->second.pop_front();
    return result;
}

void FakeEngine::record(const std::string &function, QVariantList arguments)
{
    if (libraryMissing)
        throw EngineUnavailable(48, QStringLiteral("SonbrelMP3"),
                                QStringLiteral("Error in loading DLL"));
    if (unbound.count(function) != 0)
        throw EngineUnavailable(453, QStringLiteral("SonbrelMP3"),
                                QStringLiteral("Can't find DLL entry point %1")
                                    .arg(QString::fromStdString(function)));
    calls.push_back({function, std::move(arguments)});
}

FakeEngine::Calls FakeEngine::callsTo(const std::string &function) const
{
    std::vector<Call> found;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                 [&function](const Call &call) { return call.function == function; });
    return found;
}

CallLog<std::vector<std::string>> FakeEngine::callNames() const
{
    std::vector<std::string> names;
    for (const Call &call : calls)
        names.push_back(call.function);
    return names;
}

bool FakeEngine::invalidateWindow()
{
    if (window == nullptr || window->invalidate == nullptr)
        return false;
    window->invalidate(window);
    return true;
}

void FakeEngine::play_mp3(std::int32_t reserved, sbmp3_window *newWindow)
{
    record("play_mp3", {reserved, QVariant::fromValue(static_cast<void *>(newWindow))});
    window = newWindow;
}

void FakeEngine::release_window(sbmp3_window *released)
{
    record("release_window", {QVariant::fromValue(static_cast<void *>(released))});
    if (window == released)
        window = nullptr;
}

std::int16_t FakeEngine::play(const QString &fileName)
{
    record("play", {fileName});
    return nextResult("play", 0);
}

std::int16_t FakeEngine::fade_in(const QString &fileName, float attackSeconds)
{
    record("fade_in", {fileName, attackSeconds});
    return nextResult("fade_in", 0);
}

void FakeEngine::continue_playing()
{
    record("continue_playing", {});
}

void FakeEngine::pause_playing()
{
    record("pause_playing", {});
}

void FakeEngine::stop_playing()
{
    record("stop_playing", {});
}

void FakeEngine::fade_out(float decaySeconds)
{
    record("fade_out", {decaySeconds});
}

void FakeEngine::seek_playing(double seconds)
{
    record("seek_playing", {seconds});
}

void FakeEngine::set_vu_interval(std::int16_t &intervalMs)
{
    record("set_vu_interval", {intervalMs});
}

std::int16_t FakeEngine::is_finished()
{
    record("is_finished", {});
    return nextResult("is_finished", finished);
}

void FakeEngine::get_status(std::int16_t &statusOut, double &positionOut, std::int16_t *levelsOut,
                            std::int16_t *waveOut, float *spectrumOut)
{
    record("get_status", {});
    statusOut = nextResult("get_status", status);
    positionOut = position;
    std::copy(levels.begin(), levels.end(), levelsOut);
    std::copy(wave.begin(), wave.end(), waveOut);
    std::copy(spectrum.begin(), spectrum.end(), spectrumOut);
}

std::int16_t FakeEngine::get_id3_tag(const QString &fileName, TagBlock &tag)
{
    record("get_id3_tag", {fileName});
    auto found = files.find(fileName);
    if (found == files.end())
        return nextResult("get_id3_tag", SBMP3_ERR_FILE_NOT_FOUND);
    const std::int16_t result = nextResult("get_id3_tag", found->second.tagResult);
    if (result == 0)
        tag = found->second.tag;
    return result;
}

std::int16_t FakeEngine::set_id3_tag(const QString &fileName, const TagBlock &tag)
{
    record("set_id3_tag", {fileName, blockBytes(tag)});
    auto found = files.find(fileName);
    if (found == files.end())
        return nextResult("set_id3_tag", SBMP3_ERR_FILE_NOT_FOUND);
    const std::int16_t result = nextResult("set_id3_tag", found->second.writeResult);
    if (result == 0)
        found->second.tag = tag;
    return result;
}

std::int16_t FakeEngine::get_frame_info(const QString &fileName, FrameInfoBuffer &info)
{
    record("get_frame_info", {fileName});
    auto found = files.find(fileName);
    if (found == files.end())
        return nextResult("get_frame_info", SBMP3_ERR_FILE_NOT_FOUND);
    const std::int16_t result = nextResult("get_frame_info", found->second.frameResult);
    if (result != 0 && result != SBMP3_ERR_FILE_NOT_FOUND) {
        const QByteArray &text = found->second.frameInfo;
        std::copy_n(text.constData(), std::min<qsizetype>(text.size(), SBMP3_FRAME_INFO_SIZE),
                    info.data());
    }
    return result;
}

void FakeEngine::create_eq(const std::int16_t *frequencies, std::int16_t count)
{
    QVariantList arguments{count};
    for (std::int16_t i = 0; i < count; ++i)
        arguments << frequencies[i];
    record("create_eq", arguments);
}

void FakeEngine::set_eq(const float *gains)
{
    QVariantList arguments;
    for (int i = 0; i < SBMP3_EQ_GAIN_SLOTS; ++i)
        arguments << gains[i];
    record("set_eq", arguments);
}

void FakeEngine::set_gain(const float &left, const float &right)
{
    record("set_gain", {left, right});
}

void FakeEngine::eq_state(std::int16_t on)
{
    record("eq_state", {on});
}

}  // namespace SonbrelMP3::testing
