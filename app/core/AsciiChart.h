// What the cells of the ASCII table show: the 16 x 16 codes with a header row and
// column, in decimal or hexadecimal, optionally with the code in every cell, the
// characters 128 to 255 taken from the chosen code page. Kept apart from the window so
// every cell can be checked without one.
#pragma once

#include "CodePages.h"

#include <string>

namespace kvx {

// The three-character names of the control codes 0 to 31 ("nul", "soh", ... "bs ", ...).
const char* ControlCodeName(int code);

// Header text of value `value` (0 to 255): decimal ("0", "16", ... "240") or two
// upper-case hexadecimal digits ("00", "10", ... "F0").
std::string AsciiHeaderText(int value, bool hex);

// The cell of code `code` (0 to 255), in UTF-8: with `inTable` the code ("%2.2d" or
// lower-case "%2.2x") and three spaces first; then the control-code name below 32, the
// character and two spaces for 32 to 126, three spaces for 127, and the character alone
// from 128 (nothing for a byte the code page leaves unassigned).
std::string AsciiCellText(int code, bool hex, bool inTable, TCodePage page);

// The code a cell describes: 16 * column + row, both 0-based below the headers.
inline int AsciiCodeAt(int column, int row) {
    return 16 * column + row;
}

} // namespace kvx
