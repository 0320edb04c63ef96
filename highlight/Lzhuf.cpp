#include "Lzhuf.h"

#include <array>
#include <cstring>
#include <memory>

namespace kvx::lzh {

namespace {

constexpr int N = 4096;                          // ring buffer
constexpr int F = 60;                            // look-ahead
constexpr int kThreshold = 2;                    // longest match that is still sent as literals
constexpr int NIL = N;                           // no node
constexpr int kCharKinds = 256 - kThreshold + F; // 314 symbols: bytes, then lengths 3..60
constexpr int T = kCharKinds * 2 - 1;            // 627 tree nodes
constexpr int R = T - 1;                         // the root
constexpr uint32_t kMaxFreq = 0x8000;            // the tree is rebuilt when the root gets here

// The fixed code for the upper 6 bits of a match position: a canonical prefix code with
// one 3-bit, three 4-bit, eight 5-bit, twelve 6-bit, twenty-four 7-bit and sixteen 8-bit
// codes, in order of the value coded.
struct TPositionCode {
    std::array<uint8_t, 64> Len{};
    std::array<uint8_t, 64> Code{}; // left-aligned in a byte
    std::array<uint8_t, 256> DecodeUpper{};
    std::array<uint8_t, 256> DecodeLen{};
};

constexpr TPositionCode MakePositionCode() {
    TPositionCode t;
    constexpr int counts[9] = {0, 0, 0, 1, 3, 8, 12, 24, 16};
    int value = 0;
    unsigned code = 0;
    for (int len = 3; len <= 8; ++len) {
        for (int k = 0; k < counts[len]; ++k, ++value, ++code) {
            t.Len[value] = uint8_t(len);
            t.Code[value] = uint8_t(code << (8 - len));
            const int span = 1 << (8 - len);
            for (int b = 0; b < span; ++b) {
                t.DecodeUpper[t.Code[value] + b] = uint8_t(value);
                t.DecodeLen[t.Code[value] + b] = uint8_t(len);
            }
        }
        code <<= 1;
    }
    return t;
}

constexpr TPositionCode kPosition = MakePositionCode();
static_assert(kPosition.Code[1] == 0x20 && kPosition.Code[4] == 0x50 &&
              kPosition.Code[12] == 0x90 && kPosition.Code[24] == 0xC0 &&
              kPosition.Code[48] == 0xF0 && kPosition.Code[63] == 0xFF);

// The adaptive Huffman tree. Nodes are kept in order of frequency; the children of a node
// are son[n] and son[n] + 1, a leaf is marked by son >= T and holds symbol son - T, and
// prnt[T + symbol] gives the node that holds a symbol's leaf.
struct THuffman {
    uint32_t freq[T + 1];
    int prnt[T + kCharKinds];
    int son[T];

    void Start() {
        for (int i = 0; i < kCharKinds; ++i) {
            freq[i] = 1;
            son[i] = i + T;
            prnt[i + T] = i;
        }
        for (int i = 0, j = kCharKinds; j <= R; i += 2, ++j) {
            freq[j] = freq[i] + freq[i + 1];
            son[j] = i;
            prnt[i] = prnt[i + 1] = j;
        }
        freq[T] = 0xFFFF; // stops the search for a place to move a node to
        prnt[R] = 0;
    }

    // Halves every leaf frequency (rounding up) and rebuilds the tree from the leaves.
    void Reconstruct() {
        int j = 0;
        for (int i = 0; i < T; ++i) {
            if (son[i] >= T) {
                freq[j] = (freq[i] + 1) / 2;
                son[j] = son[i];
                ++j;
            }
        }
        for (int i = 0, n = kCharKinds; n < T; i += 2, ++n) {
            const uint32_t f = freq[i] + freq[i + 1];
            freq[n] = f;
            int k = n - 1;
            while (f < freq[k])
                --k;
            ++k;
            std::memmove(&freq[k + 1], &freq[k], sizeof freq[0] * size_t(n - k));
            freq[k] = f;
            std::memmove(&son[k + 1], &son[k], sizeof son[0] * size_t(n - k));
            son[k] = i;
        }
        for (int i = 0; i < T; ++i) {
            const int k = son[i];
            if (k >= T)
                prnt[k] = i;
            else
                prnt[k] = prnt[k + 1] = i;
        }
    }

