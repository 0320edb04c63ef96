// The matcher's fast ways against the plain backtracking order, the work a search does on
// texts that make a backtracker run away, and what limits a search: the positions of the
// match found, the step budget of counted patterns over a run of searches, cancelling.
#include "regex/REParser.h"
#include "regex/REVisited.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace kvx;

namespace {

// Patterns over a, b, c with every operator, and texts with runs and line breaks.
class Generator {
  public:
    explicit Generator(uint32_t seed) : rng_(seed) {}

    std::string Pattern(bool counters, int depth = 0) {
        std::string p = Sequence(counters, depth);
        while (Pick(4) == 0) {
            p += Pick(6) == 0 ? "||" : "|";
            p += Sequence(counters, depth);
        }
        return p;
    }

    std::string Text(int longest) {
        static const char alphabet[] = {'a', 'b', 'c', 'a', 'b', '\r', 'x', ' '};
        std::string t;
        const int n = Pick(longest);
        while (static_cast<int>(t.size()) < n) {
            // Runs of one character, which stars loop over.
            const char c = alphabet[Pick(sizeof alphabet)];
            t.append(static_cast<size_t>(Pick(3) == 0 ? 1 + Pick(12) : 1), c);
        }
        return t;
    }

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  private:
    std::string Sequence(bool counters, int depth) {
        std::string s;
        const int n = 1 + Pick(4);
        for (int i = 0; i < n; ++i)
            s += Piece(counters, depth);
        return s;
    }

    std::string Piece(bool counters, int depth) {
        static const char* const atoms[] = {"a",   "b", "c", ".",      "[ab]", "[^a]", "\\w",
                                            "\\s", "^", "$", "\"ab\"", "\"\"", "\\n",  "[a-c]"};
        std::string atom = depth < 3 && Pick(5) == 0 ? "(" + Pattern(counters, depth + 1) + ")"
                                                     : atoms[Pick(std::size(atoms))];
        static const char* const ops[] = {"",  "",  "",    "*",     "+",    "?",
                                          "*", "+", "{2}", "{1,2}", "{2,}", "{,2}"};
        atom += ops[Pick(counters ? 12 : 8)];
        return atom;
    }

    std::mt19937 rng_;
};

struct Outcome {
    int Error = 0;
    bool Found = false;
    std::vector<int32_t> Entries; // the whole position list of a match

    bool operator==(const Outcome&) const = default;
};

Outcome Search(TREParser& re, const std::string& text, int64_t from, bool forward) {
    Outcome o;
    try {
        o.Found = re.Exec(text, from, forward);
    } catch (const ERegExpr& e) {
        o.Error = e.MessageId();
    }
    if (o.Found)
        for (int i = 0; i < 256; ++i)
            o.Entries.push_back(re.Position(i));
    return o;
}

std::string Shown(std::string s) {
    for (char& c : s)
        if (c == '\r')
            c = '~';
    return s;
}

} // namespace

TEST(Matcher, FastWaysFindExactlyWhatThePlainOrderFinds) {
    // Skipping starts, remembering failed states and trying only the positions a star's
    // continuation can start at must leave every match, every recorded position and every
    // error as the plain backtracking order has them, forwards and backwards.
    Generator gen(7);
    int compared = 0;
    for (int i = 0; i < 4000; ++i) {
        const std::string pattern = gen.Pattern(i % 3 == 0);
        TREParser fast, remembering, plain;
        if (!fast.Compile(pattern))
            continue;
        ASSERT_TRUE(remembering.Compile(pattern));
        ASSERT_TRUE(plain.Compile(pattern));
        remembering.SetMode(TREParser::TMode::Remembering);
        plain.SetMode(TREParser::TMode::Plain);
        plain.SetStepBudget(3'000'000, 0);
        for (int t = 0; t < 6; ++t) {
            const std::string text = gen.Text(t < 5 ? 40 : 300);
            const bool forward = gen.Pick(3) != 0;
            const int64_t from = gen.Pick(static_cast<int>(text.size()) + 1);
            const Outcome want = Search(plain, text, from, forward);
            if (want.Error == msgRESearchTooLong)
                continue; // too slow the plain way to compare
            const std::string what = pattern + " on " + Shown(text) + " from " +
                                     std::to_string(from) + (forward ? "" : " backwards");
            ASSERT_EQ(Search(fast, text, from, forward), want) << what;
            ASSERT_EQ(Search(remembering, text, from, forward), want) << what;
            ++compared;
        }
    }
    EXPECT_GT(compared, 10000);
}

