#include "MemoMouse.h"

#include "Encoding.h"
#include "Settings.h"
#include "SyntaxEd.h"

#include <algorithm>
#include <cstdlib>

namespace kvx {

namespace {

// Rounds towards minus infinity: a point above the window is in the row above, not in the
// first one.
int64_t FloorDiv(int64_t a, int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

} // namespace

// ---- Where the pointer is ----------------------------------------------------------------

Pixel TMemoMouse::TextLeft() const {
    return memo_.View().TextLeft();
}

Pixel TMemoMouse::MarginWidth() const {
    return memo_.View().MarginWidth();
}

TMemoMouse::TRowAt TMemoMouse::RowUnder(Pixel y) {
    TTextStore& s = memo_.Store();
    TRowAt at;
    if (!s.FirstRow())
        return at;
    const Pixel height = std::max(memo_.Platform().RowHeight(), 1);
    const int64_t wanted = memo_.View().TopRow() + FloorDiv(y, height);
    // The empty line after a final break is a row of its own, without a node.
    const RowIndex lastLine = s.RowCount() - (s.LastRow()->EndsWithBreak() ? 0 : 1);
    const auto index = static_cast<RowIndex>(std::clamp<int64_t>(wanted, 0, lastLine));
    at.Exact = index == wanted;
    at.Index = index;
    if (index == s.RowCount()) {
        at.Offset = s.TextLength();
        return at;
    }
    const TRowFinger f = s.RowByIndex(index);
    at.Row = f.Row;
    at.Offset = f.Offset;
    return at;
}

DisplayColumn TMemoMouse::ColumnNear(Pixel x) const {
    const Pixel width = std::max(memo_.Platform().CharWidth(), 1);
    const int64_t column =
        memo_.View().FirstColumn() + FloorDiv(int64_t(x) - TextLeft() + width / 2, width);
    return static_cast<DisplayColumn>(std::clamp<int64_t>(column, INT32_MIN, INT32_MAX));
}

bool TMemoMouse::CharUnder(Pixel x, Pixel y, TCharAt& out) {
    const TRowAt row = RowUnder(y);
    if (!row.Row || !row.Exact || x < TextLeft())
        return false;
    const TRowLayout& layout = memo_.View().Layout(*row.Row);
    const Pixel px = x - TextLeft() + layout.XOfColumn(memo_.View().FirstColumn());
    const ByteIndex b = layout.ByteBeforeX(px);
    if (b >= layout.Length())
        return false;
    out = {row.Row, row.Offset, b};
    return true;
}

TMemoMouse::TMarginLine TMemoMouse::MarginLineAt(Pixel x, Pixel y) {
    if (x < TextLeft())
        return mlNone;
    const DisplayColumn column = ColumnNear(x);
    // The line shows only where the row under it ends before it.
    const TRowAt row = RowUnder(y);
    const DisplayColumn rowColumns =
        row.Row && row.Exact ? memo_.View().Layout(*row.Row).Columns() : 0;
    if (rowColumns >= column)
        return mlNone;
    if (memo_.HasOption(smoShowRMargin) && column == memo_.Settings().RightMargin)
        return mlRight;
    const int wrapAt = memo_.View().WordWrap().WrapAtColumn();
    if (memo_.HasOption(smoWordWrap) && memo_.HasOption(smoShowWrapColumn) && wrapAt >= 1 &&
        column == wrapAt)
        return mlWrap;
    return mlNone;
}

bool TMemoMouse::AnyHyperlinkStyle() const {
    const TSM_Settings& settings = memo_.Settings();
    return std::any_of(settings.Styles.begin(), settings.Styles.end(),
                       [](const TStyleEntry& e) { return e.IsHyperlink != 0; });
}

int TMemoMouse::HyperlinkAt(Pixel x, Pixel y, TextOffset* offset) {
    TCharAt at;
    if (!AnyHyperlinkStyle() || !CharUnder(x, y, at) || !at.Row->Styles())
        return -1;
    const TSM_Settings& settings = memo_.Settings();
    const uint8_t token = at.Row->Styles()[at.Byte];
    if (!settings.Styles[settings.Map[token]].IsHyperlink)
        return -1;
    if (offset)
        *offset = at.RowOffset + at.Byte;
    return token;
}

// ---- What a press does ------------------------------------------------------------------

void TMemoMouse::MouseDown(Pixel x, Pixel y, TShiftState shift, int clicks, int64_t time) {
    const Pixel width = memo_.View().ClientWidth();
    if (x < 0 || (width > 0 && x > width))
        return;
    // 1, 2, 3 within the double-click interval of each other, then 4, then 1 again.
    const bool quick =
        clicks >= 2 || (time >= lastClickTime_ && time - lastClickTime_ <= DoubleClickTime);
    switch (clickCount_) {
    case 1:
        clickCount_ = quick ? 2 : 1;
        break;
    case 2:
        clickCount_ = quick ? 3 : 1;
        break;
    case 3:
        clickCount_ = 4;
        break;
    default:
        clickCount_ = 1;
        break;
    }
    lastClickTime_ = time;
    x_ = pressX_ = x;
    y_ = pressY_ = y;
    selecting_ = lineSelecting_ = dragPending_ = marginDrag_ = false;

    const Pixel left = TextLeft();
    const TRowAt row = RowUnder(y);
    if (left > 0 && x < left - MarginWidth() && OnGutterClick) {
        // The gutter reports the row; with word wrap the first row of its logical line.
        RowIndex index = row.Index;
        if (memo_.HasOption(smoWordWrap))
            for (const TLineNode* r = row.Row; r && r->IsContinuation(); r = r->Prev())
                --index;
        OnGutterClick(memo_, index + 1);
        return;
    }
    if (x < left) {
        // The margin strip (and a gutter nobody listens to) selects whole rows.
        SelectRow(row);
        selecting_ = lineSelecting_ = true;
        lineAnchorStart_ = memo_.Selection().Start();
        lineAnchorEnd_ = memo_.Selection().End();
        return;
    }
    const TMarginLine line = MarginLineAt(x, y);
    if (line != mlNone) {
        marginDrag_ = ghostShown_ = true;
        draggingRightMargin_ = line == mlRight;
        dragColumn_ = ColumnNear(x);
        pointer_ = TPointerShape::HorizontalSplit;
        return;
    }

    const TextOffset offset = memo_.View().OffsetAt(x - left, y);
    const TSelectionRange sel = memo_.Selection();
    if (shift & ssShift) {
        // The click moves the nearer end of the selection: the start when it lies before
        // it, the end otherwise. The caret goes where the click is.
        memo_.SetSelection(offset < sel.Start() ? sel.End() : sel.Start(), offset);
        selecting_ = true;
    } else if ((clickCount_ == 1 || clickCount_ == 4) && !sel.Empty() && sel.Start() <= offset &&
               offset <= sel.End() && memo_.HasOption(smoOLEDragSource)) {
        // Inside the selection: a move drags it, a release places the caret.
        dragPending_ = true;
        lastClickRow_ = row.Index;
    } else if (clickCount_ == 3 && row.Index == lastClickRow_) {
        if (OnTripleClick)
            OnTripleClick(memo_, x, y, offset);
        else
            SelectRow(row);
    } else {
        PlaceCaret(x, y);
        selecting_ = true;
        lastClickRow_ = row.Index;
    }
    // The second press of a double click selects the word at the caret.
    if (clicks >= 2 && clickCount_ != 3 && clickCount_ != 4 && memo_.HasOption(smoWordSelect)) {
        SelectWordAtCaret();
        dragPending_ = false;
    }
    UpdatePointer(x, y);
}

void TMemoMouse::PlaceCaret(Pixel x, Pixel y) {
    const Pixel left = TextLeft();
    const TextOffset offset = memo_.View().OffsetAt(x - left, y);
    if (memo_.CaretAfterEOLActive())
        memo_.SetCaretAtColumn(offset, ColumnNear(x));
    else
        memo_.SetSelection(offset, offset);
    TextOffset at = 0;
    const int token = OnHyperlinkClick ? HyperlinkAt(x, y, &at) : -1;
    if (token >= 0)
        HyperlinkClick(at, static_cast<uint8_t>(token));
}

void TMemoMouse::HyperlinkClick(TextOffset at, uint8_t token) {
    // The run of characters of the clicked token, across rows as long as every row on the
    // way has token bytes.
    TTextStore& s = memo_.Store();
    const TRowFinger here = s.RowAt(&memo_, at);
    TRowFinger f = here;
    ByteIndex i = at - f.Offset;
    for (;;) {
        const uint8_t* t = f.Row->Styles();
        while (i > 0 && t[i - 1] == token)
            --i;
        const TLineNode* p = f.Row->Prev();
        if (i > 0 || !p || !p->Styles() || p->Styles()[p->Length() - 1] != token)
            break;
        f = {const_cast<TLineNode*>(p), f.Offset - p->Length(), f.Index - 1};
        i = p->Length();
    }
    const TextOffset start = f.Offset + i;
    f = here;
    i = at - f.Offset + 1;
    for (;;) {
        const uint8_t* t = f.Row->Styles();
        while (i < f.Row->Length() && t[i] == token)
            ++i;
        TLineNode* n = f.Row->Next();
        if (i < f.Row->Length() || !n || !n->Styles() || n->Styles()[0] != token)
            break;
        f = {n, f.Offset + f.Row->Length(), f.Index + 1};
        i = 0;
    }
    const TextOffset end = f.Offset + i;
    OnHyperlinkClick(memo_, ToUtf8(s.GetText(start, end), s.Utf8()), token);
}

void TMemoMouse::SelectRow(const TRowAt& row) {
    if (!row.Row)
        memo_.SetSelection(row.Offset, row.Offset);
    else
        memo_.SetSelection(row.Offset, row.Offset + row.Row->Length());
}

void TMemoMouse::SelectWordAtCaret() {
    const TCustomSyntaxMemo::TCaretRow at = memo_.Locate(memo_.Selection().Caret);
    if (!at.Row)
        return;
    const TLineNode& row = *at.Row;
    const ByteIndex length = at.ContentLength();
    auto word = [&](ByteIndex i) {
        const unsigned char c = row.At(i);
        return memo_.CharIsInWord(c) || memo_.CharStartsWord(c);
    };
    auto wordEnd = [&](ByteIndex i) {
        while (i < length && word(i))
            ++i;
        return i;
    };
    const ByteIndex i = std::min(at.InRow, length);
    ByteIndex from = 0, to = 0;
    if (i < length && word(i) && (i == 0 || !word(i - 1))) {
        from = i; // the caret starts a word
        to = wordEnd(i);
    } else {
        ByteIndex j = i - 1;
        while (j >= 0 && !word(j))
            --j;
        if (j >= 0) { // the nearest word to the left, whole
            from = j;
            while (from > 0 && word(from - 1))
                --from;
            to = wordEnd(j);
        } else { // else the first word to the right
            j = i;
            while (j < length && !word(j))
                ++j;
            if (j < length) {
                from = j;
                to = wordEnd(j);
            }
        }
    }
    memo_.SetSelection(at.RowOffset + from, at.RowOffset + to);
}

// ---- Moves and releases -----------------------------------------------------------------

TMouseAction TMemoMouse::MouseMove(Pixel x, Pixel y, TShiftState /*shift*/) {
    x_ = x;
    y_ = y;
    TMouseAction action = TMouseAction::None;
    if (dragPending_ && !dropActive_ &&
        (std::abs(x - pressX_) >= DragDistance || std::abs(y - pressY_) >= DragDistance)) {
        dragPending_ = false;
        action = TMouseAction::StartDrag;
    }
    if (selecting_ || marginDrag_ || dropActive_) {
        EdgeScroll(false);
        Follow();
    }
    UpdatePointer(x, y);
    return action;
}

void TMemoMouse::MouseUp(Pixel x, Pixel y, TShiftState /*shift*/) {
    x_ = x;
    y_ = y;
    if (dragPending_) {
        // Pressed inside the selection and let go without dragging: a plain click.
        dragPending_ = false;
        PlaceCaret(x, y);
    }
    selecting_ = lineSelecting_ = dropActive_ = false;
    if (marginDrag_) {
        Follow();
        marginDrag_ = ghostShown_ = false;
        if (draggingRightMargin_) {
            if (memo_.Settings().RightMargin != dragColumn_) {
                memo_.Settings().RightMargin = dragColumn_;
                memo_.Changed(chSettings);
                memo_.Platform().InvalidateRows(0, -1);
            }
        } else {
            memo_.View().WordWrap().SetWrapAtColumn(dragColumn_);
        }
    }
    UpdatePointer(x, y);
}

void TMemoMouse::Cancel() {
    selecting_ = lineSelecting_ = dragPending_ = marginDrag_ = ghostShown_ = dropActive_ = false;
}

void TMemoMouse::Follow() {
    TMemoView& view = memo_.View();
    const Pixel left = TextLeft();
    const Pixel x = std::max(x_, left);
    if (marginDrag_) {
        dragColumn_ = ColumnNear(x);
        ghostShown_ = dragColumn_ >= view.FirstColumn() &&
                      dragColumn_ < view.FirstColumn() + memo_.Platform().VisibleColumns();
        return;
    }
    if (!selecting_)
        return;
    // The selection ends on a row the window shows: scrolling brings the others.
    const int rows = memo_.Platform().VisibleRows();
    const Pixel height = std::max(memo_.Platform().RowHeight(), 1);
    const Pixel y = rows > 0 ? std::clamp(y_, 0, rows * height - 1) : y_;
    const TSelectionRange before = memo_.Selection();
    if (lineSelecting_) {
        const TRowAt row = RowUnder(y);
        const TextOffset end = row.Row ? row.Offset + row.Row->Length() : row.Offset;
        if (row.Offset >= lineAnchorStart_)
            memo_.SetSelection(lineAnchorStart_, end, true);
        else
            memo_.SetSelection(lineAnchorEnd_, row.Offset, true);
    } else {
        memo_.SetSelection(before.Anchor, view.OffsetAt(x - left, y), true);
    }
    // Drawn again on the next paint; the view itself does not move for it.
    if (!(memo_.Selection() == before))
        memo_.Platform().InvalidateRows(view.TopRow(), view.TopRow() + std::max(rows, 0));
}

bool TMemoMouse::EdgeScroll(bool accelerate) {
    TMemoView& view = memo_.View();
    TMemoScroll& scroll = view.Scroll();
    TEditorPlatform& platform = memo_.Platform();
    const Pixel rowHeight = std::max(platform.RowHeight(), 1);
    const Pixel charWidth = std::max(platform.CharWidth(), 1);
    const Pixel height = view.ClientHeight() > 0 ? view.ClientHeight()
                                                 : std::max(platform.VisibleRows(), 0) * rowHeight;
    const Pixel width = view.ClientWidth() > 0
                            ? view.ClientWidth()
                            : TextLeft() + std::max(platform.VisibleColumns(), 0) * charWidth;
    // Further past the edge, faster: a row (or column) more for every row's height past.
    auto steps = [&](Pixel past, Pixel unit, int page) {
        return accelerate ? std::clamp(1 + past / unit, 1, std::max(page, 1)) : 1;
    };
    const Pixel top = dropActive_ ? 2 * rowHeight : 0;
    const Pixel bottom = dropActive_ ? height - 2 * rowHeight : height;
    const Pixel leftEdge = dropActive_ || marginDrag_ ? 2 * charWidth : TextLeft() - MarginWidth();
    const Pixel rightEdge =
        dropActive_ || (marginDrag_ && draggingRightMargin_) ? width - 2 * charWidth : width;
    bool moved = false;
    if (y_ < top && view.TopRow() > 0)
        moved = scroll.ScrollTo(view.FirstColumn(),
                                view.TopRow() - steps(top - y_, rowHeight, platform.VisibleRows()));
    else if (y_ > bottom)
        moved = scroll.ScrollTo(view.FirstColumn(), view.TopRow() + steps(y_ - bottom, rowHeight,
                                                                          platform.VisibleRows()));
    const int columns = platform.VisibleColumns();
    if (x_ < leftEdge && view.FirstColumn() > 0) {
        if (marginDrag_)
            ghostShown_ = false;
        moved = scroll.ScrollTo(view.FirstColumn() - steps(leftEdge - x_, charWidth, columns),
                                view.TopRow()) ||
                moved;
    } else if (x_ > rightEdge && view.FirstColumn() < memo_.Store().LongestRow()) {
        moved = scroll.ScrollTo(view.FirstColumn() + steps(x_ - rightEdge, charWidth, columns),
                                view.TopRow()) ||
                moved;
    }
    return moved;
}

bool TMemoMouse::AutoScrollStep() {
    if (!(selecting_ || marginDrag_ || dropActive_))
        return false;
    const bool moved = EdgeScroll(true);
    if (moved)
        Follow();
    return moved;
}

bool TMemoMouse::AutoScrolling() const {
    if (!(selecting_ || marginDrag_ || dropActive_))
        return false;
    const TMemoView& view = memo_.View();
    const Pixel height = view.ClientHeight();
    const Pixel width = view.ClientWidth();
    return y_ < 0 || (height > 0 && y_ > height) || x_ < view.TextLeft() - view.MarginWidth() ||
           (width > 0 && x_ > width);
}

Pixel TMemoMouse::GhostLineX() const {
    if (!marginDrag_ || !ghostShown_)
        return -1;
    TMemoView& view = memo_.View();
    return view.TextLeft() +
           (dragColumn_ - view.FirstColumn()) * std::max(memo_.Platform().CharWidth(), 1);
}

// ---- The pointer ------------------------------------------------------------------------

void TMemoMouse::UpdatePointer(Pixel x, Pixel y) {
    overMarginLine_ = overHyperlink_ = false;
    if (x < TextLeft()) {
        pointer_ = TPointerShape::Arrow;
        return;
    }
    overMarginLine_ = MarginLineAt(x, y) != mlNone;
    if (HyperlinkAt(x, y) >= 0) {
        overHyperlink_ = true;
        pointer_ = TPointerShape::Hyperlink;
        if (OnHyperlinkHover)
            OnHyperlinkHover(memo_);
        return;
    }
    if (overMarginLine_ || marginDrag_) {
        pointer_ = TPointerShape::HorizontalSplit;
        return;
    }
    const TSelectionRange sel = memo_.Selection();
    TCharAt at;
    if (!sel.Empty() && memo_.HasOption(smoOLEDragSource) && CharUnder(x, y, at)) {
        const TextOffset c = at.RowOffset + at.Byte;
        // Over the selection the arrow says it can be dragged.
        pointer_ = c >= sel.Start() && c < sel.End() ? TPointerShape::Arrow : TPointerShape::IBeam;
        return;
    }
    pointer_ = TPointerShape::IBeam;
}

} // namespace kvx
