#include "app/core/IniFile.h"
#include "TestFiles.h"
#include "app/core/ShellPaths.h"

#include <gtest/gtest.h>

namespace kvx {
namespace {

using test::ReadAll;
using test::ScopedEnv;
using test::TempDir;
using test::WriteAll;

const char* const kSample = "; written by hand\r\n"
                            "[Params]\r\n"
                            "Flags=0\r\n"
                            "MinMaxPos(1024x768)=-1,-1,-8,-8\r\n"
                            "  Label3_Caption =  12  \r\n"
                            "odd line without equals\r\n"
                            "\r\n"
                            "[Other]\r\n"
                            "Unknown=kept\r\n";

TEST(IniFile, LookupIgnoresCaseButKeepsEveryByte) {
    const TIniFile ini = TIniFile::FromText(kSample);
    EXPECT_EQ(ini.Text(), kSample); // nothing asked to change, nothing changed
    EXPECT_EQ(ini.ReadString("params", "minmaxpos(1024X768)"), "-1,-1,-8,-8");
    EXPECT_EQ(ini.ReadString("PARAMS", "label3_caption"), "12"); // blanks around are no part
    EXPECT_EQ(ini.ReadInteger("Params", "Label3_Caption"), 12);
    EXPECT_FALSE(ini.ReadString("Params", "Unknown"));
    EXPECT_FALSE(ini.ReadString("Missing", "Flags"));
    EXPECT_EQ(ini.ReadString("Missing", "Flags", "fallback"), "fallback");
    EXPECT_EQ(ini.Keys("params"),
              (std::vector<std::string>{"Flags", "MinMaxPos(1024x768)", "Label3_Caption"}));
    EXPECT_TRUE(ini.SectionExists("other"));
}

TEST(IniFile, BadIntegersReadAsAbsent) {
    const TIniFile ini = TIniFile::FromText("[S]\nA=12abc\nB=\nC=99999999999\nD= -7 \n"
                                            "E=0x10\nF=-2147483648\nG=2147483648\nH=+3\n");
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"A", std::nullopt}, {"B", std::nullopt}, {"C", std::nullopt}, {"D", -7},
        {"E", std::nullopt}, {"F", INT32_MIN},    {"G", std::nullopt}, {"H", 3},
        {"Z", std::nullopt}};
    for (const auto& [key, expected] : cases)
        EXPECT_EQ(ini.ReadInteger("S", key), expected) << key;
}

TEST(IniFile, WritesChangeOnlyWhatTheyName) {
    TIniFile ini = TIniFile::FromText(kSample);
    ASSERT_TRUE(ini.WriteString("PARAMS", "flags", "3")); // spelling of the file kept
    ASSERT_TRUE(ini.WriteString("Params", "NormPos(800x600)", "1,2,3,4")); // new key
    ASSERT_TRUE(ini.WriteString("Tools", "Name2", "nasm"));                // new section
    EXPECT_EQ(ini.Text(), "; written by hand\r\n"
                          "[Params]\r\n"
                          "Flags=3\r\n"
                          "MinMaxPos(1024x768)=-1,-1,-8,-8\r\n"
                          "  Label3_Caption =  12  \r\n"
                          "odd line without equals\r\n"
                          "NormPos(800x600)=1,2,3,4\r\n"
                          "\r\n"
                          "[Other]\r\n"
                          "Unknown=kept\r\n"
                          "\r\n"
                          "[Tools]\r\n"
                          "Name2=nasm\r\n");
    ini.DeleteKey("params", "MINMAXPOS(1024X768)");
    EXPECT_FALSE(ini.KeyExists("Params", "MinMaxPos(1024x768)"));
    ini.EraseSection("other");
    EXPECT_FALSE(ini.SectionExists("Other"));
    EXPECT_EQ(ini.ReadString("Tools", "Name2"), "nasm");
}

TEST(IniFile, RefusesWhatWouldNotReadBackTheSame) {
    TIniFile ini;
    // A file name may hold a line break on Linux; stored as is it would forge a key.
    EXPECT_FALSE(ini.WriteString("Tools", "FileName1", "x\n[Tools]\nFileName1=/bin/evil"));
    EXPECT_FALSE(ini.WriteString("Tools", "FileName1", std::string("a\0b", 3)));
    EXPECT_FALSE(ini.WriteString("Tools", "FileName1", " leading"));
    EXPECT_FALSE(ini.WriteString("Tools", "FileName1", "trailing\t"));
    EXPECT_FALSE(ini.WriteString("Tools", "a=b", "1"));
    EXPECT_FALSE(ini.WriteString("Tools", "[x", "1"));
    EXPECT_FALSE(ini.WriteString("Tools", "", "1"));
    EXPECT_FALSE(ini.WriteString("To]ols", "k", "1"));
    EXPECT_FALSE(ini.WriteString("", "k", "1"));
    EXPECT_EQ(ini.Text(), "");
    EXPECT_TRUE(ini.WriteString("Tools", "FileParam1", "-l \"$EDFILW.lst\" a=b ;c"));
    const TIniFile back = TIniFile::FromText(ini.Text());
    EXPECT_EQ(back.ReadString("Tools", "FileParam1"), "-l \"$EDFILW.lst\" a=b ;c");
}

