// Printed pages laid out on the fake platform's 8 x 16 pixel grid: page breaks, the header
// and footer the options ask for, line numbers, long rows cut or clipped, the lines of a
// selection, and pages too small for anything, which must still come to an end.
#include "editor/PrintLayout.h"
#include "editor/EdMessages.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kvx {
namespace {

constexpr uint32_t kPrintOptions = 0x3E0; // smoPrintWrap .. smoPrintPageNos

class PrintLayoutTest : public ::testing::Test {
  protected:
    void Options(std::initializer_list<TSyntaxMemoOption> on) {
        uint32_t word = memo.OptionWord() & ~kPrintOptions;
        for (TSyntaxMemoOption o : on)
            word |= OptionBit(o);
        memo.SetOptionWord(word);
    }
    std::vector<TPrintPage> Print(TPrintRect page = {0, 0, 800, 480}, bool selection = false,
                                  TPrintLayout::TFrameEvent frame = {}) {
        TPrintLayout layout(memo, printer, {page, selection, std::move(frame)});
        std::vector<TPrintPage> pages;
        while (!layout.Done() && pages.size() < 10000)
            pages.push_back(layout.NextPage());
        return pages;
    }
    // The document characters a print row shows.
    std::string Shown(const TPrintRow& row) {
        return memo.Store().GetText(row.Offset, row.Offset + row.Layout.Length());
    }
    // Every printed character in order, one print row a line.
    std::string AllRows(const std::vector<TPrintPage>& pages) {
        std::string all;
        for (const TPrintPage& p : pages)
            for (const TPrintRow& r : p.Rows)
                all += Shown(r) + "|";
        return all;
    }
    static std::string Repeat(const std::string& s, int n) {
        std::string all;
        for (int i = 0; i < n; ++i)
            all += s;
        return all;
    }
    static std::string Lines(int from, int to) {
        std::string text;
        for (int i = from; i <= to; ++i)
            text += "line " + std::to_string(i) + "\r";
        return text;
    }

    test::TFakePlatform platform; // the desktop: date and time
    test::TFakePlatform printer;  // the printer's metrics
    TCustomSyntaxMemo memo{&platform};
};

TEST_F(PrintLayoutTest, PagesBreakAboveTheFooterAndUnderTheHeader) {
    memo.SetWholeText(Lines(1, 70));
    Options({smoPrintPageNos});
    std::vector<TPrintPage> pages = Print();
    // The body ends 4 rows above the page's bottom: 26 rows of 16 pixels fit above 416.
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].Rows.size(), 26u);
    EXPECT_EQ(pages[2].Rows.size(), 18u);
    EXPECT_EQ(pages[0].Body, (TPrintRect{0, 0, 800, 416}));
    EXPECT_EQ(pages[0].Rows[0].Y, 0);
    EXPECT_EQ(pages[0].Rows[25].Y, 400);
    EXPECT_EQ(Shown(pages[1].Rows[0]), "line 27");
    ASSERT_EQ(pages[2].Texts.size(), 1u);
    EXPECT_EQ(pages[2].Texts[0].Utf8, "- 3 -");
    EXPECT_EQ(pages[2].Texts[0].Align, TPrintAlign::Center);
    EXPECT_EQ(pages[2].Texts[0].Box, (TPrintRect{0, 440, 800, 456}));
    EXPECT_EQ(pages[2].Rules, std::vector<Pixel>{432});

    // Title and date head every page above a rule; the body starts 3 rows down.
    memo.Title = "/src/main.asm";
    Options({smoPrintFilename, smoPrintDate, smoPrintLineNos});
    pages = Print();
    ASSERT_EQ(pages.size(), 3u); // 27 rows a page
    const TPrintPage& p = pages[1];
    ASSERT_EQ(p.Texts.size(), 2u);
    EXPECT_EQ(p.Texts[0].Utf8, "/src/main.asm");
    EXPECT_EQ(p.Texts[0].Align, TPrintAlign::Left);
    EXPECT_EQ(p.Texts[1].Utf8, "17/05/2024 - 09:30:15");
    EXPECT_EQ(p.Texts[1].Align, TPrintAlign::Right);
    EXPECT_EQ(p.Texts[1].Box, (TPrintRect{0, 0, 800, 16}));
    EXPECT_EQ(p.Rules, std::vector<Pixel>{32});
    EXPECT_EQ(p.Rows[0].Y, 48);
    EXPECT_EQ(p.Rows[0].X, 80); // ten columns for the numbers
    EXPECT_EQ(p.Rows[0].LineNumber, "    28:");
    EXPECT_EQ(pages[2].Rows.back().LineNumber, "    70:");

    // Nothing asked for: rows from the very top to the very bottom.
    Options({});
    pages = Print();
    ASSERT_EQ(pages.size(), 3u); // 30 rows a page
    EXPECT_TRUE(pages[0].Texts.empty() && pages[0].Rules.empty());
    EXPECT_EQ(pages[0].Rows.size(), 30u);
    EXPECT_TRUE(pages[0].Rows[0].LineNumber.empty());

    // An empty document still prints its one page, header and all.
    memo.SetWholeText("");
    Options({smoPrintPageNos});
    pages = Print();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].Rows.empty());
    EXPECT_EQ(pages[0].Texts[0].Utf8, "- 1 -");
}

