#include "highlight/Compiler.h"
#include "TokenRuns.h"
#include "editor/Settings.h"
#include "editor/Stream.h"
#include "highlight/SynParse.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace kvx {
namespace {

// Compiles a script; answers the error message, or "" on success.
std::string Compile(TSyntaxMemoParser& p, const std::string& script) {
    TMemoryStream in(script);
    try {
        p.CompileFromStream(in);
    } catch (const ESyntaxMemo& e) {
        return e.what();
    }
    return "";
}

std::string Error(const std::string& script) {
    TSyntaxMemoParser p;
    return Compile(p, script);
}

TEST(Compiler, EmptyScriptGivesTheStartTables) {
    TSyntaxMemoParser p;
    EXPECT_EQ(Compile(p, "  // nothing\r\n/* at ** all **/\n"), "");
    EXPECT_EQ(p.Tables.StartStates, TSet256{0});
    EXPECT_EQ(p.Tables.AnchorTokens, TSet256{0});
    for (const TSet256& s : p.Tables.ContextStates)
        EXPECT_EQ(s, TSet256{0});
    EXPECT_TRUE(p.Tables.NoStateTables);
    EXPECT_EQ(p.StatementLabel, "Header");
}

TEST(Compiler, EveryFailureHasItsMessageAndPlace) {
    const std::pair<const char*, const char*> cases[] = {
        {"%%language name 'x'", "** ERROR near line 1, Column 20: '=' expected"},
        {"%%language name = 5", "** ERROR near line 1, Column 20: String value expected"},
        {"%%language\r\n  editablestyles = 'a', 1)",
         "** ERROR near line 2, Column 23: '(' expected"},
        {"%%language editablestyles = ('a' 1)", "** ERROR near line 1, Column 35: ',' expected"},
        {"%%language editablestyles = ('a', 1", "** ERROR near line 1, Column 36: ')' expected"},
        {"%%effects 1 (1) 0 0", "** ERROR near line 1, Column 14: '[' expected"},
        {"%%effects 1 [1 0 0", "** ERROR near line 1, Column 17: ']' expected"},
        {"name", "** ERROR near line 1, Column 5: Script syntax error"},
        {"%%map 1 + x", "** ERROR near line 1, Column 12: Identifier \"x\" Unknown"},
        {"%%map 1 + 'x' 2", "** ERROR near line 1, Column 14: Expression expected"},
        {"%%map (1 2", "** ERROR near line 1, Column 11: Expression expected"},
        {"%%language editablestyles = ('a', 256)",
         "** ERROR near line 1, Column 39: Value must be 0..255"},
        {"%%words 'mov' '' 1 'mov' '' 2",
         "** ERROR near line 1, Column 30: Duplicate entry in %%word table"},
        {"%%words 'mov' 'ab' 1",
         "** ERROR near line 1, Column 21: Single character specifier expected"},
        {"%%handlers 1 'a' 'abcde' 1",
         "** ERROR near line 1, Column 27: Maximum of 4 character specifier allowed"},
        {"%%handlers 1 'a' 1 'a'",
         "** ERROR near line 1, Column 23: Duplicate entry in %%handler table"},
        {"%%tokens 1 '[a-c]' 'a' 'c' 0 2 'b' 'x' 'c' 0",
         "** ERROR near line 1, Column 45: Ambigious start set in %%token table"},
        {"%%tokens 1 9", "** ERROR near line 1, Column 13: Script syntax error"},
        {"%%effects 1 [] 0 0 1 [] 0 0",
         "** ERROR near line 1, Column 28: Duplicate %%effect entry"},
        {"%%effects 1 [1, (] 0 0", "** ERROR near line 1, Column 19: Bad font style specifier"},
        {"%%keys 1 'Name' 2 ''",
         "** ERROR near line 1, Column 21: Key function name cannot be blank"},
        {"%%keys 1 ( + )", "** ERROR near line 1, Column 13: Key specification required"},
        {"%%keys 1 ( 'ab' )",
         "** ERROR near line 1, Column 18: Single character specifier expected"},
        {"%%map 256 1", "Range error, value outwith 0 .. 255"},
        {"%%language indentstep = 21", "Range error, value outwith 0 .. 20"},
        {"%%language contextstates = (1 [2]), (1)", "Token value 1 re-specified in ContextState"},
        {"%%words 'x' '[z-a]' 1", "Characters not in correct order for range specifier"},
        {"%%words 'x' '[\\777]' 1", "Range error, value outwith 0 .. 255"},
        {"%%map 1 ; 2", "** ERROR near line 1, Column 9: Unknown character in input stream: #$3b"},
        {std::string("%%map 1\0 2", 10).c_str(), ""}, // replaced below: a NUL byte
    };
    for (const auto& [script, message] : cases) {
        if (*message == 0)
            continue;
        EXPECT_EQ(Error(script), message) << script;
    }
    EXPECT_EQ(Error(std::string("%%map 1 \0 2", 11)),
              "** ERROR near line 1, Column 9: Unknown character in input stream: #$00");
}

TEST(Compiler, ReaderDirectivesAndMacros) {
    TSyntaxMemoParser p;
    // Lines are counted whatever the breaks are; a // comment ends at its line.
    EXPECT_EQ(Error("// one\n// two\n\n%%map x 1"),
              "** ERROR near line 4, Column 8: Identifier \"x\" Unknown");
    EXPECT_EQ(Compile(p, "#define X 5\r#define Y X\r%%map Y 7\r#define Z z\r"), "");
    EXPECT_EQ(p.Settings().Map[5], 7);
    EXPECT_EQ(Error("#define A A\r%%map A 1"), // a name defined as itself is ignored
              "** ERROR near line 2, Column 8: Identifier \"A\" Unknown");
    EXPECT_EQ(Error("#define A (B)\r#define B A\r%%map A 1"),
              "** ERROR near line 3, Column 11: Recursive expansion of macro 'A'");
    EXPECT_EQ(Error("%%map ver200 1"),
              "** ERROR near line 1, Column 19: Recursive expansion of macro 'ver200'");
    EXPECT_EQ(Compile(p, "#ifdef ver200\r%%map 1 2\r#else\r%%map 1 3\r#endif\r"
                         "#ifndef ver200\r%%map 2 nonsense\r#define D 9\r#include <none>\r"
                         "#ifdef X\r#else\r%%map 2 also nonsense\r#endif\r#endif\r%%map D 4"),
              "");
    EXPECT_EQ(p.Settings().Map[1], 2);
    EXPECT_EQ(p.Settings().Map[2], 0);
    EXPECT_EQ(p.Settings().Map[9], 4); // defined inside the skipped branch
    EXPECT_EQ(Error("# define X 1"),
              "** ERROR near line 1, Column 1: Unknown character in input stream: #$23");
    EXPECT_EQ(Error("#define 5"), "** ERROR near line 1, Column 9: Macro name expected");
    EXPECT_EQ(Error("#ifdef 5"),
              "** ERROR near line 1, Column 8: Macro name expected after #ifdef");
    EXPECT_EQ(Error("#endif"), "** ERROR near line 1, Column 7: #endif without #ifdef or #ifndef");
    EXPECT_EQ(Error("#else"), "** ERROR near line 1, Column 6: #else without #ifdef or #ifndef");
    EXPECT_EQ(Error("#ifdef X\r"),
              "** ERROR near line 2, Column 1: #ifdef or #ifndef without #endif");
    EXPECT_EQ(
        Error("#include x"),
        "** ERROR near line 1, Column 10: #include filename not enclosed in \"...\" or <...>");
    EXPECT_EQ(Error("#include <abc\r"),
              "** ERROR near line 1, Column 14: #include filename missing terminating >");
    EXPECT_EQ(Error("#include \"/no/such/file\""),
              "** ERROR near line 1, Column 25: Unable to open #include file \"/no/such/file\"");

    // Includes: from the script's folder, counted in the line numbers, and a file that
    // includes itself under another spelling is caught.
    const auto dir = std::filesystem::temp_directory_path() / "kvx-compiler-test";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "colors.inc") << "#define MYRED 255\n%%map 3 4\n";
    std::ofstream(dir / "self.inc") << "#include \"" << (dir / "." / "self.inc").string() << "\"\n";
    p.Script = (dir / "lang.syn").string();
    EXPECT_EQ(Compile(p, "#include <colors.inc>\r%%map 5 MYRED"), "");
    EXPECT_EQ(p.Settings().Map[3], 4);
    EXPECT_EQ(p.Settings().Map[5], 255);
    const std::string self = Compile(p, "#include <self.inc>");
    EXPECT_NE(self.find("Recursive expansion of macro '-file-: "), std::string::npos) << self;
    std::filesystem::remove_all(dir);
}

