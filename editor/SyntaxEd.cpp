#include "SyntaxEd.h"

#include "Bookmarks.h"
#include "KeyMap.h"
#include "MemoScopes.h"
#include "MemoStrings.h"
#include "Settings.h"

#include "Encoding.h"
#include "Stream.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <vector>

namespace kvx {

TCustomSyntaxMemo::TCustomSyntaxMemo(TEditorPlatform* platform)
    : platform_(platform ? platform : &defaultPlatform_),
      ownStore_(std::make_unique<TTextStore>()) {
    ShowStore(ownStore_.get());
    recording_ = true;
    ownStore_->OwnUndoLog().ClearAndMarkSaved();
    // The settings the control makes for itself are made now, so they take the desktop's
    // selection colours rather than the default palette's.
    ownSettings_ = std::make_unique<TSM_Settings>();
    ownSettings_->SelTextColor = platform_->SystemColorValue(scxHighlightText);
    ownSettings_->SelTextBack = platform_->SystemColorValue(scxHighlight);
    settings_ = ownSettings_.get();
    ApplySettings();
    marks_.OnChange = [this](const TRangeMark& m) {
        if (OnMarkChange)
            OnMarkChange(*this, m.Handle);
    };
    marks_.OnFree = [this](const TRangeMark& m) {
        if (OnMarkFree)
            OnMarkFree(*this, m.Handle);
    };
}

TCustomSyntaxMemo::~TCustomSyntaxMemo() {
    SetHighlighter(nullptr);
    for (THighlighter*& p : parsers_) {
        THighlighter* h = p;
        p = nullptr;
        ReleaseHighlighter(h);
    }
    marks_.OnChange = marks_.OnFree = nullptr;
    // The lines object may still hold paint locks that it releases through this control.
    lines_.reset();
    ShowStore(nullptr);
}

TSyntaxMemoStrings& TCustomSyntaxMemo::Lines() {
    if (!lines_)
        lines_ = std::make_unique<TSyntaxMemoStrings>(*this);
    return *lines_;
}

void TCustomSyntaxMemo::ShowStore(TTextStore* store) {
    if (TStoreView::Store()) {
        Store().NamedPositions().ReleaseOnFree(this);
        Store().RemoveListener(&marks_);
        // Marks are places in the document shown so far; they go with it.
        marks_.Clear();
    }
    AttachStore(store);
    if (store) {
        store->NamedPositions().SetOnFree(this, [this](const std::string& name) {
            if (OnCustomBookmarkFree)
                OnCustomBookmarkFree(*this, name);
        });
        store->AddListener(&marks_);
    }
}

void TCustomSyntaxMemo::AttachTextStore(TTextStore* store) {
    ShowStore(store ? store : ownStore_.get());
    rowsSeen_ = Store().RowCount();
    inVirtual_ = false;
    virtualColumn_ = preferredColumn_ = 0;
    view_.ResetColumn();
    replacementOpen_ = false;
    view_.WordWrap().StoreChanged();
    platform_->InvalidateRows(0, -1);
}

// ---- Selection -----------------------------------------------------------------------

TCustomSyntaxMemo::TCaretRow TCustomSyntaxMemo::Locate(TextOffset offset) {
    TCaretRow r;
    const TRowFinger f = Store().RowAt(this, offset);
    if (!f.Row)
        return r;
    r.Row = f.Row;
    r.RowOffset = f.Offset;
    r.Index = f.Index;
    r.InRow = std::clamp(offset, 0, Store().TextLength()) - f.Offset;
    if (f.Index >= Store().RowCount()) {
        // The empty line after a final break: it has no row of its own.
        r.AfterFinalBreak = true;
        r.Row = nullptr;
        r.RowOffset = Store().TextLength();
        r.InRow = 0;
    }
    return r;
}

int TCustomSyntaxMemo::ColumnOf(TextOffset offset) {
    const TCaretRow at = Locate(offset);
    return at.Row ? Store().ColumnOfIndex(at.Row, at.InRow, Tabs) : 0;
}

void TCustomSyntaxMemo::InvalidateSelectionRows(const TSelectionRange& range) {
    if (range.Empty())
        return;
    const TCaretRow a = Locate(range.Start());
    const TCaretRow b = Locate(range.End());
    platform_->InvalidateRows(a.Index, b.Index);
}

void TCustomSyntaxMemo::PlaceSelection(TextOffset anchor, TextOffset caret, bool noRepaint) {
    TTextStore& s = Store();
    if (anchor == -1) {
        anchor = 0;
        caret = s.TextLength();
    }
    anchor = std::clamp(anchor, 0, s.TextLength());
    caret = std::clamp(caret, 0, s.TextLength());
    // Never leave a position inside a multi-byte character.
    auto snap = [&](TextOffset& x) {
        const TCaretRow at = Locate(x);
        if (at.Row && !s.IsCharStart(at.Row, at.InRow))
            x = at.RowOffset + s.PrevCharStart(at.Row, at.InRow);
    };
    if (!HasOption(smoCaretAfterEOL)) {
        if (verticalMove_ && HasOption(smoColumnTrack)) {
            const bool together = anchor == caret;
            const TCaretRow at = Locate(caret);
            if (at.Row)
                caret = at.RowOffset + s.IndexOfColumn(at.Row, preferredColumn_, Tabs);
            if (together)
                anchor = caret;
        } else {
            preferredColumn_ = ColumnOf(caret);
        }
    }
    if (s.Utf8()) {
        snap(anchor);
        snap(caret);
    }
    verticalMove_ = false;
    const TSelectionRange old = Sel;
    Sel = {anchor, caret};
    if (!(old == Sel))
        Changed(chSelection);
    if (!noRepaint) {
        InvalidateSelectionRows(old);
        InvalidateSelectionRows(Sel);
        ScrollCaretIntoView();
    }
}

void TCustomSyntaxMemo::SetCaretAtColumn(TextOffset offset, DisplayColumn column) {
    SetSelection(offset, offset);
    if (!CaretAfterEOLActive() || Store().CharAt(Sel.Caret) != '\r' ||
        column <= ColumnOf(Sel.Caret))
        return;
    inVirtual_ = true;
    virtualColumn_ = std::min(column, MaxRowLength);
    Changed(chSelection);
    ScrollCaretIntoView();
}

int32_t TCustomSyntaxMemo::SelLength() {
    const int32_t plain = Sel.End() - Sel.Start();
    if (SelLineStyle == lsLF || plain == 0)
        return plain;
    const std::string text = Store().GetText(Sel.Start(), Sel.End());
    return plain + static_cast<int32_t>(std::count(text.begin(), text.end(), '\r'));
}

void TCustomSyntaxMemo::SetSelLength(int32_t value) {
    const TextOffset start = SelStart();
    SetSelection(
        start, static_cast<TextOffset>(std::clamp<int64_t>(int64_t(start) + value, 0, INT32_MAX)));
}

std::string TCustomSyntaxMemo::SelText() {
    std::string text = Store().GetText(Sel.Start(), Sel.End());
    if (SelLineStyle == lsLF)
        return text;
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        out.push_back(c);
        if (c == '\r')
            out.push_back('\n');
    }
    return out;
}

