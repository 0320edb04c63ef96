// A set of 256 members (scanner states, token values or bytes), stored the way the parser's
// tables store it: member n is bit (n mod 8) of byte (n div 8) of 32 bytes.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <initializer_list>

namespace kvx {

class TSet256 {
  public:
    constexpr TSet256() = default;
    constexpr TSet256(std::initializer_list<int> members) {
        for (int m : members)
            Include(m);
    }
    static constexpr TSet256 All() {
        TSet256 s;
        s.words_.fill(~uint64_t(0));
        return s;
    }

    constexpr bool Has(int n) const {
        return n >= 0 && n < 256 && ((words_[n >> 6] >> (n & 63)) & 1u);
    }
    constexpr void Include(int n) {
        if (n >= 0 && n < 256)
            words_[n >> 6] |= uint64_t(1) << (n & 63);
    }
    constexpr void Exclude(int n) {
        if (n >= 0 && n < 256)
            words_[n >> 6] &= ~(uint64_t(1) << (n & 63));
    }
    constexpr bool Empty() const { return (words_[0] | words_[1] | words_[2] | words_[3]) == 0; }
    // True when the sets have a member in common.
    constexpr bool Meets(const TSet256& o) const {
        return ((words_[0] & o.words_[0]) | (words_[1] & o.words_[1]) | (words_[2] & o.words_[2]) |
                (words_[3] & o.words_[3])) != 0;
    }
    constexpr TSet256& operator|=(const TSet256& o) {
        for (int i = 0; i < 4; ++i)
            words_[i] |= o.words_[i];
        return *this;
    }
    // Takes out every member of `o`.
    constexpr void Remove(const TSet256& o) {
        for (int i = 0; i < 4; ++i)
            words_[i] &= ~o.words_[i];
    }
    // The lowest member the sets have in common; -1 when none.
    constexpr int LowestCommon(const TSet256& o) const {
        for (int i = 0; i < 4; ++i)
            if (const uint64_t w = words_[i] & o.words_[i])
                return i * 64 + std::countr_zero(w);
        return -1;
    }
    constexpr bool operator==(const TSet256&) const = default;
    // Lowest and highest member; -1 for an empty set.
    int Lowest() const;
    int Highest() const;

    std::array<uint8_t, 32> Bytes() const;
    static TSet256 FromBytes(const uint8_t* bytes);

  private:
    std::array<uint64_t, 4> words_{};
};

} // namespace kvx
