#include "Compressor.h"

#include "BlockCodec.h"
#include "CodecIO.h"
#include "Lzhuf.h"
#include "editor/TextFile.h"

#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>

namespace kvx {

namespace {

using namespace compressor_msg;

constexpr char kBlockMagic[4] = {'W', 'R', 'Z', 'L'};
constexpr char kLzhMagic[4] = {'!', 'H', 'Z', 'L'};
constexpr int kHeaderSize = 8;
// Below three chunks there is nothing to sample from the middle of the input, and the LZH
// method's better ratio costs little time on so little data.
constexpr int64_t kAdviseMinSize = 3 * qv::kChunkSize;

[[noreturn]] void Raise(const std::string& text) {
    throw ECompressorException(text);
}

// The two I/O buffers and the block method's hash table of one operation.
struct TWork {
    uint8_t in[qv::kBufferSize];
    uint8_t out[qv::kBufferSize];
    std::unique_ptr<int16_t[]> hash;
};

std::unique_ptr<TWork> GetWork(const char* bufferMessage, bool withHash) {
    std::unique_ptr<TWork> work;
    try {
        // Value-initialised, so the slack past a chunk that the compressor's hash may read
        // holds defined bytes.
        work = std::make_unique<TWork>();
    } catch (const std::bad_alloc&) {
        Raise(bufferMessage);
    }
    if (withHash) {
        try {
            work->hash = std::make_unique<int16_t[]>(qv::kHashSize);
        } catch (const std::bad_alloc&) {
            throw ECompressorQVCompressor(kNoHashTable);
        }
    }
    return work;
}

void PutLE32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

uint32_t GetLE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Asks a stream where it stands; -1 when it cannot say.
int64_t PositionOf(TStream* s) {
    if (!s)
        return -1;
    try {
        return s->Seek(0, TSeekOrigin::Current);
    } catch (const std::exception&) {
        return -1;
    }
}

int64_t SizeOf(TStream* s) {
    try {
        return s->Size();
    } catch (const std::exception&) {
        return -1;
    }
}

// Size of a regular file; -1 for anything else or a missing file.
int64_t FileSize(const std::string& name) {
    std::error_code ec;
    if (name.empty() || !std::filesystem::is_regular_file(name, ec))
        return -1;
    const auto size = std::filesystem::file_size(name, ec);
    return ec ? -1 : int64_t(size);
}

// The input and output of one compression or decompression: the caller's streams in stream
// mode, or the two files in file mode, with the failure messages that belong to each. In
// file mode the output goes to a temporary file that replaces the target only on Commit, so
// a failure leaves no partial output behind and never harms an existing file.
class TEnds {
  public:
    explicit TEnds(const TCompressor& c) : c_(c), files_(!c.StreamMode) {}

    void OpenInput() {
        if (files_) {
            try {
                inFile_ = std::make_unique<TFileStream>(c_.InputFileName);
            } catch (const std::exception&) {
                Raise(kOpenInputFile + c_.InputFileName);
            }
            in_ = inFile_.get();
            inPosition_ = 0;
        } else {
            in_ = c_.InputStream;
            inPosition_ = PositionOf(in_);
            if (inPosition_ < 0)
                Raise(kBadInputStream);
        }
    }

    void OpenOutput() {
        if (files_) {
            try {
                outFile_ = std::make_unique<TSafeFileStream>(c_.OutputFileName);
            } catch (const std::exception&) {
                Raise(kOpenOutputFile + c_.OutputFileName);
            }
            out_ = outFile_.get();
        } else {
            out_ = c_.OutputStream;
            if (PositionOf(out_) < 0)
                Raise(kBadOutputStream);
        }
    }

    int64_t InputPosition() const { return inPosition_; }

    void Write(const void* data, int64_t count) {
        int64_t done = -1;
        try {
            done = out_->Write(data, count);
        } catch (const std::exception&) {
        }
        if (done != count)
            Raise(files_ ? kWriteFile + c_.OutputFileName : std::string(kWriteStream));
        written_ += count;
    }

    // A read that must deliver all `count` bytes: the header, a block length, a body.
    void ReadExact(void* data, int64_t count) {
        if (ReadUpTo(data, count) != count)
            Raise(ReadMessage(""));
    }

    // Reads until `count` bytes or the end of the input; a failing read raises the read
    // message with `suffix` (the method's mark).
    int64_t ReadChunk(void* data, int64_t count, const char* suffix) {
        const int64_t got = ReadUpTo(data, count);
        if (got < 0)
            Raise(ReadMessage(suffix));
        return got;
    }