void TCustomSyntaxMemo::GetCaretPos(int& column, int& line) {
    const TCaretRow at = Locate(Sel.Caret);
    line = at.Index + 1;
    column = inVirtual_ ? virtualColumn_ + 1
                        : (at.Row ? Store().ColumnOfIndex(at.Row, at.InRow, Tabs) : 0) + 1;
}

void TCustomSyntaxMemo::SetCaretPos(int column, int line) {
    TTextStore& s = Store();
    if (!s.FirstRow()) {
        SetSelection(0, 0);
        return;
    }
    line = std::max(line, 1);
    const bool afterBreak = line - 1 >= s.RowCount() && s.LastRow()->EndsWithBreak();
    TextOffset caret;
    if (afterBreak) {
        caret = s.TextLength();
    } else {
        const TRowFinger f = s.RowByIndex(line - 1);
        caret = f.Offset + s.IndexOfColumn(f.Row, std::max(column, 1) - 1, Tabs);
    }
    inVirtual_ = false;
    SetSelection(caret, caret);
    virtualColumn_ = ColumnOf(caret);
}

void TCustomSyntaxMemo::UseSettings(TSM_Settings* settings) {
    TSM_Settings* next = settings ? settings : ownSettings_.get();
    if (next == settings_)
        return;
    settings_ = next;
    ApplySettings();
    RecutRows();
    ViewSettingsChanged(chSettings | chOptions | chKeyboard);
}

