// TCompressor packs a byte stream into a self-describing container and unpacks it again.
// The container is a four-byte magic ("WRZL" block method, "!HZL" LZH method), the 32-bit
// little-endian size of the uncompressed data, and the method's payload. Reading accepts
// either method; the parser tables are always written with the block method.
//
// Each operation allocates its own working storage and frees it at its end, so objects do
// not share anything and may be used side by side.
#pragma once

#include "CompressorMessages.h"
#include "editor/Stream.h"

#include <cstdint>
#include <string>

namespace kvx {

class TCompressor {
  public:
    enum : uint8_t { cmLZH = 0, cmBlock = 1, cmAdvise = 2 };

    std::string InputFileName;       // read in file mode
    std::string OutputFileName;      // written in file mode; replaced only when all went well
    uint8_t Method = cmBlock;        // cmAdvise asks Advise first; anything but 1 and 2 is LZH
    bool StreamMode = false;         // true: InputStream to OutputStream; false: the two files
    TStream* InputStream = nullptr;  // not owned
    TStream* OutputStream = nullptr; // not owned
    int32_t AdviseThreshold = 40;    // percent, for Advise
    // When not negative, Decompress refuses a container whose header promises any other
    // size before decoding anything: a caller that stored the length itself (the parser
    // tables do) can hold the container to it.
    int64_t ExpectedSize = -1;

    // Writes the container for the input, from the input stream's current position to its
    // end (the whole file in file mode). Returns the bytes written, header included.
    int64_t Compress();
    // Reads a container of either method and writes what it holds. Returns the bytes
    // written. In file mode the input file must end where the container does; in stream
    // mode reading stops there and what follows belongs to the caller.
    int64_t Decompress();
    // True when the block method should be used for the input, false for the LZH method.
    // Inputs below 98304 bytes get the LZH method (and Method is set to 0) unread.
    bool Advise();
};

} // namespace kvx
