// The LZH method ("!HZL"): LZSS over a 4096-byte ring with a 60-byte look-ahead, its
// symbols coded with an adaptive Huffman tree and its match positions with a fixed code.
// One continuous bit stream over the whole input, most significant bit first.
#pragma once

#include "CodecIO.h"

#include <cstdint>

namespace kvx::lzh {

// Codes every byte `in` yields and returns how many there were. Nothing is written for an
// empty input. Raises std::bad_alloc when the dictionary tables cannot be had.
int64_t Encode(TInputBuffer& in, TOutputBuffer& out);

enum class TDecodeResult {
    Ok,         // exactly `size` bytes were produced
    InputEnded, // the bit stream ran out before `size` bytes
    TooLong,    // the last match would pass `size`
};

// Produces `size` bytes from the bit stream in `in`. A stream that was cut short is noticed
// at its end instead of being padded with zeros up to any size a header claims. Raises
// std::bad_alloc when the tables cannot be had.
TDecodeResult Decode(TInputBuffer& in, TOutputBuffer& out, uint32_t size);

} // namespace kvx::lzh
