#include "Bookmarks.h"

#include <algorithm>

namespace kvx {

void TCustomBookmarks::Reindex() {
    byName_.clear();
    byName_.reserve(entries_.size());
    for (size_t i = 0; i < entries_.size(); ++i)
        byName_.emplace_back(entries_[i].Name, i);
    std::sort(byName_.begin(), byName_.end());
}

void TCustomBookmarks::Insert(TEntry entry) {
    const auto at =
        std::upper_bound(entries_.begin(), entries_.end(), entry.Offset,
                         [](TextOffset offset, const TEntry& e) { return offset < e.Offset; });
    entries_.insert(at, std::move(entry));
    Reindex();
}

void TCustomBookmarks::Add(const std::string& name, TextOffset offset) {
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const TEntry& e) { return e.Name == name; });
    if (it != entries_.end())
        entries_.erase(it);
    Insert({name, offset});
}

TextOffset TCustomBookmarks::Find(const std::string& name) const {
    const auto it = std::lower_bound(
        byName_.begin(), byName_.end(), name,
        [](const std::pair<std::string, size_t>& e, const std::string& n) { return e.first < n; });
    return it != byName_.end() && it->first == name ? entries_[it->second].Offset : -1;
}

bool TCustomBookmarks::Remove(const std::string& name) {
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const TEntry& e) { return e.Name == name; });
    if (it == entries_.end())
        return false;
    entries_.erase(it);
    Reindex();
    return true;
}

void TCustomBookmarks::Clear() {
    std::vector<TEntry> gone;
    gone.swap(entries_);
    byName_.clear();
    for (const TEntry& e : gone)
        Freed(e.Name);
}

void TCustomBookmarks::TextInserted(TextOffset at, int32_t n) {
    for (TEntry& e : entries_)
        if (e.Offset >= at)
            e.Offset += n;
}

void TCustomBookmarks::TextDeleted(TextOffset at, int32_t n) {
    std::vector<std::string> gone;
    std::erase_if(entries_, [&](const TEntry& e) {
        const bool inside = e.Offset >= at && e.Offset < at + n;
        if (inside)
            gone.push_back(e.Name);
        return inside;
    });
    for (TEntry& e : entries_)
        if (e.Offset >= at + n)
            e.Offset -= n;
    if (!gone.empty())
        Reindex();
    // The list is consistent before anyone hears of the removals.
    for (const std::string& name : gone)
        Freed(name);
}

} // namespace kvx
