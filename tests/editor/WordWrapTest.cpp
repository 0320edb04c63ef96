// Word wrap: the break rule on its own, then the control's rows against a model that cuts
// the same text character by character, through switching, edits, resizes, a word-break
// hook, a proportional font, and the background slices of a large document.
#include "editor/WordWrap.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"
#include "support/StoreInvariants.h"
#include "support/WrapModel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kvx {
namespace {

TEST(WordBreak, FindsBreaksAndDelimiters) {
    const char* t = "abc   def";
    EXPECT_EQ(FindWordBreak(t, 5, 9, wbBreakLeft), 6);           // inside the blanks: past them
    EXPECT_EQ(FindWordBreak(t, 3, 9, wbBreakLeft), 6);           // at their start
    EXPECT_EQ(FindWordBreak(t, 7, 9, wbBreakLeft), 6);           // before the word that straddles
    EXPECT_EQ(FindWordBreak("abcdefgh", 5, 8, wbBreakLeft), 5);  // a word longer than the row
    EXPECT_EQ(FindWordBreak(" abcdefgh", 5, 9, wbBreakLeft), 5); // a blank at 0 is no break
    EXPECT_EQ(FindWordBreak("abcdefgh", 0, 8, wbBreakLeft), 0);
    EXPECT_EQ(FindWordBreak(t, 1, 9, wbNextWord), 6);
    EXPECT_EQ(FindWordBreak(t, 4, 9, wbNextWord), 6);
    EXPECT_EQ(FindWordBreak(t, 7, 9, wbNextWord), 9); // never past the end
    EXPECT_EQ(FindWordBreak(t, 3, 9, wbIsDelimiter), 1);
    EXPECT_EQ(FindWordBreak(t, 2, 9, wbIsDelimiter), 0);
    EXPECT_EQ(FindWordBreak("\x01", 0, 1, wbIsDelimiter), 1);
    EXPECT_EQ(FindWordBreak("\xA0", 0, 1, wbIsDelimiter), 1);           // Windows-1252
    EXPECT_EQ(FindWordBreak("\xC3\xA0", 1, 2, wbIsDelimiter, true), 0); // a in UTF-8
    EXPECT_EQ(FindWordBreak("\xC2\xA0", 0, 2, wbIsDelimiter, true), 1); // no-break space
    EXPECT_EQ(FindWordBreak("\xC2\xA0", 1, 2, wbIsDelimiter, true), 1);
    // A no-break space that is the first character is no place for a break either.
    EXPECT_EQ(FindWordBreak("\xC2\xA0"
                            "abcdef",
                            6, 8, wbBreakLeft, true),
              6);
    EXPECT_EQ(FindWordBreak(t, 3, 9, 3), 0); // unknown code
    // Positions outside the text are clamped; no text has no break.
    EXPECT_EQ(FindWordBreak(t, 99, 9, wbBreakLeft), 9);
    EXPECT_EQ(FindWordBreak(t, -4, 9, wbNextWord), 6);
    EXPECT_EQ(FindWordBreak(nullptr, 0, 5, wbBreakLeft), 0);
    EXPECT_EQ(FindWordBreak(t, 2, 0, wbIsDelimiter), 0);
}

class WordWrap : public ::testing::Test {
  protected:
    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};
    TWordWrap& wrap = memo.View().WordWrap();

    void Wrap(bool on) {
        memo.SetOptions(on ? memo.Options().Include(smoWordWrap)
                           : memo.Options().Exclude(smoWordWrap));
    }
    std::vector<int> Rows() {
        std::vector<int> v;
        for (const TLineNode* r = memo.Store().FirstRow(); r; r = r->Next())
            v.push_back(r->Length());
        return v;
    }
    std::vector<TextOffset> Starts() {
        std::vector<TextOffset> v;
        TextOffset at = 0;
        for (const TLineNode* r = memo.Store().FirstRow(); r; r = r->Next()) {
            v.push_back(at);
            at += r->Length();
        }
        return v;
    }
    test::TWrapModel Model() {
        test::TWrapModel m;
        m.wrap = memo.HasOption(smoWordWrap);
        m.width = wrap.WrapWidth();
        m.utf8 = memo.Store().Utf8();
        m.tabDefault = memo.TabDefault();
        for (int32_t c : memo.TabSettings().Columns)
            if (c >= 0)
                m.tabStops.push_back(c);
        if (memo.HasOption(smoWrapOverride))
            m.overrideChars = wrap.WrapOverride();
        return m;
    }
    // The rows as the model cuts the control's text, and the store's promises.
    void ExpectModelRows(const std::string& where) {
        SCOPED_TRACE(where);
        EXPECT_EQ(test::CheckStore(memo.Store(), memo.HasOption(smoWordWrap)), "");
        const std::vector<TextOffset> want = test::WrapRowStarts(memo.Text(), Model());
        const std::vector<TextOffset> got = Starts();
        if (got == want)
            return;
        size_t k = 0;
        while (k < got.size() && k < want.size() && got[k] == want[k])
            ++k;
        ADD_FAILURE() << "row " << k << " starts at "
                      << (k < got.size() ? std::to_string(got[k]) : "none") << ", expected "
                      << (k < want.size() ? std::to_string(want[k]) : "none");
    }
};

