// The scanner on small languages written for each case, and the editor's highlighting pass.
#include "TokenRuns.h"
#include "editor/EdMessages.h"
#include "editor/EdStream.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace kvx {
namespace {

using test::CompileScript;
using test::Highlighted;
using test::Runs;

TEST(Scanner, WordsFollowingClassesLongestMatchAndEmptyLanguage) {
    TSyntaxMemoParser empty;
    CompileScript(empty, "");
    EXPECT_EQ(Highlighted(empty, "ab c\r"), "0*5");
    // Every character is its own token: the pass reports five of them.
    TCustomSyntaxMemo memo;
    memo.SetWholeText("ab c\r");
    int tokens = 0;
    memo.OnTokenSeen = [&](TCustomSyntaxMemo&, int& v, TextOffset s, TextOffset e) {
        if (v >= 0) {
            EXPECT_EQ(e - s, 1);
            ++tokens;
        }
    };
    memo.SetHighlighter(&empty);
    empty.HighlightAll(memo);
    EXPECT_EQ(tokens, 5);

    TSyntaxMemoParser p;
    CompileScript(p, "%%words 'end' '[^a-z]' 8 '+' '' 7 '++' '' 9\r%%tokens 3 10\r");
    EXPECT_EQ(Highlighted(p, "end;"), "8*3 0*1");
    EXPECT_EQ(Highlighted(p, "ending"), "3*6");
    EXPECT_EQ(Highlighted(p, "a++b+c"), "3*1 9*2 3*1 7*1 3*1");
    // At the very end of the text the following character is 0, which [^a-z] admits.
    EXPECT_EQ(Highlighted(p, "x end"), "3*1 0*1 8*3");
}

TEST(Scanner, StandardFunctions) {
    TSyntaxMemoParser p;
    CompileScript(p, "%%tokens 5 11\r 6 13\r 8 19\r 9 12\r");
    // Numbers: "1.x" is the number 1; a full exponent is taken whole; "2e" stops at e.
    EXPECT_EQ(Highlighted(p, "12.x"), "5*2 0*2");
    EXPECT_EQ(Highlighted(p, "1.5e+30;"), "5*7 0*1");
    EXPECT_EQ(Highlighted(p, "2e;.5"), "5*1 0*2 5*2");
    EXPECT_EQ(Highlighted(p, ".;"), "0*2");
    // C strings: a backslash takes the next character; an unclosed one stops at the break.
    EXPECT_EQ(Highlighted(p, "\"a\\\"b\" \"open\rx"), "6*6 0*1 6*5 0*1|0*1");
    // Mail addresses need an at sign; a final point is not part of them.
    TSyntaxMemoParser mail;
    CompileScript(mail, "%%tokens 7 17\r");
    EXPECT_EQ(Highlighted(mail, "me@host.org. a.b"), "7*11 0*5");
    // Pascal strings: a doubled quote stands for one.
    EXPECT_EQ(Highlighted(p, "'it''s' x"), "9*7 0*2");
    // Script line comments stop before the dashes that close an HTML comment.
    EXPECT_EQ(Highlighted(p, "// c --->\r"), "8*6 0*4");
}

TEST(Scanner, HandlersRulesAndLinesOfTheirOwn) {
    TSyntaxMemoParser p;
    CompileScript(p, "%%words '//' '' 1\r '/*' '' 2\r '0' '[Xx]' 13\r"
                     "%%handlers 1 '[^\\n]' * '\\n' 0\r 2 '[^]' * '*/' 1\r"
                     " 13 '[0-9A-Fa-fXx]' '[^0-9A-Fa-f]' 0\r"
                     "%%tokens 3 10\r 4 '$' '[0-9A-Fa-f]' '[^0-9A-Fa-f]' 0\r");
    EXPECT_EQ(Highlighted(p, "a // b\rc"), "3*1 0*1 1*4 0*1|3*1");
    EXPECT_EQ(Highlighted(p, "a /* b\rc */d"), "3*1 0*1 2*5|2*4 3*1");
    EXPECT_EQ(Highlighted(p, "0x1F+$ff+$"), "13*4 0*1 4*3 0*2");
    // A block comment that never closes runs to the end of the text.
    EXPECT_EQ(Highlighted(p, "/* a\rb"), "2*5|2*1");
}

TEST(Scanner, StatesStackAndValidity) {
    TSyntaxMemoParser p;
    CompileScript(p, "%%words '<' '' 1\r '>' '' 2 [1]\r 'b' '' 3 [1]\r '(' '' 4 [0, 1]\r"
                     " ')' '' 5 [0, 1]\r"
                     "%%states 1 (+ [1] - [0])\r 2 (+ [0] - [1])\r 4 push (+ [0] - [1])\r"
                     " 5 pop ()\r");
    // "b" is a word only inside the angle brackets; ">" outside them is plain text and
    // changes nothing.
    EXPECT_EQ(Highlighted(p, "b<b>b>"), "0*1 1*1 3*1 2*1 0*2");
    // Push before, pop after: the states return exactly to those before "(".
    EXPECT_EQ(Highlighted(p, "<(b)b>"), "1*1 4*1 0*1 5*1 3*1 2*1");
    // A pop with nothing pushed keeps the states it has.
    EXPECT_EQ(Highlighted(p, ")<)b"), "5*1 1*1 5*1 3*1");
    // Pushes nested far deeper than the stack keeps: memory stays bounded, and popping all
    // of them still comes back to the states before the first.
    const int deep = 100000;
    const std::string nested = "<" + std::string(deep, '(') + std::string(deep, ')') + "b>";
    TCustomSyntaxMemo memo;
    memo.SetWholeText(nested);
    p.HighlightAll(memo);
    EXPECT_EQ(test::AllBytes(memo),
              "\1" + std::string(deep, '\4') + std::string(deep, '\5') + "\3\2");
}

// Restarting with a token value whose context set is empty goes back to the start states;
// one with a context set starts in it.
TEST(Scanner, RestartUsesContextStates) {
    TSyntaxMemoParser p;
    CompileScript(p, "%%language startstate = [2] contextstates = (7 [5])\r"
                     "%%words 'x' '' 7 [2, 5]\r 'y' '' 8 [5]\r");
    TCustomSyntaxMemo memo;
    memo.SetWholeText("yx");
    TEdStream in(memo);
    int32_t length = 0;
    p.Restart(7);
    EXPECT_EQ(p.CurrentStates(), TSet256{5});
    EXPECT_EQ(p.NextToken(memo, in, length), 8);
    EXPECT_EQ(length, 1);
    EXPECT_EQ(in.Pos(), 1);
    p.Restart(8);
    EXPECT_EQ(p.CurrentStates(), TSet256{2});
    in.SetPosition(0);
    EXPECT_EQ(p.NextToken(memo, in, length), 0);
}

// Bodies that succeed without taking anything would loop for ever: a `match` function that
// answers true without moving, the rest of a line at its end, a lone point for a URL run.
TEST(Scanner, BodiesThatTakeNothingEndTheToken) {
    TSyntaxMemoParser p;
    CompileScript(p, "%%words 'm' '' 1\r 'o' '' 2\r 'u' '' 3\r"
                     "%%handlers 1 match (4)\r 2 2 '#' 1\r 3 1 ';' 1\r");
    int calls = 0;
    p.OnCustomParse = [&](TSyntaxMemoParser&, int32_t id, TEdStream&, int32_t&, int32_t&) {
        EXPECT_EQ(id, 4);
        ++calls;
        return true;
    };
    EXPECT_EQ(Highlighted(p, "m;"), "0*2");
    EXPECT_GT(calls, 0);
    EXPECT_EQ(Highlighted(p, "o\r"), "0*2");
    EXPECT_EQ(Highlighted(p, "u.;"), "0*3");
    EXPECT_EQ(Highlighted(p, "uab;"), "3*4");
}

// A `match` function sees the stream at the token's place and says how far it took it.
TEST(Scanner, MatchFunctionsReadTheDocument) {
    TSyntaxMemoParser p;
    CompileScript(p, "%%tokens 9 '@' match (3)\r");
    p.OnCustomParse = [](TSyntaxMemoParser&, int32_t, TEdStream& in, int32_t& length,
                         int32_t& value) {
        EXPECT_EQ(value, 9);
        if (in.Current() != '@')
            return false;
        while (!in.AtEnd() && in.Current() != ' ') {
            in.Next();
            ++length;
        }
        return true;
    };
    EXPECT_EQ(Highlighted(p, "x @@ab y"), "0*2 9*4 0*2");
    p.OnCustomParse = nullptr;
    EXPECT_EQ(Highlighted(p, "@a"), "0*2");
}

// A container's text is scanned again in the container's states; plain characters inside
// keep the container's value, and the states before the container come back after it.
TEST(Scanner, ContainersRescanTheirText) {
    TSyntaxMemoParser p;
    CompileScript(p, "%%words '<%' '' 20\r 'if' '[^a-z]' 21 [1]\r"
                     "%%handlers 20 '[^]' * '%>' 1\r"
                     "%%containers 20 (+ [1] - [0])\r");
    EXPECT_EQ(Highlighted(p, "if <% if x %> if"), "0*3 20*3 21*2 20*5 0*3");
    // A container that spans rows.
    EXPECT_EQ(Highlighted(p, "<% a\rif %>if"), "20*5|21*2 20*3 0*2");
}

// The pass restarts at the nearest anchor above the edit and stops at the first row that
// comes out unchanged; an edit that opens a comment rescans until it closes, no further.
TEST(Scanner, PassRestartsAtAnchorsAndStopsWhenRowsSettle) {
    TSyntaxMemoParser p;
    CompileScript(p, "%%words '/*' '' 2\r%%handlers 2 '[^]' * '*/' 1\r%%tokens 3 10\r");
    test::TFakePlatform platform;
    TCustomSyntaxMemo memo(&platform);
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "word " + std::to_string(i) + (i == 20 ? " */" : "") + "\r";
    memo.SetWholeText(text);
    memo.SetHighlighter(&p);
    memo.ChangeNotification();
    EXPECT_EQ(p.RowsScanned, 40);

    // Typing in a word: the pass starts at the blanks that end the row above, writes the
    // edited row and stops after the next one, which confirms the states.
    memo.SetSelection(memo.Store().RowByIndex(5).Offset + 2, memo.Store().RowByIndex(5).Offset + 2);
    memo.KeyChar('x');
    memo.ChangeNotification();
    EXPECT_EQ(p.RowsScanned, 3);

    // Opening a comment on row 10 rescans through row 20, where it closes, and one more.
    const TextOffset row10 = memo.Store().RowByIndex(10).Offset;
    memo.SetSelection(row10, row10);
    memo.ReplaceSelection("/*");
    memo.ChangeNotification();
    EXPECT_EQ(p.RowsScanned, 13);
    TCustomSyntaxMemo full;
    full.SetWholeText(memo.Text());
    p.HighlightAll(full);
    EXPECT_EQ(Runs(memo), Runs(full));

    // Typing inside the comment restarts at its start (the row above ended in the start
    // states) and stops after the row below the edit.
    const TextOffset row15 = memo.Store().RowByIndex(15).Offset;
    memo.SetSelection(row15, row15);
    memo.KeyChar('q');
    memo.ChangeNotification();
    EXPECT_EQ(p.RowsScanned, 7);
    EXPECT_EQ(memo.Store().RowByIndex(15).Row->Styles()[0], 2);
}

// Several edits far apart before one change notification (as a replace-all makes them),
// and the undo of a block indent, which restarts from the top: the pass reaches every
// edited row, however many unchanged rows lie between.
TEST(Scanner, PassReachesEveryEditedRow) {
    TSyntaxMemoParser p;
    CompileScript(p, "%%words '/*' '' 2\r%%handlers 2 '[^]' * '*/' 1\r%%tokens 3 10\r");
    TCustomSyntaxMemo memo;
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += "word " + std::to_string(i) + "\r";
    memo.SetWholeText(text);
    memo.SetHighlighter(&p);
    memo.ChangeNotification();
    for (const int row : {50, 30, 5}) {
        const TextOffset at = memo.Store().RowByIndex(row).Offset;
        memo.SetSelection(at, at + 4);
        memo.ReplaceSelection("/**/x");
    }
    memo.ChangeNotification();
    TCustomSyntaxMemo full;
    full.SetWholeText(memo.Text());
    p.HighlightAll(full);
    EXPECT_EQ(Runs(memo), Runs(full));

    memo.SetSelection(memo.Store().RowByIndex(40).Offset, memo.Store().RowByIndex(45).Offset);
    memo.IndentBlock(2, false);
    memo.ChangeNotification();
    memo.ExecuteCommand(caUNDO);
    memo.ChangeNotification();
    full.SetWholeText(memo.Text());
    p.HighlightAll(full);
    EXPECT_EQ(Runs(memo), Runs(full));
}

TEST(Scanner, TokenSeenEventAndStyleRequests) {
    TSyntaxMemoParser p;
    CompileScript(p, "%%tokens 3 10\r");
    TCustomSyntaxMemo memo;
    memo.SetWholeText("ab cd\rx");
    std::vector<std::string> seen;
    memo.OnTokenSeen = [&](TCustomSyntaxMemo&, int& v, TextOffset s, TextOffset e) {
        seen.push_back(std::to_string(v) + "@" + std::to_string(s) + "-" + std::to_string(e));
        if (v == 3 && s == 3)
            v = 77; // the handler may change what gets written
    };
    memo.SetHighlighter(&p);
    memo.ChangeNotification();
    EXPECT_EQ(seen, (std::vector<std::string>{"-1@-1--1", "3@0-2", "0@2-3", "3@3-5", "0@5-6",
                                              "3@6-7", "-2@-2--2"}));
    EXPECT_EQ(Runs(memo), "3*2 0*1 77*2 0*1|3*1");

    // 3092 reads the token bytes of rows, 3091 writes them, 3105 asks for a pass.
    uint8_t bytes[7] = {};
    const int32_t range[2] = {0, 1};
    EXPECT_EQ(memo.Perform(smmGETSTYLES, reinterpret_cast<intptr_t>(range),
                           reinterpret_cast<intptr_t>(bytes)),
              7);
    EXPECT_EQ(bytes[3], 77);
    memo.OnTokenSeen = nullptr;
    uint8_t mine[6] = {9, 9, 9, 9, 9, 9};
    const int32_t first[2] = {0, 0};
    memo.Perform(smmSETSTYLES, reinterpret_cast<intptr_t>(first), reinterpret_cast<intptr_t>(mine));
    EXPECT_EQ(Runs(memo), "9*6|3*1");
    memo.Perform(smmRESCANFROM, 1, 0);
    EXPECT_EQ(Runs(memo), "3*2 0*1 3*2 0*1|3*1");
}

// Event handlers that edit the document in the middle of a pass end it safely: the pass
// holds rows the edit frees. The next notification highlights what the edit changed.
TEST(Scanner, HandlersThatEditThePassEndIt) {
    TSyntaxMemoParser p;
    CompileScript(p, "%%tokens 9 '@' match (3)\r 3 10\r");
    TCustomSyntaxMemo memo;
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "word @x word\r";
    memo.SetWholeText(text);
    memo.SetHighlighter(&p);
    int edits = 0;
    p.OnCustomParse = [&](TSyntaxMemoParser&, int32_t, TEdStream& in, int32_t& length, int32_t&) {
        if (edits++ == 3) {
            memo.SetSelection(0, memo.TextLength());
            memo.ReplaceSelection("fresh @y text\rmore\r");
        }
        in.Next();
        ++length;
        return true;
    };
    memo.ChangeNotification();
    p.OnCustomParse = [](TSyntaxMemoParser&, int32_t, TEdStream& in, int32_t& length, int32_t&) {
        in.Next();
        ++length;
        return true;
    };
    memo.ChangeNotification();
    EXPECT_EQ(Runs(memo), "3*5 0*1 9*2 0*1 3*4 0*1|3*4 0*1");

    int cuts = 0;
    memo.OnTokenSeen = [&](TCustomSyntaxMemo& m, int& v, TextOffset s, TextOffset) {
        if (v == 3 && s > 0 && cuts++ == 0) {
            m.SetSelection(0, 0);
            m.ReplaceSelection("x");
        }
    };
    memo.SetSelection(5, 5);
    memo.ReplaceSelection("/");
    memo.ChangeNotification();
    memo.OnTokenSeen = nullptr;
    memo.ChangeNotification();
    EXPECT_EQ(cuts, 1);
    EXPECT_EQ(Runs(memo), "3*6 0*2 9*2 0*1 3*4 0*1|3*4 0*1");

    // Handlers that edit below the row the pass started from and ask for a pass at once,
    // or that recompile the parser: nothing held is used again, and the next notification
    // highlights what changed.
    auto expectFull = [&] {
        TCustomSyntaxMemo full;
        full.SetWholeText(memo.Text());
        p.HighlightAll(full);
        EXPECT_EQ(Runs(memo), Runs(full));
    };
    memo.SetWholeText("a\rb\rc\rd\re\rf\r");
    memo.ChangeNotification();
    cuts = 0;
    memo.OnTokenSeen = [&](TCustomSyntaxMemo& m, int&, TextOffset s, TextOffset) {
        if (s == 4 && cuts++ == 0) {
            m.SetSelection(8, 9);
            m.ReplaceSelection("word");
            m.ChangeNotification();
        }
    };
    memo.SetSelection(0, 1);
    memo.ReplaceSelection("x");
    memo.SetSelection(4, 5);
    memo.ReplaceSelection("y");
    memo.ChangeNotification();
    memo.OnTokenSeen = nullptr;
    memo.ChangeNotification();
    EXPECT_EQ(cuts, 1);
    expectFull();

    cuts = 0;
    memo.OnTokenSeen = [&](TCustomSyntaxMemo&, int&, TextOffset s, TextOffset) {
        if (s == 2 && cuts++ == 0)
            CompileScript(p, "%%words 'word' '' 8\r%%tokens 3 10\r");
    };
    memo.SetSelection(0, 0);
    memo.ReplaceSelection("z");
    memo.ChangeNotification();
    memo.OnTokenSeen = nullptr;
    p.HighlightAll(memo);
    EXPECT_EQ(cuts, 1);
    expectFull();
}

// Two editors share one parser: a pass of one never waits on, or is spoiled by, the
// other's state, even when that one stopped inside a container.
TEST(Scanner, EditorsSharingAParser) {
    TSyntaxMemoParser p;
    CompileScript(p, "%%words '<%' '' 20\r 'if' '[^a-z]' 21 [1]\r"
                     "%%handlers 20 '[^]' * '%>' 1\r%%containers 20 (+ [1] - [0])\r");
    TCustomSyntaxMemo a;
    a.SetWholeText("<% if %>");
    TEdStream in(a);
    int32_t length = 0;
    p.Restart(0);
    EXPECT_EQ(p.NextToken(a, in, length), 20);
    EXPECT_TRUE(p.Busy());
    TCustomSyntaxMemo b;
    b.SetWholeText("if <% if %>");
    b.SetHighlighter(&p);
    b.ChangeNotification();
    EXPECT_EQ(Runs(b), "0*3 20*3 21*2 20*3");
    EXPECT_FALSE(p.Busy());
    {
        TSyntaxMemoParser gone;
        a.SetHighlighter(&gone);
    }
    EXPECT_EQ(a.Highlighter(), nullptr); // a parser that goes away leaves no editor behind
}

// Edits anywhere, re-highlighted from the nearest anchor, give what a full pass gives:
// comments and strings that open and close, containers, and a state that the token bytes
// do not show, which the bound states carry across rows. Only a break in state 0 is an
// anchor, so that no restart lands inside a parenthesis or a container.
TEST(Scanner, IncrementalEqualsFull) {
    TSyntaxMemoParser p;
    CompileScript(p, "%%language boundstates = [1] anchor = [9]\r"
                     "%%words '/*' '' 2\r '//' '' 1\r '<%' '' 20\r 'if' '[^a-z]' 21 [1, 2]\r"
                     "'(' '' 4\r ')' '' 5 [1]\r"
                     "%%handlers 1 '[^\\n]' * '\\n' 0\r 2 '[^]' * '*/' 1\r 20 '[^]' * '%>' 1\r"
                     "%%containers 20 (+ [2] - [0])\r"
                     "%%states 4 (+ [1] - [0])\r 5 (+ [0] - [1])\r"
                     "%%tokens 3 10\r 6 13\r 9 '\\n' '[^]' * '[^]' 0\r");
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += "if (x" + std::to_string(i) + ") \"s\" // c\r";
    const std::vector<std::string> pieces = {"/*", "*/", "//", "\r", "\"", "<%",
                                             "%>", "(",  ")",  "if", "x",  " "};
    test::IncrementalEqualsFull(p, text, pieces, 10000, 7);
    // The same highlighted a little at a time, the rows on screen first: the bytes shown
    // are always those of a full pass.
    test::IncrementalEqualsFull(p, text, pieces, 6000, 8, false, true);
}

TEST(Scanner, FailedBodiesAreNotTriedAgainButTokensStayTheSame) {
    // Rules and handlers whose ends rarely come. After one fails, a try of the same body
    // from inside the stretch it tested is known to fail and is not made again; the tokens
    // must be those of trying, token by token (which forgets between calls).
    TSyntaxMemoParser p;
    CompileScript(p, "%%words 'q' '' 6 'qq' '' 6 'qqq' '' 6\r%%handlers 6 '[a-z]' * '!' 1\r"
                     "%%tokens 5 '[a-z]' '[a-z]' * '!?' 1 7 '[0-9]' '[0-9a-z]' '.' 0\r"
                     "8 '[ ]' '[ ]' '[^ ]' 0 9 '[#]' '[0-9]' * '!' 1\r");
    std::mt19937 rng(5);
    const char alphabet[] = "abqq!?.0 \r#1";
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int n = static_cast<int>(rng() % 400);
        while (static_cast<int>(text.size()) < n)
            text.append(1 + rng() % 6, alphabet[rng() % (sizeof alphabet - 1)]);
        TCustomSyntaxMemo memo;
        memo.SetWholeText(text);
        p.HighlightAll(memo);
        std::string stepwise(text.size(), '\0');
        TEdStream in(memo);
        p.Restart(0);
        while (!in.AtEnd()) {
            const TextOffset start = in.Pos();
            int32_t length = 0;
            const uint8_t value = p.NextToken(memo, in, length);
            ASSERT_GT(length, 0);
            std::fill_n(stepwise.begin() + start, length, static_cast<char>(value));
        }
        ASSERT_EQ(test::AllBytes(memo), stepwise) << text;
    }
    // A line of 100,000 letters that never ends the rule: one failure, then no tries.
    TCustomSyntaxMemo memo;
    memo.SetWholeText(std::string(100000, 'a') + "\r");
    p.HighlightAll(memo);
    EXPECT_EQ(test::AllBytes(memo), std::string(100001, '\0'));
}

} // namespace
} // namespace kvx
