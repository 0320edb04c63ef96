// Where word wrap must cut a document's rows, worked out character by character from the
// rules as they read, without the editor's code: the tests compare the store's rows with it.
// Characters are measured on a grid (each one column, a TAB to its stop) or, for a
// proportional font, by a width per character.
#pragma once

#include "editor/EdTypes.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kvx::test {

struct TWrapModel {
    bool wrap = true;
    int width = 76; // W in columns
    bool utf8 = true;
    int tabDefault = 4;
    std::vector<int> tabStops; // zero-based explicit stops, ascending
    std::string overrideChars; // empty: no line is kept whole
    // Proportional font: the pixel width of one character (its bytes), and the average
    // width W is multiplied by. Null: the grid.
    std::function<Pixel(std::string_view)> widthOf;
    Pixel charWidth = 8;
};

// The offsets, from the start of `text`, where its rows start, for a whole document.
std::vector<TextOffset> WrapRowStarts(std::string_view text, const TWrapModel& model);

} // namespace kvx::test