TEST_F(WordWrap, CutsAsTheRuleSays) {
    // WrapAtColumn below the minimum wraps at 20; 0 means the window's width less four.
    wrap.SetWrapAtColumn(10);
    EXPECT_EQ(wrap.WrapWidth(), 20);
    wrap.SetWrapAtColumn(70000); // outside the property's range: ignored
    EXPECT_EQ(wrap.WrapAtColumn(), 10);
    memo.SetWholeText("aaaa bbbb cccc dddd eeee\r" + std::string(30, 'x'));
    EXPECT_EQ(Rows(), (std::vector<int>{25, 30})); // not wrapped yet
    Wrap(true);
    // After the fourth word and its blank; a word longer than a row at the width.
    EXPECT_EQ(Rows(), (std::vector<int>{20, 5, 20, 10}));
    EXPECT_EQ(memo.Text(), "aaaa bbbb cccc dddd eeee\r" + std::string(30, 'x'));
    ExpectModelRows("the examples");

    // A run of blanks stays at the end of its row, but no row passes the row cap.
    memo.SetWholeText("ab" + std::string(3000, ' ') + "cd");
    EXPECT_EQ(Rows(), (std::vector<int>{2047, 955, 2}));
    ExpectModelRows("blanks");

    // The no-break space of a UTF-8 document is a delimiter, a letter's continuation byte
    // 160 is not.
    memo.SetWholeText("\xC3\xA0\xC3\xA0\xC3\xA0 aaaaaaaa\xC2\xA0"
                      "bbbbbbbbbbbbb");
    EXPECT_EQ(Rows(), (std::vector<int>{17, 13}));
    ExpectModelRows("no-break space");

    // Lines that start with a WrapOverride character are cut at the row cap alone.
    const std::string quoted = ">" + std::string(2999, 'q') + "\r";
    memo.SetWholeText(quoted + ":short words are not wrapped either\r" + quoted);
    EXPECT_EQ(Rows().size(), 150u + 2u + 150u);
    memo.SetOptions(memo.Options().Include(smoWrapOverride));
    EXPECT_EQ(Rows(), (std::vector<int>{2047, 954, 36, 2047, 954}));
    ExpectModelRows("override");
    wrap.SetWrapOverride(":");
    EXPECT_EQ(Rows().size(), 150u + 1u + 150u);
    ExpectModelRows("override changed");

    // Off: every line is one row again, a long one cut at the cap; the text never changed.
    Wrap(false);
    EXPECT_EQ(Rows(), (std::vector<int>{2047, 954, 36, 2047, 954}));
    EXPECT_EQ(memo.Text(), quoted + ":short words are not wrapped either\r" + quoted);
    memo.SetWholeText(std::string(5000, 'z'));
    EXPECT_EQ(Rows(), (std::vector<int>{2047, 2047, 906}));
    EXPECT_EQ(test::CheckStore(memo.Store()), "");
}

