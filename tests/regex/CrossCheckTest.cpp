// Generated patterns from the part of the language std::regex (ECMAScript) shares with
// ours, run over random texts: both must find the same first match.
#include "regex/REParser.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>

using namespace kvx;

namespace {

class Generator {
  public:
    explicit Generator(uint32_t seed) : rng_(seed) {}

    std::string Pattern(int depth = 0) {
        std::string p = Sequence(depth);
        while (Pick(4) == 0) {
            p += '|';
            p += Sequence(depth);
        }
        return p;
    }

    std::string Text() {
        static const char alphabet[] = {'a', 'b', 'c', 'a', 'b', '\r', 'x'};
        std::string t;
        const int n = Pick(24);
        for (int i = 0; i < n; ++i)
            t += alphabet[Pick(sizeof alphabet)];
        return t;
    }

  private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    std::string Sequence(int depth) {
        std::string s;
        const int n = 1 + Pick(4);
        for (int i = 0; i < n; ++i)
            s += Piece(depth);
        return s;
    }

    std::string Piece(int depth) {
        std::string atom;
        switch (Pick(depth < 2 ? 8 : 7)) {
        case 0:
        case 1:
        case 2:
            atom = std::string(1, "abc"[Pick(3)]);
            break;
        case 3:
            atom = ".";
            break;
        case 4:
            atom = Pick(2) ? "[ab]" : "[^a]";
            break;
        case 5:
            atom = Pick(2) ? "\\d" : "\\w";
            break;
        case 6:
            atom = "[a-c]";
            break;
        default:
            atom = '(';
            atom += Pattern(depth + 1);
            atom += ')';
            break;
        }
        static const char* ops[] = {"", "", "", "*", "+", "?", "{2}", "{1,2}", "{2,}", "{,2}"};
        atom += ops[Pick(10)];
        return atom;
    }

    std::mt19937 rng_;
};

} // namespace

TEST(CrossCheck, SameFirstMatchAsECMAScript) {
    Generator gen(20240611);
    TREParser re;
    int compared = 0, skipped = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string pattern = gen.Pattern();
        // Ours refuses a repetition of something that can match the empty text ("Invalid
        // repeat") where ECMAScript accepts it, and knows no {,m}: such patterns are not
        // comparable.
        if (!re.Compile(pattern)) {
            ++skipped;
            continue;
        }
        std::string ecma;
        for (char c : pattern) {
            if (c == ',' && !ecma.empty() && ecma.back() == '{')
                ecma += '0';
            ecma += c;
        }
        const std::regex reference(ecma, std::regex::ECMAScript);
        for (int t = 0; t < 5; ++t) {
            const std::string text = gen.Text();
            std::smatch m;
            const bool expected = std::regex_search(text, m, reference);
            bool found = false;
            try {
                found = re.Exec(text, 0, true);
            } catch (const ERegExpr& e) {
                // More than 255 recorded positions: the language's own limit.
                ASSERT_EQ(e.MessageId(), msgREIndexRange) << pattern;
                continue;
            }
            ASSERT_EQ(found, expected) << "pattern " << pattern << " text " << text;
            if (found) {
                ASSERT_EQ(re.MatchStart(), m.position(0)) << pattern << " / " << text;
                ASSERT_EQ(re.MatchEnd(), m.position(0) + m.length(0)) << pattern << " / " << text;
            }
            ++compared;
        }
    }
    EXPECT_GT(compared, 5000);
    EXPECT_LT(skipped, 2000);
}
