#include "PlayerWindow.h"

#include "ui_PlayerWindow.h"

#include <TarnelMP3.h>

#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace SonbrelMP3;

namespace {

QString minutesAndSeconds(double seconds)
{
    const int whole = static_cast<int>(seconds);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

// A tag field, or "" when the file can no longer be read.
QString tagText(PlayListEntry &entry, QString (PlayListEntry::*field)())
{
    try {
        return (entry.*field)();
    } catch (const RaisedError &) {
        return {};
    }
}

}  // namespace

PlayerWindow::PlayerWindow(QWidget *parent) : QMainWindow(parent), ui_(std::make_unique<Ui::PlayerWindow>())
{
    ui_->setupUi(this);
    setUpEqualizer();
    ui_->playListView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    connect(ui_->actionOpenFiles, &QAction::triggered, this, &PlayerWindow::openFiles);
    connect(ui_->actionOpenPlayList, &QAction::triggered, this, &PlayerWindow::openPlayList);
    connect(ui_->actionQuit, &QAction::triggered, this, &QWidget::close);
    connect(ui_->actionAbout, &QAction::triggered, ui_->player, &SBMP3Player::About);

    connect(ui_->sortButton, &QPushButton::clicked, this, &PlayerWindow::sortList);
    connect(ui_->shuffleButton, &QPushButton::clicked, this, &PlayerWindow::shuffleList);
    connect(ui_->playListView, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem *item) { playRow(ui_->playListView->indexOfTopLevelItem(item), false); });

    connect(ui_->playButton, &QPushButton::clicked, this, &PlayerWindow::play);
    // A member may be connected straight to a button; one that can fail
    // would then report through the player's Error signal.
    connect(ui_->pauseButton, &QPushButton::clicked, ui_->player, &SBMP3Player::PlayPause);
    connect(ui_->stopButton, &QPushButton::clicked, this, [this] {
        ui_->player->PlayStop();
        showStopped();
    });
    connect(ui_->fadeInButton, &QPushButton::clicked, this, [this] {
        const int row = ui_->playListView->currentIndex().row();
        playRow(row < 0 ? 0 : row, true);
    });
    connect(ui_->fadeOutButton, &QPushButton::clicked, this, [this] {
        const double seconds = ui_->fadeSeconds->value();
        ui_->player->PlayFadeOut(static_cast<float>(seconds));
        // A track that has faded out stops without an event.
        QTimer::singleShot(static_cast<int>(seconds * 1000) + 500, this, [this] {
            if (!ui_->player->IsPlaying())
                showStopped();
        });
    });
    connect(ui_->positionSlider, &QSlider::sliderReleased, this, [this] {
        ui_->player->setTrackPosition(sbrMP3SeekFromBeginning, ui_->positionSlider->value());
    });

    // The player's news: new status every ChangeInterval milliseconds (set
    // in the form) while a track plays, and the end of each track.
    connect(ui_->player, &SBMP3Player::VisualizationUpdate, this, &PlayerWindow::showStatus);
    connect(ui_->player, &SBMP3Player::FinishedPlaying, this, &PlayerWindow::trackFinished);
}

PlayerWindow::~PlayerWindow() = default;

void PlayerWindow::open(const QStringList &paths)
{
    QStringList files;
    for (const QString &path : paths) {
        if (path.endsWith(QLatin1String(".m3u"), Qt::CaseInsensitive)
            || path.endsWith(QLatin1String(".m3u8"), Qt::CaseInsensitive))
            loadPlayList(path);
        else
            files << path;
    }
    addFiles(files);
}

void PlayerWindow::openFiles()
{
    addFiles(QFileDialog::getOpenFileNames(this, tr("Open Files"), QString(),
                                           tr("MPEG audio (*.mp3 *.mp2 *.mpga);;All files (*)")));
}

void PlayerWindow::openPlayList()
{
    const QString file = QFileDialog::getOpenFileName(this, tr("Open Playlist"), QString(),
                                                      tr("Playlists (*.m3u *.m3u8);;All files (*)"));
    if (!file.isEmpty())
        loadPlayList(file);
}

void PlayerWindow::addFiles(const QStringList &files)
{
    for (const QString &file : files) {
        try {
            ui_->playList->AddEntry(file);
        } catch (const RaisedError &error) {
            report(error);  // this file is left out, the others still come
        }
    }
    refreshList();
}

void PlayerWindow::loadPlayList(const QString &file)
{
    try {
        // Entries whose files are missing or no audio are left out.
        ui_->playList->LoadPlayList(file);
    } catch (const RaisedError &error) {
        report(error);  // the list stays as it was
    }
    refreshList();
}

void PlayerWindow::sortList()
{
    // The combo box lists the sort types in their order: file, title,
    // artist and title, length.
    ui_->playList->Sort(ui_->sortBy->currentIndex(), sbrMP3SortAscending);
    refreshList();
}

void PlayerWindow::shuffleList()
{
    ui_->playList->Sort(sbrMP3SortByFile, sbrMP3SortRandom);
    refreshList();
}

void PlayerWindow::play()
{
    if (ui_->player->IsPaused()) {
        ui_->player->PlayStart();  // goes on where the pause was
        return;
    }
    const int row = ui_->playListView->currentIndex().row();
    playRow(row < 0 ? 0 : row, false);
}

