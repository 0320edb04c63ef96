#include "StateSet.h"

namespace kvx {

int TSet256::Lowest() const {
    for (int n = 0; n < 256; ++n)
        if (Has(n))
            return n;
    return -1;
}

int TSet256::Highest() const {
    for (int n = 255; n >= 0; --n)
        if (Has(n))
            return n;
    return -1;
}

std::array<uint8_t, 32> TSet256::Bytes() const {
    std::array<uint8_t, 32> b{};
    for (int i = 0; i < 32; ++i)
        b[i] = static_cast<uint8_t>(words_[i >> 3] >> ((i & 7) * 8));
    return b;
}

TSet256 TSet256::FromBytes(const uint8_t* bytes) {
    TSet256 s;
    for (int i = 0; i < 32; ++i)
        s.words_[i >> 3] |= uint64_t(bytes[i]) << ((i & 7) * 8);
    return s;
}

} // namespace kvx
