// A place in a file that a line of the results panel can jump to, and the reader that
// finds one in a line of tool output: the forms FILE:LINE:, FILE:LINE:COL: (compilers and
// assemblers on Unix) and FILE(LINE) or FILE(LINE,COL) (the DOS tools' form), followed
// by anything.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kvx {

struct TJumpTarget {
    std::string File; // as written by the tool; relative names are relative to its folder
    int Line = 0;     // 1-based
    int Column = 0;   // 1-based; 0 when the line has none
    int Length = 0;   // characters to select from Column; 0 to only place the caret
    bool operator==(const TJumpTarget&) const = default;
};

// The first place the line names, or nullopt. The file is the last blank-separated word
// before the line number, without an opening bracket or quote, so "In file included from
// main.c:2:" and "make: *** [Makefile:12: all]" find main.c and Makefile; a file name
// that itself holds blanks is therefore not recognised. A file of digits only, a line
// number of 0 or one too large, and the bracket form on a word without "." or "/" (as in
// "see printf(3)") are not places.
std::optional<TJumpTarget> ParseToolOutputLine(std::string_view line);

} // namespace kvx
