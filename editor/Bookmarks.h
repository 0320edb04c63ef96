// Named positions in a document: offsets that follow insertions and deletions, for the
// control's owners to keep places by name (the numbered bookmarks live on the rows).
#pragma once

#include "TextStore.h"

#include <functional>
#include <string>
#include <vector>

namespace kvx {

class TCustomBookmarks : public TStoreListener {
  public:
    struct TEntry {
        std::string Name;
        TextOffset Offset = 0;
    };

    // Adds a position, or moves the one with that name.
    void Add(const std::string& name, TextOffset offset);
    // The position's offset, or -1 when there is none of that name.
    TextOffset Find(const std::string& name) const;
    // False when there is none of that name. Removing by hand raises no OnFree.
    bool Remove(const std::string& name);
    // Entries in offset order (equal offsets in the order they were placed there).
    const std::vector<TEntry>& Entries() const { return entries_; }
    void Clear();

    // `fn` runs for each position that goes because the text around it was deleted, or the
    // document emptied. One owner (the control showing the document) at a time; releasing
    // as another owner changes nothing.
    void SetOnFree(const void* owner, std::function<void(const std::string& name)> fn) {
        onFreeOwner_ = owner;
        onFree_ = std::move(fn);
    }
    void ReleaseOnFree(const void* owner) {
        if (owner == onFreeOwner_)
            SetOnFree(nullptr, nullptr);
    }

    // After n characters were inserted at `at`: positions at or after it move by n.
    void TextInserted(TextOffset at, int32_t n) override;
    // After n characters were deleted at `at`: positions inside go, later ones move back.
    void TextDeleted(TextOffset at, int32_t n) override;
    void StoreEmptied() override { Clear(); }

  private:
    void Insert(TEntry entry);
    // Name -> index into entries_, kept sorted by name; rebuilt when the indexes move.
    void Reindex();

    void Freed(const std::string& name) const {
        if (onFree_)
            onFree_(name);
    }

    std::vector<TEntry> entries_;
    std::vector<std::pair<std::string, size_t>> byName_;
    const void* onFreeOwner_ = nullptr;
    std::function<void(const std::string&)> onFree_;
};

} // namespace kvx
