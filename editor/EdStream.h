// A read-only character stream over the document of an editor control. Word moves,
// auto-correct and searching walk the text one character at a time through it, so stepping
// to the next or previous character costs a pointer and an index, not a row lookup.
#pragma once

#include "Stream.h"
#include "TextStore.h"

#include <cstdint>

namespace kvx {

class TCustomSyntaxMemo;

// The control must outlive the stream. Edits made while a stream exists are allowed: the
// stream keeps its absolute position and reads whatever text is there now.
class TEdStream : public TStream {
  public:
    // Positioned at the start of the document.
    explicit TEdStream(TCustomSyntaxMemo& memo);
    TEdStream(const TEdStream&) = delete;
    TEdStream& operator=(const TEdStream&) = delete;

    // ---- Stream interface (bytes are the stored characters, each break one CR) ----------
    // Copies characters across rows; stops at the end of the document.
    int64_t Read(void* buffer, int64_t count) override;
    // Always raises EStreamError 4203: the document is changed through the control only.
    int64_t Write(const void* buffer, int64_t count) override;
    // The target is clamped to 0..Size().
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    // The document's length now.
    int64_t Size() override;

    // ---- Character interface ------------------------------------------------------------
    // To character `indexInRow` of row `row`. Both are clamped to the document: a row past
    // the last one means the end of the document, an index past the row's end the start of
    // the next row.
    void PositionTo(int32_t row, int32_t indexInRow);
    // To an absolute offset (clamped to 0..TextLength), walking rows from the current row.
    void SetPosition(TextOffset position);

    // The character at the position; 0 at or past the end.
    unsigned char Current();
    // Steps one character forwards (not past the end) and returns the new current character.
    unsigned char Next();
    // Steps one character back (not before the start) and returns the new current character.
    unsigned char Prev();
    // At or past the document length taken when the stream was created or last positioned,
    // or at the end of a document that has become shorter since: a loop of Next until
    // AtEnd always ends.
    bool AtEnd();
    bool AtStart() const { return pos_ <= 0; }

    TextOffset Pos() const { return pos_; }
    // The row holding the position and the index in it. At the very end of a document the
    // row is the last one and the index its length; an empty document has no row.
    int32_t RowIndex();
    int32_t IndexInRow();
    const TLineNode* Row();
    // The document length taken when the stream was created or last positioned.
    TextOffset DocLength() const { return length_; }

  private:
    TTextStore& Store();
    // Makes the finger hold pos_: [Offset, Offset + Length) of its row, or the last row's end
    // at the end of the document. Cheap when it already does.
    void Settle();
    void WalkTo(TextOffset target);
    // Moves the finger to the next row when the position has reached the end of its row.
    void StepRowIfAtEnd();

    TCustomSyntaxMemo& memo_;
    // The current row is kept as the first-visible-row finger of a view of its own: the store
    // moves that finger to a live row whenever an edit or a re-wrap replaces rows, so a
    // stream that outlives an edit never reads a freed row.
    TStoreView view_;
    TextOffset pos_ = 0;
    TextOffset length_ = 0;
};

} // namespace kvx