TEST_F(WordWrap, SwitchingKeepsTextTokensMarksAndTheCaret) {
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += "line " + std::to_string(i) + std::string(size_t(i * 7 % 190), 'w') + " end\r";
    memo.SetWholeText(text);
    // Token bytes as a highlighting pass would leave them: one per character, from its
    // offset, so that any cut shows whether they went with their characters.
    TextOffset at = 0;
    for (TLineNode* r = memo.Store().FirstRow(); r; r = r->Next()) {
        uint8_t* t = r->AllocStyles();
        for (int i = 0; i < r->Length(); ++i)
            t[i] = static_cast<uint8_t>((at + i) * 7);
        at += r->Length();
    }
    memo.ForgetRescan();
    memo.SetBookmark(3, 41, 5); // line 41 is row 40
    memo.SetSelection(1234, 1240);
    const uint64_t freed = memo.Store().RowsFreed();

    Wrap(true);
    EXPECT_GT(memo.Store().RowsFreed(), freed);
    ExpectModelRows("on");
    EXPECT_EQ(memo.Text(), text);
    EXPECT_EQ(memo.Selection(), (TSelectionRange{1234, 1240}));
    // The bookmark is on the first row of its line, the token bytes on their characters,
    // and nothing is left for the highlighting to do.
    const TRowFinger line40 =
        memo.Store().RowAt(nullptr, static_cast<TextOffset>(text.find("line 40")));
    EXPECT_EQ(memo.BookmarkRow(3), line40.Index);
    at = 0;
    for (const TLineNode* r = memo.Store().FirstRow(); r; r = r->Next()) {
        ASSERT_NE(r->Styles(), nullptr);
        for (int i = 0; i < r->Length(); ++i)
            ASSERT_EQ(r->Styles()[i], static_cast<uint8_t>((at + i) * 7)) << "offset " << at + i;
        at += r->Length();
    }
    EXPECT_EQ(memo.RescanFrom().Row, nullptr);

    Wrap(false);
    EXPECT_EQ(Rows().size(), 60u);
    EXPECT_EQ(test::CheckStore(memo.Store()), "");
    EXPECT_EQ(memo.Text(), text);
    EXPECT_EQ(memo.BookmarkRow(3), 40);
    EXPECT_EQ(memo.Store().RowByIndex(17).Row->Styles()[3],
              static_cast<uint8_t>((text.find("line 17") + 3) * 7));

    // Rows that were never highlighted are left for the highlighting after a cut.
    memo.SetWholeText(text);
    Wrap(true);
    EXPECT_NE(memo.RescanFrom().Row, nullptr);
}

TEST_F(WordWrap, EditsAtRandomWidthsCutAsTheModel) {
    std::mt19937 rnd(1801);
    auto below = [&](int n) { return static_cast<int>(rnd() % static_cast<unsigned>(n)); };
    static const char* const kPieces[] = {
        "a", "word ", " ",  "\t", "\xC3\xA9", "\xE2\x82\xAC",         "\xC2\xA0", "\r",
        "x", "long",  "  ", ">",  ":",        "supercalifragilistic",
    };
    auto piece = [&] {
        std::string s;
        for (int n = 1 + below(12); n > 0; --n)
            s += kPieces[below(int(std::size(kPieces)))];
        return s;
    };
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += piece() + piece() + piece() + "\r";
    memo.SetWholeText(text);
    memo.SetTabColumnsText("7 13");
    Wrap(true);
    ExpectModelRows("start");
    for (int step = 0; step < 1500 && !HasFailure(); ++step) {
        const int k = below(100);
        const std::string where = "step " + std::to_string(step);
        if (k < 5) {
            // Another width; the caret stays on its character.
            const TSelectionRange sel = memo.Selection();
            switch (below(4)) {
            case 0:
                wrap.SetWrapAtColumn(below(3) == 0 ? 0 : 15 + below(100));
                break;
            case 1:
                platform.visibleColumns = 10 + below(120);
                wrap.Update();
                break;
            case 2:
                memo.SetOptions(below(2) ? memo.Options().Include(smoWrapOverride)
                                         : memo.Options().Exclude(smoWrapOverride));
                break;
            default:
                memo.SetTabDefault(1 + below(8));
                break;
            }
            EXPECT_EQ(memo.Selection(), sel) << where;
        } else if (k < 7) {
            Wrap(!memo.HasOption(smoWordWrap));
        } else {
            // A typed character, a deletion, a paste: around the caret or anywhere.
            const TextOffset n = memo.TextLength();
            const TextOffset a =
                below(4) ? std::clamp<TextOffset>(memo.Selection().Caret + below(9) - 4, 0, n)
                         : below(n + 1);
            const TextOffset b = std::clamp<TextOffset>(a + (below(3) ? 0 : below(40)), 0, n);
            memo.SetSelection(a, b);
            if (k < 50)
                memo.ReplaceSelection(kPieces[below(int(std::size(kPieces)))]);
            else if (k < 70)
                memo.ReplaceSelection(piece());
            else if (k < 85)
                memo.ExecuteCommand(below(2) ? caDELETE : caBACKSPACE);
            else
                memo.ReplaceSelection("");
        }
        ExpectModelRows(where);
        if (memo.TextLength() > 6000) {
            memo.SetSelection(0, 3000);
            memo.ReplaceSelection("");
        }
    }
    // Undone to the start, the rows are still cut for the width in force.
    while (memo.CanUndo() && !HasFailure())
        memo.Undo();
    ExpectModelRows("undone");
}

