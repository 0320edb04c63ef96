// The mouse over an editor control, without the window: presses, moves and releases of the
// left button in the window's coordinates (x = 0 is the gutter's left edge, y = 0 the top
// of the first visible row), turned into caret placement, selections by character, word
// and row, the gutter's click event, drags of the right-margin and wrap-column lines,
// hyperlinks, the pointer's shape and the start of a drag-and-drop. The widget passes its
// events on and shows what this decides; it drives the scrolling past the window's edges
// with a timer that calls AutoScrollStep while AutoScrolling says so.
#pragma once

#include "EdConsts.h"
#include "EdTypes.h"

#include <climits>
#include <cstdint>
#include <functional>
#include <string>

namespace kvx {

class TCustomSyntaxMemo;
class TLineNode;

// The pointer shapes the control shows; the widget maps them to its cursors (HyperCursor
// for a hyperlink).
enum class TPointerShape { Arrow, IBeam, HorizontalSplit, Hyperlink };

// What the widget has to do after a move.
enum class TMouseAction { None, StartDrag };

class TMemoMouse {
  public:
    explicit TMemoMouse(TCustomSyntaxMemo& memo) : memo_(memo) {}
    TMemoMouse(const TMemoMouse&) = delete;
    TMemoMouse& operator=(const TMemoMouse&) = delete;

    // ---- Events ---------------------------------------------------------------------------
    // A press in the gutter: the 1-based row (with word wrap, the first row of the logical
    // line). Without a handler a gutter press selects the row as a press in the margin
    // strip does.
    std::function<void(TCustomSyntaxMemo&, int32_t lineNo)> OnGutterClick;
    // A third press on the same row; instead of selecting the row.
    std::function<void(TCustomSyntaxMemo&, Pixel x, Pixel y, TextOffset charOffset)> OnTripleClick;
    // On every move over hyperlink text.
    std::function<void(TCustomSyntaxMemo&)> OnHyperlinkHover;
    // A click on hyperlink text: the run of characters of the clicked token (UTF-8) and the
    // token.
    std::function<void(TCustomSyntaxMemo&, const std::string& hyperData, int hyperType)>
        OnHyperlinkClick;

    // The desktop's double-click interval in milliseconds, and how far a press inside the
    // selection moves before it becomes a drag.
    int DoubleClickTime = 500;
    Pixel DragDistance = 4;

    // ---- The left button ------------------------------------------------------------------
    // A press at `time` (milliseconds, any steady clock). `clicks` is 2 when the platform
    // delivers the press as the second of a double click (it sends no plain press for it):
    // after the press the word at the caret is selected. The click count still follows the
    // presses and their times, so a third press is a triple click.
    void MouseDown(Pixel x, Pixel y, TShiftState shift, int clicks, int64_t time);
    TMouseAction MouseMove(Pixel x, Pixel y, TShiftState shift);
    void MouseUp(Pixel x, Pixel y, TShiftState shift);
    // The button is gone without a release (the window lost the mouse): selecting stops where
    // it is, a margin-line drag is dropped.
    void Cancel();

    // One step of scrolling while the button is held past the window's edge: the further
    // past, the more rows or columns. True when the view moved; the selection (or the
    // dragged line) follows.
    bool AutoScrollStep();
    // Whether the widget's timer should go on calling AutoScrollStep.
    bool AutoScrolling() const;

    // ---- What the widget shows -------------------------------------------------------------
    // The pointer's shape after the last move (or press).
    TPointerShape Pointer() const { return pointer_; }
    // The line being dragged, drawn over the text at this x; -1 while hidden.
    Pixel GhostLineX() const;
    // A drag-and-drop is over the control (the widget says so): the edges scroll earlier.
    void SetDropActive(bool on) { dropActive_ = on; }

    // ---- State -----------------------------------------------------------------------------
    int ClickCount() const { return clickCount_; }
    bool Selecting() const { return selecting_; }
    bool DragPending() const { return dragPending_; }
    bool MarginDrag() const { return marginDrag_; }
    bool DraggingRightMargin() const { return draggingRightMargin_; }
    DisplayColumn DragColumn() const { return dragColumn_; }
    bool OverMarginLine() const { return overMarginLine_; }
    bool OverHyperlink() const { return overHyperlink_; }
    bool DropActive() const { return dropActive_; }

  private:
    enum TMarginLine { mlNone, mlRight, mlWrap };
    struct TRowAt {
        TLineNode* Row = nullptr; // null for the line after a final break
        TextOffset Offset = 0;
        RowIndex Index = 0;
        bool Exact = false; // the point is on this row, not above or below all rows
    };
    struct TCharAt {
        TLineNode* Row = nullptr;
        TextOffset RowOffset = 0;
        ByteIndex Byte = 0;
    };

    Pixel TextLeft() const;
    Pixel MarginWidth() const;
    // The row under y (clamped to the document's rows; the line after a final break counts).
    TRowAt RowUnder(Pixel y);
    // The display column whose left edge is nearest to x.
    DisplayColumn ColumnNear(Pixel x) const;
    // The character under a point of the text area; false when there is none (left of the
    // text, past the row's end, below the last row).
    bool CharUnder(Pixel x, Pixel y, TCharAt& out);
    TMarginLine MarginLineAt(Pixel x, Pixel y);
    // The token of the hyperlink under a point and the character's offset; -1 when the
    // point is on none.
    int HyperlinkAt(Pixel x, Pixel y, TextOffset* offset = nullptr);
    bool AnyHyperlinkStyle() const;

    // The press that places the caret (also what a release after a pending drag does).
    void PlaceCaret(Pixel x, Pixel y);
    void HyperlinkClick(TextOffset at, uint8_t token);
    void SelectRow(const TRowAt& row);
    void SelectWordAtCaret();
    // Moves the selection's end (or the dragged line) to the pointer.
    void Follow();
    // Scrolls towards the pointer when it is past an edge: a row or column, or with
    // `accelerate` more the further past it is.
    bool EdgeScroll(bool accelerate);
    void UpdatePointer(Pixel x, Pixel y);

    TCustomSyntaxMemo& memo_;
    int clickCount_ = 1;
    int64_t lastClickTime_ = INT64_MIN / 2;
    RowIndex lastClickRow_ = -1;
    bool selecting_ = false;
    bool lineSelecting_ = false; // started in the gutter or the margin strip: whole rows
    TextOffset lineAnchorStart_ = 0, lineAnchorEnd_ = 0;
    bool dragPending_ = false;
    Pixel pressX_ = 0, pressY_ = 0;
    bool marginDrag_ = false;
    bool draggingRightMargin_ = false;
    bool ghostShown_ = false;
    DisplayColumn dragColumn_ = 0;
    bool overMarginLine_ = false;
    bool overHyperlink_ = false;
    bool dropActive_ = false;
    Pixel x_ = 0, y_ = 0; // the pointer, last seen
    TPointerShape pointer_ = TPointerShape::IBeam;
};

} // namespace kvx
