// The mouse over the control, driven the way the widget passes its events on: presses with
// their times, moves and releases in window coordinates on an 8 x 16 grid whose text area
// starts after a 34-pixel gutter and a 2-pixel margin strip.
#include "editor/MemoMouse.h"
#include "editor/Settings.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kvx {
namespace {

class MemoMouse : public ::testing::Test {
  protected:
    static constexpr Pixel kLeft = 36; // gutter 34 + margin 2

    MemoMouse() {
        view.SetClientSize(kLeft + 80 * 8, 20 * 16);
        mouse.DoubleClickTime = 400;
    }

    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};
    TMemoView& view = memo.View();
    TMemoMouse& mouse = view.Mouse();
    int64_t now = 10000;

    // The middle of a character cell: column and row of the window.
    static Pixel X(int column) { return kLeft + column * 8 + 3; }
    static Pixel Y(int row) { return row * 16 + 8; }
    // A press and release on a cell, `later` milliseconds after the previous one.
    void Click(int column, int row, int64_t later = 1000, int clicks = 1, TShiftState shift = 0) {
        now += later;
        mouse.MouseDown(X(column), Y(row), shift, clicks, now);
        mouse.MouseUp(X(column), Y(row), shift);
    }
    TSelectionRange Sel() { return memo.Selection(); }
    void Option(TSyntaxMemoOption o, bool on) {
        memo.SetOptions(on ? memo.Options().Include(o) : memo.Options().Exclude(o));
    }
};

TEST_F(MemoMouse, ClicksPlaceTheCaretDragsAndShiftClicksSelect) {
    memo.SetWholeText("alpha beta\rgamma\r\tdelta\r");
    Click(2, 0);
    EXPECT_EQ(Sel(), (TSelectionRange{2, 2}));
    // The nearer boundary: the right half of a cell is after its character.
    mouse.MouseDown(kLeft + 2 * 8 + 6, Y(1), 0, 1, now += 1000);
    mouse.MouseUp(kLeft + 2 * 8 + 6, Y(1), 0);
    EXPECT_EQ(Sel(), (TSelectionRange{14, 14}));
    // Past a line's end: before its break; on the TAB's span: its nearer side.
    Click(40, 1);
    EXPECT_EQ(Sel(), (TSelectionRange{16, 16}));
    Click(1, 2);
    EXPECT_EQ(Sel(), (TSelectionRange{17, 17}));
    Click(3, 2);
    EXPECT_EQ(Sel(), (TSelectionRange{18, 18}));
    // The line after the final break, and the empty space below it.
    Click(5, 3);
    EXPECT_EQ(Sel(), (TSelectionRange{24, 24}));
    Click(5, 12);
    EXPECT_EQ(Sel(), (TSelectionRange{24, 24}));

    // A drag selects from the press to the pointer, backwards too.
    now += 1000;
    mouse.MouseDown(X(6), Y(0), 0, 1, now);
    EXPECT_TRUE(mouse.Selecting());
    mouse.MouseMove(X(3), Y(1), 0);
    EXPECT_EQ(Sel(), (TSelectionRange{6, 14}));
    mouse.MouseMove(X(1), Y(0), 0);
    EXPECT_EQ(Sel(), (TSelectionRange{6, 1}));
    mouse.MouseUp(X(1), Y(0), 0);
    EXPECT_FALSE(mouse.Selecting());
    mouse.MouseMove(X(8), Y(1), 0); // the button is up: nothing follows
    EXPECT_EQ(Sel(), (TSelectionRange{6, 1}));

    // Shift+click moves the nearer end: after the start, the end; before it, the start.
    memo.SetSelection(6, 8);
    Click(3, 1, 1000, 1, ssShift);
    EXPECT_EQ(Sel(), (TSelectionRange{6, 14}));
    Click(2, 0, 1000, 1, ssShift);
    EXPECT_EQ(Sel(), (TSelectionRange{14, 2}));

    // Presses outside the window are ignored.
    mouse.MouseDown(-1, Y(0), 0, 1, now += 1000);
    mouse.MouseDown(view.ClientWidth() + 1, Y(0), 0, 1, now += 1000);
    EXPECT_EQ(Sel(), (TSelectionRange{14, 2}));
}

