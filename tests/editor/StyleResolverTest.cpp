// The one rule from token byte to font style and colours: style 0's defaults, the desktop's
// colours, undefined styles, the selection, rows with colours of their own, highlighting off.
#include "editor/StyleResolver.h"
#include "editor/Colors.h"
#include "editor/Settings.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

namespace kvx {
namespace {

constexpr int32_t kNavy = 0x800000;
constexpr int32_t kRed = 0x0000FF;
constexpr int32_t kYellow = 0x00FFFF;

class StyleResolver : public ::testing::Test {
  protected:
    void SetUp() override {
        // A desktop in dark colours, so that its colours cannot pass for the defaults.
        platform.systemColors = [](int index) {
            switch (index) {
            case scxWindow:
                return 0x202020;
            case scxWindowText:
                return 0xE0E0E0;
            case scxHighlight:
                return 0x0000A0;
            case scxHighlightText:
                return 0x00FFFF;
            case scxBtnFace:
                return 0x404040;
            default:
                return 0x010101 * index;
            }
        };
        TStyleEntry base;
        base.TextColor = kNavy;
        base.BackColor = kYellow;
        base.FontStyle = 2;
        base.Defined = 1;
        s.SetStyle(0, base);
        TStyleEntry bold;
        bold.FontStyle = 1;
        bold.TextColor = kRed;
        bold.BackColor = clWhiteValue;
        bold.UseDefaultBack = 1;
        bold.IsHyperlink = 1;
        bold.Defined = 1;
        s.SetStyle(5, bold);
        TStyleEntry system;
        system.TextColor = clBtnFace;
        system.BackColor = clHighlight;
        system.Defined = 1;
        s.SetStyle(6, system);
        s.Map[40] = 5;
        s.Map[41] = 6;
        s.Map[42] = 9; // a style nobody defined
    }
    TResolvedStyle Token(uint8_t token, const TStyleContext& context = {}) {
        return ResolveTokenStyle(s, token, context, platform);
    }

    test::TFakePlatform platform;
    TSM_Settings s;
};

TEST_F(StyleResolver, StylesTakeTheirOwnOrTheDefaultStylesColours) {
    const TResolvedStyle plain = Token(0);
    EXPECT_EQ(plain.Style, 0);
    EXPECT_EQ(plain.FontStyle, 2);
    EXPECT_EQ(plain.TextColor, kNavy);
    EXPECT_EQ(plain.BackColor, kYellow);
    EXPECT_FALSE(plain.TextFromSystem || plain.BackFromSystem);

    // Style 5: its own text colour and font, style 0's background.
    const TResolvedStyle link = Token(40);
    EXPECT_EQ(link.Style, 5);
    EXPECT_EQ(link.FontStyle, 1);
    EXPECT_EQ(link.TextColor, kRed);
    EXPECT_EQ(link.BackColor, kYellow);
    EXPECT_TRUE(link.IsHyperlink);
    EXPECT_FALSE(plain.IsHyperlink);

    // Stored system colours are the desktop's.
    const TResolvedStyle system = Token(41);
    EXPECT_EQ(system.TextColor, 0x404040);
    EXPECT_EQ(system.BackColor, 0x0000A0);
    EXPECT_TRUE(system.TextFromSystem && system.BackFromSystem);

    // A style nobody defined keeps its initial black on white and is drawn in style 0's
    // font, having none of its own.
    const TResolvedStyle undefined = Token(42);
    EXPECT_EQ(undefined.Style, 9);
    EXPECT_EQ(undefined.FontStyle, 2);
    EXPECT_EQ(undefined.TextColor, clBlackValue);
    EXPECT_EQ(undefined.BackColor, clWhiteValue);

    // Style 0 deferring to the default takes the window's colours, and so do the styles
    // that defer to style 0.
    s.Styles[0].UseDefaultText = s.Styles[0].UseDefaultBack = 1;
    EXPECT_EQ(Token(0).TextColor, 0xE0E0E0);
    EXPECT_EQ(Token(0).BackColor, 0x202020);
    EXPECT_TRUE(Token(0).TextFromSystem && Token(0).BackFromSystem);
    EXPECT_EQ(Token(40).BackColor, 0x202020);
    EXPECT_TRUE(Token(40).BackFromSystem);
    EXPECT_EQ(Token(40).TextColor, kRed);
    EXPECT_FALSE(Token(40).TextFromSystem);
}

TEST_F(StyleResolver, SelectionRowColoursAndHighlightingOffChooseTheColours) {
    s.SelTextColor = clWhiteValue;
    s.SelTextBack = kNavy;
    TStyleContext selected;
    selected.Selected = true;
    EXPECT_EQ(Token(40, selected).TextColor, clWhiteValue);
    EXPECT_EQ(Token(40, selected).BackColor, kNavy);
    EXPECT_EQ(Token(40, selected).FontStyle, 1); // the font stays the style's
    s.SysSelTextColor = s.SysSelBackColor = true;
    EXPECT_EQ(Token(40, selected).TextColor, 0x00FFFF);
    EXPECT_EQ(Token(40, selected).BackColor, 0x0000A0);

    TStyleContext row;
    row.RowTextColor = kYellow;
    row.RowBackColor = kRed;
    EXPECT_EQ(Token(40, row).TextColor, kYellow);
    EXPECT_EQ(Token(40, row).BackColor, kRed);
    row.Printing = true; // printed pages show the styles
    EXPECT_EQ(Token(40, row).TextColor, kRed);
    EXPECT_EQ(Token(40, row).BackColor, kYellow);

    TStyleContext off;
    off.SyntaxHighlight = false;
    const TResolvedStyle plain = Token(40, off);
    EXPECT_EQ(plain.TextColor, clBlackValue);
    EXPECT_EQ(plain.BackColor, clWhiteValue);
    EXPECT_EQ(plain.FontStyle, 2); // style 0's font
}

TEST_F(StyleResolver, LayoutsMeasureInTheFontStyleOfEachToken) {
    const TFontStyleTable on = FontStyles(s, true);
    EXPECT_EQ(on[40], 1);
    EXPECT_EQ(on[42], 2);
    EXPECT_EQ(on[0], 2);
    const TFontStyleTable off = FontStyles(s, false);
    EXPECT_EQ(off[40], 2);

    // The control's view lays its rows out in the fonts of the settings in use.
    platform.fixedPitch = false;
    platform.widthOf = [](std::string_view, uint8_t style) { return (style & 1) ? 10 : 6; };
    TCustomSyntaxMemo memo{&platform};
    memo.SetWholeText("abc");
    uint8_t* tokens = memo.Store().FirstRow()->AllocStyles();
    tokens[1] = 40;
    EXPECT_EQ(memo.View().Layout(*memo.Store().FirstRow()).Width(), 18);
    memo.UseSettings(&s);
    EXPECT_EQ(memo.View().Layout(*memo.Store().FirstRow()).Width(), 22);
    memo.SetOptions(memo.Options().Exclude(smoSyntaxHighlight));
    EXPECT_EQ(memo.View().Layout(*memo.Store().FirstRow()).Width(), 18);
}

} // namespace
} // namespace kvx
