// The view state beside the control: kept row layouts, and the mapping between points of
// the text area and document offsets, scrolled and unscrolled.
#include "editor/MemoView.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <string>

namespace kvx {
namespace {

class MemoView : public ::testing::Test {
  protected:
    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};
    TMemoView& view = memo.View();

    const TLineNode& Row(RowIndex i) { return *memo.Store().RowByIndex(i).Row; }
    std::pair<Pixel, Pixel> Point(TextOffset offset) {
        Pixel x = 0, y = 0;
        view.PointOf(offset, x, y);
        return {x, y};
    }
};

TEST_F(MemoView, LayoutsAreKeptOnlyWhileWhatTheyShowIsUnchanged) {
    platform.fixedPitch = false; // so that every build is seen as measuring
    memo.SetWholeText("alpha\r\nbeta\tgamma");
    const TRowLayout* first = &view.Layout(Row(0));
    const int builds = platform.measures;
    EXPECT_EQ(&view.Layout(Row(0)), first);
    EXPECT_EQ(platform.measures, builds);
    // Another selection, another layout; the first one is still there.
    view.Layout(Row(0), 1, 3);
    EXPECT_GT(platform.measures, builds);
    const int again = platform.measures;
    EXPECT_EQ(&view.Layout(Row(0)), first);
    EXPECT_EQ(platform.measures, again);

    // The row's text changes in place: the kept layout is not handed out again.
    memo.SetSelection(0, 0);
    memo.KeyChar(U'X');
    EXPECT_EQ(view.Layout(Row(0)).Length(), 6);
    // Token bytes written by a highlighting pass make other runs.
    uint8_t* tokens = const_cast<TLineNode&>(Row(0)).AllocStyles();
    tokens[0] = 7;
    EXPECT_EQ(view.Layout(Row(0)).Runs().size(), 2u);
    // Other tab stops move the characters after a TAB.
    EXPECT_EQ(view.Layout(Row(1)).ColumnOf(5), 8);
    memo.SetTabDefault(8);
    EXPECT_EQ(view.Layout(Row(1)).ColumnOf(5), 8);
    memo.SetTabDefault(6);
    EXPECT_EQ(view.Layout(Row(1)).ColumnOf(5), 6);
    // Another font: the widget says so.
    platform.widthOf = [](std::string_view, uint8_t) { return 5; };
    const Pixel before = view.Layout(Row(1)).Width();
    view.ForgetLayouts();
    EXPECT_NE(view.Layout(Row(1)).Width(), before);
}

TEST_F(MemoView, PointsAndOffsetsMapBothWays) {
    // Rows of 16 pixels, characters of 8.
    memo.SetWholeText("one\r\nt\two\r\nthree\r\n");
    EXPECT_EQ(Point(0), std::make_pair(0, 0));
    EXPECT_EQ(Point(6), std::make_pair(8 * 4, 16)); // after the TAB
    EXPECT_EQ(Point(12), std::make_pair(8 * 3, 32));
    EXPECT_EQ(Point(15), std::make_pair(0, 48)); // the line after the final break
    EXPECT_EQ(view.OffsetAt(8 * 4 + 3, 16 + 15), 6);
    EXPECT_EQ(view.OffsetAt(8 * 2, 16), 5); // inside the TAB: nearer its start
    EXPECT_EQ(view.OffsetAt(8 * 3, 16), 6); // nearer its end
    EXPECT_EQ(view.OffsetAt(-40, 33), 9);   // left of the text: the line's start
    EXPECT_EQ(view.OffsetAt(900, 0), 3);    // right of it: before the break
    EXPECT_EQ(view.OffsetAt(3, -1), 0);     // above the first row
    EXPECT_EQ(view.OffsetAt(5, 48), 15);    // the line after the final break
    EXPECT_EQ(view.OffsetAt(5, 4000), 15);  // below everything

    // Scrolled two rows down and three columns right.
    memo.SetFirstVisibleLine(2);
    memo.SetFirstColumn(3);
    EXPECT_EQ(view.TopRow(), 2);
    EXPECT_EQ(Point(9), std::make_pair(-8 * 3, 0));
    EXPECT_EQ(Point(12), std::make_pair(0, 0));
    EXPECT_EQ(Point(0), std::make_pair(-8 * 3, -32));
    EXPECT_EQ(view.OffsetAt(8, 0), 13);
    EXPECT_EQ(view.OffsetAt(8, -16), 6); // the row above the window, past its TAB
    // Column 3 lies inside that row's TAB, two thirds of its way: nearer its end.
    EXPECT_EQ(view.OffsetAt(0, -16), 6);

    // A proportional font scrolls by the x of the first visible column on each row.
    platform.fixedPitch = false;
    platform.widthOf = [](std::string_view ch, uint8_t) { return ch == "W" ? 12 : 4; };
    memo.SetWholeText("WWWWW\r\nabcde");
    memo.SetFirstColumn(2);
    EXPECT_EQ(Point(3), std::make_pair(12, 0));
    EXPECT_EQ(Point(9), std::make_pair(4, 16));
    EXPECT_EQ(view.OffsetAt(12, 0), 3);
    EXPECT_EQ(view.OffsetAt(4, 16), 9);

    // An empty document has one place.
    memo.SetWholeText("");
    EXPECT_EQ(view.OffsetAt(100, 100), 0);
    EXPECT_EQ(Point(0).second, 0);
}

TEST_F(MemoView, ANewDocumentStartsAtTheTopLeft) {
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += std::string(100, 'x') + "\r\n";
    memo.SetWholeText(text);
    memo.SetSelection(50 * 101 + 90, 50 * 101 + 90);
    EXPECT_GT(view.TopRow(), 30);
    EXPECT_GT(view.FirstColumn(), 10);
    memo.SetWholeText("short");
    EXPECT_EQ(view.TopRow(), 0);
    EXPECT_EQ(view.FirstColumn(), 0);
    // Scrolling is clamped to the rows and columns there can be.
    memo.SetFirstVisibleLine(40);
    EXPECT_EQ(view.TopRow(), 0);
    memo.SetFirstColumn(5000);
    EXPECT_EQ(view.FirstColumn(), MaxRowLength);
    memo.SetFirstColumn(-3);
    EXPECT_EQ(view.FirstColumn(), 0);
}

} // namespace
} // namespace kvx
