// The quantities the editor counts in. Each has a name of its own so that a signature says
// which one it takes and a reader does not have to guess whether an int is a byte inside a
// row, a column on screen or a document offset. They are plain aliases: none of them has
// yet been mixed up with another badly enough to be worth a type of its own.
#pragma once

#include <cstdint>

namespace kvx {

// Zero-based character offset into a document; every stored line break counts as one.
using TextOffset = int32_t;
// Zero-based index of a row of the text store; one row is one screen line.
using RowIndex = int32_t;
// Zero-based display column after TAB expansion; a UTF-8 sequence takes one column.
using DisplayColumn = int32_t;
// Zero-based byte index inside one row.
using ByteIndex = int32_t;
// A distance or coordinate on the view's surface, never a count of columns.
using Pixel = int32_t;

} // namespace kvx
