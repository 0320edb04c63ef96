#include "RowPool.h"

#include <algorithm>
#include <cassert>
#include <iterator>
#include <new>
#include <sys/mman.h>
#include <utility>

namespace kvx {

void TRowPool::TChunkFree::operator()(std::byte* p) const {
    ::munmap(p, ChunkSize);
}

std::byte* TRowPool::NewChunk() {
    chunks_.reserve(chunks_.size() + 1); // so that keeping the chunk cannot fail
    int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#ifdef MAP_POPULATE
    // Making the pages in one call costs far less than a fault for each; the first chunk is
    // left to fill page by page, so that a small file stays small.
    if (bulk_ && !chunks_.empty())
        flags |= MAP_POPULATE;
#endif
    void* mem = ::mmap(nullptr, ChunkSize, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (mem == MAP_FAILED)
        throw std::bad_alloc();
    chunks_.emplace_back(static_cast<std::byte*>(mem));
    return chunks_.back().get();
}

void* TRowPool::Allocate(size_t bytes) {
    bytes = RoundUp(bytes);
    assert(bytes >= sizeof(FreeBlock) && bytes <= MaxBlock);
    FreeBlock*& head = free_[bytes / Granule];
    if (head) {
        FreeBlock* b = head;
        head = b->next;
        return b;
    }
    if (left_ < bytes) {
        // The tail of the old chunk is handed to the free list of its size so it is not lost.
        if (left_ >= sizeof(FreeBlock))
            Free(cursor_, left_);
        cursor_ = NewChunk();
        left_ = ChunkSize;
    }
    void* p = cursor_;
    cursor_ += bytes;
    left_ -= bytes;
    return p;
}

void TRowPool::Free(void* block, size_t bytes) {
    bytes = RoundUp(bytes);
    auto* b = static_cast<FreeBlock*>(block);
    FreeBlock*& head = free_[bytes / Granule];
    b->next = head;
    head = b;
}

void TRowPool::Swap(TRowPool& other) noexcept {
    chunks_.swap(other.chunks_);
    std::swap(cursor_, other.cursor_);
    std::swap(left_, other.left_);
    std::swap_ranges(std::begin(free_), std::end(free_), std::begin(other.free_));
}

void TRowPool::Release() {
    chunks_.clear();
    cursor_ = nullptr;
    left_ = 0;
    for (auto& h : free_)
        h = nullptr;
}

} // namespace kvx