void TCustomSyntaxMemo::ApplySettings() {
    TSM_Settings& s = *settings_;
    optionWord_ = static_cast<uint32_t>(s.OptionWord);
    // Settings come from scripts and stored forms as well as from the setters; values the
    // setters would refuse are taken as their nearest sound ones, so that no tab width of
    // 0 divides and no stop far out blows up a row.
    Tabs.TabDefault = std::clamp(s.TabDefault, 1, int(TSM_Settings::kMaxTabDefault));
    Tabs.Columns = TTabSettings::MakeEmpty();
    int32_t previous = 0;
    for (size_t i = 0; i < s.TabStops.size(); ++i) {
        const int32_t stop = s.TabStops[i];
        if (stop <= previous || stop > TSM_Settings::kMaxTabColumn)
            break;
        Tabs.Columns[i] = previous = stop;
    }
    indentStep_ = std::clamp(int(s.IndentStep), 1, 19);
    RebuildShiftExtendKeys();
}

void TCustomSyntaxMemo::RefreshSettings() {
    ApplySettings();
    RecutRows();
    ViewSettingsChanged(chSettings | chOptions | chKeyboard);
}

void TCustomSyntaxMemo::RecutRows() {
    // Word wrap cuts again only when something the cuts depend on changed, and repaints
    // what it cut.
    view_.WordWrap().Update();
    rowsSeen_ = Store().RowCount();
}

void TCustomSyntaxMemo::ViewSettingsChanged(uint32_t bits) {
    view_.ForgetLayouts();
    // Tab stops and the wrap column decide where wrapped rows end; nothing is cut again
    // unless what the cuts depend on changed.
    view_.WordWrap().Update();
    rowsSeen_ = Store().RowCount();
    Changed(bits);
    platform_->InvalidateRows(0, -1);
}

// ---- Text changes ----------------------------------------------------------------------

void TCustomSyntaxMemo::StoreTextChanged(TextOffset offset, int32_t delta) {
    Changed(chText);
    if (highlighter_)
        highlighter_->TextChanged(*this, offset, delta);
    // Rows from the change on may have moved, unless no row came or went: then only the rows
    // of the edited line changed (a long line's rows pass text to each other).
    const TCaretRow at = Locate(offset);
    const RowIndex rows = Store().RowCount();
    if (rows == rowsSeen_ && at.Row) {
        // Only the line's rows in the window need painting: a line of megabytes has hundreds
        // of thousands of rows, too many to walk on every keystroke.
        const RowIndex top = view_.TopRow();
        const RowIndex bottom = top + std::max(platform_->VisibleRows(), 1);
        RowIndex first = at.Index, last = at.Index;
        for (const TLineNode* r = at.Row; r->IsContinuation() && r->Prev() && first > top;
             r = r->Prev())
            --first;
        for (const TLineNode* r = at.Row; !r->EndsWithBreak() && r->Next() && last < bottom;
             r = r->Next())
            ++last;
        platform_->InvalidateRows(first, last);
    } else {
        platform_->InvalidateRows(at.Index, -1);
    }
    rowsSeen_ = rows;
    if (!OnTextChange)
        return;
    if (!applying_)
        return OnTextChange(*this, offset, delta);
    // Undo and redo apply a step in two halves; a failing handler must not stop them half
    // way, where the text would match neither side of the log. Its failure is raised when
    // the replay is done.
    try {
        OnTextChange(*this, offset, delta);
    } catch (...) {
        KeepFirstFailure();
    }
}

