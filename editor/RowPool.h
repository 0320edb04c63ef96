// Allocator for text rows. A large document holds millions of small rows; a general-purpose
// heap would spend a header and alignment slack on each of them, which is more than the rows
// themselves cost. Rows are carved from large chunks by size class (8-byte steps) and freed
// blocks are kept per class for the next row of that size.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace kvx {

class TRowPool {
  public:
    static constexpr size_t Granule = 8;
    static constexpr size_t ChunkSize = size_t(1) << 20;
    static constexpr size_t MaxBlock = 8192;

    TRowPool() = default;
    TRowPool(const TRowPool&) = delete;
    TRowPool& operator=(const TRowPool&) = delete;

    static constexpr size_t RoundUp(size_t bytes) { return (bytes + Granule - 1) & ~(Granule - 1); }

    // `bytes` must be the same value for Allocate and the matching Free, at most MaxBlock.
    void* Allocate(size_t bytes);
    void Free(void* block, size_t bytes);
    // Drops every block at once; only valid when no block is in use any more.
    void Release();
    size_t ReservedBytes() const { return chunks_.size() * ChunkSize; }

  private:
    struct FreeBlock {
        FreeBlock* next;
    };
    std::vector<std::unique_ptr<std::byte[]>> chunks_;
    std::byte* cursor_ = nullptr;
    size_t left_ = 0;
    FreeBlock* free_[MaxBlock / Granule + 1] = {};
};

} // namespace kvx
