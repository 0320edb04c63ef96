// The editor's search entries: plain and regular-expression search from the selection,
// whole words, case, the replace step, the replacement template and the error text.
#include "regex/MemoSearch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kvx;

namespace {

constexpr unsigned kFwd = soNoDialog;
constexpr unsigned kBack = soNoDialog | soBackward;

// Every occurrence the plain search may report, by brute force.
TextOffset Expected(const std::string& doc, const std::string& pat, TextOffset selStart,
                    TextOffset selEnd, bool backward) {
    const TextOffset n = static_cast<TextOffset>(doc.size());
    const TextOffset m = static_cast<TextOffset>(pat.size());
    if ((backward && selStart == 0) || (!backward && selEnd >= n))
        return -1;
    if (!backward) {
        for (TextOffset s = selStart; s + m <= n; ++s)
            if (doc.compare(s, m, pat) == 0)
                return s;
    } else {
        for (TextOffset s = selStart - m; s >= 0; --s)
            if (doc.compare(s, m, pat) == 0)
                return s;
    }
    return -1;
}

} // namespace

TEST(MemoSearch, PlainSearchFindsEveryOccurrenceBothWays) {
    // All texts over {a,b} up to six characters, all patterns up to three, every start:
    // the skip-table search must agree with brute force (a window shift would miss "bb" in
    // "abb").
    TCustomSyntaxMemo memo;
    TMemoSearch search(memo);
    for (int len = 1; len <= 6; ++len)
        for (int bits = 0; bits < (1 << len); ++bits) {
            std::string doc;
            for (int i = 0; i < len; ++i)
                doc += (bits >> i) & 1 ? 'b' : 'a';
            memo.SetWholeText(doc);
            for (int plen = 1; plen <= 3; ++plen)
                for (int pbits = 0; pbits < (1 << plen); ++pbits) {
                    std::string pat;
                    for (int i = 0; i < plen; ++i)
                        pat += (pbits >> i) & 1 ? 'b' : 'a';
                    for (TextOffset at = 0; at <= len; ++at)
                        for (bool backward : {false, true}) {
                            memo.SetSelection(at, at);
                            TextOffset pos = -1;
                            const bool found = search.Search(pat, backward ? kBack : kFwd, pos);
                            const TextOffset want = Expected(doc, pat, at, at, backward);
                            ASSERT_EQ(found ? pos : -1, want)
                                << doc << " / " << pat << " at " << at << (backward ? " back" : "");
                            if (found) {
                                EXPECT_EQ(memo.SelStart(), pos);
                                EXPECT_EQ(memo.Selection().End(), pos + plen);
                            }
                        }
                }
        }
}

TEST(MemoSearch, CaseAndWholeWords) {
    TCustomSyntaxMemo memo;
    memo.SetWholeText("max MOV ax, [bx]\rmov\xe9 mov");
    TMemoSearch search(memo);
    TextOffset pos = -1;
    memo.SetSelection(0, 0);
    ASSERT_TRUE(search.Search("mov", kFwd, pos)); // caseless folds a-z only
    EXPECT_EQ(pos, 4);
    ASSERT_TRUE(search.Search("MOV", kFwd | soMatchCase, pos));
    EXPECT_EQ(pos, 4);
    memo.SetSelection(0, 0);
    ASSERT_TRUE(search.Search("mov", kFwd | soMatchCase, pos));
    EXPECT_EQ(pos, 17);
    memo.SetSelection(0, 0);
    ASSERT_TRUE(search.Search("ax", kFwd | soWholeWord, pos)); // not the ax of max
    EXPECT_EQ(pos, 8);
    memo.SetSelection(0, 0);
    ASSERT_FALSE(search.Search("\xc9", kFwd, pos)); // no folding above 127
    memo.SetSelection(30, 30);
    ASSERT_TRUE(search.Search("ax", kBack | soWholeWord, pos));
    EXPECT_EQ(pos, 8);
    // An empty search text finds nothing and leaves the selection alone.
    memo.SetSelection(3, 5);
    EXPECT_FALSE(search.Search("", kFwd, pos));
    EXPECT_EQ(memo.SelStart(), 3);
}

