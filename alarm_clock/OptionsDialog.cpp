#include "OptionsDialog.h"

#include "RegistryValues.h"
#include "SharedText.h"

#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace kestrum {

namespace {

std::size_t slot(int index)
{
    return static_cast<std::size_t>(index);
}

} // namespace

OptionsDialog::OptionsDialog(AlarmSettings &settings, Player &mpp, FileDialog &cd1, QString executableFolder)
    : settings_(settings), mpp_(mpp), cd1_(cd1), executableFolder_(std::move(executableFolder))
{
    mpp_.setFinishedPlaying([this] { finishedPlaying(); });
}

OptionsDialog::~OptionsDialog()
{
    mpp_.setFinishedPlaying({});
}

void OptionsDialog::notify()
{
    if (changed)
        changed();
}

void OptionsDialog::enableButtons()
{
    removeEnabled = settings_.tuneCount > 1;
    addEnabled = settings_.tuneCount < kMaxTunes;
}

// ---- Load ------------------------------------------------------------------

void OptionsDialog::setWakeSettings(WakeSettings *wake)
{
    wake_ = wake;
    if (wake_ != nullptr) {
        fadeInSeconds = wake_->fadeInSeconds;
        lateLimitMinutes = wake_->lateLimitMinutes;
    }
    notify();
}

void OptionsDialog::load()
{
    txtInterval = QString::number(settings_.snoozeMinutes);
    cboOrder = settings_.playOrder == 1 ? 1 : 0;
    txtMessage = settings_.alarmMessage;
    chkRepeat = settings_.repeatTune == 1;
    chkWin = settings_.autoStart == 1;
    chkTray = settings_.startInTray == 1;
    if (wake_ != nullptr) {
        fadeInSeconds = wake_->fadeInSeconds;
        lateLimitMinutes = wake_->lateLimitMinutes;
    }

    const int count = std::clamp<int>(settings_.tuneCount, 0, AlarmSettings::kTuneSlots);
    lstMidi.clear();
    for (int i = 0; i < count; ++i)
        lstMidi << displayName(settings_.tunes[slot(i)]);

    if (settings_.selectedTuneIndex > count - 1 || settings_.selectedTuneIndex < 0)
        settings_.selectedTuneIndex = static_cast<std::int16_t>(std::max(count - 1, 0));
    // A next tune outside the list (an edited file, removals closed without
    // "Okay") selects the first row.
    const int next = settings_.nextTuneIndex;
    selectedRow = count == 0 ? -1 : (next >= 0 && next < count ? next : 0);
    listEnabled = true;
    chkPlay = false;
    chkPlayCaption = QString::fromLatin1(kPlayCaption);
    enableButtons();
    notify();
}

QString OptionsDialog::displayName(const QString &entry)
{
    const qsizetype comma = entry.indexOf(QLatin1Char(','));
    if (comma < 0)
        return entry;
    return entry.section(QLatin1Char(','), 1, 1);
}

QString OptionsDialog::nameOfFile(const QString &path)
{
    // Windows paths end their folder at "\", ours at "/".
    const QString file = platform::fileNamePart(path);
    return file.size() < 5 ? file : file.chopped(4);
}

// ---- The tune list -----------------------------------------------------------

void OptionsDialog::add()
{
    cd1_.FileName.clear();
    cd1_.Filter = QStringLiteral("Audio (*.mp3)|*.mp3");
    cd1_.DefaultExt = QStringLiteral("mp3");
    cd1_.DialogTitle = QStringLiteral("Select MP3");
    cd1_.ShowOpen();
    if (!cd1_.FileName.isEmpty())
        addTune(cd1_.FileName);
}

void OptionsDialog::addTune(const QString &path)
{
    // The list may have grown in another options dialog meanwhile.
    if (settings_.tuneCount < 0 || settings_.tuneCount >= kMaxTunes) {
        enableButtons();
        notify();
        return;
    }
    // The settings file keeps one entry a line as "path,name": a comma would
    // cut the path short and a line break would split the entry.
    if (path.contains(QLatin1Char(',')) || path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'))) {
        if (showError)
            showError(QStringLiteral("Kestrum cannot use a file whose name holds a comma or a line break:\n") +
                      path);
        return;
    }
    const QString name = nameOfFile(path);
    settings_.tunes[slot(settings_.tuneCount)] = path + QLatin1Char(',') + name;
    // Rows mirror the record: rows of another dialog's additions come first.
    while (lstMidi.size() < settings_.tuneCount)
        lstMidi << displayName(settings_.tunes[slot(lstMidi.size())]);
    lstMidi << name;
    selectedRow = static_cast<int>(lstMidi.size()) - 1;
    ++settings_.tuneCount;
    enableButtons();
    notify();
}

void OptionsDialog::remove()
{
    removeTune(selectedRow);
}

void OptionsDialog::removeTune(int index)
{
    const int count = settings_.tuneCount;
    // Nothing selected, only one tune left, or a row that another dialog
    // already removed: nothing to do.
    if (index < 0 || index >= count || count <= 1 || count > AlarmSettings::kTuneSlots) {
        enableButtons();
        notify();
        return;
    }
    for (int i = index; i <= count - 2; ++i)
        settings_.tunes[slot(i)] = settings_.tunes[slot(i + 1)];
    settings_.tunes[slot(count - 1)].clear();
    if (index < lstMidi.size())
        lstMidi.removeAt(index);
    settings_.tuneCount = static_cast<std::int16_t>(count - 1);
    enableButtons();
    selectedRow = index == 0 ? 0 : index - 1;
    // The coming arming never takes a tune past the list.
    const auto last = static_cast<std::int16_t>(settings_.tuneCount - 1);
    settings_.nextTuneIndex = std::min(settings_.nextTuneIndex, last);
    settings_.selectedTuneIndex = std::min(settings_.selectedTuneIndex, last);
    notify();
}

