#include "playlist/EntryCollection.h"

#include "FakeEngine.h"
#include "playlist/PlayListEntry.h"

#include <gtest/gtest.h>

namespace SonbrelMP3 {
namespace {

class EntryCollectionTest : public ::testing::Test {
protected:
    EntryCollection::EntryPtr entry(const QString &tag)
    {
        auto made = std::make_shared<PlayListEntry>(engine);
        made->setTag(tag);
        return made;
    }
    QString order() const
    {
        QString text;
        for (const auto &item : collection.entries())
            text += item->Tag();
        return text;
    }

    testing::FakeEngine engine;
    EntryCollection collection;
};

TEST_F(EntryCollectionTest, AddsAtTheEndBeforeOrAfterAPosition)
{
    ASSERT_TRUE(collection.Add(entry("A")));
    ASSERT_TRUE(collection.Add(entry("C")));
    ASSERT_TRUE(collection.Add(entry("B"), {}, 2));
    ASSERT_TRUE(collection.Add(entry("D"), {}, 0, 3));
    ASSERT_TRUE(collection.Add(entry("0"), {}, 1, 4)) << "before wins over after";
    EXPECT_EQ(order(), "0ABCD");
    EXPECT_FALSE(collection.Add(entry("X"), {}, 6));
    EXPECT_FALSE(collection.Add(entry("X"), {}, 0, 6));
    EXPECT_FALSE(collection.Add(nullptr));
    EXPECT_EQ(order(), "0ABCD") << "a failed add changes nothing";
    EXPECT_EQ(collection.Item(0), nullptr);
    EXPECT_EQ(collection.Item(6), nullptr);
    EXPECT_EQ(collection.Item(5)->Tag(), "D");
}

TEST_F(EntryCollectionTest, KeysAreUniqueWithoutRegardToCase)
{
    ASSERT_TRUE(collection.Add(entry("A"), "Morning"));
    ASSERT_TRUE(collection.Add(entry("B")));
    ASSERT_TRUE(collection.Add(entry("C"), "Évening"));
    EXPECT_FALSE(collection.Add(entry("X"), "MORNING"));
    EXPECT_FALSE(collection.Add(entry("X"), "éVENING"));
    EXPECT_EQ(collection.Count(), 3);
    EXPECT_EQ(collection.Item("morning")->Tag(), "A");
    EXPECT_EQ(collection.positionOf("ÉVENING"), 3);
    EXPECT_EQ(collection.keyAt(1), "Morning") << "the key as it was given";
    EXPECT_EQ(collection.Item("Noon"), nullptr);
    EXPECT_EQ(collection.Item(""), nullptr) << "items without a key are reached by position only";

    EXPECT_TRUE(collection.Remove("MORNING"));
    EXPECT_FALSE(collection.Remove("Morning"));
    EXPECT_TRUE(collection.Add(entry("A2"), "morning")) << "a removed key is free again";
    EXPECT_EQ(order(), "BCA2");
}

TEST_F(EntryCollectionTest, RemovingShiftsPositionsAndSharedEntriesStayAlive)
{
    const auto shared = entry("S");
    for (const char *tag : {"A", "B", "C"})
        collection.Add(entry(tag));
    collection.Add(shared, {}, 2);
    EntryCollection other;
    other.Add(shared, "k");
    EXPECT_TRUE(collection.Remove(2));
    EXPECT_FALSE(collection.Remove(4));
    EXPECT_FALSE(collection.Remove(0));
    EXPECT_EQ(order(), "ABC");
    EXPECT_EQ(other.Item("K")->Tag(), "S") << "the other collection still holds it";
    EXPECT_EQ(shared.use_count(), 2);

    other.clear();
    EXPECT_EQ(other.Count(), 0);
    EXPECT_EQ(other.Item("k"), nullptr);
    EXPECT_EQ(shared.use_count(), 1);
    EXPECT_TRUE(other.Add(entry("T"), "K")) << "a cleared key is free again";
}

}  // namespace
}  // namespace SonbrelMP3
