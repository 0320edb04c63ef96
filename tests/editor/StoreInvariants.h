// Checks every structural promise of the text store; returns a description of the first
// broken one, or an empty string.
#pragma once

#include "TextStore.h"
#include "UndoStack.h"

#include <string>

namespace kvx::test {

std::string CheckStore(TTextStore& store);

// Checks that the undo log reads, from its bottom, as whole undo steps: replacement
// brackets and complete groups, with a group still open only at the top. The cursor must
// stand between two steps. Returns a description of the first fault, or an empty string.
// The log is walked with its own cursor and left as it was.
std::string CheckUndoLog(TUndoStack& log);

} // namespace kvx::test