TEST(Compiler, ExpressionsSetsAndStrings) {
    TSyntaxMemoParser p;
    EXPECT_EQ(Compile(p, "%%language options = 5 - 7 gutter = __OPT_AUTOINDENT + __OPT_USE_TAB "
                         "wordwrapcolumn = (1 or 6) + 1 startstate = 3 anchor = [] "
                         "boundstates = [1, 2 3]"),
              "");
    EXPECT_EQ(p.Settings().OptionWord, -2);
    EXPECT_EQ(p.Settings().Gutter, 2048 + 8388608);
    EXPECT_EQ(p.Settings().WrapAtColumn, 8);
    EXPECT_EQ(p.Tables.StartStates, (TSet256{0, 3}));
    EXPECT_EQ(p.Tables.AnchorTokens, TSet256{0});
    EXPECT_EQ(p.Tables.BoundStates, (TSet256{1, 2, 3}));
    EXPECT_EQ(Compile(p, "%%LANGUAGE StartState = [3]"), "");
    EXPECT_EQ(p.Tables.StartStates, TSet256{3});
    EXPECT_EQ(Error("%%language names = 'x'"),
              "** ERROR near line 1, Column 17: Identifier \"names\" Unknown");
    EXPECT_EQ(Error("%%map -1 2"), "** ERROR near line 1, Column 8: Script syntax error");

    EXPECT_EQ(DecodeScriptString("a\\nb\\rc\\t\\x41\\101\\q\\"), "a\rb\nc\tAAq");
    EXPECT_THROW(DecodeScriptString("\\x100"), ESyntaxMemo);
    const auto classes = ScriptSpecifiers("[^a-c\\]]\\n\\x41");
    ASSERT_EQ(classes.size(), 3u);
    EXPECT_TRUE(classes[0].Negated());
    EXPECT_TRUE(classes[0].Members().Has(']') && classes[0].Members().Has('b'));
    EXPECT_TRUE(classes[1].Members().Has(13));
    EXPECT_TRUE(classes[2].Members().Has('A'));
    // A string continued over a line break loses the break and the next line's indent.
    EXPECT_EQ(Compile(p, "%%language name = 'ab\\\r\n     \\cd'"), "");
    EXPECT_EQ(p.Settings().LanguageName, "abcd");
}

