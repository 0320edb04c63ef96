// What the view plans to draw, on the fake platform's grid of 8 x 16 pixel cells: the gutter
// cell, the margin strip, runs and their colours with and without a selection, the rows past
// the document, visible white space, range marks, the margin lines and the caret.
#include "editor/PaintPlan.h"
#include "editor/Settings.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kvx {
namespace {

class PaintPlan : public ::testing::Test {
  protected:
    void SetUp() override {
        platform.clientWidth = 640;
        platform.visibleRows = 10;
        platform.visibleColumns = (640 - 36) / 8;
        context.ClientWidth = 640;
        context.ClientHeight = 160;
        context.Focused = true;
    }
    std::vector<TRowPlan> Plan(Pixel from = 0, Pixel to = 160) {
        std::vector<TRowPlan> rows;
        planner.PlanRows(context, from, to, rows);
        return rows;
    }
    // The run covering client x, its text and colours.
    const TPaintRun* RunAt(const TRowPlan& row, Pixel x) {
        for (const TPaintRun& r : row.Runs)
            if (x >= r.X && x < r.X + r.Width)
                return &r;
        return nullptr;
    }
    std::string RunText(const TRowPlan& row, const TPaintRun& r) {
        return row.Text.substr(r.Text, r.TextBytes);
    }

    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};
    TPaintPlanner planner{memo};
    TPaintContext context;
};

TEST_F(PaintPlan, GutterGlyphsAndLineNumbers) {
    memo.SetWholeText("one\rtwo\rthree\rfour\r");
    memo.SetOptions(memo.Options().Include(smoLineNumbers));
    TTextStore& s = memo.Store();
    s.RowByIndex(1).Row->SetMarks(1 | 8);        // bookmarks 0 and 3: the highest shows
    s.RowByIndex(2).Row->SetGlyphWord(1u << 14); // the strip has no image 14
    s.RowByIndex(3).Row->SetGlyphWord(1u << 13);
    const std::vector<TRowPlan> rows = Plan();
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0].Gutter.Number, "1");
    EXPECT_EQ(rows[0].Gutter.NumberTop, (16 - 8) / 2);
    EXPECT_TRUE(rows[0].Gutter.Line);
    EXPECT_EQ(rows[0].Gutter.BackColor, DefaultSystemColor(scxBtnFace));
    EXPECT_EQ(rows[1].Gutter.MarksGlyph, 3);
    EXPECT_EQ(rows[1].Gutter.Number, ""); // a glyph takes the number's place
    EXPECT_EQ(rows[2].Gutter.WordGlyph, -1);
    EXPECT_EQ(rows[2].Gutter.Number, "3");
    EXPECT_EQ(rows[3].Gutter.WordGlyph, 13);
    // The line after the final break and the rows past it: gutter and margin, no number.
    EXPECT_TRUE(rows[4].PastEnd);
    EXPECT_TRUE(rows[9].PastEnd);
    EXPECT_TRUE(rows[9].HasGutter && rows[9].HasMargin);
    EXPECT_EQ(rows[9].Gutter.Number, "");
    EXPECT_EQ(rows[9].FillFrom, 36);
    EXPECT_EQ(rows[9].FillColor, 0xFFFFFF);

    // Without line numbers, or without the gutter, no numbers.
    memo.SetOptions(memo.Options().Exclude(smoLineNumbers));
    EXPECT_EQ(Plan()[0].Gutter.Number, "");
    memo.SetOptions(memo.Options().Include(smoLineNumbers).Exclude(smoShowGutter));
    EXPECT_FALSE(Plan()[0].HasGutter);
    EXPECT_EQ(Plan()[0].Runs[0].X, 2); // the margin alone before the text
    // The scroll-bar colour stands in for the gutter colour when asked.
    memo.SetOptions(memo.Options().Include(smoShowGutter));
    memo.Settings().SysGutterColor = true;
    EXPECT_EQ(Plan()[0].Gutter.BackColor, DefaultSystemColor(scxScrollBar));
}

