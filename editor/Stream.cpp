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

} // namespace kvx
