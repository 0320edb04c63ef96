// The highlighting pass: after an edit, the scanner's tokens are written into the rows' token
// bytes from the nearest anchor before the first changed row until the rows come out as they
// were.
#include "SynParse.h"
#include "editor/EdStream.h"
#include "editor/RowCursor.h"
#include "editor/SyntaxEd.h"

#include <algorithm>
#include <optional>

namespace kvx {

// ---- The highlighting pass -------------------------------------------------------------

namespace {

// Writes token values into the rows' token bytes and remembers, for every row not yet
// finished, whether its bytes came out different from what the row held.
class TRowWriter {
  public:
    explicit TRowWriter(const TRowFinger& first) : first_(first), row_(first) { Enter(); }

    void Write(TextOffset start, int32_t length, uint8_t value, bool keepWhenZero) {
        const TextOffset end = start + length;
        if (keepWhenZero && value == 0)
            return;
        // Nearly every token lies inside the row written last.
        if (start >= row_.Offset && end <= row_.Offset + rowLength_) {
            Fill(start - row_.Offset, end - row_.Offset, value);
            return;
        }
        while (start < row_.Offset) {
            row_.Row = row_.Row->Prev();
            row_.Offset -= row_.Row->Length();
            --row_.Index;
            Enter();
        }
        while (start >= row_.Offset + rowLength_ && row_.Row->Next())
            StepForward();
        for (TextOffset p = start; p < end;) {
            const int32_t to = std::min<int32_t>(end - row_.Offset, rowLength_);
            Fill(p - row_.Offset, to, value);
            p = row_.Offset + to;
            if (p < end) {
                if (!row_.Row->Next())
                    break;
                StepForward();
            }
        }
    }

    // The oldest row not yet finished, and whether its bytes changed.
    const TRowFinger& First() const { return first_; }
    bool FirstChanged() const { return head_ < changed_.size() && changed_[head_]; }
    void FinishFirst() {
        if (head_ < changed_.size() && ++head_ == changed_.size()) {
            changed_.clear();
            head_ = 0;
        }
        first_.Offset += first_.Row->Length();
        first_.Row = first_.Row->Next();
        ++first_.Index;
        if (row_.Index < first_.Index)
            row_ = first_, Enter();
    }

  private:
    void Fill(int32_t from, int32_t to, uint8_t value) {
        bool differs = false;
        for (int32_t i = from; i < to; ++i) {
            differs |= bytes_[i] != value;
            bytes_[i] = value;
        }
        if (differs)
            changed_[head_ + static_cast<size_t>(row_.Index - first_.Index)] = 1;
    }
    // Makes the row being written ready: its bytes, and its place in the changed flags. A
    // row never highlighted counts as changed.
    void Enter() {
        if (!row_.Row)
            return;
        rowLength_ = row_.Row->Length();
        const size_t k = head_ + static_cast<size_t>(row_.Index - first_.Index);
        if (k >= changed_.size())
            changed_.resize(k + 1, 0);
        bytes_ = row_.Row->Styles();
        if (!bytes_) {
            bytes_ = row_.Row->AllocStyles();
            changed_[k] = 1;
        }
    }
    void StepForward() {
        row_.Offset += rowLength_;
        row_.Row = row_.Row->Next();
        ++row_.Index;
        Enter();
    }