TEST_F(MemoMouse, AClickPastTheEndOfALineMayLeaveTheCaretThere) {
    memo.SetWholeText("abc\rdefgh\r");
    Option(smoCaretAfterEOL, true);
    Click(7, 0);
    EXPECT_EQ(Sel(), (TSelectionRange{3, 3}));
    EXPECT_TRUE(memo.InVirtualSpace());
    EXPECT_EQ(memo.VirtualColumn(), 7);
    int column = 0, line = 0;
    memo.GetCaretPos(column, line);
    EXPECT_EQ(column, 8);
    // Typing there fills the line up to the caret (with a TAB where one fits).
    memo.KeyChar(U'x');
    EXPECT_EQ(memo.Text(), "abc\t   x\rdefgh\r");
    // Inside the text, or on the last line (no break to stand after): no virtual space.
    Click(2, 1);
    EXPECT_FALSE(memo.InVirtualSpace());
    Click(9, 2);
    EXPECT_FALSE(memo.InVirtualSpace());
    // A proportional font has no columns past the end.
    platform.fixedPitch = false;
    Click(7, 0);
    EXPECT_FALSE(memo.InVirtualSpace());
}

TEST_F(MemoMouse, PressesCountOneToFourAndSelectWordsAndRows) {
    memo.SetWholeText("  first_word second-word  \r\rx, y");
    // Two quick presses: a double click. The platform reports the second one as such.
    Click(4, 0, 1000, 1);
    EXPECT_EQ(mouse.ClickCount(), 1);
    Click(4, 0, 100, 2);
    EXPECT_EQ(mouse.ClickCount(), 2);
    EXPECT_EQ(Sel(), (TSelectionRange{2, 12})); // "first_word", caret at its end
    // A third quick press on the same row selects the row, break included.
    Click(4, 0, 100);
    EXPECT_EQ(mouse.ClickCount(), 3);
    EXPECT_EQ(Sel(), (TSelectionRange{0, 27}));
    // The fourth press counts 4 however slow it is, and acts as a single click: inside
    // the selection it waits for a drag, and its release places the caret.
    Click(6, 0, 5000);
    EXPECT_EQ(mouse.ClickCount(), 4);
    EXPECT_EQ(Sel(), (TSelectionRange{6, 6}));
    Click(6, 0, 50);
    EXPECT_EQ(mouse.ClickCount(), 1);
    // Slow presses stay single; a third press on another row places the caret.
    Click(4, 0, 1000);
    EXPECT_EQ(mouse.ClickCount(), 1);
    Click(4, 0, 100, 2);
    Click(1, 2, 100);
    EXPECT_EQ(mouse.ClickCount(), 3);
    EXPECT_EQ(Sel(), (TSelectionRange{29, 29}));
    // A handler takes the triple click instead (after the fourth press, which always counts
    // 4, the count starts again).
    Click(0, 1, 1000);
    EXPECT_EQ(mouse.ClickCount(), 4);
    std::vector<TextOffset> triples;
    mouse.OnTripleClick = [&](TCustomSyntaxMemo&, Pixel, Pixel, TextOffset at) {
        triples.push_back(at);
    };
    Click(14, 0, 1000);
    Click(14, 0, 100, 2);
    Click(14, 0, 100);
    EXPECT_EQ(triples, std::vector<TextOffset>{14});
    EXPECT_EQ(Sel(), (TSelectionRange{13, 24})); // the double click's word is left

    // Which word a double click takes.
    auto doubleClick = [&](int column, int row) {
        Click(column, row, 1000);
        Click(column, row, 100, 2);
        return Sel();
    };
    EXPECT_EQ(doubleClick(13, 0), (TSelectionRange{13, 24})); // the caret starts "second-word"
    EXPECT_EQ(doubleClick(18, 0), (TSelectionRange{13, 24})); // inside it
    EXPECT_EQ(doubleClick(25, 0), (TSelectionRange{13, 24})); // after it: the word on the left
    EXPECT_EQ(doubleClick(0, 0), (TSelectionRange{2, 12}));   // before any: the first to the right
    EXPECT_EQ(doubleClick(0, 1), (TSelectionRange{27, 27}));  // a row without words
    EXPECT_EQ(doubleClick(1, 2), (TSelectionRange{28, 29}));  // "x"
    Option(smoWordSelect, false);
    EXPECT_EQ(doubleClick(18, 0), (TSelectionRange{18, 18}));
}

