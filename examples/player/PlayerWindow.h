#pragma once

#include <QMainWindow>
#include <QPointer>

#include <memory>

namespace SonbrelMP3 {
class PlayListEntry;
class RaisedError;
}  // namespace SonbrelMP3

namespace Ui {
class PlayerWindow;
}

// The example's one window. Its form, PlayerWindow.ui, holds the player and
// playlist controls (placed from Qt Designer's "TarnelMP3" group) and the
// ordinary widgets around them; this class only connects them.
class PlayerWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit PlayerWindow(QWidget *parent = nullptr);
    ~PlayerWindow() override;

    // Opens MP3 files and M3U playlists (by their extension) into the list.
    void open(const QStringList &paths);
    // Plays the selected track, or the first one.
    void play();

signals:
    // The last track of the list has ended, or no track could start.
    void listEnded(int tracksPlayed);

private:
    void openFiles();
    void openPlayList();
    void addFiles(const QStringList &files);
    void loadPlayList(const QString &file);
    void sortList();
    void shuffleList();
    void playRow(int row, bool fadeIn);
    void trackFinished();
    void showStatus();
    void showStopped();
    void setUpEqualizer();
    void refreshList();
    SonbrelMP3::PlayListEntry *entryAt(int row) const;
    int rowOf(const SonbrelMP3::PlayListEntry *entry) const;  // -1 when not in the list
    void report(const SonbrelMP3::RaisedError &error);

    std::unique_ptr<Ui::PlayerWindow> ui_;
    QPointer<SonbrelMP3::PlayListEntry> playing_;  // the list's entry being played
    int tracksPlayed_ = 0;
    int loudestPeak_ = 0;                         // of the track being played, 0 to 32767
};
