#include "editor/Stream.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"
#include "support/StoreInvariants.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kvx {
namespace {

class Editing : public ::testing::Test {
  protected:
    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};

    // Loads text as a document that has never been edited.
    void Load(std::string_view text) {
        memo.SetSelection(-1, 0);
        memo.Store().DeleteRange(memo);
        memo.SetSelection(0, 0, true);
        memo.Store().InsertAtCaret(memo, text.data(), static_cast<int32_t>(text.size()));
        memo.Store().UndoLog()->ClearAndMarkSaved();
        memo.SetSelection(0, 0);
    }
    void Caret(TextOffset at) { memo.SetSelection(at, at); }
    void Type(std::string_view text) {
        for (char c : text)
            memo.KeyChar(static_cast<unsigned char>(c));
    }
    void Run(int command, bool extend = false) { memo.ExecuteCommand(command, extend); }
    std::string Text() { return memo.Text(); }
    void Check() { EXPECT_EQ(test::CheckStore(memo.Store()), ""); }
};

TEST_F(Editing, TypingUndoRedoOneKeyAtATime) {
    Type("ab");
    EXPECT_EQ(Text(), "ab");
    EXPECT_TRUE(memo.Modified());
    memo.Undo();
    EXPECT_EQ(Text(), "a");
    memo.Undo();
    EXPECT_EQ(Text(), "");
    EXPECT_FALSE(memo.Modified());
    memo.Redo();
    memo.Redo();
    EXPECT_EQ(Text(), "ab");
    EXPECT_EQ(memo.Selection(), (TSelectionRange{2, 2}));

    memo.Undo();
    Type("c"); // a new edit drops the redo entries
    EXPECT_FALSE(memo.CanRedo());
    EXPECT_EQ(Text(), "ac");
    memo.Undo();
    memo.Undo();
    memo.Undo(); // nothing left: nothing happens
    EXPECT_EQ(Text(), "");
    Check();
}

TEST_F(Editing, CutIsOneStepThatRestoresTextAndSelection) {
    Load("hello world\r");
    memo.SetSelection(6, 11);
    Run(caCUT);
    EXPECT_EQ(Text(), "hello \r");
    EXPECT_EQ(platform.clipboard, "world");
    memo.Undo();
    EXPECT_EQ(Text(), "hello world\r");
    EXPECT_EQ(memo.Selection(), (TSelectionRange{6, 11}));
    EXPECT_FALSE(memo.CanUndo());

    Caret(0);
    Run(caPASTE);
    EXPECT_EQ(Text(), "worldhello world\r");
    memo.ReadOnly = true;
    Run(caPASTE);
    Run(caBACKSPACE);
    Type("x");
    EXPECT_EQ(Text(), "worldhello world\r");
}

TEST_F(Editing, PasteConvertsBreaksAndIsOneStep) {
    Load("ab");
    Caret(1);
    platform.SetClipboardText("x\r\ny\nz\n\rw\r");
    Run(caPASTE);
    EXPECT_EQ(Text(), "ax\ry\rz\rw\rb");
    EXPECT_EQ(memo.SelStart(), 9);
    memo.Undo();
    EXPECT_EQ(Text(), "ab");

    // Text longer than one stream piece, with a break pair across the piece boundary.
    std::string big(8191, 'p');
    big += "\r\n";
    big += std::string(9000, 'q');
    platform.SetClipboardText(big);
    Run(caPASTE);
    EXPECT_EQ(memo.TextLength(), 2 + 8191 + 1 + 9000);
    memo.Undo();
    EXPECT_EQ(Text(), "ab");
    Check();

    // A character a single-byte document cannot hold is refused with a beep, not replaced.
    memo.Store().SetUtf8(false);
    platform.SetClipboardText("\xE4\xB8\xAD"); // a CJK character
    const int beeps = platform.beeps;
    Run(caPASTE);
    EXPECT_EQ(Text(), "ab");
    EXPECT_EQ(platform.beeps, beeps + 1);
    platform.SetClipboardText("\xE2\x82\xAC"); // the euro sign is byte 0x80 there
    Run(caPASTE);
    EXPECT_EQ(Text(), "a\x80"
                      "b");
}