    void Commit() {
        if (!outFile_)
            return;
        try {
            outFile_->Commit();
        } catch (const std::exception&) {
            Raise(kWriteFile + c_.OutputFileName);
        }
    }

    int64_t Written() const { return written_; }

    // True when the input has no byte left.
    bool InputEnded() {
        uint8_t byte;
        return ReadUpTo(&byte, 1) == 0;
    }

  private:
    // Bytes read, fewer only at the end of the input; -1 when a read fails.
    int64_t ReadUpTo(void* data, int64_t count) {
        auto* to = static_cast<uint8_t*>(data);
        int64_t done = 0;
        try {
            while (done < count) {
                const int64_t n = in_->Read(to + done, count - done);
                if (n < 0 || n > count - done)
                    return -1;
                if (n == 0)
                    break;
                done += n;
            }
        } catch (const std::exception&) {
            return -1;
        }
        return done;
    }

    std::string ReadMessage(const char* suffix) const {
        if (files_)
            return kReadFile + c_.InputFileName + suffix;
        return std::string(kReadStream) + suffix;
    }

    const TCompressor& c_;
    const bool files_;
    TStream* in_ = nullptr;
    TStream* out_ = nullptr;
    std::unique_ptr<TFileStream> inFile_;
    std::unique_ptr<TSafeFileStream> outFile_;
    int64_t inPosition_ = 0;
    int64_t written_ = 0;
};

} // namespace

int64_t TCompressor::Compress() {
    bool block;
    if (Method == cmAdvise)
        block = Advise();
    else
        block = Method == cmBlock;

    auto work = GetWork(kNoIoBuffers, block);

    // The size first: it goes into the header before a byte of the input is read.
    int64_t size;
    if (StreamMode) {
        size = InputStream ? SizeOf(InputStream) : -1;
        if (size < 0)
            Raise(kNoInputSize);
    } else {
        size = FileSize(InputFileName);
        if (size < 0)
            Raise(kNoInputSizeFile + InputFileName);
    }
    TEnds ends(*this);
    ends.OpenInput();
    ends.OpenOutput();
    // What the header promises is what will be read: the rest of the stream from where it
    // stands. A caller that positioned the stream at its start gets the whole stream, as the
    // format expects; any other caller still gets a container that unpacks.
    size = std::max<int64_t>(size - ends.InputPosition(), 0);
    if (size > int64_t(std::numeric_limits<uint32_t>::max()))
        Raise(kInputTooLarge);

    uint8_t header[kHeaderSize];
    std::memcpy(header, block ? kBlockMagic : kLzhMagic, 4);
    PutLE32(header + 4, uint32_t(size));
    ends.Write(header, kHeaderSize);

    int64_t read = 0;
    if (block) {
        int64_t n;
        do {
            n = ends.ReadChunk(work->in, qv::kChunkSize, kQvSuffix);
            read += n;
            const int length = qv::CompressChunk(work->in, int(n), work->out, work->hash.get());
            const uint8_t prefix[2] = {uint8_t(length), uint8_t(length >> 8)};
            ends.Write(prefix, 2);
            ends.Write(work->out, length);
        } while (n == qv::kChunkSize);
    } else {
        TInputBuffer in(work->in, qv::kChunkSize, [&](uint8_t* buffer, int capacity) {
            return int(ends.ReadChunk(buffer, capacity, kLzhSuffix));
        });
        TOutputBuffer out(work->out, qv::kChunkSize,
                          [&](const uint8_t* data, int count) { ends.Write(data, count); });
        try {
            read = lzh::Encode(in, out);
        } catch (const std::bad_alloc&) {
            throw ElzhException(kLzhNoTables);
        }
        out.Flush();
    }
    // A file that grew or shrank while it was read would leave a header that lies.
    if (read != size)
        Raise(kInputChanged);
    ends.Commit();
    return ends.Written();
}

int64_t TCompressor::Decompress() {
    auto work = GetWork(kNoIoBuffers, false);
    TEnds ends(*this);
    ends.OpenInput();
    ends.OpenOutput();

    uint8_t header[kHeaderSize];
    ends.ReadExact(header, 4);
    const bool block = std::memcmp(header, kBlockMagic, 4) == 0;
    if (!block && std::memcmp(header, kLzhMagic, 4) != 0)
        Raise(StreamMode ? std::string(kNoHeader) : InputFileName + kNoHeaderFileSuffix);
    ends.ReadExact(header + 4, 4);
    const uint32_t size = GetLE32(header + 4);
    const char* mismatch = block ? kQvSizeMismatch : kLzhSizeMismatch;
    if (ExpectedSize >= 0 && int64_t(size) != ExpectedSize)
        Raise(mismatch);

    if (block) {
        int64_t total = 0;
        int n;
        do {
            uint8_t prefix[2];
            ends.ReadExact(prefix, 2);
            const int length = prefix[0] | prefix[1] << 8;
            // A length of 0 is never written (an empty chunk is the one-byte stored body),
            // and nothing longer than a stored full chunk fits the buffer.
            if (length == 0 || length > qv::kMaxBodyLength)
                Raise(kQvCorruptBlock);
            ends.ReadExact(work->in, length);
            n = qv::DecodeBody(work->in, length, work->out);
            if (n < 0)
                Raise(kQvCorruptBlock);
            // Stop at the first byte the header did not promise, not at the end of a
            // stream of blocks that may go on for a long time.
            total += n;
            if (total > int64_t(size))
                Raise(mismatch);
            ends.Write(work->out, n);
        } while (n == qv::kChunkSize);
        if (total != int64_t(size))
            Raise(mismatch);
        if (!StreamMode && !ends.InputEnded())
            Raise(InputFileName + kTrailingDataFileSuffix);
    } else {
        TInputBuffer in(work->in, qv::kChunkSize, [&](uint8_t* buffer, int capacity) {
            return int(ends.ReadChunk(buffer, capacity, kLzhSuffix));
        });
        TOutputBuffer out(work->out, qv::kChunkSize,
                          [&](const uint8_t* data, int count) { ends.Write(data, count); });
        lzh::TDecodeResult result;
        try {
            result = lzh::Decode(in, out, size);
        } catch (const std::bad_alloc&) {
            throw ElzhException(kLzhNoTables);
        }
        if (result != lzh::TDecodeResult::Ok)
            Raise(mismatch);
        // The bit stream ends in the byte that holds its last bit.
        if (!StreamMode && in.Get() >= 0)
            Raise(InputFileName + kTrailingDataFileSuffix);
        out.Flush();
    }
    ends.Commit();
    return int64_t(size);
}

bool TCompressor::Advise() {
    int64_t position = 0;
    int64_t size;
    if (StreamMode) {
        position = PositionOf(InputStream);
        if (position < 0)
            Raise(kAdviseBadStream);
        size = SizeOf(InputStream);
        if (size < 0)
            Raise(kAdviseNoSize);
        size = std::max<int64_t>(size - position, 0);
    } else {
        size = FileSize(InputFileName);
        if (size < 0)
            Raise(kAdviseNoSizeFile + InputFileName);
    }
    if (size < kAdviseMinSize) {
        Method = cmLZH;
        return false;
    }

    auto work = GetWork(kAdviseNoBuffers, true);
    std::unique_ptr<TFileStream> file;
    TStream* in = InputStream;
    if (!StreamMode) {
        try {
            file = std::make_unique<TFileStream>(InputFileName);
        } catch (const std::exception&) {
            Raise(kAdviseOpenFile + InputFileName);
        }
        in = file.get();
    }
    const std::string readError =
        StreamMode ? std::string(kAdviseReadStream) : kAdviseReadFile + InputFileName;

    // Compress uses the stream from where it stands, so put it back there whatever happens.
    struct TRestore {
        TStream* s;
        int64_t at;
        ~TRestore() {
            if (s) {
                try {
                    s->Seek(at, TSeekOrigin::Begin);
                } catch (const std::exception&) {
                }
            }
        }
    } restore{StreamMode ? in : nullptr, position};

    int64_t compressed = 0;
    const int64_t offsets[2] = {(size / 3) & ~int64_t(qv::kChunkSize - 1),
                                (2 * size / 3) & ~int64_t(qv::kChunkSize - 1)};
    for (const int64_t offset : offsets) {
        int64_t at = -1;
        try {
            at = in->Seek(position + offset, TSeekOrigin::Begin);
        } catch (const std::exception&) {
        }
        if (at != position + offset)
            Raise(StreamMode ? std::string(kAdviseBadStream) : readError);
        int64_t got = 0;
        try {
            while (got < qv::kChunkSize) {
                const int64_t n = in->Read(work->in + got, qv::kChunkSize - got);
                if (n <= 0 || n > qv::kChunkSize - got)
                    break;
                got += n;
            }
        } catch (const std::exception&) {
        }
        if (got != qv::kChunkSize)
            Raise(readError);
        compressed += qv::CompressChunk(work->in, qv::kChunkSize, work->out, work->hash.get());
    }
    return compressed < 2 * int64_t(qv::kChunkSize) * AdviseThreshold / 100;
}

} // namespace kvx
