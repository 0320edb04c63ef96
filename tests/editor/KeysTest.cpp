#include "editor/Bookmarks.h"
#include "editor/KeyMap.h"
#include "editor/KeyNames.h"
#include "editor/Stream.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"
#include "support/StoreInvariants.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kvx {
namespace {

class Keys : public ::testing::Test {
  protected:
    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};
    std::vector<std::pair<int, bool>> ran; // commands recognised, with the extend flag

    // Records the commands the keys reach; `keep` lets them run too.
    void Record(bool keep) {
        memo.OnCommandRecognised = [this, keep](TCustomSyntaxMemo&, int& command) {
            ran.emplace_back(command, false);
            if (!keep)
                command = -1;
        };
    }
    bool Key(uint8_t key, TShiftState shift = 0) { return memo.KeyDown(key, shift); }
};

TEST_F(Keys, EveryDefaultBindingReachesItsCommand) {
    struct TRow {
        uint8_t key;
        TShiftState shift;
        uint8_t second;
        int command;
    };
    std::vector<TRow> table = {
        {vkLeft, 0, 0, caLEFT},
        {vkRight, 0, 0, caRIGHT},
        {vkHome, 0, 0, caLINEHOME},
        {vkEnd, 0, 0, caLINEEND},
        {vkUp, 0, 0, caUP},
        {vkDown, 0, 0, caDOWN},
        {vkPrior, 0, 0, caPAGEUP},
        {vkNext, 0, 0, caPAGEDOWN},
        {vkLeft, ssCtrl, 0, caWORDLEFT},
        {vkRight, ssCtrl, 0, caWORDRIGHT},
        {vkHome, ssCtrl, 0, caDOCSTART},
        {vkEnd, ssCtrl, 0, caDOCEND},
        {'X', ssCtrl, 0, caCUT},
        {'C', ssCtrl, 0, caCOPY},
        {'V', ssCtrl, 0, caPASTE},
        {vkDelete, 0, 0, caDELETE},
        {vkBack, 0, 0, caBACKSPACE},
        {'K', ssCtrl, 'I', caBLOCKIND},
        {'K', ssCtrl, 'U', caBLOCKUND},
        {vkInsert, 0, 0, caINSTOGGLE},
        {'Y', ssCtrl, 0, caDELETELINE},
        {'Z', ssCtrl, 0, caUNDO},
        {'Z', ssCtrl | ssShift, 0, caREDO},
        {vkBack, ssCtrl, 0, caDELPREVWORD},
        {vkDelete, ssCtrl, 0, caDELNEXTWORD},
        {'K', ssCtrl, 'P', caPRINTSEL},
    };
    for (int d = 0; d < 10; ++d) {
        table.push_back({'K', ssCtrl, uint8_t('0' + d), caSETBOOKMARK0 + d});
        table.push_back({'Q', ssCtrl, uint8_t('0' + d), caGOTOBOOKMARK0 + d});
    }
    Record(false);
    for (const TRow& r : table) {
        ran.clear();
        EXPECT_TRUE(Key(r.key, r.shift)) << "key " << int(r.key);
        if (r.second) {
            EXPECT_TRUE(Key(r.second));
        }
        ASSERT_EQ(ran.size(), 1u) << "key " << int(r.key) << " then " << int(r.second);
        EXPECT_EQ(ran[0].first, r.command) << "key " << int(r.key) << " then " << int(r.second);
    }
    // Nothing beyond the table is bound.
    EXPECT_EQ(memo.KeyMap().Keys().Bindings().size(), table.size());
    // Descriptions come from the command texts; 45 has none.
    const TKeyboardActionContoller& def = TKeyboardActionContoller::Default();
    EXPECT_EQ(def.Description(caBLOCKIND), "Indent selected block");
    EXPECT_EQ(def.Description(caGOTOBOOKMARK0 + 7), "Goto Bookmark 7");
    EXPECT_EQ(def.Description(caDELNEXTWORD), "");
    EXPECT_EQ(def.Descriptions().size(), size_t(caCommandCount));
    EXPECT_STREQ(MessageText(4146 + caPRINTSEL), "Print selection");

    TShortcut first = 0, second = 0;
    EXPECT_TRUE(def.Keys().FindBinding(caBLOCKIND, 0, first, second));
    EXPECT_EQ(first, scCtrl | 'K');
    EXPECT_EQ(second, 'I');
    EXPECT_FALSE(def.Keys().FindBinding(caBLOCKIND, 1, first, second));
    EXPECT_EQ(first, 0);
}

