// The compressed container on 10 MB of assembler-like source, next to zlib at level 1 on the
// same bytes in the same run: the block method is there for speed, so its figures only mean
// something beside a well-known fast compressor on the same machine.
//
//     bench_compressor                      all of them
//     bench_compressor --benchmark_filter=Block

#include "highlight/Compressor.h"

#include "AsmSource.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#ifdef KVX_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

constexpr size_t kSourceBytes = size_t(10) * 1000 * 1000;

const std::string& Source() {
    static const std::string text = kvx::bench::AsmSource(kSourceBytes, {"\r\n"});
    return text;
}

// An output stream over a buffer that stays allocated from one iteration to the next, so
// that both the compressor and zlib write into warm memory and the figures compare the
// coders rather than the page faults of a growing string.
class TSinkStream : public kvx::TStream {
  public:
    explicit TSinkStream(std::string& buffer) : buffer_(buffer) {}
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void* data, int64_t count) override {
        if (size_t(pos_ + count) > buffer_.size())
            buffer_.resize(size_t(pos_ + count));
        std::memcpy(buffer_.data() + pos_, data, size_t(count));
        pos_ += count;
        return count;
    }
    int64_t Seek(int64_t, kvx::TSeekOrigin) override { return pos_; }
    int64_t Size() override { return pos_; }

  private:
    std::string& buffer_;
    int64_t pos_ = 0;
};

// Packs or unpacks `input` into `buffer` and gives the size written.
size_t Run(const std::string& input, uint8_t method, bool pack, std::string& buffer) {
    // Read in place, as the parser reads its stored tables.
    kvx::TFastMemoryStream in(input.data(), int64_t(input.size()));
    TSinkStream out(buffer);
    kvx::TCompressor c;
    c.StreamMode = true;
    c.Method = method;
    c.InputStream = &in;
    c.OutputStream = &out;
    pack ? c.Compress() : c.Decompress();
    return size_t(out.Size());
}

std::string Pack(const std::string& input, uint8_t method) {
    std::string buffer;
    buffer.resize(Run(input, method, true, buffer));
    return buffer;
}

void Report(benchmark::State& state, size_t packed) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Source().size()));
    state.counters["ratio_%"] = 100.0 * double(packed) / double(Source().size());
}

void Compress(benchmark::State& state, uint8_t method) {
    std::string buffer;
    size_t packed = 0;
    for (auto _ : state) {
        packed = Run(Source(), method, true, buffer);
        benchmark::DoNotOptimize(buffer.data());
    }
    Report(state, packed);
}

void Decompress(benchmark::State& state, uint8_t method) {
    const std::string packed = Pack(Source(), method);
    std::string buffer;
    for (auto _ : state) {
        if (Run(packed, method, false, buffer) != Source().size())
            state.SkipWithError("round trip lost bytes");
        benchmark::DoNotOptimize(buffer.data());
    }
    Report(state, packed.size());
}

void BM_BlockCompress(benchmark::State& state) {
    Compress(state, kvx::TCompressor::cmBlock);
}
void BM_BlockDecompress(benchmark::State& state) {
    Decompress(state, kvx::TCompressor::cmBlock);
}
void BM_LzhCompress(benchmark::State& state) {
    Compress(state, kvx::TCompressor::cmLZH);
}
void BM_LzhDecompress(benchmark::State& state) {
    Decompress(state, kvx::TCompressor::cmLZH);
}

BENCHMARK(BM_BlockCompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlockDecompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LzhCompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LzhDecompress)->Unit(benchmark::kMillisecond);

#ifdef KVX_HAVE_ZLIB
size_t ZlibCompress(const std::string& src, std::string& out) {
    out.resize(compressBound(uLong(src.size())));
    uLongf size = uLongf(out.size());
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(src.data()), uLong(src.size()), 1) != Z_OK)
        return 0;
    return size;
}

void BM_Zlib1Compress(benchmark::State& state) {
    std::string buffer;
    size_t packed = 0;
    for (auto _ : state) {
        packed = ZlibCompress(Source(), buffer);
        benchmark::DoNotOptimize(buffer.data());
    }
    Report(state, packed);
}

void BM_Zlib1Decompress(benchmark::State& state) {
    std::string packed;
    packed.resize(ZlibCompress(Source(), packed));
    std::string buffer(Source().size(), '\0');
    for (auto _ : state) {
        uLongf size = uLongf(buffer.size());
        if (uncompress(reinterpret_cast<Bytef*>(buffer.data()), &size,
                       reinterpret_cast<const Bytef*>(packed.data()),
                       uLong(packed.size())) != Z_OK ||
            size != buffer.size())
            state.SkipWithError("zlib round trip failed");
        benchmark::DoNotOptimize(buffer.data());
    }
    Report(state, packed.size());
}

BENCHMARK(BM_Zlib1Compress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zlib1Decompress)->Unit(benchmark::kMillisecond);
#endif

} // namespace

BENCHMARK_MAIN();
