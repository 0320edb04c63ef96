#include "StoreInvariants.h"

#include <algorithm>
#include <unordered_map>

namespace kvx::test {

std::string CheckStore(TTextStore& store) {
    int64_t total = 0;
    int32_t rows = 0;
    int longest = 0;
    const TLineNode* prev = nullptr;
    std::unordered_map<const TLineNode*, TRowFinger> where; // walked from the first row
    for (const TLineNode* r = store.FirstRow(); r; prev = r, r = r->Next()) {
        where[r] = {const_cast<TLineNode*>(r), static_cast<TextOffset>(total), rows};
        auto at = [&] { return "row " + std::to_string(rows) + ": "; };
        if (r->Prev() != prev)
            return at() + "broken back link";
        if (r->Length() < 1)
            return at() + "empty row";
        if (r->Length() > MaxRowLength)
            return at() + "longer than the row cap";
        if (r->Text()[r->Length()] != 0)
            return at() + "text not zero-terminated";
        bool tab = false;
        for (int i = 0; i < r->Length(); ++i) {
            const unsigned char c = r->At(i);
            if (c == '\r' && i != r->Length() - 1)
                return at() + "break inside a row";
            if (c < 32 && c != '\t' && c != '\r')
                return at() + "forbidden byte " + std::to_string(c);
            tab |= c == '\t';
        }
        if (tab != bool(r->RowFlags() & rfHasTab))
            return at() + "TAB flag wrong";
        const bool cont = prev && !prev->EndsWithBreak();
        if (cont != r->IsContinuation())
            return at() + "continuation mark wrong";
        if (store.Utf8() && !store.IsCharStart(r, 0))
            return at() + "starts inside a character";
        total += r->Length();
        longest = std::max(longest, r->Length());
        ++rows;
    }
    if (prev != store.LastRow())
        return "last row pointer wrong";
    if (total != store.TextLength())
        return "lengths do not sum to TextLength";
    if (rows != store.RowCount())
        return "RowCount wrong";
    if (longest != store.LongestRow())
        return "LongestRow wrong";
    auto stale = [&](const TRowFinger& f) {
        if (!f.Row)
            return false;
        const auto it = where.find(f.Row);
        return it == where.end() || it->second.Offset != f.Offset || it->second.Index != f.Index;
    };
    for (const TStoreView* v : store.Views()) {
        if (stale(v->TopFinger()))
            return "stale first-visible-row finger";
        if (stale(v->RescanFrom()))
            return "stale rescan finger";
    }
    return {};
}

} // namespace kvx::test
