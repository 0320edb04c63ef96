// Byte streams the control reads text from and writes text to.
#pragma once

#include <cstdint>
#include <string>

namespace kvx {

enum class TSeekOrigin { Begin, Current, End };

class TStream {
  public:
    virtual ~TStream() = default;
    // Reads up to `count` bytes; returns how many were read (0 at the end).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    int64_t Position() { return Seek(0, TSeekOrigin::Current); }
    virtual int64_t Size() = 0;
};

// A growable stream in memory.
class TMemoryStream : public TStream {
  public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string data) : data_(std::move(data)) {}

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    const std::string& Data() const { return data_; }

  private:
    std::string data_;
    int64_t pos_ = 0;
};

// A read-only stream over bytes someone else owns: no copy is made. Built from a
// zero-terminated buffer its size is the string length.
class TFastMemoryStream : public TStream {
  public:
    explicit TFastMemoryStream(const char* text);
    TFastMemoryStream(const char* data, int64_t size) : data_(data), size_(size) {}

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override; // raises EStreamError 4203
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return size_; }

  private:
    const char* data_;
    int64_t size_;
    int64_t pos_ = 0;
};

// The bytes the stream says are left from where it stands; 0 when it cannot say. Only a
// hint: some streams (files under /proc) say 0 and have content.
int64_t ReportedRemaining(TStream& stream);

// Reads the stream from where it stands to its end, without trusting the size it reports
// (a file under /proc says 0 and has content). False when there are more than `limit`
// bytes, or the stream says so before anything is read.
bool ReadToEnd(TStream& stream, std::string& out, int64_t limit);

} // namespace kvx