TEST(Compiler, WordsTokensHandlersAndStates) {
    TSyntaxMemoParser p;
    EXPECT_EQ(Compile(p, "%%words\r 'MOV' '[^a-z]' 5\r 'push' '' 6 [1, 2]\r"
                         "%%handlers 7 '[^\\n]' * '\\n' 1\r 8 match (3)\r 9 11\r"
                         "%%tokens 7 ';' '[^\\n]' '\\n' 0\r 11 10\r ? 2 (30 '\"' 13 '\"' 1)\r"
                         "%%states 7 push (+ [2] - [0]) pop\r 5 (+ [2])\r"
                         "%%containers 30 (+ 1)\r"),
              "");
    TStringCursor mov("mov ax");
    EXPECT_EQ(p.Keywords().Match(mov, {0}).Value, 5);
    TStringCursor push("pushx");
    EXPECT_EQ(p.Keywords().Match(push, {2}).Value, 6);
    EXPECT_EQ(p.Tables.TokenInfo[6]->Valid, (TSet256{0, 1, 2}));
    EXPECT_EQ(p.Tables.TokenInfo[5]->Enter, TSet256{2});
    EXPECT_EQ(p.Tables.TokenInfo[5]->NoTransition, 0);
    // push before and pop after: only the pop counts, and it forgets the transitions.
    EXPECT_EQ(p.Tables.TokenInfo[7]->StackFlags, sfPopAfter);
    EXPECT_TRUE(p.Tables.TokenInfo[7]->Enter.Empty());
    EXPECT_EQ(p.Tables.TokenInfo[7]->NoTransition, 1);
    EXPECT_EQ(p.Tables.TokenInfo[30]->Container, 1);
    ASSERT_TRUE(p.Tables.Handlers[7]);
    EXPECT_EQ(p.Tables.Handlers[7]->Body.Flag, 1);
    EXPECT_EQ(p.Tables.Handlers[7]->End.Count, 1);
    EXPECT_EQ(p.Tables.Handlers[7]->End.Include, 1);
    EXPECT_TRUE(p.Tables.Handlers[8]->Body.IsMatch && p.Tables.UsesMatch);
    EXPECT_EQ(p.Tables.Handlers[9]->Body.Function, 11);
    ASSERT_TRUE(p.Tables.TokenRules[';']);
    EXPECT_EQ(p.Tables.TokenRules[';']->Value, 7);
    // The standard identifier function takes every letter and "_".
    ASSERT_TRUE(p.Tables.TokenRules['q'] && p.Tables.TokenRules['_'] && !p.Tables.TokenRules['1']);
    EXPECT_EQ(p.Tables.TokenRules['q']->Start.Function, 10);
    ASSERT_TRUE(p.Tables.StateTokenRules[2]);
    EXPECT_TRUE(p.Tables.StateTokenRules[2]->Rules['"']->Valid.Has(2));
    EXPECT_FALSE(p.Tables.NoStateTables);
    // The same start character under two states is fine.
    EXPECT_EQ(Error("%%tokens ? 1 (1 'a' 'b' 'c' 0) ? 2 (2 'a' 'b' 'c' 0)"), "");

    // Twenty-five editable styles fit, also split over statements; the next does not.
    std::string styles = "%%language editablestyles = ('s0', 0)";
    for (int i = 1; i < 25; ++i)
        styles += (i == 12 ? " editablestyles = " : ", ") + std::string("('s") + std::to_string(i) +
                  "', " + std::to_string(i) + ")";
    EXPECT_EQ(Error(styles), "");
    EXPECT_NE(Error(styles + " editablestyles = ('x', 1)").find("Too many editable styles"),
              std::string::npos);
    // Effect 0 may be defined twice.
    EXPECT_EQ(Error("%%effects 0 [fsBold] clRed clWhite * 0 [] 0 0 'hotspot'"), "");
}