TEST_F(Editing, InsertStreamKeepsAFinalCarriageReturn) {
    // A stream that ends in CR (a CR-only file) must neither hang nor lose that break.
    TMemoryStream s(std::string("a\rb\r"));
    memo.InsertStream(s);
    EXPECT_EQ(Text(), "a\rb\r");
    EXPECT_EQ(memo.Store().RowCount(), 2);

    std::string full(8191, 'x');
    full += "\r";
    full += "\n";
    TMemoryStream t(full);
    Load("");
    memo.InsertStream(t);
    EXPECT_EQ(Text(), std::string(8191, 'x') + "\r");

    TMemoryStream empty;
    Load("abc");
    memo.SetSelection(0, 2);
    memo.InsertStream(empty);
    EXPECT_EQ(Text(), "c");
}

TEST_F(Editing, LineEndBackspaceDeleteAndDeleteLine) {
    Load("abc  \rdef\r");
    Run(caLINEEND);
    EXPECT_EQ(memo.SelStart(), 3);

    // Nothing to delete: no change and nothing to undo.
    Caret(0);
    Run(caBACKSPACE);
    Caret(memo.TextLength());
    Run(caDELETE);
    EXPECT_FALSE(memo.CanUndo());

    Caret(6);
    Run(caBACKSPACE); // a line break is one character: the lines join
    EXPECT_EQ(Text(), "abc  def\r");
    memo.SetSelection(0, 1);
    Run(caDELETELINE); // not with a selection
    EXPECT_EQ(Text(), "abc  def\r");
    Caret(2);
    Run(caDELETELINE);
    EXPECT_EQ(Text(), "");
    Run(caDELETELINE); // the empty document survives it
    memo.Undo();
    EXPECT_EQ(Text(), "abc  def\r");
}

TEST_F(Editing, OverwriteNeverEatsALineBreak) {
    Load("ab\rcd");
    Run(caINSTOGGLE);
    EXPECT_FALSE(memo.InsertMode());
    EXPECT_TRUE(platform.blockCaret);
    Caret(1);
    Type("XY");
    EXPECT_EQ(Text(), "aXY\rcd");
    Caret(memo.TextLength());
    Type("z");
    EXPECT_EQ(Text(), "aXY\rcdz");
}

TEST_F(Editing, EnterIndentsLikeTheLineAbove) {
    Load("    foo\r");
    Caret(7);
    Type("\r");
    EXPECT_EQ(Text(), "    foo\r\t\r"); // 4 columns with the default tab width: one TAB
    Load("    foo\r");
    Caret(4);
    Type("\r");
    EXPECT_EQ(Text(), "    \r\tfoo\r");
    Load("    foo\r");
    Caret(0);
    Type("\r");
    EXPECT_EQ(Text(), "\r    foo\r");
    // An empty line takes the indentation of the nearest line above with text.
    Load("    foo\r\r");
    Caret(8);
    Type("\r");
    EXPECT_EQ(Text(), "    foo\r\r\t\r");
    // Six columns: one TAB and two spaces.
    Load("      x\r");
    Caret(7);
    Type("\r");
    EXPECT_EQ(Text(), "      x\r\t  \r");
    memo.Undo(); // Enter and its indentation are one step
    EXPECT_EQ(Text(), "      x\r");

    memo.SetOptions(memo.Options().Exclude(smoAutoIndent));
    Caret(7);
    Type("\r");
    EXPECT_EQ(Text(), "      x\r\r");
}

TEST_F(Editing, TabKeyAlignsWithTheWordsAbove) {
    Load("mov  eax, 1\r");
    Caret(memo.TextLength());
    Type("add");
    memo.KeyChar(U'\t'); // to column 5: a TAB to the stop at 4, then a space
    EXPECT_EQ(Text(), "mov  eax, 1\radd\t ");
    Type("ebx,");
    memo.KeyChar(U'\t');
    EXPECT_EQ(Text(), "mov  eax, 1\radd\t ebx, ");

    // Without the column rule a TAB is a TAB character.
    memo.SetOptions(memo.Options().Exclude(smoTabToColumn));
    Load("");
    memo.KeyChar(U'\t');
    EXPECT_EQ(Text(), "\t");
    // Without TAB characters the key fills with spaces to the next stop.
    memo.SetOptions(memo.Options().Exclude(smoUseTAB));
    Load("ab");
    Caret(2);
    memo.KeyChar(U'\t');
    EXPECT_EQ(Text(), "ab  ");
}