TEST_F(WordWrap, AWordBreakHookDecidesWhereRowsEnd) {
    memo.SetWholeText("alpha,beta,gamma,delta,epsilon,zeta,eta,theta,iota\rkappa lambda");
    wrap.SetWrapAtColumn(20);
    Wrap(true);
    EXPECT_EQ(Rows(), (std::vector<int>{20, 20, 11, 12})); // no blanks: cut at the width
    // Rows end after the last comma before the limit, unless a "!" anywhere in the rest of
    // the line says to cut at the limit.
    std::vector<int> asked;
    wrap.SetWordBreakProc([&](const char* s, int at, int n, int code) {
        asked.push_back(code);
        EXPECT_GE(at, 0);
        EXPECT_LE(at, n);
        if (std::string_view(s, size_t(n)).find('!') != std::string_view::npos)
            return at;
        for (int i = at - 1; i > 0; --i)
            if (s[i] == ',')
                return i + 1;
        return at;
    });
    EXPECT_EQ(Rows(), (std::vector<int>{17, 19, 15, 12}));
    EXPECT_EQ(std::count(asked.begin(), asked.end(), wbBreakLeft), int(asked.size()));
    // An edit at the line's end changes its first row: with a hook the whole line is cut
    // again, however far the edit is.
    memo.SetSelection(50, 50);
    memo.ReplaceSelection("!");
    EXPECT_EQ(Rows(), (std::vector<int>{20, 20, 12, 12}));

    // Whatever a hook answers, the rows stay sound and the text stays.
    for (const int answer : {-7, 0, 1, 3, 999999}) {
        wrap.SetWordBreakProc([answer](const char*, int, int, int) { return answer; });
        EXPECT_EQ(test::CheckStore(memo.Store(), true), "") << answer;
        EXPECT_EQ(memo.Text(), "alpha,beta,gamma,delta,epsilon,zeta,eta,theta,iota!\rkappa lambda");
    }
    // An empty hook is the built-in rule again.
    wrap.SetWordBreakProc({});
    ExpectModelRows("built-in again");
}

TEST_F(WordWrap, AProportionalFontIsMeasured) {
    platform.fixedPitch = false;
    platform.charWidth = 8;
    auto width = [](std::string_view c) -> Pixel {
        switch (c[0]) {
        case 'i':
        case 'l':
        case '.':
            return 3;
        case 'm':
        case 'w':
        case 'M':
            return 14;
        default:
            return c.size() > 1 ? 11 : 8;
        }
    };
    platform.widthOf = [&](std::string_view c, uint8_t) { return width(c); };
    std::mt19937 rnd(77);
    std::string text;
    static const char* const kWords[] = {"ill ",
                                         "mmmm ",
                                         "wide ",
                                         "i.i.i.i.i.i. ",
                                         "\t",
                                         "\xC3\xA9t\xC3\xA9 ",
                                         "Mmmmmmmmmmmmmmmmmmmmmmmmm "};
    for (int line = 0; line < 80; ++line) {
        for (int n = int(rnd() % 30); n > 0; --n)
            text += kWords[rnd() % std::size(kWords)];
        text += "\r";
    }
    memo.SetWholeText(text);
    wrap.SetWrapAtColumn(24);
    Wrap(true);
    test::TWrapModel m = Model();
    m.widthOf = width;
    m.charWidth = 8;
    EXPECT_EQ(test::CheckStore(memo.Store(), true), "");
    EXPECT_EQ(Starts(), test::WrapRowStarts(text, m));
    // The same rows on a grid, whether measured or counted.
    platform.widthOf = nullptr;
    wrap.FontChanged();
    const std::vector<int> measured = Rows();
    platform.fixedPitch = true;
    wrap.FontChanged();
    EXPECT_EQ(Rows(), measured);
    ExpectModelRows("grid");
}

