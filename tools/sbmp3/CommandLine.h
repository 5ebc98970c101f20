#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <stdexcept>
#include <vector>

class QCommandLineParser;

namespace sbmp3 {

// A command line sbmp3 cannot follow; main() prints the message and exits
// with kUsage.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString &message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString &message() const { return message_; }

private:
    QString message_;
};

// The text of "sbmp3 --help".
QString usageText();

// Parses a command's arguments (after the command's name) with `parser`,
// which holds the command's options; throws UsageError for an unknown
// option, a missing value, or fewer than `leastFiles` file arguments.
void parseArguments(QCommandLineParser &parser, const QString &command, const QStringList &arguments,
                    int leastFiles);

struct BandSetting {
    std::int16_t frequency;  // Hz
    float gain;              // dB
};

// "100:+3,1000:-2.5": frequencies 1 to 22000 Hz, each at most once, gains
// -24 to +24 dB, at most 32 bands.
std::vector<BandSetting> parseEqualizerBands(const QString &text);

// A genre number 0 to 255, or a genre name of the ID3 table in any case.
int parseGenre(const QString &text);

// A whole number; the library judges its range.
int parseWholeNumber(const QString &option, const QString &text);

// Seconds of a fade, 0 to 60.
double parseFadeSeconds(const QString &text);

// "file", "title", "artist" or "time": the playlist's sort type.
int parseSortType(const QString &text);

}  // namespace sbmp3