TEST_F(Editing, BlockIndentAndUnindentAreOneStep) {
    Load("a\rb\rc\rd\r");
    memo.SetSelection(0, 6); // ends at the start of the fourth line: three lines
    memo.SetIndentStep(2);
    Run(caBLOCKIND);
    EXPECT_EQ(Text(), "  a\r  b\r  c\rd\r");
    EXPECT_EQ(memo.Selection(), (TSelectionRange{0, 12}));
    memo.Undo();
    EXPECT_EQ(Text(), "a\rb\rc\rd\r");
    EXPECT_EQ(memo.Selection(), (TSelectionRange{0, 6}));
    memo.Redo();
    EXPECT_EQ(Text(), "  a\r  b\r  c\rd\r");

    memo.SetSelection(12, 0); // caret at the start this time
    memo.SetIndentStep(3);
    Load(" \ta\r    b\r\rc\r");
    memo.SetSelection(12, 0);
    Run(caBLOCKUND);
    EXPECT_EQ(Text(), "a\r b\r\rc\r");
    EXPECT_EQ(memo.Selection(), (TSelectionRange{7, 0}));
    memo.Undo();
    EXPECT_EQ(Text(), " \ta\r    b\r\rc\r");

    memo.SetIndentStep(25); // out of range: ignored
    EXPECT_EQ(memo.IndentStep(), 3);
    memo.SetIndentStep(0);
    EXPECT_EQ(memo.IndentStep(), 3);
}

TEST_F(Editing, IndentSkipsRowsThatOnlyContinueALongLine) {
    Load(std::string(3000, 'x') + "\ry\r");
    memo.SetSelection(0, memo.TextLength());
    Run(caBLOCKIND);
    const std::string t = Text();
    EXPECT_EQ(t, " " + std::string(3000, 'x') + "\r y\r");
    Check();
}

TEST_F(Editing, WordMovesAndWordDeletion) {
    Load("foo bar_1 baz");
    Caret(6);
    EXPECT_EQ(memo.WordBefore(), 4);
    EXPECT_EQ(memo.WordAfter(), 10);
    Run(caWORDLEFT);
    EXPECT_EQ(memo.SelStart(), 4);
    Run(caWORDRIGHT, true);
    EXPECT_EQ(memo.Selection(), (TSelectionRange{4, 10}));
    Caret(13);
    Run(caDELPREVWORD);
    EXPECT_EQ(Text(), "foo bar_1 ");
    Caret(0);
    Run(caDELNEXTWORD);
    EXPECT_EQ(Text(), "bar_1 ");
    memo.Undo();
    memo.Undo();
    EXPECT_EQ(Text(), "foo bar_1 baz");

    // No word before the caret: deleting the previous word does nothing at all.
    Load(";;;");
    Caret(3);
    EXPECT_EQ(memo.WordBefore(), -1);
    Run(caDELPREVWORD);
    EXPECT_EQ(Text(), ";;;");
    EXPECT_FALSE(memo.CanUndo());
}

TEST_F(Editing, VerticalMovesKeepTheColumn) {
    Load("abcdef\rab\rabcdef\r");
    Caret(5);
    Run(caDOWN);
    EXPECT_EQ(memo.SelStart(), 9); // end of the short line
    Run(caDOWN);
    EXPECT_EQ(memo.SelStart(), 15); // back at column 5
    Run(caDOWN);
    EXPECT_EQ(memo.SelStart(), 17); // the empty line after the final break
    Run(caUP);
    EXPECT_EQ(memo.SelStart(), 10); // start of the last row
    Run(caUP, true);
    EXPECT_EQ(memo.Selection(), (TSelectionRange{10, 7}));
    Caret(2);
    Run(caUP);
    EXPECT_EQ(memo.SelStart(), 2); // first row: stays

    // Page moves go by the visible row count and extend with Shift.
    std::string many;
    for (int i = 0; i < 100; ++i)
        many += "line\r";
    Load(many);
    platform.visibleRows = 10;
    Run(caPAGEDOWN);
    EXPECT_EQ(memo.SelStart(), 50);
    Run(caPAGEDOWN, true);
    EXPECT_EQ(memo.Selection(), (TSelectionRange{50, 100}));
    Run(caDOCEND);
    Run(caPAGEDOWN);
    EXPECT_EQ(memo.SelStart(), 495);
    EXPECT_GE(memo.FirstVisibleLine(), 90);
}

