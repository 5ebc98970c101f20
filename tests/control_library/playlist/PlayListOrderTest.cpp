#include "playlist/PlayListOrder.h"

#include "Enumerations.h"
#include "FakeEngine.h"
#include "RaisedError.h"
#include "playlist/PlayListEntry.h"

#include <gtest/gtest.h>

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <map>
#include <ostream>
#include <set>
#include <vector>

namespace SonbrelMP3 {
namespace {

using testing::FakeEngine;

// Gives the scripted values in turn, over and over; re-seeding changes nothing.
class ScriptedRandom : public RandomSource {
public:
    explicit ScriptedRandom(std::vector<double> values) : values_(std::move(values)) {}
    void reseed(std::uint64_t) override {}
    void reseedFromClock() override { ++reseeds; }
    double next() override { return values_[drawn++ % values_.size()]; }
    std::size_t drawn = 0;
    int reseeds = 0;

private:
    std::vector<double> values_;
};

class PlayListOrderTest : public ::testing::Test {
protected:
    // An entry whose Tag names it, bound to a fake file with that tag and length.
    EntryCollection::EntryPtr add(const QString &name, const QString &key = {}, const QByteArray &title = {},
                                  const QByteArray &artist = {}, int length = 300,
                                  QString file = {})
    {
        if (file.isEmpty())
            file = "/music/" + name + ".mp3";
        engine.addFile(file, "1|3|0|128000|44100|0|0|Joint Stereo|0|0|1|0|4800000|11500|"
                                 + QByteArray::number(length))
            .tag = FakeEngine::tagBlock(title, artist);
        auto entry = std::make_shared<PlayListEntry>(engine);
        EXPECT_EQ(entry->SetFileName(file), 0);
        entry->setTag(name);
        entry->SetKey(key);
        EXPECT_TRUE(list.Add(entry, key));
        return entry;
    }
    void addLetters()
    {
        for (const char *name : {"A", "B", "C", "D", "E"})
            add(name, QStringLiteral("k") + name);
    }
    QString order() const
    {
        QString text;
        for (const auto &entry : list.entries())
            text += entry->Tag();
        return text;
    }
    // Every entry whose key in the list is no longer the one it was added under.
    QString rekeyed() const
    {
        QString text;
        for (int position = 1; position <= list.Count(); ++position) {
            const auto entry = list.Item(position);
            if (list.keyAt(position) != entry->Key()) {
                EXPECT_EQ(list.Item(entry->Key()), nullptr) << "the old key finds nothing";
                EXPECT_FALSE(list.keyAt(position).isEmpty());
                text += entry->Tag();
            }
        }
        return text;
    }