// Compiled tables go through their stored form and come back saving the same bytes; the
// entries a compile leaves equal to the start states are left out and restored on reading.
TEST(Compiler, CompiledTablesSurviveTheirStoredForm) {
    TSyntaxMemoParser p;
    ASSERT_EQ(Compile(p, "%%language startstate = [0, 1] contextstates = (5 [2])\r"
                         "%%words 'mov' '[^a-z]' 5\r%%tokens 6 10 7 ';' '[^\\n]' '\\n' 0\r"
                         "%%handlers 5 match (4)\r"),
              "");
    TMemoryStream first;
    p.WriteStored(first);
    first.Seek(0, TSeekOrigin::Begin);
    TSyntaxMemoParser q;
    q.ReadStored(first);
    EXPECT_EQ(q.Tables.ContextStates[5], TSet256{2});
    EXPECT_EQ(q.Tables.ContextStates[6], (TSet256{0, 1}));
    TMemoryStream second;
    q.WriteStored(second);
    EXPECT_EQ(second.Data(), first.Data());
}

TEST(Settings, CompiledScriptsFillTheSettings) {
    TSyntaxMemoParser p;
    TMemoryStream script(std::string(
        "%%language name = 'Asm' fontname = 'Mono' tabdefault = 8 tabcolumns = '9 17'\r"
        "  editablestyles = ('Comment', 2), ('String', 3)\r"
        "  seltextback = (*) clNavy GutterFontStyle = [fsBold]\r"
        "%%kwTables forstate [1] endswith '[^a-z]' ( 5 is 'eax', 'ebx' 6 is 'al' )\r"
        "%%map 4 2\r%%effects 2 [fsItalic] clGreen * clWhite 'hotspot'\r"
        "%%keys caUNDO ( [ctrl] 'Z' | [alt] BACKSPACE ) 'Undo it'\r"
        "%%autoreplace actionkeys = ' ;' 'teh' = 'the'\r"
        "%%templates 'beg' ('begin block') = 'begin\\n|end' hotkey = ([ctrl, shift] 'J')\r"));
    p.CompileFromStream(script);
    const TSM_Settings& s = p.Settings();
    EXPECT_EQ(s.LanguageName, "Asm");
    EXPECT_EQ(s.TabDefault, 8);
    EXPECT_EQ(s.TabStops[0], 8);
    EXPECT_EQ(s.TabStops[1], 16);
    EXPECT_EQ(s.EditableStyles[1].Name, "String");
    EXPECT_TRUE(s.SysSelBackColor);
    EXPECT_EQ(s.SelTextBack, 8388608);
    EXPECT_EQ(s.GutterFont.Style, 1);
    EXPECT_EQ(s.Map[4], 2);
    EXPECT_EQ(s.Styles[2].FontStyle, 2);
    EXPECT_EQ(s.Styles[2].UseDefaultText, 1);
    EXPECT_EQ(s.Styles[2].IsHyperlink, 1);
    ASSERT_EQ(s.KeywordTables().size(), 1u);
    EXPECT_EQ(s.KeywordTables()[0].Words.size(), 3u);
    TShortcut first = 0, second = 0;
    EXPECT_TRUE(s.KeyMap().Keys().FindBinding(caUNDO, 1, first, second));
    EXPECT_EQ(first, scAlt | vkBack);
    EXPECT_FALSE(s.KeyMap().Keys().FindBinding(caLEFT, 0, first, second)); // cleared
    EXPECT_EQ(s.KeyMap().Description(caUNDO), "Undo it");
    EXPECT_EQ(s.AutoReplace().TriggerText(), " ;");
    EXPECT_EQ(s.Templates().Entries().at("beg").Expansion, "begin\r|end");
    EXPECT_EQ(s.Templates().Trigger, scCtrl | scShift | 'J');

    // All of it survives the stored form.
    TMemoryStream stored;
    p.WriteStored(stored);
    stored.Seek(0, TSeekOrigin::Begin);
    TSyntaxMemoParser q;
    q.ReadStored(stored);
    TMemoryStream again;
    q.WriteStored(again);
    EXPECT_EQ(again.Data(), stored.Data());
    EXPECT_EQ(q.Settings().Templates().Trigger, scCtrl | scShift | 'J');
}