TEST_F(Editing, Utf8CharactersMoveAndDeleteWhole) {
    Load("a\xC3\xA9"
         "b\r");
    Caret(1);
    Run(caRIGHT);
    EXPECT_EQ(memo.SelStart(), 3);
    Run(caLEFT);
    EXPECT_EQ(memo.SelStart(), 1);
    Caret(3);
    Run(caBACKSPACE);
    EXPECT_EQ(Text(), "ab\r");
    memo.KeyChar(U'\u20AC');
    EXPECT_EQ(Text(), "a\xE2\x82\xAC"
                      "b\r");
    Caret(1);
    Run(caDELETE);
    EXPECT_EQ(Text(), "ab\r");
    memo.SetSelection(2, 2);
    Run(caINSTOGGLE);
    Caret(0);
    memo.KeyChar(U'\u00E9');
    EXPECT_EQ(Text(), "\xC3\xA9"
                      "b\r");
    // A position inside a character snaps to its start.
    memo.SetSelection(1, 1);
    EXPECT_EQ(memo.SelStart(), 0);
    int col, line;
    Caret(2);
    memo.GetCaretPos(col, line);
    EXPECT_EQ(col, 2);
}

TEST_F(Editing, CaretAfterEndOfLine) {
    memo.SetOptions(memo.Options().Include(smoCaretAfterEOL));
    Load("ab\rlonger line\r");
    Caret(2);
    Run(caRIGHT);
    Run(caRIGHT);
    EXPECT_TRUE(memo.InVirtualSpace());
    EXPECT_EQ(memo.VirtualColumn(), 4);
    int col, line;
    memo.GetCaretPos(col, line);
    EXPECT_EQ(col, 5);
    Type("x"); // typing in virtual space fills the line out first
    EXPECT_EQ(Text(), "ab\tx\rlonger line\r");
    Caret(2);
    Run(caRIGHT);
    Run(caRIGHT);
    Run(caLEFT);
    Run(caLEFT);
    EXPECT_FALSE(memo.InVirtualSpace());
    // Choosing a selection from outside brings the caret back to the text, so a replacement
    // there is not padded out to the old virtual column.
    Caret(4);
    Run(caRIGHT);
    ASSERT_TRUE(memo.InVirtualSpace());
    memo.SetSelection(0, 0);
    EXPECT_FALSE(memo.InVirtualSpace());
    memo.ReplaceSelection("y");
    EXPECT_EQ(Text(), "yab\tx\rlonger line\r");
}

TEST_F(Editing, SelectionSetterAndLengths) {
    Load("ab\rcd\r");
    memo.SetSelection(-1, 0);
    EXPECT_EQ(memo.Selection(), (TSelectionRange{0, 6}));
    memo.SetSelection(-5, 99);
    EXPECT_EQ(memo.Selection(), (TSelectionRange{0, 6}));
    memo.SetSelection(1, 4);
    EXPECT_EQ(memo.SelLength(), 4); // the break counts two with CR LF
    EXPECT_EQ(memo.SelText(), "b\r\nc");
    memo.SelLineStyle = lsLF;
    EXPECT_EQ(memo.SelLength(), 3);
    EXPECT_EQ(memo.SelText(), "b\rc");
    memo.SetSelLength(2);
    EXPECT_EQ(memo.Selection(), (TSelectionRange{1, 3}));
    memo.SetSelText("XYZ");
    EXPECT_EQ(Text(), "aXYZcd\r");

    int col, line;
    Load("ab\rcd\r");
    memo.SetCaretPos(2, 2);
    EXPECT_EQ(memo.SelStart(), 4);
    memo.SetCaretPos(9, 9); // beyond the end: the line after the final break
    memo.GetCaretPos(col, line);
    EXPECT_EQ(line, 3);
    EXPECT_EQ(col, 1);
    EXPECT_EQ(memo.SelStart(), 6);
}

TEST_F(Editing, EmptyDocumentSurvivesEveryCommand) {
    for (int id = 0; id < caCommandCount; ++id)
        memo.ExecuteCommand(id, id % 2 == 1);
    memo.SetFirstVisibleLine(-5);
    memo.SetCaretPos(-5, -5);
    memo.SetCaretPos(0, 0);
    int col = 0, line = 0;
    memo.GetCaretPos(col, line);
    EXPECT_EQ(col, 1);
    EXPECT_EQ(line, 1);
    EXPECT_EQ(memo.Store().RowAt(&memo, 0).Row, nullptr);
    EXPECT_EQ(Text(), "");
}