    // Counts one more occurrence of `symbol` and restores the order of the nodes.
    void Update(int symbol) {
        if (freq[R] == kMaxFreq)
            Reconstruct();
        int c = prnt[symbol + T];
        do {
            const uint32_t k = ++freq[c];
            int l = c + 1;
            if (k > freq[l]) {
                while (k > freq[++l]) {
                }
                --l;
                freq[c] = freq[l];
                freq[l] = k;

                const int i = son[c];
                prnt[i] = l;
                if (i < T)
                    prnt[i + 1] = l;
                const int j = son[l];
                son[l] = i;
                prnt[j] = c;
                if (j < T)
                    prnt[j + 1] = c;
                son[c] = j;
                c = l;
            }
        } while ((c = prnt[c]) != 0);
    }
};

// ---- Encoder -----------------------------------------------------------------------------

struct TEncoder {
    THuffman huff;
    // Binary search trees over the strings of the ring, one per first byte (roots N+1 ..
    // N+256 in rson).
    int lson[N + 257];
    int rson[N + 257];
    int dad[N + 257];
    // The ring, with the first F-1 bytes repeated after its end so that a string starting
    // near the end can be compared without wrapping.
    uint8_t text[N + F - 1];
    int matchPosition = 0;
    int matchLength = 0;

    uint64_t bits = 0;
    int bitCount = 0;

    void InitTree() {
        for (int i = N + 1; i <= N + 256; ++i)
            rson[i] = NIL;
        for (int i = 0; i < N; ++i)
            dad[i] = NIL;
    }

    // Enters the string at r into its tree and leaves the longest match for it (the
    // nearest one among equals) in matchLength and matchPosition.
    void InsertNode(int r) {
        int cmp = 1;
        const uint8_t* key = &text[r];
        int p = N + 1 + key[0];
        rson[r] = lson[r] = NIL;
        matchLength = 0;
        for (;;) {
            if (cmp >= 0) {
                if (rson[p] != NIL) {
                    p = rson[p];
                } else {
                    rson[p] = r;
                    dad[r] = p;
                    return;
                }
            } else {
                if (lson[p] != NIL) {
                    p = lson[p];
                } else {
                    lson[p] = r;
                    dad[r] = p;
                    return;
                }
            }
            int i = 1;
            for (; i < F; ++i) {
                cmp = key[i] - text[p + i];
                if (cmp != 0)
                    break;
            }
            if (i > kThreshold) {
                const int position = ((r - p) & (N - 1)) - 1;
                if (i > matchLength) {
                    matchPosition = position;
                    matchLength = i;
                    if (matchLength >= F)
                        break;
                }
                if (i == matchLength && position < matchPosition)
                    matchPosition = position;
            }
        }
        // A full-length match: r takes p's place in the tree, since it is newer.
        dad[r] = dad[p];
        lson[r] = lson[p];
        rson[r] = rson[p];
        dad[lson[p]] = r;
        dad[rson[p]] = r;
        if (rson[dad[p]] == p)
            rson[dad[p]] = r;
        else
            lson[dad[p]] = r;
        dad[p] = NIL;
    }

    void DeleteNode(int p) {
        if (dad[p] == NIL)
            return;
        int q;
        if (rson[p] == NIL) {
            q = lson[p];
        } else if (lson[p] == NIL) {
            q = rson[p];
        } else {
            q = lson[p];
            if (rson[q] != NIL) {
                do {
                    q = rson[q];
                } while (rson[q] != NIL);
                rson[dad[q]] = lson[q];
                dad[lson[q]] = dad[q];
                lson[q] = lson[p];
                dad[lson[p]] = q;
            }
            rson[q] = rson[p];
            dad[rson[p]] = q;
        }
        dad[q] = dad[p];
        if (rson[dad[p]] == p)
            rson[dad[p]] = q;
        else
            lson[dad[p]] = q;
        dad[p] = NIL;
    }

    // `count` bits of `code`, most significant first (count at most 56).
    void PutBits(TOutputBuffer& out, uint64_t code, int count) {
        bits = (bits << count) | code;
        bitCount += count;
        while (bitCount >= 8) {
            bitCount -= 8;
            out.Put(uint8_t(bits >> bitCount));
        }
        bits &= (uint64_t(1) << bitCount) - 1;
    }

    void EncodeChar(TOutputBuffer& out, int symbol) {
        // Walk from the leaf to the root; the root end of the path is sent first. The path
        // can be longer than 16 bits after a skewed run of symbols, so it is gathered in a
        // word wide enough for any tree whose root count stays below 0x8000.
        uint64_t code = 0;
        int length = 0;
        int k = huff.prnt[symbol + T];
        do {
            code |= uint64_t(k & 1) << length;
            ++length;
        } while ((k = huff.prnt[k]) != R);
        PutBits(out, code, length);
        huff.Update(symbol);
    }

    void EncodePosition(TOutputBuffer& out, int position) {
        const int upper = position >> 6;
        PutBits(out, kPosition.Code[upper] >> (8 - kPosition.Len[upper]), kPosition.Len[upper]);
        PutBits(out, uint64_t(position & 0x3F), 6);
    }

