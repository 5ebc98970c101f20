#pragma once

#include <QByteArrayView>
#include <QString>

// Small rules for text and numbers that the program and the library share.
namespace platform {

// Text without leading and trailing spaces: only the space character, so a
// tab or other white space at either end stays.
QString trimSpaces(const QString &text);

// The file-name part of a path: what follows its last "/" or "\" (Windows
// and POSIX paths alike); the whole text when it has neither.
QString fileNamePart(const QString &path);

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF, no sequence cut short).
bool isValidUtf8(QByteArrayView bytes);

// The length of the well-formed UTF-8 sequence that starts at `index`; 0
// when the bytes there do not start one.
qsizetype utf8SequenceLength(QByteArrayView bytes, qsizetype index);

// Whether the bytes hold a control character (below 0x20, or 0x7F).
bool hasControlCharacter(QByteArrayView bytes);

// Rounding half to even. A number is its whole part (truncated towards zero)
// and a fraction; the fraction says whether the whole part moves one away
// from zero. An exact half goes to the even neighbour.
enum class Fraction { Zero, BelowHalf, Half, AboveHalf };
bool roundsAwayFromZero(bool wholePartIsOdd, Fraction fraction);

// The whole number nearest to `value`, a half going to the even neighbour
// (2.5 gives 2, 3.5 gives 4, -0.5 gives -0). Infinities and NaN are
// returned as they are.
double roundHalfToEven(double value);

}  // namespace platform
