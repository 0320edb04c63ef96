#include "StoreInvariants.h"

#include "editor/TextFile.h"
#include "editor/TextLoader.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace kvx::test {

std::vector<int32_t> LimitCuts(const char* text, int32_t length, bool utf8) {
    std::vector<int32_t> cuts;
    for (int32_t start = 0; length - start > MaxRowLength;) {
        int32_t cut = start + MaxRowLength;
        // A continuation byte at the cut whose lead byte, at most three bytes back, starts a
        // sequence long enough to reach it: the row ends before that lead byte instead.
        const auto at = [&](int32_t i) { return static_cast<unsigned char>(text[i]); };
        if (utf8 && (at(cut) & 0xC0) == 0x80) {
            int32_t lead = cut - 1;
            while (lead > cut - 3 && (at(lead) & 0xC0) == 0x80)
                --lead;
            const unsigned char b = at(lead);
            const int32_t n = b >= 0xF0 && b <= 0xF7   ? 4
                              : b >= 0xE0 && b <= 0xEF ? 3
                              : b >= 0xC0 && b <= 0xDF ? 2
                                                       : 1;
            if ((b & 0xC0) != 0x80 && lead + n > cut)
                cut = lead;
        }
        cuts.push_back(cut);
        start = cut;
    }
    return cuts;
}

std::string CheckStore(TTextStore& store, bool wrapped) {
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
    if (!wrapped) {
        int32_t row = 0;
        std::string line;
        std::vector<int32_t> lengths;
        for (const TLineNode* r = store.FirstRow(); r; r = r->Next()) {
            line.append(r->Text(), static_cast<size_t>(r->Length()));
            lengths.push_back(r->Length());
            if (r->Next() && !r->EndsWithBreak())
                continue;
            std::vector<int32_t> want = LimitCuts(line.data(), int32_t(line.size()), store.Utf8());
            int32_t at = 0;
            std::vector<int32_t> got;
            for (size_t k = 0; k + 1 < lengths.size(); ++k)
                got.push_back(at += lengths[k]);
            if (got != want)
                return "row " + std::to_string(row) + ": a line of " + std::to_string(line.size()) +
                       " bytes cut into " + std::to_string(lengths.size()) +
                       " rows, not as loading cuts it";
            row += static_cast<int32_t>(lengths.size());
            line.clear();
            lengths.clear();
        }
    }
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

std::string CheckUndoLog(TUndoStack& log) {
    // Read every record, bottom first, by walking the cursor down and back up again.
    const int32_t cursor = log.Count();
    std::vector<TUndoRecord> records;
    while (log.Count() > 0)
        log.StepDown();
    while (!log.AtTop())
        records.push_back(log.StepUp());
    while (log.Count() > cursor)
        log.StepDown();

    auto at = [&](size_t i) { return "record " + std::to_string(i) + ": "; };
    auto isMarker = [&](size_t i, int32_t code, int32_t boundary) {
        return i < records.size() && records[i].Kind == TUndoRecord::Marker &&
               records[i].A == code && records[i].B == boundary;
    };
    std::vector<size_t> stepEnds{0}; // where whole steps end: the cursor may stand there
    int32_t openGroup = 0;
    for (size_t i = 0; i < records.size();) {
        const TUndoRecord& r = records[i];
        if (r.Kind != TUndoRecord::Marker)
            return at(i) + "a step does not start with a marker";
        if (r.A == ugReplacement && r.B == TUndoRecord::Bracket) {
            if (i + 6 > records.size() || records[i + 1].Kind != TUndoRecord::Selection ||
                records[i + 2].Kind != TUndoRecord::Text ||
                records[i + 3].Kind != TUndoRecord::Text ||
                records[i + 4].Kind != TUndoRecord::Selection ||
                !isMarker(i + 5, ugReplacement, TUndoRecord::Bracket))
                return at(i) + "a broken replacement bracket";
            i += 6;
        } else if (r.A >= 11 && (r.B == TUndoRecord::GroupBegin || r.B == TUndoRecord::GroupEnd)) {
            if (i + 3 > records.size() || records[i + 1].Kind != TUndoRecord::Selection ||
                !isMarker(i + 2, r.A, r.B))
                return at(i) + "a broken group boundary";
            if (r.B == TUndoRecord::GroupBegin) {
                if (openGroup)
                    return at(i) + "a group begins inside another";
                openGroup = r.A;
            } else {
                if (openGroup != r.A)
                    return at(i) + "a group ends that did not begin";
                openGroup = 0;
            }
            i += 3;
        } else {
            return at(i) + "an unknown marker";
        }
        if (!openGroup)
            stepEnds.push_back(i);
    }
    if (openGroup && !log.GroupOpen())
        return "a group begins and never ends";
    if (log.GroupOpen() && (!openGroup || openGroup != log.GroupCode()))
        return "the open group has no begin boundary";
    if (!log.GroupOpen() &&
        std::find(stepEnds.begin(), stepEnds.end(), size_t(cursor)) == stepEnds.end())
        return "the cursor stands inside a step";
    return {};
}

std::string CompareLoader(std::string_view bytes, const std::vector<size_t>& pieces) {
    TTextStore built;
    TTextLoader loader(built);
    for (size_t at = 0, k = 0; at < bytes.size(); ++k) {
        const size_t n =
            std::min(std::max<size_t>(pieces[k % pieces.size()], 1), bytes.size() - at);
        loader.Feed(bytes.data() + at, n);
        at += n;
    }
    const TTextScan got = loader.Finish();

    const TTextScan want = DetectFormat(bytes);
    TTextStore inserted;
    inserted.SetUtf8(want.Utf8);
    {
        TStoreView view(inserted);
        const std::string_view body = want.Bom ? bytes.substr(3) : bytes;
        inserted.InsertAtCaret(view, body.data(), static_cast<int32_t>(body.size()));
    }
    if (got.Utf8 != want.Utf8 || built.Utf8() != want.Utf8)
        return "encoding differs";
    if (got.Bom != want.Bom)
        return "byte-order mark differs";
    if (got.Break != want.Break)
        return "line-break style differs";
    if (built.GetText(0, built.TextLength()) != inserted.GetText(0, inserted.TextLength()))
        return "text differs";
    const TLineNode* a = built.FirstRow();
    const TLineNode* b = inserted.FirstRow();
    for (int32_t row = 0; a || b; ++row, a = a->Next(), b = b->Next()) {
        if (!a || !b || a->Length() != b->Length())
            return "row " + std::to_string(row) + " cut differently";
        constexpr uint32_t kContent = rfHasTab | rfHighBytes;
        if ((a->RowFlags() & kContent) != (b->RowFlags() & kContent))
            return "row " + std::to_string(row) + ": flags differ";
        if (a->Marks() != b->Marks())
            return "row " + std::to_string(row) + ": continuation mark differs";
    }
    return CheckStore(built);
}

} // namespace kvx::test
