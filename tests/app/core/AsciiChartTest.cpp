#include "app/core/AsciiChart.h"
#include "TestFiles.h"
#include "app/core/CodePages.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kvx {
namespace {

// Every byte of both code pages against the reference written from Python's codecs.
TEST(CodePages, MatchTheReferenceCodecs) {
    std::istringstream in(test::ReadAll(KVX_CODEPAGES_FILE));
    std::string line;
    int checked = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string page, byte, ch;
        fields >> page >> byte >> ch;
        const auto b = static_cast<unsigned char>(std::stoi(byte, nullptr, 16));
        const TCodePage cp = page == "437" ? TCodePage::Oem437 : TCodePage::Windows1252;
        const char32_t expected = ch == "-" ? 0 : static_cast<char32_t>(std::stoi(ch, nullptr, 16));
        EXPECT_EQ(CodePageChar(cp, b), expected) << line;
        ++checked;
    }
    EXPECT_EQ(checked, 512);
}

TEST(AsciiChart, HeadersAndCells) {
    EXPECT_EQ(AsciiHeaderText(0, true), "00");
    EXPECT_EQ(AsciiHeaderText(240, true), "F0");
    EXPECT_EQ(AsciiHeaderText(15, true), "0F");
    EXPECT_EQ(AsciiHeaderText(240, false), "240");
    EXPECT_EQ(AsciiHeaderText(5, false), "5");

    struct TCase {
        int Code;
        bool Hex, InTable;
        TCodePage Page;
        const char* Text;
    };
    const auto win = TCodePage::Windows1252;
    const auto oem = TCodePage::Oem437;
    const TCase cases[] = {
        {65, true, true, win, "41   A  "},
        {65, false, true, win, "65   A  "},
        {65, true, false, win, "A  "},
        {5, false, false, win, "enq"},
        {5, false, true, win, "05   enq"},
        {10, true, true, win, "0a   nl "},
        {8, true, false, win, "bs "},
        {31, true, false, win, "us "},
        {32, true, false, win, "   "},
        {127, true, false, win, "   "},
        {127, true, true, win, "7f      "},
        {255, true, true, win, "ff   \xC3\xBF"}, // ÿ
        {255, false, true, win, "255   \xC3\xBF"},
        {128, true, false, win, "\xE2\x82\xAC"}, // €
        {128, true, false, oem, "\xC3\x87"},     // Ç
        {201, true, false, oem, "\xE2\x95\x94"}, // ╔
        {0x81, true, false, win, ""},            // unassigned in Windows-1252
        {0x81, true, true, win, "81   "},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(AsciiCellText(c.Code, c.Hex, c.InTable, c.Page), c.Text) << c.Code;
    EXPECT_STREQ(ControlCodeName(0), "nul");
    EXPECT_STREQ(ControlCodeName(27), "esc");
    EXPECT_STREQ(ControlCodeName(32), "");
    EXPECT_EQ(AsciiCodeAt(4, 1), 65);
}

} // namespace
} // namespace kvx