    FakeEngine engine;
    EntryCollection list;
    SeededRandomSource random{7};
};

struct MoveCase {
    int file, moveTo, target;
    const char *order;
    bool moves;
};

void PrintTo(const MoveCase &move, std::ostream *out)
{
    *out << move.file << " by " << move.moveTo << " to " << move.target;
}

class MoveTable : public PlayListOrderTest, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(MoveTable, InsertsUnderAFreshKeyThenRemovesTheOldPlace)
{
    addLetters();
    const MoveCase move = GetParam();
    const auto moved = list.Item(move.file);
    EXPECT_EQ(MovePlayListEntry(list, move.file, move.moveTo, move.target, random), move.moves);
    EXPECT_EQ(order(), move.order);
    EXPECT_EQ(rekeyed(), move.moves ? moved->Tag() : QString()) << "only the moved entry loses its key";
    if (moved) {
        EXPECT_EQ(moved->Key(), QStringLiteral("k") + moved->Tag()) << "the entry's own key stays";
    }
}

INSTANTIATE_TEST_SUITE_P(
    PlayListOrder, MoveTable,
    ::testing::Values(
        MoveCase{3, sbrMP3MoveUpOne, 0, "ACBDE", true}, MoveCase{1, sbrMP3MoveUpOne, 0, "ABCDE", false},
        MoveCase{2, sbrMP3MoveDownOne, 0, "ACBDE", true}, MoveCase{5, sbrMP3MoveDownOne, 0, "ABCDE", false},
        MoveCase{4, sbrMP3MoveToTop, 0, "DABCE", true}, MoveCase{1, sbrMP3MoveToTop, 0, "ABCDE", false},
        MoveCase{2, sbrMP3MoveToBottom, 0, "ACDEB", true}, MoveCase{5, sbrMP3MoveToBottom, 0, "ABCDE", false},
        MoveCase{2, sbrMP3MoveBeforeFile, 4, "ACBDE", true}, MoveCase{4, sbrMP3MoveBeforeFile, 2, "ADBCE", true},
        MoveCase{3, sbrMP3MoveBeforeFile, 4, "ABCDE", true}, MoveCase{5, sbrMP3MoveBeforeFile, 1, "EABCD", true},
        MoveCase{2, sbrMP3MoveBeforeFile, 2, "ABCDE", false}, MoveCase{2, sbrMP3MoveAfterFile, 4, "ACDBE", true},
        MoveCase{4, sbrMP3MoveAfterFile, 2, "ABDCE", true}, MoveCase{3, sbrMP3MoveAfterFile, 2, "ABCDE", true},
        MoveCase{1, sbrMP3MoveAfterFile, 5, "BCDEA", true}, MoveCase{4, sbrMP3MoveAfterFile, 4, "ABCDE", false},
        // No movement, unknown movements and positions that name no entry.
        MoveCase{2, sbrMP3MoveNone, 0, "ABCDE", false}, MoveCase{2, 7, 4, "ABCDE", false},
        MoveCase{2, -1, 0, "ABCDE", false}, MoveCase{0, sbrMP3MoveToTop, 0, "ABCDE", false},
        MoveCase{6, sbrMP3MoveUpOne, 0, "ABCDE", false}, MoveCase{-3, sbrMP3MoveAfterFile, 2, "ABCDE", false}));

TEST_F(PlayListOrderTest, MovingToAMissingTargetRaises30078AndChangesNothing)
{
    addLetters();
    for (const int target : {0, 6, -2}) {
        for (const int moveTo : {sbrMP3MoveBeforeFile, sbrMP3MoveAfterFile}) {
            try {
                MovePlayListEntry(list, 2, moveTo, target, random);
                ADD_FAILURE() << "nothing was raised";
            } catch (const RaisedError &error) {
                EXPECT_EQ(error.number(), 30078);
                EXPECT_EQ(error.source(), QString());
                EXPECT_EQ(error.description(), QStringLiteral("There is no PlayList entry '%1'.").arg(target));
            }
        }
    }
    EXPECT_EQ(order(), "ABCDE");
    EXPECT_EQ(rekeyed(), "");
}

TEST_F(PlayListOrderTest, FreshKeysAreWholeNumbersThatNeverClash)
{
    ScriptedRandom half({0.5});
    EXPECT_EQ(makeRandomKey(list, half), "1073741824");
    ScriptedRandom edges({0.0, 0.9999999999, 1.0, -0.5});
    EXPECT_EQ(makeRandomKey(list, edges), "0");
    EXPECT_EQ(makeRandomKey(list, edges), "2147483647");
    EXPECT_EQ(makeRandomKey(list, edges), "2147483647") << "a value out of range is kept in range";
    EXPECT_EQ(makeRandomKey(list, edges), "0");

    add("A", "0");
    add("B", "1073741824");
    ScriptedRandom clash({0.0, 0.5, 0.25});
    EXPECT_EQ(makeRandomKey(list, clash), "536870912") << "drawn again on a clash";
    ScriptedRandom stuck({0.5});
    EXPECT_EQ(makeRandomKey(list, stuck), "1073741825") << "a generator that repeats itself still ends";

    // The moved entry's own old key is in use while it is inserted.
    ScriptedRandom same({0.0, 0.75});
    EXPECT_TRUE(MovePlayListEntry(list, 1, sbrMP3MoveToBottom, 0, same));
    EXPECT_EQ(order(), "BA");
    EXPECT_EQ(list.keyAt(2), "1610612736");
    EXPECT_EQ(same.reseeds, 1);
}

TEST_F(PlayListOrderTest, SortingTextsOfTheTagAndTitle)
{
    const auto both = add("1", {}, "Song", "Band");
    const auto artist = add("2", {}, {}, "Band");
    const auto title = add("3", {}, "Song");
    const auto neither = add("4", {}, {}, {}, 300, "C:\\Music\\Plain.mp3");
    auto unbound = std::make_shared<PlayListEntry>(engine);
    EXPECT_EQ(sortingText(*both, sbrMP3SortByID3Tag), "Band - Song");
    EXPECT_EQ(sortingText(*artist, sbrMP3SortByID3Tag), "Band - Untitled");
    EXPECT_EQ(sortingText(*title, sbrMP3SortByID3Tag), "Unknown Artist - Song");
    EXPECT_EQ(sortingText(*neither, sbrMP3SortByID3Tag), "Plain.mp3");
    EXPECT_EQ(sortingText(*artist, sbrMP3SortByID3Title), "2.mp3");
    EXPECT_EQ(sortingText(*title, sbrMP3SortByID3Title), "Song");
    EXPECT_EQ(sortingText(*unbound, sbrMP3SortByID3Tag), "") << "an unreadable tag counts as empty";
}

struct SortCase {
    int sortType;
    const char *ascending, *descending;
};

void PrintTo(const SortCase &sort, std::ostream *out)
{
    *out << "type " << sort.sortType;
}

class SortTable : public PlayListOrderTest, public ::testing::WithParamInterface<SortCase> {};

// Each sort type on one list, where 1 and 2 compare equal and so do 4 and 5.
TEST_P(SortTable, SortsStablyBothWaysUnderFreshKeys)
{
    add("1", "a", "b", "X", 20, "/z/B.mp3");
    add("2", "b", "B", "x", 20, "C:\\a\\b.mp3");
    add("3", "c", "", "", 9, "/m/c.mp3");
    add("4", "d", "a", "", 100, "/n/A.mp3");
    add("5", "e", "A", "", 100, "/o/a.mp3");
    const int sortType = GetParam().sortType;
    ASSERT_TRUE(Sort(list, sortType, sbrMP3SortAscending, random));
    EXPECT_EQ(order(), GetParam().ascending);
    EXPECT_EQ(rekeyed(), order()) << "every entry loses its list key, not its own";
    ASSERT_TRUE(Sort(list, sortType, sbrMP3SortDescending, random));
    EXPECT_EQ(order(), GetParam().descending);
}

INSTANTIATE_TEST_SUITE_P(PlayListOrder, SortTable,
                         ::testing::Values(SortCase{sbrMP3SortByFile, "45123", "31245"},
                                           SortCase{sbrMP3SortByID3Title, "45123", "31245"},
                                           SortCase{sbrMP3SortByID3Tag, "34512", "12453"},
                                           SortCase{sbrMP3SortByTime, "31245", "45123"}));

// The order equals the one that passes exchanging out-of-order neighbours
// with the system collator reach.
TEST_F(PlayListOrderTest, OrderMatchesNeighbourPassesWithTheCollator)
{
    const QStringList words{"apple", "Apple", "Äpfel", "zebra", "Zebra", "éclair", "eclair", "10", "9", "",
                            "b", "B", "ß", "ss", "Ölfeld", "oel"};
    for (int i = 0; i < 60; ++i)
        add(QString::number(i), {}, words[(i * 7 + i / 5) % words.size()].toLatin1());
    QCollator collator(QLocale::system());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    for (const int direction : {sbrMP3SortAscending, sbrMP3SortDescending}) {
        std::vector<EntryCollection::EntryPtr> expected = list.entries();
        for (bool exchanged = true; exchanged;) {
            exchanged = false;
            for (std::size_t i = 0; i + 1 < expected.size(); ++i) {
                const int compared = collator.compare(sortingText(*expected[i], sbrMP3SortByID3Title),
                                                      sortingText(*expected[i + 1], sbrMP3SortByID3Title));
                if ((compared < 0 ? -1 : compared > 0 ? 1 : 0) == direction) {
                    std::swap(expected[i], expected[i + 1]);
                    exchanged = true;
                }
            }
        }
        Sort(list, sbrMP3SortByID3Title, direction, random);
        EXPECT_EQ(list.entries(), expected);
    }
}

TEST_F(PlayListOrderTest, UnknownSortTypeEmptyListAndUnknownOrder)
{
    EXPECT_FALSE(Sort(list, sbrMP3SortByFile, sbrMP3SortAscending, random));
    EXPECT_FALSE(Sort(list, sbrMP3SortByFile, sbrMP3SortRandom, random));
    EXPECT_EQ(list.Count(), 0);
    add("b", "kb", "b");
    add("a", "ka", "a");
    for (const int sortType : {4, -1, 100})
        EXPECT_FALSE(Sort(list, sortType, sbrMP3SortAscending, random));
    EXPECT_EQ(order(), "ba");
    EXPECT_EQ(rekeyed(), "") << "an unknown sort type keeps the keys too";
    EXPECT_TRUE(Sort(list, sbrMP3SortByID3Title, 2, random));
    EXPECT_EQ(order(), "ba") << "an order that is neither direction exchanges nothing";
    EXPECT_EQ(rekeyed(), "ba");

    auto unbound = std::make_shared<PlayListEntry>(engine);
    unbound->setTag("u");
    list.Add(unbound);
    EXPECT_TRUE(Sort(list, sbrMP3SortByID3Tag, sbrMP3SortAscending, random))
        << "an entry without a readable tag sorts as empty text";
    EXPECT_EQ(order(), "uab");
}

TEST_F(PlayListOrderTest, ShuffleDrawsPositionThenKeyForAnySortType)
{
    addLetters();
    const auto before = list.entries();
    ScriptedRandom scripted({0.99, 0.1, 0.0, 0.2, 0.99, 0.3, 0.5, 0.4, 0.0, 0.6});
    EXPECT_TRUE(Sort(list, 99, sbrMP3SortRandom, scripted));
    EXPECT_EQ(scripted.reseeds, 1);
    EXPECT_EQ(order(), "EBACD");
    EXPECT_EQ(list.keyAt(1), "214748364");
    EXPECT_EQ(list.keyAt(5), "1288490188");
    EXPECT_EQ(rekeyed(), order());
}

TEST_F(PlayListOrderTest, ShuffleReachesEveryOrderOfThree)
{
    std::set<QString> orders;
    for (const double first : {0.0, 0.4, 0.8})
        for (const double second : {0.1, 0.6}) {
            list = EntryCollection();
            for (const char *name : {"A", "B", "C"})
                add(name);
            ScriptedRandom scripted({first, 0.11, second, 0.22, 0.5, 0.33});
            Sort(list, sbrMP3SortByFile, sbrMP3SortRandom, scripted);
            orders.insert(order());
        }
    EXPECT_EQ(orders.size(), 6U);
}

TEST_F(PlayListOrderTest, ShufflePutsEachEntryInEachPlaceEquallyOften)
{
    for (const char *name : {"A", "B", "C", "D"})
        add(name);
    constexpr int kRuns = 6000;
    std::map<QString, int> counts;
    std::set<QString> orders;
    for (int run = 0; run < kRuns; ++run) {
        Sort(list, sbrMP3SortByFile, sbrMP3SortRandom, random);
        const QString now = order();
        orders.insert(now);
        for (int place = 0; place < 4; ++place)
            ++counts[now.mid(place, 1) + QString::number(place)];
    }
    EXPECT_EQ(orders.size(), 24U);
    for (const auto &[entryAtPlace, count] : counts) // expected 1500; 5 standard deviations ~ 170
        EXPECT_NEAR(count, kRuns / 4, 170) << entryAtPlace.toStdString();
}

TEST(PlayListOrderRandomTest, ValuesLieInTheUnitIntervalAndReseedsDiffer)
{
    SystemRandomSource system;
    double low = 1.0, high = 0.0;
    for (int i = 0; i < 1000; ++i) {
        const double value = system.next();
        low = std::min(low, value);
        high = std::max(high, value);
    }
    EXPECT_GE(low, 0.0);
    EXPECT_LT(high, 1.0);
    system.reseedFromClock();
    const double first = system.next();
    system.reseedFromClock();
    EXPECT_NE(system.next(), first) << "two re-seeds in one clock tick still differ";
}

}  // namespace
}  // namespace SonbrelMP3
