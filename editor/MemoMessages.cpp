// The control's numbered requests: the edit-control requests of the windowing system and the
// control's own (3072 on), answered by TCustomSyntaxMemo::Perform. Pointers travel in the two
// arguments as integers. Offsets are TextOffset values; "line" always means a row index.
//
// Req   wParam                              lParam                          returns
// ----  ----------------------------------  ------------------------------  ------------------
//   12  -                                   const char* text, 0-terminated  1; 0 for null text
//   13  buffer size n in bytes, with its 0  char* buffer                    bytes copied (no 0)
//   14  -                                   -                               WholeTextLength()
//  176  int32_t* anchor or 0                int32_t* caret or 0             anchor | caret<<16,
//                                                                           -1 if either > 0xFFFF
//  177  start (anchor); < 0: deselect       end (caret); < 0: text end      1
//  182  columns to scroll                   lines to scroll                 1
//  183  -                                   -                               1
//  184  -                                   -                               Modified()
//  186  -                                   -                               RowCount, at least 1
//  187  line; -1: the caret's line          -                               offset, -1: no line
//  193  offset; -1: the caret              -                               characters w/o break
//  194  -                                   const char* text or 0 (delete)  1
//  196  line                                char* buffer, first 16-bit      bytes copied
//                                           word = its size in bytes
//  198  -                                   -                               CanUndo()
//  199  -                                   -                               1 when it undid
//  201  offset; -1: the caret              -                               row index
//  205  -                                   -                               1
//  206  -                                   -                               FirstVisibleLine()
//  214  offset                              -                               x | y<<16 (16 bits
//                                                                           each), -1: unknown
//  215  -                                   x | y<<16 (signed 16 bits each) offset, -1: outside
//  768, 769, 770 (cut, copy, paste); 772 (undo, as 199)                     1 (772: as 199)
//
// The own requests take a flag word first: smfSet (bit 0) sets, otherwise the value is
// returned; smfNoRepaint (bit 1) is honoured by 3072 and 3073 only, since the other setters
// of the control have no variant that leaves the repaint to the caller.
//
// 3072  flags                               TSelectionRange*                1 / 0 for null
// 3073  flags                               option word (set)               1 / OptionWord()
// 3074  flags                               const char* text or 0 (delete)  1
// 3077  flags                               non-zero locks, 0 unlocks       1 / PaintLocked()
// 3078  -                                   TStream* to insert              1 / 0 for null
// 3079  TWriteFlag word (not smf*)          TStream* to write the selection bytes written
// 3080  flags                               new Modified (set)              see below / Modified()
// 3081  flags                               row (set)                       1 / first row shown
// 3082  flags                               column (set)                    1 / FirstColumn()
//       (both clamped to the rows and the longest row, and only where the control has the
//       scroll bar for them)
// 3083, 3084  -                             -                               1; 0 without hooks
// 3085  wfCRLF or 0                         char* buffer or 0               bytes of selection
// 3086  -                                   -                               CanRedo()
// 3087  -                                   -                               1 when it redid
// 3088  count (0: the indent step)          non-zero: TABs allowed          1; 0 refused count
// 3089  count (0: the indent step)          -                               1; 0 refused count
//                                                                           or read-only
// 3090  -                                   -                               1
// 3091  0 (all) or const int32_t[2]*        const uint8_t* token bytes      bytes consumed
//       (first, last row)
// 3092  as 3091                              uint8_t* buffer for the bytes   bytes written
// 3093  flags                               TUndoStack* (set; 0 detaches)   1 / the log in use
// 3096  flags                               TTextStore* (set; 0: own)       1 / the store shown
// 3105  flags                               row (set)                       1 / row or -1
//
// Buffers whose size is not passed along are the caller's to size:
// - 196 copies at most the size in its first word; a terminating zero follows the line only
//   when room remains, so a line that fills the buffer comes back without one.
// - 3085 writes the whole selection and no terminating zero: ask for the count with a null
//   buffer first and pass a buffer of at least that many bytes.
// - 3091 and 3092 consume one byte per stored character of every row of the range, the line
//   break's carriage return included (the rows' token arrays have that length); the range is
//   clipped to the rows that exist. The buffer needs the distance from the first row's start
//   to the last row's end: 187 gives row starts, and the last row ends at the stored text
//   length (14 with lsLF).
// While ReadOnly is set the requests that stand for a user's edit do nothing: cut (768),
// paste (770), undo (199, 772), redo (3087) and block indent (3088, 3089). The ones that set
// text for a program (12, 194, 3074, 3078) still work, as the setters of the control do.
// 3080 can only clear Modified: the control knows no way to mark an unchanged text as changed,
// so setting it to non-zero leaves it as it is. Setting returns 1 when Modified now has the
// value asked for, 0 when it has not.
// A log attached with 3093 after edits that were not recorded (while detached) no longer
// matches the text; clear it (205) before undoing through it.
//
// A null pointer where a buffer, text or stream is needed refuses the request: it returns 0
// and changes nothing. Unknown request numbers return 0. Failures of the operations behind
// the requests (a stream that cannot be written, text that cannot be held) are raised as the
// control's exceptions with their messages, as when the methods are called directly.
#include "EdMessages.h"
#include "Stream.h"
#include "SyntaxEd.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

