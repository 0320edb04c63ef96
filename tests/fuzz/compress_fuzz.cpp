// Packs arbitrary bytes with both methods and unpacks them again: the round trip must give
// the input back, and packing twice must give the same container.
#include "highlight/Compressor.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Run(const std::string& input, uint8_t method, bool pack) {
    kvx::TMemoryStream in(input), out;
    kvx::TCompressor c;
    c.StreamMode = true;
    c.Method = method;
    c.InputStream = &in;
    c.OutputStream = &out;
    if (pack)
        c.Compress();
    else
        c.Decompress();
    return out.Data();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Two chunks and a bit are enough to cross every block boundary. The LZH coder is much
    // slower and has no blocks, so it sees shorter inputs (its 4096-byte ring still wraps
    // several times); the unit tests take it through megabytes.
    if (size > 70000)
        return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    for (const uint8_t method : {kvx::TCompressor::cmBlock, kvx::TCompressor::cmLZH}) {
        if (method == kvx::TCompressor::cmLZH && size > 20000)
            continue;
        const std::string packed = Run(input, method, true);
        if (Run(packed, method, false) != input) {
            std::fprintf(stderr, "method %d: round trip differs\n", method);
            std::abort();
        }
        if (Run(input, method, true) != packed) {
            std::fprintf(stderr, "method %d: packing twice differs\n", method);
            std::abort();
        }
    }
    return 0;
}