void TCustomSyntaxMemo::ReplaceSelection(std::string_view text) {
    // Replacing nothing by nothing changes nothing and leaves nothing to undo.
    if (text.empty() && Sel.Empty() && !inVirtual_)
        return;
    TGroupScope group(*this, ugReplaceSelection);
    std::string filled;
    if (inVirtual_ && Sel.Empty()) {
        const TCaretRow at = Locate(Sel.Caret);
        filled = FillText(LineEndColumn(at), virtualColumn_);
        filled.append(text);
        text = filled;
    }
    ReplaceSelectionRecorded(text, false);
    inVirtual_ = false;
    preferredColumn_ = virtualColumn_ = ColumnOf(Sel.Caret);
    Changed(chSelection);
    if (paintLock_ == 0)
        ScrollCaretIntoView();
}

void TCustomSyntaxMemo::ReplaceRange(TextOffset from, TextOffset to, std::string_view text) {
    TNotifyScope notify(*this);
    const TextOffset length = Store().TextLength();
    Sel = {std::clamp(std::min(from, to), 0, length), std::clamp(std::max(from, to), 0, length)};
    inVirtual_ = false;
    Changed(chSelection);
    if (text.empty() && Sel.Empty())
        return;
    ReplaceSelectionRecorded(text, true);
    preferredColumn_ = virtualColumn_ = ColumnOf(Sel.Caret);
    if (paintLock_ == 0)
        ScrollCaretIntoView();
}

void TCustomSyntaxMemo::ReplaceSelectionRecorded(std::string_view text, bool whole) {
    // A document holds at most 2 GB; a longer text must not wrap to a negative count.
    if (text.size() > static_cast<size_t>(INT32_MAX))
        throw ESyntaxMemo(0, kNotEnoughMemory);
    TTextStore& s = Store();
    const bool record = !applying_ && !replacementOpen_ && Log();
    if (record)
        RecordReplacementBegin();
    try {
        s.DeleteRange(*this);
        const auto n = static_cast<int32_t>(text.size());
        if (n > 0 && whole)
            s.InsertWhole(*this, text.data(), n);
        else if (n > 0)
            s.InsertAtCaret(*this, text.data(), n);
    } catch (...) {
        // Log what did happen, so undo still matches the text.
        if (record)
            RecordReplacementEnd();
        throw;
    }
    if (record)
        RecordReplacementEnd();
}

void TCustomSyntaxMemo::InsertStream(TStream& stream) {
    constexpr int64_t kPiece = 8192;
    std::string piece(kPiece, '\0');
    bool any = false;
    for (;;) {
        int64_t n = stream.Read(piece.data(), kPiece);
        if (n <= 0)
            break;
        // A full piece must not end where its last break byte could still pair with the
        // first byte of the next piece (CR LF or LF CR): that byte goes back to the stream
        // and is read with the next piece. A short piece is the end of the stream and keeps
        // everything.
        if (n == kPiece && stream.Position() < stream.Size()) {
            int64_t j = n;
            while (j > 0 && (piece[j - 1] == '\r' || piece[j - 1] == '\n'))
                --j;
            char open = 0; // the break byte waiting for a partner
            for (int64_t k = j; k < n; ++k) {
                const char c = piece[k];
                open = (open && open != c) ? 0 : c;
            }
            if (open) {
                stream.Seek(-1, TSeekOrigin::Current);
                --n;
            }
        }
        ReplaceSelection(std::string_view(piece.data(), n));
        Sel.Anchor = Sel.Caret;
        any = true;
    }
    if (!any)
        ReplaceSelection({});
}

