#include "editor/Keywords.h"
#include "editor/EdStream.h"
#include "editor/SyntaxEd.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kvx {
namespace {

TSM_CharGroup NotIdentifier() {
    TSet256 s;
    for (int c = 0; c < 256; ++c)
        if (std::isalnum(c) || c == '_')
            s.Include(c);
    return TSM_CharGroup(s, true);
}

TKeywords::TMatch At(const TKeywords& k, std::string_view text, const TSet256& states = {0}) {
    TStringCursor in(text);
    return k.Match(in, states);
}

TEST(Keywords, LongestWordCaseAndFollowingClass) {
    TKeywords k;
    k.Add("in", false, 1, {0}, NotIdentifier());
    k.Add("include", false, 2, {0}, NotIdentifier());
    k.Add("MOV", false, 3, {0}, TSM_CharGroup());
    EXPECT_EQ(At(k, "include x").Value, 2);
    EXPECT_EQ(At(k, "include x").Length, 7);
    EXPECT_EQ(At(k, "in x").Value, 1);
    EXPECT_EQ(At(k, "in").Value, 1); // the end of the text may follow a word
    // "in" followed by a letter is part of a longer identifier: no match, length 1.
    const TKeywords::TMatch inside = At(k, "inx");
    EXPECT_FALSE(inside.Found);
    EXPECT_EQ(inside.Length, 1);
    EXPECT_FALSE(At(k, "includes").Found);
    // Case is folded both ways; a word with the empty class matches inside identifiers.
    EXPECT_EQ(At(k, "Mov").Value, 3);
    EXPECT_EQ(At(k, "movzx").Value, 3);
    EXPECT_EQ(At(k, "movzx").Length, 3);
    try {
        k.Add("mov", false, 4);
        ADD_FAILURE() << "mov added twice";
    } catch (const EKeywords& e) {
        EXPECT_EQ(e.MessageId(), msgDuplicateKeyword);
        EXPECT_STREQ(e.what(), "Duplicate keyword - 'mov'");
    }
    EXPECT_EQ(k.Words().size(), 3u);
    EXPECT_EQ(k.Words()[2].Text, "mov");

    // With case respected, spellings are different words.
    TKeywords c;
    c.Add("Ab", true, 1);
    c.Add("ab", true, 2);
    EXPECT_EQ(At(c, "Ab").Value, 1);
    EXPECT_EQ(At(c, "ab").Value, 2);
    EXPECT_FALSE(At(c, "AB").Found);
}

TEST(Keywords, StatesSelectTheEnding) {
    TKeywords k;
    k.Add("end", false, 1, {1, 2}, TSM_CharGroup());
    k.Add("end", false, 2, {3}, TSM_CharGroup());
    k.Add("endif", false, 3, {3}, TSM_CharGroup());
    EXPECT_EQ(At(k, "end", {2}).Value, 1);
    EXPECT_EQ(At(k, "end", {3}).Value, 2);
    EXPECT_EQ(At(k, "endif", {3}).Value, 3);
    EXPECT_EQ(At(k, "endif", {1}).Value, 1); // the longer word is not valid in state 1
    EXPECT_FALSE(At(k, "end", {0, 4}).Found);
    EXPECT_THROW(k.Add("END", false, 5, {2, 7}, TSM_CharGroup()), EKeywords);
    EXPECT_THROW(k.Add("x", false, 256), EKeywords);
    // An empty text adds nothing.
    k.Add("", false, 9);
    EXPECT_EQ(k.Words().size(), 3u);
}

TEST(Keywords, ClassesAreKeptOnceAndLookedUpSafely) {
    TSM_CharGroupManager m;
    TSet256 digits;
    for (int c = '0'; c <= '9'; ++c)
        digits.Include(c);
    EXPECT_EQ(m.Add(TSM_CharGroup()), 0);
    EXPECT_EQ(m.Add(TSM_CharGroup(digits)), 1);
    EXPECT_EQ(m.Add(TSM_CharGroup(digits, true)), 2); // negation makes another class
    EXPECT_EQ(m.Add(TSM_CharGroup(digits)), 1);
    TSM_CharGroup ranged(digits);
    ranged.AddExtraRange('a', 'c');
    EXPECT_EQ(m.Add(ranged), 3);
    EXPECT_TRUE(m.At(3).Contains('b'));
    EXPECT_FALSE(m.At(1).Contains('b'));
    EXPECT_TRUE(m.At(2).Contains('b'));
    EXPECT_EQ(m.At(1).Lowest(), '0');
    EXPECT_EQ(m.At(1).Highest(), '9');
    for (int bad : {-1, 4, 70000}) {
        try {
            m.At(bad);
            ADD_FAILURE() << bad;
        } catch (const ESyntaxMemo& e) {
            EXPECT_EQ(std::string(e.what()), "Invalid Set ID (" + std::to_string(bad) + ")");
        }
    }
    // A tree starts with the empty class at index 0, and Clear brings it back.
    TKeywords k;
    k.Add("a", false, 1, {0}, TSM_CharGroup(digits));
    EXPECT_EQ(k.Classes().Count(), 2);
    k.Clear();
    EXPECT_EQ(k.Classes().Count(), 1);
    EXPECT_TRUE(k.Classes().At(0).IsEmpty());
    EXPECT_FALSE(At(k, "a").Found);

    TSet256 s{0, 9, 255};
    EXPECT_EQ(TSet256::FromBytes(s.Bytes().data()), s);
    EXPECT_EQ(s.Bytes()[1], 0x02);  // member 9: bit 1 of byte 1
    EXPECT_EQ(s.Bytes()[31], 0x80); // member 255: bit 7 of byte 31
}

// The tree against a brute-force search over the same words, on random texts.
TEST(Keywords, AgreesWithBruteForceOnRandomWords) {
    std::mt19937 rnd(20261208);
    const std::string alphabet = "abcAB_1 ";
    auto randomText = [&](int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s.push_back(alphabet[rnd() % alphabet.size()]);
        return s;
    };
    for (int round = 0; round < 20; ++round) {
        TKeywords k;
        struct TRef {
            std::string word;
            int value;
            int state;
            bool boundary;
        };
        std::vector<TRef> ref;
        for (int i = 0; i < 60; ++i) {
            std::string w = randomText(1 + rnd() % 5);
            for (char& c : w)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const int state = static_cast<int>(rnd() % 3);
            const bool boundary = rnd() % 2;
            try {
                k.Add(w, false, i, {state}, boundary ? NotIdentifier() : TSM_CharGroup());
            } catch (const EKeywords&) {
                continue; // the same word in the same state
            }
            ref.push_back({w, i, state, boundary});
        }
        for (int t = 0; t < 200; ++t) {
            const std::string text = randomText(8);
            const int state = static_cast<int>(rnd() % 3);
            int bestLen = 0, bestValue = -1;
            for (const TRef& r : ref) {
                if (r.state != state || r.word.size() > text.size())
                    continue;
                bool same = true;
                for (size_t i = 0; i < r.word.size(); ++i)
                    same = same && std::tolower(static_cast<unsigned char>(text[i])) == r.word[i];
                const unsigned char next = r.word.size() < text.size() ? text[r.word.size()] : 0;
                if (same && r.boundary && (std::isalnum(next) || next == '_'))
                    same = false;
                if (same && static_cast<int>(r.word.size()) > bestLen) {
                    bestLen = static_cast<int>(r.word.size());
                    bestValue = r.value;
                }
            }
            const TKeywords::TMatch m = At(k, text, {state});
            ASSERT_EQ(m.Found, bestValue >= 0) << text;
            if (m.Found) {
                EXPECT_EQ(m.Length, bestLen) << text;
                EXPECT_EQ(m.Value, bestValue) << text;
            }
        }
    }
}

// A 0 byte is a character a word may hold (a script can write one); past the end of the
// text the cursor answers 0 as well, and that must not extend a word beyond the text.
TEST(Keywords, WordsNeverRunPastTheEndOfTheText) {
    using namespace std::string_view_literals;
    TKeywords k;
    k.Add("ab\0\0"sv, false, 1);
    k.Add("b\0"sv, false, 2);
    k.Add("\0"sv, false, 3);
    EXPECT_FALSE(At(k, "ab").Found);
    EXPECT_FALSE(At(k, "b").Found);
    EXPECT_FALSE(At(k, "").Found);
    EXPECT_EQ(At(k, "ab\0\0x"sv).Length, 4);
    EXPECT_EQ(At(k, "b\0"sv).Value, 2);
    TStringCursor in("ab");
    k.Match(in);
    EXPECT_LE(in.Pos(), 2u);

    // A word that does end at the end of the text is found there, in the document too.
    k.Add("ab", false, 4);
    EXPECT_EQ(At(k, "ab").Value, 4);
    TCustomSyntaxMemo memo;
    memo.SetWholeText("xab");
    TEdStream s(memo);
    s.SetPosition(1);
    const TKeywords::TMatch m = k.Match(s, {0});
    EXPECT_EQ(m.Value, 4);
    EXPECT_EQ(m.Length, 2);
    EXPECT_EQ(s.Pos(), 3);
    EXPECT_TRUE(s.AtEnd());
    // At the very end there is nothing to find: a miss of one character that stays put.
    const TKeywords::TMatch none = k.Match(s, {0});
    EXPECT_FALSE(none.Found);
    EXPECT_EQ(s.Pos(), 3);
}

// A compiler or stream reader that catches a refused word carries on with the same tree.
TEST(Keywords, RefusedWordLeavesTreeAndClassesAsTheyWere) {
    TKeywords k;
    TSet256 digits;
    for (int c = '0'; c <= '9'; ++c)
        digits.Include(c);
    k.Add("mov", false, 1, {0, 1}, NotIdentifier());
    const int classes = k.Classes().Count();
    EXPECT_THROW(k.Add("MOV", false, 2, {1, 5}, TSM_CharGroup(digits)), EKeywords);
    EXPECT_THROW(k.Add("x", false, -1, {0}, TSM_CharGroup(digits)), EKeywords);
    EXPECT_EQ(k.Classes().Count(), classes);
    EXPECT_EQ(k.Words().size(), 1u);
    // The refused state 5 was not left on the path: no word is valid there.
    EXPECT_FALSE(At(k, "mov ", {5}).Found);
    k.Add("MOV", false, 3, {5}, TSM_CharGroup(digits));
    EXPECT_EQ(At(k, "mov1", {5}).Value, 3);
    EXPECT_EQ(At(k, "mov ", {1}).Value, 1);
}

// Stored parsers enter every class they hold through Add: equal ones must be found among
// many, and a full manager must refuse a new class without disturbing the old ones.
TEST(Keywords, ManagerKeepsManyClassesOnceAndRefusesTheOneTooMany) {
    TSM_CharGroupManager m;
    auto nth = [](int i) {
        TSet256 s;
        for (int b = 0; b < 16; ++b)
            if ((i >> b) & 1)
                s.Include(b * 16 + 1);
        return TSM_CharGroup(s);
    };
    for (int i = 0; i < 65536; ++i)
        ASSERT_EQ(m.Add(nth(i)), i);
    for (int i : {0, 1, 255, 4097, 65535}) {
        EXPECT_EQ(m.Add(nth(i)), i);
        EXPECT_EQ(m.At(i), nth(i));
    }
    TSM_CharGroup negated = nth(7);
    negated.SetNegated(true);
    try {
        m.Add(negated);
        ADD_FAILURE() << "a class past index 65535";
    } catch (const ESyntaxMemo& e) {
        EXPECT_STREQ(e.what(), "Too many character classes (at most 65536)");
    }
    EXPECT_EQ(m.Count(), 65536);
    EXPECT_EQ(m.Add(nth(7)), 7);

    // Copies keep finding their classes; a cleared manager starts again at 0.
    TSM_CharGroupManager copy = m;
    EXPECT_EQ(copy.Add(nth(300)), 300);
    m.Clear();
    EXPECT_EQ(m.Add(nth(300)), 0);
    TSM_CharGroup ranged = nth(300);
    ranged.AddExtraRange(1, 2);
    EXPECT_EQ(m.Add(ranged), 1);
}

// Lookups over the document's own stream, where the text is cut into rows: a word may
// run across a row boundary, and the stream ends after the word or one past the start.
TEST(Keywords, LooksUpAcrossRowsOfTheDocument) {
    TKeywords k;
    k.Add("mov", false, 1, {0}, NotIdentifier());
    k.Add("movzx", false, 2, {0}, NotIdentifier());
    k.Add(",", false, 3);
    TCustomSyntaxMemo memo;
    // 2044 characters of padding put "movzx" across the cut at 2047.
    const std::string text = std::string(2044, ' ') + "MOVZX eax,\rmov\rmovz";
    memo.SetWholeText(text);
    ASSERT_GT(memo.Store().RowCount(), 3);
    TEdStream s(memo);
    s.SetPosition(2044);
    TKeywords::TMatch m = k.Match(s, {0});
    EXPECT_EQ(m.Value, 2);
    EXPECT_EQ(s.Pos(), 2049);
    s.SetPosition(2053);
    EXPECT_EQ(k.Match(s, {0}).Value, 3);
    EXPECT_EQ(s.Pos(), 2054);
    EXPECT_EQ(k.Match(s, {0}).Value, 0); // the line break
    EXPECT_EQ(s.Pos(), 2055);
    EXPECT_EQ(k.Match(s, {0}).Value, 1); // "mov" followed by a line break
    EXPECT_EQ(s.Pos(), 2058);
    s.SetPosition(2059);
    m = k.Match(s, {0}); // "movz" at the end is neither word
    EXPECT_FALSE(m.Found);
    EXPECT_EQ(m.Length, 1);
    EXPECT_EQ(s.Pos(), 2060);
}

// The tree against a brute-force search, over the document, at every position: words of
// both cases in several states each, with following classes that admit everything, no
// identifier character, only digits or no digits, under trees that fold case and trees
// that do not.
TEST(Keywords, AgreesWithBruteForceOverTheDocument) {
    std::mt19937 rnd(1784);
    const std::string alphabet = "aAbB_1, \r";
    auto randomText = [&](int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s.push_back(alphabet[rnd() % alphabet.size()]);
        return s;
    };
    TSet256 digits;
    for (int c = '0'; c <= '9'; ++c)
        digits.Include(c);
    const TSM_CharGroup follows[] = {TSM_CharGroup(), NotIdentifier(), TSM_CharGroup(digits),
                                     TSM_CharGroup(digits, true)};
    auto fold = [](bool caseSensitive, unsigned char c) {
        return !caseSensitive && c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
    };
    for (int round = 0; round < 12; ++round) {
        const bool caseSensitive = round % 2;
        TKeywords k;
        struct TRef {
            std::string word;
            int value;
            TSet256 states;
            int follow;
        };
        std::vector<TRef> ref;
        for (int i = 0; i < 300; ++i) {
            std::string w = randomText(1 + static_cast<int>(rnd() % 6));
            TSet256 states;
            for (int st = 0; st < 4; ++st)
                if (rnd() % 3 == 0)
                    states.Include(st);
            const int follow = static_cast<int>(rnd() % 4);
            const int value = static_cast<int>(rnd() % 256);
            bool duplicate = false;
            for (const TRef& r : ref) {
                bool same = r.word.size() == w.size();
                for (size_t j = 0; same && j < w.size(); ++j)
                    same = fold(caseSensitive, r.word[j]) == fold(caseSensitive, w[j]);
                duplicate = duplicate || (same && r.states.Meets(states));
            }
            try {
                k.Add(w, caseSensitive, value, states, follows[follow]);
                EXPECT_FALSE(duplicate) << w;
            } catch (const EKeywords& e) {
                EXPECT_TRUE(duplicate) << w;
                EXPECT_EQ(e.MessageId(), msgDuplicateKeyword);
                continue;
            }
            ref.push_back({w, value, states, follow});
        }
        const std::string text = randomText(400);
        TCustomSyntaxMemo memo;
        memo.SetWholeText(text);
        ASSERT_EQ(memo.Text(), text);
        TEdStream s(memo);
        for (size_t at = 0; at < text.size(); ++at) {
            const int state = static_cast<int>(rnd() % 4);
            int bestLen = 0, bestValue = -1;
            for (const TRef& r : ref) {
                if (!r.states.Has(state) || at + r.word.size() > text.size() ||
                    static_cast<int>(r.word.size()) <= bestLen)
                    continue;
                bool same = true;
                for (size_t j = 0; same && j < r.word.size(); ++j)
                    same = fold(caseSensitive, text[at + j]) == fold(caseSensitive, r.word[j]);
                const size_t after = at + r.word.size();
                const auto next = static_cast<unsigned char>(after < text.size() ? text[after] : 0);
                if (same && (r.follow == 0 || follows[r.follow].Contains(next))) {
                    bestLen = static_cast<int>(r.word.size());
                    bestValue = r.value;
                }
            }
            s.SetPosition(static_cast<TextOffset>(at));
            const TKeywords::TMatch m = k.Match(s, {state});
            ASSERT_EQ(m.Found, bestValue >= 0) << "round " << round << " at " << at;
            if (m.Found) {
                EXPECT_EQ(m.Length, bestLen) << "at " << at;
                EXPECT_EQ(m.Value, bestValue) << "at " << at;
                EXPECT_EQ(s.Pos(), static_cast<TextOffset>(at) + bestLen);
            } else {
                EXPECT_EQ(m.Length, 1);
                EXPECT_EQ(s.Pos(), static_cast<TextOffset>(at) + 1);
            }
        }
    }
}

} // namespace
} // namespace kvx
