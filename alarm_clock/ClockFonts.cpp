#include "ClockFonts.h"

#include "KestrumLog.h"

#include <QFontDatabase>
#include <QStringList>

namespace kestrum {

namespace {

QString loadBundled(const QString &resource)
{
    const int id = QFontDatabase::addApplicationFont(resource);
    const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
        qCWarning(kestrumLog) << "the font" << resource << "is missing from the program; a plain face stands in.";
        return QString();
    }
    return families.first();
}

QFont segmentFont(const QString &family, int pixelSize)
{
    QFont font;
    if (!family.isEmpty())
        font.setFamily(family);
    else
        font.setStyleHint(QFont::Monospace);
    font.setPixelSize(pixelSize);
    font.setBold(true);
    return font;
}

}  // namespace

QFont ClockFonts::sevenSegment(int pixelSize) const
{
    return segmentFont(sevenSegmentFamily, pixelSize);
}

QFont ClockFonts::fourteenSegment(int pixelSize) const
{
    return segmentFont(fourteenSegmentFamily, pixelSize);
}

QFont ClockFonts::message(int pixelSize)
{
    // Courier New where it exists; fontconfig maps it to Liberation Mono
    // (same metrics), and the style hint picks a monospaced face otherwise.
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter, QFont::PreferMatch);
    font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                      QStringLiteral("DejaVu Sans Mono"), QStringLiteral("monospace")});
    font.setPixelSize(pixelSize);
    font.setBold(true);
    return font;
}

const ClockFonts &clockFonts()
{
    static const ClockFonts fonts{loadBundled(QStringLiteral(":/fonts/DSEG7Classic-Bold.ttf")),
                                  loadBundled(QStringLiteral(":/fonts/DSEG14Classic-Bold.ttf"))};
    return fonts;
}

}  // namespace kestrum
