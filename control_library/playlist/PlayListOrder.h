#pragma once

#include "playlist/EntryCollection.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <random>

namespace SonbrelMP3 {

class PlayListEntry;

// The pseudo-random generator the playlist draws fresh keys and shuffles
// from. Tests replace it with a reproducible one.
class RandomSource {
public:
    virtual ~RandomSource();

    // Starts the sequence that the seed gives.
    virtual void reseed(std::uint64_t seed) = 0;
    // Starts a new sequence from the system timer; each operation that draws
    // keys or positions does this first.
    virtual void reseedFromClock() = 0;
    // The next value, in [0, 1).
    virtual double next() = 0;
};

// The generator the library uses: a 64-bit Mersenne twister seeded from the
// clock. Re-seeding mixes the clock with the generator's own state, so two
// operations within one tick of the clock still draw different sequences.
class SystemRandomSource final : public RandomSource {
public:
    SystemRandomSource();
    void reseed(std::uint64_t seed) override;
    void reseedFromClock() override;
    double next() override;

private:
    std::mt19937_64 engine_;
    std::optional<std::uint64_t> pendingTicks_;  // a reseed from the clock not yet made
};

// A reproducible generator: the same seed gives the same values, and
// re-seeding from the clock keeps the sequence going unchanged.
class SeededRandomSource final : public RandomSource {
public:
    explicit SeededRandomSource(std::uint64_t seed = 0);
    void reseed(std::uint64_t seed) override;
    void reseedFromClock() override {}
    double next() override;

private:
    std::mt19937_64 engine_;
};

// A fresh collection key: the decimal text of the whole part of the next
// value times 2^31, drawn again while the collection already holds that key
// (after a few draws the next free number above the last one is taken, so a
// generator that repeats itself cannot stall us).
QString makeRandomKey(const EntryCollection &collection, RandomSource &random);

// The text by which Sort compares an entry for a text sort type
// (sbrMP3SortByFile, sbrMP3SortByID3Title, sbrMP3SortByID3Tag). A tag field
// that cannot be read counts as empty.
QString sortingText(PlayListEntry &entry, std::int32_t SortType);

// Moves the entry at position FileToMove as MoveTo (a SonbrelPlayListMovement
// value) says, TargetFile being the reference position of
// sbrMP3MoveBeforeFile and sbrMP3MoveAfterFile. The entry is inserted at its
// new place under a fresh key first, and its old place removed second, so it
// is never absent from the list; every other entry keeps its key and its
// relative order.
//
// Raises 30078 (source empty) when MoveTo needs a target and there is no
// entry at TargetFile. Does nothing when the entry is already where MoveTo
// would put it, when FileToMove names no entry, or when MoveTo is
// sbrMP3MoveNone or no movement at all. Returns whether the entry moved.
bool MovePlayListEntry(EntryCollection &collection, std::int32_t FileToMove, std::int32_t MoveTo,
                       std::int32_t TargetFile, RandomSource &random);

// Reorders the list, replacing the collection by a new one that holds the
// same entries under fresh keys:
// - SortOrder sbrMP3SortRandom: shuffled, every order equally likely,
//   whatever SortType is;
// - sbrMP3SortAscending / sbrMP3SortDescending: a stable sort by SortType
//   (texts without regard to letter case in the collation of the system
//   locale, lengths as numbers), so entries that compare equal keep their
//   relative order in both directions;
// - any other SortOrder: the order stays, the keys are renewed.
// A SortType that is none of SonbrelPlayListSortType leaves the list as it
// was (unless shuffling). Raises nothing; an entry whose tag cannot be read
// sorts as though its tag were empty. Returns whether the collection was
// replaced.
bool Sort(EntryCollection &collection, std::int32_t SortType, std::int32_t SortOrder,
          RandomSource &random);

}  // namespace SonbrelMP3