void TCustomSyntaxMemo::Clear() {
    TNotifyScope notify(*this);
    TPaintLock lock(*this);
    SetSelection(-1, 0, true);
    ReplaceSelection({});
    if (TUndoStack* log = Store().UndoLog())
        log->Clear();
}

// ---- Properties ------------------------------------------------------------------------

void TCustomSyntaxMemo::SetTabDefault(int value) {
    if (value < 1 || value > TSM_Settings::kMaxTabDefault)
        throw ESyntaxMemo(msgIllegalTabDefault);
    if (value == Tabs.TabDefault)
        return;
    Tabs.TabDefault = settings_->TabDefault = value;
    RecutRows();
    ViewSettingsChanged();
}

std::string TCustomSyntaxMemo::TabColumnsText() const {
    std::string out;
    for (int32_t c : Tabs.Columns) {
        if (c < 0)
            break;
        if (!out.empty())
            out.push_back(' ');
        out += std::to_string(c + 1);
    }
    return out;
}

void TCustomSyntaxMemo::SetTabColumnsText(std::string_view text) {
    Tabs.Columns = TTabSettings::ParseColumns(text);
    settings_->TabStops = Tabs.Columns;
    RecutRows();
    ViewSettingsChanged();
}

void TCustomSyntaxMemo::SetIndentStep(int value) {
    if (value >= 1 && value <= 19)
        indentStep_ = settings_->IndentStep = value;
}

void TCustomSyntaxMemo::SetOptionWord(uint32_t word, bool refresh) {
    if (word == optionWord_)
        return;
    const uint32_t changed = word ^ optionWord_;
    optionWord_ = word;
    settings_->OptionWord = static_cast<int32_t>(word);
    if (changed & OptionBit(smoWordWrap))
        view_.ResetColumn();
    RecutRows();
    // The bar and block carets differ only in overwrite mode.
    if ((changed & OptionBit(smoBlockOverwriteCursor)) && !insertMode_)
        platform_->CaretShapeChanged(HasOption(smoBlockOverwriteCursor));
    Changed(chOptions);
    if (refresh)
        ViewSettingsChanged(chOptions);
}

bool TCustomSyntaxMemo::CaretAfterEOLActive() const {
    return HasOption(smoCaretAfterEOL) && platform_->FixedPitch();
}

// ---- Change notification ---------------------------------------------------------------

TPaintLock::~TPaintLock() {
    // The lock is released before anything can fail. What follows, bringing the caret into
    // view and asking for a repaint, is not worth the edit's own outcome (or its exception),
    // and the next change scrolls and repaints again.
    try {
        memo_.UnlockPaint();
    } catch (...) {
    }
}

void TCustomSyntaxMemo::UnlockPaint() {
    if (paintLock_ > 0)
        --paintLock_;
    if (paintLock_ == 0) {
        ScrollCaretIntoView();
        platform_->InvalidateRows(0, -1);
    }
}

TextOffset THighlighter::HighlightedTo(TCustomSyntaxMemo& memo) {
    return memo.TextLength();
}

bool TCustomSyntaxMemo::Holds(THighlighter* h) const {
    return h &&
           (h == highlighter_ || std::find(parsers_.begin(), parsers_.end(), h) != parsers_.end());
}

void TCustomSyntaxMemo::HoldHighlighter(THighlighter* h) {
    if (h)
        h->Attach(*this);
}

void TCustomSyntaxMemo::ReleaseHighlighter(THighlighter* h) {
    if (h && !Holds(h))
        h->Detach(*this);
}

void TCustomSyntaxMemo::SetHighlighter(THighlighter* highlighter) {
    if (highlighter_ == highlighter)
        return;
    THighlighter* old = highlighter_;
    highlighter_ = highlighter;
    ReleaseHighlighter(old);
    if (highlighter_) {
        HoldHighlighter(highlighter_);
        highlighter_->SetDeferred(*this, deferHighlighting_);
        // Whatever token bytes the rows hold were written by another highlighter, or by none:
        // the next pass starts at the top (a text is loaded, and its notification done,
        // before its language is chosen).
        if (TLineNode* first = Store().FirstRow()) {
            Rescan = {first, 0, 0};
            first->AddRowFlags(rfScanStart);
        }
    }
}

