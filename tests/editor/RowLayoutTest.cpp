// The row layout: columns with TAB stops and multi-byte characters, runs by token and
// selection, positions on a fixed grid and measured in a proportional font, and hit-testing.
#include "editor/RowLayout.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kvx {
namespace {

TRowLayout Lay(std::string_view text, TEditorPlatform& platform, const TTabSettings& tabs = {},
               const uint8_t* tokens = nullptr, ByteIndex selFrom = 0, ByteIndex selTo = 0,
               bool utf8 = true) {
    TRowLayout layout;
    TRowLayout::TInput in;
    in.Text = text;
    in.Tokens = tokens;
    in.Utf8 = utf8;
    in.SelFrom = selFrom;
    in.SelTo = selTo;
    layout.Build(in, tabs, platform);
    return layout;
}

// 'i' is narrow, 'W' wide, everything else 8 pixels; bold adds a pixel to each.
Pixel Proportional(std::string_view ch, uint8_t style) {
    const Pixel w = ch == "i" ? 3 : ch == "W" ? 12 : 8;
    return w + ((style & 1) ? 1 : 0);
}

TEST(RowLayout, TabsReachTheirStopsAndCharactersTakeOneColumn) {
    test::TFakePlatform platform;
    TTabSettings tabs; // every 4 columns
    const TRowLayout a = Lay("abc\tx\ty", platform, tabs);
    // The TAB at column 3 ends at 4; the one at column 5 ends at 8.
    EXPECT_EQ(a.ColumnOf(3), 3);
    EXPECT_EQ(a.ColumnOf(4), 4);
    EXPECT_EQ(a.ColumnOf(6), 8);
    EXPECT_EQ(a.Columns(), 9);
    EXPECT_EQ(a.DisplayText(), "abc x   y");
    EXPECT_EQ(a.Width(), 9 * 8);
    EXPECT_EQ(a.XOf(6), 8 * 8);

    // Explicit stops 10 and 20, then every 4 columns: TABs at 0, 12 and 25 end at 10, 20, 28.
    tabs.Columns = TTabSettings::ParseColumns("11 21");
    const TRowLayout b = Lay("\taa\t" + std::string(5, 'b') + "\tc", platform, tabs);
    EXPECT_EQ(b.ColumnOf(1), 10);
    EXPECT_EQ(b.ColumnOf(3), 12);
    EXPECT_EQ(b.ColumnOf(4), 20);
    EXPECT_EQ(b.ColumnOf(9), 25);
    EXPECT_EQ(b.ColumnOf(10), 28);
    // Every column of a TAB's span is drawn by the TAB.
    EXPECT_EQ(b.ByteAtColumn(0), 0);
    EXPECT_EQ(b.ByteAtColumn(9), 0);
    EXPECT_EQ(b.ByteAtColumn(10), 1);
    EXPECT_EQ(b.ByteAtColumn(27), 9);
    EXPECT_EQ(b.ByteAtColumn(28), 10);
    EXPECT_EQ(b.ByteAtColumn(29), b.Length());

    // UTF-8: one column per character, whatever its bytes; a stray continuation byte is a
    // character of its own and is drawn as a replacement character.
    const TRowLayout u = Lay("\xC3\xA9\xE2\x82\xAC\x80z", platform);
    EXPECT_EQ(u.Characters(), 4);
    EXPECT_EQ(u.ColumnOf(2), 1);
    EXPECT_EQ(u.ColumnOf(3), 1); // inside the euro sign: where it starts
    EXPECT_EQ(u.ColumnOf(5), 2);
    EXPECT_EQ(u.ColumnOf(6), 3);
    EXPECT_EQ(u.DisplayText(), "\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBDz");

    // Windows-1252: every byte is a character, drawn as what it stands for.
    const TRowLayout w = Lay("\x80\xE9", platform, {}, nullptr, 0, 0, false);
    EXPECT_EQ(w.Columns(), 2);
    EXPECT_EQ(w.DisplayText(), "\xE2\x82\xAC\xC3\xA9");

    const TRowLayout empty = Lay("", platform);
    EXPECT_EQ(empty.Runs().size(), 0u);
    EXPECT_EQ(empty.Width(), 0);
    EXPECT_EQ(empty.ByteAtX(50), 0);
    EXPECT_EQ(empty.XOf(3), 0);
}

TEST(RowLayout, RunsFollowTokensAndTheSelection) {
    test::TFakePlatform platform;
    const uint8_t tokens[] = {1, 1, 1, 2, 2, 0, 0};
    const TRowLayout a = Lay("ab\tcdef", platform, {}, tokens, 1, 4);
    const std::vector<TLayoutRun>& runs = a.Runs();
    ASSERT_EQ(runs.size(), 5u);
    // a | b TAB (selected) | c (selected) | d | ef
    EXPECT_EQ(runs[0].Token, 1);
    EXPECT_FALSE(runs[0].Selected);
    EXPECT_EQ(runs[1].Byte, 1);
    EXPECT_EQ(runs[1].Bytes, 2);
    EXPECT_EQ(runs[1].Column, 1);
    EXPECT_EQ(runs[1].Columns, 3); // b, and the TAB from column 2 to 4
    EXPECT_EQ(runs[1].X, 8);
    EXPECT_EQ(runs[1].Width, 24);
    EXPECT_TRUE(runs[1].Selected);
    EXPECT_EQ(a.RunText(runs[1]), "b  ");
    EXPECT_EQ(runs[2].Token, 2);
    EXPECT_TRUE(runs[2].Selected);
    EXPECT_EQ(a.RunText(runs[2]), "c");
    EXPECT_FALSE(runs[3].Selected);
    EXPECT_EQ(runs[4].Token, 0);
    EXPECT_EQ(runs[4].Column, 6);
    EXPECT_EQ(a.RunText(runs[4]), "ef");
    EXPECT_FALSE(a.BreakSelected());
    // A selection running past the characters takes the line break with it.
    EXPECT_TRUE(Lay("ab", platform, {}, nullptr, 1, 3).BreakSelected());
    EXPECT_FALSE(Lay("ab", platform, {}, nullptr, 3, 5).BreakSelected());
    // Without token bytes the row is one run of token 0.
    EXPECT_EQ(Lay("abc", platform).Runs().size(), 1u);
}

TEST(RowLayout, FixedPitchCountsColumnsAndProportionalMeasuresEachRunOnce) {
    test::TFakePlatform platform;
    const uint8_t tokens[] = {0, 0, 1, 1, 0};
    Lay("iiWWi", platform, {}, tokens);
    EXPECT_EQ(platform.measures, 0); // a fixed-pitch row needs no measuring

    platform.fixedPitch = false;
    platform.widthOf = Proportional;
    TFontStyleTable fonts{};
    fonts[1] = 1; // token 1 is bold
    TRowLayout layout;
    TRowLayout::TInput in;
    in.Text = "iiWWi";
    in.Tokens = tokens;
    in.FontStyles = &fonts;
    layout.Build(in, {}, platform);
    EXPECT_EQ(platform.measures, 3);
    // i i | W W (bold) | i
    EXPECT_EQ(layout.XOf(1), 3);
    EXPECT_EQ(layout.XOf(2), 6);
    EXPECT_EQ(layout.XOf(3), 6 + 13);
    EXPECT_EQ(layout.XOf(4), 6 + 26);
    EXPECT_EQ(layout.Width(), 6 + 26 + 3);
    EXPECT_EQ(layout.Runs()[1].X, 6);
    EXPECT_EQ(layout.Runs()[1].Width, 26);

    // A TAB is measured as the spaces it stands for.
    const TRowLayout tab = Lay("W\ti", platform);
    EXPECT_EQ(tab.XOf(1), 12);
    EXPECT_EQ(tab.XOf(2), 12 + 3 * 8);

    // Hit-testing goes to the nearest character boundary; a tie goes left.
    EXPECT_EQ(layout.ByteAtX(-5), 0);
    EXPECT_EQ(layout.ByteAtX(1), 0);
    EXPECT_EQ(layout.ByteAtX(2), 1);
    EXPECT_EQ(layout.ByteAtX(12), 2); // 6 and 19 are the boundaries around it
    EXPECT_EQ(layout.ByteAtX(13), 3);
    EXPECT_EQ(layout.ByteAtX(25), 3); // exactly between 19 and 32: left
    EXPECT_EQ(layout.ByteAtX(999), 5);
}

TEST(RowLayout, VerticalMovesKeepThePixelColumnInAProportionalFont) {
    test::TFakePlatform platform;
    platform.fixedPitch = false;
    platform.widthOf = Proportional;
    TCustomSyntaxMemo memo{&platform};
    // Column tracking would put the caret back into the same display column.
    memo.SetOptions(memo.Options().Exclude(smoColumnTrack));
    memo.SetWholeText("WWWW\r\niiiiiiiiiiii\r\nWWWW");
    memo.SetSelection(2, 2); // x 24 on the first row
    memo.ExecuteCommand(caDOWN);
    EXPECT_EQ(memo.Selection().Caret, 5 + 8); // eight narrow characters reach x 24
    memo.ExecuteCommand(caDOWN);
    EXPECT_EQ(memo.Selection().Caret, 5 + 13 + 2);
}

} // namespace
} // namespace kvx