TEST_F(MemoMouse, TheGutterReportsLinesOrSelectsRows) {
    memo.SetWholeText("one\rtwo two two two two two two two two two two two\rthree\r");
    // Without a handler a press in the gutter selects the row, a drag whole rows.
    now += 1000;
    mouse.MouseDown(5, Y(1), 0, 1, now);
    EXPECT_EQ(Sel(), (TSelectionRange{4, 52}));
    mouse.MouseMove(5, Y(2), 0);
    EXPECT_EQ(Sel(), (TSelectionRange{4, 58}));
    mouse.MouseMove(5, Y(0), 0);
    EXPECT_EQ(Sel(), (TSelectionRange{52, 0}));
    mouse.MouseUp(5, Y(0), 0);
    // So does the margin strip, whatever the handler.
    Click(-1, 2); // x = 35: the strip
    EXPECT_EQ(Sel(), (TSelectionRange{52, 58}));

    std::vector<int32_t> lines;
    mouse.OnGutterClick = [&](TCustomSyntaxMemo&, int32_t line) { lines.push_back(line); };
    memo.SetSelection(2, 2);
    mouse.MouseDown(10, Y(1), 0, 1, now += 1000);
    mouse.MouseUp(10, Y(1), 0);
    EXPECT_EQ(Sel(), (TSelectionRange{2, 2})); // the caret stays
    // With word wrap, a continuation row reports its line's first row.
    memo.View().WordWrap().SetWrapAtColumn(20);
    Option(smoWordWrap, true);
    ASSERT_TRUE(memo.Store().RowByIndex(2).Row->IsContinuation());
    mouse.MouseDown(10, Y(3), 0, 1, now += 1000);
    mouse.MouseDown(10, Y(4), 0, 1, now += 1000);
    EXPECT_EQ(lines, (std::vector<int32_t>{2, 2, 5}));
}

TEST_F(MemoMouse, MarginLinesAreDraggedToAColumn) {
    memo.SetWholeText("short\r" + std::string(100, 'w') + "\rend\r");
    platform.visibleColumns = 100;
    view.SetClientSize(kLeft + 100 * 8, 20 * 16);
    const Pixel line80 = kLeft + 80 * 8;
    // Over the line, where the row ends before it: the split pointer.
    mouse.MouseMove(line80 + 2, Y(0), 0);
    EXPECT_TRUE(mouse.OverMarginLine());
    EXPECT_EQ(mouse.Pointer(), TPointerShape::HorizontalSplit);
    mouse.MouseMove(line80 + 2, Y(1), 0); // over the long row's text: no line there
    EXPECT_FALSE(mouse.OverMarginLine());
    EXPECT_EQ(mouse.Pointer(), TPointerShape::IBeam);
    mouse.MouseMove(line80 + 5, Y(2), 0); // nearer the next column
    EXPECT_FALSE(mouse.OverMarginLine());

    // From column 80 to column 72.
    mouse.MouseDown(line80 - 1, Y(2), 0, 1, now += 1000);
    ASSERT_TRUE(mouse.MarginDrag());
    EXPECT_TRUE(mouse.DraggingRightMargin());
    EXPECT_EQ(mouse.GhostLineX(), line80);
    mouse.MouseMove(kLeft + 72 * 8 + 1, Y(5), 0);
    EXPECT_EQ(mouse.DragColumn(), 72);
    EXPECT_EQ(mouse.GhostLineX(), kLeft + 72 * 8);
    EXPECT_EQ(memo.Settings().RightMargin, 80); // not yet
    mouse.MouseUp(kLeft + 72 * 8 + 1, Y(5), 0);
    EXPECT_FALSE(mouse.MarginDrag());
    EXPECT_EQ(mouse.GhostLineX(), -1);
    EXPECT_EQ(memo.Settings().RightMargin, 72);
    EXPECT_EQ(Sel(), (TSelectionRange{0, 0})); // the caret did not move
    // Into the gutter: the first visible column.
    mouse.MouseDown(kLeft + 72 * 8, Y(0), 0, 1, now += 1000);
    mouse.MouseMove(3, Y(0), 0);
    EXPECT_EQ(mouse.DragColumn(), 0);
    mouse.MouseUp(3, Y(0), 0);
    EXPECT_EQ(memo.Settings().RightMargin, 0);

    // The wrap column, with word wrap on: dragging it re-wraps.
    memo.Settings().RightMargin = 80;
    memo.View().WordWrap().SetWrapAtColumn(60);
    Option(smoWordWrap, true);
    EXPECT_EQ(memo.Store().RowByIndex(1).Row->Length(), 60);
    mouse.MouseDown(kLeft + 60 * 8 + 2, Y(5), 0, 1, now += 1000);
    ASSERT_TRUE(mouse.MarginDrag());
    EXPECT_FALSE(mouse.DraggingRightMargin());
    mouse.MouseMove(kLeft + 50 * 8, Y(5), 0);
    mouse.MouseUp(kLeft + 50 * 8, Y(5), 0);
    EXPECT_EQ(memo.View().WordWrap().WrapAtColumn(), 50);
    EXPECT_EQ(memo.Store().RowByIndex(1).Row->Length(), 50);
    // Without smoShowWrapColumn there is no line to take hold of.
    Option(smoShowWrapColumn, false);
    mouse.MouseDown(kLeft + 50 * 8 + 2, Y(5), 0, 1, now += 1000);
    EXPECT_FALSE(mouse.MarginDrag());
}

