#include "BlockCodec.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kvx::qv {

namespace {

constexpr int kMaxDistance = 4095;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 18;
constexpr int kMinRun = 16;
constexpr int kMaxRun = 4095;
constexpr int kGroupItems = 16;

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void Store64(uint8_t* p, uint64_t v) {
    std::memcpy(p, &v, sizeof v);
}

// Number of equal leading bytes of two words that differ somewhere.
inline int EqualBytes(uint64_t diff) {
    if constexpr (std::endian::native == std::endian::little)
        return std::countr_zero(diff) >> 3;
    else
        return std::countl_zero(diff) >> 3;
}

// How many bytes from a and b agree, up to `limit`. Reads whole words, so both may be
// read up to 7 bytes past a + limit and b + limit.
inline int CommonLength(const uint8_t* a, const uint8_t* b, int limit) {
    int k = 0;
    while (k < limit) {
        const uint64_t diff = Load64(a + k) ^ Load64(b + k);
        if (diff != 0)
            return std::min(limit, k + EqualBytes(diff));
        k += 8;
    }
    return limit;
}

// How many bytes from p on equal *p, up to `limit` (at least 1 when limit >= 1).
inline int RunLength(const uint8_t* p, int limit) {
    const uint64_t pattern = 0x0101010101010101ull * *p;
    int k = 0;
    while (k < limit) {
        const uint64_t diff = Load64(p + k) ^ pattern;
        if (diff != 0)
            return std::min(limit, k + EqualBytes(diff));
        k += 8;
    }
    return limit;
}

inline uint32_t Hash(const uint8_t* p) {
    const uint32_t h = ((((uint32_t(p[0]) << 4) ^ p[1]) << 4) ^ p[2]) * 40543u;
    return (h >> 4) & (kHashSize - 1);
}

} // namespace

int CompressChunk(const uint8_t* in, int n, uint8_t* out, int16_t* hash) {
    // Only the two bytes after the chunk can reach the hash (they cannot change a match);
    // everything else that is read past it is cut off by the limits below.
    std::fill_n(hash, kHashSize, int16_t(-1));
    out[0] = kCompressedMarker;
    int control = 1;
    int o = 3;
    int items = 0;
    uint32_t bits = 0;
    int p = 0;
    while (p < n && o <= n) {
        if (items == kGroupItems) {
            out[control] = uint8_t(bits >> 8);
            out[control + 1] = uint8_t(bits);
            control = o;
            o += 2;
            items = 0;
        }
        // Nine equal bytes are a cheap first test; text rarely passes it, so the full count
        // is mostly skipped. (The loads stay within the slack past the chunk.)
        int run = 0;
        if (Load64(in + p) == Load64(in + p + 1))
            run = RunLength(in + p, std::min(kMaxRun, n - p));
        if (run >= kMinRun) {
            const int c = run - kMinRun;
            out[o] = 0;
            out[o + 1] = uint8_t(c >> 8);
            out[o + 2] = uint8_t(c);
            out[o + 3] = in[p];
            o += 4;
            bits = (bits << 1) | 1;
            p += run;
        } else {
            const uint32_t h = Hash(in + p);
            const int candidate = hash[h];
            hash[h] = int16_t(p);
            int m = 0;
            if (candidate >= 0 && p - candidate <= kMaxDistance)
                m = CommonLength(in + p, in + candidate, std::min(kMaxMatch, n - p));
            if (m >= kMinMatch) {
                const int e = (p - candidate) * 16 + (m - kMinMatch);
                out[o] = uint8_t(e >> 8);
                out[o + 1] = uint8_t(e);
                o += 2;
                bits = (bits << 1) | 1;
                p += m;
            } else {
                out[o++] = in[p++];
                bits <<= 1;
            }
        }
        ++items;
    }
    bits <<= kGroupItems - items;
    out[control] = uint8_t(bits >> 8);
    out[control + 1] = uint8_t(bits);
    if (o > n) {
        out[0] = kStoredMarker;
        std::memcpy(out + 1, in, size_t(n));
        return n + 1;
    }
    return o;
}

int DecodeBody(const uint8_t* body, int length, uint8_t* out) {
    if (length < 2)
        return 0;
    if (length > kMaxBodyLength)
        return -1;
    if (body[0] == kStoredMarker) {
        std::memcpy(out, body + 1, size_t(length - 1));
        return length - 1;
    }
    // A compressed body holds at least its first control word.
    if (length < 3)
        return -1;
    uint32_t control = uint32_t(body[1]) << 8 | body[2];
    int left = kGroupItems;
    int r = 3;
    int o = 0;
    while (r < length) {
        if (left == 0) {
            // A control word is only written ahead of an item, so one more byte must follow.
            if (r + 2 >= length)
                return -1;
            control = uint32_t(body[r]) << 8 | body[r + 1];
            r += 2;
            left = kGroupItems;
        }
        --left;
        const bool coded = control & 0x8000;
        control <<= 1;
        if (!coded) {
            if (o >= kChunkSize)
                return -1;
            out[o++] = body[r++];
            continue;
        }
        if (r + 2 > length)
            return -1;
        const int x = body[r];
        const int y = body[r + 1];
        const int distance = x * 16 + (y >> 4);
        if (distance == 0) {
            if (r + 4 > length)
                return -1;
            const int count = y * 256 + body[r + 2] + kMinRun;
            if (count > kMaxRun || count > kChunkSize - o)
                return -1;
            std::memset(out + o, body[r + 3], size_t(count));
            o += count;
            r += 4;
            continue;
        }
        const int count = (y & 0x0F) + kMinMatch;
        if (distance > o || count > kChunkSize - o)
            return -1;
        uint8_t* to = out + o;
        const uint8_t* from = to - distance;
        if (distance >= 8) {
            // Word copies may run up to 23 bytes; the slack past the chunk takes the excess,
            // and each word reads only bytes that are already final when distance >= 8.
            Store64(to, Load64(from));
            Store64(to + 8, Load64(from + 8));
            if (count > 16)
                Store64(to + 16, Load64(from + 16));
        } else {
            // Overlapping its own output: each byte repeats the one `distance` back.
            for (int k = 0; k < count; ++k)
                to[k] = from[k];
        }
        o += count;
        r += 2;
    }
    return o;
}

} // namespace kvx::qv