TEST(Compiler, ExpressionErrorsAndDeepNesting) {
    // Inside an expression every error is "Expression expected"; a word the token reader
    // does not know keeps its own message, and the top level its syntax error.
    const std::pair<const char*, const char*> cases[] = {
        {"%%language options = -5", "** ERROR near line 1, Column 23: Expression expected"},
        {"%%words 'x' '' 'y'", "** ERROR near line 1, Column 19: Expression expected"},
        {"%%map 1 (2 + 'x')", "** ERROR near line 1, Column 17: Expression expected"},
        {"%%language gutter = (1 + )", "** ERROR near line 1, Column 27: Expression expected"},
        {"%%map 1 (2 + y)", "** ERROR near line 1, Column 15: Identifier \"y\" Unknown"},
        {"%%map -1 2", "** ERROR near line 1, Column 8: Script syntax error"},
        {"%%handlers 1 21 2 'a'", "** ERROR near line 1, Column 18: Script syntax error"},
    };
    for (const auto& [script, message] : cases)
        EXPECT_EQ(Error(script), message) << script;

    // Brackets nest as deep as a script can sensibly need; far deeper nesting is refused at
    // its place instead of running the compiler out of stack.
    const int most = TSYM_Compiler::kMaxNesting;
    TSyntaxMemoParser p;
    EXPECT_EQ(Compile(p, "%%map " + std::string(most, '(') + "7" + std::string(most, ')') + " 3"),
              "");
    EXPECT_EQ(p.Settings().Map[7], 3);
    const std::string deep = "%%map " + std::string(60000, '(') + "1";
    EXPECT_EQ(Error(deep), "** ERROR near line 1, Column " + std::to_string(8 + most) +
                               ": Brackets nested more than 256 deep");
}

