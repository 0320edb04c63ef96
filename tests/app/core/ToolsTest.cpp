#include "TestFiles.h"
#include "app/core/ShellStrings.h"
#include "app/core/ToolCommand.h"
#include "app/core/ToolTable.h"

#include <gtest/gtest.h>

namespace kvx {
namespace {

using Args = std::vector<std::string>;

TEST(ToolTable, DefaultsEnablingAndCaptions) {
    const TToolTable none; // no INI file at all
    for (int n = 1; n <= TToolTable::kCount; ++n)
        EXPECT_FALSE(none.IsEnabled(n)) << n;
    EXPECT_EQ(none.Caption(1), "Compile");
    EXPECT_EQ(none.Caption(2), "empty");
    EXPECT_EQ(none.Caption(5), "empty");

    TToolTable t;
    t[1].Program = "nasm"; // tool 1: only the program decides
    t[2] = {"empty", "make", ""};
    t[3] = {"Empty", "make", ""}; // only the exact word disables
    t[4] = {"Link", "", "-o x"};
    t[5] = {"", "ld", ""};
    EXPECT_TRUE(t.IsEnabled(1));
    EXPECT_FALSE(t.IsEnabled(2));
    EXPECT_TRUE(t.IsEnabled(3));
    EXPECT_FALSE(t.IsEnabled(4));
    EXPECT_TRUE(t.IsEnabled(5));
    EXPECT_EQ(t.Caption(1), "Compile");
    EXPECT_EQ(t.Caption(3), "Empty");

    const char* shortcuts[] = {"F9", "Ctrl+F9", "Shift+F9", "Alt+F9", "Ctrl+Shift+F9"};
    for (int n = 1; n <= TToolTable::kCount; ++n)
        EXPECT_STREQ(ToolShortcut(n), shortcuts[n - 1]);
}

TEST(ToolTable, IniRoundTripAndDamagedValues) {
    TToolTable t;
    t[1] = {"ignored", "/usr/bin/nasm", "-f elf $EDFILW.asm"};
    t[2] = {"Link", "ld", "-o $edfilw $EDFILW.o"};
    t[3] = {"Run", "./$EDFILW", ""};
    TIniFile ini;
    t.Store(ini);
    EXPECT_EQ(ini.Keys("Tools").size(), 14u); // there is no Name1
    EXPECT_FALSE(ini.KeyExists("Tools", "Name1"));
    TToolTable back;
    back.Load(TIniFile::FromText(ini.Text()));
    t[1].Name = "empty"; // tool 1's name is not stored
    EXPECT_EQ(back, t);

    TToolTable damaged;
    damaged.Load(TIniFile::FromText("[TOOLS]\n"
                                    "name2=AssemblerXYZ\n"    // 12 characters: cut to 10
                                    "Name3=Übersetzer-Lauf\n" // cut by characters, not bytes
                                    "Name4=\n"
                                    "FileName5\n" // no "=": no value
                                    "FileName2=  /bin/as  \n"
                                    "FileParam2=\"unclosed quote\n"));
    EXPECT_EQ(damaged[2].Name, "AssemblerX");
    EXPECT_EQ(damaged[3].Name, "Übersetzer");
    EXPECT_EQ(damaged[4].Name, "");
    EXPECT_EQ(damaged[5].Name, "empty");
    EXPECT_EQ(damaged[5].Program, "");
    EXPECT_EQ(damaged[2].Program, "/bin/as");
    EXPECT_EQ(damaged[2].Parameter, "\"unclosed quote");
    EXPECT_EQ(CutCharacters("ab\xC3", 10), "ab\xC3"); // a lone lead byte counts as one
    EXPECT_EQ(CutCharacters("\xC3\xA4\xC3\xA4", 1), "\xC3\xA4");
}

TEST(ToolTable, FileKeepsWhatElseItHolds) {
    test::TempDir dir;
    test::ScopedEnv config("XDG_CONFIG_HOME", dir.Path().string());
    const std::string file = ToolsIniFile();
    EXPECT_EQ(file, dir / "kovex/kovxl.ini");
    EXPECT_EQ(LoadTools(file), TToolTable{}); // no file: the defaults
    test::fs::create_directories(dir / "kovex");
    test::WriteAll(file, "[Other]\nkeep=1\n[Tools]\nFileName1=old\nExtra=kept too\n");
    TToolTable t = LoadTools(file);
    EXPECT_EQ(t[1].Program, "old");
    t[1].Program = "/usr/bin/nasm";
    t[2] = {"Link", "ld", "-o $EDFILW"};
    ASSERT_TRUE(SaveTools(t, file));
    const TIniFile ini = TIniFile::Load(file);
    EXPECT_EQ(ini.ReadString("Other", "keep"), "1");
    EXPECT_EQ(ini.ReadString("Tools", "Extra"), "kept too");
    EXPECT_EQ(LoadTools(file), t);
}

TEST(ToolCommand, SplittingFollowsQtRules) {
    const std::pair<const char*, Args> cases[] = {
        {"", {}},
        {"   ", {}},
        {"a b  c", {"a", "b", "c"}},
        {"\"a b\" c", {"a b", "c"}},
        {"x\"a b\"y", {"xa by"}},
        {"\"\"\"quoted\"\"\"", {"\"quoted\""}}, // three quotes are one literal quote
        {"a \"\" b", {"a", "b"}},               // an empty quoted part vanishes
        {"\"unclosed part", {"unclosed part"}},
        {"tab\tsep\nline", {"tab", "sep", "line"}},
        {"-l $EDFILW.lst", {"-l", "$EDFILW.lst"}},
    };
    for (const auto& [command, args] : cases)
        EXPECT_EQ(SplitCommand(command), args) << command;
    EXPECT_TRUE(HasUnclosedQuote("\"unclosed part"));
    EXPECT_TRUE(HasUnclosedQuote("a \"b c\" \""));
    EXPECT_FALSE(HasUnclosedQuote("a \"b c\""));
    EXPECT_FALSE(HasUnclosedQuote("\"\"\"x\"\"\""));
}

TEST(ToolCommand, MacroAndFolders) {
    struct TCase {
        const char* File;
        const char* Parameter;
        Args Arguments;
        const char* Text;
    };
    const TCase cases[] = {
        // The macro in any letter case; the rest keeps its case.
        {"/src/Boot.asm", "-l $edfilw.lst", {"-l", "/src/Boot.lst"}, "-l /src/Boot.lst"},
        {"/src/Boot.asm",
         "-L $EdFilW.LST -o x",
         {"-L", "/src/Boot.LST", "-o", "x"},
         "-L /src/Boot.LST -o x"},
        // An empty parameter is the file name, as one argument even with blanks in it.
        {"/my src/a b.asm", "", {"/my src/a b.asm"}, "/my src/a b.asm"},
        // Only the final extension of the name goes; the folder is never touched.
        {"/a.asm/b.asm", "$EDFILW", {"/a.asm/b"}, "/a.asm/b"},
        {"/src/x.tar.gz", "$EDFILW", {"/src/x.tar"}, "/src/x.tar"},
        {"/src.d/Makefile", "$EDFILW", {"/src.d/Makefile"}, "/src.d/Makefile"},
        {"/src/.profile", "$EDFILW", {"/src/.profile"}, "/src/.profile"},
        // Blanks, quotes and shell syntax in the file name stay inside one argument.
        {"/t/a b;rm -rf ~.asm", "$EDFILW.o", {"/t/a b;rm -rf ~.o"}, "/t/a b;rm -rf ~.o"},
        {"/t/$(reboot)\"x'.c",
         "-c $EDFILW.c",
         {"-c", "/t/$(reboot)\"x'.c"},
         "-c /t/$(reboot)\"x'.c"},
        // The macro is substituted after splitting, inside quotes too, and more than once.
        {"/s/a.c",
         "\"-DNAME=$EDFILW\" $EDFILW$edfilw",
         {"-DNAME=/s/a", "/s/a/s/a"},
         "\"-DNAME=/s/a\" /s/a/s/a"},
        // A template without the macro is kept exactly as typed.
        {"/s/a.c", "-Wall \"-I My Dir\"", {"-Wall", "-I My Dir"}, "-Wall \"-I My Dir\""},
        {"/s/a.c", "$EDFIL", {"$EDFIL"}, "$EDFIL"},
    };
    for (const TCase& c : cases) {
        const TToolCommand cmd = MakeToolCommand({"x", "prog", c.Parameter}, c.File);
        EXPECT_EQ(cmd.Arguments, c.Arguments) << c.File << " | " << c.Parameter;
        EXPECT_EQ(cmd.ParameterText, c.Text) << c.File << " | " << c.Parameter;
        EXPECT_EQ(cmd.Program, "prog");
    }
    const TToolCommand cmd =
        MakeToolCommand({"x", "/usr/bin/nasm", "-l $EDFILW.lst"}, "/src/Boot.asm");
    EXPECT_EQ(cmd.Folder, "/src/");
    EXPECT_EQ(RunStatusText(cmd), "Run: /usr/bin/nasm -l /src/Boot.lst");
}

TEST(ShellStrings, GotoLineAnswers) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"12", 12},
        {" 7 ", 7},
        {"+3", 3},
        {"1", 1},
        {"0", std::nullopt},
        {"-3", std::nullopt},
        {"", std::nullopt},
        {"  ", std::nullopt},
        {"12a", std::nullopt},
        {"1e3", std::nullopt},
        {"0x10", std::nullopt},
        {"3.5", std::nullopt},
        {"++3", std::nullopt},
        {"99999999999999999999", INT32_MAX},
        {"2147483647", INT32_MAX},
        {"0007", 7},
    };
    for (const auto& [answer, line] : cases)
        EXPECT_EQ(ParseGotoLine(answer), line) << '"' << answer << '"';
}

TEST(ShellStrings, MessagesAndNames) {
    EXPECT_EQ(FormatText(kSaveChangesQuestion, {"/src/a.asm"}), "Save changes to /src/a.asm?");
    // A "%s" or "%d" inside the file name is text, not a format.
    EXPECT_EQ(FormatText(kSaveChangesQuestion, {"/tmp/%s%d%n"}), "Save changes to /tmp/%s%d%n?");
    EXPECT_EQ(FormatText(kReplacePrompt, {"a", "b"}),
              "Replace this instance of \"a\" with \"b\" ?");
    EXPECT_EQ(FormatText(kNotFoundMessage, {}), "\"%s\" not found");
    EXPECT_EQ(CaretPositionText(1, 1), "   1:   1");
    EXPECT_EQ(CaretPositionText(12345, 7), "12345:   7");
    EXPECT_EQ(NewDocumentName(0), "NONAME1");
    EXPECT_EQ(NewDocumentName(2), "NONAME3");
    EXPECT_EQ(FindAsciiNoCase("x$edFILw", "$EDFILW"), 1u);
    EXPECT_EQ(FindAsciiNoCase("abc", "abcd"), std::string_view::npos);
}

} // namespace
} // namespace kvx
