// Unpacks arbitrary bytes as a container. Whatever the bytes, Decompress either refuses them
// with a compressor message or writes exactly the size the header gives; it never reads or
// writes outside its buffers and always stops.
#include "highlight/Compressor.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Counts what it is given and keeps nothing, so that a container with long runs costs the
// fuzzer time but no memory.
class TCountingSink : public kvx::TStream {
  public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t count) override {
        size_ += count;
        return count;
    }
    int64_t Seek(int64_t, kvx::TSeekOrigin) override { return size_; }
    int64_t Size() override { return size_; }

  private:
    int64_t size_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvx::TFastMemoryStream in(reinterpret_cast<const char*>(data), int64_t(size));
    TCountingSink out;
    kvx::TCompressor c;
    c.StreamMode = true;
    c.InputStream = &in;
    c.OutputStream = &out;
    int64_t written;
    try {
        written = c.Decompress();
    } catch (const kvx::ECompressorException&) {
        return 0;
    }
    uint32_t claimed = 0;
    std::memcpy(&claimed, data + 4, 4); // only reached with a whole header
    if (written != out.Size() || written != int64_t(claimed)) {
        std::fprintf(stderr, "wrote %lld bytes, header says %u\n", (long long)out.Size(), claimed);
        std::abort();
    }
    return 0;
}
