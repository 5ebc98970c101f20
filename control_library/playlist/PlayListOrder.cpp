#include "playlist/PlayListOrder.h"

#include "Enumerations.h"
#include "RaisedError.h"
#include "SharedText.h"
#include "playlist/PlayListEntry.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numeric>
#include <utility>
#include <vector>

namespace SonbrelMP3 {

namespace {

constexpr std::int32_t kNoSuchEntry = 30078;

// Keys are whole numbers below 2^31.
constexpr std::uint32_t kKeyLimit = 2147483648U;
// Draws of a key before taking the next free number instead.
constexpr int kKeyDraws = 8;

// The top 53 bits of a 64-bit draw as a double in [0, 1).
double unitValue(std::uint64_t bits)
{
    return static_cast<double>(bits >> 11) * 0x1.0p-53;
}

std::uint64_t clockTicks()
{
    return static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
}

// floor(value * count), kept within 0 to count - 1 whatever the source gives
// (a value of 1 or more, below 0, or not a number).
std::size_t scaledIndex(double value, std::size_t count)
{
    if (!(value > 0.0))
        return 0;
    const double scaled = std::floor(value * static_cast<double>(count));
    if (scaled >= static_cast<double>(count))
        return count - 1;
    return static_cast<std::size_t>(scaled);
}

// Compares the sorting texts of entries by index, as QCollator::compare
// does with a case-insensitive collator of the system locale. Where the
// collator has sort keys that agree with its comparison, they are made once
// per text, which makes each comparison a byte comparison. The "C" locale
// compares the texts themselves: its sort keys ignore the case setting.
class TextOrder {
public:
    explicit TextOrder(std::vector<QString> texts) : texts_(std::move(texts))
    {
        collator_.setCaseSensitivity(Qt::CaseInsensitive);
        if (collator_.locale().language() == QLocale::C)
            return;
        keys_.reserve(texts_.size());
        for (const QString &text : texts_)
            keys_.push_back(collator_.sortKey(text));
    }

    int compare(std::size_t first, std::size_t second) const
    {
        if (keys_.empty())
            return collator_.compare(texts_[first], texts_[second]);
        return keys_[first].compare(keys_[second]);
    }

private:
    std::vector<QString> texts_;
    QCollator collator_{QLocale::system()};
    std::vector<QCollatorSortKey> keys_;
};

// Orders the positions 0 to count - 1 stably: ascending puts a before b
// when compare(a, b) < 0, descending when compare(a, b) > 0. Equal entries
// keep their relative order either way, which is the order that repeated
// passes exchanging only out-of-order neighbours reach.
template <typename Compare>
std::vector<std::size_t> stableOrder(std::size_t count, std::int32_t SortOrder, Compare compare)
{
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (SortOrder == sbrMP3SortAscending)
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return compare(a, b) < 0; });
    else if (SortOrder == sbrMP3SortDescending)
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return compare(a, b) > 0; });
    return order;
}

QString readField(PlayListEntry &entry, QString (PlayListEntry::*field)())
{
    QString text;
    runStep([&] { text = (entry.*field)(); });
    return text;
}

// Puts the entries into a new collection in the given order under fresh keys
// and lets it replace the old one; the old one stays whole if anything fails.
bool rebuild(EntryCollection &collection, const std::vector<EntryCollection::EntryPtr> &entries,
             const std::vector<std::size_t> &order, RandomSource &random)
{
    random.reseedFromClock();
    EntryCollection rebuilt;
    for (const std::size_t index : order)
        if (!rebuilt.Add(entries[index], makeRandomKey(rebuilt, random)))
            return false;
    collection = std::move(rebuilt);
    return true;
}

// Every order of the entries equally likely: each step takes one of the
// entries not yet placed, each as likely as the others (Fisher-Yates), then
// draws its key.
bool shuffle(EntryCollection &collection, RandomSource &random)
{
    std::vector<EntryCollection::EntryPtr> entries = collection.entries();
    random.reseedFromClock();
    EntryCollection shuffled;
    for (std::size_t placed = 0; placed < entries.size(); ++placed) {
        const std::size_t chosen =
            placed + scaledIndex(random.next(), entries.size() - placed);
        std::swap(entries[placed], entries[chosen]);
        if (!shuffled.Add(entries[placed], makeRandomKey(shuffled, random)))
            return false;
    }
    collection = std::move(shuffled);
    return true;
}

}  // namespace

RandomSource::~RandomSource() = default;

SystemRandomSource::SystemRandomSource() : engine_(clockTicks()) {}

void SystemRandomSource::reseed(std::uint64_t seed)
{
    pendingTicks_.reset();
    engine_.seed(seed);
}

void SystemRandomSource::reseedFromClock()
{
    // Seeding is costly (every AddEntry of a long load asks for it): the
    // clock is read now, the generator seeded from it when next drawn from.
    pendingTicks_ = clockTicks();
}

double SystemRandomSource::next()
{
    if (pendingTicks_) {
        // seed_seq takes 32 bits of each value, so both halves go in.
        const std::uint64_t ticks = *pendingTicks_;
        const std::uint64_t state = engine_();
        std::seed_seq seeds{ticks, ticks >> 32, state, state >> 32};
        engine_.seed(seeds);
        pendingTicks_.reset();
    }
    return unitValue(engine_());
}

