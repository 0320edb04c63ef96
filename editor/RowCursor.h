// A forward-and-back character cursor over the rows of a text store, for the loops that
// read millions of characters (highlighting): every step is an index increment and one
// comparison, with a row change only at a row's end. Breaks read as CR, as everywhere.
#pragma once

#include "TextStore.h"

namespace kvx {

// The store must not change while the cursor is in use: it holds a bare row pointer.
class TRowCursor {
  public:
    TRowCursor() = default;
    // At `at` (a row and its offset) with the document `length` characters long.
    TRowCursor(const TRowFinger& at, TextOffset length) { Reset(at, length); }

    void Reset(const TRowFinger& at, TextOffset length) {
        row_ = at.Row;
        rowOffset_ = at.Offset;
        pos_ = at.Offset;
        end_ = length;
        Load();
    }

    unsigned char Current() const { return pos_ < end_ ? text_[pos_ - rowOffset_] : 0; }
    bool AtEnd() const { return pos_ >= end_; }
    void Advance() {
        if (pos_ >= end_)
            return;
        if (++pos_ - rowOffset_ >= len_ && row_->Next())
            StepForward();
    }
    void Back() {
        if (pos_ <= 0)
            return;
        if (--pos_ < rowOffset_)
            StepBack();
    }
    // The character before the position; 0 at the start.
    unsigned char Before() const {
        if (pos_ <= 0)
            return 0;
        if (pos_ > rowOffset_)
            return text_[pos_ - rowOffset_ - 1];
        const TLineNode* p = row_->Prev();
        return p->At(p->Length() - 1);
    }
    // Walks row by row to `target` (clamped to the document); cheap for nearby targets.
    void SetPos(TextOffset target) {
        if (!row_)
            return;
        target = target < 0 ? 0 : (target > end_ ? end_ : target);
        while (target < rowOffset_)
            StepBack();
        while (target - rowOffset_ >= len_ && row_->Next())
            StepForward();
        pos_ = target;
    }

    TextOffset Pos() const { return pos_; }

  private:
    void Load() {
        text_ = row_ ? reinterpret_cast<const unsigned char*>(row_->Text()) : nullptr;
        len_ = row_ ? row_->Length() : 0;
    }
    void StepForward() {
        rowOffset_ += len_;
        row_ = row_->Next();
        Load();
    }
    void StepBack() {
        row_ = row_->Prev();
        Load();
        rowOffset_ -= len_;
    }

    TLineNode* row_ = nullptr;
    const unsigned char* text_ = nullptr;
    int32_t len_ = 0;
    TextOffset rowOffset_ = 0;
    TextOffset pos_ = 0;
    TextOffset end_ = 0;
};

} // namespace kvx