TEST_F(Keys, SequencesShiftAndUnboundKeys) {
    memo.SetWholeText("abc\rdef\r");
    memo.SetSelection(0, 2);
    // The second key's modifiers do not count.
    EXPECT_TRUE(Key('K', ssCtrl));
    EXPECT_TRUE(memo.KeyMap().Keys().SequencePending());
    EXPECT_FALSE(Key(vkControl, ssCtrl)); // the modifier alone keeps the sequence waiting
    EXPECT_TRUE(Key('I', ssCtrl));
    EXPECT_EQ(memo.Text(), " abc\rdef\r");

    // A key that does not continue the sequence ends it and is not used, so it is typed.
    Record(true);
    EXPECT_TRUE(Key('K', ssCtrl));
    EXPECT_FALSE(Key('X'));
    EXPECT_FALSE(memo.KeyMap().Keys().SequencePending());
    EXPECT_FALSE(Key('I')); // no longer after Ctrl+K
    // The prefix twice: the second one does not continue the first either.
    EXPECT_TRUE(Key('K', ssCtrl));
    EXPECT_FALSE(Key('K', ssCtrl));
    EXPECT_TRUE(Key('K', ssCtrl));
    EXPECT_TRUE(Key('U'));
    EXPECT_TRUE(ran.size() == 1 && ran[0].first == caBLOCKUND);
    EXPECT_EQ(memo.Text(), "abc\rdef\r");

    // Shift with a movement key extends the selection; Ctrl+Shift+Z is redo, not undo
    // with Shift dropped.
    memo.SetSelection(1, 1);
    EXPECT_TRUE(Key(vkRight, ssShift));
    EXPECT_EQ(memo.Selection().Caret, 2);
    EXPECT_TRUE(Key(vkRight, ssShift | ssCtrl)); // to the next word
    EXPECT_EQ(memo.Selection().Anchor, 1);
    EXPECT_EQ(memo.Selection().Caret, 4);
    EXPECT_TRUE(memo.ShiftExtendKey(vkLeft) && memo.ShiftExtendKey(vkBack));
    EXPECT_FALSE(memo.ShiftExtendKey('Z') || memo.ShiftExtendKey(vkDelete));
    ran.clear();
    EXPECT_TRUE(Key('Z', ssCtrl | ssShift));
    EXPECT_TRUE(Key('Z', ssCtrl));
    ASSERT_EQ(ran.size(), 2u);
    EXPECT_EQ(ran[0].first, caREDO);
    EXPECT_EQ(ran[1].first, caUNDO);
    EXPECT_FALSE(Key('A'));
    EXPECT_FALSE(Key('A', ssShift));
}