SeededRandomSource::SeededRandomSource(std::uint64_t seed) : engine_(seed) {}

void SeededRandomSource::reseed(std::uint64_t seed)
{
    engine_.seed(seed);
}

double SeededRandomSource::next()
{
    return unitValue(engine_());
}

QString makeRandomKey(const EntryCollection &collection, RandomSource &random)
{
    std::uint32_t value = 0;
    for (int draw = 0; draw < kKeyDraws; ++draw) {
        value = static_cast<std::uint32_t>(scaledIndex(random.next(), kKeyLimit));
        const QString key = QString::number(value);
        if (!collection.containsKey(key))
            return key;
    }
    // A collection holds far fewer than 2^31 keys, so a free one is near.
    for (;;) {
        value = (value + 1U) % kKeyLimit;
        const QString key = QString::number(value);
        if (!collection.containsKey(key))
            return key;
    }
}

QString sortingText(PlayListEntry &entry, std::int32_t SortType)
{
    switch (SortType) {
    case sbrMP3SortByFile:
        return platform::fileNamePart(entry.Filename());
    case sbrMP3SortByID3Title: {
        const QString title = readField(entry, &PlayListEntry::ID3Title);
        return title.isEmpty() ? platform::fileNamePart(entry.Filename()) : title;
    }
    case sbrMP3SortByID3Tag: {
        const QString artist = readField(entry, &PlayListEntry::ID3Artist);
        const QString title = readField(entry, &PlayListEntry::ID3Title);
        if (artist.isEmpty() && title.isEmpty())
            return platform::fileNamePart(entry.Filename());
        return (artist.isEmpty() ? QStringLiteral("Unknown Artist") : artist)
               + QStringLiteral(" - ")
               + (title.isEmpty() ? QStringLiteral("Untitled") : title);
    }
    case sbrMP3SortByTime:
        return QString::number(entry.TrackLength());
    default:
        return {};
    }
}

bool MovePlayListEntry(EntryCollection &collection, std::int32_t FileToMove, std::int32_t MoveTo,
                       std::int32_t TargetFile, RandomSource &random)
{
    if ((MoveTo == sbrMP3MoveBeforeFile || MoveTo == sbrMP3MoveAfterFile)
        && !collection.Item(TargetFile))
        throw RaisedError(kNoSuchEntry, QString(),
                          QStringLiteral("There is no PlayList entry '%1'.").arg(TargetFile));

    const std::int32_t count = collection.Count();
    if (FileToMove < 1 || FileToMove > count)
        return false;

    // Where the entry goes in (before or after a position), and where its
    // old place is once it has gone in.
    std::int32_t before = 0;
    std::int32_t after = 0;
    std::int32_t oldPlace = FileToMove;
    switch (MoveTo) {
    case sbrMP3MoveUpOne:
        if (FileToMove == 1)
            return false;
        before = FileToMove - 1;
        oldPlace = FileToMove + 1;
        break;
    case sbrMP3MoveDownOne:
        if (FileToMove == count)
            return false;
        after = FileToMove + 1;
        break;
    case sbrMP3MoveToTop:
        if (FileToMove == 1)
            return false;
        before = 1;
        oldPlace = FileToMove + 1;
        break;
    case sbrMP3MoveToBottom:
        if (FileToMove == count)
            return false;
        after = count;
        break;
    case sbrMP3MoveBeforeFile:
    case sbrMP3MoveAfterFile:
        if (FileToMove == TargetFile)
            return false;
        (MoveTo == sbrMP3MoveBeforeFile ? before : after) = TargetFile;
        if (FileToMove > TargetFile)
            oldPlace = FileToMove + 1;
        break;
    default:
        return false;
    }

    random.reseedFromClock();
    const QString key = makeRandomKey(collection, random);
    const EntryCollection::EntryPtr entry = collection.Item(FileToMove);
    if (!collection.Add(entry, key, before, after))
        return false;
    if (!collection.Remove(oldPlace)) {
        collection.Remove(key);
        return false;
    }
    return true;
}

bool Sort(EntryCollection &collection, std::int32_t SortType, std::int32_t SortOrder,
          RandomSource &random)
{
    if (collection.Count() == 0)
        return false;
    if (SortOrder == sbrMP3SortRandom)
        return shuffle(collection, random);
    if (SortType < sbrMP3SortByFile || SortType > sbrMP3SortByTime)
        return false;

    const std::vector<EntryCollection::EntryPtr> entries = collection.entries();
    std::vector<std::size_t> order;
    if (SortType == sbrMP3SortByTime) {
        std::vector<std::int32_t> lengths;
        lengths.reserve(entries.size());
        for (const auto &entry : entries)
            lengths.push_back(entry->TrackLength());
        order = stableOrder(entries.size(), SortOrder, [&](std::size_t a, std::size_t b) {
            return lengths[a] < lengths[b] ? -1 : (lengths[a] > lengths[b] ? 1 : 0);
        });
    } else {
        std::vector<QString> texts;
        texts.reserve(entries.size());
        for (const auto &entry : entries)
            texts.push_back(sortingText(*entry, SortType));
        const TextOrder text(std::move(texts));
        order = stableOrder(entries.size(), SortOrder,
                            [&](std::size_t a, std::size_t b) { return text.compare(a, b); });
    }
    return rebuild(collection, entries, order, random);
}

}  // namespace SonbrelMP3
