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
    // Exchanges the blocks, those in use included, with another pool.
    void Swap(TRowPool& other) noexcept;
    // For a pool being filled in bulk (loading a file): from its second chunk on, each chunk
    // is made resident in one call instead of a fault per page as rows are written.
    void SetBulk(bool on) { bulk_ = on; }
    size_t ReservedBytes() const { return chunks_.size() * ChunkSize; }

  private:
    std::byte* NewChunk();
    struct FreeBlock {
        FreeBlock* next;
    };
    // Chunks are mapped from the system directly (see NewChunk) and unmapped as a whole.
    struct TChunkFree {
        void operator()(std::byte* p) const;
    };
    std::vector<std::unique_ptr<std::byte, TChunkFree>> chunks_;
    std::byte* cursor_ = nullptr;
    size_t left_ = 0;
    bool bulk_ = false;
    FreeBlock* free_[MaxBlock / Granule + 1] = {};
};

} // namespace kvx
