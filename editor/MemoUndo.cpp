// The control's undo and redo: recording what commands change into the document's undo
// log, and replaying the log's steps backwards and forwards.
#include "SyntaxEd.h"

#include <algorithm>
#include <exception>
#include <utility>

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
    // In one piece: undoing a Replace All puts back megabytes, which in 8 KB pieces would
    // cut the rest of a long line again for every piece.
    if (!text.empty())
        s.InsertWhole(*this, text.data(), static_cast<int32_t>(text.size()));
}

namespace {
const TUndoRecord& Expect(const TUndoRecord& r, TUndoRecord::TKind kind) {
    if (r.Kind != kind)
        throw EUndoLogError(msgBadUndoStackState);
    return r;
}
} // namespace

// One step of the log, undone or redone. A step is a group boundary (three records: marker,
// selection, marker) or a replacement (six: marker, selection before, removed text,
// inserted text, selection after, marker), read top down to undo and bottom up to redo.
void TCustomSyntaxMemo::ReplayStep(TUndoStack& log, bool undo, bool& groupActive,
                                   bool& resetRescan) {
    const int64_t mark = log.CursorMark();
    auto next = [&]() -> const TUndoRecord& { return undo ? log.StepDown() : log.StepUp(); };
    const TUndoRecord marker = Expect(next(), TUndoRecord::Marker);
    if (marker.A >= 11) {
        const TUndoRecord sel = Expect(next(), TUndoRecord::Selection);
        const TUndoRecord& close = Expect(next(), TUndoRecord::Marker);
        if (close.A != marker.A || close.B != marker.B)
            throw EUndoLogError(msgBadUndoStackState);
        // Going backwards a group is entered at its end, going forwards at its begin.
        if (marker.B == (undo ? TUndoRecord::GroupEnd : TUndoRecord::GroupBegin)) {
            groupActive = true;
            if (undo)
                resetRescan = marker.A == ugIndentBlock || marker.A == ugUnindentBlock;
        } else {
            groupActive = false;
            Sel = {std::clamp(sel.A, 0, Store().TextLength()),
                   std::clamp(sel.B, 0, Store().TextLength())};
        }
        return;
    }
    if (marker.A != ugReplacement)
        throw EUndoLogError(msgBadUndoStackState);
    // Read in either direction, the second text is the one to put in: the removed text when
    // undoing, the inserted one when redoing.
    const TUndoRecord first = Expect(next(), TUndoRecord::Selection);
    Expect(next(), TUndoRecord::Text);
    const TUndoRecord text = Expect(next(), TUndoRecord::Text);
    const TUndoRecord second = Expect(next(), TUndoRecord::Selection);
    const TUndoRecord& close = Expect(next(), TUndoRecord::Marker);
    if (close.A != marker.A)
        throw EUndoLogError(msgBadUndoStackState);
    const TUndoRecord& before = undo ? second : first;
    const TUndoRecord& after = undo ? first : second;
    // Undo puts the removed text back over what was inserted; redo inserts it again over
    // what it had removed.
    const TextOffset from = std::min(before.A, before.B);
    const TextOffset to = undo ? std::max(after.A, after.B) : std::max(before.A, before.B);
    const TextOffset length = Store().TextLength();
    if (from < 0 || to > length || from > to)
        throw EUndoLogError(msgBadUndoStackState);
    try {
        ApplyReplace(from, to, text.Chars);
    } catch (...) {
        // The store could not make the change (handlers' failures wait until the replay is
        // over, so this is the store's own). While the text is as it was, the step goes
        // back on the log; once it is half changed, no step of the log fits it any more.
        if (Store().TextLength() == length)
            log.RestoreCursor(mark);
        else
            log.Clear();
        throw;
    }
    const TUndoRecord& land = undo ? before : after;
    Sel = {land.A, land.B};
}

void TCustomSyntaxMemo::Replay(bool undo) {
    TUndoStack* log = Store().UndoLog();
    auto more = [&] { return undo ? log->CanUndo() : log->CanRedo(); };
    // Undo and redo are the user's edits like any other: a read-only document refuses them.
    if (ReadOnly || !log || !more())
        return;
    recording_ = false;
    applying_ = true;
    deferred_ = nullptr;
    bool resetRescan = false;
    // However the replay ends, the control records again and the caret is where the text
    // now puts it.
    auto finish = [&] {
        if (resetRescan && Store().FirstRow())
            Rescan = {Store().FirstRow(), 0, 0};
        recording_ = true;
        applying_ = false;
        inVirtual_ = false;
        preferredColumn_ = virtualColumn_ = ColumnOf(Sel.Caret);
        Changed(chText | chSelection);
    };
    {
        TPaintLock lock(*this);
        try {
            bool groupActive = false;
            do {
                ReplayStep(*log, undo, groupActive, resetRescan);
                if (groupActive) {
                    try {
                        RescanHighlighting();
                    } catch (...) {
                        KeepFirstFailure();
                    }
                }
            } while (groupActive && more());
        } catch (const EUndoLogError&) {
            // A damaged log cannot be trusted any further; what was applied stays.
            log->Clear();
            platform_->Beep();
        } catch (...) {
            finish();
            throw;
        }
        finish();
    }
    // A handler that failed while the steps were applied is heard now that the text and
    // the log agree again.
    if (std::exception_ptr failure = std::exchange(deferred_, nullptr))
        std::rethrow_exception(failure);
}

void TCustomSyntaxMemo::KeepFirstFailure() {
    if (!deferred_)
        deferred_ = std::current_exception();
}

void TCustomSyntaxMemo::Undo() {
    Replay(true);
}

void TCustomSyntaxMemo::Redo() {
    Replay(false);
}

} // namespace kvx
