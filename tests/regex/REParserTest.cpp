// The pattern language: what each operator and escape matches, the positions a match
// records, every compile error with its position, and the limits that keep a search safe.
#include "regex/REParser.h"
#include "editor/EdStream.h"
#include "editor/SyntaxEd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kvx;

namespace {

struct Hit {
    bool Found = false;
    int32_t Start = -1;
    int32_t End = -1;
};

Hit Find(TREParser& re, const std::string& pattern, const std::string& text, int64_t from = 0,
         bool forward = true) {
    EXPECT_TRUE(re.Compile(pattern)) << pattern << ": " << MessageText(re.ErrorCode());
    Hit h;
    h.Found = re.Exec(text, from, forward);
    if (h.Found) {
        h.Start = re.MatchStart();
        h.End = re.MatchEnd();
    }
    return h;
}

std::vector<int32_t> Entries(const TREParser& re) {
    std::vector<int32_t> v;
    for (int i = 0; i <= re.PositionCount(); ++i)
        v.push_back(re.Position(i));
    return v;
}

struct MatchCase {
    const char* Pattern;
    std::string Text;
    int32_t Start; // -1: no match
    int32_t End;
};

} // namespace

TEST(REParser, OperatorsAndEscapesMatchAtTheRightPlace) {
    const MatchCase cases[] = {
        // ordinary characters, any character, anchors
        {"abc", "xxabcx", 2, 5},
        {"a.c", "abc", 0, 3},
        {"a.c", "a\rc", -1, -1}, // . never matches a line break
        {"a[^x]c", "a\rc", 0, 3},
        {"^abc", "abc", -1, -1},  // no break before the first line
        {"^abc", "x\rabc", 2, 5}, // the break is consumed, the match starts at the a
        {"b$", "ab", -1, -1},     // no break after the last line
        {"b$", "ab\rc", 1, 2},
        {"a\\nc", "a\rc", 0, 3},
        {"a\\rc", "a\nc", 0, 3},
        // quoted literals and numeric escapes
        {"\"a+b\"", "xa+b", 1, 4},
        {"\"\\x41\"", "A", 0, 1},
        {"\\x41B", "AB", 0, 2},
        {"\\X41", "A", 0, 1},
        {"\\101a", "Aa", 0, 2},
        {"\\61a", "1a", 0, 2},
        {"\\t\\ \\f\\b", "\t \f\b", 0, 4},
        {"\\N", "a\r", 1, 2},
        {"a\\.b", "axb a.b", 4, 7},
        {"{a}", "{a}", 0, 3},
        // shorthands
        {"\\d+", "ab123c", 2, 5},
        {"\\D", "12a", 2, 3},
        {"\\s", "ab c", 2, 3},
        {"\\s", "ab\rc", 2, 3},
        {"\\S+", "  ab ", 2, 4},
        {"\\w+", "  foo_1 ", 2, 7},
        {"\\W", "ab+", 2, 3},
        // classes
        {"[a-c]+", "xxbcay", 2, 5},
        {"[^a-c]", "abcd", 3, 4},
        {"[\\x41-\\x43]", "zB", 1, 2},
        {"[-a]", "x-", 1, 2},
        {"[\\x80-\\xff]", "a\xe9", 1, 2}, // bytes above 127 compare unsigned
        {"[Mm][Oo][Vv]", "x MoV", 2, 5},
        // repetition
        {"a*ab", "aaab", 0, 4},
        {".*x", "abxcx\rx", 0, 5},
        {"[A-Za-z_][A-Za-z0-9_]*:", "mov ax, 1\rlabel_2: nop", 10, 18},
        {"[a-c][a-c]*x", "abcd abx", 5, 8},
        {"[a-c][a-z]*x", "abcxd", 0, 4},
        {"a+", "baaa", 1, 4},
        {"(ab)+", "ababx", 0, 4},
        {"(ab)*", "x", 0, 0},
        {"a?b", "b", 0, 1},
        {"a?b", "ab", 0, 2},
        {"x{1}", "xx", 0, 1},
        {"ax{0}b", "ab", 0, 2},
        {"x{3}", "xxxxx", 0, 3},
        {"x{3}", "xx", -1, -1},
        {"x{2,}", "xxxxx", 0, 5},
        {"x{,2}", "xxxxx", 0, 2},
        {"x{0,2}", "xxxxx", 0, 2},
        {"x{2,3}", "xxxxx", 0, 3},
        {"x{2,3}y", "xxxxy", 1, 5},
        {"(ab){2}", "ababab", 0, 4},
        {"(ab){1,}c", "ababc", 0, 5},
        {"(ab){,2}c", "abababc", 2, 7},
        // a counted repetition that must backtrack into an earlier pass
        {"(a|ab){2}c", "ababc", 0, 5},
        {"(a|ab){1,2}c", "abc", 0, 3},
        // alternation and groups
        {"cat|dog", "hotdog", 3, 6},
        {"a(b|c)d", "xacd", 1, 4},
        {"(a|ab)c", "abc", 0, 3}, // the match keeps its true start after backtracking
        {"(x*)x", "xx", 0, 2},
        // either order
        {"ab||cd", "ab", 0, 2},
        {"ab||cd", "abcd", 0, 4},
        {"ab||cd", "cd", 0, 2},
        {"ab||cd", "cdab", 0, 4},
        {"(a)b||c", "cab", 0, 3},
        {"a|b||c", "cb", 0, 2},
    };
    TREParser re;
    for (const MatchCase& c : cases) {
        const Hit h = Find(re, c.Pattern, c.Text);
        EXPECT_EQ(h.Found, c.Start >= 0) << c.Pattern;
        if (c.Start >= 0 && h.Found) {
            EXPECT_EQ(h.Start, c.Start) << c.Pattern;
            EXPECT_EQ(h.End, c.End) << c.Pattern;
        }
    }
}

