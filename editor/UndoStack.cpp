#include "UndoStack.h"

namespace kvx {

void TStack::Push(TUndoRecord record, int32_t size) {
    while (static_cast<int64_t>(entries_.size()) > cursor_ + 1) {
        DiscardedAbove(dropped_ + static_cast<int64_t>(entries_.size()));
        bytes_ -= entries_.back().Size;
        entries_.pop_back();
    }
    entries_.push_back({std::move(record), size});
    bytes_ += size;
    cursor_ = static_cast<int64_t>(entries_.size()) - 1;
}

TUndoRecord TStack::Pop() {
    if (entries_.empty())
        throw EUndoLogError(msgStackUnderflow);
    TUndoRecord r = std::move(entries_.back().Record);
    bytes_ -= entries_.back().Size;
    entries_.pop_back();
    if (cursor_ >= static_cast<int64_t>(entries_.size()))
        cursor_ = static_cast<int64_t>(entries_.size()) - 1;
    return r;
}

const TUndoRecord& TStack::StepDown() {
    if (cursor_ < 0)
        throw EUndoLogError(msgStackUnderflow);
    return entries_[cursor_--].Record;
}

const TUndoRecord& TStack::StepUp() {
    if (AtTop())
        throw EUndoLogError(msgStackUnderflow);
    return entries_[++cursor_].Record;
}

void TStack::Destroy() {
    entries_.clear();
    bytes_ = 0;
    cursor_ = -1;
    dropped_ = 0;
}

void TStack::DropBottom() {
    bytes_ -= entries_.front().Size;
    entries_.pop_front();
    ++dropped_;
    if (cursor_ >= 0)
        --cursor_;
}

void TUndoStack::PushRecord(TUndoRecord record) {
    const auto size = EntryOverhead + static_cast<int32_t>(record.Chars.size());
    Push(std::move(record), size);
}

bool TUndoStack::BeginGroup(int32_t code, TextOffset anchor, TextOffset caret) {
    if (groupOpen_)
        return false;
    groupOpen_ = true;
    groupCode_ = code;
    PushRecord(TUndoRecord::MakeMarker(code, TUndoRecord::GroupBegin));
    // Counted from the first entry ever pushed, after the push has dropped what could be
    // redone.
    groupBegin_ = dropped_ + Size() - 1;
    PushRecord(TUndoRecord::MakeSelection(anchor, caret));
    PushRecord(TUndoRecord::MakeMarker(code, TUndoRecord::GroupBegin));
    return true;
}

bool TUndoStack::EndGroup(int32_t code, TextOffset anchor, TextOffset caret) {
    if (!groupOpen_ || groupCode_ != code)
        return false;
    groupOpen_ = false;
    groupCode_ = 0;
    // A group that recorded nothing leaves nothing behind: an undo step that changes nothing
    // would only confuse the user.
    if (AtTop() && dropped_ + Size() == groupBegin_ + 3) {
        for (int i = 0; i < 3; ++i)
            Pop();
        return true;
    }
    PushRecord(TUndoRecord::MakeMarker(code, TUndoRecord::GroupEnd));
    PushRecord(TUndoRecord::MakeSelection(anchor, caret));
    PushRecord(TUndoRecord::MakeMarker(code, TUndoRecord::GroupEnd));
    Trim();
    return true;
}

void TUndoStack::PushReplacement(TextOffset beforeAnchor, TextOffset beforeCaret,
                                 std::string removed, std::string inserted, TextOffset afterAnchor,
                                 TextOffset afterCaret) {
    PushRecord(TUndoRecord::MakeMarker(ugReplacement, TUndoRecord::Bracket));
    PushRecord(TUndoRecord::MakeSelection(beforeAnchor, beforeCaret));
    PushRecord(TUndoRecord::MakeText(std::move(removed)));
    PushRecord(TUndoRecord::MakeText(std::move(inserted)));
    PushRecord(TUndoRecord::MakeSelection(afterAnchor, afterCaret));
    PushRecord(TUndoRecord::MakeMarker(ugReplacement, TUndoRecord::Bracket));
    Trim();
}

void TUndoStack::Clear() {
    const bool wasModified = Modified();
    ResetCursor();
    Destroy();
    groupOpen_ = false;
    groupCode_ = 0;
    savePoint_ = wasModified ? -1 : 0;
}

size_t TUndoStack::BottomStepLength() const {
    const TUndoRecord& first = entries_.front().Record;
    if (first.Kind == TUndoRecord::Marker && first.A >= 11 && first.B == TUndoRecord::GroupBegin) {
        // A group goes as a whole, up to and including its end boundary.
        for (size_t i = 3; i + 2 < entries_.size(); ++i) {
            const TUndoRecord& r = entries_[i].Record;
            if (r.Kind == TUndoRecord::Marker && r.A == first.A && r.B == TUndoRecord::GroupEnd)
                return i + 3;
        }
    }
    // A replacement bracket, or a record that belongs to no step: up to the next marker.
    size_t n = 1;
    while (n < entries_.size()) {
        const bool marker = entries_[n++].Record.Kind == TUndoRecord::Marker;
        if (marker)
            break;
    }
    return n;
}

void TUndoStack::Trim() {
    // A group that is still being written is not trimmed: trimming waits until it is closed,
    // so that every command stays undoable as a whole or goes as a whole, and the group's
    // begin boundary cannot be dropped from under it.
    if (groupOpen_)
        return;
    while (budget_ >= 0 && bytes_ > budget_ && !entries_.empty()) {
        // Only steps that are done: dropping one that could be redone would make redo skip it.
        const size_t n = BottomStepLength();
        if (static_cast<int64_t>(n) > cursor_ + 1)
            break;
        // A Replace All may change text all over a document larger than the budget. As the
        // newest step it stays, whatever its size, so that the user can always take it back;
        // the next step recorded lets the budget have it.
        const TUndoRecord& first = entries_.front().Record;
        if (static_cast<int64_t>(n) == cursor_ + 1 && first.Kind == TUndoRecord::Marker &&
            first.A == ugReplaceAll && first.B == TUndoRecord::GroupBegin)
            break;
        for (size_t i = 0; i < n; ++i)
            DropBottom();
    }
}

} // namespace kvx