TEST(Compiler, RulesEndWithFunctionsAndStatesStayTheirOwn) {
    TSyntaxMemoParser p;
    // A token rule may end with a function: "#" letters, then the digits the standard
    // number function takes. A handler's body is followed by the next handler instead.
    ASSERT_EQ(Compile(p, "%%tokens 7 '#' '[a-z]' * 16 1\r"
                         "%%handlers 5 '[a-z]' 6 '[0-9]'\r"
                         "%%tokens ? 3 (9 '@' '[a-z]' '[^a-z]' 0) 8 '%' '[a-z]' '[^a-z]' 0 [2]\r"
                         "%%words 'w' '' 9 [4]"),
              "");
    ASSERT_TRUE(p.Tables.TokenRules['#']);
    const TEndPart& end = p.Tables.TokenRules['#']->End;
    EXPECT_EQ(end.IsFunction, 1);
    EXPECT_EQ(end.Function, 16);
    EXPECT_EQ(end.Include, 1);
    EXPECT_TRUE(p.Tables.Handlers[5] && p.Tables.Handlers[6]);
    EXPECT_EQ(p.Tables.Handlers[5]->End.Count, 0);
    EXPECT_EQ(test::Highlighted(p, "#abc123;"), "7*7 0*1");
    // A rule under "? 3" is valid in state 3 alone, a global rule in 0 and what it lists;
    // a word in 0 besides its own states.
    EXPECT_EQ(p.Tables.TokenInfo[8]->Valid, (TSet256{0, 2}));
    EXPECT_EQ(p.Tables.TokenInfo[9]->Valid, (TSet256{3, 4})); // the word added its state 4
    TSyntaxMemoParser q;
    ASSERT_EQ(Compile(q, "%%tokens ? 3 (9 '@' '[a-z]' '[^a-z]' 0)"), "");
    EXPECT_EQ(q.Tables.TokenInfo[9]->Valid, TSet256{3});
    // The end function survives the stored form.
    TMemoryStream stored;
    p.WriteStored(stored);
    stored.Seek(0, TSeekOrigin::Begin);
    TSyntaxMemoParser r;
    r.ReadStored(stored);
    EXPECT_EQ(r.Tables.TokenRules['#']->End, end);
    EXPECT_EQ(Error("%%tokens 7 '#' '[a-z]' 25 1"),
              "** ERROR near line 1, Column 28: Script syntax error");
}

TEST(Compiler, ListsReportWhereTheyStop) {
    const std::pair<const char*, const char*> cases[] = {
        // A font style list without its "]" ends where the next entry starts.
        {"%%effects 1 [fsBold 2 [] 0 0", "** ERROR near line 1, Column 23: ']' expected"},
        {"%%effects 1 [fsBold\r 2 [] 0 0", "** ERROR near line 2, Column 3: ']' expected"},
        {"%%language GutterFontStyle = [1, 2 name = 'x'",
         "** ERROR near line 1, Column 40: ']' expected"},
        // A specifier whose "[" is never closed is reported at its string, like the others.
        {"%%words 'x' '[a-z' 1", "** ERROR near line 1, Column 21: ']' expected"},
        {"%%handlers 1 'a' '[ab' 0", "** ERROR near line 1, Column 25: ']' expected"},
        {"%%kwTables forstate [] endswith '[^a' ( 1 is 'x' )",
         "** ERROR near line 1, Column 51: ']' expected"},
    };
    for (const auto& [script, message] : cases)
        EXPECT_EQ(Error(script), message) << script;
}

