// tarnel-player: an example of a Qt program built on the TarnelMP3 library.
//
//   tarnel-player [--play] [--quit-at-end] [FILE.mp3 | LIST.m3u]...
//
// Its window (PlayerWindow.ui, made in Qt Designer with the library's
// plugin) holds the player and playlist controls; PlayerWindow.cpp wires
// them to a playlist view, the transport buttons, a seeking position
// slider, a level meter, a spectrum and an equalizer.

#include "PlayerWindow.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarnel-player"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays MP3 files and M3U playlists with the TarnelMP3 controls."));
    parser.addHelpOption();
    const QCommandLineOption play(QStringLiteral("play"), QStringLiteral("Start playing the first track."));
    const QCommandLineOption quitAtEnd(QStringLiteral("quit-at-end"),
                                       QStringLiteral("Quit when the last track has played."));
    parser.addOptions({play, quitAtEnd});
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("MP3 files and M3U playlists to open."),
                                 QStringLiteral("[FILE...]"));
    parser.process(application);

    PlayerWindow window;
    if (parser.isSet(quitAtEnd)) {
        // Ends with 0 when at least one track played to its end.
        QObject::connect(&window, &PlayerWindow::listEnded, &application,
                         [&](int tracksPlayed) { application.exit(tracksPlayed > 0 ? 0 : 1); });
    }
    window.open(parser.positionalArguments());
    window.show();
    if (parser.isSet(play))
        window.play();
    return application.exec();
}
