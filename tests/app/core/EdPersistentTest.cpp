#include "app/core/EdPersistent.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace kvx {
namespace {

using test::ReadAll;
using test::ScopedEnv;
using test::TempDir;
using test::WriteAll;
using List = std::vector<std::string>;

TEST(HistoryLines, SectionsInEitherOrderOtherLinesKept) {
    THistoryLines lines("; a note someone left\r\n"
                        "[ReplaceHistory]\r\n"
                        "new\r\n"
                        "\r\n"
                        "[findhistory]\r\n" // the header is found in any letter case
                        "mov\r\n"
                        "  spaced  \r\n"
                        "\r\n"
                        "trailing line\r\n");
    EXPECT_EQ(lines.Section(THistoryLines::kFindHeader), (List{"mov", "  spaced  "}));
    EXPECT_EQ(lines.Section(THistoryLines::kReplaceHeader), (List{"new"}));
    lines.StoreSection(THistoryLines::kFindHeader, {"jmp", "mov"});
    EXPECT_EQ(lines.Text(), "; a note someone left\r\n"
                            "[ReplaceHistory]\r\n"
                            "new\r\n"
                            "\r\n"
                            "trailing line\r\n"
                            "\r\n"
                            "[FindHistory]\r\n"
                            "jmp\r\n"
                            "mov\r\n"
                            "\r\n");
}

TEST(HistoryLines, EntriesThatWouldNotReadBackAreNeverWritten) {
    THistoryLines lines;
    List many;
    for (int i = 0; i < 25; ++i)
        many.push_back("entry" + std::to_string(i));
    // An empty text would end the section early; a line break would make two entries;
    // a header would hide the real section at the next start.
    List odd = {"",
                "two\nlines",
                "cr\rhere",
                "[ReplaceHistory]",
                "[findHISTORY]",
                std::string(THistoryLines::kMaxEntryLength + 1, 'x')};
    odd.insert(odd.end(), many.begin(), many.end());
    lines.StoreSection(THistoryLines::kFindHeader, odd);
    lines.StoreSection(THistoryLines::kReplaceHeader, {"a", "", "b"});
    const THistoryLines back(lines.Text());
    EXPECT_EQ(back.Section(THistoryLines::kFindHeader), List(many.begin(), many.begin() + 20));
    EXPECT_EQ(back.Section(THistoryLines::kReplaceHeader), (List{"a", "b"}));
    EXPECT_TRUE(THistoryLines::CanStore(std::string(THistoryLines::kMaxEntryLength, 'x')));
    EXPECT_TRUE(THistoryLines::CanStore("[Other]"));
}

TEST(HistoryLines, DamagedFilesReadWithoutHarm) {
    // No blank line at the end, and a section of 30 entries: 20 are read.
    std::string text = "[FindHistory]\r\n";
    for (int i = 0; i < 30; ++i)
        text += "f" + std::to_string(i) + "\r\n";
    text += "[ReplaceHistory]\nr0\nr1"; // LF breaks, no final break
    THistoryLines lines(text);
    const List find = lines.Section(THistoryLines::kFindHeader);
    ASSERT_EQ(find.size(), 20u);
    EXPECT_EQ(find.front(), "f0");
    EXPECT_EQ(lines.Section(THistoryLines::kReplaceHeader), (List{"r0", "r1"}));

    // Sections that lost their blank lines: one ends where the next header starts, and
    // storing removes only what is there, then puts the missing blank line back so the
    // section before does not swallow the new one.
    THistoryLines tail("[ReplaceHistory]\r\nold\r\n[FindHistory]\r\nx");
    EXPECT_EQ(tail.Section(THistoryLines::kReplaceHeader), (List{"old"}));
    tail.StoreSection(THistoryLines::kFindHeader, {"y"});
    EXPECT_EQ(tail.Text(), "[ReplaceHistory]\r\nold\r\n\r\n[FindHistory]\r\ny\r\n\r\n");
    tail.StoreSection(THistoryLines::kReplaceHeader, {"z"});
    EXPECT_EQ(tail.Section(THistoryLines::kFindHeader), (List{"y"}));
    EXPECT_EQ(tail.Section(THistoryLines::kReplaceHeader), (List{"z"}));

    // A repeated section: every copy goes, so what was stored is what is read next.
    THistoryLines twice("[FindHistory]\r\nold1\r\n\r\nmiddle\r\n[FindHistory]\r\nold2\r\n\r\n");
    twice.StoreSection(THistoryLines::kFindHeader, {"new"});
    EXPECT_EQ(twice.Text(), "middle\r\n\r\n[FindHistory]\r\nnew\r\n\r\n");

    // Binary bytes and a very long line: read as they are, the long one is skipped.
    THistoryLines binary(std::string("[FindHistory]\r\n\x01\xFF\x00z\r\n", 21) +
                         std::string(100000, 'q') + "\r\nafter\r\n");
    EXPECT_EQ(binary.Section(THistoryLines::kFindHeader),
              (List{std::string("\x01\xFF\x00z", 4), "after"}));
    EXPECT_TRUE(THistoryLines("").Section(THistoryLines::kFindHeader).empty());
    EXPECT_TRUE(THistoryLines("[FindHistory]").Section(THistoryLines::kFindHeader).empty());
}

TEST(EdPersistent, FileRoundTripUnderTheDataFolder) {
    TempDir dir;
    ScopedEnv data("XDG_DATA_HOME", dir.Path().string());
    const TEdPersistent store;
    EXPECT_EQ(store.FileName(), dir / "kovex/frepl.dat");
    EXPECT_TRUE(store.FindHistory().empty()); // no file yet: nothing, and nothing created
    EXPECT_FALSE(test::fs::exists(store.FileName()));
    ASSERT_TRUE(store.StoreFindHistory({"mov ax", "int 21h"}));
    ASSERT_TRUE(store.StoreReplaceHistory({"nop"}));
    EXPECT_EQ(ReadAll(store.FileName()),
              "[FindHistory]\r\nmov ax\r\nint 21h\r\n\r\n[ReplaceHistory]\r\nnop\r\n\r\n");
    EXPECT_EQ(store.FindHistory(), (List{"mov ax", "int 21h"}));
    EXPECT_EQ(store.ReplaceHistory(), (List{"nop"}));
}

TEST(EdPersistent, EachStoreChangesOnlyItsSectionOfWhatIsOnDisk) {
    TempDir dir;
    const TEdPersistent findDialog(dir / "frepl.dat");
    const TEdPersistent replaceDialog(dir / "frepl.dat");
    ASSERT_TRUE(replaceDialog.StoreReplaceHistory({"from the replace dialog"}));
    // The find dialog was created before that write; it must not put back what it saw then.
    ASSERT_TRUE(findDialog.StoreFindHistory({"from the find dialog"}));
    EXPECT_EQ(findDialog.ReplaceHistory(), (List{"from the replace dialog"}));
    EXPECT_EQ(replaceDialog.FindHistory(), (List{"from the find dialog"}));
}

TEST(EdPersistent, WriteFailuresLeaveTheFileAlone) {
    TempDir dir;
    // A file in the way of the folder: storing fails quietly.
    WriteAll(dir / "blocker", "x");
    EXPECT_FALSE(TEdPersistent(dir / "blocker/frepl.dat").StoreFindHistory({"a"}));
    // A file too large to be ours is neither read nor replaced.
    const std::string big = dir / "big.dat";
    WriteAll(big, "[FindHistory]\r\nkeep\r\n" + std::string(5 << 20, '\n'));
    const TEdPersistent store(big);
    EXPECT_TRUE(store.FindHistory().empty());
    EXPECT_FALSE(store.StoreFindHistory({"a"}));
    EXPECT_EQ(test::fs::file_size(big), 21u + (5u << 20));
}

} // namespace
} // namespace kvx