TEST(IniFile, DamagedAndOddFilesRead) {
    // Repeated sections and keys: the first one counts; erasing removes every copy.
    TIniFile ini = TIniFile::FromText("k=before any section\n[A]\nx=1\nx=2\n[a]\nx=3\ny=4\n"
                                      "[unclosed\n[]\n=no key\n[B]junk after\nz=5");
    EXPECT_FALSE(ini.ReadString("", "k"));
    EXPECT_EQ(ini.ReadString("A", "x"), "1");
    EXPECT_FALSE(ini.ReadString("A", "y"));
    EXPECT_EQ(ini.ReadString("B", "z"), "5");
    EXPECT_EQ(ini.Text(), "k=before any section\n[A]\nx=1\nx=2\n[a]\nx=3\ny=4\n"
                          "[unclosed\n[]\n=no key\n[B]junk after\nz=5");
    ini.EraseSection("A");
    EXPECT_FALSE(ini.SectionExists("a"));
    // A file without a final break gets one when something is added.
    ASSERT_TRUE(ini.WriteString("B", "w", "6"));
    EXPECT_EQ(ini.Text(), "k=before any section\n[]\n=no key\n[B]junk after\nz=5\nw=6\n");
    // Lone CR breaks are breaks too, and the style is kept.
    const TIniFile cr = TIniFile::FromText("[S]\rk=v\r");
    EXPECT_EQ(cr.ReadString("S", "k"), "v");
    EXPECT_EQ(cr.Text(), "[S]\rk=v\r");
}

TEST(IniFile, SavesSafelyAndCreatesTheFolder) {
    TempDir dir;
    const std::string name = dir / "deep/er/kvxl.ini";
    TIniFile ini = TIniFile::Load(name); // missing: empty, and writable
    EXPECT_TRUE(ini.Writable());
    ini.WriteString("Params", "Flags", "0");
    ASSERT_TRUE(ini.Save(name));
    EXPECT_EQ(ReadAll(name), "[Params]\nFlags=0\n");
    EXPECT_EQ(test::fs::status(dir / "deep").permissions() & test::fs::perms::all,
              test::fs::perms::owner_all);

    // A file that cannot be read is not replaced by what little we know.
    const std::string big = dir / "big.ini";
    WriteAll(big, std::string(TIniFile::kMaxFileSize + 1, 'x'));
    TIniFile huge = TIniFile::Load(big);
    EXPECT_FALSE(huge.Writable());
    huge.WriteString("Params", "Flags", "1");
    EXPECT_FALSE(huge.Save(big));
    EXPECT_EQ(test::fs::file_size(big), TIniFile::kMaxFileSize + 1);
    EXPECT_FALSE(TIniFile::Load(dir.Path().string()).Writable()); // a folder is no file

    // A folder that cannot be made (a file is in its way): false, and nothing thrown.
    WriteAll(dir / "file", "x");
    EXPECT_FALSE(ini.Save(dir / "file/kvxl.ini"));
}

TEST(ShellPaths, XdgFoldersFollowTheEnvironment) {
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/tmp/cfg");
        ScopedEnv data("XDG_DATA_HOME", "/tmp/data/");
        EXPECT_EQ(ConfigFolder(), "/tmp/cfg/kovex");
        EXPECT_EQ(DataFolder(), "/tmp/data/kovex");
    }
    ScopedEnv home("HOME", "/home/someone");
    ScopedEnv relative("XDG_CONFIG_HOME", "relative/path"); // not absolute: ignored
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(ConfigFolder(), "/home/someone/.config/kovex");
    EXPECT_EQ(DataFolder(), "/home/someone/.local/share/kovex");
    EXPECT_EQ(FolderOf("/src/boot.asm"), "/src/");
    EXPECT_EQ(FolderOf("boot.asm"), "");
    EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
}

TEST(ShellPaths, OnlyRegularFilesCountAsFiles) {
    TempDir dir;
    WriteAll(dir / "f", "x");
    EXPECT_TRUE(IsRegularFile(dir / "f"));
    EXPECT_FALSE(IsRegularFile(dir.Path().string()));
    EXPECT_FALSE(IsRegularFile(dir / "missing"));
    EXPECT_FALSE(IsRegularFile("/dev/null"));
    EXPECT_FALSE(IsRegularFile(""));
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(IsRegularFile(dir / "fifo"));
    std::string bytes;
    EXPECT_EQ(ReadSmallFile(dir / "fifo", 100, bytes), TReadResult::Failed); // and no hang
    EXPECT_EQ(ReadSmallFile(dir / "missing", 100, bytes), TReadResult::Missing);
}

} // namespace
} // namespace kvx
