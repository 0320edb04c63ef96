#include "REVisited.h"

#include <algorithm>
#include <bit>

namespace kvx::re {

void TVisited::Reset(int rows, int32_t positions) {
    const int32_t pages = (positions >> kPageShift) + 1;
    if (rows != rows_ || pages != pagesPerRow_) {
        rows_ = rows;
        pagesPerRow_ = pages;
        table_.assign(static_cast<size_t>(rows) * static_cast<size_t>(pages), -1);
    } else {
        // Only the pages the last search made need forgetting.
        for (const size_t slot : used_)
            table_[slot] = -1;
    }
    used_.clear();
    pool_.clear();
    full_ = false;
}

int32_t TVisited::PageFor(size_t slot) {
    if (table_[slot] >= 0)
        return table_[slot];
    if (static_cast<int64_t>(pool_.size() + kPageWords) * 8 > kMaxBytes) {
        full_ = true;
        return -1;
    }
    const auto page = static_cast<int32_t>(pool_.size() / kPageWords);
    pool_.resize(pool_.size() + kPageWords, 0);
    table_[slot] = page;
    used_.push_back(slot);
    return page;
}

void TVisited::SetRange(int row, int32_t from, int32_t to) {
    while (from <= to) {
        const int32_t page = PageFor(Slot(row, from));
        // The last position in the same 64-bit word.
        const int32_t stop = std::min(to, from | 63);
        if (page >= 0) {
            const int width = stop - from + 1;
            const uint64_t bits = width == 64 ? ~uint64_t(0) : ((uint64_t(1) << width) - 1);
            pool_[Word(page, from)] |= bits << (from & 63);
        }
        from = stop + 1;
    }
}

int32_t TVisited::NextSet(int row, int32_t from, int32_t to) const {
    while (from < to) {
        const int32_t page = table_[Slot(row, from)];
        if (page < 0) {
            // Nothing set in the rest of this page.
            from = ((from >> kPageShift) + 1) << kPageShift;
            continue;
        }
        const uint64_t word = pool_[Word(page, from)] >> (from & 63);
        if (word) {
            const int32_t at = from + std::countr_zero(word);
            return at < to ? at : to;
        }
        from = (from | 63) + 1;
    }
    return to;
}

} // namespace kvx::re
