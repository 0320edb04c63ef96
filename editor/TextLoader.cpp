#include "TextLoader.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kvx {

namespace {

// The bytes up to the first one below 32 other than TAB (a line break, or a byte that is
// stored as "."), and what they hold.
struct TRun {
    size_t Length = 0;
    uint32_t Flags = 0; // rfHasTab, rfHighBytes
};

TRun ScanRun(const unsigned char* p, size_t count) {
    uint32_t high = 0;
    bool tab = false;
    size_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time: one mask for the bytes below 0x20, one for TABs, one for the
    // bytes of 128 and up.
    const __m128i below = _mm_set1_epi8(0x1F), tabs = _mm_set1_epi8('\t');
    for (; i + 16 <= count; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const auto ctl =
            static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, below), below)));
        const auto tab16 = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, tabs)));
        const auto high16 = static_cast<uint32_t>(_mm_movemask_epi8(v));
        if (const uint32_t stop = ctl & ~tab16) {
            const uint32_t before = (stop & -stop) - 1; // the bytes before the first stop
            TRun run;
            run.Length = i + static_cast<size_t>(std::countr_zero(stop));
            run.Flags = ((high | (high16 & before)) ? uint32_t(rfHighBytes) : 0u) |
                        ((tab || (tab16 & before)) ? uint32_t(rfHasTab) : 0u);
            return run;
        }
        high |= high16;
        tab = tab || tab16;
    }
#endif
    for (; i < count; ++i) {
        if (p[i] == '\t')
            tab = true;
        else if (p[i] < 32)
            break;
        high |= p[i] & 0x80;
    }
    TRun run;
    run.Length = i;
    run.Flags = (high ? uint32_t(rfHighBytes) : 0u) | (tab ? uint32_t(rfHasTab) : 0u);
    return run;
}

uint32_t ContentFlags(const char* text, int length) {
    return ScanRun(reinterpret_cast<const unsigned char*>(text), static_cast<size_t>(length)).Flags;
}

} // namespace

TTextLoader::TTextLoader(TTextStore& store) : store_(store) {
    // Cut as UTF-8 until the bytes show otherwise.
    store_.SetUtf8(true);
    store_.pool_.SetBulk(true);
}

void TTextLoader::Feed(const char* data, size_t count) {
    if (!started_) {
        while (count > 0 && headLength_ < 3) {
            head_[headLength_++] = *data++;
            --count;
        }
        if (headLength_ < 3)
            return;
        started_ = true;
        bom_ = std::memcmp(head_, "\xEF\xBB\xBF", 3) == 0;
        if (!bom_)
            Take(head_, 3);
    }
    Take(data, count);
}

void TTextLoader::NoteBreak(unsigned char c, const unsigned char* p, size_t next, size_t count) {
    if (breakState_ != kNoBreak)
        return;
    if (c == '\n') {
        break_ = TLineBreak::LF;
        breakState_ = kKnown;
    } else if (next < count) {
        break_ = p[next] == '\n' ? TLineBreak::CRLF : TLineBreak::CR;
        breakState_ = kKnown;
    } else {
        breakState_ = kFirstCR; // the next block's first byte decides
    }
}

void TTextLoader::Take(const char* data, size_t count) {
    utf8_.Feed({data, count});
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    if (breakState_ == kFirstCR && count > 0) {
        break_ = p[0] == '\n' ? TLineBreak::CRLF : TLineBreak::CR;
        breakState_ = kKnown;
    }
    for (size_t i = 0; i < count;) {
        // CR LF and LF CR are one break: the second byte of the pair is dropped.
        if (pair_ != kNone) {
            const bool partner = p[i] == (pair_ == kAfterCR ? '\n' : '\r');
            pair_ = kNone;
            if (partner) {
                ++i;
                continue;
            }
        }
        if (length_ == 0) {
            // A row that ends inside this block goes from the block into its row in one copy.
            const size_t limit = std::min(count - i, size_t(MaxRowLength));
            const TRun run = ScanRun(p + i, limit);
            const int n = static_cast<int>(run.Length);
            if (run.Length < limit && (p[i + n] == '\r' || p[i + n] == '\n')) {
                const unsigned char c = p[i + n];
                NoteBreak(c, p, i + n + 1, count);
                store_.AppendRow(data + i, n, true, run.Flags);
                pair_ = c == '\r' ? kAfterCR : kAfterLF;
                i += run.Length + 1;
                continue;
            }
            if (run.Length == size_t(MaxRowLength) && i + MaxRowLength < count) {
                // A full row, and the byte after it is here to say where it may end.
                const int cut = store_.CutLength(data + i, MaxRowLength + 1);
                store_.AppendRow(data + i, cut, false,
                                 cut == MaxRowLength ? run.Flags : ContentFlags(data + i, cut));
                cutShort_ |= cut < MaxRowLength;
                i += static_cast<size_t>(cut);
                continue;
            }
        }
        // Otherwise the row is collected: it goes on in the next block, or holds a byte that
        // is stored as ".".
        if (length_ == MaxRowLength)
            CutFullRow(p[i]);
        const size_t limit = std::min(count - i, size_t(MaxRowLength - length_));
        const size_t run = ScanRun(p + i, limit).Length;
        std::memcpy(row_ + length_, p + i, run);
        length_ += static_cast<int>(run);
        i += run;
        if (run == limit)
            continue;
        const unsigned char c = p[i++];
        if (c == '\r' || c == '\n') {
            NoteBreak(c, p, i, count);
            AddByte('\r');
            pair_ = c == '\r' ? kAfterCR : kAfterLF;
        } else {
            AddByte('.');
        }
    }
}

void TTextLoader::AddByte(char c) {
    if (length_ == MaxRowLength)
        CutFullRow(static_cast<unsigned char>(c));
    row_[length_++] = c;
    if (c == '\r')
        EndRow();
}

void TTextLoader::EndRow() {
    store_.AppendRow(row_, length_, false, ContentFlags(row_, length_));
    length_ = 0;
}

void TTextLoader::CutFullRow(unsigned char next) {
    // The store's own rule decides where a full row ends, given the byte that follows it.
    row_[MaxRowLength] = static_cast<char>(next);
    const int cut = store_.CutLength(row_, MaxRowLength + 1);
    store_.AppendRow(row_, cut, false, ContentFlags(row_, cut));
    length_ = MaxRowLength - cut;
    std::memmove(row_, row_ + cut, static_cast<size_t>(length_));
    cutShort_ |= cut < MaxRowLength;
}

TTextScan TTextLoader::Finish() {
    if (!started_) {
        // Fewer than three bytes in all: no room for a mark.
        started_ = true;
        Take(head_, static_cast<size_t>(headLength_));
    }
    if (length_ > 0)
        EndRow();
    TTextScan scan;
    scan.Utf8 = utf8_.Valid();
    scan.Bom = bom_ && scan.Utf8;
    scan.Break = breakState_ == kFirstCR ? TLineBreak::CR : break_;
    if (!scan.Utf8) {
        store_.SetUtf8(false);
        if (cutShort_)
            store_.RewrapRange(nullptr, nullptr);
        // A mark followed by bytes that are not UTF-8 is text like the rest.
        if (bom_) {
            TStoreView at(store_);
            store_.InsertAtCaret(at, "\xEF\xBB\xBF", 3);
        }
    }
    return scan;
}

} // namespace kvx
