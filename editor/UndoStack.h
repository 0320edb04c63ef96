// The undo and redo log: a linear list of small records with a cursor that separates what
// can be undone (at and below it) from what can be redone (above it).
#pragma once

#include "EdConsts.h"
#include "EdTypes.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

namespace kvx {

// The log's own failure: its records do not make a step (a damaged or foreign log), or there
// is no record where one was asked for.
class EUndoLogError : public ESyntaxMemo {
  public:
    using ESyntaxMemo::ESyntaxMemo;
};

struct TUndoRecord {
    enum TKind : uint8_t { Selection, Text, Marker };
    enum TBoundary : int32_t { Bracket = 0, GroupBegin = 2, GroupEnd = 3 };

    TKind Kind = Marker;
    int32_t A = 0; // selection: anchor; marker: operation code
    int32_t B = 0; // selection: caret; marker: boundary kind
    std::string Chars;

    static TUndoRecord MakeSelection(TextOffset anchor, TextOffset caret) {
        return {Selection, anchor, caret, {}};
    }
    static TUndoRecord MakeText(std::string chars) { return {Text, 0, 0, std::move(chars)}; }
    static TUndoRecord MakeMarker(int32_t code, int32_t boundary) {
        return {Marker, code, boundary, {}};
    }
};

// Bottom-to-top list of records with their charged sizes and a cursor.
class TStack {
  public:
    virtual ~TStack() = default;
    // Discards everything above the cursor, then puts the record on top as the new cursor.
    void Push(TUndoRecord record, int32_t size);
    // Removes and returns the top record; "Stack underflow" when empty.
    TUndoRecord Pop();
    // The record at the cursor, moving the cursor one entry down.
    const TUndoRecord& StepDown();
    // Moves the cursor one entry up and returns that record.
    const TUndoRecord& StepUp();
    bool AtTop() const { return cursor_ + 1 == static_cast<int64_t>(entries_.size()); }
    // Where the cursor stands, and putting it back there: a replay that could not apply the
    // step it read gives the step back.
    int64_t CursorMark() const { return cursor_; }
    void RestoreCursor(int64_t mark) {
        if (mark >= -1 && mark < static_cast<int64_t>(entries_.size()))
            cursor_ = mark;
    }
    void ResetCursor() { cursor_ = static_cast<int64_t>(entries_.size()) - 1; }
    // Entries at or below the cursor.
    int32_t Count() const { return static_cast<int32_t>(cursor_ + 1); }
    int32_t Size() const { return static_cast<int32_t>(entries_.size()); }
    int64_t ByteTotal() const { return bytes_; }
    void Destroy();

  protected:
    struct TEntry {
        TUndoRecord Record;
        int32_t Size;
    };
    // Removes the bottom entry; the cursor stays on the entries it was on.
    void DropBottom();
    // Called for entries discarded from above the cursor; `position` is their absolute
    // position (entries ever dropped from the bottom plus their index).
    virtual void DiscardedAbove(int64_t /*position*/) {}

    std::deque<TEntry> entries_;
    int64_t cursor_ = -1; // index of the newest entry still done; -1 when all are undone
    int64_t bytes_ = 0;
    int64_t dropped_ = 0; // entries ever removed from the bottom
};

// The log of one document: groups, a byte budget, and the save point that says whether the
// text differs from what was last saved or loaded.
class TUndoStack : public TStack {
  public:
    static constexpr int32_t EntryOverhead = 16;

    int32_t Budget() const { return budget_; }
    void SetBudget(int32_t bytes) { budget_ = bytes < 0 ? -1 : bytes; }

    bool GroupOpen() const { return groupOpen_; }
    int32_t GroupCode() const { return groupCode_; }
    // Group requests nest by absorption: a begin while a group is open and an end with
    // another code do nothing.
    bool BeginGroup(int32_t code, TextOffset anchor, TextOffset caret);
    bool EndGroup(int32_t code, TextOffset anchor, TextOffset caret);
    // Pushes the six records of one replacement and trims to the budget.
    void PushReplacement(TextOffset beforeAnchor, TextOffset beforeCaret, std::string removed,
                         std::string inserted, TextOffset afterAnchor, TextOffset afterCaret);
    // Pushes one record, charging the fixed overhead plus the length of its text.
    void PushRecord(TUndoRecord record);

    // Empties the log. The document stays marked modified if it was, since the text still
    // differs from the file even though nothing can be undone any more.
    void Clear();
    // The current text is what the file holds (after a load or a save).
    void MarkSaved() { savePoint_ = Position(); }
    // Empties the log and takes the current text as saved.
    void ClearAndMarkSaved() {
        Clear();
        MarkSaved();
    }

    bool CanUndo() const { return Count() > 0; }
    bool CanRedo() const { return !AtTop(); }
    bool Modified() const { return Position() != savePoint_; }

    // Removes whole undo steps (a replacement bracket, or a group with all it holds) from
    // the bottom while the byte total exceeds the budget. Waits while a group is open, and
    // keeps a Replace All (group 32) that is the only step left to undo.
    void Trim();

  private:
    int64_t Position() const { return dropped_ + cursor_ + 1; }
    // Entries of the oldest step.
    size_t BottomStepLength() const;
    void DiscardedAbove(int64_t position) override {
        if (savePoint_ >= position)
            savePoint_ = -1;
    }

    int32_t budget_ = -1;
    bool groupOpen_ = false;
    int32_t groupCode_ = 0;
    int64_t groupBegin_ = 0; // the open group's begin boundary, counted like Position()
    int64_t savePoint_ = 0;  // -1: the saved state can no longer be reached
};

} // namespace kvx