TEST_F(Keys, ClashingBindingsAreRefusedWithBothDescriptions) {
    TKeyboardActionContoller map(TKeyboardActionContoller::Default());
    TKeyStore& keys = map.Keys();
    auto clash = [&](TShortcut first, TShortcut second, int command) -> std::string {
        try {
            keys.Bind(first, second, command);
        } catch (const EAmbigiousKeyPair& e) {
            return e.what();
        }
        return "no clash";
    };
    // A prefix cannot also be a key of its own, and the other way round.
    EXPECT_EQ(clash(scCtrl | 'K', 0, caUNDO),
              "Duplicate key sequence definition for\r\n\"Undo\" and \"Indent selected block\"");
    EXPECT_EQ(clash(vkLeft, 'X', caUNDO),
              "Duplicate key sequence definition for\r\n\"Undo\" and \"Cursor left\"");
    // The same key or sequence twice, the second key's modifiers not counting.
    EXPECT_EQ(clash(scCtrl | 'X', 0, caCOPY),
              "Duplicate key sequence definition for\r\n\"Copy to clipboard\" and \"Cut to "
              "clipboard\"");
    EXPECT_NE(clash(scCtrl | 'K', scCtrl | 'I', caUNDO), "no clash");
    // New keys and new sequences under an existing prefix are fine.
    EXPECT_EQ(clash(scAlt | 'U', 0, caUNDO), "no clash");
    EXPECT_EQ(clash(scCtrl | 'K', 'Z', caUNDO), "no clash");
    // In tree order: the sequences under Ctrl+K come before the later single keys.
    TShortcut first = 0, second = 0;
    EXPECT_TRUE(keys.FindBinding(caUNDO, 0, first, second));
    EXPECT_EQ(first, scCtrl | 'K');
    EXPECT_EQ(second, 'Z');
    EXPECT_TRUE(keys.FindBinding(caUNDO, 2, first, second));
    EXPECT_EQ(first, scAlt | 'U');
    EXPECT_EQ(second, 0);
}

TEST_F(Keys, TheMapGoesThroughStreamsWholeOrNotAtAll) {
    TKeyboardActionContoller map(TKeyboardActionContoller::Default());
    map.AddDescription(caUNDO, std::string(300, 'u')); // too long for its length byte
    map.Keys().Bind(scAlt | vkF1, 0, caUNDO);
    TMemoryStream first;
    map.SaveToStream(first);
    first.Seek(0, TSeekOrigin::Begin);
    TKeyboardActionContoller loaded;
    loaded.LoadFromStream(first);
    EXPECT_EQ(first.Position(), first.Size());
    EXPECT_EQ(loaded.Keys().Bindings(), map.Keys().Bindings());
    EXPECT_EQ(loaded.Description(caUNDO), std::string(255, 'u'));
    EXPECT_EQ(loaded.Description(caLEFT), "Cursor left");
    // Saving what was loaded gives the same bytes.
    TMemoryStream second;
    loaded.SaveToStream(second);
    ASSERT_EQ(second.Size(), first.Size());
    EXPECT_EQ(second.Data(), first.Data());

    // Any cut of the stream, or a damaged value, is refused and changes nothing.
    const std::string bytes = first.Data();
    const auto before = loaded.Keys().Bindings();
    auto refused = [&](const std::string& data) {
        TFastMemoryStream in(data.data(), static_cast<int64_t>(data.size()));
        try {
            loaded.LoadFromStream(in);
        } catch (const EStreamError&) {
            return loaded.Keys().Bindings() == before &&
                   loaded.Description(caUNDO) == std::string(255, 'u');
        } catch (const EAmbigiousKeyPair&) {
            return loaded.Keys().Bindings() == before;
        }
        return false;
    };
    for (size_t cut = 0; cut < bytes.size(); cut += 7)
        EXPECT_TRUE(refused(bytes.substr(0, cut))) << "cut at " << cut;
    std::string bad = bytes;
    bad[4] = 46; // the first description's command id
    EXPECT_TRUE(refused(bad));
    bad = bytes;
    bad[0] = '\xFF'; // a description count far beyond the stream
    EXPECT_TRUE(refused(bad));
    // Two bindings of one key in the stream.
    TMemoryStream twice;
    TKeyboardActionContoller small;
    small.Keys().Bind(vkF1, 0, caUNDO);
    small.Keys().Bind(vkF1 + 1, 0, caREDO);
    small.SaveToStream(twice);
    std::string dup = twice.Data();
    dup[dup.size() - 8] = vkF1; // the second binding's key
    EXPECT_TRUE(refused(dup));
    // A second key without a key code would read back as a key of its own.
    TMemoryStream seq;
    TKeyboardActionContoller one;
    one.Keys().Bind(scCtrl | 'K', 'X', caUNDO);
    one.SaveToStream(seq);
    std::string noCode = seq.Data();
    noCode[noCode.size() - 6] = 0;
    noCode[noCode.size() - 5] = 1; // second key 256: Shift... with no key
    EXPECT_TRUE(refused(noCode));
    EXPECT_THROW(one.Keys().Bind(scCtrl | 'K', 256, caREDO), ESyntaxMemo);

    // Copying checks the class.
    TKeyboardActionContoller copy;
    copy.Assign(map);
    EXPECT_EQ(copy.Keys().Bindings(), map.Keys().Bindings());
}

