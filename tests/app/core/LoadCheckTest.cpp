// What loading would change in a file: control bytes and mixed line breaks, found in one
// pass, and the question the user is asked.
#include "app/core/LoadCheck.h"

#include <gtest/gtest.h>

#include <string>

namespace kvx {
namespace {

TEST(LoadCheck, FindsControlBytesAndMixedBreaksAnywhere) {
    struct TCase {
        std::string Bytes;
        size_t Control;
        bool Mixed;
    };
    const TCase cases[] = {
        {"", 0, false},
        {"a\tb\r\nc\r\n", 0, false},
        {"a\nb\n", 0, false},
        {"a\rb\r", 0, false},
        {"a\r\nb\n", 0, true},
        {"a\nb\r", 0, true},
        {"a\n\rb\n\r", 0, true}, // LF CR reads as one break and is written back as another
        {"a\r\nb\r", 0, true},
        {"a\r\n\r\n\r\nb\r\n", 0, false}, // blank lines: LF CR inside CR LF CR LF
        {"a\r\n\n\r", 0, true},
        {std::string("a\0b", 3), 1, false},
        {"\x1A", 1, false},
        {"\x7F\x80\xFF", 0, false}, // not control bytes to the loader
        {std::string(5000, 'x') + '\x01' + std::string(239, 'y') + '\x02', 2, false},
    };
    for (const TCase& c : cases) {
        const TLoadChanges changes = CheckLoadChanges(c.Bytes);
        EXPECT_EQ(changes.ControlBytes, c.Control) << c.Bytes;
        EXPECT_EQ(changes.MixedBreaks, c.Mixed) << c.Bytes;
    }
    // In pieces of every size the result is the same, pairs split between pieces included.
    for (const TCase& c : cases) {
        for (size_t piece = 1; piece <= 7; ++piece) {
            TLoadCheck check;
            for (size_t at = 0; at < c.Bytes.size(); at += piece)
                check.Feed(std::string_view(c.Bytes).substr(at, piece));
            EXPECT_EQ(check.Result().ControlBytes, c.Control) << c.Bytes << " " << piece;
            EXPECT_EQ(check.Result().MixedBreaks, c.Mixed) << c.Bytes << " " << piece;
        }
    }
    // The block counters must not wrap: 300 control bytes in a row.
    EXPECT_EQ(CheckLoadChanges(std::string(300, '\x01')).ControlBytes, 300u);
    std::string crlf;
    for (int i = 0; i < 400; ++i)
        crlf += "\r\n";
    EXPECT_FALSE(CheckLoadChanges(crlf).MixedBreaks);
}

TEST(LoadCheck, TheQuestionSaysWhatWouldChange) {
    EXPECT_EQ(LoadChangesQuestion("a.asm", {}), "");
    const std::string both = LoadChangesQuestion("a%s.asm", {2, true});
    EXPECT_NE(both.find("\"a%s.asm\""), std::string::npos);
    EXPECT_NE(both.find("2 control characters"), std::string::npos);
    EXPECT_NE(both.find("mixes line-break styles"), std::string::npos);
    EXPECT_NE(both.find("Open it anyway?"), std::string::npos);
}

} // namespace
} // namespace kvx