TEST_F(WordWrap, ResizingRewrapsOnlyWhenTheWidthChanges) {
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += std::string(size_t(i % 13) + 1, 'k') + " words that wrap at some width\r";
    memo.SetWholeText(text);
    Wrap(true);
    ExpectModelRows("80 columns");
    const uint64_t freed = memo.Store().RowsFreed();
    // Same width: nothing is cut again.
    wrap.Update();
    EXPECT_EQ(memo.Store().RowsFreed(), freed);
    // The widget reports its size: the same width (another height) cuts nothing again.
    memo.View().SetClientSize(36 + 80 * 8, 320);
    memo.View().SetClientSize(36 + 80 * 8, 480);
    EXPECT_EQ(memo.Store().RowsFreed(), freed);
    platform.visibleColumns = 30;
    memo.View().SetClientSize(36 + 30 * 8, 480);
    EXPECT_GT(memo.Store().RowsFreed(), freed);
    ExpectModelRows("30 columns");
    // A fixed WrapAtColumn is not moved by the window.
    wrap.SetWrapAtColumn(50);
    const uint64_t at50 = memo.Store().RowsFreed();
    platform.visibleColumns = 100;
    wrap.Update();
    EXPECT_EQ(memo.Store().RowsFreed(), at50);
    ExpectModelRows("at 50");
    // A control without a window wraps as if it were 80 columns wide.
    TCustomSyntaxMemo headless;
    EXPECT_EQ(headless.View().WordWrap().WrapWidth(), 76);
}

TEST_F(WordWrap, ALargeDocumentWrapsTheWindowFirstAndTheRestInSlices) {
    std::string text;
    for (int i = 0; i < 4000; ++i)
        text +=
            "line " + std::to_string(i) + " " + std::string(size_t(i % 150), 'a') + " tail words\r";
    memo.SetWholeText(text);
    platform.visibleRows = 30;
    memo.SetFirstVisibleLine(2000);
    const TextOffset topText = memo.Store().RowByIndex(2000).Offset;
    const TextOffset caret = topText + 123;
    memo.SetSelection(caret, caret, true);
    wrap.SetBackground(true);
    Wrap(true);
    ASSERT_TRUE(wrap.Pending());

    // The window shows the same text at the top, its rows cut for the width already.
    auto expectWindowWrapped = [&](const std::string& where) {
        SCOPED_TRACE(where);
        TTextStore& s = memo.Store();
        const RowIndex top = memo.View().TopRow();
        EXPECT_EQ(s.RowByIndex(top).Offset, topText);
        const std::vector<TextOffset> want = test::WrapRowStarts(memo.Text(), Model());
        const auto it = std::find(want.begin(), want.end(), topText);
        ASSERT_NE(it, want.end());
        for (int k = 0; k < 30; ++k)
            EXPECT_EQ(s.RowByIndex(top + k).Offset, *(it + k)) << "window row " << k;
    };
    expectWindowWrapped("at once");
    // The rows above are still cut as they were.
    EXPECT_EQ(memo.Store().RowByIndex(10).Row->Length(), Rows()[10]);

    // Slices go on from the start and keep the top row's text in the window. Edits between
    // them are cut at once, and the work still waiting follows the text they move.
    int slices = 0;
    int changes = 0;
    memo.OnChange = [&](TCustomSyntaxMemo&) { ++changes; };
    std::string want = text;
    while (wrap.RunSlice(700, std::chrono::seconds(10))) {
        ++slices;
        EXPECT_EQ(memo.Store().RowByIndex(memo.View().TopRow()).Offset,
                  topText + TextOffset(want.size() - text.size()));
        const std::string insert = std::string(size_t(slices % 3) * 40, 'e') + " ";
        memo.SetSelection(0, 0, true);
        memo.ReplaceSelection(insert);
        want.insert(0, insert);
        // The edit brought the caret into view; the window goes back to where it was.
        memo.SetFirstVisibleLine(
            memo.Store().RowAt(nullptr, topText + TextOffset(want.size() - text.size())).Index);
        ASSERT_EQ(memo.Text(), want);
        ASSERT_EQ(test::CheckStore(memo.Store(), true), "");
        ASSERT_LT(slices, 100);
    }
    EXPECT_GT(slices, 3);
    EXPECT_GT(changes, 0);
    EXPECT_FALSE(wrap.Pending());
    ExpectModelRows("all done");

    // A re-wrap with nothing to do finishes in the window's part; switching the slices off
    // finishes any work at once.
    memo.SetFirstVisibleLine(memo.Store().RowCount() / 2);
    platform.visibleColumns = 40;
    wrap.Update();
    EXPECT_TRUE(wrap.Pending());
    wrap.SetBackground(false);
    EXPECT_FALSE(wrap.Pending());
    ExpectModelRows("finished at once");
}

} // namespace
} // namespace kvx