TEST(REParser, RecordedPositionsNumberTheItemsOfAMatch) {
    TREParser re;
    // a, the empty start of the group, the group's text, c.
    ASSERT_TRUE(Find(re, "a(b)c", "xabc").Found);
    EXPECT_EQ(Entries(re), (std::vector<int32_t>{1, 2, 2, 3, 4}));
    EXPECT_EQ(re.Position(re.PositionCount() + 2), 4);
    EXPECT_EQ(re.Position(re.PositionCount() + 3), -1);

    // m, o, v, space, an empty item at the group's start, then the group's whole text.
    ASSERT_TRUE(Find(re, "mov (.*)", "mov ax,bx\rnext").Found);
    EXPECT_EQ(Entries(re), (std::vector<int32_t>{0, 1, 2, 3, 4, 4, 9}));

    // Inside the outermost group only the first entry is kept.
    ASSERT_TRUE(Find(re, "(bcd)e", "abcde").Found);
    EXPECT_EQ(Entries(re), (std::vector<int32_t>{1, 1, 4, 5}));

    // A star over one character is one item; ^ records nothing.
    ASSERT_TRUE(Find(re, "^a*b", "x\raab").Found);
    EXPECT_EQ(Entries(re), (std::vector<int32_t>{2, 4, 5}));

    // Records of an alternative that failed are gone from the match.
    ASSERT_TRUE(Find(re, "(xa|xb)c", "xbc").Found);
    EXPECT_EQ(Entries(re), (std::vector<int32_t>{0, 0, 2, 3}));

    EXPECT_THROW(re.Position(256), ERegExpr);
    EXPECT_THROW(re.Position(-1), ERegExpr);
}

