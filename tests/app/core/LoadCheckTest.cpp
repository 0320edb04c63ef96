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
    // The block counters must not wrap: 300 control bytes in a row.
    EXPECT_EQ(CheckLoadChanges(std::string(300, '\x01')).ControlBytes, 300u);
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