TEST_F(Editing, CommandIdsOutsideTheTableAreIgnored) {
    Load("abc");
    Caret(1);
    memo.ExecuteCommand(46);
    memo.ExecuteCommand(-1);
    memo.ExecuteCommand(1000);
    EXPECT_EQ(memo.SelStart(), 1);
    int seen = -1;
    memo.OnCommandRecognised = [&](TCustomSyntaxMemo&, int& id) {
        seen = id;
        id = caDOCEND; // a handler may change the command
    };
    memo.ExecuteCommand(caLEFT);
    EXPECT_EQ(seen, caLEFT);
    EXPECT_EQ(memo.SelStart(), 3);
    memo.OnCommandRecognised = [](TCustomSyntaxMemo&, int& id) { id = 99; };
    memo.ExecuteCommand(caDOCSTART);
    EXPECT_EQ(memo.SelStart(), 3);
}

TEST_F(Editing, TabColumnsTextAndTabDefault) {
    memo.SetTabColumnsText("10 20");
    EXPECT_EQ(memo.TabSettings().Columns[0], 9);
    EXPECT_EQ(memo.TabSettings().Columns[1], 19);
    EXPECT_EQ(memo.NextTabStop(19), 20);
    EXPECT_EQ(memo.TabColumnsText(), "10 20");
    memo.SetTabColumnsText("5;7  9");
    EXPECT_EQ(memo.TabColumnsText(), "5 7 9");

    auto fails = [&](std::string_view text, int id, const char* message) {
        try {
            memo.SetTabColumnsText(text);
            ADD_FAILURE() << "no error for " << text;
        } catch (const ESyntaxMemo& e) {
            EXPECT_EQ(e.MessageId(), id) << text;
            EXPECT_STREQ(e.what(), message) << text;
        }
        EXPECT_EQ(memo.TabColumnsText(), "5 7 9"); // the previous columns stay
    };
    fails("x", msgTabColumnExpected, "Tab stop column value expected");
    fails("4 12a", msgTabColumnExpected, "Tab stop column value expected");
    fails("99999999999999999999", msgTabColumnExpected, "Tab stop column value expected");
    fails("5 5", msgTabColumnsOrder, "Tab columns must be in order and unique");
    fails("8 6", msgTabColumnsOrder, "Tab columns must be in order and unique");
    fails("1", msgTabColumnTooSmall, "Tab column must be > 1");
    std::string many;
    for (int i = 2; i <= 34; ++i)
        many += std::to_string(i) + " ";
    fails(many, msgTooManyTabStops, "Too many tab stops - maximum of 32");

    try {
        memo.SetTabDefault(0);
        ADD_FAILURE();
    } catch (const ESyntaxMemo& e) {
        EXPECT_STREQ(e.what(), "=Illegal default tab stop value, must be > 0");
    }
    EXPECT_EQ(memo.TabDefault(), 4);
    memo.SetTabColumnsText("");
    memo.SetTabDefault(8);
    EXPECT_EQ(memo.NextTabStop(3), 8);
}

TEST_F(Editing, OptionWordAndModified) {
    EXPECT_EQ(memo.OptionWord(), 67099632u);
    TSyntaxMemoOptions o = memo.Options();
    EXPECT_FALSE(o.Has(smoWordWrap));
    EXPECT_FALSE(o.Has(smoCaretAfterEOL));
    EXPECT_FALSE(o.Has(smoLineNumbers));
    EXPECT_FALSE(o.Has(smoShowAllChars));
    EXPECT_FALSE(o.Has(smoWrapOverride));
    EXPECT_TRUE(o.Has(smoSyntaxHighlight));
    EXPECT_TRUE(o.Has(smoOLEDragSource));
    EXPECT_EQ(TSyntaxMemoOptions::FromWord(o.ToWord()).ToWord(), 67099632u);
    memo.SetOptions(o.Include(smoLineNumbers));
    EXPECT_EQ(memo.OptionWord(), 67099633u);
    EXPECT_NE(memo.ChangeBits() & chOptions, 0u);

    Type("ab");
    EXPECT_TRUE(memo.Modified());
    memo.SetModified(true); // no effect
    EXPECT_TRUE(memo.CanUndo());
    memo.SetModified(false); // clears the log
    EXPECT_FALSE(memo.Modified());
    EXPECT_FALSE(memo.CanUndo());

    // A save point: saving with the history kept, then undo and redo around it.
    Type("c");
    memo.Store().UndoLog()->MarkSaved();
    EXPECT_FALSE(memo.Modified());
    memo.Undo();
    EXPECT_TRUE(memo.Modified());
    memo.Redo();
    EXPECT_FALSE(memo.Modified());
}

