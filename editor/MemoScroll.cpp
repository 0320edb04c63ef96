#include "MemoScroll.h"

#include "SyntaxEd.h"

#include <algorithm>

namespace kvx {

namespace {

// Rows and columns clamped the way an empty document needs: the upper bound first, so that
// an upper bound of -1 still ends at 0.
int32_t Clamp(int64_t value, int32_t last) {
    return static_cast<int32_t>(std::max<int64_t>(std::min<int64_t>(value, last), 0));
}

} // namespace

int32_t TMemoScroll::ScrollScale() const {
    return memo_.Store().RowCount() / 32000 + 1;
}

bool TMemoScroll::RowsFitWindow() const {
    // Rows wrapped at a width the window shows never need the bar; a WrapAtColumn wider
    // than the window still does.
    if (!memo_.HasOption(smoWordWrap))
        return false;
    const int visible = memo_.Platform().VisibleColumns();
    return visible <= 0 || memo_.View().WordWrap().WrapWidth() <= visible;
}

bool TMemoScroll::HorizontalRoom() const {
    return horizontalBar_ && !RowsFitWindow();
}

TScrollBarState TMemoScroll::Horizontal() const {
    TScrollBarState s;
    if (!HorizontalRoom())
        return s;
    s.Max = memo_.Store().LongestRow();
    s.Page = std::max(memo_.Platform().VisibleColumns(), 0);
    s.Position = memo_.View().FirstColumn();
    return s;
}

TScrollBarState TMemoScroll::Vertical() const {
    TScrollBarState s;
    if (!verticalBar_)
        return s;
    const int32_t scale = ScrollScale();
    const int32_t rows = memo_.Store().RowCount();
    const RowIndex top = memo_.View().TopRow();
    int32_t page = std::max(memo_.Platform().VisibleRows(), 0);
    // Scrolled down in a document shorter than the window: the page is what is left below.
    if (top > 0 && rows < page)
        page = rows - top;
    s.Max = rows / scale;
    s.Page = page / scale;
    s.Position = top / scale;
    return s;
}

bool TMemoScroll::ScrollTo(DisplayColumn column, RowIndex row) {
    TMemoView& view = memo_.View();
    bool moved = false;
    if (horizontalBar_) {
        const DisplayColumn c = Clamp(column, memo_.Store().LongestRow() - 1);
        moved = c != view.FirstColumn();
        view.SetFirstColumn(c);
    }
    if (verticalBar_) {
        const RowIndex r = Clamp(row, memo_.Store().RowCount() - 1);
        moved = moved || r != view.TopRow();
        view.SetTopRow(r);
    }
    return moved;
}

int32_t TMemoScroll::PageRows() const {
    return std::max(memo_.Platform().VisibleRows(), 1);
}

int32_t TMemoScroll::PageColumns() const {
    // A page to the side is the whole window's width, gutter included, as wide as it is.
    const Pixel width = memo_.View().ClientWidth();
    const Pixel cw = std::max(memo_.Platform().CharWidth(), 1);
    return std::max(width > 0 ? width / cw : memo_.Platform().VisibleColumns(), 1);
}

void TMemoScroll::VerticalRequest(TScrollRequest request, int32_t thumb) {
    const int64_t top = memo_.View().TopRow();
    int64_t to = top;
    switch (request) {
    case srLineBack:
        to = top - 1;
        break;
    case srLineForward:
        to = top + 1;
        break;
    case srPageBack:
        to = top - PageRows();
        break;
    case srPageForward:
        to = top + PageRows();
        break;
    case srThumb:
        to = int64_t(thumb) * ScrollScale();
        break;
    case srStart:
        to = 0;
        break;
    case srEnd:
        to = memo_.Store().RowCount() - 1;
        break;
    }
    memo_.View().SetTopRow(Clamp(to, memo_.Store().RowCount() - 1));
}

void TMemoScroll::HorizontalRequest(TScrollRequest request, int32_t thumb) {
    const int64_t first = memo_.View().FirstColumn();
    int64_t to = first;
    switch (request) {
    case srLineBack:
        to = first - 1;
        break;
    case srLineForward:
        to = first + 1;
        break;
    case srPageBack:
        to = first - PageColumns();
        break;
    case srPageForward:
        to = first + PageColumns();
        break;
    case srThumb:
        to = thumb;
        break;
    case srStart:
        to = 0;
        break;
    case srEnd:
        to = memo_.Store().LongestRow() - 1;
        break;
    }
    memo_.View().SetFirstColumn(Clamp(to, memo_.Store().LongestRow() - 1));
}

void TMemoScroll::Wheel(int deltaY, int deltaX, int lines) {
    constexpr int kNotch = 120;
    lines = std::max(lines, 1);
    wheelY_ += deltaY;
    wheelX_ += deltaX;
    const int rows = wheelY_ / kNotch;
    const int columns = wheelX_ / kNotch;
    wheelY_ -= rows * kNotch;
    wheelX_ -= columns * kNotch;
    // The wheel scrolls whether or not a bar is shown; rows, not the bar's units, so a wheel
    // moves a huge document as it moves a small one.
    if (rows != 0) {
        const int64_t to = int64_t(memo_.View().TopRow()) - int64_t(rows) * lines;
        memo_.View().SetTopRow(Clamp(to, memo_.Store().RowCount() - 1));
    }
    if (columns != 0 && HorizontalRoom()) {
        const int64_t to = int64_t(memo_.View().FirstColumn()) - int64_t(columns) * lines;
        memo_.View().SetFirstColumn(Clamp(to, memo_.Store().LongestRow() - 1));
    }
}

} // namespace kvx
