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
    groupBegin_ = Size() - 1; // after the push, which may have dropped what could be redone
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
    if (AtTop() && Size() == groupBegin_ + 3) {
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

void TUndoStack::Trim() {
    // Whole brackets only: the bottom marker and everything up to the next marker. An open
    // group is never cut through its begin while the group is still being written.
    while (budget_ >= 0 && bytes_ > budget_ && !entries_.empty()) {
        DropBottom();
        while (!entries_.empty()) {
            const bool marker = entries_.front().Record.Kind == TUndoRecord::Marker;
            DropBottom();
            if (marker)
                break;
        }
    }
}

} // namespace kvx