TEST_F(Editing, ChangeNotificationAndTextEvents) {
    std::vector<std::pair<TextOffset, int32_t>> changes;
    int onChange = 0;
    memo.OnTextChange = [&](TCustomSyntaxMemo&, TextOffset at, int32_t delta) {
        changes.emplace_back(at, delta);
    };
    memo.OnChange = [&](TCustomSyntaxMemo& m) {
        ++onChange;
        EXPECT_NE(m.ChangeBits(), 0u);
    };
    Type("ab");
    EXPECT_EQ(changes, (std::vector<std::pair<TextOffset, int32_t>>{{0, 1}, {1, 1}}));
    EXPECT_EQ(onChange, 2);
    EXPECT_EQ(memo.ChangeBits(), 0u);
    Run(caBACKSPACE);
    EXPECT_EQ(changes.back(), (std::pair<TextOffset, int32_t>{1, -1}));
    Caret(0);
    memo.ChangeNotification();
    onChange = 0;
    Run(caDELPREVWORD); // nothing happens: no notification
    EXPECT_EQ(onChange, 0);
}

TEST_F(Editing, ExceptionInAHandlerLeavesNoGroupOpen) {
    Load("abc");
    Caret(3);
    bool fail = true;
    memo.OnTextChange = [&](TCustomSyntaxMemo&, TextOffset, int32_t) {
        if (fail)
            throw std::runtime_error("handler failed");
    };
    EXPECT_THROW(Type("d"), std::runtime_error);
    fail = false;
    EXPECT_FALSE(memo.Store().UndoLog()->GroupOpen());
    Type("e");
    // Both edits are in the log and each is its own step; undo matches the text.
    memo.Undo();
    EXPECT_EQ(Text(), "abcd");
    memo.Undo();
    EXPECT_EQ(Text(), "abc");
    Check();
}

TEST_F(Editing, DamagedLogIsClearedWithABeep) {
    Type("ab");
    // Put a stray record on top: the next undo finds no marker there.
    memo.Store().UndoLog()->PushRecord(TUndoRecord::MakeSelection(0, 0));
    const int beeps = platform.beeps;
    memo.Undo();
    EXPECT_EQ(platform.beeps, beeps + 1);
    EXPECT_FALSE(memo.CanUndo());
    EXPECT_TRUE(memo.Modified()); // the text still differs from the file
    EXPECT_EQ(Text(), "ab");
    Type("c");
    memo.Undo();
    EXPECT_EQ(Text(), "ab");

    // An opened replacement opened again is a broken transaction.
    memo.RecordReplacementBegin();
    try {
        memo.RecordReplacementBegin();
        ADD_FAILURE();
    } catch (const ESyntaxMemo& e) {
        EXPECT_EQ(e.MessageId(), msgBadTransactionLogEntry);
    }
    EXPECT_FALSE(memo.CanUndo());
    EXPECT_THROW(memo.RecordReplacementEnd(), ESyntaxMemo);
}

TEST_F(Editing, ClearEmptiesTextAndLog) {
    Type("abc");
    memo.Clear();
    EXPECT_EQ(Text(), "");
    EXPECT_FALSE(memo.CanUndo());
}

} // namespace
} // namespace kvx

namespace kvx {
namespace {

TEST(SharedDocument, TwoControlsEditOneStoreAndOutliveIt) {
    test::TFakePlatform pa, pb;
    auto a = std::make_unique<TCustomSyntaxMemo>(&pa);
    TCustomSyntaxMemo b(&pb);
    a->KeyChar(U'x');
    b.AttachTextStore(&a->Store());
    EXPECT_EQ(b.Text(), "x");
    b.SetSelection(1, 1);
    b.KeyChar(U'y');
    EXPECT_EQ(a->Text(), "xy");
    a->Undo(); // one log per document, whoever typed
    EXPECT_EQ(b.Text(), "x");
    a.reset(); // the owner goes: the other control falls back to a document of its own
    EXPECT_EQ(b.Text(), "");
    b.KeyChar(U'z');
    EXPECT_EQ(b.Text(), "z");
}

} // namespace
} // namespace kvx
