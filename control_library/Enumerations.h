#pragma once

#include <QObject>

namespace SonbrelMP3 {

Q_NAMESPACE

// The enumerations the library's classes share with their hosts. Members
// never take an argument of one of these types: they take the 16-bit integer
// a host passes, since any 16-bit value may arrive and values outside an
// enumeration have a defined meaning at each member.

// How Equalizer::Band selects a band.
enum SonbrelEQBands {
    sbrEQBandsByFrequency = 0,
    sbrEQBandsByIndex = 1,
};
Q_ENUM_NS(SonbrelEQBands)

// The channels of the overall gains, levels and analyses.
enum SonbrelMP3Channels {
    sbrMP3AllChannels = 0,
    sbrMP3LeftChannel = 1,
    sbrMP3RightChannel = 2,
};
Q_ENUM_NS(SonbrelMP3Channels)

// Where a seek counts from.
enum SonbrelMP3Seek {
    sbrMP3SeekFromBeginning = 0,
    sbrMP3SeekFromCurrent = 1,
    sbrMP3SeekFromEnd = 2,
};
Q_ENUM_NS(SonbrelMP3Seek)

}  // namespace SonbrelMP3
