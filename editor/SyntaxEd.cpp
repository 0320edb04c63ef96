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
    SetKeyMap(nullptr);
}

TCustomSyntaxMemo::~TCustomSyntaxMemo() {
    SetHighlighter(nullptr);
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
    if (TStoreView::Store())
        Store().NamedPositions().ReleaseOnFree(this);
    AttachStore(store);
    if (store)
        store->NamedPositions().SetOnFree(this, [this](const std::string& name) {
            if (OnCustomBookmarkFree)
                OnCustomBookmarkFree(*this, name);
        });
}

void TCustomSyntaxMemo::AttachTextStore(TTextStore* store) {
    ShowStore(store ? store : ownStore_.get());
    inVirtual_ = false;
    virtualColumn_ = preferredColumn_ = 0;
    view_.ResetColumn();
    replacementOpen_ = false;
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
    Changed(chSettings);
    platform_->InvalidateRows(0, -1);
}

void TCustomSyntaxMemo::RefreshSettings() {
    RebuildShiftExtendKeys();
    if (HasOption(smoWordWrap))
        Store().RewrapRange(nullptr, nullptr);
    Changed(chSettings);
    platform_->InvalidateRows(0, -1);
}

// ---- Text changes ----------------------------------------------------------------------

void TCustomSyntaxMemo::StoreTextChanged(TextOffset offset, int32_t delta) {
    Changed(chText);
    // Rows from the change on may have moved; the view repaints those it shows.
    platform_->InvalidateRows(Locate(offset).Index, -1);
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
    if (value < 1)
        throw ESyntaxMemo(msgIllegalTabDefault);
    if (value == Tabs.TabDefault)
        return;
    Tabs.TabDefault = value;
    Changed(chSettings);
    platform_->InvalidateRows(0, -1);
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
    Changed(chSettings);
    platform_->InvalidateRows(0, -1);
}

void TCustomSyntaxMemo::SetIndentStep(int value) {
    if (value >= 1 && value <= 19)
        indentStep_ = value;
}

void TCustomSyntaxMemo::SetOptionWord(uint32_t word) {
    if (word == optionWord_)
        return;
    const bool wrapChanged = (word ^ optionWord_) & OptionBit(smoWordWrap);
    optionWord_ = word;
    if (wrapChanged) {
        view_.ResetColumn();
        Store().RewrapRange(nullptr, nullptr);
    }
    Changed(chOptions);
    platform_->InvalidateRows(0, -1);
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

void TCustomSyntaxMemo::SetHighlighter(THighlighter* highlighter) {
    if (highlighter_ == highlighter)
        return;
    THighlighter* old = highlighter_;
    highlighter_ = highlighter;
    if (old)
        old->Detach(*this);
    if (highlighter_) {
        highlighter_->Attach(*this);
        // Whatever token bytes the rows hold were written by another highlighter, or by none:
        // the next pass starts at the top (a text is loaded, and its notification done,
        // before its language is chosen).
        if (TLineNode* first = Store().FirstRow()) {
            Rescan = {first, 0, 0};
            first->AddRowFlags(rfScanStart);
        }
    }
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
