#include "WordWrap.h"

#include "Settings.h"
#include "SyntaxEd.h"

#include <algorithm>
#include <climits>

namespace kvx {

namespace {

// The first visible row goes on showing the text it showed while the lines around it are
// cut again: its row is looked up by offset afterwards.
class TTopKeeper {
  public:
    explicit TTopKeeper(TCustomSyntaxMemo& memo) : memo_(memo) {
        TTextStore& s = memo.Store();
        if (s.FirstRow())
            offset_ = s.RowByIndex(memo.View().TopRow()).Offset;
    }
    ~TTopKeeper() {
        TTextStore& s = memo_.Store();
        if (offset_ < 0 || !s.FirstRow())
            return;
        const RowIndex row = std::min(s.RowAt(&memo_, offset_).Index, s.RowCount() - 1);
        if (row != memo_.View().TopRow())
            memo_.View().SetTopRow(row);
    }
    TTopKeeper(const TTopKeeper&) = delete;
    TTopKeeper& operator=(const TTopKeeper&) = delete;

  private:
    TCustomSyntaxMemo& memo_;
    TextOffset offset_ = -1;
};

// Rows a window that has no size yet is taken to show, as its columns are taken to be 80.
constexpr int kUnsizedRows = 40;
constexpr int kUnsizedColumns = 80;

} // namespace

TWordWrap::~TWordWrap() {
    Listen(false);
}

// ---- Properties ------------------------------------------------------------------------

int TWordWrap::WrapAtColumn() const {
    // Settings read from a stream are not checked against the property's range.
    return std::clamp(memo_.Settings().WrapAtColumn, 0, 65535);
}

void TWordWrap::SetWrapAtColumn(int column) {
    if (column < 0 || column > 65535 || column == memo_.Settings().WrapAtColumn)
        return;
    memo_.Settings().WrapAtColumn = column;
    memo_.Changed(chSettings);
    memo_.Platform().InvalidateRows(0, -1);
    Update();
}

const std::string& TWordWrap::WrapOverride() const {
    return memo_.Settings().WrapOverride;
}

void TWordWrap::SetWrapOverride(std::string_view chars) {
    if (chars == memo_.Settings().WrapOverride)
        return;
    memo_.Settings().WrapOverride.assign(chars);
    memo_.Changed(chSettings);
    Update();
}

void TWordWrap::SetWordBreakProc(TSM_WordBreakProc proc) {
    proc_ = std::move(proc);
    if (memo_.HasOption(smoWordWrap))
        RewrapDocument();
}

int TWordWrap::WrapWidth() const {
    const int at = WrapAtColumn();
    if (at > 0)
        return std::max(at, 20);
    const int columns = memo_.Platform().VisibleColumns();
    return std::max((columns > 0 ? columns : kUnsizedColumns) - 4, 20);
}

TWrapParams TWordWrap::CurrentParams() const {
    TWrapParams p;
    p.Wrap = memo_.HasOption(smoWordWrap);
    p.Utf8 = memo_.Store().Utf8();
    if (!p.Wrap)
        return p;
    TEditorPlatform& platform = memo_.Platform();
    const TSM_Settings& settings = memo_.Settings();
    p.Width = WrapWidth();
    p.Override = memo_.HasOption(smoWrapOverride);
    for (const char c : settings.WrapOverride)
        p.OverrideChars.set(static_cast<unsigned char>(c));
    p.FixedPitch = platform.FixedPitch();
    p.CharWidth = std::max(platform.CharWidth(), 1);
    p.FontStyle = settings.Styles[0].FontStyle;
    p.Tabs = memo_.TabSettings();
    return p;
}

// ---- When lines are cut again ------------------------------------------------------------

void TWordWrap::Update() {
    if (!(CurrentParams() == applied_))
        RewrapDocument();
}

void TWordWrap::FontChanged() {
    if (memo_.HasOption(smoWordWrap))
        RewrapDocument();
    else
        applied_ = CurrentParams();
}

void TWordWrap::StoreChanged() {
    StopJob();
    // Another view may have cut the rows for its own window.
    if (memo_.HasOption(smoWordWrap))
        RewrapDocument();
    else
        applied_ = CurrentParams();
}

TRowFinger TWordWrap::LineStart(TRowFinger f) {
    while (f.Row->Prev() && !f.Row->Prev()->EndsWithBreak()) {
        f.Row = f.Row->Prev();
        f.Offset -= f.Row->Length();
        --f.Index;
    }
    return f;
}

TRowFinger TWordWrap::RecutFrom(const TRowFinger& from, TWrapRule& rule, unsigned char lead,
                                bool* changed) {
    std::string_view text = from.Row->View();
    if (!from.Row->EndsWithBreak() && from.Row->Next()) {
        joined_.clear();
        for (const TLineNode* r = from.Row;; r = r->Next()) {
            joined_.append(r->Text(), static_cast<size_t>(r->Length()));
            if (r->EndsWithBreak() || !r->Next())
                break;
        }
        text = joined_;
    }
    rule.Cut(text, lead, lengths_);
    const TTextStore::TRecut cut = memo_.Store().RecutRows(from, lengths_);
    if (changed)
        *changed = cut.Changed;
    return cut.Next;
}

void TWordWrap::RewrapAfterEdit(TLineNode* first, TLineNode* last) {
    if (!memo_.HasOption(smoWordWrap) || !first || !last)
        return;
    TTextStore& s = memo_.Store();
    // A whole document (a load), or an edit that finds the rows cut for another width:
    // everything, the rows in the window first.
    if ((first == s.FirstRow() && last == s.LastRow()) || !(CurrentParams() == applied_))
        return RewrapDocument();
    TWrapRule rule(applied_, memo_.Platform(), &proc_);
    const TextOffset lastEnd = s.RowStart(last) + last->Length();
    TRowFinger f = s.RowAt(&memo_, s.RowStart(first));
    // The store has cut the edited rows at the row cap, from the edited row on. A row's cut
    // depends on its text and on the first characters of the next two rows (a word that
    // straddles the width, the delimiters after it), so the cuts start again two rows up.
    // A word-break hook may look anywhere: then the whole line is cut again.
    for (int back = proc_ ? INT_MAX : 2;
         back > 0 && f.Row->Prev() && !f.Row->Prev()->EndsWithBreak(); --back) {
        f.Row = f.Row->Prev();
        f.Offset -= f.Row->Length();
        --f.Index;
    }
    unsigned char lead = 0;
    if (applied_.Override)
        lead = static_cast<unsigned char>(LineStart(f).Row->At(0));
    RowIndex repaintFrom = -1;
    while (f.Row && f.Offset < lastEnd) {
        bool changed = false;
        const TRowFinger next = RecutFrom(f, rule, lead, &changed);
        if (changed && repaintFrom < 0)
            repaintFrom = f.Index;
        f = next;
        if (f.Row)
            lead = static_cast<unsigned char>(f.Row->At(0));
    }
    if (repaintFrom >= 0)
        memo_.Platform().InvalidateRows(repaintFrom, -1);
}

void TWordWrap::RewrapDocument() {
    StopJob();
    applied_ = CurrentParams();
    TTextStore& s = memo_.Store();
    if (!s.FirstRow())
        return;
    TWrapRule rule(applied_, memo_.Platform(), &proc_);
    {
        TTopKeeper keep(memo_);
        if (background_) {
            // The rows the window shows, and as many again below them: the user sees them
            // right away, and the first page down too.
            const int visible = memo_.Platform().VisibleRows();
            const int want = 2 * (visible > 0 ? visible : kUnsizedRows) + 2;
            TRowFinger f = LineStart(s.RowByIndex(memo_.View().TopRow()));
            for (int rows = 0; f.Row && rows < want;) {
                const TRowFinger next =
                    RecutFrom(f, rule, static_cast<unsigned char>(f.Row->At(0)));
                rows += next.Index - f.Index;
                f = next;
            }
            pending_ = true;
            next_ = 0;
            nextRow_ = {};
            Listen(true);
        } else {
            for (TRowFinger f{s.FirstRow(), 0, 0}; f.Row;)
                f = RecutFrom(f, rule, static_cast<unsigned char>(f.Row->At(0)));
        }
    }
    memo_.Changed(chView);
    memo_.Platform().InvalidateRows(0, -1);
}

// ---- Background slices -------------------------------------------------------------------

void TWordWrap::SetBackground(bool on) {
    background_ = on;
    if (!on)
        Finish();
}

bool TWordWrap::RunSlice(int rows, std::chrono::microseconds time) {
    if (!pending_)
        return false;
    TTextStore& s = memo_.Store();
    if (!s.FirstRow() || next_ >= s.TextLength()) {
        StopJob();
        return false;
    }
    // The width changed without a word (a resize nobody reported): start over.
    if (!(CurrentParams() == applied_)) {
        RewrapDocument();
        memo_.ChangeNotification();
        return pending_;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + time;
    TWrapRule rule(applied_, memo_.Platform(), &proc_);
    bool any = false;
    {
        TTopKeeper keep(memo_);
        const bool same = nextRow_.Row && nextRow_.Offset == next_ && nextFreed_ == s.RowsFreed() &&
                          nextRows_ == s.RowCount() && nextLength_ == s.TextLength();
        TRowFinger f = same ? nextRow_ : LineStart(s.RowAt(&memo_, next_));
        int passed = 0;
        for (int lines = 1; f.Row; ++lines) {
            bool changed = false;
            const TRowFinger next =
                RecutFrom(f, rule, static_cast<unsigned char>(f.Row->At(0)), &changed);
            const int made = next.Index - f.Index;
            passed += made;
            any = any || changed;
            f = next;
            // The clock is read now and then: a million short lines would spend more time
            // asking it than wrapping.
            if (passed >= rows || ((lines % 64 == 0 || made > 64) && Clock::now() >= deadline))
                break;
        }
        if (f.Row) {
            next_ = f.Offset;
            nextRow_ = f;
            nextFreed_ = s.RowsFreed();
            nextRows_ = s.RowCount();
            nextLength_ = s.TextLength();
        } else {
            StopJob();
        }
    }
    if (any) {
        memo_.Changed(chView);
        memo_.ChangeNotification();
    }
    return pending_;
}

void TWordWrap::Finish() {
    while (RunSlice(INT_MAX, std::chrono::hours(1))) {
    }
}

void TWordWrap::StopJob() {
    pending_ = false;
    next_ = 0;
    nextRow_ = {};
    Listen(false);
}

void TWordWrap::Listen(bool on) {
    TTextStore* want = on ? &memo_.Store() : nullptr;
    if (listening_ == want)
        return;
    if (listening_)
        listening_->RemoveListener(this);
    listening_ = want;
    if (want)
        want->AddListener(this);
}

// ---- The background work follows the text ----------------------------------------------

void TWordWrap::TextInserted(TextOffset at, int32_t count) {
    if (at < next_)
        next_ += count;
}

void TWordWrap::TextDeleted(TextOffset at, int32_t count) {
    if (at < next_)
        next_ = std::max(at, next_ - count);
}

void TWordWrap::StoreEmptied() {
    next_ = 0;
}

} // namespace kvx
