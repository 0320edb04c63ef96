// The highlighting pass: after an edit, the scanner's tokens are written into the rows' token
// bytes from the nearest anchor before the first changed row until the rows come out as they
// were. A document too large to highlight before it is shown is highlighted from the top in
// slices instead, the rows on screen first; a pass after an edit then stops where the slices
// have got to.
#include "SynParse.h"
#include "editor/EdStream.h"
#include "editor/RowCursor.h"
#include "editor/SyntaxEd.h"

#include <algorithm>
#include <chrono>
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
    TDeferred* d = DeferredFor(memo);
    if (!d)
        return Pass(memo, TPassPlan{});
    CheckDeferred(*d, memo);
    // Rows from where the highlighting has got on are the background's: an edit there
    // leaves nothing to do now.
    const TRowFinger& from = memo.RescanFrom();
    if (!from.Row || from.Offset >= d->Done)
        return memo.ForgetRescan();
    TPassPlan plan;
    plan.Deferred = d;
    plan.StopAt = d->Done;
    Pass(memo, plan);
}

void TSyntaxMemoParser::HighlightAll(TCustomSyntaxMemo& memo) {
    TDeferred* d = DeferredFor(memo);
    if (d)
        CheckDeferred(*d, memo);
    TPassPlan plan;
    plan.Whole = true;
    plan.Deferred = d;
    Pass(memo, plan);
}

// ---- Deferred highlighting -------------------------------------------------------------

TSyntaxMemoParser::TDeferred* TSyntaxMemoParser::DeferredFor(const TCustomSyntaxMemo& memo) {
    for (TDeferred& d : deferred_)
        if (d.Memo == &memo)
            return &d;
    return nullptr;
}

void TSyntaxMemoParser::CheckDeferred(TDeferred& d, TCustomSyntaxMemo& memo) {
    if (d.Store == &memo.Store() && d.Length == memo.TextLength())
        return;
    d.Store = &memo.Store();
    d.Length = memo.TextLength();
    d.Done = 0;
    d.Resumable = false;
}

void TSyntaxMemoParser::SetDeferred(TCustomSyntaxMemo& memo, bool on) {
    std::erase_if(deferred_, [&](const TDeferred& d) { return d.Memo == &memo; });
    if (!on)
        return;
    TDeferred d;
    d.Memo = &memo;
    d.Store = &memo.Store();
    d.Length = memo.TextLength();
    deferred_.push_back(std::move(d));
}

void TSyntaxMemoParser::TextChanged(TCustomSyntaxMemo& memo, TextOffset offset, int32_t delta) {
    TDeferred* d = DeferredFor(memo);
    if (!d)
        return;
    if (d->Store != &memo.Store() || int64_t(d->Length) + delta != memo.TextLength()) {
        CheckDeferred(*d, memo);
        return;
    }
    d->Length = memo.TextLength();
    // Text inserted or deleted before Done moves it; the pass after the edit rewrites the
    // rows from the edit on and, unless they settle first, takes over from Done. Text
    // inserted at or after Done leaves the states at Done as they were.
    if (delta > 0) {
        if (offset < d->Done)
            d->Done += delta;
    } else if (delta < 0) {
        const TextOffset end = offset - delta;
        if (end <= d->Done) {
            d->Done += delta;
        } else if (offset < d->Done) {
            d->Done = offset;
            d->Resumable = false;
        }
    }
}

void TSyntaxMemoParser::HighlightTo(TCustomSyntaxMemo& memo, TextOffset end) {
    TDeferred* d = DeferredFor(memo);
    if (!d)
        return;
    CheckDeferred(*d, memo);
    end = std::min(end, memo.TextLength());
    if (end <= d->Done)
        return;
    TPassPlan plan;
    plan.Deferred = d;
    plan.Resume = true;
    plan.StopAt = end;
    Pass(memo, plan);
}

bool TSyntaxMemoParser::HighlightSlice(TCustomSyntaxMemo& memo, const THighlightBudget& budget) {
    TDeferred* d = DeferredFor(memo);
    if (!d)
        return false;
    CheckDeferred(*d, memo);
    if (d->Done >= memo.TextLength())
        return false;
    TPassPlan plan;
    plan.Deferred = d;
    plan.Resume = true;
    plan.StopAt = memo.TextLength();
    plan.Budget = budget;
    Pass(memo, plan);
    return d->Done < memo.TextLength();
}

TextOffset TSyntaxMemoParser::HighlightedTo(TCustomSyntaxMemo& memo) {
    TDeferred* d = DeferredFor(memo);
    if (!d)
        return memo.TextLength();
    CheckDeferred(*d, memo);
    return d->Done;
}