TEST(REParser, EveryCompileErrorWithItsPosition) {
    struct ErrorCase {
        std::string Pattern;
        int Code;
        int Position;
    };
    const ErrorCase cases[] = {
        {"", msgREInvalidParameter, 0},
        {"((((((((((a))))))))))", msgRETooManySubExpressions, 10},
        {"(a", msgREUnmatchedParenthesis, 2},
        {"a)", msgREUnmatchedParenthesis, 2},
        {"*a", msgREInvalidRepeat, 1},
        {"a|+", msgREInvalidRepeat, 3},
        {"(a*)*", msgREInvalidRepeat, 5},
        {"$+", msgREInvalidRepeat, 2},
        {"(b?){2}", msgREInvalidRepeat, 5},
        {"a**", msgRENestedRepeat, 3},
        {"a{2}?", msgRENestedRepeat, 5},
        {"a{2", msgREInvalidRange, 3},
        {"a{}", msgREInvalidRange, 3},
        {"a{,}", msgREInvalidRange, 4},
        {"a{x}", msgREInvalidRange, 2},
        {"a{3,2}", msgREInvalidRange, 6},
        {"a{70000}", msgREInvalidRange, 7},
        {"[z-a]", msgREInvalidRange, 4},
        {"[a-]", msgREInvalidRange, 3},
        {"[]", msgREUnmatchedBracket, 2},
        {"[^]", msgREUnmatchedBracket, 3},
        {"[ab", msgREUnmatchedBracket, 3},
        {"\\x", msgREHexDigitExpected, 2},
        {"\\xg", msgREHexDigitExpected, 2},
        {"[\\x]", msgREHexDigitExpected, 3},
        {"a\\", msgREUnexpectedEnd, 2},
        {"\"abc", msgREQuoteExpected, 4},
        {"\"a\\", msgREUnexpectedEnd, 3},
    };
    TREParser re;
    for (const ErrorCase& c : cases) {
        EXPECT_FALSE(re.Compile(c.Pattern)) << c.Pattern;
        EXPECT_EQ(re.ErrorCode(), c.Code) << c.Pattern << ": " << MessageText(re.ErrorCode());
        EXPECT_EQ(re.ErrorPosition(), c.Position) << c.Pattern;
        EXPECT_FALSE(re.Compiled());
        EXPECT_THROW(re.Exec("abc", 0, true), ERegExpr) << "a failed program never runs";
    }
    EXPECT_STREQ(MessageText(msgREQuoteExpected), "' expected");
}

TEST(REParser, CacheRecompilesOnlyAfterAChangeOrAFailure) {
    TREParser re;
    ASSERT_TRUE(re.Compile("ab"));
    EXPECT_EQ(re.ErrorCode(), msgRENoErrors);
    const std::vector<uint8_t> program = re.Program();
    EXPECT_EQ(program[0], 0x9C);
    EXPECT_TRUE(re.Compile("ab"));
    EXPECT_EQ(re.Program(), program);
    EXPECT_FALSE(re.Compile("a("));
    EXPECT_EQ(re.Program()[0], 0x9D);
    EXPECT_TRUE(re.Compile("ab"));
    EXPECT_TRUE(re.Exec("xab", 0, true));
    EXPECT_EQ(re.ErrorCode(), 0);
}

TEST(REParser, BackwardSearchTriesEachStartDownToZero) {
    TREParser re;
    Hit h = Find(re, "ab", "ab ab ab", 8, false); // at the end: one step back first
    EXPECT_EQ(h.Start, 6);
    h = Find(re, "ab", "ab ab ab", 5, false);
    EXPECT_EQ(h.Start, 3);
    h = Find(re, "a[a-z]*", "ab abc", 4, false); // a start inside a word still matches on
    EXPECT_EQ(h.Start, 3);
    EXPECT_EQ(h.End, 6);
    EXPECT_FALSE(Find(re, "ab", "", 0, false).Found);
    EXPECT_FALSE(Find(re, "b", "ab", 0, false).Found);
    // Forwards the end of the text is a start position too.
    h = Find(re, "x*", "ab", 2);
    EXPECT_TRUE(h.Found);
    EXPECT_EQ(h.Start, 2);
}