TEST_F(PaintPlan, LineNumbersCountLinesNotRows) {
    // A line of 5000 characters is cut into three rows; the line after it is line 3.
    memo.SetWholeText("a\r" + std::string(5000, 'x') + "\rb\rc\r");
    memo.SetOptions(memo.Options().Include(smoLineNumbers));
    std::vector<TRowPlan> rows = Plan();
    EXPECT_EQ(rows[0].Gutter.Number, "1");
    EXPECT_EQ(rows[1].Gutter.Number, "2");
    EXPECT_EQ(rows[2].Gutter.Number, "");
    EXPECT_EQ(rows[3].Gutter.Number, "");
    EXPECT_EQ(rows[4].Gutter.Number, "3");
    // Scrolled into the cut line, the count still holds.
    memo.SetFirstVisibleLine(3);
    rows = Plan();
    EXPECT_EQ(rows[1].Gutter.Number, "3");
    EXPECT_EQ(rows[2].Gutter.Number, "4");
    // The continuation glyph shows only with its option.
    EXPECT_EQ(rows[0].Gutter.MarksGlyph, kWrappedGlyph);
    memo.SetOptions(memo.Options().Exclude(smoShowWrapGlyph));
    EXPECT_EQ(Plan()[0].Gutter.MarksGlyph, -1);
}

TEST_F(PaintPlan, RunsAndTheirColours) {
    TSM_Settings& s = memo.Settings();
    s.Styles[1] = {1, 0x0000FF, 0xFFFFFF, 0, 1, 0, 1}; // bold red on the default background
    s.Map[5] = 1;
    memo.SetWholeText("int x;\r\ty\r");
    uint8_t* t = memo.Store().FirstRow()->AllocStyles();
    t[0] = t[1] = t[2] = 5;
    std::vector<TRowPlan> rows = Plan();
    const Pixel left = memo.TextLeft();
    ASSERT_EQ(rows[0].Runs.size(), 2u);
    EXPECT_EQ(rows[0].Runs[0].X, left);
    EXPECT_EQ(RunText(rows[0], rows[0].Runs[0]), "int");
    EXPECT_EQ(rows[0].Runs[0].TextColor, 0x0000FF);
    EXPECT_EQ(rows[0].Runs[0].FontStyle, 1);
    EXPECT_EQ(rows[0].Runs[1].TextColor, 0);
    EXPECT_EQ(rows[0].FillFrom, left + 6 * 8);
    // A TAB reaches to its stop: the y of the second row starts at column 4.
    EXPECT_EQ(RunText(rows[1], rows[1].Runs[0]), "    y");
    EXPECT_EQ(rows[1].FillFrom, left + 5 * 8);

    // Highlighting off: black on white in the default font style, whatever the styles say.
    memo.SetOptions(memo.Options().Exclude(smoSyntaxHighlight));
    rows = Plan();
    EXPECT_EQ(rows[0].Runs[0].TextColor, 0);
    EXPECT_EQ(rows[0].Runs[0].FontStyle, 0);
    memo.SetOptions(memo.Options().Include(smoSyntaxHighlight));

    // A row of its own colours.
    memo.Store().SetRowColors(memo.Store().RowByIndex(1).Row, 0x00FFFF, 0x008000);
    EXPECT_EQ(Plan()[1].Runs[0].BackColor, 0x00FFFF);
    EXPECT_EQ(Plan()[1].Runs[0].TextColor, 0x008000);

    // Scrolled by two columns, the text starts two cells to the left of the text area.
    memo.SetFirstColumn(2);
    rows = Plan();
    EXPECT_EQ(rows[0].Runs[0].X, left - 16);
}

