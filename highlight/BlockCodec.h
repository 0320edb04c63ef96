// The block method ("WRZL", known in the messages as Compressor/QV): one chunk of at most
// 32768 bytes becomes one self-contained block body, and back.
#pragma once

#include <cstdint>

namespace kvx::qv {

constexpr int kChunkSize = 32768;
// A stored body is the marker byte and the whole chunk, so no valid length is larger.
constexpr int kMaxBodyLength = kChunkSize + 1;
constexpr int kHashSize = 4096;

// Both coders work in buffers larger than a chunk: the compressor's hash and word-wise
// compares read a few bytes past the chunk, its output may pass the chunk size by one item
// and a control word before it gives up and stores the chunk, and the decoder copies in
// whole machine words. Anything in the slack is never part of a result.
constexpr int kBufferSlack = 64;
constexpr int kBufferSize = kChunkSize + kBufferSlack;

constexpr uint8_t kCompressedMarker = 0x40;
constexpr uint8_t kStoredMarker = 0x80;

// Compresses in[0, n) (n at most kChunkSize) into out, both kBufferSize bytes long, and
// returns the body length (at most n + 1). hash is kHashSize entries of working storage.
int CompressChunk(const uint8_t* in, int n, uint8_t* out, int16_t* hash);

// Decodes a body of `length` bytes into out (kBufferSize bytes). Returns the chunk length,
// or -1 when the body is not one the compressor could have written in a way that matters
// for safety: items running past the body, a copy from before the block's start, runs
// outside 16..4095, or more than kChunkSize bytes of output.
int DecodeBody(const uint8_t* body, int length, uint8_t* out);

} // namespace kvx::qv