TEST_F(MemoMouse, APressInsideTheSelectionStartsADragOrPlacesTheCaret) {
    memo.SetWholeText("drag this text around\r");
    memo.SetSelection(5, 14);
    mouse.MouseMove(X(7), Y(0), 0);
    EXPECT_EQ(mouse.Pointer(), TPointerShape::Arrow); // over what can be dragged
    mouse.MouseMove(X(16), Y(0), 0);
    EXPECT_EQ(mouse.Pointer(), TPointerShape::IBeam);

    mouse.MouseDown(X(7), Y(0), 0, 1, now += 1000);
    EXPECT_TRUE(mouse.DragPending());
    EXPECT_EQ(Sel(), (TSelectionRange{5, 14}));
    EXPECT_EQ(mouse.MouseMove(X(7) + 2, Y(0), 0), TMouseAction::None); // within the threshold
    EXPECT_EQ(mouse.MouseMove(X(9), Y(0), 0), TMouseAction::StartDrag);
    EXPECT_FALSE(mouse.DragPending());
    mouse.MouseUp(X(9), Y(0), 0);
    EXPECT_EQ(Sel(), (TSelectionRange{5, 14})); // the drag took it; nothing else changed

    // Let go without moving: a plain click there.
    mouse.MouseDown(X(7), Y(0), 0, 1, now += 1000);
    mouse.MouseUp(X(7), Y(0), 0);
    EXPECT_EQ(Sel(), (TSelectionRange{7, 7}));

    // Without drag-and-drop the press selects as anywhere else.
    Option(smoOLEDragSource, false);
    memo.SetSelection(5, 14);
    mouse.MouseDown(X(7), Y(0), 0, 1, now += 1000);
    EXPECT_FALSE(mouse.DragPending());
    EXPECT_EQ(mouse.MouseMove(X(10), Y(0), 0), TMouseAction::None);
    EXPECT_EQ(Sel(), (TSelectionRange{7, 10}));
    mouse.MouseUp(X(10), Y(0), 0);
}

