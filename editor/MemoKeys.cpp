// Keys and bookmarks of the control: the key map's dispatch, and bookmarks 0-9, which live
// on the rows themselves so that they move with the text.
#include "KeyMap.h"
#include "MemoScopes.h"
#include "Settings.h"
#include "SyntaxEd.h"

#include <algorithm>

namespace kvx {

// ---- Keys ------------------------------------------------------------------------------

TKeyboardActionContoller& TCustomSyntaxMemo::KeyMap() {
    return keyMap_ ? *keyMap_ : settings_->KeyMap();
}

void TCustomSyntaxMemo::SetKeyMap(TKeyboardActionContoller* map) {
    keyMap_ = map;
    RebuildShiftExtendKeys();
    Changed(chKeyboard);
}

void TCustomSyntaxMemo::RebuildShiftExtendKeys() {
    shiftExtend_.reset();
    for (const TKeyStore::TBinding& b : KeyMap().Keys().Bindings())
        if ((b.Command >= caLEFT && b.Command <= caDOCEND) || b.Command == caBACKSPACE)
            shiftExtend_.set(b.First & 0xFF);
}

bool TCustomSyntaxMemo::KeyDown(uint8_t key, TShiftState shift) {
    // A modifier pressed on its own is the start of a chord, not a key: it must not end a
    // sequence such as Ctrl+K waiting for its second key.
    if (key == vkShift || key == vkControl || key == vkMenu)
        return false;
    // Whatever the key does (an expansion, the first key of a sequence, a command), the view
    // and the status bar hear of it before the next key comes.
    TNotifyScope notify(*this);
    // Templates may swallow the key; auto-correct replaces the word and lets it go on,
    // unless a list says otherwise.
    TKeyMacros* templates = templates_ ? templates_ : &settings_->Templates();
    TKeyMacros* autoReplace = autoReplace_ ? autoReplace_ : &settings_->AutoReplace();
    if (templates->KeyDown(*this, key, shift))
        return true;
    if (autoReplace->KeyDown(*this, key, shift))
        return true;
    const bool extend = shift & ssShift;
    if (shiftExtend_[key])
        shift &= static_cast<TShiftState>(~ssShift);
    int32_t command = -1;
    // A sequence that starts or ends with this key is keyboard activity the status bar shows.
    TKeyStore& keys = KeyMap().Keys();
    const bool pending = keys.SequencePending();
    const TKeyStore::TKeyResult result = keys.Key(MakeShortcut(key, shift), command);
    if (pending || result == TKeyStore::TKeyResult::Prefix)
        Changed(chKeyboard);
    switch (result) {
    case TKeyStore::TKeyResult::Unbound:
        return false;
    case TKeyStore::TKeyResult::Prefix:
        return true;
    case TKeyStore::TKeyResult::Complete:
        ExecuteCommand(command, extend);
        return true;
    }
    return false;
}

void TCustomSyntaxMemo::ExpandKeyword(std::string_view keyword, std::string expansion,
                                      bool indentLines, bool caretMarker) {
    if (ReadOnly)
        return;
    TNotifyScope notify(*this);
    TextOffset start = Sel.Start();
    const TextOffset caret = Sel.Caret;
    if (!keyword.empty() && caret >= static_cast<TextOffset>(keyword.size())) {
        start = caret - static_cast<TextOffset>(keyword.size());
        PlaceSelection(start, caret, true);
    }
    if (indentLines) {
        const TCaretRow at = Locate(start);
        const std::string pad(static_cast<size_t>(at.Row ? ColumnOf(start) : 0), ' ');
        std::string indented;
        for (size_t i = 0; i < expansion.size(); ++i) {
            indented.push_back(expansion[i]);
            if (expansion[i] != '\r' && expansion[i] != '\n')
                continue;
            // A CR LF or LF CR pair is one break.
            const char partner = expansion[i] == '\r' ? '\n' : '\r';
            if (i + 1 < expansion.size() && expansion[i + 1] == partner)
                indented.push_back(expansion[++i]);
            indented += pad;
        }
        expansion = std::move(indented);
    }
    std::string text(expansion.size(), '\0');
    TTextNormalizer normalizer;
    text.resize(normalizer.Run(expansion.data(), expansion.size(), text.data()));
    size_t marker = std::string::npos;
    if (caretMarker && (marker = text.find('|')) != std::string::npos)
        text.erase(marker, 1);
    TGroupScope group(*this, ugTemplate);
    ReplaceSelection(text);
    // Counted back from the end of what went in: in virtual space the line was filled out
    // to the caret first.
    if (marker != std::string::npos) {
        const TextOffset at = Sel.Caret - static_cast<TextOffset>(text.size() - marker);
        SetSelection(at, at);
    }
}

// ---- Bookmarks -------------------------------------------------------------------------

void TCustomSyntaxMemo::CheckBookmarkIndex(int index) {
    if (index < 0 || index > 9)
        throw ESyntaxMemo(msgBookmarkIndexRange);
}

TRowFinger TCustomSyntaxMemo::FindBookmark(int index) {
    const uint16_t bit = static_cast<uint16_t>(1u << index);
    TRowFinger f{Store().FirstRow(), 0, 0};
    for (; f.Row; f.Offset += f.Row->Length(), f.Row = f.Row->Next(), ++f.Index)
        if (f.Row->Marks() & bit)
            return f;
    return {};
}

int32_t TCustomSyntaxMemo::BookmarkRow(int index) {
    CheckBookmarkIndex(index);
    const TRowFinger f = FindBookmark(index);
    return f.Row ? f.Index : -1;
}

void TCustomSyntaxMemo::SetBookmark(int index, int32_t line, int column) {
    CheckBookmarkIndex(index);
    TTextStore& s = Store();
    TRowFinger target;
    if (line == -1) {
        const TCaretRow at = Locate(Sel.Caret);
        // The empty line after a final break has no row to carry a mark.
        if (!at.Row)
            return;
        target = {at.Row, at.RowOffset, at.Index};
    } else {
        if (line < 1 || line > s.RowCount())
            return;
        target = s.RowByIndex(line - 1);
    }
    // A bookmark belongs to a whole line: rows that continue a wrapped or cut line give way
    // to the line's first row.
    while (target.Row->IsContinuation() && target.Row->Prev()) {
        target.Row = target.Row->Prev();
        target.Offset -= target.Row->Length();
        --target.Index;
    }
    if (line == -1)
        column = Sel.Caret - target.Offset + 1;
    column = std::max(column, 1);

    TRowFinger old;
    if (s.BookmarkColumns[index] != 0 && (old = FindBookmark(index)).Row) {
        old.Row->SetMarks(old.Row->Marks() & ~rmBookmarkBits);
        platform_->InvalidateRows(old.Index, old.Index);
    }
    // Setting a bookmark where it already is takes it away.
    if (old.Row != target.Row) {
        const uint16_t marks = target.Row->Marks() & ~rmBookmarkBits;
        target.Row->SetMarks(static_cast<uint16_t>(marks | (1u << index)));
        s.BookmarkColumns[index] = column;
        platform_->InvalidateRows(target.Index, target.Index);
        if (OnBookmarkSet)
            OnBookmarkSet(*this, index);
    }
    platform_->InvalidateRows(0, -1);
}

void TCustomSyntaxMemo::GotoBookmark(int index) {
    CheckBookmarkIndex(index);
    const TRowFinger f = FindBookmark(index);
    if (!f.Row)
        return;
    // The stored column may lie beyond a line that has since become shorter: the caret
    // then goes to the end of the line, before its break.
    int32_t length = 0;
    const TLineNode* r = f.Row;
    do {
        length += r->Length();
        r = r->Next();
    } while (r && r->IsContinuation());
    const TLineNode* last = r ? r->Prev() : Store().LastRow();
    if (last->EndsWithBreak())
        --length;
    const int32_t column = std::max(Store().BookmarkColumns[index], 1);
    const TextOffset caret = f.Offset + std::min(column - 1, length);
    SetSelection(caret, caret);
    SetFirstVisibleLine(Locate(Sel.Caret).Index - platform_->VisibleRows() / 2);
}

} // namespace kvx
