// What the control asks of its platform: the view-change channel, one clipboard call with
// every format, the desktop's selection colours, and the headless platform's answers.
#include "editor/Colors.h"
#include "editor/HeadlessPlatform.h"
#include "editor/Settings.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kvx {
namespace {

TEST(Platform, ViewChangesReachTheWidgetBeforeTheApplication) {
    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};
    std::vector<std::string> order;
    memo.OnChange = [&](TCustomSyntaxMemo& m) {
        order.push_back("OnChange");
        // The handler still learns what changed.
        EXPECT_EQ(m.ChangeBits(), platform.viewChanges.back());
    };
    memo.KeyChar(U'a');
    ASSERT_EQ(platform.viewChanges.size(), 1u);
    EXPECT_EQ(platform.viewChanges[0] & (chText | chSelection), chText | chSelection);
    EXPECT_EQ(order, std::vector<std::string>{"OnChange"});

    // Nothing changed, nothing heard, on either channel.
    memo.ExecuteCommand(caDOCSTART);
    memo.ExecuteCommand(caDOCSTART);
    EXPECT_EQ(platform.viewChanges.size(), 2u);
    EXPECT_EQ(order.size(), 2u);
    // With no OnChange handler the widget still hears.
    memo.OnChange = nullptr;
    memo.KeyChar(U'b');
    EXPECT_EQ(platform.viewChanges.size(), 3u);
}

TEST(Platform, CopyPutsEveryFormatOnTheClipboardAtOnce) {
    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};
    memo.SetWholeText("one\r\ntwo");
    memo.SetSelection(0, 7);
    memo.CopyToClipboard();
    EXPECT_EQ(platform.clipboardSets, 1);
    EXPECT_EQ(platform.clipboard, "one\ntwo");
    EXPECT_EQ(platform.rtf.rfind("{\\rtf1 ", 0), 0u);
    EXPECT_NE(platform.html.find("<PRE><FONT FACE=\"Courier New\">one\r\ntwo</FONT></PRE>"),
              std::string::npos);

    // The formats left out are not offered; a cut copies the same way.
    memo.ClipCopyFormats = smRTF;
    memo.ExecuteCommand(caCUT);
    EXPECT_EQ(platform.clipboardSets, 2);
    EXPECT_EQ(platform.clipboard, "");
    EXPECT_NE(platform.rtf.find("one\\line \r\ntwo\r\n}}"), std::string::npos);
    EXPECT_EQ(platform.html, "");
    EXPECT_EQ(memo.Text(), "");
}

TEST(Platform, OwnSettingsTakeTheDesktopsSelectionColours) {
    test::TFakePlatform platform;
    platform.systemColors = [](int index) {
        return index == scxHighlight ? 0x123456 : index == scxHighlightText ? 0x654321 : 0;
    };
    TCustomSyntaxMemo memo{&platform};
    EXPECT_EQ(memo.Settings().SelTextBack, 0x123456);
    EXPECT_EQ(memo.Settings().SelTextColor, 0x654321);

    // Settings made without a desktop, as the stored languages were, keep the default
    // palette's selection.
    TSM_Settings plain;
    EXPECT_EQ(plain.SelTextBack, 0xD77800);
    EXPECT_EQ(plain.SelTextColor, clWhiteValue);

    // A language's settings can be used in their place and given back.
    TSM_Settings language;
    language.SelTextBack = 0x800000;
    memo.UseSettings(&language);
    EXPECT_EQ(&memo.Settings(), &language);
    EXPECT_NE(memo.ChangeBits() & chSettings, 0u);
    memo.UseSettings(nullptr);
    EXPECT_EQ(&memo.Settings(), &memo.OwnSettings());
    EXPECT_EQ(memo.Settings().SelTextBack, 0x123456);
}

TEST(Platform, HeadlessPlatformMeasuresAGridAndKnowsTheDefaultPalette) {
    THeadlessPlatform headless;
    std::vector<Pixel> edges(3);
    headless.MeasureWidths("a\xC3\xA9z", 1, edges); // three characters, four bytes
    EXPECT_EQ(edges, (std::vector<Pixel>{8, 16, 24}));
    EXPECT_TRUE(headless.FixedPitch());
    EXPECT_EQ(headless.VisibleRows(), 0);
    EXPECT_EQ(headless.SystemColorValue(scxWindow), clWhiteValue);
    EXPECT_EQ(headless.SystemColorValue(scxWindowText), 0);
    EXPECT_EQ(headless.SystemColorValue(scxHighlight), 0xD77800);
    EXPECT_EQ(headless.SystemColorValue(-1), 0);
    EXPECT_EQ(headless.SystemColorValue(999), 0);
    std::string text;
    EXPECT_FALSE(headless.ClipboardText(text));

    // A control without a platform of its own works headless: it copies into nothing and
    // pastes nothing.
    TCustomSyntaxMemo memo;
    memo.SetWholeText("abc");
    memo.SelectAll();
    memo.ExecuteCommand(caCOPY);
    memo.ExecuteCommand(caPASTE);
    EXPECT_EQ(memo.Text(), "abc");
}

} // namespace
} // namespace kvx