// ---- Preview -------------------------------------------------------------------

void OptionsDialog::previewToggle()
{
    if (selectedRow < 0 || selectedRow >= settings_.tuneCount) {
        chkPlay = false;
        notify();
        return;
    }
    if (chkPlayCaption == QLatin1String(kPlayCaption))
        startPlay();
    else
        stopPlay();
}

void OptionsDialog::startPlay()
{
    chkPlay = true;
    chkPlayCaption = QString::fromLatin1(kStopCaption);
    stopIfPlaying();
    settings_.alarmTune = settings_.tunes[slot(selectedRow)].section(QLatin1Char(','), 0, 0);
    listEnabled = false;
    QString why;
    try {
        startPreviewPlayer(settings_.alarmTune);
        // The player may take a file it cannot play without a word, and
        // then not start: only a preview that plays holds the toggle.
        bool plays = false;
        try {
            plays = mpp_.IsPlaying();
        } catch (const platform::DispatchError &) {
        }
        if (!plays)
            why = QFileInfo::exists(settings_.alarmTune)
                      ? QStringLiteral("The player cannot play it: it is not MP3 audio, or it is damaged.")
                      : QStringLiteral("The file is not there.");
    } catch (const platform::DispatchError &error) {
        why = error.description();
    }
    if (!why.isEmpty()) {
        // Say why and let go of the toggle and the list.
        previewing = false;
        stopPlay();
        if (showError)
            showError(QStringLiteral("The tune cannot be played:\n%1\n\n%2").arg(settings_.alarmTune, why));
        return;
    }
    notify();
}

void OptionsDialog::stopPlay()
{
    chkPlay = false;
    chkPlayCaption = QString::fromLatin1(kPlayCaption);
    stopPreviewPlayer();
    listEnabled = true;
    notify();
}

void OptionsDialog::startPreviewPlayer(const QString &path)
{
    if (previewing)
        stopPreviewPlayer();
    mpp_.setFilename(path);
    mpp_.PlayStart();
    previewing = true;
}

void OptionsDialog::stopPreviewPlayer()
{
    // A player that could not be created raises on every call; stopping it
    // must still close the dialog.
    try {
        mpp_.PlayStop();
    } catch (const platform::DispatchError &) {
    }
    previewing = false;
}

void OptionsDialog::stopIfPlaying()
{
    try {
        if (mpp_.IsPlaying())
            mpp_.PlayStop();
    } catch (const platform::DispatchError &) {
    }
}

void OptionsDialog::finishedPlaying()
{
    previewing = false;
    stopPlay();
}

// ---- Fields ------------------------------------------------------------------

bool OptionsDialog::isValidInterval(const QString &text)
{
    bool number = false;
    const QString trimmed = text.trimmed();
    double value = trimmed.toDouble(&number);
    if (!number)
        value = QLocale().toDouble(trimmed, &number);
    return number && std::isfinite(value) && value >= 0 && value <= 99;
}

void OptionsDialog::intervalLostFocus()
{
    if (!isValidInterval(txtInterval)) {
        txtInterval = QStringLiteral("10");
        notify();
    }
}

void OptionsDialog::okay()
{
    intervalLostFocus();
    bool number = false;
    const QString trimmed = txtInterval.trimmed();
    double value = trimmed.toDouble(&number);
    if (!number)
        value = QLocale().toDouble(trimmed);
    // Halves go to the even neighbour, as in the settings file.
    settings_.snoozeMinutes = static_cast<std::int16_t>(platform::roundHalfToEven(value));
    settings_.playOrder = static_cast<std::int16_t>(cboOrder == 1 ? 1 : 0);
    settings_.repeatTune = chkRepeat ? 1 : 0;
    settings_.autoStart = chkWin ? 1 : 0;
    settings_.startInTray = chkTray ? 1 : 0;
    settings_.alarmMessage = txtMessage;
    if (messageChanged)
        messageChanged(txtMessage);
    if (selectedRow >= 0 && selectedRow < settings_.tuneCount) {
        settings_.selectedTuneIndex = static_cast<std::int16_t>(selectedRow);
        settings_.nextTuneIndex = static_cast<std::int16_t>(selectedRow);
    }
    applyAutoStart(settings_.autoStart, executableFolder_);
    if (wake_ != nullptr) {
        WakeSettings chosen;
        chosen.fadeInSeconds = std::clamp(fadeInSeconds, 0, WakeSettings::kLongestFadeIn);
        chosen.lateLimitMinutes = std::clamp(lateLimitMinutes, 0, WakeSettings::kLongestLateLimit);
        if (chosen != *wake_) {
            *wake_ = chosen;
            saveWakeSettings(chosen);
        }
    }
    unload();
}

void OptionsDialog::unload()
{
    stopPreviewPlayer();
    if (chkPlay || !listEnabled) {
        chkPlay = false;
        chkPlayCaption = QString::fromLatin1(kPlayCaption);
        listEnabled = true;
        notify();
    }
}

} // namespace kestrum
