#include "RangeMarks.h"

#include <algorithm>
#include <climits>

namespace kvx {

void TRangeMarks::Resort() {
    // Handles grow with every mark, so they keep marks of one start in the order added.
    std::sort(marks_.begin(), marks_.end(), [](const TRangeMark& a, const TRangeMark& b) {
        return a.Start != b.Start ? a.Start < b.Start : a.Handle < b.Handle;
    });
}

uint32_t TRangeMarks::Add(TextOffset start, int32_t length, int32_t user, uint8_t kind) {
    const int64_t end = int64_t(start) + length;
    TRangeMark m;
    m.Handle = nextHandle_++;
    if (nextHandle_ == 0)
        nextHandle_ = 1;
    m.Start =
        static_cast<TextOffset>(std::clamp<int64_t>(std::min<int64_t>(start, end), 0, INT32_MAX));
    m.End =
        static_cast<TextOffset>(std::clamp<int64_t>(std::max<int64_t>(start, end), 0, INT32_MAX));
    m.Kind = kind;
    m.User = user;
    marks_.push_back(m);
    Resort();
    return m.Handle;
}

TRangeMark* TRangeMarks::At(uint32_t handle) {
    const auto it = std::find_if(marks_.begin(), marks_.end(),
                                 [&](const TRangeMark& m) { return m.Handle == handle; });
    return it == marks_.end() ? nullptr : &*it;
}

const TRangeMark* TRangeMarks::Find(uint32_t handle) const {
    return const_cast<TRangeMarks*>(this)->At(handle);
}

const TRangeMark* TRangeMarks::FindOverlap(TextOffset from, TextOffset to) const {
    if (from > to)
        std::swap(from, to);
    for (const TRangeMark& m : marks_) {
        if (m.Start > to)
            break;
        if (m.End >= from)
            return &m;
    }
    return nullptr;
}

bool TRangeMarks::MoveEdge(uint32_t handle, TextOffset to, bool start) {
    TRangeMark* m = At(handle);
    if (!m)
        return false;
    (start ? m->Start : m->End) = std::max(to, 0);
    if (m->Start > m->End)
        std::swap(m->Start, m->End);
    Resort();
    return true;
}

bool TRangeMarks::Remove(uint32_t handle) {
    TRangeMark* m = At(handle);
    if (!m)
        return false;
    const TRangeMark gone = *m;
    marks_.erase(marks_.begin() + (m - marks_.data()));
    if (OnFree)
        OnFree(gone);
    return true;
}

void TRangeMarks::Clear() {
    // The list is emptied first: a handler that asks about marks finds none half gone.
    std::vector<TRangeMark> gone;
    gone.swap(marks_);
    if (OnFree)
        for (const TRangeMark& m : gone)
            OnFree(m);
}

void TRangeMarks::TextInserted(TextOffset at, int32_t count) {
    if (count <= 0)
        return;
    for (TRangeMark& m : marks_) {
        if (m.Start >= at) {
            m.Start += count;
            m.End += count;
        } else if (m.End > at) {
            m.End += count; // typed inside the mark: it takes the new text in
        }
    }
}

void TRangeMarks::TextDeleted(TextOffset at, int32_t count) {
    if (count <= 0)
        return;
    const TextOffset a = at;
    const TextOffset b = at + count;
    auto moved = [&](TextOffset x) { return x <= a ? x : x >= b ? x - count : a; };
    std::vector<TRangeMark> freed;
    std::vector<TRangeMark> changed;
    std::vector<TRangeMark> kept;
    kept.reserve(marks_.size());
    for (TRangeMark m : marks_) {
        if (m.Start >= a && m.End <= b) {
            freed.push_back(m);
            continue;
        }
        const bool overlaps = m.Start < b && m.End > a;
        m.Start = moved(m.Start);
        m.End = moved(m.End);
        if (overlaps)
            changed.push_back(m);
        kept.push_back(m);
    }
    marks_.swap(kept);
    // The list is whole again before any handler hears of it.
    for (const TRangeMark& m : freed)
        if (OnFree)
            OnFree(m);
    for (const TRangeMark& m : changed)
        if (OnChange)
            OnChange(m);
}

} // namespace kvx
