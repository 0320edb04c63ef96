// The control's undo and redo: recording what commands change into the document's undo
// log, and replaying the log's steps backwards and forwards.
#include "SyntaxEd.h"

#include <algorithm>

namespace kvx {

// ---- Recording -------------------------------------------------------------------------

TCustomSyntaxMemo::TGroupScope::TGroupScope(TCustomSyntaxMemo& m, int32_t code)
    : m_(m), code_(code) {
    TUndoStack* log = m_.Log();
    opened_ = log && log->BeginGroup(code, m_.Sel.Anchor, m_.Sel.Caret);
}

TCustomSyntaxMemo::TGroupScope::~TGroupScope() {
    if (!opened_)
        return;
    if (TUndoStack* log = m_.TStoreView::Store()->UndoLog())
        log->EndGroup(code_, m_.Sel.Anchor, m_.Sel.Caret);
}

void TCustomSyntaxMemo::BeginUndoGroup(int32_t code) {
    if (TUndoStack* log = Log())
        log->BeginGroup(code, Sel.Anchor, Sel.Caret);
}

void TCustomSyntaxMemo::EndUndoGroup(int32_t code) {
    if (TUndoStack* log = Log())
        log->EndGroup(code, Sel.Anchor, Sel.Caret);
}

void TCustomSyntaxMemo::RecordInsertion(TextOffset offset, std::string_view chars) {
    if (TUndoStack* log = Log()) {
        const auto n = static_cast<TextOffset>(chars.size());
        log->PushReplacement(offset, offset, {}, std::string(chars), offset + n, offset + n);
    }
}

void TCustomSyntaxMemo::RecordDeletion(TextOffset offset, std::string_view chars) {
    if (TUndoStack* log = Log()) {
        const auto n = static_cast<TextOffset>(chars.size());
        log->PushReplacement(offset, offset + n, std::string(chars), {}, offset, offset);
    }
}

void TCustomSyntaxMemo::RecordReplacementBegin() {
    TUndoStack* log = Log();
    if (!log)
        return;
    if (replacementOpen_) {
        replacementOpen_ = false;
        log->Clear();
        platform_->Beep();
        throw ESyntaxMemo(msgBadTransactionLogEntry);
    }
    pendingBefore_ = Sel;
    pendingRemoved_ = Store().GetText(Sel.Start(), Sel.End());
    replacementOpen_ = true;
}

void TCustomSyntaxMemo::RecordReplacementEnd() {
    TUndoStack* log = Log();
    if (!log)
        return;
    if (!replacementOpen_) {
        log->Clear();
        platform_->Beep();
        throw ESyntaxMemo(msgBadTransactionLogEntry);
    }
    replacementOpen_ = false;
    // What was inserted is read back from the store, so the log holds exactly the stored
    // characters whatever normalising the insertion did.
    const TextOffset start = pendingBefore_.Start();
    std::string inserted = Store().GetText(start, std::max(Sel.Caret, start));
    log->PushReplacement(pendingBefore_.Anchor, pendingBefore_.Caret, std::move(pendingRemoved_),
                         std::move(inserted), Sel.Anchor, Sel.Caret);
    pendingRemoved_.clear();
}

// ---- Undo and redo ---------------------------------------------------------------------

bool TCustomSyntaxMemo::CanUndo() const {
    const TUndoStack* log = TStoreView::Store()->UndoLog();
    return log && log->CanUndo();
}

bool TCustomSyntaxMemo::CanRedo() const {
    const TUndoStack* log = TStoreView::Store()->UndoLog();
    return log && log->CanRedo();
}

bool TCustomSyntaxMemo::Modified() const {
    const TUndoStack* log = TStoreView::Store()->UndoLog();
    return log && log->Modified();
}

void TCustomSyntaxMemo::SetModified(bool value) {
    if (value)
        return;
    if (TUndoStack* log = Store().UndoLog())
        log->ClearAndMarkSaved();
}

void TCustomSyntaxMemo::ApplyReplace(TextOffset from, TextOffset to, const std::string& text) {
    TTextStore& s = Store();
    Sel = {from, to};
    s.DeleteRange(*this);
    if (!text.empty())
        s.InsertAtCaret(*this, text.data(), static_cast<int32_t>(text.size()));
}

namespace {
const TUndoRecord& Expect(const TUndoRecord& r, TUndoRecord::TKind kind) {
    if (r.Kind != kind)
        throw ESyntaxMemo(msgBadUndoStackState);
    return r;
}
} // namespace

bool TCustomSyntaxMemo::UndoStep(TUndoStack& log, bool& groupActive, bool& resetRescan) {
    const TUndoRecord marker = Expect(log.StepDown(), TUndoRecord::Marker);
    if (marker.A >= 11) {
        const TUndoRecord sel = Expect(log.StepDown(), TUndoRecord::Selection);
        const TUndoRecord& close = Expect(log.StepDown(), TUndoRecord::Marker);
        if (close.A != marker.A || close.B != marker.B)
            throw ESyntaxMemo(msgBadUndoStackState);
        if (marker.B == TUndoRecord::GroupEnd) {
            groupActive = true;
            resetRescan = marker.A == ugIndentBlock || marker.A == ugUnindentBlock;
        } else {
            groupActive = false;
            Sel = {std::clamp(sel.A, 0, Store().TextLength()),
                   std::clamp(sel.B, 0, Store().TextLength())};
        }
        return true;
    }
    if (marker.A != ugReplacement)
        throw ESyntaxMemo(msgBadUndoStackState);
    const TUndoRecord after = Expect(log.StepDown(), TUndoRecord::Selection);
    Expect(log.StepDown(), TUndoRecord::Text); // the inserted text
    const TUndoRecord removed = Expect(log.StepDown(), TUndoRecord::Text);
    const TUndoRecord before = Expect(log.StepDown(), TUndoRecord::Selection);
    const TUndoRecord& close = Expect(log.StepDown(), TUndoRecord::Marker);
    if (close.A != marker.A)
        throw ESyntaxMemo(msgBadUndoStackState);
    const TextOffset from = std::min(before.A, before.B);
    const TextOffset to = std::max(after.A, after.B);
    if (from < 0 || to > Store().TextLength() || from > to)
        throw ESyntaxMemo(msgBadUndoStackState);
    ApplyReplace(from, to, removed.Chars);
    Sel = {before.A, before.B};
    return true;
}

bool TCustomSyntaxMemo::RedoStep(TUndoStack& log, bool& groupActive) {
    const TUndoRecord marker = Expect(log.StepUp(), TUndoRecord::Marker);
    if (marker.A >= 11) {
        const TUndoRecord sel = Expect(log.StepUp(), TUndoRecord::Selection);
        const TUndoRecord& close = Expect(log.StepUp(), TUndoRecord::Marker);
        if (close.A != marker.A || close.B != marker.B)
            throw ESyntaxMemo(msgBadUndoStackState);
        if (marker.B == TUndoRecord::GroupBegin) {
            groupActive = true;
        } else {
            groupActive = false;
            Sel = {std::clamp(sel.A, 0, Store().TextLength()),
                   std::clamp(sel.B, 0, Store().TextLength())};
        }
        return true;
    }
    if (marker.A != ugReplacement)
        throw ESyntaxMemo(msgBadUndoStackState);
    const TUndoRecord before = Expect(log.StepUp(), TUndoRecord::Selection);
    Expect(log.StepUp(), TUndoRecord::Text); // the removed text
    const TUndoRecord inserted = Expect(log.StepUp(), TUndoRecord::Text);
    const TUndoRecord after = Expect(log.StepUp(), TUndoRecord::Selection);
    const TUndoRecord& close = Expect(log.StepUp(), TUndoRecord::Marker);
    if (close.A != marker.A)
        throw ESyntaxMemo(msgBadUndoStackState);
    const TextOffset from = std::min(before.A, before.B);
    const TextOffset to = std::max(before.A, before.B);
    if (from < 0 || to > Store().TextLength())
        throw ESyntaxMemo(msgBadUndoStackState);
    ApplyReplace(from, to, inserted.Chars);
    Sel = {after.A, after.B};
    return true;
}

void TCustomSyntaxMemo::Undo() {
    TUndoStack* log = Store().UndoLog();
    if (!log || !log->CanUndo())
        return;
    recording_ = false;
    applying_ = true;
    LockPaint();
    bool groupActive = false;
    bool resetRescan = false;
    try {
        do {
            UndoStep(*log, groupActive, resetRescan);
            if (groupActive)
                RescanHighlighting();
        } while (groupActive && log->CanUndo());
    } catch (...) {
        // A damaged log cannot be trusted any further; what was applied stays.
        log->Clear();
        platform_->Beep();
    }
    if (resetRescan && Store().FirstRow())
        Rescan = {Store().FirstRow(), 0, 0};
    recording_ = true;
    applying_ = false;
    inVirtual_ = false;
    preferredColumn_ = virtualColumn_ = ColumnOf(Sel.Caret);
    Changed(chText | chSelection);
    UnlockPaint();
}

void TCustomSyntaxMemo::Redo() {
    TUndoStack* log = Store().UndoLog();
    if (!log || !log->CanRedo())
        return;
    recording_ = false;
    applying_ = true;
    LockPaint();
    bool groupActive = false;
    try {
        do {
            RedoStep(*log, groupActive);
            if (groupActive)
                RescanHighlighting();
        } while (groupActive && log->CanRedo());
    } catch (...) {
        log->Clear();
        platform_->Beep();
    }
    recording_ = true;
    applying_ = false;
    inVirtual_ = false;
    preferredColumn_ = virtualColumn_ = ColumnOf(Sel.Caret);
    Changed(chText | chSelection);
    UnlockPaint();
}

} // namespace kvx
