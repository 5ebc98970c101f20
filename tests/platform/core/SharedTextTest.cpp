#include "SharedText.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <cmath>
#include <limits>

namespace platform {
namespace {

TEST(SharedText, RoundsHalvesToTheEvenNeighbourOnBothSides)
{
    const struct {
        double value, expected;
    } cases[] = {
        {0.5, 0.0},   {1.5, 2.0},   {2.5, 2.0},      {3.5, 4.0},    {-0.5, -0.0},
        {-1.5, -2.0}, {-2.5, -2.0}, {2.4999, 2.0},   {2.5001, 3.0}, {0.49999999999999994, 0.0},
        {7.0, 7.0},   {-7.0, -7.0}, {1e300, 1e300},  {4503599627370497.0, 4503599627370497.0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(roundHalfToEven(c.value), c.expected) << c.value;
        EXPECT_EQ(std::signbit(roundHalfToEven(c.value)), std::signbit(c.expected)) << c.value;
    }
    EXPECT_TRUE(std::isnan(roundHalfToEven(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_EQ(roundHalfToEven(-std::numeric_limits<double>::infinity()), -std::numeric_limits<double>::infinity());

    // The same results as the floating-point unit's own rounding, which the
    // callers used before, over quarters and odd fractions alike.
    for (int i = -4000; i <= 4000; ++i) {
        for (const double value : {i / 4.0, i / 7.0, i * 0.1}) {
            EXPECT_EQ(roundHalfToEven(value), std::nearbyint(value)) << value;
        }
    }
}

TEST(SharedText, FileNamePartFollowsTheLastSeparatorOfEitherStyle)
{
    const struct {
        const char *path, *name;
    } cases[] = {
        {"/home/ann/Sea Breeze.mp3", "Sea Breeze.mp3"},
        {"C:\\Music\\Morning.mp3", "Morning.mp3"},
        {"C:\\Music/mixed\\last.mp3", "last.mp3"},
        {"/music/folder/", ""},
        {"plain.mp3", "plain.mp3"},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(fileNamePart(QString::fromUtf8(c.path)), QString::fromUtf8(c.name)) << c.path;
}

TEST(TrimSpaces, RemovesOnlyOuterSpaces)
{
    EXPECT_EQ(trimSpaces(QStringLiteral("  a b  ")), QStringLiteral("a b"));
    EXPECT_EQ(trimSpaces(QStringLiteral("\ta\t")), QStringLiteral("\ta\t"));
    EXPECT_EQ(trimSpaces(QStringLiteral("    ")), QString());
    EXPECT_EQ(trimSpaces(QString()), QString());
}

TEST(SharedText, Utf8ChecksRejectWhatIsNotWellFormed)
{
    const struct {
        QByteArray bytes;
        bool valid;
        qsizetype firstLength;
    } cases[] = {
        {"plain", true, 1},
        {"caf\xc3\xa9", true, 1},
        {QByteArray("a\0b", 3), true, 1},
        {"\xc3\xa9", true, 2},
        {"\xef\xbf\xbe", true, 3},           // a noncharacter is still UTF-8
        {"\xf0\x9f\x98\x80", true, 4},
        {"\xc0\x80", false, 0},              // overlong
        {"\xe0\x80\xaf", false, 0},          // overlong
        {"\xed\xa0\x80", false, 0},          // a surrogate
        {"\xf4\x90\x80\x80", false, 0},      // above U+10FFFF
        {"\xc3", false, 0},                  // cut short
        {"\x80", false, 0},                  // a continuation byte alone
        {"\xff", false, 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.bytes.toHex().constData();
        EXPECT_EQ(utf8SequenceLength(c.bytes, 0), c.firstLength) << c.bytes.toHex().constData();
    }
    EXPECT_EQ(utf8SequenceLength("a\xc3\xa9", 1), 2);
    EXPECT_EQ(utf8SequenceLength("a", 1), 0);
    EXPECT_TRUE(hasControlCharacter("tab\there"));
    EXPECT_TRUE(hasControlCharacter("del\x7f"));
    EXPECT_FALSE(hasControlCharacter("caf\xc3\xa9 ok"));
}

}  // namespace
}  // namespace platform