TEST(Compiler, KeywordTableMessages) {
    const std::pair<const char*, const char*> cases[] = {
        {"%%kwTables forstate 1", "** ERROR near line 1, Column 22: '[' expected"},
        {"%%kwTables forstate [1 x", "** ERROR near line 1, Column 25: Identifier \"x\" Unknown"},
        {"%%kwTables forstate [1 'x'", "** ERROR near line 1, Column 27: ']' expected"},
        {"%%kwTables forstate [] '' (", "** ERROR near line 1, Column 26: '[' expected"},
        {"%%kwTables forstate [] endswith ( 1 is 'x' )",
         "** ERROR near line 1, Column 34: String value expected"},
        {"%%kwTables forstate [] endswith '' 1 is 'x' )",
         "** ERROR near line 1, Column 37: '(' expected"},
        {"%%kwTables forstate [] endswith '' ( 1 'x' )",
         "** ERROR near line 1, Column 43: String value expected"},
        {"%%kwTables forstate [] endswith '' ( 1 is 2 )",
         "** ERROR near line 1, Column 44: String value expected"},
        {"%%kwTables forstate [] endswith '' ( 1 is 'x' 2 is 'y'",
         "** ERROR near line 1, Column 55: ')' expected"},
        {"%%kwTables forstate [0 1] endswith '' ( 1 is 'x' ) forstate [1] endswith '' ( 1 is 'y' )",
         "** ERROR near line 1, Column 89: Ambigious key table state definition"},
        {"%%kwTables forstate [] endswith '' ( 256 is 'x' )",
         "Range error, value outwith 0 .. 255"},
    };
    for (const auto& [script, message] : cases)
        EXPECT_EQ(Error(script), message) << script;
    // A table for the same states replaces the earlier one; the words of both kinds of
    // table are found in their states.
    TSyntaxMemoParser p;
    ASSERT_EQ(Compile(p, "%%kwTables forstate [] endswith '' ( 5 is 'old' )\r"
                         "forstate [0] endswith '[^a-z]' ( 6 is 'new', 'two' 7 is 'three' )"),
              "");
    ASSERT_EQ(p.Settings().KeywordTables().size(), 1u);
    EXPECT_EQ(p.Settings().KeywordTables()[0].Words.size(), 3u);
}

TEST(Compiler, EachKeywordTableKeepsItsOwnCase) {
    // A table compiled without case, then one with case: the first still matches capitals.
    TSyntaxMemoParser p;
    ASSERT_EQ(Compile(p, "%%kwTables forstate [0] endswith '[^a-z]' ( 7 is 'begin' )\r"
                         "%%language case = 1\r"
                         "%%kwTables forstate [1] endswith '[^a-z]' ( 8 is 'Read' )"),
              "");
    auto match = [&](const char* text, const TSet256& states) {
        TStringCursor in(text);
        const TKeywords::TMatch m = p.Settings().KeywordLookup().Match(in, states);
        return m.Found ? m.Value : -1;
    };
    EXPECT_EQ(match("BEGIN ", {0}), 7);
    EXPECT_EQ(match("begin ", {0}), 7);
    EXPECT_EQ(match("Read ", {1}), 8);
    EXPECT_EQ(match("read ", {1}), -1);
    EXPECT_EQ(match("Read ", {0}), -1);
    // The scanner sees the same.
    TSyntaxMemoParser q;
    ASSERT_EQ(Compile(q, "%%kwTables forstate [0] endswith '[^a-z]' ( 7 is 'begin' )\r"
                         "%%language case = 1\r"
                         "%%kwTables forstate [1] endswith '[^a-z]' ( 8 is 'Read' )"),
              "");
    EXPECT_EQ(test::Highlighted(q, "BEGIN Begin begin"), "7*5 0*1 7*5 0*1 7*5");
}