namespace kvx {

namespace {

// Integers from the caller are as wide as a pointer; offsets and rows are 32-bit.
int32_t ToInt32(intptr_t v) {
    return static_cast<int32_t>(std::clamp<intptr_t>(v, INT32_MIN, INT32_MAX));
}

// A position moved by a caller's distance, without overflowing on absurd distances.
int32_t ScrolledBy(int32_t position, intptr_t delta) {
    return ToInt32(static_cast<intptr_t>(
        std::clamp<int64_t>(int64_t(position) + int64_t(ToInt32(delta)), 0, INT32_MAX)));
}

template <class T> T* Ptr(intptr_t v) {
    return reinterpret_cast<T*>(v);
}

// The text a caller hands in, refused before anything changes when the document could not
// hold it: the store counts in 32-bit offsets.
std::string_view CallerText(TCustomSyntaxMemo& m, const char* text) {
    if (!text)
        return {};
    const size_t n = std::strlen(text);
    if (n > size_t(INT32_MAX - m.TextLength()))
        throw ESyntaxMemo(0, kNotEnoughMemory);
    return {text, n};
}

// Every stored carriage return is a line break; with CR LF output each gets its line feed.
std::string WithCrLf(std::string text) {
    const auto breaks = std::count(text.begin(), text.end(), '\r');
    if (breaks == 0)
        return text;
    std::string out;
    out.reserve(text.size() + size_t(breaks));
    for (char c : text) {
        out.push_back(c);
        if (c == '\r')
            out.push_back('\n');
    }
    return out;
}

// 13: the first size - 1 bytes of the whole text as SelLineStyle writes it, and a zero. Each
// stored character gives at least one byte, so no more of the document than fits is copied.
intptr_t GetTextInto(TCustomSyntaxMemo& m, intptr_t size, char* buffer) {
    if (!buffer || size <= 0)
        return 0;
    const int64_t room = int64_t(size) - 1;
    const auto take = static_cast<TextOffset>(std::min<int64_t>(room, m.TextLength()));
    std::string text = m.Store().GetText(0, take);
    if (m.SelLineStyle == lsCRLF)
        text = WithCrLf(std::move(text));
    const auto n = static_cast<size_t>(std::min<int64_t>(room, int64_t(text.size())));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<intptr_t>(n);
}

// 196: one row's characters without its break, at most as many as the buffer's first word
// says. The word is read bytewise since the buffer need not be aligned for it.
intptr_t GetLineInto(TCustomSyntaxMemo& m, intptr_t line, char* buffer) {
    if (!buffer)
        return 0;
    uint16_t size = 0;
    std::memcpy(&size, buffer, sizeof size);
    TTextStore& s = m.Store();
    if (line < 0 || line >= s.RowCount())
        return 0;
    const TLineNode* row = s.RowByIndex(static_cast<int32_t>(line)).Row;
    const int n = std::min<int>(row->ContentLength(), size);
    std::memcpy(buffer, row->Text(), static_cast<size_t>(n));
    if (n < size)
        buffer[n] = '\0';
    return n;
}

// 187: the offset where a row starts. The empty line after a final break has no row of its
// own but can hold the caret, so it answers with the text's end.
intptr_t LineIndex(TCustomSyntaxMemo& m, intptr_t line) {
    TTextStore& s = m.Store();
    if (line == -1)
        line = m.Locate(m.Selection().Caret).Index;
    if (line < 0)
        return -1;
    if (line < s.RowCount())
        return s.RowByIndex(static_cast<int32_t>(line)).Offset;
    const bool afterBreak = s.LastRow() && s.LastRow()->EndsWithBreak();
    // An empty document still has its one (empty) line, as the line count says.
    if (line == s.RowCount() && (afterBreak || s.RowCount() == 0))
        return s.TextLength();
    return -1;
}

// 193: the characters of the row holding an offset, without its break.
intptr_t LineLength(TCustomSyntaxMemo& m, intptr_t offset) {
    if (offset == -1)
        offset = m.Selection().Caret;
    if (offset < 0 || offset > m.TextLength())
        return 0;
    return m.Locate(static_cast<TextOffset>(offset)).ContentLength();
}

// 214: pixel position packed as the standard request packs it, 16 bits per coordinate. A
// position that does not fit is reported as unknown rather than cut to a wrong one.
intptr_t PositionFromChar(TCustomSyntaxMemo& m, intptr_t offset) {
    TEditorHooks* hooks = m.Hooks();
    int x = 0, y = 0;
    if (!hooks || !hooks->PositionFromChar(m, ToInt32(offset), x, y))
        return -1;
    if (x < INT16_MIN || x > INT16_MAX || y < INT16_MIN || y > INT16_MAX)
        return -1;
    return static_cast<intptr_t>(uint32_t(uint16_t(x)) | uint32_t(uint16_t(y)) << 16);
}

intptr_t CharFromPosition(TCustomSyntaxMemo& m, intptr_t packed) {
    TEditorHooks* hooks = m.Hooks();
    if (!hooks)
        return -1;
    const auto bits = static_cast<uint32_t>(packed);
    const int x = int16_t(uint16_t(bits & 0xFFFF));
    const int y = int16_t(uint16_t(bits >> 16));
    return hooks->CharFromPosition(m, x, y);
}

// 176: the standard answer packs both offsets in 16 bits each; -1 says they do not fit and
// the caller has to use the two places.
intptr_t GetSelection(TCustomSyntaxMemo& m, intptr_t anchorOut, intptr_t caretOut) {
    const TSelectionRange sel = m.Selection();
    if (auto* p = Ptr<int32_t>(anchorOut))
        std::memcpy(p, &sel.Anchor, sizeof sel.Anchor);
    if (auto* p = Ptr<int32_t>(caretOut))
        std::memcpy(p, &sel.Caret, sizeof sel.Caret);
    if (sel.Anchor > 0xFFFF || sel.Caret > 0xFFFF)
        return -1;
    return static_cast<intptr_t>(uint32_t(sel.Anchor) | uint32_t(sel.Caret) << 16);
}

// 177: (0, -1) selects everything because a negative end stands for the end of the text; a
// negative start removes the selection and leaves the caret where it is.
void SetSelectionStd(TCustomSyntaxMemo& m, intptr_t start, intptr_t end) {
    if (start < 0) {
        const TextOffset caret = m.Selection().Caret;
        m.SetSelection(caret, caret);
        return;
    }
    const TextOffset to = end < 0 ? m.TextLength() : ToInt32(end);
    m.SetSelection(ToInt32(start), to);
}

// 3085: the selection's bytes; the caller sized the buffer from a call without one.
intptr_t GetSelText(TCustomSyntaxMemo& m, uint32_t flags, char* buffer) {
    const TSelectionRange sel = m.Selection();
    std::string text = m.Store().GetText(sel.Start(), sel.End());
    if (flags & wfCRLF)
        text = WithCrLf(std::move(text));
    if (buffer)
        std::memcpy(buffer, text.data(), text.size());
    return static_cast<intptr_t>(text.size());
}

// 3079: the selection written to a stream; returns how far the stream advanced.
intptr_t WriteSelection(TCustomSyntaxMemo& m, uint32_t flags, TStream* out) {
    if (!out)
        return 0;
    const int64_t before = out->Position();
    m.WriteRange(*out, flags, m.SelStart(), m.Selection().End());
    return static_cast<intptr_t>(out->Position() - before);
}

// 3091 / 3092: token bytes of a range of rows, row after row, each row's array as long as
// the row. The range is clipped to the rows there are; a range left empty does nothing.
intptr_t RowStyles(TCustomSyntaxMemo& m, intptr_t rangeArg, uint8_t* buffer, bool set) {
    if (!buffer)
        return 0;
    TTextStore& s = m.Store();
    if (s.RowCount() == 0)
        return 0;
    int32_t first = 0, last = s.RowCount() - 1;
    if (const auto* range = Ptr<const int32_t>(rangeArg)) {
        int32_t pair[2];
        std::memcpy(pair, range, sizeof pair);
        first = std::max(pair[0], 0);
        last = std::min(pair[1], s.RowCount() - 1);
    }
    if (first > last)
        return 0;
    int64_t used = 0;
    TLineNode* row = s.RowByIndex(first).Row;
    for (int32_t i = first; i <= last && row; ++i, row = row->Next()) {
        const auto n = static_cast<size_t>(row->Length());
        if (set) {
            uint8_t* styles = row->Styles() ? row->Styles() : row->AllocStyles();
            std::memcpy(styles, buffer + used, n);
            row->AddRowFlags(rfRepaint);
        } else if (const uint8_t* styles = row->Styles()) {
            std::memcpy(buffer + used, styles, n);
        } else {
            std::memset(buffer + used, 0, n);
        }
        used += static_cast<int64_t>(n);
    }
    if (set)
        m.Platform().InvalidateRows(first, last);
    return static_cast<intptr_t>(used);
}

} // namespace

intptr_t TCustomSyntaxMemo::Perform(uint32_t msg, intptr_t wParam, intptr_t lParam) {
    const auto flags = static_cast<uint32_t>(wParam);
    const bool set = flags & smfSet;
    bool changes = false;

    auto answer = [&]() -> intptr_t {
        switch (msg) {
        // ---- Text ----------------------------------------------------------------------
        case wmSETTEXT: {
            const char* text = Ptr<const char>(lParam);
            if (!text)
                return 0;
            changes = true;
            SetWholeText(text);
            return 1;
        }
        case wmGETTEXT:
            return GetTextInto(*this, wParam, Ptr<char>(lParam));
        case wmGETTEXTLENGTH:
            return WholeTextLength();
        case emREPLACESEL:
        case smmREPLACESEL: {
            const std::string_view text = CallerText(*this, Ptr<const char>(lParam));
            changes = true;
            ReplaceSelection(text);
            return 1;
        }
        case emGETLINE:
            return GetLineInto(*this, wParam, Ptr<char>(lParam));
        case smmGETSELTEXT:
            return GetSelText(*this, flags, Ptr<char>(lParam));
        case smmINSERTSTREAM: {
            TStream* in = Ptr<TStream>(lParam);
            if (!in)
                return 0;
            changes = true;
            // One undo step and one repaint however many pieces the stream is read in.
            TGroupScope group(*this, ugReplaceSelection);
            TPaintLock lock(*this);
            InsertStream(*in);
            return 1;
        }
        case smmWRITESTREAM:
            return WriteSelection(*this, flags, Ptr<TStream>(lParam));

        // ---- Selection and lines -------------------------------------------------------
        case emGETSEL:
            return GetSelection(*this, wParam, lParam);
        case emSETSEL:
            changes = true;
            SetSelectionStd(*this, wParam, lParam);
            return 1;
        case smmSELECTION: {
            auto* range = Ptr<TSelectionRange>(lParam);
            if (!range)
                return 0;
            if (!set) {
                *range = Selection();
                return 1;
            }
            changes = true;
            SetSelection(range->Anchor, range->Caret, (flags & smfNoRepaint) != 0);
            return 1;
        }
        case emGETLINECOUNT:
            return std::max(Store().RowCount(), 1);
        case emLINEINDEX:
            return LineIndex(*this, wParam);
        case emLINELENGTH:
            return LineLength(*this, wParam);
        case emLINEFROMCHAR:
            return Locate(wParam == -1 ? Sel.Caret : ToInt32(wParam)).Index;

        // ---- Undo ----------------------------------------------------------------------
        case emCANUNDO:
            return CanUndo();
        case emUNDO:
        case wmUNDO: {
            const bool could = CanUndo() && !ReadOnly;
            changes = true;
            Undo();
            return could;
        }
        case smmCANREDO:
            return CanRedo();
        case smmREDO: {
            const bool could = CanRedo() && !ReadOnly;
            changes = true;
            Redo();
            return could;
        }
        case emEMPTYUNDOBUFFER:
            changes = true;
            if (TUndoStack* log = Store().UndoLog())
                log->Clear();
            return 1;
        case emGETMODIFY:
            return Modified();
        case smmMODIFIED:
            if (!set)
                return Modified();
            changes = true;
            SetModified(lParam != 0);
            return Modified() == (lParam != 0);
        case smmUNDOLOG:
            if (!set)
                return reinterpret_cast<intptr_t>(Store().UndoLog());
            changes = true;
            Store().SetUndoLog(Ptr<TUndoStack>(lParam));
            return 1;

        // ---- View ----------------------------------------------------------------------
        case emLINESCROLL:
            changes = true;
            SetFirstColumn(ScrolledBy(FirstColumn(), wParam));
            SetFirstVisibleLine(ScrolledBy(FirstVisibleLine(), lParam));
            return 1;
        case emSCROLLCARET:
            changes = true;
            ScrollCaretIntoView();
            return 1;
        case emGETFIRSTVISIBLELINE:
            return FirstVisibleLine();
        case smmFIRSTLINE:
            if (!set)
                return FirstVisibleLine();
            changes = true;
            View().Scroll().ScrollTo(FirstColumn(), ToInt32(lParam));
            return 1;
        case smmFIRSTCOLUMN:
            if (!set)
                return FirstColumn();
            changes = true;
            View().Scroll().ScrollTo(ToInt32(lParam), FirstVisibleLine());
            return 1;
        case emPOSFROMCHAR:
            return PositionFromChar(*this, wParam);
        case emCHARFROMPOS:
            return CharFromPosition(*this, lParam);
        case smmPAINTLOCK:
            if (!set)
                return PaintLocked();
            changes = true;
            if (lParam)
                LockPaint();
            else
                UnlockPaint();
            return 1;

        // ---- Clipboard and dialogs -----------------------------------------------------
        case wmCUT:
            changes = true;
            CutToClipboard();
            return 1;
        case wmCOPY:
            CopyToClipboard();
            return 1;
        case wmPASTE:
            changes = true;
            PasteFromClipboard();
            return 1;
        case smmFINDDIALOG:
        case smmREPLACEDIALOG:
            if (!Hooks())
                return 0;
            changes = true;
            Hooks()->ShowFindDialog(*this, msg == smmREPLACEDIALOG);
            return 1;

        // ---- Editing and settings ------------------------------------------------------
        case smmINDENT:
        case smmUNINDENT: {
            // No indent is wider than a row can be; a larger count is a caller's mistake.
            if (wParam > MaxRowLength || ReadOnly)
                return 0;
            const int count = static_cast<int>(std::max<intptr_t>(wParam, 0));
            changes = true;
            if (msg == smmINDENT)
                IndentBlock(count, lParam != 0);
            else
                UnindentBlock(count);
            return 1;
        }
        case smmOPTIONS:
            if (!set)
                return OptionWord();
            changes = true;
            SetOptionWord(static_cast<uint32_t>(lParam), (flags & smfNoRepaint) == 0);
            return 1;
        case smmSETTINGSCHANGED:
            changes = true;
            RefreshSettings();
            return 1;

        // ---- Highlighting and the document ---------------------------------------------
        case smmSETSTYLES:
            changes = true;
            return RowStyles(*this, wParam, Ptr<uint8_t>(lParam), true);
        case smmGETSTYLES:
            return RowStyles(*this, wParam, Ptr<uint8_t>(lParam), false);
        case smmRESCANFROM:
            if (!set)
                return Rescan.Row ? Rescan.Index : -1;
            changes = true;
            return RescanFromRow(ToInt32(lParam));
        case smmTEXTSTORE:
            if (!set)
                return reinterpret_cast<intptr_t>(&Store());
            changes = true;
            AttachTextStore(Ptr<TTextStore>(lParam));
            return 1;
        default:
            return 0;
        }
    };

    // A request comes from outside a key press or command, so nothing else raises the change
    // notification for what it did. A request sent from inside a command (by an event
    // handler) leaves that to the command, which notifies once when it is done.
    ++commandDepth_;
    intptr_t result;
    try {
        result = answer();
    } catch (...) {
        if (--commandDepth_ == 0 && changes) {
            try {
                ChangeNotification();
            } catch (...) {
                // The request's own failure is the one the caller needs to see.
            }
        }
        throw;
    }
    if (--commandDepth_ == 0 && changes)
        ChangeNotification();
    return result;
}

} // namespace kvx
