#include "playlist/EntryCollection.h"

#include "playlist/PlayListEntry.h"

namespace SonbrelMP3 {

bool EntryCollection::Add(EntryPtr entry, const QString &key, int before, int after)
{
    if (!entry || containsKey(key))
        return false;
    std::size_t at = items_.size();
    if (before > 0) {
        if (before > Count())
            return false;
        at = static_cast<std::size_t>(before - 1);
    } else if (after > 0) {
        if (after > Count())
            return false;
        at = static_cast<std::size_t>(after);
    }
    const QString folded = key.isEmpty() ? QString() : fold(key);
    if (!key.isEmpty())
        keys_.insert(folded, entry);
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), Slot{std::move(entry), key, folded});
    return true;
}

EntryCollection::EntryPtr EntryCollection::Item(int position) const
{
    if (position < 1 || position > Count())
        return nullptr;
    return items_[static_cast<std::size_t>(position - 1)].entry;
}

EntryCollection::EntryPtr EntryCollection::Item(const QString &key) const
{
    return key.isEmpty() ? nullptr : keys_.value(fold(key)).lock();
}

QString EntryCollection::keyAt(int position) const
{
    if (position < 1 || position > Count())
        return {};
    return items_[static_cast<std::size_t>(position - 1)].key;
}

int EntryCollection::positionOf(const QString &key) const
{
    if (!containsKey(key))
        return 0;
    const QString folded = fold(key);
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].folded == folded)
            return static_cast<int>(i) + 1;
    return 0;
}

bool EntryCollection::Remove(int position)
{
    if (position < 1 || position > Count())
        return false;
    const auto at = items_.begin() + (position - 1);
    if (!at->key.isEmpty())
        keys_.remove(at->folded);
    items_.erase(at);
    return true;
}

void EntryCollection::clear() noexcept
{
    items_.clear();
    keys_.clear();
}

bool EntryCollection::Remove(const QString &key)
{
    const int position = positionOf(key);
    return position > 0 && Remove(position);
}

std::vector<EntryCollection::EntryPtr> EntryCollection::entries() const
{
    std::vector<EntryPtr> result;
    result.reserve(items_.size());
    for (const Slot &item : items_)
        result.push_back(item.entry);
    return result;
}

}  // namespace SonbrelMP3
