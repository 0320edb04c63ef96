// Range marks: stretches of a document that the application points out (a word the spelling
// check does not know, the place of a compiler error), drawn under the text as a red zigzag
// unless the application draws them itself. They follow the text as it is edited: text
// typed before a mark moves it, text typed inside widens it, and a deletion that swallows
// a mark removes it.
#pragma once

#include "EdTypes.h"
#include "TextStore.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace kvx {

struct TRangeMark {
    uint32_t Handle = 0; // never 0 for a mark that exists
    TextOffset Start = 0;
    TextOffset End = 0; // exclusive; never before Start
    uint8_t Kind = 0;
    int32_t User = 0; // the application's value
    bool operator==(const TRangeMark&) const = default;
};

class TRangeMarks : public TStoreListener {
  public:
    using TMarkEvent = std::function<void(const TRangeMark&)>;

    // Sorted by start, marks with the same start in the order they were added.
    const std::vector<TRangeMark>& Marks() const { return marks_; }
    bool Empty() const { return marks_.empty(); }

    // A mark over [start, start + length); a negative length counts backwards. Returns its
    // handle.
    uint32_t Add(TextOffset start, int32_t length, int32_t user, uint8_t kind = 0);
    // The mark with a handle; null when there is none (any more).
    const TRangeMark* Find(uint32_t handle) const;
    // The first mark (by start) whose range touches [from, to], ends included; null: none.
    const TRangeMark* FindOverlap(TextOffset from, TextOffset to) const;
    // Move one end of a mark; an end moved past the other swaps them. False for an unknown
    // handle.
    bool MoveStart(uint32_t handle, TextOffset start) { return MoveEdge(handle, start, true); }
    bool MoveEnd(uint32_t handle, TextOffset end) { return MoveEdge(handle, end, false); }
    // Removes one mark, or all of them, telling OnFree about each.
    bool Remove(uint32_t handle);
    void Clear();

    // A mark's range changed through an edit of the text; a mark went with deleted text.
    TMarkEvent OnChange;
    TMarkEvent OnFree;

    void TextInserted(TextOffset at, int32_t count) override;
    void TextDeleted(TextOffset at, int32_t count) override;
    void StoreEmptied() override { Clear(); }

  private:
    void Resort();
    TRangeMark* At(uint32_t handle);
    bool MoveEdge(uint32_t handle, TextOffset to, bool start);

    std::vector<TRangeMark> marks_;
    uint32_t nextHandle_ = 1;
};

} // namespace kvx