TEST(Matcher, RememberedStatesSpanManyPagesOfText) {
    // Texts of many short lines, long enough that the remembered positions fill several
    // pages, against the plain order on the patterns that backtrack most.
    const char* const patterns[] = {".*.*x",      "(.*)(.*)b",    "\\S*\\S*\\S*c", "[^x]*x",
                                    "(a|ab)*c$",  "(a+|b+)+x",    "^(.*a)+ ",      "\\w+$",
                                    "(b*a|a)*ba", "(.*)(b|a)+ax", "[ab]*([ab]c)*x"};
    Generator gen(11);
    int compared = 0;
    std::string text;
    while (text.size() < 12000) {
        text += gen.Text(60);
        text += '\r';
    }
    for (const char* pattern : patterns) {
        TREParser fast, plain;
        ASSERT_TRUE(fast.Compile(pattern)) << pattern;
        ASSERT_TRUE(plain.Compile(pattern));
        fast.SetMode(TREParser::TMode::Remembering);
        plain.SetMode(TREParser::TMode::Plain);
        plain.SetStepBudget(50'000'000, 0);
        for (const bool forward : {true, false}) {
            int64_t from = forward ? 0 : static_cast<int64_t>(text.size());
            for (int round = 0; round < 20; ++round) {
                const Outcome want = Search(plain, text, from, forward);
                if (want.Error == msgRESearchTooLong)
                    break; // too slow the plain way to compare
                ASSERT_EQ(Search(fast, text, from, forward), want) << pattern << " from " << from;
                ++compared;
                if (!want.Found)
                    break;
                from = forward ? std::max<int64_t>(want.Entries[0] + 1, plain.MatchEnd())
                               : want.Entries[0] - 1;
                if (from < 0)
                    break;
            }
        }
    }
    EXPECT_GT(compared, 150);
}

TEST(Matcher, IdiomsAndRunawaysTakeLinearWork) {
    // Each costs a plain backtracker the square (or more) of a run; remembered states make
    // it a few steps per character. The counts are steps, not time, so the test is exact.
    const std::string line(200000, 'a');
    std::string source;
    for (int i = 0; source.size() < 200000; ++i)
        source += "\tmov\teax, [ebx+" + std::to_string(i % 97) + "]\t; step\r";
    struct Case {
        const char* Pattern;
        std::string Text;
        bool Forward;
        int32_t Start; // -1: no match
        int32_t End;
    };
    const Case cases[] = {
        {"\\w+$", line + " y\r", true, 200001, 200002},
        {"\\w+$", line + " y\r", false, 200001, 200002},
        {"[^@]*@", source, true, -1, -1},
        {"(a+)+b", line, true, -1, -1},
        {".*.*Z", line, true, -1, -1},
        {"\\S*\\S*\\S*Z", line + "\r" + line, true, -1, -1},
        {"(.*)(.*)(.*)x", line + "x", true, 0, 200001},
        {"(a|aa)+$", line + "b\r", true, -1, -1},
        {".*.*Z", source, true, -1, -1},
    };
    for (const Case& c : cases) {
        TREParser re;
        ASSERT_TRUE(re.Compile(c.Pattern));
        EXPECT_TRUE(re.Memoized()) << c.Pattern;
        const int64_t from = c.Forward ? 0 : static_cast<int64_t>(c.Text.size());
        ASSERT_EQ(re.Exec(c.Text, from, c.Forward), c.Start >= 0) << c.Pattern;
        if (c.Start >= 0) {
            EXPECT_EQ(re.MatchStart(), c.Start) << c.Pattern;
            EXPECT_EQ(re.MatchEnd(), c.End) << c.Pattern;
        }
        EXPECT_LT(re.Steps(), 40 * static_cast<int64_t>(c.Text.size()))
            << c.Pattern << (c.Forward ? "" : " backwards");
    }
}

TEST(Matcher, OnlyTheMatchFoundDecidesAnIndexRangeError) {
    // 128 groups that may be empty record 256 positions before the a. Whether a search
    // raises must not depend on where it skipped starts or what it remembered: a path that
    // records too many and then fails is just a failed path.
    std::string groups;
    for (int i = 0; i < 128; ++i)
        groups += "(b?)";
    const std::string pattern = groups + "a";
    for (const auto mode :
         {TREParser::TMode::Fast, TREParser::TMode::Remembering, TREParser::TMode::Plain}) {
        TREParser re;
        ASSERT_TRUE(re.Compile(pattern));
        re.SetMode(mode);
        EXPECT_FALSE(re.Exec("xxx", 0, true));
        EXPECT_FALSE(re.Exec("xxxb", 0, true));
        try {
            re.Exec("xxxa", 0, true);
            ADD_FAILURE() << "a match of 257 positions";
        } catch (const ERegExpr& e) {
            EXPECT_EQ(e.MessageId(), msgREIndexRange);
        }
        // A long failed path through a repeated group, then a short match further on.
        ASSERT_TRUE(re.Compile("(a|b)*c"));
        ASSERT_TRUE(re.Exec(std::string(300, 'a') + " bc", 0, true));
        EXPECT_EQ(re.MatchStart(), 301);
        EXPECT_EQ(re.MatchEnd(), 303);
        // A group that drops what it recorded beyond the 255th keeps a good list.
        ASSERT_TRUE(re.Compile("(" + std::string(300, 'x') + ")y"));
        ASSERT_TRUE(re.Exec(std::string(300, 'x') + "y", 0, true));
        EXPECT_EQ(re.PositionCount(), 3);
        EXPECT_EQ(re.Position(2), 300);
    }
}

