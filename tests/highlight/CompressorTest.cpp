#include "highlight/Compressor.h"
#include "editor/TextFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

namespace kvx {
namespace {

namespace fs = std::filesystem;
using namespace compressor_msg;
using namespace std::string_literals;

std::string Pack(const std::string& data, uint8_t method) {
    TMemoryStream in(data), out;
    TCompressor c;
    c.StreamMode = true;
    c.Method = method;
    c.InputStream = &in;
    c.OutputStream = &out;
    const int64_t written = c.Compress();
    EXPECT_EQ(written, int64_t(out.Data().size()));
    return out.Data();
}

std::string Unpack(const std::string& container, int64_t expectedSize = -1) {
    TMemoryStream in(container), out;
    TCompressor c;
    c.StreamMode = true;
    c.InputStream = &in;
    c.OutputStream = &out;
    c.ExpectedSize = expectedSize;
    const int64_t written = c.Decompress();
    EXPECT_EQ(written, int64_t(out.Data().size()));
    return out.Data();
}

// The message Decompress fails with, or "ok".
std::string UnpackError(const std::string& container, int64_t expectedSize = -1) {
    try {
        Unpack(container, expectedSize);
    } catch (const ECompressorException& e) {
        return e.what();
    }
    return "ok";
}

std::string LE32(uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

// A block container around hand-made bodies.
std::string BlockContainer(uint32_t size, std::initializer_list<std::string> bodies) {
    std::string s = "WRZL" + LE32(size);
    for (const std::string& b : bodies)
        s += std::string{char(b.size()), char(b.size() >> 8)} + b;
    return s;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s += char(v);
    return s;
}

std::string Random(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = char(gen());
    return s;
}

// Assembler-like source lines: the data the block method is made for.
std::string Text(size_t n) {
    std::string s;
    std::mt19937 gen(7);
    const char* ops[] = {"mov", "add", "sub", "jmp", "cmp", "push", "pop", "call"};
    const char* regs[] = {"eax", "ebx", "ecx", "edx", "esi", "edi"};
    char line[80];
    while (s.size() < n) {
        const int k = std::snprintf(line, sizeof line, "label%u:\t%s %s, [%s+%u]\t; note\r\n",
                                    unsigned(gen() % 1000), ops[gen() % 8], regs[gen() % 6],
                                    regs[gen() % 6], unsigned(gen() % 256));
        s.append(line, size_t(k));
    }
    s.resize(n);
    return s;
}

// Long runs of a few values with short stretches of other bytes between them.
std::string Runs(size_t n) {
    std::string s;
    std::mt19937 gen(11);
    while (s.size() < n) {
        s.append(gen() % 9000, char('a' + gen() % 3));
        s.append(gen() % 20, char(gen()));
    }
    s.resize(n);
    return s;
}

TEST(CompressorTest, BlockMethodWritesTheExactBytes) {
    // Empty input: the header and one empty block, a stored body of nothing.
    EXPECT_EQ(Pack("", TCompressor::cmBlock), Bytes({'W', 'R', 'Z', 'L', 0, 0, 0, 0, 1, 0, 0x80}));
    // 32768 equal bytes: eight runs of 4095 (count - 16 = 0x0FEF), then eight bytes left,
    // too few for a run: a literal and a copy of 7 from distance 1 (0x0014). Ten items,
    // control bits 1111111101 padded to 0xFF40. A full chunk is followed by the empty block.
    std::string body = Bytes({0x40, 0xFF, 0x40});
    for (int i = 0; i < 8; ++i)
        body += Bytes({0x00, 0x0F, 0xEF, 'a'});
    body += Bytes({'a', 0x00, 0x14});
    EXPECT_EQ(Pack(std::string(32768, 'a'), TCompressor::cmBlock),
              BlockContainer(32768, {body, "\x80"}));
    // Runs start at 16 equal bytes: 20 give one run item; 15 give a literal and a copy of 14
    // (0x001B); 5000 give a run of 4095 and one of 905 (0x0379).
    EXPECT_EQ(Pack(std::string(20, 'x'), 1),
              BlockContainer(20, {Bytes({0x40, 0x80, 0x00, 0x00, 0x00, 0x04, 'x'})}));
    EXPECT_EQ(Pack(std::string(15, 'x'), 1),
              BlockContainer(15, {Bytes({0x40, 0x40, 0x00, 'x', 0x00, 0x1B})}));
    EXPECT_EQ(Pack(std::string(5000, 'x'), 1),
              BlockContainer(
                  5000, {Bytes({0x40, 0xC0, 0x00, 0x00, 0x0F, 0xEF, 'x', 0x00, 0x03, 0x79, 'x'})}));
    // A repeated pattern: "abc", a copy of 18 from three back that overlaps its own output
    // (3 * 16 + 15 = 0x003F), then the hash points at that copy's start: 9 from 18 back
    // (18 * 16 + 6 = 0x0126).
    std::string abc;
    for (int i = 0; i < 10; ++i)
        abc += "abc";
    EXPECT_EQ(
        Pack(abc, 1),
        BlockContainer(30, {Bytes({0x40, 0x18, 0x00, 'a', 'b', 'c', 0x00, 0x3F, 0x01, 0x26})}));
}

TEST(CompressorTest, IncompressibleChunksAreStored) {
    const std::string small = Random(1000, 1);
    EXPECT_EQ(Pack(small, 1), BlockContainer(1000, {"\x80" + small}));
    // A full chunk of noise: stored at its full length (32769), then the empty block.
    const std::string full = Random(32768, 2);
    EXPECT_EQ(Pack(full, 1), BlockContainer(32768, {"\x80" + full, "\x80"}));
    // Four bytes cannot pay for a control word and the marker.
    EXPECT_EQ(Pack("abcd", 1), BlockContainer(4, {"\x80"
                                                  "abcd"}));
}

TEST(CompressorTest, LzhMethodWritesTheExactBytes) {
    EXPECT_EQ(Pack("", TCompressor::cmLZH), "!HZL" + LE32(0));
    // In the fresh tree every symbol is a leaf whose path is read off its node numbers:
    // 'A' (65) is 111001101, padded with zeros to E6 80.
    EXPECT_EQ(Pack("A", 0), "!HZL" + LE32(1) + Bytes({0xE6, 0x80}));
    // Sixty spaces match the spaces the ring starts with: symbol 313 (length 60) is
    // 11000101, then position 59 as the 3-bit code 000 for its upper bits and 111011.
    EXPECT_EQ(Pack(std::string(60, ' '), 0), "!HZL" + LE32(60) + Bytes({0xC5, 0x1D, 0x80}));
    EXPECT_EQ(Unpack("!HZL" + LE32(60) + Bytes({0xC5, 0x1D, 0x80})), std::string(60, ' '));
}

TEST(CompressorTest, DecodesHandMadeBlocks) {
    // Copies may overlap their own output: 'a' then 18 more from distance 1, and "ab" then
    // 10 from distance 2.
    EXPECT_EQ(Unpack(BlockContainer(19, {Bytes({0x40, 0x40, 0x00, 'a', 0x00, 0x1F})})),
              std::string(19, 'a'));
    EXPECT_EQ(Unpack(BlockContainer(12, {Bytes({0x40, 0x20, 0x00, 'a', 'b', 0x00, 0x27})})),
              "abababababab");
    // A block length of 1 is an empty chunk whatever its byte; a body with any first byte
    // other than the stored marker is read as compressed.
    EXPECT_EQ(Unpack(BlockContainer(0, {"\x07"})), "");
    EXPECT_EQ(Unpack(BlockContainer(2, {Bytes({0x00, 0x00, 0x00, 'h', 'i'})})), "hi");
    // Words copied in one go must still give byte-by-byte results for distances 8 to 15.
    std::string expect = "0123456789";
    for (int i = 0; i < 18; ++i)
        expect += expect[expect.size() - 10];
    EXPECT_EQ(Unpack(BlockContainer(28, {Bytes({0x40, 0x00, 0x20, '0', '1', '2', '3', '4', '5', '6',
                                                '7', '8', '9', 0x00, 0xAF})})),
              expect);
}

TEST(CompressorTest, BothMethodsRoundTripAVariedCorpus) {
    const size_t sizes[] = {0, 1, 2, 3, 17, 32767, 32768, 32769, 98303, 98304, 1 << 20};
    for (const size_t n : sizes) {
        for (int kind = 0; kind < 3; ++kind) {
            const std::string data = kind == 0   ? Text(n)
                                     : kind == 1 ? Random(n, uint32_t(n))
                                                 : Runs(n);
            for (const uint8_t method : {TCompressor::cmBlock, TCompressor::cmLZH}) {
                SCOPED_TRACE("size " + std::to_string(n) + " kind " + std::to_string(kind) +
                             " method " + std::to_string(method));
                const std::string packed = Pack(data, method);
                EXPECT_EQ(packed.substr(0, 4), method == 1 ? "WRZL" : "!HZL");
                EXPECT_EQ(packed.substr(4, 4), LE32(uint32_t(n)));
                ASSERT_EQ(Unpack(packed), data);
                // Working storage left over from one run must not change the next.
                EXPECT_EQ(Pack(data, method), packed);
            }
        }
    }
}

TEST(CompressorTest, AdviseSamplesTheMiddleOfLargeInputs) {
    // Reads are counted to show that a small input is judged by its size alone.
    struct TCountingStream : TMemoryStream {
        using TMemoryStream::TMemoryStream;
        int reads = 0;
        int64_t Read(void* b, int64_t n) override {
            ++reads;
            return TMemoryStream::Read(b, n);
        }
    };
    TCompressor c;
    c.StreamMode = true;
    c.Method = TCompressor::cmAdvise;
    TCountingStream small(Text(98303));
    c.InputStream = &small;
    EXPECT_FALSE(c.Advise());
    EXPECT_EQ(c.Method, TCompressor::cmLZH);
    EXPECT_EQ(small.reads, 0);

    // Text compresses far below 40 %: block method, Method stays at advise, and the stream
    // is back where it was.
    c.Method = TCompressor::cmAdvise;
    TCountingStream text(Text(98304));
    text.Seek(0, TSeekOrigin::Begin);
    c.InputStream = &text;
    EXPECT_TRUE(c.Advise());
    EXPECT_EQ(c.Method, TCompressor::cmAdvise);
    EXPECT_EQ(text.Seek(0, TSeekOrigin::Current), 0);
    EXPECT_EQ(text.reads, 2);

    // Noise does not compress: LZH. Stored, it grows by the marker bytes, so only a
    // threshold above 100 % takes the block method for it.
    TMemoryStream noise(Random(200000, 3));
    c.InputStream = &noise;
    EXPECT_FALSE(c.Advise());
    c.AdviseThreshold = 101;
    EXPECT_TRUE(c.Advise());

    // Compress with advise writes the method Advise chose.
    EXPECT_EQ(Pack(Text(98303), TCompressor::cmAdvise).substr(0, 4), "!HZL");
    EXPECT_EQ(Pack(Text(200000), TCompressor::cmAdvise).substr(0, 4), "WRZL");
    EXPECT_EQ(Pack(Random(200000, 4), TCompressor::cmAdvise).substr(0, 4), "!HZL");
}

TEST(CompressorTest, RefusesContainersThatAreNotWellFormed) {
    const std::string text = Text(70000);
    const std::string block = Pack(text, 1);
    const std::string lzh = Pack(text, 0);

    EXPECT_EQ(UnpackError("WRZX" + block.substr(4)), kNoHeader);
    EXPECT_EQ(UnpackError(""), kReadStream);
    EXPECT_EQ(UnpackError("WRZL\x01"), kReadStream);

    // The header's size must agree with what the blocks hold, both ways, and with the
    // size the caller knows.
    EXPECT_EQ(UnpackError("WRZL" + LE32(70001) + block.substr(8)), kQvSizeMismatch);
    EXPECT_EQ(UnpackError("WRZL" + LE32(69999) + block.substr(8)), kQvSizeMismatch);
    EXPECT_EQ(UnpackError(block, 69999), kQvSizeMismatch);
    EXPECT_EQ(UnpackError(lzh, 70001), kLzhSizeMismatch);
    EXPECT_EQ(UnpackError(block, 70000), "ok");
    // The LZH stream has no end mark: the zero bits that pad its last byte may decode as
    // one more symbol (up to 60 bytes), so only a claim beyond that is certain to be caught.
    EXPECT_EQ(UnpackError("!HZL" + LE32(70061) + lzh.substr(8)), kLzhSizeMismatch);

    // Cut short: inside a block the read fails; so does a missing final empty block.
    EXPECT_EQ(UnpackError(block.substr(0, block.size() - 10)), kReadStream);
    const std::string two = Pack(Text(65536), 1);
    EXPECT_EQ(two.substr(two.size() - 3), "\x01\x00\x80"s);
    EXPECT_EQ(UnpackError(two.substr(0, two.size() - 3)), kReadStream);
    EXPECT_EQ(UnpackError(lzh.substr(0, lzh.size() / 2)), kLzhSizeMismatch);
}

TEST(CompressorTest, RefusesCorruptBlocksQuickly) {
    const auto start = std::chrono::steady_clock::now();
    // Lengths a writer never produces: 0, and anything past a stored full chunk.
    EXPECT_EQ(UnpackError("WRZL" + LE32(10) + Bytes({0, 0})), kQvCorruptBlock);
    EXPECT_EQ(UnpackError("WRZL" + LE32(10) + Bytes({0xFF, 0xFF}) + std::string(65535, 'a')),
              kQvCorruptBlock);
    EXPECT_EQ(UnpackError(BlockContainer(32769, {"\x80" + std::string(32769, 'a')})),
              kQvCorruptBlock);
    // A copy from before the block's start: distance 5 with 1 byte produced.
    EXPECT_EQ(UnpackError(BlockContainer(10, {Bytes({0x40, 0x40, 0x00, 'a', 0x00, 0x50})})),
              kQvCorruptBlock);
    // Nine runs of 4095 pass the chunk size.
    std::string runs = Bytes({0x40, 0xFF, 0x80});
    for (int i = 0; i < 9; ++i)
        runs += Bytes({0x00, 0x0F, 0xEF, 'r'});
    EXPECT_EQ(UnpackError(BlockContainer(40000, {runs})), kQvCorruptBlock);
    // A run count outside 16..4095 (0x0FFF + 16).
    EXPECT_EQ(UnpackError(BlockContainer(4111, {Bytes({0x40, 0x80, 0x00, 0x00, 0x0F, 0xFF, 'r'})})),
              kQvCorruptBlock);
    // Items cut off by the block's end: a copy with one byte, a run with three, a control
    // word with no item after it, a compressed body without its first control word.
    EXPECT_EQ(UnpackError(BlockContainer(5, {Bytes({0x40, 0x40, 0x00, 'a', 0x00})})),
              kQvCorruptBlock);
    EXPECT_EQ(UnpackError(BlockContainer(20, {Bytes({0x40, 0x80, 0x00, 0x00, 0x00, 0x04})})),
              kQvCorruptBlock);
    std::string sixteen = Bytes({0x40, 0x00, 0x00}) + std::string(16, 'z') + Bytes({0x00, 0x00});
    EXPECT_EQ(UnpackError(BlockContainer(16, {sixteen})), kQvCorruptBlock);
    EXPECT_EQ(UnpackError(BlockContainer(0, {Bytes({0x40, 0x00})})), kQvCorruptBlock);

    // A header that promises little is held to it as soon as a block passes it, before
    // anything is written.
    TMemoryStream in(BlockContainer(10, {runs.substr(0, 3 + 8 * 4)})), out;
    TCompressor c;
    c.StreamMode = true;
    c.InputStream = &in;
    c.OutputStream = &out;
    EXPECT_THROW(c.Decompress(), ECompressorException);
    EXPECT_EQ(out.Size(), 0);

    // An 8-byte LZH container that claims 4 GiB stops a few bytes after its end.
    EXPECT_EQ(UnpackError("!HZL" + LE32(0xFFFFFFFF)), kLzhSizeMismatch);
    // A last match that would pass the header's size.
    EXPECT_EQ(UnpackError("!HZL" + LE32(59) + Bytes({0xC5, 0x1D, 0x80})), kLzhSizeMismatch);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// A stream that fails on demand.
struct TFaultyStream : TMemoryStream {
    using TMemoryStream::TMemoryStream;
    bool failRead = false, shortWrite = false, badPosition = false;
    int64_t Read(void* b, int64_t n) override {
        if (failRead)
            throw EStreamError(0, "disk gone");
        return TMemoryStream::Read(b, n);
    }
    int64_t Write(const void* b, int64_t n) override {
        return TMemoryStream::Write(b, shortWrite && n > 1 ? n - 1 : n);
    }
    int64_t Seek(int64_t o, TSeekOrigin origin) override {
        return badPosition ? -1 : TMemoryStream::Seek(o, origin);
    }
};

std::string StreamError(TFaultyStream& in, TFaultyStream& out, uint8_t method, bool pack) {
    TCompressor c;
    c.StreamMode = true;
    c.Method = method;
    c.InputStream = &in;
    c.OutputStream = &out;
    try {
        pack ? c.Compress() : c.Decompress();
    } catch (const ECompressorException& e) {
        return e.what();
    }
    return "ok";
}

TEST(CompressorTest, StreamFailuresReachTheCaller) {
    TFaultyStream in(Text(5000)), out;
    in.badPosition = true;
    EXPECT_EQ(StreamError(in, out, 1, true), kBadInputStream);
    in.badPosition = false;
    out.badPosition = true;
    EXPECT_EQ(StreamError(in, out, 1, false), kBadOutputStream);
    out.badPosition = false;

    // A failed write while compressing is not swallowed: a caller storing the result
    // would otherwise keep a truncated container.
    out.shortWrite = true;
    EXPECT_EQ(StreamError(in, out, 1, true), kWriteStream);
    out.shortWrite = false;
    in.failRead = true;
    EXPECT_EQ(StreamError(in, out, 1, true), std::string(kReadStream) + kQvSuffix);
    EXPECT_EQ(StreamError(in, out, 0, true), std::string(kReadStream) + kLzhSuffix);
    EXPECT_EQ(StreamError(in, out, 1, false), kReadStream);

    TCompressor none;
    none.StreamMode = true;
    EXPECT_THROW(none.Compress(), ECompressorException);
    EXPECT_THROW(none.Decompress(), ECompressorException);
}

TEST(CompressorTest, StreamModeStartsWhereTheStreamStands) {
    // The form stream already holds the parser's version and length when the container is
    // written at its position; the input is read from where it stands.
    const std::string data = Text(40000);
    TMemoryStream in("skipped" + data), out("prefix");
    in.Seek(7, TSeekOrigin::Begin);
    out.Seek(0, TSeekOrigin::End);
    TCompressor c;
    c.StreamMode = true;
    c.InputStream = &in;
    c.OutputStream = &out;
    const int64_t written = c.Compress();
    EXPECT_EQ(out.Data().substr(0, 6), "prefix");
    EXPECT_EQ(written, int64_t(out.Data().size()) - 6);

    TMemoryStream packed(out.Data()), unpacked;
    packed.Seek(6, TSeekOrigin::Begin);
    c.InputStream = &packed;
    c.OutputStream = &unpacked;
    EXPECT_EQ(c.Decompress(), int64_t(data.size()));
    EXPECT_EQ(unpacked.Data(), data);
}

class CompressorFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kvx-compressor-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const char* name) const { return (dir_ / name).string(); }
    static void WriteFile(const std::string& path, const std::string& data) {
        std::ofstream(path, std::ios::binary) << data;
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    }
    static std::string Run(TCompressor& c, bool pack) {
        try {
            pack ? c.Compress() : c.Decompress();
        } catch (const ECompressorException& e) {
            return e.what();
        }
        return "ok";
    }
    size_t FilesInDir() const {
        return size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    fs::path dir_;
};

TEST_F(CompressorFileTest, FilesRoundTripAndFailuresLeaveNoOutput) {
    const std::string data = Runs(150000);
    WriteFile(Path("in"), data);
    TCompressor c;
    for (const uint8_t method : {TCompressor::cmBlock, TCompressor::cmLZH, TCompressor::cmAdvise}) {
        c.Method = method;
        c.InputFileName = Path("in");
        c.OutputFileName = Path("packed");
        ASSERT_EQ(Run(c, true), "ok");
        EXPECT_EQ(ReadFile(Path("packed")), Pack(data, method));
        c.InputFileName = Path("packed");
        c.OutputFileName = Path("out");
        ASSERT_EQ(Run(c, false), "ok");
        EXPECT_EQ(ReadFile(Path("out")), data);
    }

    // Packing a file onto itself works: the old file is replaced only at the end.
    c.Method = TCompressor::cmBlock;
    WriteFile(Path("self"), data);
    c.InputFileName = c.OutputFileName = Path("self");
    ASSERT_EQ(Run(c, true), "ok");
    EXPECT_EQ(ReadFile(Path("self")), Pack(data, 1));

    c.InputFileName = Path("missing");
    c.OutputFileName = Path("never");
    EXPECT_EQ(Run(c, true), kNoInputSizeFile + Path("missing"));
    EXPECT_EQ(Run(c, false), kOpenInputFile + Path("missing"));
    c.InputFileName = Path("in");
    c.OutputFileName = Path("no-such-dir/out");
    EXPECT_EQ(Run(c, true), kOpenOutputFile + Path("no-such-dir/out"));
    c.InputFileName = Path("in");
    c.OutputFileName = Path("out");
    EXPECT_EQ(Run(c, false), Path("in") + kNoHeaderFileSuffix);
    c.Method = TCompressor::cmAdvise;
    c.InputFileName = Path("missing");
    EXPECT_EQ(Run(c, true), kAdviseNoSizeFile + Path("missing"));

    // A corrupt container: the error names the file, and the output that was there before
    // is left exactly as it was, with no partial file beside it.
    const std::string packed = Pack(data, 1);
    WriteFile(Path("cut"), packed.substr(0, packed.size() - 100));
    WriteFile(Path("out"), "precious");
    const size_t files = FilesInDir();
    c.InputFileName = Path("cut");
    c.OutputFileName = Path("out");
    EXPECT_EQ(Run(c, false), kReadFile + Path("cut"));
    EXPECT_EQ(ReadFile(Path("out")), "precious");
    EXPECT_EQ(FilesInDir(), files);
}

} // namespace
} // namespace kvx
