#include "RowPool.h"

#include <cassert>

namespace kvx {

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
        chunks_.push_back(std::make_unique_for_overwrite<std::byte[]>(ChunkSize));
        cursor_ = chunks_.back().get();
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

void TRowPool::Release() {
    chunks_.clear();
    cursor_ = nullptr;
    left_ = 0;
    for (auto& h : free_)
        h = nullptr;
}

} // namespace kvx