TEST_F(PrintLayoutTest, LongRowsAreCutAtBlanksOrClipped) {
    // 100 columns less the numbers' 10, less one: P = 89.
    std::string words;
    for (int i = 0; i < 20; ++i)
        words += "word" + std::to_string(i % 10) + "  ";
    const std::string longWord(200, 'x');
    memo.SetWholeText(words + "\r" + longWord + "\rend");
    Options({smoPrintWrap, smoPrintLineNos});
    std::vector<TPrintPage> pages = Print();
    ASSERT_EQ(pages.size(), 1u);
    const std::vector<TPrintRow>& rows = pages[0].Rows;
    // The cut comes after a blank and takes the blanks after it along; a word that ends
    // right at the limit stays.
    EXPECT_EQ(Shown(rows[0]), words.substr(0, 91));
    EXPECT_EQ(Shown(rows[1]), words.substr(91));
    EXPECT_EQ(rows[0].LineNumber, "     1:");
    EXPECT_EQ(rows[1].LineNumber, "");
    // A word longer than the page is cut at P characters.
    EXPECT_EQ(Shown(rows[2]), longWord.substr(0, 89));
    EXPECT_EQ(Shown(rows[3]), longWord.substr(89, 89));
    EXPECT_EQ(Shown(rows[4]), longWord.substr(178));
    EXPECT_EQ(rows[2].LineNumber, "     2:");
    EXPECT_EQ(rows[5].LineNumber, "     3:");
    EXPECT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[3].Layout.Runs().front().X, 0); // a piece is laid out from its start

    // Without wrapping each row is one print row, clipped by the printer at the body's right.
    Options({smoPrintLineNos});
    pages = Print();
    ASSERT_EQ(pages[0].Rows.size(), 3u);
    EXPECT_EQ(pages[0].Rows[1].Layout.Length(), 200);
    EXPECT_EQ(pages[0].Body.Right, 800);

    // A row with TABs is measured in columns up to P - TabDefault and cut after a blank.
    memo.SetWholeText("a\tb\tc" + std::string(200, 'y'));
    Options({smoPrintWrap});
    pages = Print({0, 0, 168, 480}); // P = 20
    ASSERT_GE(pages[0].Rows.size(), 2u);
    EXPECT_EQ(Shown(pages[0].Rows[0]), "a\tb\t");
    EXPECT_EQ(pages[0].Rows[0].Layout.Columns(), 8);
}

TEST_F(PrintLayoutTest, ALineOfSeveralRowsGetsOneNumberAndTokensComeAlong) {
    // Rows that continue a line (cut at the row length here, by word wrap on screen).
    memo.SetWholeText(std::string(5000, 'w') + "\rnext");
    const RowIndex rows = memo.Store().RowCount();
    ASSERT_EQ(rows, 4);
    Options({smoPrintLineNos});
    std::vector<TPrintPage> pages = Print();
    ASSERT_EQ(pages[0].Rows.size(), size_t(rows));
    EXPECT_EQ(pages[0].Rows[0].LineNumber, "     1:");
    EXPECT_EQ(pages[0].Rows[1].LineNumber, "");
    EXPECT_EQ(pages[0].Rows[2].LineNumber, "");
    EXPECT_EQ(pages[0].Rows[3].LineNumber, "     2:");

    // The runs carry the rows' token bytes and x positions for the painter.
    memo.SetWholeText("ab\rc");
    const uint8_t tokens[] = {0, 7, 0, 3};
    memo.Perform(smmSETSTYLES, 0, reinterpret_cast<intptr_t>(tokens));
    pages = Print();
    const std::vector<TLayoutRun>& runs = pages[0].Rows[0].Layout.Runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].Token, 7);
    EXPECT_EQ(runs[1].X, 8);
    EXPECT_EQ(pages[0].Rows[1].Layout.Runs()[0].Token, 3);
}

