#include "editor/MemoStrings.h"
#include "editor/Stream.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"
#include "support/StoreInvariants.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace kvx {
namespace {

class Lines : public ::testing::Test {
  protected:
    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};
    TSyntaxMemoStrings& lines = memo.Lines();

    // Loads text as a document that has never been edited.
    void Load(std::string_view text) { memo.SetWholeText(text); }
    // The stored characters: one CR per break.
    std::string Stored() { return memo.Text(); }
    void Check() { EXPECT_EQ(test::CheckStore(memo.Store()), ""); }
};

TEST_F(Lines, CountAndGet) {
    EXPECT_EQ(lines.Count(), 0);
    EXPECT_EQ(lines.Get(0), "");

    Load("\r");
    EXPECT_EQ(lines.Count(), 1);
    EXPECT_EQ(lines.Get(0), "");

    Load("one\r\ntwo\n\nfour");
    EXPECT_EQ(lines.Count(), 4);
    EXPECT_EQ(lines.Get(0), "one");
    EXPECT_EQ(lines[1], "two");
    EXPECT_EQ(lines.Get(2), "");
    EXPECT_EQ(lines.Get(3), "four");
    EXPECT_EQ(lines.Get(4), "");
    EXPECT_EQ(lines.Get(-1), "");

    Load("a\r"); // the empty line after a final break is no row
    EXPECT_EQ(lines.Count(), 1);

    // A long line is several rows; each row is one entry.
    const std::string longLine(5000, 'x');
    Load(longLine + "\rend");
    EXPECT_EQ(lines.Count(), 4);
    EXPECT_EQ(lines.Get(0), std::string(2047, 'x'));
    EXPECT_EQ(lines.Get(2), std::string(906, 'x'));
    EXPECT_EQ(lines.Get(3), "end");
}

TEST_F(Lines, InsertBeforeALineAndAfterTheLast) {
    Load("a\rb");
    EXPECT_TRUE(lines.Insert(1, "x"));
    EXPECT_EQ(Stored(), "a\rx\rb");
    EXPECT_TRUE(lines.Insert(0, ""));
    EXPECT_EQ(Stored(), "\ra\rx\rb");
    EXPECT_EQ(lines.Count(), 4);

    // After a last line without a break the new line still starts a line of its own.
    Load("a\rb");
    EXPECT_TRUE(lines.Insert(2, "c"));
    EXPECT_EQ(Stored(), "a\rb\rc");
    EXPECT_EQ(lines.Count(), 3);
    EXPECT_EQ(lines.Get(2), "c");
    EXPECT_TRUE(lines.Add("d"));
    EXPECT_EQ(Stored(), "a\rb\rc\rd");
    Check();

    // A final break stays final.
    Load("a\r");
    EXPECT_TRUE(lines.Insert(1, "c"));
    EXPECT_EQ(Stored(), "a\rc\r");
    EXPECT_EQ(lines.Count(), 2);

    // A blank last line takes the new text; an empty string there adds a lone break.
    Load("a\r\r");
    EXPECT_TRUE(lines.Insert(2, "c"));
    EXPECT_EQ(Stored(), "a\rc\r");
    Load("a\r\r");
    EXPECT_TRUE(lines.Insert(2, ""));
    EXPECT_EQ(Stored(), "a\r\r\r");

    // The first line of an empty document.
    Load("");
    EXPECT_TRUE(lines.Insert(0, "x"));
    EXPECT_EQ(Stored(), "x");
    Load("");
    EXPECT_TRUE(lines.Add(""));
    EXPECT_EQ(Stored(), "\r");
    EXPECT_EQ(lines.Count(), 1);

    // Indexes that are not a place for a line change nothing.
    Load("a\rb");
    EXPECT_FALSE(lines.Insert(3, "x"));
    EXPECT_FALSE(lines.Insert(-1, "x"));
    Load("");
    EXPECT_FALSE(lines.Insert(1, "x"));
    EXPECT_EQ(Stored(), "");
    EXPECT_FALSE(memo.Modified());
}