// ---- The pass --------------------------------------------------------------------------

void TSyntaxMemoParser::Pass(TCustomSyntaxMemo& memo, const TPassPlan& plan) {
    TTextStore& store = memo.Store();
    TDeferred* const d = plan.Deferred;
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
    // Where the pass starts: the top, the rescan-from row, or where deferred highlighting
    // got to; then back to the nearest anchor above, unless the states there are kept.
    TRowFinger from{store.FirstRow(), 0, 0};
    if (plan.Resume)
        from = store.RowAt(nullptr, d->Done);
    else if (!plan.Whole && memo.RescanFrom().Row)
        from = memo.RescanFrom();
    TRowFinger at{store.FirstRow(), 0, 0};
    int32_t index = 0;
    uint8_t value = 0;
    bool clean = false;
    if (plan.Resume && d->Resumable) {
        at = from;
        index = d->Done - from.Offset;
        EnterStates(d->Current);
        scan_.Stack = d->Stack;
        scan_.Untracked = d->Untracked;
    } else if (!plan.Whole && FindRestart(from, at, index, value, clean) && !clean) {
        Restart(value);
    } else {
        EnterStates(Tables.StartStates);
    }

    // Only `match` functions read the document through a stream.
    std::optional<TEdStream> stream;
    if (Tables.UsesMatch && OnCustomParse)
        stream.emplace(memo);
    scan_.Stream = stream ? &*stream : nullptr;
    BeginScan(store);

    TRowCursor in(at, store.TextLength());
    in.SetPos(at.Offset + index);
    // The pass after an edit may stop only below every row edited since the last one, and
    // a deferred one goes on to its stopping place whatever the rows hold.
    const bool settles = !plan.Whole && !plan.Resume;
    const TRowFinger& edited = memo.RescanLastEdited();
    const int32_t lastEdited = edited.Row ? std::max(from.Index, edited.Index) : from.Index;
    using TClock = std::chrono::steady_clock;
    const bool timed = d && plan.Budget.Microseconds > 0;
    const TClock::time_point deadline =
        timed ? TClock::now() + std::chrono::microseconds(plan.Budget.Microseconds)
              : TClock::time_point{};
    TRowWriter rows(at);
    TextOffset firstEnd = at.Offset + at.Row->Length();
    int32_t firstChanged = -1;
    int32_t lastChanged = -1;
    bool stop = false;
    bool cutShort = false;
    bool spent = false;
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
            stop = settles && !changed && rowIndex >= lastEdited && !bound && !wasBound &&
                   next->Styles();
            rows.FinishFirst();
            firstEnd = rows.First().Offset + rows.First().Row->Length();
            if (stop)
                break;
            // The clock is read every few rows: reading it costs more than a short row.
            if (timed && RowsScanned % 16 == 0 && TClock::now() >= deadline)
                spent = true;
        }
        // A deferred pass ends at a token boundary outside a container, where the states
        // alone say how to go on.
        if (d && !stop && !scan_.ContainerMode && !in.AtEnd() &&
            (in.Pos() >= plan.StopAt || spent ||
             (plan.Budget.Rows > 0 && RowsScanned >= plan.Budget.Rows))) {
            d->Done = in.Pos();
            d->Resumable = true;
            d->Current = scan_.Current;
            d->Stack = scan_.Stack;
            d->Untracked = scan_.Untracked;
            break;
        }
    }
    if (d && !cutShort && in.AtEnd()) {
        d->Done = store.TextLength();
        d->Resumable = false;
    }
    scan_.Busy = false;
    guard_ = {};
    if (cutShort) {
        // Where the handler's edit went is not known any more (a notification it ran may
        // have forgotten it), and after a recompile every row is stale: the next
        // notification highlights the whole document, and deferred highlighting starts
        // again from the top. Handlers that edit during a pass are rare enough for that.
        if (store.FirstRow())
            memo.RescanWholeDocument();
        if (TDeferred* again = DeferredFor(memo)) {
            again->Done = 0;
            again->Resumable = false;
        }
    } else if (!plan.Resume) {
        // Everything from the rescan-from row on is done; a later edit records its own row.
        memo.ForgetRescan();
    }
    if (memo.OnTokenSeen) {
        int none = -2;
        memo.OnTokenSeen(memo, none, -2, -2);
    }
    if (firstChanged >= 0)
        memo.Platform().InvalidateRows(firstChanged, lastChanged);
}

} // namespace kvx
