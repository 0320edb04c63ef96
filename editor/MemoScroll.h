// Scrolling the view: the two scroll bars as the widget is to show them, the scroll-bar
// requests, the wheel and the clamped scroll-to that requests 3081 and 3082 use. The view
// keeps where it is scrolled to (TMemoView: TopRow, FirstColumn); this works out where to
// go. The vertical bar counts rows divided by ScrollScale, so that the bar's positions of a
// document of millions of rows stay small numbers.
#pragma once

#include "EdTypes.h"

#include <cstdint>

namespace kvx {

class TCustomSyntaxMemo;

// One scroll bar: the range 0..Max with a page of Page and the thumb at Position, in the
// bar's own units. The thumb can go from 0 to LastPosition().
struct TScrollBarState {
    int32_t Max = 0;
    int32_t Page = 0;
    int32_t Position = 0;
    // The bar stays in sight but disabled when everything fits in a page.
    bool Enabled() const { return Max + 1 > Page && Max > 0; }
    int32_t LastPosition() const { return Max - Page + 1 > 0 ? Max - Page + 1 : 0; }
    bool operator==(const TScrollBarState&) const = default;
};

enum TScrollRequest {
    srLineBack,    // a row up, a column left
    srLineForward, // a row down, a column right
    srPageBack,
    srPageForward,
    srThumb, // the thumb was dragged to (or let go at) a position
    srStart, // the first row or column
    srEnd,   // the last
};

class TMemoScroll {
  public:
    explicit TMemoScroll(TCustomSyntaxMemo& memo) : memo_(memo) {}
    TMemoScroll(const TMemoScroll&) = delete;
    TMemoScroll& operator=(const TMemoScroll&) = delete;

    // Which bars the control has (its ScrollBars property). ScrollTo only moves a coordinate
    // whose bar is there.
    void SetBars(bool horizontal, bool vertical) {
        horizontalBar_ = horizontal;
        verticalBar_ = vertical;
    }
    bool HasHorizontalBar() const { return horizontalBar_; }
    bool HasVerticalBar() const { return verticalBar_; }

    // Word wrap keeps every row inside the window: there is nothing to scroll sideways.
    bool RowsFitWindow() const;
    // What the vertical bar's units are worth in rows: row count / 32000 + 1.
    int32_t ScrollScale() const;
    // The bars as they are to be shown. The horizontal one has nothing to scroll while word
    // wrap keeps every row inside the window.
    TScrollBarState Horizontal() const;
    TScrollBarState Vertical() const;

    // Shows `row` at the top and `column` at the left edge, clamped to the rows there are and
    // the longest row (an empty document clamps to 0). True when the view moved.
    bool ScrollTo(DisplayColumn column, RowIndex row);
    // A scroll bar's requests; `thumb` is the bar's position for srThumb.
    void VerticalRequest(TScrollRequest request, int32_t thumb = 0);
    void HorizontalRequest(TScrollRequest request, int32_t thumb = 0);
    // The wheel, in the platform's angle units (120 a notch, less for a fine-grained wheel;
    // positive away from the user, that is up or left): `lines` rows (or columns) a notch.
    // Parts of a notch add up until they make a row.
    void Wheel(int deltaY, int deltaX, int lines);

  private:
    // Columns and rows a page turn moves.
    int32_t PageColumns() const;
    int32_t PageRows() const;
    bool HorizontalRoom() const;

    TCustomSyntaxMemo& memo_;
    bool horizontalBar_ = true;
    bool verticalBar_ = true;
    int wheelY_ = 0; // what is left of the wheel's turns, short of a row
    int wheelX_ = 0;
};

} // namespace kvx
