// Scrolling: the scroll bars' ranges and the scale of a huge document, the scroll-bar
// requests, requests 3081 and 3082, the wheel, and an empty document.
#include "editor/MemoScroll.h"
#include "editor/EdMessages.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace kvx {
namespace {

class MemoScroll : public ::testing::Test {
  protected:
    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};
    TMemoView& view = memo.View();
    TMemoScroll& scroll = view.Scroll();

    void Lines(int count, const std::string& line = "row") {
        std::string text;
        text.reserve(size_t(count) * (line.size() + 1));
        for (int i = 0; i < count; ++i)
            text += line + "\r";
        memo.SetWholeText(text);
    }
};

TEST_F(MemoScroll, AHugeDocumentIsScaledOnTheVerticalBar) {
    Lines(100000);
    EXPECT_EQ(scroll.ScrollScale(), 4);
    TScrollBarState v = scroll.Vertical();
    EXPECT_EQ(v.Max, 25000);
    EXPECT_EQ(v.Page, 5); // 20 rows
    EXPECT_EQ(v.Position, 0);
    // Dragging the thumb to 1000 shows row 4000 at the top.
    scroll.VerticalRequest(srThumb, 1000);
    EXPECT_EQ(view.TopRow(), 4000);
    EXPECT_EQ(scroll.Vertical().Position, 1000);
    scroll.VerticalRequest(srPageForward);
    EXPECT_EQ(view.TopRow(), 4020);
    scroll.VerticalRequest(srLineBack);
    EXPECT_EQ(view.TopRow(), 4019);
    scroll.VerticalRequest(srEnd);
    EXPECT_EQ(view.TopRow(), 99999);
    scroll.VerticalRequest(srThumb, INT32_MAX); // no overflow, the last row
    EXPECT_EQ(view.TopRow(), 99999);
    scroll.VerticalRequest(srStart);
    EXPECT_EQ(view.TopRow(), 0);

    // Below 32000 rows a unit is a row.
    Lines(31999);
    EXPECT_EQ(scroll.ScrollScale(), 1);
    EXPECT_EQ(scroll.Vertical().Max, 31999);
    EXPECT_EQ(scroll.Vertical().LastPosition(), 31980);
    // A document shorter than the window, scrolled down: the page is the rest.
    Lines(8);
    memo.SetFirstVisibleLine(3);
    v = scroll.Vertical();
    EXPECT_EQ(v.Page, 5);
    EXPECT_EQ(v.Position, 3);
    EXPECT_FALSE((TScrollBarState{8, 20, 0}.Enabled()));
    EXPECT_TRUE((TScrollBarState{40, 20, 0}.Enabled()));
}

TEST_F(MemoScroll, TheHorizontalBarFollowsTheLongestRowUnlessWrapKeepsRowsInside) {
    memo.SetWholeText("short\r" + std::string(300, 'x') + "\rend");
    TScrollBarState h = scroll.Horizontal();
    EXPECT_EQ(h.Max, 301);
    EXPECT_EQ(h.Page, 80);
    scroll.HorizontalRequest(srPageForward);
    EXPECT_EQ(view.FirstColumn(), 80); // no client width known: a page of visible columns
    view.SetClientSize(36 + 80 * 8 + 40, 320);
    scroll.HorizontalRequest(srPageForward);
    EXPECT_EQ(view.FirstColumn(), 80 + 89); // the whole width, gutter included
    scroll.HorizontalRequest(srThumb, 5000);
    EXPECT_EQ(view.FirstColumn(), 300);
    scroll.HorizontalRequest(srLineForward);
    EXPECT_EQ(view.FirstColumn(), 300);
    scroll.HorizontalRequest(srStart);
    EXPECT_EQ(scroll.Horizontal().Position, 0);

    // Wrapped at the window's width, nothing is wider than the window.
    memo.SetOptions(memo.Options().Include(smoWordWrap));
    EXPECT_EQ(scroll.Horizontal().Max, 0);
    scroll.Wheel(0, -120, 3);
    EXPECT_EQ(view.FirstColumn(), 0);
    // A row ending in blanks past the window does not pull the view sideways.
    memo.SetWholeText(std::string(40, 'w') + std::string(100, ' ') + "z");
    memo.SetSelection(140, 140);
    EXPECT_EQ(view.FirstColumn(), 0);
    // A fixed wrap column wider than the window does need the bar.
    memo.View().WordWrap().SetWrapAtColumn(120);
    EXPECT_GT(scroll.Horizontal().Max, 0);

    // Without a horizontal bar it shows nothing and scroll-to leaves the column.
    scroll.SetBars(false, true);
    EXPECT_EQ(scroll.Horizontal(), TScrollBarState{});
    scroll.ScrollTo(5, 0);
    EXPECT_EQ(view.FirstColumn(), 0);
}