TEST(Compiler, StatementLabelsNameWhereAnErrorIs) {
    const std::pair<const char*, const char*> cases[] = {
        {"5", "Header"},
        {"%%language name = 5", "%%Language - Name"},
        {"%%language editablestyles = 5", "%%Language - Editable styles"},
        {"%%language exampletext = 5", "%%Language - Example text"},
        {"%%language fontsize = 'x'", "%%Language - fontsize"},
        {"%%language GutterFontStyle = [(]", "%%Effects - GutterFontStyle"},
        {"%%words 'a' '' 1 'b' '[0-9]' x", "%%Words - [0-9]"},
        {"%%words 5", "%%Words"},
        {"%%kwtables forstate 1", "%%KwTables"},
        {"%%handlers 1 'a' 2 'b' 2 'c'", "%%Handlers - 3"},
        {"%%tokens 1 10 2 x", "%%Tokens - 2"},
        {"%%tokens ? 1 (3 10 4 ';' x", "%%Tokens - 2"},
        {"%%map 1 2 3 4 5 x", "%%Map - 3"},
        {"%%effects 1 [] 0 0 2 [] 0 x", "%%Effects - 2"},
        {"%%states 1 (+ 2) 2 (x", "%%States - 2"},
        {"%%containers 1 (+ x", "%%Containers - 1"},
        {"%%keys 1 'a' 2 'b' 3 ''", "%%Keys - 3"},
        {"%%autoreplace 'a' 'b'", "%%AutoReplace"},
        {"%%templates 'a' 'b'", "%%Templates"},
        // A section that starts again numbers its statements afresh.
        {"%%map 1 2 3 4 %%words %%map 9 x", "%%Map - 1"},
    };
    for (const auto& [script, label] : cases) {
        TSyntaxMemoParser p;
        EXPECT_NE(Compile(p, script), "") << script;
        EXPECT_EQ(p.StatementLabel, label) << script;
    }
}

TEST(Compiler, MacrosNestAndGrowWithinLimits) {
    // A chain of macros each naming the one before nests one level per link.
    std::string chain = "#define M0 1\r";
    for (int i = 1; i <= 40; ++i)
        chain += "#define M" + std::to_string(i) + " M" + std::to_string(i - 1) + "\r";
    TSyntaxMemoParser p;
    EXPECT_EQ(Compile(p, chain + "%%map M30 2"), "");
    EXPECT_EQ(p.Settings().Map[1], 2);
    EXPECT_NE(Compile(p, chain + "%%map M40 2").find("nested more than 32 deep at 'M"),
              std::string::npos);
    // Each macro using the one before twice doubles the text: stopped long before memory.
    std::string doubling = "#define D0 1\r";
    for (int i = 1; i <= 30; ++i)
        doubling += "#define D" + std::to_string(i) + " D" + std::to_string(i - 1) + " + D" +
                    std::to_string(i - 1) + "\r";
    EXPECT_NE(Compile(p, doubling + "%%map D30 1").find("Macro expansions are too long in all"),
              std::string::npos);
}

TEST(Compiler, ScriptsAndIncludesHaveASizeLimit) {
    // A script may hold up to the limit; beyond it, it is refused before being compiled,
    // by name when it has one.
    const int64_t limit = TScriptReader::kMaxScriptBytes;
    std::string text = "%%map 1 2\r";
    text += std::string(static_cast<size_t>(limit) - text.size(), ' ');
    TSyntaxMemoParser p;
    EXPECT_EQ(Compile(p, text), "");
    EXPECT_EQ(Compile(p, text + " "), "The script is larger than 4 MB");
    const auto dir = std::filesystem::temp_directory_path() / "kvx-compiler-size";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "big.inc") << text << " ";
    p.Script = (dir / "lang.syn").string();
    std::ofstream(p.Script) << text << " ";
    try {
        p.CompileFromFile();
        ADD_FAILURE() << "a script over the limit was compiled";
    } catch (const ESYM_COMP_ERROR& e) {
        EXPECT_EQ(std::string(e.what()), "Script '" + p.Script + "' is larger than 4 MB");
    }
    EXPECT_EQ(Compile(p, "%%map 1 2\r#include <big.inc>\r"),
              "** ERROR near line 2, Column 19: #include file <" + (dir / "big.inc").string() +
                  "> is larger than 4 MB");
    std::filesystem::remove_all(dir);

    // A stream that says it is empty is read to its end all the same.
    class TUnsized : public TStream {
      public:
        int64_t Read(void* buffer, int64_t count) override { return data_.Read(buffer, count); }
        int64_t Write(const void*, int64_t) override { return 0; }
        int64_t Seek(int64_t offset, TSeekOrigin origin) override {
            return data_.Seek(offset, origin);
        }
        int64_t Size() override { return 0; }

      private:
        TMemoryStream data_{std::string("%%map 4 5")};
    } unsized;
    TSyntaxMemoParser q;
    q.CompileFromStream(unsized);
    EXPECT_EQ(q.Settings().Map[4], 5);
}

} // namespace
} // namespace kvx
