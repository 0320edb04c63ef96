// Building rows straight from a file's bytes must give exactly what inserting the same bytes
// gives, wherever the file's blocks happen to end: inside a CR LF pair, inside a UTF-8
// sequence, inside a byte-order mark, at a full row.
#include "editor/Encoding.h"
#include "support/StoreInvariants.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kvx {
namespace {

uint64_t Next(uint64_t& s) {
    s ^= s << 13, s ^= s >> 7, s ^= s << 17;
    return s;
}

// Lines long and short, every kind of break and pair, control bytes, TABs, UTF-8 (valid
// and broken) or Windows-1252 bytes.
std::string RandomBytes(uint64_t& s, size_t n, bool wide) {
    static const char* const kBreaks[] = {"\r\n", "\n", "\r", "\n\r"};
    static const char kControls[] = {'\t', '\t', '\x07', '\0', '\x1A'};
    static const char* const kWide[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
                                        "\xE9"}; // the last is no UTF-8
    std::string out;
    while (out.size() < n) {
        const uint64_t r = Next(s);
        const uint64_t k = r / 1000;
        if (wide && r % 100 < 10)
            out += kWide[k % (r % 9 == 0 ? 4 : 3)];
        else if (r % 100 < 16)
            out += kBreaks[k % 4];
        else if (r % 100 < 20)
            out.push_back(kControls[k % 5]);
        else if (r % 1000 == 999)
            out.append(2000 + k % 300, static_cast<char>('a' + k % 26)); // a long line
        else
            out.push_back(static_cast<char>('a' + k % 26));
    }
    return out;
}

TEST(TextLoader, RowsMatchInsertingTheWholeTextWhereverBlocksEnd) {
    const std::string mark = "\xEF\xBB\xBF";
    std::string euroAtCut(2046, 'a');
    euroAtCut += "\xE2\x82\xAC" + std::string(3000, 'b');
    std::string fullRowThenBreak(2047, 'x');
    fullRowThenBreak += "\r\nnext";
    const std::vector<std::string> crafted = {
        "",
        "a",
        "\r",
        "\n\r",
        "ab\r",
        "a\r\nb",
        mark,
        mark + "x",
        "\xEF\xBB",
        mark + "\xFF not UTF-8 after the mark",
        mark + "line\r\nline\r\n",
        euroAtCut,
        euroAtCut + "\xFF", // the same cut is wrong for a Windows-1252 file
        fullRowThenBreak,
        std::string(5000, 'z') + "\r",
        "tab\there\x01\x1A" + std::string(1, '\0'),
    };
    for (const std::string& bytes : crafted)
        for (const std::vector<size_t>& pieces :
             {std::vector<size_t>{1}, {2}, {3}, {5, 1}, {7, 2047, 1}, {262144}})
            EXPECT_EQ(test::CompareLoader(bytes, pieces), "")
                << "bytes " << bytes.substr(0, 20) << " pieces " << pieces[0];

    uint64_t s = 0x1234567;
    for (int round = 0; round < 200; ++round) {
        const std::string bytes = RandomBytes(s, Next(s) % 9000, round % 3 != 0);
        std::vector<size_t> pieces;
        for (int k = 0; k < 5; ++k)
            pieces.push_back(1 + Next(s) % (round % 2 ? 17 : 5000));
        ASSERT_EQ(test::CompareLoader(bytes, pieces), "") << "round " << round;
    }
}

TEST(TextLoader, Utf8CheckedInPiecesAgreesWithTheWholeCheck) {
    const std::vector<std::string> samples = {
        "plain",
        "\xC3\xA9",
        "\xE2\x82\xAC",
        "\xF0\x9F\x98\x80",
        "\xF4\x8F\xBF\xBF",
        "\xC0\x80",         // overlong
        "\xE0\x9F\xBF",     // overlong
        "\xED\xA0\x80",     // surrogate
        "\xF4\x90\x80\x80", // past U+10FFFF
        "\xF5\x80\x80\x80",
        "\x80",
        "\xC3",
        "\xE2\x82",
        "\xC3\x28",
        "a\xFFz",
    };
    uint64_t s = 99;
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (int k = Next(s) % 6; k >= 0; --k) {
            text += samples[Next(s) % samples.size()];
            text.append(Next(s) % 40, 'q');
        }
        TUtf8Validator v;
        for (size_t at = 0; at < text.size();) {
            const size_t n = std::min<size_t>(1 + Next(s) % 5, text.size() - at);
            v.Feed(std::string_view(text).substr(at, n));
            at += n;
        }
        ASSERT_EQ(v.Valid(), IsValidUtf8(text)) << "round " << round;
    }
}

} // namespace
} // namespace kvx
