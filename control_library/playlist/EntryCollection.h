#pragma once

#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace SonbrelMP3 {

class PlayListEntry;

// The playlist's entries in play order. Positions are 1-based and
// contiguous; an item may carry a text key, unique within the collection and
// compared without regard to letter case. Entries are held by counted
// reference, so one entry may sit in two collections at once (moving and
// sorting build new collections from the same entries).
//
// Every operation that fails returns false or nullptr and leaves the
// collection exactly as it was.
class EntryCollection {
public:
    using EntryPtr = std::shared_ptr<PlayListEntry>;

    int Count() const noexcept { return static_cast<int>(items_.size()); }

    // Inserts before position `before` when it is above 0, else after
    // position `after` when that is above 0, else at the end. Fails when the
    // key is in use or the position does not exist.
    bool Add(EntryPtr entry, const QString &key = {}, int before = 0, int after = 0);

    // The entry at a position, or with a key; nullptr when there is none.
    EntryPtr Item(int position) const;
    EntryPtr Item(const QString &key) const;
    // The key an item was added under ("" for none).
    QString keyAt(int position) const;
    // The position of the item with a key, 0 when there is none.
    int positionOf(const QString &key) const;
    bool containsKey(const QString &key) const { return !key.isEmpty() && keys_.contains(fold(key)); }

    bool Remove(int position);
    bool Remove(const QString &key);
    // Removes every item at once (as removing the first one as often as
    // there are items would, in time linear in the count).
    void clear() noexcept;

    // The entries in position order.
    std::vector<EntryPtr> entries() const;

private:
    struct Slot {
        EntryPtr entry;
        QString key;
        QString folded;  // the key as compared, "" for none
    };
    static QString fold(const QString &key) { return key.toCaseFolded(); }

    std::vector<Slot> items_;
    QHash<QString, std::weak_ptr<PlayListEntry>> keys_; // folded key -> its item's entry
};

}  // namespace SonbrelMP3