// ---- Bookmarks -------------------------------------------------------------------------

class Bookmarks : public Keys {
  protected:
    void SetUp() override { memo.SetWholeText("line 1\rline 2\rline 3\rline 4\rline 5\rline 6\r"); }
    void CaretTo(int line, int column) { memo.SetCaretPos(column, line); }
    int CaretLine() {
        int column = 0, line = 0;
        memo.GetCaretPos(column, line);
        return line;
    }
};

TEST_F(Bookmarks, FollowTheirLinesThroughEdits) {
    std::vector<int> set;
    memo.OnBookmarkSet = [&](TCustomSyntaxMemo&, int i) { set.push_back(i); };
    CaretTo(5, 3);
    memo.ExecuteCommand(caSETBOOKMARK0 + 1);
    EXPECT_EQ(set, std::vector<int>{1});
    EXPECT_EQ(memo.BookmarkRow(1), 4);
    memo.SetSelection(0, 0);
    memo.ReplaceSelection("new\rnew\rnew\r");
    memo.ExecuteCommand(caGOTOBOOKMARK0 + 1);
    EXPECT_EQ(CaretLine(), 8);
    EXPECT_EQ(memo.Selection().Caret, memo.Text().find("line 5") + 2);
    // The line is shown in the middle of the window.
    platform.visibleRows = 4;
    memo.SetFirstVisibleLine(0);
    memo.GotoBookmark(1);
    EXPECT_EQ(memo.FirstVisibleLine(), 7 - 2);

    // Deleting a whole line from its start takes the bookmark to the line that moves up.
    const TextOffset start = static_cast<TextOffset>(memo.Text().find("line 5"));
    memo.SetSelection(start, start + 7);
    memo.ReplaceSelection("");
    EXPECT_EQ(memo.BookmarkRow(1), 7);
    // A deletion that starts on the line before and swallows the bookmark's row loses it.
    memo.SetSelection(start - 1, start + 7);
    memo.ReplaceSelection("");
    EXPECT_EQ(memo.BookmarkRow(1), -1);
    memo.SetSelection(0, 0);
    memo.GotoBookmark(1);
    EXPECT_EQ(memo.Selection().Caret, 0); // nothing to go to
}

TEST_F(Bookmarks, ToggleMoveReplaceAndRange) {
    CaretTo(2, 1);
    memo.SetBookmark(2);
    memo.SetBookmark(2); // again on the same line: removed
    EXPECT_EQ(memo.BookmarkRow(2), -1);
    memo.SetBookmark(2, 3, 1);
    memo.SetBookmark(2, 4, 1); // elsewhere: moved
    EXPECT_EQ(memo.BookmarkRow(2), 3);

    // One bookmark per line: the new one takes the line.
    memo.SetBookmark(4, 6, 2);
    memo.SetBookmark(3, 6, 2);
    EXPECT_EQ(memo.BookmarkRow(3), 5);
    EXPECT_EQ(memo.BookmarkRow(4), -1);
    EXPECT_EQ(memo.Store().RowByIndex(5).Row->Marks() & rmBookmarkBits, 1 << 3);

    // Bad indexes are refused without changes.
    for (int bad : {-1, 10}) {
        try {
            memo.SetBookmark(bad);
            ADD_FAILURE() << bad;
        } catch (const ESyntaxMemo& e) {
            EXPECT_EQ(e.MessageId(), msgBookmarkIndexRange);
            EXPECT_STREQ(e.what(), "Bookmark index range error");
        }
        EXPECT_THROW(memo.GotoBookmark(bad), ESyntaxMemo);
    }
    // Lines that do not exist, and the empty line after the final break, carry none.
    memo.SetBookmark(5, 99, 1);
    memo.SetSelection(memo.TextLength(), memo.TextLength());
    memo.SetBookmark(5);
    EXPECT_EQ(memo.BookmarkRow(5), -1);
}