TEST(MemoSearch, FindNextMovesOnFromTheCurrentHit) {
    TCustomSyntaxMemo memo;
    memo.SetWholeText("AB ab Ab x x");
    TMemoSearch search(memo);
    TextOffset pos = -1;
    memo.SetSelection(0, 0);
    // The selected hit is skipped by the search's own case rule, not by exact equality.
    ASSERT_TRUE(search.FindNext("ab", kFwd, pos));
    EXPECT_EQ(pos, 0);
    ASSERT_TRUE(search.FindNext("ab", kFwd, pos));
    EXPECT_EQ(pos, 3);
    ASSERT_TRUE(search.FindNext("ab", kFwd, pos));
    EXPECT_EQ(pos, 6);
    EXPECT_FALSE(search.FindNext("ab", kFwd, pos));
    // Backwards, a one-character hit does not come back again.
    memo.SetSelection(12, 12);
    ASSERT_TRUE(search.FindNext("x", kBack, pos));
    EXPECT_EQ(pos, 11);
    ASSERT_TRUE(search.FindNext("x", kBack, pos));
    EXPECT_EQ(pos, 9);
    EXPECT_FALSE(search.FindNext("x", kBack, pos));
}

TEST(MemoSearch, FindNextStepsOverAnEmptyMatchItFound) {
    TCustomSyntaxMemo memo;
    memo.SetWholeText("ab\rcd\r");
    TMemoSearch search(memo);
    TextOffset pos = -1;
    const unsigned re = kFwd | soRegExpr;
    // $ matches the empty text before each break: every Find Next goes on to the next one.
    memo.SetSelection(0, 0);
    std::vector<TextOffset> hits;
    while (search.FindNext("$", re, pos) && hits.size() < 10)
        hits.push_back(pos);
    EXPECT_EQ(hits, (std::vector<TextOffset>{2, 5}));
    // An empty match at the caret is found the first time, then stepped over.
    memo.SetWholeText("ab");
    memo.SetSelection(0, 0);
    hits.clear();
    while (search.FindNext("x*", re, pos) && hits.size() < 10)
        hits.push_back(pos);
    EXPECT_EQ(hits, (std::vector<TextOffset>{0, 1, 2}));
    // Only the hit FindNext chose itself is skipped: the plain entry still finds it, and
    // another pattern at the same place is not skipped.
    memo.SetSelection(1, 1);
    ASSERT_TRUE(search.FindNext("x*", re, pos));
    EXPECT_EQ(pos, 1);
    ASSERT_TRUE(search.Search("x*", re, pos));
    EXPECT_EQ(pos, 1);
    ASSERT_TRUE(search.FindNext("y*", re, pos));
    EXPECT_EQ(pos, 1);
}

TEST(MemoSearch, RegularExpressionsFromTheSelection) {
    TCustomSyntaxMemo memo;
    memo.SetWholeText("ab ab\rAB ab");
    TMemoSearch search(memo);
    TextOffset pos = -1;
    memo.SetSelection(0, 2);
    // Forwards from the selection's end; case and whole words do not apply.
    ASSERT_TRUE(search.Search("ab", kFwd | soRegExpr | soWholeWord, pos));
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(memo.Selection().End(), 5);
    ASSERT_TRUE(search.Search("ab", kFwd | soRegExpr, pos));
    EXPECT_EQ(pos, 9);
    // Backwards from one before the selection: the selected hit is not found again.
    ASSERT_TRUE(search.Search("ab", kBack | soRegExpr, pos));
    EXPECT_EQ(pos, 3);
    ASSERT_TRUE(search.Search("ab", kBack | soRegExpr, pos));
    EXPECT_EQ(pos, 0);
    EXPECT_FALSE(search.Search("ab", kBack | soRegExpr, pos));
    EXPECT_EQ(search.Error().Code, 0);
    // A match across the line break selects it whole.
    memo.SetSelection(0, 0);
    ASSERT_TRUE(search.Search("b\\nA", kFwd | soRegExpr, pos));
    EXPECT_EQ(memo.SelStart(), 4);
    EXPECT_EQ(memo.Selection().End(), 7);
    // After an edit the search sees the new text.
    memo.SetSelection(0, 2);
    memo.ReplaceSelection("zz");
    memo.SetSelection(0, 0);
    ASSERT_TRUE(search.Search("z+", kFwd | soRegExpr, pos));
    EXPECT_EQ(memo.Selection().End(), 2);
}

