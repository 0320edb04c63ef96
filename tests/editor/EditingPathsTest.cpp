// Every way a user changes the text (typed characters, keys of the key map, commands, the
// clipboard, templates and auto-correct), driven as the widget drives them, across the
// states that each path has to respect: virtual space with a selection, a read-only
// document, and the notifications that keep the view and the status bar in step.
#include "MacroFixture.h"
#include "editor/EdMessages.h"
#include "editor/MemoStrings.h"
#include "editor/Stream.h"
#include "editor/SyntaxEd.h"
#include "support/StoreInvariants.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace kvx {
namespace {

// Public, so that the tables of paths below can drive it.
class EditingPaths : public test::TMacroFixture {
  public:
    void SetUp() override {
        TMacroFixture::SetUp();
        templates.AddTemplate("beg", "block", "begin|end");
        autoReplace.AddReplacement("teh", "the");
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

// Everything a user can do to change the text refuses while the document is read-only: the
// text, the undo log (both directions) and the clipboard stay as they were and no text
// change is reported. Moving and copying still work.
TEST_F(EditingPaths, ReadOnlyRefusesEveryUserEdit) {
    struct TPath {
        const char* name;
        TSelectionRange sel;
        std::function<void(EditingPaths&)> run;
    };
    const TSelectionRange caret{3, 3}, word{4, 7}, lines{0, 10};
    const std::vector<TPath> paths = {
        {"typing", caret, [](EditingPaths& t) { t.Type("x"); }},
        {"Enter", caret, [](EditingPaths& t) { t.Press(vkReturn, '\r'); }},
        {"TAB", caret, [](EditingPaths& t) { t.Press(vkTab, '\t'); }},
        {"Delete", caret, [](EditingPaths& t) { t.Press(vkDelete); }},
        {"Backspace", caret, [](EditingPaths& t) { t.Press(vkBack); }},
        {"Delete over a selection", word, [](EditingPaths& t) { t.Press(vkDelete); }},
        {"Ctrl+X", word, [](EditingPaths& t) { t.Press('X', 0, ssCtrl); }},
        {"Ctrl+V", caret, [](EditingPaths& t) { t.Press('V', 0, ssCtrl); }},
        {"Ctrl+Z", caret, [](EditingPaths& t) { t.Press('Z', 0, ssCtrl); }},
        {"redo command", caret, [](EditingPaths& t) { t.memo.ExecuteCommand(caREDO); }},
        {"indent command", lines, [](EditingPaths& t) { t.memo.ExecuteCommand(caBLOCKIND); }},
        {"un-indent command", lines, [](EditingPaths& t) { t.memo.ExecuteCommand(caBLOCKUND); }},
        {"delete line", caret, [](EditingPaths& t) { t.memo.ExecuteCommand(caDELETELINE); }},
        {"delete word before", caret,
         [](EditingPaths& t) { t.memo.ExecuteCommand(caDELPREVWORD); }},
        {"delete word after", caret, [](EditingPaths& t) { t.memo.ExecuteCommand(caDELNEXTWORD); }},
        {"cut method", word, [](EditingPaths& t) { t.memo.CutToClipboard(); }},
        {"paste method", caret, [](EditingPaths& t) { t.memo.PasteFromClipboard(); }},
        {"undo method", caret, [](EditingPaths& t) { t.memo.Undo(); }},
        {"redo method", caret, [](EditingPaths& t) { t.memo.Redo(); }},
        {"indent method", lines, [](EditingPaths& t) { t.memo.IndentBlock(2, true); }},
        {"un-indent method", lines, [](EditingPaths& t) { t.memo.UnindentBlock(2); }},
        {"request 768 (cut)", word, [](EditingPaths& t) { t.memo.Perform(wmCUT); }},
        {"request 770 (paste)", caret, [](EditingPaths& t) { t.memo.Perform(wmPASTE); }},
        {"request 772 (undo)", caret, [](EditingPaths& t) { t.memo.Perform(wmUNDO); }},
        {"request 199 (undo)", caret, [](EditingPaths& t) { t.memo.Perform(emUNDO); }},
        {"request 3087 (redo)", caret, [](EditingPaths& t) { t.memo.Perform(smmREDO); }},
        {"request 3088 (indent)", lines, [](EditingPaths& t) { t.memo.Perform(smmINDENT, 2, 0); }},
        {"request 3089 (un-indent)", lines,
         [](EditingPaths& t) { t.memo.Perform(smmUNINDENT, 2); }},
        {"template key", {7, 7}, [](EditingPaths& t) { t.Press('J', 0, ssCtrl); }},
        {"template list",
         {7, 7},
         [](EditingPaths& t) { t.templates.InsertFromList(t.memo, "beg"); }},
        {"auto-correct", caret, [](EditingPaths& t) { t.Type(" "); }},
    };
    for (const TPath& path : paths) {
        SCOPED_TRACE(path.name);
        // "teh beg" with an edit to undo and one to redo; the clipboard holds text to paste.
        Load("teh beg\r  two\r", 0);
        Type("x");
        Press(vkBack);
        Type("y");
        memo.Undo();
        const std::string text = memo.Text();
        ASSERT_EQ(text, "teh beg\r  two\r");
        platform.SetClipboardText("clip");
        memo.ReadOnly = true;
        memo.SetSelection(path.sel.Anchor, path.sel.Caret);
        const TUndoStack& log = *memo.Store().UndoLog();
        const int32_t count = log.Count(), entries = log.Size();
        int changes = 0;
        memo.OnTextChange = [&](TCustomSyntaxMemo&, TextOffset, int32_t) { ++changes; };
        path.run(*this);
        EXPECT_EQ(memo.Text(), text);
        EXPECT_EQ(log.Count(), count);
        EXPECT_EQ(log.Size(), entries);
        EXPECT_EQ(changes, 0);
        EXPECT_EQ(platform.clipboard, "clip");
        memo.OnTextChange = nullptr;
        memo.ReadOnly = false;
    }

    // Moving, selecting and copying go on as usual.
    Load("teh beg\r", 0);
    memo.ReadOnly = true;
    Press(vkRight, 0, ssShift);
    Press(vkRight, 0, ssShift);
    Press('C', 0, ssCtrl);
    EXPECT_EQ(platform.clipboard, "te");
    // What a program sets is not a user's edit: the setters keep working.
    memo.SetSelText("set");
    memo.Lines().Put(0, memo.Lines().Get(0) + "!");
    EXPECT_EQ(memo.Text(), "seth beg!\r");
    memo.Perform(wmSETTEXT, 0, reinterpret_cast<intptr_t>("new text"));
    EXPECT_EQ(memo.Text(), "new text");
}

// A listener that adds up every OnTextChange delta always knows the text's length, and
// every operation that changed something ends with the change notification (OnChange
// raised, the change bits cleared), whether it came as a key, a template, auto-correct, a
// load, a set-text or through Lines.
TEST_F(EditingPaths, NotificationsFollowEveryChange) {
    int64_t total = 0;
    int notified = 0;
    uint32_t bits = 0;
    memo.OnTextChange = [&](TCustomSyntaxMemo&, TextOffset, int32_t delta) { total += delta; };
    memo.OnChange = [&](TCustomSyntaxMemo& m) {
        ++notified;
        bits |= m.ChangeBits();
    };
    struct TStep {
        const char* name;
        std::function<void(EditingPaths&)> run;
        uint32_t bits; // change bits the notification must have carried
    };
    auto text = [](const char* t) { return reinterpret_cast<intptr_t>(t); };
    const std::vector<TStep> steps = {
        {"load",
         [](EditingPaths& t) {
             TMemoryStream in("hello teh\r");
             t.memo.LoadFromStream(in);
         },
         chText},
        {"load over it",
         [](EditingPaths& t) {
             TMemoryStream in("ab");
             t.memo.LoadFromStream(in);
         },
         chText},
        {"set text", [](EditingPaths& t) { t.memo.SetWholeText("x beg"); }, chText},
        {"request 12", [&](EditingPaths& t) { t.memo.Perform(wmSETTEXT, 0, text("beg")); }, chText},
        {"template key",
         [](EditingPaths& t) {
             t.memo.SetSelection(3, 3);
             t.Press('J', 0, ssCtrl);
         },
         chText},
        {"template list",
         [](EditingPaths& t) {
             t.memo.SetSelection(0, 0);
             t.templates.InsertFromList(t.memo, "beg");
         },
         chText},
        {"auto-correct key",
         [](EditingPaths& t) {
             t.memo.SetSelection(0, 0);
             t.memo.ReplaceSelection("teh");
             t.memo.KeyDown(vkSpace, 0); // the widget types the space after this
         },
         chText},
        {"Lines.Put", [](EditingPaths& t) { t.memo.Lines().Put(0, "first"); }, chText},
        {"Lines.Insert", [](EditingPaths& t) { t.memo.Lines().Insert(0, "zero"); }, chText},
        {"Lines.Add", [](EditingPaths& t) { t.memo.Lines().Add("last"); }, chText},
        {"Lines.Delete", [](EditingPaths& t) { t.memo.Lines().Delete(1); }, chText},
        {"Lines.AddStrings",
         [](EditingPaths& t) {
             t.memo.Lines().AddStrings({"p", "q"});
         },
         chText},
        {"Lines.SetText", [](EditingPaths& t) { t.memo.Lines().SetText("one\ntwo"); }, chText},
        {"Lines in an update",
         [](EditingPaths& t) {
             t.memo.Lines().BeginUpdate();
             t.memo.Lines().Put(0, "1");
             t.memo.Lines().Put(1, "2");
             t.memo.Lines().EndUpdate();
         },
         chText},
        {"Lines.Clear", [](EditingPaths& t) { t.memo.Lines().Clear(); }, chText},
        {"typing", [](EditingPaths& t) { t.Type("ab"); }, chText},
        {"prefix key", [](EditingPaths& t) { t.Press('K', 0, ssCtrl); }, chKeyboard},
        {"its second key", [](EditingPaths& t) { t.Press('1'); }, chKeyboard},
    };
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.name);
        notified = 0;
        bits = 0;
        step.run(*this);
        EXPECT_EQ(total, memo.TextLength());
        EXPECT_GE(notified, 1);
        EXPECT_EQ(bits & step.bits, step.bits);
        EXPECT_EQ(memo.ChangeBits(), 0u);
    }
}

} // namespace
} // namespace kvx