TEST_F(Lines, EditsAreUndoableSteps) {
    Load("a\rb\rc");
    lines.Insert(1, "x");
    lines.Put(0, "A");
    lines.Delete(3);
    EXPECT_EQ(Stored(), "A\rx\rb\r");
    EXPECT_TRUE(memo.Modified());
    memo.Undo();
    EXPECT_EQ(Stored(), "A\rx\rb\rc");
    memo.Undo();
    EXPECT_EQ(Stored(), "a\rx\rb\rc");
    memo.Undo();
    EXPECT_EQ(Stored(), "a\rb\rc");
    EXPECT_FALSE(memo.Modified());
}

TEST_F(Lines, PutReplacesTheCharactersAndKeepsTheBreak) {
    Load("ab\rcd\ref");
    EXPECT_TRUE(lines.Put(0, "xyz"));
    EXPECT_EQ(Stored(), "xyz\rcd\ref");
    EXPECT_TRUE(lines.Put(1, ""));
    EXPECT_EQ(Stored(), "xyz\r\ref");
    EXPECT_TRUE(lines.Put(1, "back"));
    EXPECT_EQ(Stored(), "xyz\rback\ref");
    EXPECT_TRUE(lines.Put(2, "last"));
    EXPECT_EQ(Stored(), "xyz\rback\rlast");
    EXPECT_FALSE(lines.Put(3, "no"));
    EXPECT_FALSE(lines.Put(-1, "no"));
    EXPECT_EQ(Stored(), "xyz\rback\rlast");
    Check();
}

TEST_F(Lines, DeleteRemovesALineWithItsBreak) {
    Load("a\rb\rc");
    EXPECT_TRUE(lines.Delete(1));
    EXPECT_EQ(Stored(), "a\rc");
    EXPECT_TRUE(lines.Delete(1)); // the last line: up to the end
    EXPECT_EQ(Stored(), "a\r");
    EXPECT_EQ(lines.Count(), 1);
    EXPECT_FALSE(lines.Delete(1));
    EXPECT_FALSE(lines.Delete(-1));
    EXPECT_TRUE(lines.Delete(0));
    EXPECT_EQ(Stored(), "");
    EXPECT_EQ(lines.Count(), 0);
    EXPECT_FALSE(lines.Delete(0));

    Load("a\rb\r");
    EXPECT_TRUE(lines.Delete(1));
    EXPECT_EQ(Stored(), "a\r");
    Check();
}

TEST_F(Lines, ACaretInVirtualSpaceDoesNotPadInsertedLines) {
    memo.SetOptions(memo.Options().Include(smoCaretAfterEOL));
    Load("ab\rcd");
    memo.SetSelection(2, 2);
    memo.ExecuteCommand(caRIGHT);
    memo.ExecuteCommand(caRIGHT);
    ASSERT_TRUE(memo.InVirtualSpace());
    EXPECT_TRUE(lines.Insert(1, "x"));
    EXPECT_EQ(Stored(), "ab\rx\rcd");
    Load("ab\r\rcd");
    memo.SetSelection(2, 2);
    memo.ExecuteCommand(caRIGHT);
    ASSERT_TRUE(memo.InVirtualSpace());
    EXPECT_TRUE(lines.Put(1, "new"));
    EXPECT_EQ(Stored(), "ab\rnew\rcd");
}

