// The numbered editing commands, typing, block indent and the clipboard commands.
#include "Encoding.h"
#include "MemoScopes.h"
#include "RichExport.h"
#include "Stream.h"
#include "SyntaxEd.h"

#include <algorithm>
#include <optional>

namespace kvx {

namespace {
bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t';
}
} // namespace

// ---- Words -----------------------------------------------------------------------------

bool TCustomSyntaxMemo::CharStartsWord(unsigned char c) const {
    if (fn_CharStartsWord)
        return fn_CharStartsWord(c);
    if (c >= 128 && TStoreView::Store()->Utf8())
        return true;
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool TCustomSyntaxMemo::CharIsInWord(unsigned char c) const {
    if (fn_CharIsInWord)
        return fn_CharIsInWord(c);
    if (c >= 128 && TStoreView::Store()->Utf8())
        return true;
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '\'' || c == '-';
}

TextOffset TCustomSyntaxMemo::WordBefore() {
    TTextStore& s = Store();
    const TextOffset caret = Sel.Caret;
    if (caret <= 0)
        return caret;
    auto ch = [&](TextOffset p) { return s.CharAt(p); };
    auto wordish = [&](unsigned char c) { return CharIsInWord(c) || CharStartsWord(c); };
    TextOffset p;
    if (wordish(ch(caret)) && wordish(ch(caret - 1))) {
        p = caret;
        while (p >= 1 && CharIsInWord(ch(p)))
            --p;
        if (!CharStartsWord(ch(p)))
            ++p;
        return p;
    }
    p = caret - 1;
    while (p > 0 && !CharIsInWord(ch(p)))
        --p;
    if (!wordish(ch(p)))
        return -1;
    while (p > 0 && CharIsInWord(ch(p)))
        --p;
    if (!CharStartsWord(ch(p)))
        ++p;
    return p;
}

TextOffset TCustomSyntaxMemo::WordAfter() {
    TTextStore& s = Store();
    const TextOffset end = s.TextLength();
    TextOffset p = Sel.Caret;
    if (p < end && CharStartsWord(s.CharAt(p)))
        ++p;
    while (p < end && CharIsInWord(s.CharAt(p)))
        ++p;
    while (p < end && !CharIsInWord(s.CharAt(p)))
        ++p;
    return p;
}

// ---- Helpers ---------------------------------------------------------------------------

TextOffset TCustomSyntaxMemo::PrevCharOffset(TextOffset offset) {
    if (offset <= 0)
        return 0;
    const TCaretRow at = Locate(offset - 1);
    if (!at.Row)
        return offset - 1;
    return at.RowOffset + Store().PrevCharStart(at.Row, at.InRow + 1);
}

TextOffset TCustomSyntaxMemo::NextCharOffset(TextOffset offset) {
    const TCaretRow at = Locate(offset);
    if (!at.Row || at.InRow >= at.Row->Length())
        return std::min(offset + 1, Store().TextLength());
    return at.RowOffset + Store().NextCharStart(at.Row, at.InRow);
}

int TCustomSyntaxMemo::LineEndColumn(const TCaretRow& at) {
    return at.Row ? Store().ColumnOfIndex(at.Row, at.ContentLength(), Tabs) : 0;
}

std::string TCustomSyntaxMemo::FillText(int from, int to) const {
    std::string fill;
    if (to <= from)
        return fill;
    if (HasOption(smoUseTAB) && HasOption(smoSmartFill)) {
        for (int next = Tabs.NextTabStop(from); next <= to; next = Tabs.NextTabStop(from)) {
            fill.push_back('\t');
            from = next;
        }
    }
    fill.append(static_cast<size_t>(to - from), ' ');
    return fill;
}

void TCustomSyntaxMemo::MoveTo(TextOffset caret, bool extend) {
    inVirtual_ = false;
    PlaceSelection(extend ? Sel.Anchor : caret, caret);
    virtualColumn_ = ColumnOf(Sel.Caret);
}

void TCustomSyntaxMemo::MoveVertical(int delta, bool extend, bool page) {
    TTextStore& s = Store();
    if (!s.FirstRow())
        return;
    const TCaretRow at = Locate(Sel.Caret);
    if (page) {
        const int n = std::max(platform_->VisibleRows(), 1);
        const int32_t target =
            std::clamp<int64_t>(int64_t(at.Index) + int64_t(delta) * n, 0, s.RowCount() - 1);
        SetFirstVisibleLine(static_cast<int32_t>(
            std::clamp<int64_t>(int64_t(view_.TopRow()) + int64_t(delta) * n, 0, INT32_MAX)));
        // Page moves keep the preferred column like line moves; a Shift+page move extends.
        verticalMove_ = !extend;
        inVirtual_ = false;
        PlaceSelection(extend ? Sel.Anchor : s.RowByIndex(target).Offset,
                       s.RowByIndex(target).Offset);
        virtualColumn_ = ColumnOf(Sel.Caret);
        return;
    }
    const TLineNode* target;
    TextOffset targetOffset;
    if (delta < 0) {
        if (at.AfterFinalBreak) {
            verticalMove_ = !extend;
            MoveTo(s.RowByIndex(s.RowCount() - 1).Offset, extend);
            return;
        }
        if (at.Index == 0)
            return;
        target = at.Row->Prev();
        targetOffset = at.RowOffset - target->Length();
    } else {
        if (at.AfterFinalBreak)
            return;
        if (!at.Row->Next()) {
            if (at.Row->EndsWithBreak())
                MoveTo(s.TextLength(), extend);
            return;
        }
        target = at.Row->Next();
        targetOffset = at.RowOffset + at.Row->Length();
    }
    if (CaretAfterEOLActive()) {
        const int want = virtualColumn_;
        const int endCol = s.ColumnOfIndex(target, target->ContentLength(), Tabs);
        const TextOffset caret =
            targetOffset +
            (endCol >= want ? s.IndexOfColumn(target, want, Tabs) : target->ContentLength());
        PlaceSelection(extend ? Sel.Anchor : caret, caret);
        inVirtual_ = endCol < want;
        virtualColumn_ = want;
        return;
    }
    int index;
    if (platform_->FixedPitch())
        index = s.IndexOfColumn(target, ColumnOf(Sel.Caret), Tabs);
    else
        index = view_.ByteAtX(*target, at.Row ? view_.XOf(*at.Row, at.InRow) : 0);
    verticalMove_ = !extend;
    MoveTo(targetOffset + index, extend);
}

// ---- Commands --------------------------------------------------------------------------

void TCustomSyntaxMemo::ExecuteCommand(int command, bool extend) {
    TNotifyScope notify(*this);
    if (OnCommandRecognised)
        OnCommandRecognised(*this, command);
    // Ids come from key maps, scripts and handlers; anything outside the table is ignored.
    if (!IsCommandId(command))
        return;
    RunCommand(command, extend);
}

void TCustomSyntaxMemo::RunCommand(int command, bool extend) {
    TTextStore& s = Store();
    const TextOffset caret = Sel.Caret;
    switch (command) {
    case caLEFT:
        if (CaretAfterEOLActive()) {
            if (inVirtual_) {
                --virtualColumn_;
                if (virtualColumn_ <= LineEndColumn(Locate(caret)))
                    inVirtual_ = false;
                PlaceSelection(extend ? Sel.Anchor : caret, caret);
                Changed(chSelection);
            } else if (ColumnOf(caret) > 0) {
                MoveTo(PrevCharOffset(caret), extend);
            }
        } else {
            MoveTo(PrevCharOffset(caret), extend);
        }
        break;
    case caRIGHT:
        if (CaretAfterEOLActive() && (inVirtual_ || s.CharAt(caret) == '\r')) {
            if (!inVirtual_) {
                inVirtual_ = true;
                virtualColumn_ = ColumnOf(caret) + 1;
            } else if (virtualColumn_ < MaxRowLength) {
                ++virtualColumn_;
            }
            PlaceSelection(extend ? Sel.Anchor : caret, caret);
            Changed(chSelection);
        } else {
            MoveTo(NextCharOffset(caret), extend);
        }
        break;
    case caLINEHOME:
        MoveTo(Locate(caret).RowOffset, extend);
        break;
    case caLINEEND: {
        const TCaretRow at = Locate(caret);
        int i = at.ContentLength();
        while (i > 0 && IsBlank(at.Row->At(i - 1)))
            --i;
        MoveTo(at.RowOffset + i, extend);
        break;
    }
    case caUP:
        MoveVertical(-1, extend, false);
        break;
    case caDOWN:
        MoveVertical(+1, extend, false);
        break;
    case caPAGEUP:
        MoveVertical(-1, extend, true);
        break;
    case caPAGEDOWN:
        MoveVertical(+1, extend, true);
        break;
    case caWORDLEFT: {
        const TextOffset w = WordBefore();
        if (w >= 0 && w != caret)
            MoveTo(w, extend);
        break;
    }
    case caWORDRIGHT: {
        const TextOffset w = WordAfter();
        if (w != caret)
            MoveTo(w, extend);
        break;
    }
    case caDOCSTART:
        MoveTo(0, extend);
        break;
    case caDOCEND:
        if (caret != s.TextLength())
            MoveTo(s.TextLength(), extend);
        break;
    case caCUT:
        if (!ReadOnly)
            CutToClipboard();
        break;
    case caCOPY:
        CopyToClipboard();
        break;
    case caPASTE:
        if (!ReadOnly)
            PasteFromClipboard();
        break;
    case caDELETE:
        if (!ReadOnly)
            DeleteChar(true);
        break;
    case caBACKSPACE:
        if (ReadOnly)
            break;
        if (inVirtual_)
            RunCommand(caLEFT, false);
        else
            DeleteChar(false);
        break;
    case caBLOCKIND:
    case caBLOCKUND:
        if (ReadOnly)
            break;
        if (command == caBLOCKIND)
            IndentBlock(indentStep_, false);
        else
            UnindentBlock(indentStep_);
        inVirtual_ = false;
        virtualColumn_ = ColumnOf(Sel.Caret);
        break;
    case caINSTOGGLE:
        insertMode_ = !insertMode_;
        platform_->CaretShapeChanged(!insertMode_ && HasOption(smoBlockOverwriteCursor));
        Changed(chInsertMode);
        break;
    case caDELETELINE:
        if (!ReadOnly)
            DeleteLine();
        break;
    case caUNDO:
        if (!ReadOnly)
            Undo();
        break;
    case caREDO:
        if (!ReadOnly)
            Redo();
        break;
    case caDELPREVWORD:
        if (!ReadOnly)
            DeleteWord(true);
        break;
    case caDELNEXTWORD:
        if (!ReadOnly)
            DeleteWord(false);
        break;
    case caPRINTSEL:
        if (hooks_)
            hooks_->PrintSelection(*this);
        break;
    default:
        if (command >= caSETBOOKMARK0 && command <= caSETBOOKMARK9)
            SetBookmark(command - caSETBOOKMARK0);
        else if (command >= caGOTOBOOKMARK0 && command <= caGOTOBOOKMARK9)
            GotoBookmark(command - caGOTOBOOKMARK0);
        break;
    }
}

void TCustomSyntaxMemo::DeleteChar(bool forward) {
    const TextOffset caret = Sel.Caret;
    if (Sel.Empty() && !inVirtual_ && (forward ? caret >= TextLength() : caret <= 0))
        return;
    TGroupScope group(*this, ugDelete);
    // Only a key pressed with nothing selected takes a character: with a selection the key
    // deletes the selection and nothing else, in virtual space too.
    if (Sel.Empty()) {
        if (forward) {
            if (inVirtual_)
                ReplaceSelection({}); // fills the line out to the caret first
            if (Sel.Caret >= TextLength())
                return;
            PlaceSelection(Sel.Caret, NextCharOffset(Sel.Caret), true);
        } else {
            PlaceSelection(caret, PrevCharOffset(caret), true);
        }
    }
    ReplaceSelection({});
}

void TCustomSyntaxMemo::DeleteWord(bool before) {
    const TextOffset w = before ? WordBefore() : WordAfter();
    // No word (-1) or nothing between the caret and the word: nothing to delete.
    if (w < 0 || w == Sel.Caret)
        return;
    TGroupScope group(*this, before ? ugDelPrevWord : ugDelNextWord);
    RunCommand(before ? caWORDLEFT : caWORDRIGHT, true);
    RunCommand(caDELETE, false);
}

void TCustomSyntaxMemo::DeleteLine() {
    if (!Sel.Empty())
        return;
    const TCaretRow at = Locate(Sel.Caret);
    if (!at.Row)
        return;
    PlaceSelection(at.RowOffset, at.RowOffset + at.Row->Length(), true);
    ReplaceSelection({});
}

// ---- Clipboard -------------------------------------------------------------------------

void TCustomSyntaxMemo::CopyToClipboard() {
    if (Sel.Empty())
        return;
    TClipboardData data;
    if (ClipCopyFormats & smTEXT)
        data.Text = ForeignText(Sel);
    const uint8_t rich = ClipCopyFormats & (smRTF | smHTML);
    if (rich && hooks_ && hooks_->DefersRichFormats(*this)) {
        data.Deferred = rich;
        data.From = Sel.Start();
        data.To = Sel.End();
    } else {
        AddRichFormats(*this, data);
    }
    platform_->SetClipboard(data);
}

void TCustomSyntaxMemo::CutToClipboard() {
    // A read-only document gives nothing away: cutting is editing, copying is the command
    // for taking text out.
    if (ReadOnly || Sel.Empty())
        return;
    TGroupScope group(*this, ugCut);
    CopyToClipboard();
    ReplaceSelection({});
}

bool TCustomSyntaxMemo::EncodeForDocument(std::string_view utf8, std::string& out) {
    if (FromUtf8(utf8, Store().Utf8(), out))
        return true;
    platform_->Beep();
    return false;
}

void TCustomSyntaxMemo::PasteFromClipboard() {
    if (ReadOnly)
        return;
    std::string text, html;
    TSourceTypes types = 0;
    if (platform_->ClipboardHtml(html))
        types |= stHTML;
    if (platform_->ClipboardText(text))
        types |= stText;
    if (types == 0)
        return;
    types |= stClipboard;
    if (OnDataDrop)
        OnDataDrop(*this, types);
    if (types & stHandled)
        return;
    std::string_view chosen;
    if (types & stText)
        chosen = text;
    else if (types & stHTML)
        chosen = (types & stRawData) ? std::string_view(html) : TrimHtml(html, types);
    else
        return;
    std::string encoded;
    if (PrepareForeignText(chosen, encoded))
        InsertPrepared(std::move(encoded));
}

// ---- Typing ----------------------------------------------------------------------------

void TCustomSyntaxMemo::KeyChar(char32_t ch) {
    TNotifyScope notify(*this);
    if (ReadOnly)
        return;
    switch (ch) {
    case U'\r':
        if (WantReturns)
            TypeChar("\r", true);
        return;
    case U'\n':
        if (!WantReturns)
            TypeChar("\r", true);
        return;
    case U'\t':
        if (HasOption(smoTabToColumn) && !HasOption(smoWordWrap))
            TabKey();
        else if (HasOption(smoUseTAB))
            TypeChar("\t", false);
        else
            TabKey();
        return;
    default:
        break;
    }
    if (ch < 32 || ch == 127)
        return;
    std::string bytes;
    if (!EncodeChar(ch, Store().Utf8(), bytes)) {
        platform_->Beep();
        return;
    }
    TypeChar(bytes, false);
}

void TCustomSyntaxMemo::TypeChar(std::string_view bytes, bool isBreak) {
    TTextStore& s = Store();
    TGroupScope group(*this, ugTyping);
    int indent = 0;
    if (isBreak && HasOption(smoAutoIndent)) {
        const TCaretRow at = Locate(Sel.Caret);
        const int content = at.ContentLength();
        int lead = 0;
        while (lead < content && lead < at.InRow && IsBlank(at.Row->At(lead)))
            ++lead;
        bool hasText = false;
        for (int i = 0; i < content && !hasText; ++i)
            hasText = !IsBlank(at.Row->At(i));
        if (!(hasText && (lead == 0 || at.InRow == 0))) {
            indent = at.Row ? s.ColumnOfIndex(at.Row, lead, Tabs) : 0;
            if (indent == 0) {
                // A blank line takes the indentation of the nearest line above with text.
                const TLineNode* r = at.Row ? at.Row->Prev() : s.LastRow();
                for (; r; r = r->Prev()) {
                    const int n = r->ContentLength();
                    int i = 0;
                    while (i < n && IsBlank(r->At(i)))
                        ++i;
                    if (i < n) {
                        indent = s.ColumnOfIndex(r, i, Tabs);
                        break;
                    }
                }
            }
        }
    }
    if (!insertMode_ && !isBreak && Sel.Empty() && !inVirtual_) {
        // Overwriting never eats a line break.
        const TextOffset c = Sel.Caret;
        if (c < s.TextLength() && s.CharAt(c) != '\r')
            PlaceSelection(c, NextCharOffset(c), true);
    }
    ReplaceSelection(bytes);
    if (indent > 0)
        ReplaceSelection(FillText(0, indent));
}

void TCustomSyntaxMemo::TabKey() {
    TTextStore& s = Store();
    const TCaretRow at = Locate(Sel.Caret);
    const int start =
        inVirtual_ ? virtualColumn_ : (at.Row ? s.ColumnOfIndex(at.Row, at.InRow, Tabs) : 0);
    int target = Tabs.NextTabStop(start);
    if (HasOption(smoTabToColumn)) {
        // Line up with the next word of the nearest line above that reaches this far.
        for (const TLineNode* r = at.Row ? at.Row->Prev() : s.LastRow(); r; r = r->Prev()) {
            const int n = r->ContentLength();
            if (s.ColumnOfIndex(r, n, Tabs) <= start)
                continue;
            int i = s.IndexOfColumn(r, start, Tabs);
            while (i < n && !IsBlank(r->At(i)))
                ++i;
            while (i < n && IsBlank(r->At(i)))
                ++i;
            target = s.ColumnOfIndex(r, i, Tabs);
            break;
        }
    }
    const std::string fill = FillText(start, target);
    if (fill.empty())
        return;
    TGroupScope group(*this, ugTyping);
    ReplaceSelection(fill);
}

// ---- Block indent ----------------------------------------------------------------------

TextOffset TCustomSyntaxMemo::LogicalLineStart(TextOffset offset) {
    const TCaretRow at = Locate(offset);
    if (!at.Row)
        return at.RowOffset;
    const TLineNode* r = at.Row;
    TextOffset o = at.RowOffset;
    while (r->Prev() && !r->Prev()->EndsWithBreak()) {
        r = r->Prev();
        o -= r->Length();
    }
    return o;
}

TextOffset TCustomSyntaxMemo::NextLogicalLineStart(TextOffset lineStart) {
    const TCaretRow at = Locate(lineStart);
    if (!at.Row)
        return -1;
    const TLineNode* r = at.Row;
    TextOffset o = at.RowOffset;
    while (!r->EndsWithBreak()) {
        if (!r->Next())
            return -1;
        o += r->Length();
        r = r->Next();
    }
    return o + r->Length();
}

// Lines are logical lines: a row that only continues a long line is never indented, since
// that would put blanks into the middle of the line.
void TCustomSyntaxMemo::IndentBlock(int count, bool allowTabs) {
    if (ReadOnly || Sel.Empty())
        return;
    if (count <= 0)
        count = indentStep_;
    const std::string fill(static_cast<size_t>(count),
                           allowTabs && HasOption(smoUseTAB) ? '\t' : ' ');
    TextOffset start = Sel.Start();
    TextOffset end = Sel.End();
    const bool caretAtEnd = Sel.Caret >= Sel.Anchor;
    TGroupScope group(*this, ugIndentBlock);
    TPaintLock lock(*this);
    try {
        for (TextOffset line = LogicalLineStart(start); line >= 0 && line < end;
             line = NextLogicalLineStart(line)) {
            Sel = {line, line};
            Store().InsertAtCaret(*this, fill.data(), count);
            RecordInsertion(line, fill);
            // The selection keeps covering the same characters: a start inside the first
            // line moves with its text.
            if (start > line)
                start += count;
            end += count;
        }
    } catch (...) {
        Sel = caretAtEnd ? TSelectionRange{start, end} : TSelectionRange{end, start};
        throw;
    }
    Sel = caretAtEnd ? TSelectionRange{start, end} : TSelectionRange{end, start};
}

void TCustomSyntaxMemo::UnindentBlock(int count) {
    if (ReadOnly || Sel.Empty())
        return;
    if (count <= 0)
        count = indentStep_;
    TTextStore& s = Store();
    TextOffset start = Sel.Start();
    TextOffset end = Sel.End();
    const bool caretAtEnd = Sel.Caret >= Sel.Anchor;
    std::optional<TGroupScope> group;
    TPaintLock lock(*this);
    try {
        for (TextOffset line = LogicalLineStart(start); line >= 0 && line < end;
             line = NextLogicalLineStart(line)) {
            // The blanks are read from the logical line, which may go on in a next row.
            const std::string head = s.GetText(line, line + 2 * count);
            int bytes = 0;
            for (int taken = 0; taken < count && bytes < static_cast<int>(head.size()); ++taken) {
                const unsigned char c = head[bytes];
                if (IsBlank(c) || (c == 160 && !s.Utf8())) {
                    ++bytes;
                } else if (s.Utf8() && c == 0xC2 && bytes + 1 < static_cast<int>(head.size()) &&
                           static_cast<unsigned char>(head[bytes + 1]) == 0xA0) {
                    bytes += 2; // a no-break space
                } else {
                    break;
                }
            }
            if (bytes == 0)
                continue;
            if (!group)
                group.emplace(*this, ugUnindentBlock);
            const std::string removed = s.GetText(line, line + bytes);
            Sel = {line, line + bytes};
            s.DeleteRange(*this);
            RecordDeletion(line, removed);
            // Positions inside the removed blanks move to the line start.
            auto track = [&](TextOffset& p) {
                p = p > line + bytes ? p - bytes : std::min(p, line);
            };
            track(start);
            track(end);
        }
    } catch (...) {
        Sel = caretAtEnd ? TSelectionRange{start, end} : TSelectionRange{end, start};
        throw;
    }
    Sel = caretAtEnd ? TSelectionRange{start, end} : TSelectionRange{end, start};
}

} // namespace kvx
