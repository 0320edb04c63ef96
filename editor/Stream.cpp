#include "Stream.h"

#include "EdConsts.h"

#include <algorithm>
#include <cstring>

namespace kvx {

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    const int64_t n = std::clamp<int64_t>(Size() - pos_, 0, std::max<int64_t>(count, 0));
    if (n > 0)
        std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0)
        return 0;
    if (pos_ + count > Size())
        data_.resize(pos_ + count);
    std::memcpy(data_.data() + pos_, buffer, count);
    pos_ += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int64_t base = origin == TSeekOrigin::Begin     ? 0
                         : origin == TSeekOrigin::Current ? pos_
                                                          : Size();
    pos_ = std::max<int64_t>(base + offset, 0);
    return pos_;
}

TFastMemoryStream::TFastMemoryStream(const char* text)
    : data_(text ? text : ""), size_(text ? static_cast<int64_t>(std::strlen(text)) : 0) {}

int64_t TFastMemoryStream::Read(void* buffer, int64_t count) {
    const int64_t n = std::clamp<int64_t>(size_ - pos_, 0, std::max<int64_t>(count, 0));
    if (n > 0)
        std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return n;
}

int64_t TFastMemoryStream::Write(const void*, int64_t) {
    throw EStreamError(msgReadOnlyStream);
}

int64_t TFastMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int64_t base = origin == TSeekOrigin::Begin     ? 0
                         : origin == TSeekOrigin::Current ? pos_
                                                          : size_;
    pos_ = std::clamp<int64_t>(base + offset, 0, size_);
    return pos_;
}

int64_t ReportedRemaining(TStream& stream) {
    try {
        return std::max<int64_t>(stream.Size() - stream.Position(), 0);
    } catch (const EStreamError&) {
        return 0;
    }
}

bool ReadToEnd(TStream& stream, std::string& out, int64_t limit) {
    const int64_t expected = ReportedRemaining(stream);
    out.clear();
    // A stream that already says it holds more is refused unread.
    if (expected > limit)
        return false;
    // One byte beyond the limit tells a text that is too long from one that fits exactly.
    const int64_t most = limit + 1;
    int64_t capacity = std::min(most, std::max<int64_t>(expected + 1, 1 << 16));
    int64_t got = 0;
    for (;;) {
        out.resize(static_cast<size_t>(capacity));
        while (got < capacity) {
            const int64_t n = stream.Read(out.data() + got, capacity - got);
            if (n <= 0)
                break;
            got += n;
        }
        if (got < capacity || capacity == most)
            break;
        capacity = std::min(most, capacity * 2);
    }
    out.resize(static_cast<size_t>(got));
    return got <= limit;
}

} // namespace kvx
