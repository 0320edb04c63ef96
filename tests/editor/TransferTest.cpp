// Text coming in from other programs and going out to them: HTML trimming, the source-type
// word a paste or drop shows to OnDataDrop, drops of text, HTML and file lists, and a
// dragged selection moved or copied within the control as one undo step.
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kvx {
namespace {

using namespace std::string_literals;

TEST(Transfer, HtmlIsTrimmedOnlyAsTheBitsSay) {
    const std::string page = "Version:0.9\r\n<html><body><!--StartFragment-->"
                             "<b>bold</b><!--EndFragment--></body></html>";
    EXPECT_EQ(TrimHtml(page, 0), page);
    EXPECT_EQ(TrimHtml(page, stHTMLFromTag | stHTMLFragment), page.substr(13));
    EXPECT_EQ(TrimHtml(page, stHTMLFragment), "<b>bold</b>");
    // Markers missing, in the wrong order or with nothing between them: the HTML stays,
    // from its first tag.
    for (const std::string& html :
         {std::string("x <p><!--StartFragment-->text"), std::string("x <p>text<!--EndFragment-->"),
          std::string("x <p><!--EndFragment-->text<!--StartFragment-->"),
          std::string("x <p><!--StartFragment--><!--EndFragment-->")})
        EXPECT_EQ(TrimHtml(html, stHTMLFragment), html.substr(2)) << html;
    // An end marker before the start does not stop the one after it from counting.
    EXPECT_EQ(
        TrimHtml("<!--EndFragment--><!--StartFragment-->in<!--EndFragment-->", stHTMLFragment),
        "in");
    EXPECT_EQ(TrimHtml("no tags at all", stHTMLFromTag), "");
    EXPECT_EQ(TrimHtml("", stHTMLFragment), "");
}

class TransferTest : public ::testing::Test {
  protected:
    void Load(std::string_view text) { memo.SetWholeText(text); }
    std::string Text() { return memo.Text(); }
    TDropData Offer(TSourceTypes available, std::string text, std::string html = {},
                    std::vector<std::string> files = {}) {
        return {available, std::move(html), std::move(text), std::move(files)};
    }

    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};
    std::vector<TSourceTypes> seen;
};

TEST_F(TransferTest, PasteShowsItsFormatsToTheApplicationAndTakesWhatItLeaves) {
    Load("ab");
    memo.SetSelection(1, 1);
    TSourceTypes change = 0, remove = 0;
    memo.OnDataDrop = [&](TCustomSyntaxMemo&, TSourceTypes& types) {
        seen.push_back(types);
        types = static_cast<TSourceTypes>((types | change) & ~remove);
    };
    const std::string html = "hdr <i>x</i><!--StartFragment--><b>y</b><!--EndFragment-->";

    // HTML alone goes in whole: trimming is the application's to ask for.
    platform.SetClipboardHtml(html);
    memo.ExecuteCommand(caPASTE);
    EXPECT_EQ(seen.back(), stHTML | stClipboard);
    EXPECT_EQ(Text(), "a" + html + "b");
    memo.Undo();
    EXPECT_EQ(Text(), "ab");
    change = stHTMLFragment;
    memo.ExecuteCommand(caPASTE);
    EXPECT_EQ(Text(), "a<b>y</b>b");
    memo.Undo();
    change = stHTMLFragment | stRawData; // raw data is inserted as it is
    memo.ExecuteCommand(caPASTE);
    EXPECT_EQ(Text(), "a" + html + "b");
    memo.Undo();

    // Text and HTML: the text wins unless the application takes its bit away.
    platform.SetClipboardText("t\r\nu\0v"s);
    platform.html = html;
    change = 0;
    memo.ExecuteCommand(caPASTE);
    EXPECT_EQ(seen.back(), stHTML | stText | stClipboard);
    EXPECT_EQ(Text(), "at\ru.vb"); // breaks made uniform, a NUL byte shown as "."
    memo.Undo();
    remove = stText;
    change = stHTMLFromTag;
    memo.ExecuteCommand(caPASTE);
    EXPECT_EQ(Text(), "a<i>x</i><!--StartFragment--><b>y</b><!--EndFragment-->b");
    memo.Undo();
    // Handled by the application, or nothing left to take: nothing is inserted.
    remove = stText | stHTML;
    memo.ExecuteCommand(caPASTE);
    change = stHandled;
    remove = 0;
    memo.ExecuteCommand(caPASTE);
    EXPECT_EQ(Text(), "ab");
    // A read-only control does not even ask.
    const size_t asked = seen.size();
    memo.ReadOnly = true;
    memo.ExecuteCommand(caPASTE);
    EXPECT_EQ(seen.size(), asked);
    EXPECT_EQ(Text(), "ab");
}

TEST_F(TransferTest, DraggedTextMovesWithinTheControlAsOneUndoStep) {
    Load("hello world");
    memo.SetSelection(0, 6);
    std::string dragged;
    bool moveAllowed = false;
    ASSERT_TRUE(memo.BeginDrag(dragged, moveAllowed));
    EXPECT_EQ(dragged, "hello ");
    EXPECT_TRUE(moveAllowed);

    EXPECT_EQ(memo.DragEnter(stText | stUnicodeText, 3, false), TDropEffect::Move);
    EXPECT_TRUE(memo.DropActive());
    EXPECT_EQ(memo.DragOver(40, true), TDropEffect::Copy);
    EXPECT_EQ(memo.DropPosition(), 11); // clamped to the text
    EXPECT_EQ(memo.DragOver(11, false), TDropEffect::Move);

    // Into the dragged text itself: nothing happens.
    TDropData data = Offer(stText | stUnicodeText, dragged);
    EXPECT_EQ(memo.Drop(data, 6, {}, false), TDropEffect::None);
    EXPECT_FALSE(memo.DropActive());
    EXPECT_EQ(Text(), "hello world");

    EXPECT_EQ(memo.Drop(data, 11, {}, false), TDropEffect::Move);
    memo.EndDrag(TDropEffect::Move);
    EXPECT_EQ(Text(), "worldhello ");
    EXPECT_EQ(memo.Selection(), (TSelectionRange{5, 5})); // where the text went
    memo.Undo();
    EXPECT_EQ(Text(), "hello world");
    EXPECT_EQ(memo.Selection(), (TSelectionRange{0, 6}));
    EXPECT_FALSE(memo.CanUndo());

    // A copy may go next to the dragged text, and keeps it.
    ASSERT_TRUE(memo.BeginDrag(dragged, moveAllowed));
    EXPECT_EQ(memo.Drop(data, 6, {}, true), TDropEffect::Copy);
    memo.EndDrag(TDropEffect::Copy);
    EXPECT_EQ(Text(), "hello hello world");
    EXPECT_EQ(memo.Selection(), (TSelectionRange{6, 6}));
}

TEST_F(TransferTest, DraggingOutMovesOnlyWhatWasDragged) {
    Load("one two");
    memo.SetSelection(4, 7);
    std::string dragged;
    bool moveAllowed = true;
    memo.SetOptionWord(memo.OptionWord() & ~OptionBit(smoOLEDragSource));
    EXPECT_FALSE(memo.BeginDrag(dragged, moveAllowed));
    memo.SetOptionWord(memo.OptionWord() | OptionBit(smoOLEDragSource));

    // Moved into another program: the text leaves this one, as one undo step.
    ASSERT_TRUE(memo.BeginDrag(dragged, moveAllowed));
    memo.EndDrag(TDropEffect::Move);
    EXPECT_EQ(Text(), "one ");
    memo.Undo();
    EXPECT_EQ(Text(), "one two");

    // The selection changed while the drag went on: nothing is deleted.
    memo.SetSelection(4, 7);
    ASSERT_TRUE(memo.BeginDrag(dragged, moveAllowed));
    memo.SetSelection(0, 3);
    memo.EndDrag(TDropEffect::Move);
    EXPECT_EQ(Text(), "one two");

    // A read-only control lets its text be copied, never moved.
    memo.ReadOnly = true;
    ASSERT_TRUE(memo.BeginDrag(dragged, moveAllowed));
    EXPECT_FALSE(moveAllowed);
    memo.EndDrag(TDropEffect::Move);
    EXPECT_EQ(Text(), "one two");
}

TEST_F(TransferTest, DropsFromOtherProgramsGoThroughOnDataDrop) {
    Load("ab");
    TSourceTypes change = 0, remove = 0;
    memo.OnDataDrop = [&](TCustomSyntaxMemo&, TSourceTypes& types) {
        seen.push_back(types);
        types = static_cast<TSourceTypes>((types | change) & ~remove);
    };
    // HTML comes first and goes in as it is: drops are raw data unless the handler says.
    TDropData data = Offer(stText | stHTML, "plain", "x<p><!--StartFragment-->F<!--EndFragment-->");
    EXPECT_EQ(memo.Drop(data, 1, {}, false), TDropEffect::Move);
    EXPECT_EQ(seen.back(), stText | stHTML | stRawData | stNotifyFiles);
    EXPECT_EQ(Text(), "a" + data.Html + "b");
    memo.Undo();
    remove = stRawData;
    change = stHTMLFragment;
    memo.Drop(data, 1, {}, false);
    EXPECT_EQ(Text(), "aFb");
    memo.Undo();
    remove = stHTML;
    change = 0;
    EXPECT_EQ(memo.Drop(data, 2, {}, true), TDropEffect::Copy);
    EXPECT_EQ(Text(), "abplain");
    memo.Undo();
    change = stHandled;
    EXPECT_EQ(memo.Drop(data, 2, {}, true), TDropEffect::None);
    EXPECT_EQ(Text(), "ab");

    // Text the document's encoding cannot hold is refused whole, with a beep.
    memo.OnDataDrop = nullptr;
    memo.Store().SetUtf8(false);
    TDropData cjk = Offer(stText, "x\xE4\xB8\xAD");
    const int beeps = platform.beeps;
    EXPECT_EQ(memo.Drop(cjk, 1, {}, false), TDropEffect::None);
    EXPECT_EQ(platform.beeps, beeps + 1);
    EXPECT_EQ(Text(), "ab");

    // A read-only control takes no text, neither while dragging over nor at the drop.
    memo.ReadOnly = true;
    TDropData text = Offer(stText, "t");
    EXPECT_EQ(memo.DragEnter(stText, 1, false), TDropEffect::None);
    EXPECT_FALSE(memo.DropActive());
    EXPECT_EQ(memo.Drop(text, 1, {}, false), TDropEffect::None);
    EXPECT_EQ(Text(), "ab");
}

TEST_F(TransferTest, DroppedFilesReachTheApplicationAndAreNeverMoved) {
    Load("ab");
    std::vector<std::string> heard;
    TDropPoint where;
    memo.OnFilesDropped = [&](TCustomSyntaxMemo&, std::vector<std::string>& files, TDropPoint at) {
        heard = files;
        where = at;
        files.pop_back(); // the handler may change the list
    };
    const std::vector<std::string> files = {"/tmp/a b.asm", "/tmp/<odd>&.c"};
    TDropData data = Offer(stFiles, {}, {}, files);

    // Without smoProcessDroppedFiles a file list is not taken at all.
    memo.SetOptionWord(memo.OptionWord() & ~OptionBit(smoProcessDroppedFiles));
    EXPECT_EQ(memo.DragEnter(stFiles, 0, false), TDropEffect::None);
    EXPECT_EQ(memo.Drop(data, 0, {}, false), TDropEffect::None);
    EXPECT_TRUE(heard.empty());
    memo.SetOptionWord(memo.OptionWord() | OptionBit(smoProcessDroppedFiles));

    // The file manager must never be told to move (and so delete) the files.
    EXPECT_EQ(memo.DragEnter(stFiles, 0, false), TDropEffect::Copy);
    EXPECT_EQ(memo.Drop(data, 1, {30, 40}, false), TDropEffect::Copy);
    EXPECT_EQ(heard, files);
    EXPECT_EQ(where.X, 30);
    EXPECT_EQ(where.Y, 40);
    // Raw data (the drop's default): the names the handler left go in, one a line.
    EXPECT_EQ(Text(), "a/tmp/a b.asm\rb");
    memo.Undo();

    // Without raw data the handler alone deals with them; a read-only control still
    // passes them on.
    memo.OnDataDrop = [](TCustomSyntaxMemo&, TSourceTypes& types) {
        types = static_cast<TSourceTypes>(types & ~stRawData);
    };
    memo.ReadOnly = true;
    data.Files = files;
    heard.clear();
    EXPECT_EQ(memo.DragEnter(stFiles, 0, false), TDropEffect::Copy);
    EXPECT_EQ(memo.Drop(data, 1, {}, false), TDropEffect::Copy);
    EXPECT_EQ(heard, files);
    EXPECT_EQ(Text(), "ab");

    // With no handler the names go in as text.
    memo.ReadOnly = false;
    memo.OnDataDrop = nullptr;
    memo.OnFilesDropped = nullptr;
    data.Files = files;
    memo.Drop(data, 2, {}, false);
    EXPECT_EQ(Text(), "ab/tmp/a b.asm\r/tmp/<odd>&.c\r");
}

} // namespace
} // namespace kvx
