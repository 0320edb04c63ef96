// Every way a user changes the text (typed characters, keys of the key map, commands, the
// clipboard, templates and auto-correct), driven as the widget drives them, across the
// states that each path has to respect: virtual space with a selection, a read-only
// document, and the notifications that keep the view and the status bar in step.
#include "FakePlatform.h"
#include "KeyNames.h"
#include "Macros.h"
#include "StoreInvariants.h"
#include "SyntaxEd.h"

#include <gtest/gtest.h>

#include <string>

namespace kvx {
namespace {

class EditingPaths : public ::testing::Test, public TEditorHooks {
  protected:
    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};
    TCodeTemplates templates;
    TAutoReplace autoReplace;
    int listsShown = 0;

    void SetUp() override {
        memo.SetKeyMacros(&templates, &autoReplace);
        memo.SetHooks(this);
        templates.AddTemplate("beg", "block", "begin|end");
        autoReplace.AddReplacement("teh", "the");
    }
    bool ShowTemplateList(TCustomSyntaxMemo&, TCodeTemplates&) override {
        ++listsShown;
        return true;
    }
    // A key as the widget delivers it: first as a key, then, unless used up, as a character.
    void Press(uint8_t key, char typed = 0, TShiftState shift = 0) {
        if (!memo.KeyDown(key, shift) && typed)
            memo.KeyChar(static_cast<unsigned char>(typed));
    }
    void Type(std::string_view text) {
        for (char c : text) {
            uint8_t key = 0;
            bool shift = false;
            ASSERT_TRUE(KeyForChar(c, key, shift));
            Press(key, c, shift ? ssShift : 0);
        }
    }
    void Load(std::string_view text, TextOffset caret) {
        memo.SetWholeText(text);
        memo.SetSelection(caret, caret);
    }
    void VirtualSpace() { memo.SetOptions(memo.Options().Include(smoCaretAfterEOL)); }
};

// With the caret past the end of a line and some text selected, each key acts on the
// selection and only on it.
TEST_F(EditingPaths, VirtualSpaceWithASelection) {
    VirtualSpace();
    // Shift+Right from inside "ab" out past its end: "b" is selected, the caret is at
    // column 4. Delete removes the selection, and not the line break as well.
    Load("ab\rcd\r", 1);
    for (int i = 0; i < 3; ++i)
        Press(vkRight, 0, ssShift);
    ASSERT_TRUE(memo.InVirtualSpace());
    ASSERT_EQ(memo.Selection(), (TSelectionRange{1, 2}));
    Press(vkDelete);
    EXPECT_EQ(memo.Text(), "a\rcd\r");
    EXPECT_FALSE(memo.InVirtualSpace());
    memo.ExecuteCommand(caUNDO); // one step, back to the selection
    EXPECT_EQ(memo.Text(), "ab\rcd\r");
    EXPECT_EQ(memo.Selection(), (TSelectionRange{1, 2}));

    // Typing replaces the selection; nothing is filled out to the virtual column.
    Load("ab\rcd\r", 1);
    for (int i = 0; i < 3; ++i)
        Press(vkRight, 0, ssShift);
    Type("x");
    EXPECT_EQ(memo.Text(), "ax\rcd\r");

    // Backspace in virtual space steps the caret back, selection or not.
    Load("ab\rcd\r", 1);
    for (int i = 0; i < 3; ++i)
        Press(vkRight, 0, ssShift);
    Press(vkBack);
    EXPECT_EQ(memo.Text(), "ab\rcd\r");
    EXPECT_TRUE(memo.InVirtualSpace());
    EXPECT_EQ(memo.VirtualColumn(), 3);
    // Text set while the caret is out there is taken as it is, not padded to the caret.
    memo.SetWholeText("ab\rcd\r");
    EXPECT_EQ(memo.Text(), "ab\rcd\r");

    // Without a selection Delete still fills the line out to the caret and joins the next.
    Load("ab\rcd\r", 2);
    Press(vkRight);
    Press(vkRight);
    Press(vkDelete);
    EXPECT_EQ(memo.Text(), "ab\tcd\r");
    EXPECT_EQ(test::CheckStore(memo.Store()), "");
}

// A caret in virtual space has no word before it: neither the template key nor a trigger of
// auto-correct takes the word at the end of the line.
TEST_F(EditingPaths, VirtualSpaceHasNoWordBeforeTheCaret) {
    VirtualSpace();
    Load("beg\r", 3);
    Press(vkRight);
    Press(vkRight); // column 5
    Press('J', 0, ssCtrl);
    EXPECT_EQ(memo.Text(), "beg\r");
    EXPECT_EQ(listsShown, 1); // the list comes up, with nothing typed to match
    EXPECT_EQ(templates.TypedPrefix(), "");
    EXPECT_TRUE(memo.InVirtualSpace());
    // A template chosen there goes in at the caret's column.
    templates.InsertFromList(memo, "beg");
    EXPECT_EQ(memo.Text(), "beg\t begin"
                           "end\r");
    EXPECT_EQ(memo.Selection().Caret, 10); // at the marker

    Load("teh\r", 3);
    Press(vkRight);
    Type(" ");
    EXPECT_EQ(memo.Text(), "teh\t \r"); // filled to column 4 with a TAB, then the space

    // With a selection in virtual space the template list replaces the selection.
    Load("x beg\r", 2);
    for (int i = 0; i < 5; ++i)
        Press(vkRight, 0, ssShift);
    Press('J', 0, ssCtrl);
    EXPECT_EQ(memo.Text(), "x beg\r");
    templates.InsertFromList(memo, "beg");
    EXPECT_EQ(memo.Text(), "x beginend\r");
}

} // namespace
} // namespace kvx