TEST_F(PaintPlan, SelectionColoursAndTheRestOfTheRow) {
    memo.SetWholeText("abc\rdef\rghi\r");
    memo.SetSelection(1, 8); // from "b" to the start of "ghi": the break of "def" included
    const int32_t selBack = memo.SelTextBack();
    const int32_t selText = memo.SelTextColor();
    std::vector<TRowPlan> rows = Plan();
    const Pixel left = memo.TextLeft();
    EXPECT_EQ(RunAt(rows[0], left)->BackColor, 0xFFFFFF);
    EXPECT_EQ(RunAt(rows[0], left + 8)->BackColor, selBack);
    EXPECT_EQ(RunAt(rows[0], left + 8)->TextColor, selText);
    EXPECT_EQ(rows[0].FillColor, selBack);
    // The selection ends at the start of "ghi": "def" and its row's rest are selected.
    EXPECT_EQ(RunAt(rows[1], left)->BackColor, selBack);
    EXPECT_EQ(rows[1].FillColor, selBack);
    EXPECT_EQ(RunAt(rows[2], left)->BackColor, 0xFFFFFF);
    EXPECT_EQ(rows[2].FillColor, 0xFFFFFF);

    // Without the focus a hidden selection shows nothing; kept for the template list, it does.
    context.Focused = false;
    EXPECT_EQ(Plan()[1].FillColor, 0xFFFFFF);
    context.KeepSelection = true;
    EXPECT_EQ(Plan()[1].FillColor, selBack);
    context.KeepSelection = false;
    memo.SetHideSelection(false);
    EXPECT_EQ(Plan()[1].FillColor, selBack);
    // The desktop's colours when the settings ask for them.
    memo.Settings().SysSelBackColor = true;
    platform.systemColors = [](int i) { return i == scxHighlight ? 0x112233 : 0; };
    EXPECT_EQ(Plan()[1].FillColor, 0x112233);
}

TEST_F(PaintPlan, MarginStripAndMarginLines) {
    memo.SetWholeText("x\r");
    std::vector<TRowPlan> rows = Plan();
    EXPECT_TRUE(rows[0].HasMargin);
    EXPECT_EQ(rows[0].MarginColor, 0xFFFFFF);
    // The right margin is drawn at its column while it is in view: column 80 is past the 75
    // columns shown.
    EXPECT_EQ(rows[0].RightMarginX, -1);
    memo.SetRightMargin(20);
    EXPECT_EQ(Plan()[0].RightMarginX, memo.TextLeft() + 20 * 8);
    EXPECT_EQ(Plan()[5].RightMarginX, memo.TextLeft() + 20 * 8); // past the end too
    memo.SetFirstColumn(25);
    EXPECT_EQ(Plan()[0].RightMarginX, -1);
    memo.SetFirstColumn(0);
    memo.SetOptions(memo.Options().Exclude(smoShowRMargin));
    EXPECT_EQ(Plan()[0].RightMarginX, -1);
    // The wrap column needs word wrap, its own option and a column.
    memo.SetWrapAtColumn(30);
    EXPECT_EQ(Plan()[0].WrapColumnX, -1);
    memo.SetWordWrap(true);
    EXPECT_EQ(Plan()[0].WrapColumnX, memo.TextLeft() + 30 * 8);
    // A margin that takes the default background; none at all.
    memo.Settings().MarginUsesBackColor = true;
    memo.SetDef_BackColor(0x102030);
    EXPECT_EQ(Plan()[0].MarginColor, 0x102030);
    memo.SetMargin(0);
    EXPECT_FALSE(Plan()[0].HasMargin);
}