TEST(MemoSearch, ErrorsAreReportedNotThrown) {
    TCustomSyntaxMemo memo;
    memo.SetWholeText(std::string(50000, 'a'));
    TMemoSearch search(memo);
    TextOffset pos = -1;
    memo.SetSelection(0, 0);
    EXPECT_FALSE(search.Search("a**", kFwd | soRegExpr, pos));
    EXPECT_EQ(search.Error().Code, msgRENestedRepeat);
    EXPECT_EQ(search.Error().Position, 3);
    EXPECT_EQ(FormatRegExprError(search.Error().Message, "a**", search.Error().Position),
              "Nested repeat\r\na**\r\n  ^");
    // An error at the very start keeps the caret in the first column.
    EXPECT_EQ(FormatRegExprError("Invalid parameter", "", 0), "Invalid parameter\r\n\r\n^");
    EXPECT_FALSE(search.Search("(a+){2,}b", kFwd | soRegExpr, pos));
    EXPECT_EQ(search.Error().Code, msgRESearchTooLong);
    search.SetCancelCheck([] { return true; });
    EXPECT_FALSE(search.Search("(a+){2,}b", kFwd | soRegExpr, pos));
    EXPECT_EQ(search.Error().Code, msgRESearchCancelled);
    EXPECT_EQ(search.Error().Message, "Search cancelled");
    EXPECT_EQ(memo.SelStart(), 0);
}

TEST(MemoSearch, ReplaceStepAndTemplate) {
    TCustomSyntaxMemo memo;
    memo.SetWholeText("xx abc abc");
    TMemoSearch search(memo);
    TextOffset pos = -1;
    std::string result;
    memo.SetSelection(0, 0);
    ASSERT_TRUE(search.ReplaceStep("a(b)c", "[%3|%2|%1%4]", soRegExpr, result, pos));
    EXPECT_EQ(result, "[b||ac]");
    EXPECT_EQ(memo.SelStart(), 3);
    EXPECT_EQ(memo.Selection().End(), 6);
    // A plain search starts at the selection's start, so the dialogs move the caret on.
    ASSERT_TRUE(search.ReplaceStep("ABC", "%1\\n", 0, result, pos));
    EXPECT_EQ(pos, 3);
    memo.SetSelection(4, 4);
    ASSERT_TRUE(search.ReplaceStep("ABC", "%1\\n", 0, result, pos)); // plain: taken as is
    EXPECT_EQ(result, "%1\\n");
    EXPECT_EQ(memo.SelStart(), 7);
    EXPECT_EQ(memo.Selection().End(), 10);

    TREParser re;
    ASSERT_TRUE(re.Compile("a()b"));
    ASSERT_TRUE(re.Exec("ab", 0, true));
    struct Case {
        const char* Template;
        std::string Expect;
    };
    const Case cases[] = {
        {"%%", "%"},
        {"50%", "50%"},
        {"%x", "x"},
        {"%1", "a"},
        {"%0", ""},
        {"%256", ""},
        {"%9", ""},     // past the match's entries
        {"%2|%3", "|"}, // the empty group leaves unset entries: nothing, never garbage
        {"\\\\", "\\"},
        {"a\\", "a\\"},
        {"\\n\\R\\t\\B\\f\\S", "\r\n\t\b\f "},
        {"\\x41", "A"},
        {"\\x4Z", std::string("\x04Z")},
        {"ok\\xZ", "ok"}, // \x without a digit ends the expansion
        {"\\101\\61", "A1"},
        {"ok\\400more", "ok"}, // an octal value of 256 or more ends it too
        {"\\q", "q"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExpandReplaceTemplate(c.Template, re, "ab"), c.Expect) << c.Template;
}

// In a UTF-8 document the control keeps selections on character boundaries. Find Next must
// still move on: past a hit that starts with a multi-byte character, and past a hit of a
// pattern that matches single bytes of one.
TEST(MemoSearch, FindNextMovesOnInsideMultiByteCharacters) {
    TCustomSyntaxMemo memo;
    memo.SetWholeText("\xc3\xa9t\xc3\xa9 \xc3\xa9");
    TMemoSearch search(memo);
    TextOffset pos = -1;
    memo.SetSelection(0, 0);
    std::vector<TextOffset> hits;
    while (search.FindNext("\xc3\xa9", kFwd, pos) && hits.size() < 10)
        hits.push_back(pos);
    EXPECT_EQ(hits, (std::vector<TextOffset>{0, 3, 6}));
    memo.SetSelection(0, 0);
    hits.clear();
    while (search.FindNext(".", kFwd | soRegExpr, pos) && hits.size() < 20)
        hits.push_back(pos);
    EXPECT_EQ(hits, (std::vector<TextOffset>{0, 1, 2, 3, 4, 5, 6, 7}));
    // An empty match steps a whole character on.
    memo.SetSelection(0, 0);
    hits.clear();
    while (search.FindNext("x*", kFwd | soRegExpr, pos) && hits.size() < 20)
        hits.push_back(pos);
    EXPECT_EQ(hits, (std::vector<TextOffset>{0, 2, 3, 5, 6, 8}));
}
