#include "app/core/JumpTarget.h"

#include <gtest/gtest.h>

namespace kvx {
namespace {

TEST(JumpTarget, ToolOutputLines) {
    using T = TJumpTarget;
    const std::pair<const char*, std::optional<T>> cases[] = {
        {"boot.asm:12: error: invalid operand", T{"boot.asm", 12, 0, 0}},
        {"src/main.c:3:17: warning: unused", T{"src/main.c", 3, 17, 0}},
        {"/abs/path/x.h:7:", T{"/abs/path/x.h", 7, 0, 0}},
        {"main.c:3:x: note", T{"main.c", 3, 0, 0}}, // no column after all
        {"In file included from main.c:2:", T{"main.c", 2, 0, 0}},
        {"make: *** [Makefile:12: all] Error 1", T{"Makefile", 12, 0, 0}},
        {"BOOT.ASM(44): error A2008: syntax error", T{"BOOT.ASM", 44, 0, 0}},
        {"  lib/util.pas(10,5) Error: x", T{"lib/util.pas", 10, 5, 0}},
        {"x.asm(3) : warning", T{"x.asm", 3, 0, 0}},
        {"see printf(3) for details", std::nullopt}, // a manual page, not a file
        {"at 10:30: done", std::nullopt},            // a time: the "file" is digits
        {"file.c:0: nothing", std::nullopt},         // line 0 is no line
        {"file.c:99999999999: overflow", std::nullopt},
        {"file.c:12", std::nullopt}, // no colon after the number
        {"file.c: 12:", std::nullopt},
        {"file.c :12:", std::nullopt}, // the name ends before ":"
        {":12:", std::nullopt},
        {"", std::nullopt},
        {"plain text output", std::nullopt},
        {"x(12", std::nullopt},
        {"a.c(1,)", std::nullopt},
        {"first.c:1: then second.c:2:", T{"first.c", 1, 0, 0}},
        {"warning: 'x' \"q.c:4: quoted", T{"q.c", 4, 0, 0}},
    };
    for (const auto& [line, expected] : cases)
        EXPECT_EQ(ParseToolOutputLine(line), expected) << line;
}

} // namespace
} // namespace kvx