TEST_F(PaintPlan, VisibleWhiteSpaceAndMarks) {
    memo.SetWholeText("a b\tc\rd");
    memo.SetOptions(memo.Options().Include(smoShowAllChars));
    const uint32_t m = memo.AddMark(1, 4, 0); // " b\tc"
    std::vector<TRowPlan> rows = Plan();
    const Pixel left = memo.TextLeft();
    ASSERT_EQ(rows[0].WhiteSpace.size(), 2u);
    EXPECT_FALSE(rows[0].WhiteSpace[0].Tab);
    EXPECT_EQ(rows[0].WhiteSpace[0].X, left + 8);
    EXPECT_TRUE(rows[0].WhiteSpace[1].Tab);
    EXPECT_EQ(rows[0].WhiteSpace[1].X, left + 24);
    EXPECT_EQ(rows[0].WhiteSpace[1].Width, 8); // column 3 to the stop at 4
    EXPECT_EQ(rows[0].EndGlyph, TEndGlyph::LineEnd);
    EXPECT_EQ(rows[0].EndGlyphX, left + 5 * 8);
    EXPECT_EQ(rows[1].EndGlyph, TEndGlyph::None); // the last line has no break
    ASSERT_EQ(rows[0].Marks.size(), 1u);
    EXPECT_EQ(rows[0].Marks[0].Handle, m);
    EXPECT_EQ(rows[0].Marks[0].Left, left + 8);
    EXPECT_EQ(rows[0].Marks[0].Right, left + 5 * 8);
    EXPECT_EQ(rows[0].Marks[0].Bottom, 16 - 2);
    // A mark over a break continues on the next row from its start.
    memo.MoveMarkEnd(m, 7);
    rows = Plan();
    ASSERT_EQ(rows[1].Marks.size(), 1u);
    EXPECT_EQ(rows[1].Marks[0].Left, left);
    EXPECT_EQ(rows[1].Marks[0].Right, left + 8);
    memo.SetOptions(memo.Options().Exclude(smoShowAllChars));
    EXPECT_TRUE(Plan()[0].WhiteSpace.empty());
}

TEST_F(PaintPlan, CaretAndFocusLine) {
    memo.SetWholeText("abc\rdef\r");
    memo.SetSelection(5, 5);
    TCaretPlan c = planner.Caret(context);
    EXPECT_TRUE(c.Visible);
    EXPECT_EQ(c.X, memo.TextLeft() + 8);
    EXPECT_EQ(c.Y, 16);
    EXPECT_EQ(c.Width, 2);
    EXPECT_EQ(c.Height, 16);
    // Overwrite with the block caret: as wide as the character under it.
    memo.ExecuteCommand(caINSTOGGLE);
    EXPECT_EQ(planner.Caret(context).Width, 8);
    memo.SetOptions(memo.Options().Exclude(smoBlockOverwriteCursor));
    EXPECT_EQ(planner.Caret(context).Width, 2);
    // No focus, no caret; scrolled out of sight, none either.
    context.Focused = false;
    EXPECT_FALSE(planner.Caret(context).Visible);
    context.Focused = true;
    memo.SetFirstColumn(3);
    EXPECT_FALSE(planner.Caret(context).Visible);

    EXPECT_FALSE(planner.FocusLine(context).Visible);
    memo.SetShowFocusLine(true);
    const TFocusLinePlan f = planner.FocusLine(context);
    EXPECT_TRUE(f.Visible);
    EXPECT_EQ(f.Top, 16);
    EXPECT_EQ(f.Bottom, 31);
    EXPECT_EQ(f.Color, 0x000000); // the inverse of white
}

TEST_F(PaintPlan, EditsRepaintTheRowsTheyChange) {
    memo.SetWholeText("one\rtwo\r" + std::string(3000, 'x') + "\rlast\r");
    auto typed = [&](TextOffset at, char32_t c) {
        memo.SetSelection(at, at);
        platform.invalidated.clear();
        memo.KeyChar(c);
        return platform.invalidated;
    };
    using TRows = std::vector<std::pair<int32_t, int32_t>>;
    // A character in a short line: that row alone.
    EXPECT_EQ(typed(5, U'y'), (TRows{{1, 1}}));
    // A break: every row below moves.
    EXPECT_EQ(typed(5, U'\r').front(), std::make_pair(1, -1));
    // A character in a line cut into rows: the rows of that line, which pass text on.
    const TextOffset inLong = memo.Store().RowByIndex(3).Offset + 10;
    EXPECT_EQ(typed(inLong, U'z'), (TRows{{3, 4}}));
    // Typing until the long line needs a row more: everything below moves.
    const RowIndex rows = memo.Store().RowCount();
    platform.invalidated.clear();
    memo.SetSelection(inLong, inLong);
    while (memo.Store().RowCount() == rows)
        memo.KeyChar(U'q');
    bool wholeRest = false;
    for (const auto& [first, last] : platform.invalidated)
        wholeRest |= last == -1;
    EXPECT_TRUE(wholeRest);
}

} // namespace
} // namespace kvx
