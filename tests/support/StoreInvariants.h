// Checks every structural promise of the text store; returns a description of the first
// broken one, or an empty string.
#pragma once

#include "editor/TextStore.h"
#include "editor/UndoStack.h"

#include <string>
#include <string_view>
#include <vector>

namespace kvx::test {

// Unless `wrapped` (word wrap cuts rows where the view wants them), every logical line must
// be cut the way loading cuts it: rows of 2047 bytes, shortened only so that a UTF-8
// sequence is not split, and the rest in its last row.
std::string CheckStore(TTextStore& store, bool wrapped = false);

// Loads `bytes` through a TTextLoader fed in pieces of the given sizes (repeated as long as
// bytes remain) and compares the result with inserting the same bytes in one go, and what
// the loader saw with DetectFormat: the text, every row, each row's TAB and high-byte flags,
// the encoding, the mark and the line-break style. Returns the first difference, or an
// empty string.
std::string CompareLoader(std::string_view bytes, const std::vector<size_t>& pieces);

// Where a logical line of `length` bytes from `text` is cut into rows by that rule: the
// offsets, from the line's start, where its second, third, ... rows start.
std::vector<int32_t> LimitCuts(const char* text, int32_t length, bool utf8);

// Checks that the undo log reads, from its bottom, as whole undo steps: replacement
// brackets and complete groups, with a group still open only at the top. The cursor must
// stand between two steps. Returns a description of the first fault, or an empty string.
// The log is walked with its own cursor and left as it was.
std::string CheckUndoLog(TUndoStack& log);

} // namespace kvx::test