TEST_F(Bookmarks, ColumnsBeyondTheLineAndLongLines) {
    CaretTo(3, 6);
    memo.SetBookmark(0);
    // Shorten the line: the caret goes to its end, before the break.
    const TextOffset start = static_cast<TextOffset>(memo.Text().find("line 3"));
    memo.SetSelection(start + 1, start + 6);
    memo.ReplaceSelection("");
    memo.GotoBookmark(0);
    EXPECT_EQ(memo.Selection().Caret, start + 1);
    // On a last line without a break the end itself is reachable.
    memo.SetWholeText("ab\rcdef");
    memo.SetBookmark(9, 2, 50);
    memo.GotoBookmark(9);
    EXPECT_EQ(memo.Selection().Caret, 7);

    // A line longer than a row: the bookmark goes on its first row and keeps the column.
    memo.SetWholeText("x\r" + std::string(3000, 'a') + "b\rz\r");
    memo.SetSelection(2 + 2500, 2 + 2500);
    memo.SetBookmark(7);
    EXPECT_EQ(memo.BookmarkRow(7), 1);
    memo.SetSelection(0, 0);
    memo.GotoBookmark(7);
    EXPECT_EQ(memo.Selection().Caret, 2 + 2500);

    // Past 65,535 characters into a line the column still comes back exactly, set by the
    // caret or given as a number.
    const std::string longLine(200000, 'a');
    memo.SetWholeText("x\r" + longLine + "\r" + longLine + "\r");
    memo.SetSelection(2 + 70000, 2 + 70000);
    memo.SetBookmark(6);
    const int32_t third = memo.Locate(2 + 200001).Index + 1; // one-based, as SetBookmark takes
    memo.SetBookmark(5, third, 150001);
    memo.SetSelection(0, 0);
    memo.GotoBookmark(6);
    EXPECT_EQ(memo.Selection().Caret, 2 + 70000);
    memo.GotoBookmark(5);
    EXPECT_EQ(memo.Selection().Caret, 2 + 200001 + 150000);
}

TEST_F(Bookmarks, NamedPositionsFollowTheText) {
    TCustomBookmarks& named = memo.Store().NamedPositions();
    std::vector<std::string> freed;
    memo.OnCustomBookmarkFree = [&](TCustomSyntaxMemo&, const std::string& n) {
        freed.push_back(n);
    };
    named.Add("start", 0);
    named.Add("mid", 10);
    named.Add("end", 20);
    named.Add("mid2", 10);
    EXPECT_EQ(named.Find("mid"), 10);
    EXPECT_EQ(named.Find("none"), -1);
    memo.SetSelection(10, 10);
    memo.ReplaceSelection("++"); // at a position: it moves along
    EXPECT_EQ(named.Find("start"), 0);
    EXPECT_EQ(named.Find("mid"), 12);
    EXPECT_EQ(named.Find("end"), 22);
    memo.SetSelection(11, 13); // deletes the character at "mid" and "mid2"
    memo.ReplaceSelection("");
    EXPECT_EQ(freed, (std::vector<std::string>{"mid", "mid2"}));
    EXPECT_EQ(named.Find("mid"), -1);
    EXPECT_EQ(named.Find("end"), 20);
    named.Add("end", 1); // moved by name, kept in offset order
    ASSERT_EQ(named.Entries().size(), 2u);
    EXPECT_EQ(named.Entries()[1].Name, "end");
    EXPECT_TRUE(named.Remove("end"));
    EXPECT_FALSE(named.Remove("end"));
    freed.clear();
    memo.SetWholeText("");
    EXPECT_EQ(freed, std::vector<std::string>{"start"});
    EXPECT_TRUE(named.Entries().empty());
}

} // namespace
} // namespace kvx

