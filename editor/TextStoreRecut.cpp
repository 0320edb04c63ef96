// Cutting the rows of a logical line again without changing its text: what word wrap does
// to every line when the window narrows, and to an edited line after the store has cut it
// at the row cap. Kept apart from the editing primitives in TextStore.cpp, which replace
// text; this only moves the places where rows end.
#include "Encoding.h"
#include "TextStore.h"

#include <cstring>
#include <vector>

namespace kvx {

TTextStore::TRecut TTextStore::RecutRows(const TRowFinger& from, std::span<const int32_t> lengths) {
    TRecut out;
    if (!from.Row)
        return out;
    // The rows to replace, and whether they are cut as asked already (the usual case when a
    // whole document is wrapped again: most lines do not change).
    int32_t oldCount = 0;
    int64_t oldLen = 0;
    bool same = true;
    TLineNode* last = from.Row;
    for (TLineNode* r = from.Row;; r = r->next_) {
        same = same && size_t(oldCount) < lengths.size() && lengths[size_t(oldCount)] == r->length_;
        ++oldCount;
        oldLen += r->length_;
        last = r;
        if (r->EndsWithBreak() || !r->next_)
            break;
    }
    TLineNode* const after = last->next_;
    TLineNode* const prev = from.Row->prev_;
    out.First = from.Row;
    out.Last = last;
    out.Next = {after, static_cast<TextOffset>(from.Offset + oldLen), from.Index + oldCount};
    if (same && lengths.size() == size_t(oldCount))
        return out;

    // The text and token bytes of the rows, joined, so the cuts can be checked against them.
    work_.clear();
    carry_.Clear();
    struct TPending {
        int64_t Start, End;
        uint32_t Flags;
    };
    std::vector<TPending> pending; // rows waiting for a rescan: rare, usually empty
    for (TLineNode* r = from.Row;; r = r->next_) {
        if (const uint32_t f = r->flags_ & (rfRescan | rfScanStart))
            pending.push_back({int64_t(work_.size()), int64_t(work_.size()) + r->length_, f});
        work_.append(r->Text(), r->length_);
        carry_.Take(r, 0);
        if (r == last)
            break;
    }
    int64_t sum = 0;
    for (const int32_t n : lengths) {
        if (n < 1 || n > MaxRowLength)
            return out;
        sum += n;
        if (utf8_ && sum < oldLen && !Utf8IsCharStart(work_.data(), static_cast<int>(sum)))
            return out;
    }
    if (sum != oldLen)
        return out;

    const uint32_t endFlags = last->flags_ & (rfBoundEnd | rfCleanEnd);
    TRowKeep keep = TakeKeep(from.Row);
    for (TLineNode* r = from.Row;;) {
        TLineNode* next = r->next_;
        const bool end = r == last;
        FreeRow(r);
        if (end)
            break;
        r = next;
    }

    TLineNode* p = prev;
    TLineNode* first = nullptr;
    int64_t at = 0;
    size_t fresh = 0;
    TRowFinger firstFresh, lastFresh; // rows cut from rows that had no token bytes
    for (size_t k = 0; k < lengths.size(); ++k) {
        const int n = lengths[k];
        const char* text = work_.data() + at;
        uint32_t flags = rfRepaint;
        unsigned char high = 0;
        for (int i = 0; i < n; ++i)
            high |= static_cast<unsigned char>(text[i]);
        if (high & 0x80)
            flags |= rfHighBytes;
        if (std::memchr(text, '\t', size_t(n)))
            flags |= rfHasTab;
        const bool lineEnd = k + 1 == lengths.size();
        const bool carried = carry_.Carried(at, n, fresh);
        if (carried) {
            // The characters are the same, so their token bytes still hold. Where a row now
            // ends the highlighting never saw the states; it must not take the row's end for
            // a place to stop until it has scanned past it once.
            flags |= lineEnd ? endFlags : rfBoundEnd;
            for (const TPending& q : pending)
                if (q.Start < at + n && q.End > at)
                    flags |= q.Flags;
        } else {
            flags |= rfRescan;
        }
        TLineNode* r = NewRowBlock(n, flags);
        std::memcpy(r->MutableText(), text, size_t(n));
        if (carried) {
            r->hasStyles_ = 1;
            std::memcpy(r->StyleBytes(), carry_.Bytes.data() + at, size_t(n));
        } else {
            lastFresh = {r, static_cast<TextOffset>(from.Offset + at),
                         from.Index + static_cast<int32_t>(k)};
            if (!firstFresh.Row)
                firstFresh = lastFresh;
        }
        r->prev_ = p;
        (p ? p->next_ : first_) = r;
        if (!first) {
            first = r;
            r->marks_ = keep.Marks;
            r->glyph_ = keep.Glyph;
            if (keep.HasExtras) {
                if (keep.Extras.Object)
                    keep.Extras.Object->Row = r;
                extras_[r] = std::move(keep.Extras);
                r->hasExtras_ = 1;
            }
        } else {
            r->marks_ = rmContinuation;
        }
        p = r;
        at += n;
    }
    (p ? p->next_ : first_) = after;
    if (after)
        after->prev_ = p;
    else
        last_ = p;

    const auto newCount = static_cast<int32_t>(lengths.size());
    out.RowDelta = newCount - oldCount;
    out.First = first;
    out.Last = p;
    out.Next.Index = from.Index + newCount;
    out.Changed = true;
    rowCount_ += out.RowDelta;

    // A finger on a replaced row goes to the new row that holds its offset; one after them
    // keeps its offset and moves by the rows gained.
    const TextOffset lineEnd = static_cast<TextOffset>(from.Offset + oldLen);
    auto fix = [&](TRowFinger& f) {
        if (!f.Row || f.Offset < from.Offset)
            return;
        if (f.Offset >= lineEnd) {
            f.Index += out.RowDelta;
            return;
        }
        TRowFinger g{first, from.Offset, from.Index};
        while (g.Row != p && f.Offset - g.Offset >= g.Row->length_) {
            g.Offset += g.Row->length_;
            g.Row = g.Row->next_;
            ++g.Index;
        }
        f = g;
    };
    fix(cache_);
    for (TStoreView* v : views_) {
        fix(v->Top);
        fix(v->Rescan);
        fix(v->RescanLast);
    }
    // The rows without bytes are highlighted by the next pass, which must not stop before
    // the last of them.
    if (firstFresh.Row) {
        NoteRescan(firstFresh.Row, firstFresh.Offset, firstFresh.Index);
        NoteRescan(lastFresh.Row, lastFresh.Offset, lastFresh.Index);
    }
    return out;
}

} // namespace kvx