TEST_F(PrintLayoutTest, ASelectionPrintsItsWholeLines) {
    memo.SetWholeText(Lines(1, 12));
    Options({smoPrintLineNos});
    auto printed = [&] {
        std::string numbers;
        for (const TPrintPage& p : Print({0, 0, 800, 480}, true))
            for (const TPrintRow& r : p.Rows)
                numbers += (r.LineNumber.empty() ? "  " : r.LineNumber.substr(4, 2)) + " ";
        return numbers;
    };
    // From the middle of line 5 to the start of line 9: lines 5 to 8.
    const auto start = static_cast<TextOffset>(Lines(1, 4).size() + 2);
    const auto end = static_cast<TextOffset>(Lines(1, 8).size());
    memo.SetSelection(start, end);
    EXPECT_EQ(printed(), " 5  6  7  8 ");
    memo.SetSelection(end + 1, start); // one character of line 9 takes it along
    EXPECT_EQ(printed(), " 5  6  7  8  9 ");
    memo.SetSelection(end, end); // no selection: the caret's line
    EXPECT_EQ(printed(), " 9 ");

    // Lines are counted as lines, however many print rows their wrapping takes.
    memo.SetWholeText("1\r" + std::string(300, 'w') + "\r3\r4\r");
    Options({smoPrintLineNos, smoPrintWrap});
    memo.SetSelection(0, memo.TextLength() - 3);
    EXPECT_EQ(printed(), " 1  2 " + std::string(9, ' ') + " 3 ");
}

TEST_F(PrintLayoutTest, PagesTooSmallForAnythingStillEnd) {
    std::string text = "ab\tcd ef\r\r";
    for (int i = 0; i < 50; ++i)
        text += "\xC3\xA9";
    memo.SetWholeText(text);
    Options({smoPrintWrap, smoPrintLineNos, smoPrintFilename, smoPrintDate, smoPrintPageNos});

    // Narrower than the line numbers: one character a print row, 23 rows a page.
    std::vector<TPrintPage> pages = Print({0, 0, 50, 480});
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[2].Rows.size(), 58u - 2 * 23);
    EXPECT_EQ(AllRows(pages), "a|b|\t|c|d |e|f||" + Repeat("\xC3\xA9|", 50));

    // A 72 pt font on an A6 page at 300 dpi: header and footer leave no room, so every
    // page takes one row.
    printer.charWidth = 180;
    printer.rowHeight = 300;
    pages = Print({0, 0, 1240, 1748});
    ASSERT_EQ(pages.size(), 58u);
    EXPECT_EQ(AllRows(pages), "a|b|\t|c|d |e|f||" + Repeat("\xC3\xA9|", 50));
    EXPECT_EQ(pages[57].Texts.back().Utf8, "- 58 -");

    // A frame handler that leaves no room at all.
    printer.charWidth = 8;
    printer.rowHeight = 16;
    int frames = 0;
    pages = Print({0, 0, 800, 480}, false, [&](int page, TPrintRect& body, bool& transparent) {
        EXPECT_EQ(page, ++frames);
        EXPECT_EQ(body, (TPrintRect{0, 0, 800, 480}));
        body = {};
        transparent = true;
    });
    EXPECT_EQ(frames, int(pages.size()));
    EXPECT_EQ(pages.size(), 58u);
    EXPECT_TRUE(pages[0].TransparentText);
    EXPECT_TRUE(pages[0].Texts.empty()); // the handler draws its own header and footer

    // A handler that edits the document under the printer stops the job with a message.
    EXPECT_THROW(Print({0, 0, 800, 480}, false,
                       [&](int, TPrintRect&, bool&) { memo.SetWholeText("other"); }),
                 ESyntaxMemo);
}

} // namespace
} // namespace kvx