TEST(Matcher, TheEmptyTextCannotBeRepeated) {
    // Repeating "" would loop without moving on; like any atom that can match the empty
    // text it is an invalid repeat. Making it optional is fine.
    TREParser re;
    for (const char* bad : {"\"\"*", "\"\"+b", "x\"\"{2}", "(\"\"|\"\")+", "\"\"{1,}"}) {
        EXPECT_FALSE(re.Compile(bad)) << bad;
        EXPECT_EQ(re.ErrorCode(), msgREInvalidRepeat) << bad;
    }
    ASSERT_TRUE(re.Compile("\"\"?b"));
    ASSERT_TRUE(re.Exec("aab", 0, true));
    EXPECT_EQ(re.MatchStart(), 2);
}

TEST(Matcher, ARunOfSearchesSharesOneBudget) {
    // A counted pattern over 10,000 matches: each search is cheap, but a run of them as a
    // whole may not take more than one search of the text may.
    std::string text;
    for (int i = 0; i < 10000; ++i)
        text += "aab";
    TREParser re;
    ASSERT_TRUE(re.Compile("a{2}b"));
    re.SetStepBudget(0, 1);
    auto all = [&] {
        int matches = 0;
        for (int64_t from = 0; re.Exec(text, from, true); from = re.MatchEnd())
            ++matches;
        return matches;
    };
    EXPECT_EQ(all(), 10000); // every search has its own budget
    re.BeginRun();
    try {
        all();
        ADD_FAILURE() << "the run should have used up its budget";
    } catch (const ERegExpr& e) {
        EXPECT_EQ(e.MessageId(), msgRESearchTooLong);
    }
    re.EndRun();
    EXPECT_EQ(all(), 10000);
    // A remembering program needs no budget, in a run or not.
    ASSERT_TRUE(re.Compile("a*b"));
    re.BeginRun();
    EXPECT_EQ(all(), 10000);
    re.EndRun();
}

TEST(Matcher, ALongSearchCanBeCancelled) {
    const std::string text(1'000'000, 'a');
    for (const char* pattern : {"(a|aa)+b", "(a+){2,}b", "a*b"}) {
        TREParser re;
        ASSERT_TRUE(re.Compile(pattern));
        int asked = 0;
        re.SetCancelCheck([&] { return ++asked == 1; });
        try {
            re.Exec(text, 0, true);
            ADD_FAILURE() << pattern << ": not cancelled";
        } catch (const ERegExpr& e) {
            EXPECT_EQ(e.MessageId(), msgRESearchCancelled) << pattern;
            EXPECT_EQ(re.ErrorCode(), msgRESearchCancelled);
        }
        EXPECT_EQ(asked, 1);
        // Not cancelled, the same search answers, or runs out of its budget.
        asked = 0;
        re.SetCancelCheck([&] { return ++asked == 0; });
        try {
            EXPECT_FALSE(re.Exec(text, 0, true)) << pattern;
            EXPECT_TRUE(re.Memoized()) << pattern;
        } catch (const ERegExpr& e) {
            EXPECT_EQ(e.MessageId(), msgRESearchTooLong) << pattern;
            EXPECT_FALSE(re.Memoized()) << pattern;
        }
        EXPECT_GT(asked, 0) << pattern;
    }
}

TEST(Matcher, VisitedBitsAcrossPages) {
    re::TVisited v;
    v.Reset(3, 20000);
    v.SetRange(1, 4000, 9000); // three pages of 4096 positions
    EXPECT_FALSE(v.TestAndSet(2, 12345));
    EXPECT_TRUE(v.TestAndSet(2, 12345));
    EXPECT_FALSE(v.Test(1, 3999));
    EXPECT_TRUE(v.Test(1, 4000));
    EXPECT_TRUE(v.Test(1, 4095));
    EXPECT_TRUE(v.Test(1, 4096));
    EXPECT_TRUE(v.Test(1, 9000));
    EXPECT_FALSE(v.Test(1, 9001));
    EXPECT_FALSE(v.Test(0, 5000));
    EXPECT_FALSE(v.Test(2, 12344));
    EXPECT_TRUE(v.Test(2, 12345));
    EXPECT_EQ(v.NextSet(1, 0, 20001), 4000);
    EXPECT_EQ(v.NextSet(1, 8999, 20001), 8999);
    EXPECT_EQ(v.NextSet(1, 9001, 20001), 20001);
    EXPECT_EQ(v.NextSet(1, 0, 3000), 3000);
    EXPECT_EQ(v.NextSet(2, 100, 20001), 12345);
    EXPECT_EQ(v.NextSet(0, 0, 20001), 20001);
    EXPECT_FALSE(v.Full());
    // The next search starts with nothing remembered, on a text of the same or another
    // length.
    v.Reset(3, 20000);
    EXPECT_FALSE(v.Test(1, 4096));
    EXPECT_EQ(v.NextSet(1, 0, 20001), 20001);
    v.Reset(2, 100);
    EXPECT_FALSE(v.Test(1, 50));
    EXPECT_FALSE(v.TestAndSet(1, 100));
    EXPECT_TRUE(v.Test(1, 100));
}