void PlayerWindow::playRow(int row, bool fadeIn)
{
    PlayListEntry *entry = entryAt(row);
    if (entry == nullptr) {
        emit listEnded(tracksPlayed_);
        return;
    }
    ui_->player->setFilename(entry->Filename());
    try {
        if (fadeIn)
            ui_->player->PlayFadeIn(ui_->fadeSeconds->value());
        else
            ui_->player->PlayStart();
    } catch (const RaisedError &error) {
        report(error);
        showStopped();
        emit listEnded(tracksPlayed_);
        return;
    }
    playing_ = entry;
    loudestPeak_ = 0;
    ui_->playListView->setCurrentItem(ui_->playListView->topLevelItem(row));
    ui_->positionSlider->setRange(0, ui_->player->TrackLength());
    const QString title = tagText(*entry, &PlayListEntry::ID3Title);
    ui_->nowPlaying->setText(title.isEmpty() ? QFileInfo(entry->Filename()).fileName() : title);
}

void PlayerWindow::trackFinished()
{
    ++tracksPlayed_;
    std::printf("played %s, loudest peak %d %%\n", qPrintable(ui_->player->Filename()),
                loudestPeak_ * 100 / 32767);
    std::fflush(stdout);
    showStopped();
    playRow(rowOf(playing_) + 1, false);  // the next track, or the end of the list
}

void PlayerWindow::showStatus()
{
    SBMP3Player &player = *ui_->player;
    const double position = player.TrackPosition(sbrMP3SeekFromBeginning);
    if (!ui_->positionSlider->isSliderDown())
        ui_->positionSlider->setValue(static_cast<int>(position));
    ui_->positionLabel->setText(minutesAndSeconds(position) + QStringLiteral(" / ")
                                + minutesAndSeconds(player.TrackLength()));

    const int left = player.VUMeter(sbrMP3LeftChannel);
    const int right = player.VUMeter(sbrMP3RightChannel);
    loudestPeak_ = std::max({loudestPeak_, left, right});
    ui_->meter->setLevels(left / 32767.0, right / 32767.0);

    QVector<float> magnitudes(SBMP3Player::kSpectrumBins);
    for (int bin = 0; bin < magnitudes.size(); ++bin)
        magnitudes[bin] = player.SpectrumAnalysis(sbrMP3AllChannels, bin);
    ui_->spectrum->setMagnitudes(magnitudes);
}

void PlayerWindow::showStopped()
{
    ui_->meter->setLevels(0.0, 0.0);
    ui_->spectrum->setMagnitudes({});
    ui_->positionSlider->setValue(0);
    ui_->nowPlaying->setText(tr("Nothing is playing"));
}

void PlayerWindow::setUpEqualizer()
{
    // One band per slider of the form; each slider's "frequency" property
    // (set in the form) names its band.
    Equalizer &equalizer = ui_->player->equalizer();
    for (QSlider *slider : ui_->equalizerBox->findChildren<QSlider *>()) {
        auto frequency = static_cast<std::int16_t>(slider->property("frequency").toInt());
        equalizer.AddBand(frequency);
        connect(slider, &QSlider::valueChanged, this, [this, frequency](int decibels) {
            ui_->player->equalizer().Band(frequency, sbrEQBandsByFrequency)->setGain(static_cast<float>(decibels));
        });
    }
    equalizer.setEnabled(ui_->equalizerBox->isChecked());
    connect(ui_->equalizerBox, &QGroupBox::toggled, this,
            [this](bool on) { ui_->player->equalizer().setEnabled(on); });
}

void PlayerWindow::refreshList()
{
    ui_->playListView->clear();
    for (int row = 0; row < ui_->playList->Count(); ++row) {
        PlayListEntry &entry = *entryAt(row);
        QString title = tagText(entry, &PlayListEntry::ID3Title);
        if (title.isEmpty())
            title = QFileInfo(entry.Filename()).fileName();
        auto *item = new QTreeWidgetItem(ui_->playListView,
                                         {QString::number(row + 1), title, tagText(entry, &PlayListEntry::ID3Artist),
                                          minutesAndSeconds(entry.TrackLength())});
        item->setToolTip(1, entry.Filename());
        // Sorting and shuffling move the entry being played: it stays marked.
        if (&entry == playing_)
            ui_->playListView->setCurrentItem(item);
    }
    const int count = ui_->playList->Count();
    statusBar()->showMessage((count == 1 ? tr("1 track, %1") : tr("%1 tracks, %2").arg(count))
                                 .arg(minutesAndSeconds(ui_->playList->TotalPlayListTime())));
}

PlayListEntry *PlayerWindow::entryAt(int row) const
{
    // The list counts its positions from 1.
    return qobject_cast<PlayListEntry *>(ui_->playList->PlayListEntries(row + 1));
}

int PlayerWindow::rowOf(const PlayListEntry *entry) const
{
    for (int row = 0; row < ui_->playList->Count(); ++row) {
        if (entryAt(row) == entry)
            return row;
    }
    return -1;
}

void PlayerWindow::report(const RaisedError &error)
{
    statusBar()->showMessage(tr("Error %1: %2").arg(error.number()).arg(error.description()));
}