TEST(REParser, LimitsOfPatternsAndPrograms) {
    TREParser re;
    // Each || roughly doubles the pattern: refused before it grows without bound.
    std::string many = "a";
    for (char c = 'b'; c <= 'z'; ++c)
        many += std::string("||") + c;
    EXPECT_FALSE(re.Compile(many));
    EXPECT_TRUE(re.ErrorCode() == msgREOutOfMemory || re.ErrorCode() == msgRETooManySubExpressions);
    // Parentheses nested far beyond the ten levels the compiler takes, around an either-order
    // operator: refused, without rewriting (or recursing) once per level.
    EXPECT_FALSE(re.Compile(std::string(1000, '(') + "a||b" + std::string(1000, ')')));
    EXPECT_EQ(re.ErrorCode(), msgRETooManySubExpressions);
    EXPECT_FALSE(re.Compile(std::string(100000, '(') + "a||b"));
    EXPECT_EQ(re.ErrorCode(), msgREOutOfMemory); // longer than a rewritten pattern may be
    // A group that ends as soon as it starts is not wrapped again; one that does not is.
    ASSERT_TRUE(re.Compile("(a)b||c"));
    EXPECT_EQ(re.ExpandedPattern(), "((((a)b)(c)?)|((c)((a)b)?))");

    // 128 ranges take 256 counters; one more does not fit.
    std::string counted;
    for (int i = 0; i < 128; ++i)
        counted += "a{2,3}";
    EXPECT_TRUE(re.Compile(counted));
    EXPECT_FALSE(re.Compile(counted + "a{2,3}"));
    EXPECT_EQ(re.ErrorCode(), msgREInternalError);

    // 300 classes make a program whose links no longer fit in 16 bits.
    std::string classes;
    for (int i = 0; i < 300; ++i)
        classes += "[ab]";
    EXPECT_FALSE(re.Compile(classes));
    EXPECT_EQ(re.ErrorCode(), msgREInternalError);

    // More than 255 recorded positions in one match.
    ASSERT_TRUE(re.Compile("(a|b)*"));
    try {
        re.Exec(std::string(300, 'a'), 0, true);
        ADD_FAILURE() << "expected Index range error";
    } catch (const ERegExpr& e) {
        EXPECT_EQ(e.MessageId(), msgREIndexRange);
        EXPECT_EQ(re.ErrorCode(), msgREIndexRange);
    }
    ASSERT_TRUE(re.Compile("x{255}"));
    EXPECT_TRUE(re.Exec(std::string(300, 'x'), 0, true));
    ASSERT_TRUE(re.Compile("x{256}"));
    EXPECT_THROW(re.Exec(std::string(300, 'x'), 0, true), ERegExpr);
}

TEST(REParser, RunawaySearchStopsWithItsOwnError) {
    // Counted repetition works under the step budget: nested loops over a run that never
    // matches run out of it.
    TREParser re;
    ASSERT_TRUE(re.Compile("(a+){2,}b"));
    EXPECT_FALSE(re.Memoized());
    const std::string text(100000, 'a');
    try {
        re.Exec(text, 0, true);
        ADD_FAILURE() << "expected the work budget to run out";
    } catch (const ERegExpr& e) {
        EXPECT_EQ(e.MessageId(), msgRESearchTooLong);
        EXPECT_EQ(re.ErrorCode(), msgRESearchTooLong);
    }
    // The same pattern still works where it can match.
    EXPECT_TRUE(re.Exec("aaab", 0, true));
    EXPECT_EQ(re.MatchEnd(), 4);
}

TEST(REParser, SearchesTheDocumentThroughItsStream) {
    TCustomSyntaxMemo memo;
    memo.SetWholeText("first line\rlabel: mov ax, 1\rend");
    TEdStream stream(memo);
    TREParser re;
    ASSERT_TRUE(re.Compile("^[a-z]+:"));
    ASSERT_TRUE(re.Search(stream, true));
    EXPECT_EQ(re.MatchStart(), 11);
    EXPECT_EQ(re.MatchEnd(), 17);
    EXPECT_EQ(stream.Pos(), 17);
    ASSERT_TRUE(re.Compile("e"));
    stream.SetPosition(memo.TextLength());
    ASSERT_TRUE(re.Search(stream, false));
    EXPECT_EQ(re.MatchStart(), 28); // the e of "end"
    TREParser fresh;
    EXPECT_THROW(fresh.Search(stream, true), ERegExpr);
}