    int64_t Run(TInputBuffer& in, TOutputBuffer& out) {
        huff.Start();
        InitTree();
        int s = 0;
        int r = N - F;
        std::memset(text, ' ', size_t(r));
        int len = 0;
        int c;
        while (len < F && (c = in.Get()) >= 0)
            text[r + len++] = uint8_t(c);
        int64_t total = len;
        if (len == 0)
            return 0;
        // The strings before r are all spaces followed by the start of the text.
        for (int i = 1; i <= F; ++i)
            InsertNode(r - i);
        InsertNode(r);
        do {
            if (matchLength > len)
                matchLength = len;
            if (matchLength <= kThreshold) {
                matchLength = 1;
                EncodeChar(out, text[r]);
            } else {
                EncodeChar(out, 255 - kThreshold + matchLength);
                EncodePosition(out, matchPosition);
            }
            const int lastMatchLength = matchLength;
            int i = 0;
            for (; i < lastMatchLength && (c = in.Get()) >= 0; ++i) {
                DeleteNode(s);
                text[s] = uint8_t(c);
                if (s < F - 1)
                    text[s + N] = uint8_t(c);
                s = (s + 1) & (N - 1);
                r = (r + 1) & (N - 1);
                InsertNode(r);
            }
            total += i;
            while (i++ < lastMatchLength) {
                DeleteNode(s);
                s = (s + 1) & (N - 1);
                r = (r + 1) & (N - 1);
                if (--len)
                    InsertNode(r);
            }
        } while (len > 0);
        if (bitCount > 0)
            PutBits(out, 0, 8 - bitCount); // pad the last byte with zero bits
        return total;
    }
};

// ---- Decoder -----------------------------------------------------------------------------

struct TDecoder {
    THuffman huff;
    uint8_t text[N];
    uint32_t bits = 0;
    int bitCount = 0;
    // Set once a bit is wanted past the end of the input. A complete stream never needs
    // one, since its writer flushes every bit it used, so this is a stream cut short (or a
    // header that claims more than the stream holds), and it stops the decoding instead of
    // letting zeros stand in for the missing bits up to any size a header may claim.
    bool ended = false;

    int GetBit(TInputBuffer& in) {
        if (bitCount == 0) {
            int c = in.Get();
            if (c < 0) {
                c = 0;
                ended = true;
            }
            bits = uint32_t(c);
            bitCount = 8;
        }
        --bitCount;
        return int(bits >> bitCount) & 1;
    }

    int DecodeChar(TInputBuffer& in) {
        int c = huff.son[R];
        while (c < T)
            c = huff.son[c + GetBit(in)];
        c -= T;
        huff.Update(c);
        return c;
    }

    int DecodePosition(TInputBuffer& in) {
        int i = 0;
        for (int k = 0; k < 8; ++k)
            i = (i << 1) | GetBit(in);
        const int upper = kPosition.DecodeUpper[i];
        // Eight bits held the upper code and the first of the six lower bits; the rest follow.
        for (int k = kPosition.DecodeLen[i] - 2; k > 0; --k)
            i = (i << 1) | GetBit(in);
        return (upper << 6) | (i & 0x3F);
    }

    TDecodeResult Run(TInputBuffer& in, TOutputBuffer& out, uint32_t size) {
        huff.Start();
        std::memset(text, ' ', N - F);
        int r = N - F;
        uint32_t count = 0;
        while (count < size) {
            const int c = DecodeChar(in);
            if (ended)
                return TDecodeResult::InputEnded;
            if (c < 256) {
                out.Put(uint8_t(c));
                text[r] = uint8_t(c);
                r = (r + 1) & (N - 1);
                ++count;
                continue;
            }
            const int from = (r - DecodePosition(in) - 1) & (N - 1);
            if (ended)
                return TDecodeResult::InputEnded;
            const int length = c - 255 + kThreshold;
            if (uint32_t(length) > size - count)
                return TDecodeResult::TooLong;
            for (int k = 0; k < length; ++k) {
                const uint8_t b = text[(from + k) & (N - 1)];
                out.Put(b);
                text[r] = b;
                r = (r + 1) & (N - 1);
            }
            count += uint32_t(length);
        }
        return TDecodeResult::Ok;
    }
};

} // namespace

int64_t Encode(TInputBuffer& in, TOutputBuffer& out) {
    // Value-initialised: the ring's tail beyond the spaces starts as zeros, and which of two
    // equally long matches is found first may depend on bytes past the end of the input.
    auto encoder = std::make_unique<TEncoder>();
    return encoder->Run(in, out);
}

TDecodeResult Decode(TInputBuffer& in, TOutputBuffer& out, uint32_t size) {
    if (size == 0)
        return TDecodeResult::Ok;
    auto decoder = std::make_unique<TDecoder>();
    return decoder->Run(in, out, size);
}

} // namespace kvx::lzh
