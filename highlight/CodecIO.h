// Byte-wise reading and writing through one fixed buffer each, for the coders that work a
// byte (or a bit) at a time. The owner supplies the refill and flush steps, which raise the
// owner's own errors; the coders only see bytes.
#pragma once

#include <cstdint>
#include <functional>

namespace kvx {

class TInputBuffer {
  public:
    // Reads up to `capacity` bytes into the buffer; returns how many, 0 at the end.
    using FillFn = std::function<int(uint8_t* buffer, int capacity)>;

    TInputBuffer(uint8_t* buffer, int capacity, FillFn fill)
        : buffer_(buffer), capacity_(capacity), fill_(std::move(fill)) {}

    // The next byte, or -1 once the source is exhausted (and from then on).
    int Get() {
        if (pos_ < end_)
            return buffer_[pos_++];
        return Refill();
    }
    // Bytes handed out by Get so far.
    int64_t Consumed() const { return consumed_ + pos_; }

  private:
    int Refill() {
        if (ended_)
            return -1;
        consumed_ += pos_;
        pos_ = 0;
        end_ = fill_(buffer_, capacity_);
        if (end_ <= 0) {
            end_ = 0;
            ended_ = true;
            return -1;
        }
        return buffer_[pos_++];
    }

    uint8_t* buffer_;
    int capacity_;
    FillFn fill_;
    int pos_ = 0;
    int end_ = 0;
    int64_t consumed_ = 0;
    bool ended_ = false;
};

class TOutputBuffer {
  public:
    // Takes `count` bytes from the buffer; raises when they cannot all be stored.
    using FlushFn = std::function<void(const uint8_t* data, int count)>;

    TOutputBuffer(uint8_t* buffer, int capacity, FlushFn flush)
        : buffer_(buffer), capacity_(capacity), flush_(std::move(flush)) {}

    void Put(uint8_t byte) {
        if (used_ == capacity_)
            Flush();
        buffer_[used_++] = byte;
    }
    void Flush() {
        if (used_ > 0) {
            flush_(buffer_, used_);
            flushed_ += used_;
            used_ = 0;
        }
    }
    // Bytes put so far, flushed or not.
    int64_t Total() const { return flushed_ + used_; }

  private:
    uint8_t* buffer_;
    int capacity_;
    FlushFn flush_;
    int used_ = 0;
    int64_t flushed_ = 0;
};

} // namespace kvx