namespace kvx {
namespace {

TEST(KeyNames, ShortcutsAsTextBothWays) {
    const std::pair<TShortcut, const char*> named[] = {
        {TShortcut(scCtrl | 'J'), "Ctrl+J"},
        {TShortcut(scCtrl | scShift | 'Z'), "Ctrl+Shift+Z"},
        {TShortcut(scAlt | (vkF1 + 3)), "Alt+F4"},
        {vkDelete, "Del"},
        {TShortcut(scCtrl | vkPrior), "Ctrl+PgUp"},
        {TShortcut(scCtrl | vkOem4), "Ctrl+["},
        {TShortcut(scCtrl | scAlt | (vkNumpad0 + 5)), "Ctrl+Alt+Num5"},
    };
    for (const auto& [shortcut, text] : named) {
        EXPECT_EQ(ShortcutToText(shortcut), text);
        EXPECT_EQ(TextToShortcut(text), shortcut) << text;
    }
    // Reading forgives case, spaces and other spellings; nonsense gives no key.
    EXPECT_EQ(TextToShortcut(" control + j "), scCtrl | 'J');
    EXPECT_EQ(TextToShortcut("shift+delete"), scShift | vkDelete);
    EXPECT_EQ(TextToShortcut("Ctrl++"), scCtrl | scShift | vkOemPlus);
    for (const char* bad : {"", "Ctrl+", "Hyper+J", "F25", "Ctrl+Foo", "JJ"})
        EXPECT_EQ(TextToShortcut(bad), 0) << bad;
    EXPECT_EQ(ShortcutToText(0), "");

    uint8_t key = 0;
    bool shift = false;
    ASSERT_TRUE(KeyForChar(':', key, shift));
    EXPECT_TRUE(key == vkOem1 && shift);
    ASSERT_TRUE(KeyForChar('(', key, shift));
    EXPECT_TRUE(key == '9' && shift);
    ASSERT_TRUE(KeyForChar('q', key, shift));
    EXPECT_TRUE(key == 'Q' && !shift);
    EXPECT_FALSE(KeyForChar('\xE9', key, shift));
}

} // namespace
} // namespace kvx

namespace kvx {
namespace {

TEST(Expansion, ReplacesTheKeywordIndentsAndPlacesTheCaretAsOneUndoStep) {
    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};
    memo.SetWholeText("x\r    beg\ry");
    memo.SetSelection(9, 9);
    memo.ExpandKeyword("beg", "begin\r\n|end\nlast", true, true);
    EXPECT_EQ(memo.Text(), "x\r    begin\r    end\r    last\ry");
    EXPECT_EQ(memo.Selection(), (TSelectionRange{16, 16})); // before "end"
    memo.ExecuteCommand(caUNDO);
    EXPECT_EQ(memo.Text(), "x\r    beg\ry");
    EXPECT_EQ(memo.Selection().Caret, 9);

    // Without the flags: no indent, "|" kept, the caret after the text; control bytes are
    // made storable.
    memo.SetSelection(9, 9);
    memo.ExpandKeyword("beg", "a|b\r\x01", false, false);
    EXPECT_EQ(memo.Text(), "x\r    a|b\r.\ry");
    EXPECT_EQ(memo.Selection().Caret, 11);
    // An empty keyword replaces the selection.
    memo.SetSelection(0, 1);
    memo.ExpandKeyword("", "zz", false, true);
    EXPECT_EQ(memo.Text(), "zz\r    a|b\r.\ry");
}

} // namespace
} // namespace kvx