TEST_F(MemoMouse, HoldingTheButtonPastAnEdgeScrolls) {
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "line " + std::to_string(1000 + i) + std::string(150, '.') + "\r";
    memo.SetWholeText(text);
    const TextOffset lineLength = static_cast<TextOffset>(text.find('\r')) + 1;
    mouse.MouseDown(X(2), Y(5), 0, 1, now += 1000);
    // Below the window: one row per move, the selection on the last row shown.
    mouse.MouseMove(X(2), 20 * 16 + 3, 0);
    EXPECT_EQ(view.TopRow(), 1);
    EXPECT_EQ(Sel().Caret, 20 * lineLength + 2);
    EXPECT_TRUE(mouse.AutoScrolling());
    // The timer's steps go faster the further the pointer is past the edge.
    mouse.MouseMove(X(2), 20 * 16 + 3 * 16 + 3, 0);
    const RowIndex before = view.TopRow();
    EXPECT_TRUE(mouse.AutoScrollStep());
    EXPECT_EQ(view.TopRow(), before + 4);
    EXPECT_EQ(Sel().Caret, (view.TopRow() + 19) * lineLength + 2);
    EXPECT_EQ(Sel().Anchor, 5 * lineLength + 2);
    // Back inside: no more scrolling.
    mouse.MouseMove(X(2), Y(10), 0);
    EXPECT_FALSE(mouse.AutoScrolling());
    // Right of the window, over long rows.
    mouse.MouseMove(view.ClientWidth() + 30, Y(10), 0);
    EXPECT_EQ(view.FirstColumn(), 1);
    EXPECT_TRUE(mouse.AutoScrollStep());
    EXPECT_EQ(view.FirstColumn(), 5);
    // Above, up to the first row and no further.
    mouse.MouseMove(X(0), -200, 0);
    while (mouse.AutoScrollStep()) {
    }
    EXPECT_EQ(view.TopRow(), 0);
    EXPECT_EQ(Sel().Caret, view.FirstColumn()); // the first row, at the left edge
    mouse.MouseUp(X(0), -200, 0);
    EXPECT_FALSE(mouse.AutoScrolling());
    EXPECT_FALSE(mouse.AutoScrollStep());
}

TEST_F(MemoMouse, HyperlinksShowTheirPointerAndReportTheirText) {
    memo.SetWholeText("see http://example.org/a here\rand www.x.y\r");
    // Token 9 over the address, drawn in style 5.
    auto mark = [&](RowIndex row, int from, int to, uint8_t token) {
        TLineNode* r = memo.Store().RowByIndex(row).Row;
        uint8_t* t = r->Styles() ? r->Styles() : r->AllocStyles();
        for (int i = from; i < to; ++i)
            t[i] = token;
    };
    mark(0, 4, 24, 9);
    mark(1, 0, 0, 0);
    memo.Settings().Map[9] = 5;
    int hovers = 0;
    std::vector<std::pair<std::string, int>> clicks;
    mouse.OnHyperlinkHover = [&](TCustomSyntaxMemo&) { ++hovers; };
    mouse.OnHyperlinkClick = [&](TCustomSyntaxMemo&, const std::string& text, int type) {
        clicks.emplace_back(text, type);
    };
    // No style is a hyperlink style yet.
    mouse.MouseMove(X(8), Y(0), 0);
    EXPECT_EQ(mouse.Pointer(), TPointerShape::IBeam);
    EXPECT_EQ(hovers, 0);
    memo.Settings().Styles[5].IsHyperlink = 1;
    mouse.MouseMove(X(8), Y(0), 0);
    EXPECT_EQ(mouse.Pointer(), TPointerShape::Hyperlink);
    EXPECT_TRUE(mouse.OverHyperlink());
    mouse.MouseMove(X(9), Y(0), 0);
    EXPECT_EQ(hovers, 2);
    mouse.MouseMove(X(2), Y(0), 0);
    EXPECT_FALSE(mouse.OverHyperlink());
    mouse.MouseMove(X(40), Y(1), 0); // past the row's end
    EXPECT_FALSE(mouse.OverHyperlink());
    mouse.MouseMove(10, Y(0), 0); // the gutter
    EXPECT_EQ(mouse.Pointer(), TPointerShape::Arrow);

    Click(10, 0);
    EXPECT_EQ(Sel(), (TSelectionRange{10, 10}));
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0], std::make_pair(std::string("http://example.org/a"), 9));
    // A hyperlink run goes on across rows that carry the same token.
    memo.View().WordWrap().SetWrapAtColumn(20);
    Option(smoWordWrap, true);
    ASSERT_EQ(memo.Store().RowByIndex(1).Offset, 4);
    mark(1, 0, 20, 9);
    mark(0, 0, 4, 0);
    Click(2, 1);
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[1].first, "http://example.org/a");
    Click(1, 0); // plain text
    EXPECT_EQ(clicks.size(), 2u);
}

} // namespace
} // namespace kvx