    TRowFinger first_;
    TRowFinger row_;
    int32_t rowLength_ = 0;
    uint8_t* bytes_ = nullptr;
    std::vector<uint8_t> changed_;
    size_t head_ = 0;
};

TRowFinger PreviousRow(const TRowFinger& f) {
    TLineNode* p = f.Row->Prev();
    return {p, f.Offset - p->Length(), f.Index - 1};
}

} // namespace

// Where a pass that must cover `row` starts: at the first character of the run of equal
// token values around the nearest anchor value before the row, found in the token bytes
// of the rows above. Rows never highlighted are passed over, since the pass will write
// them anyway; with no anchor above, the pass starts at the top of the document.
//
// The end of a row is a restart point too, and often a much nearer one, when the pass that
// wrote the row found it in the start states (rfCleanEnd) and the row's last run has a
// value that changes no state: the states at the run's start were the same, so a pass
// from there in the start states (`clean`) scans exactly as the full pass did. Without it
// a language whose anchors are rare (Pascal's ";") would rescan a long header comment or
// a long constant table on every keystroke below it.
bool TSyntaxMemoParser::FindRestart(const TRowFinger& row, TRowFinger& at, int32_t& index,
                                    uint8_t& value, bool& clean) const {
    clean = false;
    if (row.Index == 0 || !row.Row->Prev())
        return false;
    TRowFinger r = PreviousRow(row);
    int32_t i = -1;
    for (;;) {
        if (const uint8_t* bytes = r.Row->Styles()) {
            const int32_t last = r.Row->Length() - 1;
            if ((r.Row->RowFlags() & rfCleanEnd) && last >= 0 && ChangesNoState(bytes[last])) {
                i = last;
                clean = true;
                break;
            }
            for (i = last; i >= 0 && !Tables.AnchorTokens.Has(bytes[i]); --i) {
            }
            if (i >= 0)
                break;
        }
        if (r.Index == 0)
            return false;
        r = PreviousRow(r);
    }
    value = r.Row->Styles()[i];
    for (;;) {
        const uint8_t* bytes = r.Row->Styles();
        while (i > 0 && bytes[i - 1] == value)
            --i;
        if (i > 0 || r.Index == 0)
            break;
        const TLineNode* p = r.Row->Prev();
        if (!p->Styles() || p->Styles()[p->Length() - 1] != value)
            break;
        r = PreviousRow(r);
        i = r.Row->Length() - 1;
    }
    at = r;
    index = i;
    return true;
}

bool TSyntaxMemoParser::ChangesNoState(uint8_t value) const {
    const std::optional<TTokenInfo>& info = Tables.TokenInfo[value];
    return !info || (info->NoTransition && info->StackFlags == 0 && !info->Container);
}

void TSyntaxMemoParser::Rehighlight(TCustomSyntaxMemo& memo) {
    Pass(memo, false);
}

void TSyntaxMemoParser::HighlightAll(TCustomSyntaxMemo& memo) {
    Pass(memo, true);
}

void TSyntaxMemoParser::Pass(TCustomSyntaxMemo& memo, bool whole) {
    TTextStore& store = memo.Store();
    // A handler asked for a pass while one runs: the running pass, or the next change
    // notification, takes care of it.
    if (guard_.Running || !store.FirstRow())
        return;
    RowsScanned = 0;
    guard_.Running = true;
    struct TEnd {
        TSyntaxMemoParser& p;
        ~TEnd() {
            p.scan_.Stream = nullptr;
            p.guard_ = {};
        }
    } end{*this};
    if (memo.OnTokenSeen) {
        int none = -1;
        memo.OnTokenSeen(memo, none, -1, -1);
        if (!store.FirstRow())
            return;
    }
    const TRowFinger from =
        whole || !memo.RescanFrom().Row ? TRowFinger{store.FirstRow(), 0, 0} : memo.RescanFrom();
    TRowFinger at{store.FirstRow(), 0, 0};
    int32_t index = 0;
    uint8_t value = 0;
    bool clean = false;
    if (!whole && FindRestart(from, at, index, value, clean) && !clean)
        Restart(value);
    else
        EnterStates(Tables.StartStates);

    // Only `match` functions read the document through a stream.
    std::optional<TEdStream> stream;
    if (Tables.UsesMatch && OnCustomParse)
        stream.emplace(memo);
    scan_.Stream = stream ? &*stream : nullptr;
    BeginScan(store);

    TRowCursor in(at, store.TextLength());
    in.SetPos(at.Offset + index);
    // The pass may stop only below every row edited since the last one.
    const TRowFinger& edited = memo.RescanLastEdited();
    const int32_t lastEdited = edited.Row ? std::max(from.Index, edited.Index) : from.Index;
    TRowWriter rows(at);
    TextOffset firstEnd = at.Offset + at.Row->Length();
    int32_t firstChanged = -1;
    int32_t lastChanged = -1;
    bool stop = false;
    bool cutShort = false;
    while (!stop && !in.AtEnd()) {
        const TextOffset start = in.Pos();
        const bool inContainer = scan_.ContainerMode;
        int32_t length = 0;
        int token = 0;
        try {
            token = ScanToken(in, length);
        } catch (const ECutShort&) {
            cutShort = true;
            break;
        }
        if (length <= 0) { // a scanner that is waiting for another editor takes nothing
            in.SetPos(start + 1);
            length = 1;
        }
        if (memo.OnTokenSeen) {
            memo.OnTokenSeen(memo, token, start, start + length);
            // A handler that edits the document or the tables ends the pass: the rows and
            // rules it holds may be gone.
            if (HandlerChangedThings()) {
                cutShort = true;
                break;
            }
        }
        rows.Write(start, length, static_cast<uint8_t>(token), inContainer);
        if (!inContainer && scan_.ContainerMode) {
            // The container's text is scanned again, token by token, in its own states.
            in.SetPos(start);
            continue;
        }
        while (!scan_.ContainerMode && in.Pos() >= firstEnd) {
            TLineNode* row = rows.First().Row;
            const int32_t rowIndex = rows.First().Index;
            const bool changed = rows.FirstChanged();
            // A row whose end the store moved (the rest of a long line after an edit) is
            // marked bound until scanned, as nobody saw the states there; a language without
            // bound states can never have been in one.
            const bool wasBound = (row->RowFlags() & rfBoundEnd) && !Tables.BoundStates.Empty();
            const bool bound = IsBound(scan_.Current);
            row->ClearRowFlags(rfRescan | rfScanStart | rfBoundEnd | rfCleanEnd);
            if (bound)
                row->AddRowFlags(rfBoundEnd);
            if (scan_.Current == Tables.StartStates && scan_.Stack.empty() && scan_.Untracked == 0)
                row->AddRowFlags(rfCleanEnd);
            ++RowsScanned;
            if (changed) {
                row->AddRowFlags(rfRepaint);
                if (firstChanged < 0)
                    firstChanged = rowIndex;
                lastChanged = rowIndex;
            }
            const TLineNode* next = row->Next();
            if (!next) {
                stop = true;
                break;
            }
            // A row that came out as it was ends the pass, unless the states at its end,
            // now or when it was last scanned, are ones whose effect the token bytes do not
            // show, or the next row has never been scanned (an edit freed its bytes).
            stop = !whole && !changed && rowIndex >= lastEdited && !bound && !wasBound &&
                   next->Styles();
            rows.FinishFirst();
            firstEnd = rows.First().Offset + rows.First().Row->Length();
            if (stop)
                break;
        }
    }
    scan_.Busy = false;
    guard_ = {};
    if (!cutShort) {
        // Everything from the rescan-from row on is done; a later edit records its own row.
        memo.ForgetRescan();
    } else if (store.FirstRow()) {
        // Where the handler's edit went is not known any more (a notification it ran may
        // have forgotten it), and after a recompile every row is stale: the next
        // notification highlights the whole document. Handlers that edit during a pass
        // are rare enough for that.
        memo.RescanWholeDocument();
    }
    if (memo.OnTokenSeen) {
        int none = -2;
        memo.OnTokenSeen(memo, none, -2, -2);
    }
    if (firstChanged >= 0)
        memo.Platform().InvalidateRows(firstChanged, lastChanged);
}

} // namespace kvx
