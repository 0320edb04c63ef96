// The byte program the pattern compiler writes and the matcher runs: opcodes and the node
// layout. Every node is an opcode byte and a 16-bit big-endian link to the next node (0: none,
// measured backwards for opBack), followed by its operand.
#pragma once

#include "REParser.h"

#include <cstdint>

namespace kvx::re {

enum TOpcode : uint8_t {
    opEnd = 0,
    opLineStart = 1,
    opLineEnd = 2,
    opAnyChar = 3,
    opInSet = 4,
    opNotInSet = 5,
    opBranch = 6,
    opBack = 7,
    opLiteral = 8,
    opNothing = 9,
    opStar = 10,
    opPlus = 11,
    // Never written by the grammar directly: the way out of a bounded repetition that has
    // reached its maximum, so that the path does not also continue beside its own
    // "stop here" alternative and double the work.
    opFail = 12,
    opOpen1 = 21,
    opOpen9 = 29,
    opClose1 = 41,
    opClose9 = 49,
    opCountSet = 150,
    opCountDec = 152,
    opCountTest = 153,
    opCountExhausted = 155,
};

// The first byte of a compiled program; a parser that holds no program has kMagic + 1.
constexpr uint8_t kMagic = 0x9C;

} // namespace kvx::re

namespace kvx {

// The node after `node`, -1 when its link is empty. Every step of the matcher asks.
inline int TREParser::NextOf(int node) const {
    const int off = (code_[node + 1] << 8) | code_[node + 2];
    if (off == 0)
        return -1;
    return code_[node] == re::opBack ? node - off : node + off;
}

} // namespace kvx