TEST_F(MemoScroll, ScrollToAndItsRequestsClampEvenInAnEmptyDocument) {
    // An empty document: every request ends at the top left.
    EXPECT_FALSE(scroll.ScrollTo(-5, -5));
    EXPECT_FALSE(scroll.ScrollTo(INT_MAX, INT_MAX));
    EXPECT_EQ(memo.Perform(smmFIRSTLINE, smfSet, 1000000000), 1);
    EXPECT_EQ(memo.Perform(smmFIRSTCOLUMN, smfSet, -3), 1);
    for (TScrollRequest r :
         {srLineBack, srLineForward, srPageBack, srPageForward, srThumb, srStart, srEnd}) {
        scroll.VerticalRequest(r, 7);
        scroll.HorizontalRequest(r, 7);
    }
    scroll.Wheel(-1200, -1200, 3);
    EXPECT_EQ(view.TopRow(), 0);
    EXPECT_EQ(view.FirstColumn(), 0);
    EXPECT_EQ(scroll.Vertical().Max, 0);

    // A row beyond the end shows the last row at the top; a negative column gives 0; the
    // column is held to the longest row.
    Lines(50, std::string(30, 'c'));
    EXPECT_TRUE(scroll.ScrollTo(-4, 80));
    EXPECT_EQ(view.TopRow(), 49);
    EXPECT_EQ(view.FirstColumn(), 0);
    EXPECT_EQ(memo.Perform(smmFIRSTCOLUMN, smfSet, 100), 1);
    EXPECT_EQ(memo.Perform(smmFIRSTCOLUMN), 30);
    EXPECT_EQ(memo.Perform(smmFIRSTLINE, smfSet, 12), 1);
    EXPECT_EQ(memo.Perform(smmFIRSTLINE), 12);
    // Without the vertical bar scroll-to leaves the rows where they are.
    scroll.SetBars(true, false);
    EXPECT_FALSE(scroll.ScrollTo(30, 0));
    EXPECT_EQ(view.TopRow(), 12);
    EXPECT_EQ(scroll.Vertical(), TScrollBarState{});
}

TEST_F(MemoScroll, TheWheelMovesRowsWhateverTheScale) {
    Lines(200000);
    ASSERT_EQ(scroll.ScrollScale(), 7);
    scroll.Wheel(-120, 0, 3); // a notch towards the user: down three rows
    EXPECT_EQ(view.TopRow(), 3);
    // A fine-grained wheel: parts of a notch add up.
    scroll.Wheel(-40, 0, 3);
    scroll.Wheel(-40, 0, 3);
    EXPECT_EQ(view.TopRow(), 3);
    scroll.Wheel(-40, 0, 3);
    EXPECT_EQ(view.TopRow(), 6);
    scroll.Wheel(240, 0, 3);
    EXPECT_EQ(view.TopRow(), 0);
    scroll.Wheel(-120 * 1000000, 0, 3);
    EXPECT_EQ(view.TopRow(), 199999);
    // Sideways, over long rows.
    memo.SetWholeText(std::string(500, 'h'));
    scroll.Wheel(0, -360, 4);
    EXPECT_EQ(view.FirstColumn(), 12);
    scroll.Wheel(0, 120, 4);
    EXPECT_EQ(view.FirstColumn(), 8);
}

} // namespace
} // namespace kvx