void TCustomSyntaxMemo::HighlighterGone(THighlighter* highlighter) {
    if (!highlighter)
        return;
    bool active = false;
    for (int slot = 0; slot < kParserSlots; ++slot) {
        if (parsers_[size_t(slot)] == highlighter) {
            parsers_[size_t(slot)] = nullptr;
            active |= slot + 1 == activeParser_;
        }
    }
    if (highlighter_ == highlighter)
        highlighter_ = nullptr;
    if (active)
        UseSettings(nullptr);
}

// ---- Highlighting large documents ------------------------------------------------------

void TCustomSyntaxMemo::SetDeferredHighlighting(bool on) {
    if (on == deferHighlighting_)
        return;
    deferHighlighting_ = on;
    if (highlighter_) {
        highlighter_->SetDeferred(*this, on);
        // Without deferral every row must be right at once.
        if (!on)
            RescanWholeDocument();
    }
}

void TCustomSyntaxMemo::HighlightTo(TextOffset end) {
    if (!highlighter_)
        return;
    // An edit whose pass has not run yet changed what the rows above `end` hold.
    if (HighlightDue())
        highlighter_->Rehighlight(*this);
    highlighter_->HighlightTo(*this, std::min(end, TextLength()));
}

bool TCustomSyntaxMemo::HighlightSlice(const THighlightBudget& budget) {
    if (!highlighter_)
        return false;
    if (HighlightDue())
        highlighter_->Rehighlight(*this);
    return highlighter_->HighlightSlice(*this, budget);
}

TextOffset TCustomSyntaxMemo::HighlightedTo() {
    return highlighter_ ? highlighter_->HighlightedTo(*this) : TextLength();
}

void TCustomSyntaxMemo::RescanWholeDocument() {
    TTextStore& s = Store();
    TLineNode* first = s.FirstRow();
    if (!first)
        return ForgetRescan();
    first->AddRowFlags(rfRescan);
    Rescan = {first, 0, 0};
    RescanLast = s.RowByIndex(s.RowCount() - 1);
}

bool TCustomSyntaxMemo::RescanFromRow(RowIndex row) {
    TTextStore& s = Store();
    if (s.RowCount() == 0)
        return false;
    row = std::clamp(row, 0, s.RowCount() - 1);
    // A rescan already due from an earlier row keeps that row, or the rows between would
    // never be scanned. The scan-start mark makes the next notification run the pass even
    // when no text changed.
    if (!Rescan.Row || Rescan.Index > row)
        Rescan = s.RowByIndex(row);
    Rescan.Row->AddRowFlags(rfScanStart);
    return true;
}

bool TCustomSyntaxMemo::HighlightDue() const {
    return highlighter_ && Rescan.Row && (Rescan.Row->RowFlags() & (rfRescan | rfScanStart));
}

void TCustomSyntaxMemo::RescanHighlighting() {
    if (HighlightDue())
        highlighter_->Rehighlight(*this);
}

void TCustomSyntaxMemo::ChangeNotification() {
    if (paintLock_ > 0)
        return;
    // A highlighting pass forgets the rows it handled itself; one that an event handler's
    // edit cut short keeps that edit's rows for the next pass.
    const bool highlighting = HighlightDue();
    RescanHighlighting();
    if (!highlighting)
        ForgetRescan();
    // The widget hears first, so that the application's handler finds the view up to date;
    // the handler may still ask ChangeBits what changed.
    if (changeBits_) {
        platform_->ViewChanged(changeBits_);
        if (OnChange)
            OnChange(*this);
    }
    changeBits_ = 0;
}

} // namespace kvx
