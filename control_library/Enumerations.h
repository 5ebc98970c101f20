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

// What SBMP3PlayList::Sort compares.
enum SonbrelPlayListSortType {
    sbrMP3SortByFile = 0,
    sbrMP3SortByID3Title = 1,
    sbrMP3SortByID3Tag = 2,
    sbrMP3SortByTime = 3,
};
Q_ENUM_NS(SonbrelPlayListSortType)

// The direction of SBMP3PlayList::Sort; the descending and ascending values
// are the results of a three-way comparison (first before second: -1,
// first after second: 1). Random shuffles the list.
enum SonbrelPlayListSortOrder {
    sbrMP3SortDescending = -1,
    sbrMP3SortRandom = 0,
    sbrMP3SortAscending = 1,
};
Q_ENUM_NS(SonbrelPlayListSortOrder)

// Where SBMP3PlayList::MovePlayListEntry puts an entry.
enum SonbrelPlayListMovement {
    sbrMP3MoveNone = 0,
    sbrMP3MoveUpOne = 1,
    sbrMP3MoveDownOne = 2,
    sbrMP3MoveToTop = 3,
    sbrMP3MoveToBottom = 4,
    sbrMP3MoveBeforeFile = 5,
    sbrMP3MoveAfterFile = 6,
};
Q_ENUM_NS(SonbrelPlayListMovement)

}  // namespace SonbrelMP3
