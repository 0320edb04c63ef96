// The six built-in languages as the program carries them: embedded tables equal to a fresh
// compile of their scripts, the token values of their constructs, and incremental
// highlighting equal to a full pass under random editing.
#include "highlight/languages/Languages.h"
#include "TokenRuns.h"
#include "editor/KeyMap.h"
#include "editor/Macros.h"
#include "editor/TextFile.h"

#include <gtest/gtest.h>

#include <set>

#ifndef KVX_LANGUAGE_DIR
#error "KVX_LANGUAGE_DIR must name the folder of the language scripts"
#endif

namespace kvx {
namespace {

using test::Highlighted;

const char* const kScripts[kLanguageCount] = {"asm", "c", "pascal", "basic", "html", "text"};

TSyntaxMemoParser& Language(int n) {
    static std::unique_ptr<TSyntaxMemoParser> parsers[kLanguageCount];
    auto& p = parsers[n - 1];
    if (!p) {
        p = std::make_unique<TSyntaxMemoParser>();
        LoadLanguage(*p, n);
    }
    return *p;
}

std::string Row(int language, std::string_view text, int row = 0) {
    const std::string runs = Highlighted(Language(language), text);
    size_t from = 0;
    for (int i = 0; i < row; ++i)
        from = runs.find('|', from) + 1;
    return runs.substr(from, runs.find('|', from) - from);
}

// Every value the language's words, rules and keyword tables can give.
std::set<int> ProducibleValues(const TSyntaxMemoParser& p) {
    std::set<int> values;
    for (const auto& w : p.Keywords().Words())
        values.insert(w.Value);
    for (const auto& r : p.Tables.TokenRules)
        if (r)
            values.insert(r->Value);
    for (const auto& t : p.Tables.StateTokenRules)
        if (t)
            for (const auto& r : t->Rules)
                if (r)
                    values.insert(r->Value);
    for (const auto& t : p.Settings().KeywordTables())
        for (const auto& w : t.Words)
            values.insert(w.second);
    return values;
}

// Highlights `text` and checks that every value the language can give shows up in it.
void ExpectEveryValue(int language, const std::string& text) {
    TCustomSyntaxMemo memo;
    memo.SetWholeText(text);
    TSyntaxMemoParser& p = Language(language);
    p.HighlightAll(memo);
    std::set<int> seen;
    for (const char c : test::AllBytes(memo))
        seen.insert(static_cast<uint8_t>(c));
    for (const int v : ProducibleValues(p))
        EXPECT_TRUE(seen.count(v)) << "language " << language << " never gave value " << v;
}

TEST(Languages, EmbeddedTablesEqualAFreshCompile) {
    for (int n = 1; n <= kLanguageCount; ++n) {
        TSyntaxMemoParser fresh;
        TFileStream script(std::string(KVX_LANGUAGE_DIR) + "/" + kScripts[n - 1] + ".syn");
        fresh.CompileFromStream(script);
        TMemoryStream stored;
        fresh.WriteStored(stored);
        const std::span<const uint8_t> embedded = EmbeddedLanguage(n);
        EXPECT_EQ(stored.Data(), std::string(embedded.begin(), embedded.end())) << kScripts[n - 1];
        TMemoryStream again;
        Language(n).WriteStored(again);
        EXPECT_EQ(again.Data(), stored.Data()) << kScripts[n - 1];
    }
    EXPECT_TRUE(EmbeddedLanguage(0).empty());
    EXPECT_TRUE(EmbeddedLanguage(7).empty());
    TSyntaxMemoParser p;
    EXPECT_THROW(LoadLanguage(p, 7), ESyntaxMemo);
}

TEST(Languages, ChosenByExtension) {
    EXPECT_EQ(LanguageForFileName("prog.inc"), 1);
    EXPECT_EQ(LanguageForFileName("/src/boot.ASM"), 1);
    EXPECT_EQ(LanguageForFileName("out.lst"), 1);
    EXPECT_EQ(LanguageForFileName("my.file.c"), 2);
    EXPECT_EQ(LanguageForFileName("a.hpp"), 2);
    EXPECT_EQ(LanguageForFileName("Unit1.pas"), 3);
    EXPECT_EQ(LanguageForFileName("m.Bas"), 4);
    EXPECT_EQ(LanguageForFileName("a.Htm"), 5);
    EXPECT_EQ(LanguageForFileName("x.html5"), 5);
    EXPECT_EQ(LanguageForFileName("readme"), 6);
    EXPECT_EQ(LanguageForFileName("x.asmx"), 6);
    EXPECT_EQ(LanguageForFileName("dir.c/readme"), 6);
    EXPECT_EQ(LanguageForFileName("trailing."), 6);
    EXPECT_EQ(LanguageCaption(1), "Assembler");
    EXPECT_EQ(LanguageCaption(6), "Text");
    EXPECT_EQ(LanguageCaption(0), "");
}

// What each language carries besides its tables: the editor settings row, the key map,
// the template and auto-correct lists.
TEST(Languages, SettingsKeyMapsAndWordLists) {
    struct TRow {
        int32_t Options, Margin, WrapAt, GutterColor, SelBack;
        bool Flags;
    };
    const TRow rows[kLanguageCount] = {
        {0x3FFDBF0, 2, 0, clBtnFace, 0x800000, false},
        {0x3FFDBF0, 2, 0, clBtnFace, 0x800000, false},
        {0x3FFDBF0, 8, 0, 0x00FFFF, 0xFF0000, true},
        {0x3FFDBF0, 2, 0, clBtnFace, 0x800000, false},
        {0x407DBF0, 2, 60, clBtnFace, 0x800000, false},
        {0x3FFDBF0, 2, 0, clBtnFace, 0x800000, false},
    };
    const TKeyboardActionContoller& standard = TKeyboardActionContoller::Default();
    // The commands with a description and their texts (an empty text is none).
    auto Described = [](const TKeyboardActionContoller& map) {
        std::vector<std::pair<int32_t, std::string>> out;
        for (const auto& [command, text] : map.Descriptions())
            if (!text.empty())
                out.emplace_back(command, text);
        return out;
    };
    for (int n = 1; n <= kLanguageCount; ++n) {
        SCOPED_TRACE(kScripts[n - 1]);
        const TSM_Settings& s = Language(n).Settings();
        const TRow& r = rows[n - 1];
        EXPECT_EQ(s.OptionWord, r.Options);
        EXPECT_EQ(s.Margin, r.Margin);
        EXPECT_EQ(s.RightMargin, 80);
        EXPECT_EQ(s.WrapAtColumn, r.WrapAt);
        EXPECT_EQ(s.Gutter, 34);
        EXPECT_EQ(s.IndentStep, 1);
        EXPECT_EQ(s.TabDefault, 4);
        EXPECT_EQ(s.MarginColor, 0xFFFFFF);
        EXPECT_EQ(s.GutterColor, r.GutterColor);
        EXPECT_EQ(s.SelTextColor, 0xFFFFFF);
        EXPECT_EQ(s.SelTextBack, r.SelBack);
        EXPECT_EQ(s.MarginUsesBackColor && s.SysSelTextColor && s.SysSelBackColor &&
                      s.SysGutterColor,
                  r.Flags);
        EXPECT_EQ(s.FontName, "Courier New");
        EXPECT_EQ(s.FontSize, 10);
        EXPECT_EQ(s.Charset, 204);
        EXPECT_EQ(s.WrapOverride, ">|:");
        EXPECT_EQ(s.Templates().Trigger, scCtrl | 'J');
        EXPECT_EQ(s.AutoReplace().TriggerText(), TAutoReplace::kInitialTriggers);
        const size_t templates = n == 1 ? 12 : n == 3 ? 2 : 0;
        EXPECT_EQ(s.Templates().Entries().size(), templates);
        EXPECT_EQ(s.AutoReplace().Entries().size(), n == 3 ? 4u : 0u);
        if (n != 3) { // the standard map byte for byte, the empty description of 45 included
            TMemoryStream mine, theirs;
            s.KeyMap().SaveToStream(mine);
            standard.SaveToStream(theirs);
            EXPECT_EQ(mine.Data(), theirs.Data());
        }
    }
    EXPECT_TRUE(Language(1).Settings().Templates().Entries().count("picstart"));

    // Pascal's own map: no descriptions for 40, 43 and 45; the standard bindings without
    // Ctrl+Y, Ctrl+Backspace and Ctrl+Delete, with Ctrl+Insert copying and Shift+Insert
    // pasting.
    const TKeyboardActionContoller& pascal = Language(3).Settings().KeyMap();
    EXPECT_EQ(Described(pascal).size(), 43u);
    for (const int command : {40, 43, 45})
        EXPECT_EQ(pascal.Description(command), "");
    const auto bindings = pascal.Keys().Bindings();
    EXPECT_EQ(bindings.size(), 45u);
    auto commandOf = [&](TShortcut key) {
        for (const auto& b : bindings)
            if (b.First == key && b.Second == 0)
                return b.Command;
        return -1;
    };
    EXPECT_EQ(commandOf(scCtrl | vkInsert), 13);
    EXPECT_EQ(commandOf(scShift | vkInsert), 14);
    EXPECT_EQ(commandOf(scCtrl | 'Y'), -1);
    EXPECT_EQ(commandOf(scCtrl | vkBack), -1);
    EXPECT_EQ(commandOf(scCtrl | vkDelete), -1);
}

TEST(Languages, Assembler) {
    // An instruction needs a non-letter after it; 0x and $ numbers are hexadecimal.
    EXPECT_EQ(Row(1, "movlw 0x1F\r"), "12*5 0*1 13*4 0*1");
    EXPECT_EQ(Row(1, "movlwx $ff"), "3*6 0*1 13*3");
    EXPECT_EQ(Row(1, "start: goto start ; loop"), "3*5 7*1 0*1 12*4 0*1 3*5 0*1 1*6");
    EXPECT_EQ(Row(1, "\tmov a, #25"), "0*1 12*3 0*1 3*1 0*2 5*3");
    EXPECT_EQ(Highlighted(Language(1), "/* a\r b */ nop"), "2*5|2*5 0*1 12*3");
    ExpectEveryValue(1, "; PIC start-up\r\tprocessor 16f84a\r#define LED 0x05\r"
                        "start:\tmovlw\t0x1F\t// load\r\tdb\t\"text\", 'c', $FF, 1.5e3\r"
                        "/* block\r   comment */ goto start\r\tld\t(IX), a\rend\r");
}

TEST(Languages, AnsiC) {
    // Case matters: "While" is an identifier, "while" a reserved word.
    EXPECT_EQ(Row(2, "while (x) While(y);"), "12*5 0*1 11*1 3*1 11*1 0*1 3*5 11*1 3*1 11*2");
    EXPECT_EQ(Row(2, "c = '\\n'; s = \"a\\\"b\";"),
              "3*1 0*1 7*1 0*1 9*4 11*1 0*1 3*1 0*1 7*1 0*1 4*6 11*1");
    EXPECT_EQ(Row(2, "#include <stdio.h>\rx", 0), "10*18 0*1");
    EXPECT_EQ(Highlighted(Language(2), "a /* b\r c */ 0x1f"), "3*1 0*1 2*5|2*5 0*1 13*4");
    ExpectEveryValue(2, "int main(void) {\r  char c = '\\n'; // note\r"
                        "  while (x <<= 2) return 0x1f + 1.5;\r  /* a\r  */ s = \"a\";\r}\r"
                        "#include <stdio.h>\r");
}

TEST(Languages, ObjectPascal) {
    EXPECT_EQ(Highlighted(Language(3), "{ a\r} (* b\r*) // c"), "8*4|8*1 0*1 9*5|9*2 0*1 1*4");
    EXPECT_EQ(Row(3, "s := 'it''s' + #13#$0d + $1F;"),
              "2*1 0*1 10*2 0*1 3*7 0*1 10*1 0*1 11*3 12*4 0*1 10*1 0*1 6*3 20*1");
    // "read" and "write" are words only inside a property declaration, up to its ";".
    EXPECT_EQ(Row(3, "property P: Integer read F write G; read"),
              "21*8 0*1 2*1 0*2 2*7 0*1 23*4 0*1 2*1 0*1 25*5 0*1 2*1 20*1 0*1 7*4");
    ExpectEveryValue(3, "uses SysUtils;\r{ brace }\r(* paren *) // line\rtype\r"
                        "  TFoo = class\r    property P: Integer read F write G stored True "
                        "default 0;\r  end;\rexports Foo index 1 name 'x' resident;\r"
                        "const A = #13#$0d + $1F + 1.5;\r");
}

TEST(Languages, VisualBasicScript) {
    // "Sub" opens a line as value 20; after another word it is a reserved word.
    EXPECT_EQ(Row(4, "Sub Foo()\r  x = 1 Sub\r", 0), "20*3 32*1 30*3 55*2 31*1");
    EXPECT_EQ(Row(4, "Sub Foo()\r  x = 1 Sub\r", 1),
              "31*2 30*1 32*1 55*1 32*1 51*1 32*1 53*3 31*1");
    EXPECT_EQ(Row(4, "x = \"a\" ' note\r"), "30*1 32*1 55*1 32*1 50*3 32*1 33*6 31*1");
    ExpectEveryValue(4, "Attribute Module=x\rAttribute Form=B\rAttribute Class=C\r"
                        "Public Sub A()\rPrivate Sub B()\rFunction C()\rPublic Function D()\r"
                        "Private Function E()\rProperty Get F()\rProperty Let G()\r"
                        "Property Set H()\rSub I()\r  Dim x: x = &HFF + $1F + #12 + 1.5\r"
                        "  s = \"str\" ' comment\r  Rem old\r  y = a.b(1) <> c\r"
                        "  x = 1: End Sub\r  x = 1: End Function\r  x = 1: End Property\r"
                        "End Sub\r");
}

TEST(Languages, Html) {
    // After "<" a tag name moves into the tag; its attributes are words there; ">" leaves.
    EXPECT_EQ(Row(5, "<table align=\"x\">table"), "22*1 163*5 25*1 29*5 0*1 27*3 23*1 26*5");
    EXPECT_EQ(Highlighted(Language(5), "<!-- a\r--> &amp; &x;"), "24*7|24*3 25*1 180*5 25*1 180*3");
    EXPECT_EQ(Row(5, "see http://x.org/a. now"), "26*3 25*1 31*14 0*1 25*1 26*3");
    // Tags and attributes may run over lines.
    EXPECT_EQ(Highlighted(Language(5), "<b\r src=\"a\">"),
              "22*1 103*1 25*1|25*1 26*3 0*1 27*3 23*1");
    std::string sample = "<body bgcolor=red><td background=x>mailto:me@x.org 12 &nbsp;\r"
                         "<!-- note --> <a href=\"x\" name=y>http://a.b/c</a>\r";
    for (const auto& w : Language(5).Keywords().Words())
        if (w.Value >= 100 && w.Value <= 173)
            sample += "<" + w.Text + ">\r";
    ExpectEveryValue(5, sample);
}

TEST(Languages, PlainText) {
    // A line up to its break is one token, the break another; byte 255 is plain.
    EXPECT_EQ(Highlighted(Language(6), "any text\r\r\xFFy\r"), "1*8 2*1|2*1|0*1 1*1 2*1");
    ExpectEveryValue(6, "line\r");
}

// A comment opener typed as the very last text of a document is a comment at once, as it
// will be once more text follows; plain text and an operator before it was complete.
TEST(Languages, OpenersAtTheEndOfTheText) {
    const struct {
        int Language;
        const char* Text;
        const char* Runs;
    } cases[] = {
        {1, "nop ;", "12*3 0*1 1*1"},
        {1, "nop /*", "12*3 0*1 2*2"},
        {2, "int x; /", "12*3 0*1 3*1 11*1 0*1 7*1"},
        {2, "int x; //", "12*3 0*1 3*1 11*1 0*1 1*2"},
        {2, "int x; //x", "12*3 0*1 3*1 11*1 0*1 1*3"},
        {2, "int y; /*", "12*3 0*1 3*1 11*1 0*1 2*2"},
        {2, "#", "10*1"},
        {3, "x := 1; {", "2*1 0*1 10*2 0*1 4*1 20*1 0*1 8*1"},
        {3, "x := 1; (*", "2*1 0*1 10*2 0*1 4*1 20*1 0*1 9*2"},
        {3, "x := 1; //", "2*1 0*1 10*2 0*1 4*1 20*1 0*1 1*2"},
        {4, "'", "33*1"},
        {4, "x = 1 '", "30*1 32*1 55*1 32*1 51*1 32*1 33*1"},
        {4, "x = 1 '\r", "30*1 32*1 55*1 32*1 51*1 32*1 33*1 31*1"},
        {5, "<p>text <!--", "22*1 152*1 23*1 26*4 25*1 24*4"},
        // A handler that reads with a function still needs what the function reads.
        {5, "see http://", "26*3 25*1 26*4 0*3"},
        // So does a token rule: "$" alone is no number yet.
        {3, "x := $", "2*1 0*1 10*2 0*2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Highlighted(Language(c.Language), c.Text), c.Runs)
            << "language " << c.Language << ": " << c.Text;
}

// A keystroke rescans a few rows, not everything up to the last ";" or anchor above it:
// after a long header comment and inside a long constant table, which hold no anchor.
TEST(Languages, AKeystrokeRescansAFewRows) {
    for (const int language : {2, 3}) {
        SCOPED_TRACE("language " + std::to_string(language));
        const bool pascal = language == 3;
        std::string text = pascal ? "{ Licence\r" : "/* Licence\r";
        for (int i = 0; i < 2000; ++i)
            text += "  free software; redistribute it\r";
        text += pascal ? "}\runit A;\rconst T: array[0..1999] of Integer = (\r"
                       : "*/\rint a;\rconst int T[] = {\r";
        for (int i = 0; i < 2000; ++i)
            text += "  " + std::to_string(i) + ",\r";
        text += pascal ? "  0);\rend.\r" : "  0};\r";
        TCustomSyntaxMemo memo;
        memo.SetWholeText(text);
        TSyntaxMemoParser& p = Language(language);
        memo.SetHighlighter(&p);
        memo.ChangeNotification();
        const std::string doc = memo.Text();
        for (const char* at : {pascal ? "unit" : "int a", "  1999,", "  0)", "  0}"}) {
            const size_t where = doc.find(at);
            if (where == std::string::npos)
                continue;
            memo.SetSelection(static_cast<TextOffset>(where), static_cast<TextOffset>(where));
            memo.KeyChar('x');
            memo.ChangeNotification();
            EXPECT_LE(p.RowsScanned, 3) << at;
            memo.ExecuteCommand(caUNDO);
            memo.ChangeNotification();
        }
        // Inside the comment the pass starts where the comment does: it is one token.
        const TextOffset inside = static_cast<TextOffset>(doc.find(pascal ? "}\r" : "*/\r"));
        memo.SetSelection(inside, inside);
        memo.KeyChar('x');
        memo.ChangeNotification();
        EXPECT_EQ(p.RowsScanned, 2003);
    }
}

// A sample of each language and what random editing types or pastes into it.
struct TEditCase {
    int Language;
    std::string Text;
    std::vector<std::string> Pieces;
};

std::vector<TEditCase> EditCases() {
    const std::vector<std::string> common = {"\r", " ", "x", "'", "\"", "/*", "*/", "//", ";"};
    std::vector<TEditCase> cases = {
        {1,
         "start:\tmovlw\t0x1F\t; load\r\tdb\t\"t\", 'c', $FF\r/* b */ goto start\r",
         {"movlw", "0x", "$", "#", "1", "(", ")"}},
        {2,
         "int f(void) { return 0x1f; } /* c */\r#define X 1\r  s = \"a\";\r",
         {"while", "0x", "#", "{", "}", "1.5"}},
        {3,
         "property P: Integer read F write G;\r{ c } (* d *) s := 'a';\rexports F index 1;\r"
         "property Q: Integer\r  read F\r  write G;\rconst T = (1,\r  2,\r  3);\r{ a\rb }\r",
         {"{", "}", "(*", "*)", "property", "read", "#", "$", "exports", ","}},
        {4,
         "Sub A()\r  x = \"s\" ' c\rEnd Sub\rPublic Function F()\r",
         {"Sub", "End Sub", "&H", "Public ", "\t", "Rem"}},
        {5,
         "<table align=\"x\">text &amp; <!-- c -->\r<a href=http://a.b>x</a>\r",
         {"<", ">", "<!--", "-->", "&", "align", "<td ", "http://"}},
        {6, "plain text\r\rmore\r", {"\xFF", "a"}},
    };
    for (TEditCase& c : cases)
        c.Pieces.insert(c.Pieces.begin(), common.begin(), common.end());
    return cases;
}

TEST(Languages, IncrementalEqualsFull) {
    for (const TEditCase& c : EditCases()) {
        std::string text;
        for (int i = 0; i < 40; ++i)
            text += c.Text;
        SCOPED_TRACE("language " + std::to_string(c.Language));
        test::IncrementalEqualsFull(Language(c.Language), text, c.Pieces, 10000,
                                    1000 + static_cast<uint32_t>(c.Language));
        SCOPED_TRACE("highlighted a little at a time");
        test::IncrementalEqualsFull(Language(c.Language), text, c.Pieces, 4000,
                                    2000 + static_cast<uint32_t>(c.Language), false, true);
    }
}

// Lines of many rows: an edit cuts the rest of its line into rows again, and the rows whose
// characters only moved keep their token bytes; the passes that follow must still come to
// what a full pass writes. Also with word wrap cutting the lines again after the store.
TEST(Languages, IncrementalEqualsFullInLinesOfManyRows) {
    for (const bool wrap : {false, true}) {
        for (const TEditCase& c : EditCases()) {
            // About 9 KB in two lines of four or five rows each.
            std::string text;
            while (text.size() < 9000)
                text += c.Text;
            for (size_t i = 0; i < text.size(); ++i)
                if (text[i] == '\r' && i != text.size() / 2)
                    text[i] = ' ';
            SCOPED_TRACE("language " + std::to_string(c.Language) + (wrap ? ", wrapped" : ""));
            test::IncrementalEqualsFull(Language(c.Language), text, c.Pieces, 600,
                                        2000 + static_cast<uint32_t>(c.Language), wrap);
        }
    }
}

// A keystroke in the middle of a line of half a megabyte rescans the rows around it, not
// the rest of the line; so does a deletion, and two edits before one pass (the second
// above the first) still leave nothing unscanned.
TEST(Languages, AnEditInALongLineRescansAFewRows) {
    TSyntaxMemoParser& p = Language(2);
    std::string text;
    while (text.size() < 500000)
        text += "int f(void) { return 0x1f; } /* c */ s = \"a\"; ";
    TCustomSyntaxMemo memo;
    memo.SetWholeText(text);
    memo.SetHighlighter(&p);
    memo.ChangeNotification();
    const int32_t rows = memo.Store().RowCount();
    ASSERT_GT(rows, 200);
    auto same = [&](const char* what) {
        TCustomSyntaxMemo full;
        full.SetWholeText(memo.Text());
        p.HighlightAll(full);
        EXPECT_TRUE(test::AllBytes(memo) == test::AllBytes(full)) << what;
    };
    const TextOffset middle = memo.Store().RowByIndex(rows / 2).Offset + 5;
    memo.SetSelection(middle, middle);
    memo.KeyChar('x');
    memo.ChangeNotification();
    EXPECT_LE(p.RowsScanned, 4);
    same("a key");
    memo.ExecuteCommand(caDELETE);
    memo.ChangeNotification();
    EXPECT_LE(p.RowsScanned, 4);
    same("Delete");
    // "/*" opens a comment that runs to the next "*/": the pass goes on until the token
    // bytes come out as they were, a few rows on.
    memo.ReplaceSelection("/*");
    memo.ChangeNotification();
    EXPECT_LE(p.RowsScanned, 4);
    same("a comment opener");
    memo.ExecuteCommand(caUNDO);
    memo.ChangeNotification();
    same("undo");
    // Two edits, then one pass: the lower edit's rows must be scanned too.
    const TextOffset low = memo.Store().RowByIndex(rows - 20).Offset + 3;
    memo.SetSelection(low, low);
    memo.ReplaceSelection("x");
    memo.SetSelection(middle, middle);
    memo.ReplaceSelection("x");
    memo.ChangeNotification();
    EXPECT_LT(p.RowsScanned, rows / 2);
    same("two edits");
}

} // namespace
} // namespace kvx
