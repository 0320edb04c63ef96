// The matcher's memory of what it has tried: one bit per (row, text position), where a row
// stands for a node of the program that more than one path leads to, or for the loop of a
// star. A backtracking search that never enters the same state twice does work in
// proportion to the text times the program, however the pattern is written.
//
// Bits live in pages of 4096 positions that are made when a bit in them is first set and
// dropped when the next search starts, so a search pays for the part of the text it went
// through, not for the whole text, and a run of many short searches stays cheap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvx::re {

class TVisited {
  public:
    // Room for this many bytes of pages: a search that would need more goes on without
    // remembering further states (see Full()).
    static constexpr int64_t kMaxBytes = int64_t(64) << 20;

    // Forgets everything; rows x positions bits are addressable afterwards.
    void Reset(int rows, int32_t positions);

    bool Test(int row, int32_t pos) const {
        const int32_t page = table_[Slot(row, pos)];
        return page >= 0 && (pool_[Word(page, pos)] >> (pos & 63)) & 1;
    }
    // Sets the bits of positions from..to (both included). Bits that would need a page
    // beyond kMaxBytes are not set.
    void SetRange(int row, int32_t from, int32_t to);
    // Sets one bit; answers whether it was set already.
    bool TestAndSet(int row, int32_t pos) {
        const size_t slot = Slot(row, pos);
        const int32_t page = table_[slot] >= 0 ? table_[slot] : PageFor(slot);
        if (page < 0)
            return false;
        uint64_t& word = pool_[Word(page, pos)];
        const uint64_t bit = uint64_t(1) << (pos & 63);
        const bool was = word & bit;
        word |= bit;
        return was;
    }
    // The first set position in [from, to), or `to` when there is none.
    int32_t NextSet(int row, int32_t from, int32_t to) const;

    // Some bit could not be set for want of room.
    bool Full() const { return full_; }

  private:
    static constexpr int kPageShift = 12;
    static constexpr int kPageWords = (1 << kPageShift) / 64;

    size_t Slot(int row, int32_t pos) const {
        return static_cast<size_t>(row) * static_cast<size_t>(pagesPerRow_) +
               static_cast<size_t>(pos >> kPageShift);
    }
    static size_t Word(int32_t page, int32_t pos) {
        return static_cast<size_t>(page) * kPageWords + ((pos >> 6) & (kPageWords - 1));
    }
    int32_t PageFor(size_t slot);

    int rows_ = 0;
    int32_t pagesPerRow_ = 0;
    std::vector<int32_t> table_; // row x page of positions -> page in pool_, or -1
    std::vector<uint64_t> pool_;
    std::vector<size_t> used_; // slots of table_ that hold a page
    bool full_ = false;
};

} // namespace kvx::re