TEST_F(Lines, SettingTextConvertsBreaksAndSkipsUnchangedText) {
    lines.SetText("a\nb\r\nc\n\rd\re\r\r\n");
    EXPECT_EQ(Stored(), "a\rb\rc\rd\re\r\r");
    EXPECT_EQ(lines.Text(), "a\r\nb\r\nc\r\nd\r\ne\r\n\r\n");
    EXPECT_EQ(memo.Store().LineBreak, TLineBreak::CRLF);
    EXPECT_FALSE(memo.Modified());

    // The same text in other breaks: the document, its history and the caret stay.
    memo.SetSelection(2, 2);
    memo.KeyChar('Z');
    ASSERT_TRUE(memo.Modified());
    const std::string now = Stored();
    lines.SetText("a\nZb\nc\nd\ne\n\n");
    EXPECT_EQ(Stored(), now);
    EXPECT_TRUE(memo.Modified());
    EXPECT_TRUE(memo.CanUndo());
    EXPECT_EQ(memo.Selection(), (TSelectionRange{3, 3}));

    // A document that was never edited stays unmodified and keeps its caret too.
    Load("one\r\ntwo");
    memo.SetSelection(5, 5);
    lines.SetText("one\rtwo");
    EXPECT_FALSE(memo.Modified());
    EXPECT_EQ(memo.Selection(), (TSelectionRange{5, 5}));

    // Different text replaces the document.
    lines.SetText("one\ntwo!");
    EXPECT_EQ(Stored(), "one\rtwo!");
    EXPECT_EQ(memo.Selection(), (TSelectionRange{0, 0}));
    EXPECT_FALSE(memo.CanUndo());

    memo.SelLineStyle = lsLF;
    EXPECT_EQ(lines.Text(), "one\rtwo!");
    lines.SetText("");
    EXPECT_EQ(lines.Count(), 0);
}

TEST_F(Lines, AddStringsReplacesTheText) {
    Load("old text");
    lines.AddStrings({"one", "", "three"});
    EXPECT_EQ(Stored(), "one\r\rthree\r");
    EXPECT_EQ(lines.Count(), 3);
    EXPECT_EQ(lines.Get(2), "three");
    EXPECT_FALSE(memo.CanUndo());
    EXPECT_FALSE(memo.Modified());
    lines.AddStrings({});
    EXPECT_EQ(lines.Count(), 0);
}

TEST_F(Lines, ClearAndUpdates) {
    Load("a\rb");
    lines.Put(0, "x");
    ASSERT_TRUE(memo.CanUndo());
    platform.invalidated.clear();
    lines.Clear();
    EXPECT_EQ(lines.Count(), 0);
    EXPECT_FALSE(memo.CanUndo());
    EXPECT_FALSE(memo.PaintLocked());
    ASSERT_FALSE(platform.invalidated.empty());
    EXPECT_EQ(platform.invalidated.back(), (std::pair<int32_t, int32_t>{0, -1}));

    lines.BeginUpdate();
    lines.BeginUpdate();
    EXPECT_TRUE(memo.PaintLocked());
    lines.EndUpdate();
    EXPECT_TRUE(memo.PaintLocked());
    platform.invalidated.clear();
    lines.EndUpdate();
    EXPECT_FALSE(memo.PaintLocked());
    EXPECT_FALSE(platform.invalidated.empty()); // the control is repainted

    // An EndUpdate without a BeginUpdate does not release someone else's lock.
    memo.LockPaint();
    lines.EndUpdate();
    EXPECT_TRUE(memo.PaintLocked());
    memo.UnlockPaint();

    {
        TSyntaxMemoStrings forgetful(memo);
        forgetful.BeginUpdate();
        EXPECT_TRUE(memo.PaintLocked());
    }
    EXPECT_FALSE(memo.PaintLocked());
}

TEST_F(Lines, LoadAndSaveGoThroughTheControl) {
    TMemoryStream in(std::string("first\r\nsecond"));
    lines.LoadFromStream(in);
    EXPECT_EQ(lines.Count(), 2);
    EXPECT_EQ(lines.Get(1), "second");
    lines.Put(1, "2nd");
    TMemoryStream out;
    lines.SaveToStream(out);
    EXPECT_EQ(out.Data(), "first\r\n2nd");
    EXPECT_FALSE(memo.Modified());

    namespace fs = std::filesystem;
    const fs::path file = fs::temp_directory_path() / ("kvx-lines-" + std::to_string(::getpid()));
    lines.SaveToFile(file.string());
    Load("");
    lines.LoadFromFile(file.string());
    fs::remove(file);
    EXPECT_EQ(Stored(), "first\r2nd");
    EXPECT_THROW(lines.LoadFromFile(file.string()), EFOpenError);
    EXPECT_EQ(Stored(), "first\r2nd");
}

} // namespace
} // namespace kvx
