#include "Encoding.h"

#include <cstdint>
#include <cstring>

namespace kvx {

namespace {
// 0x80-0x9F of Windows-1252; 0 marks the unassigned bytes.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};
} // namespace

int DecodeUtf8(std::string_view text, size_t i, char32_t& ch) {
    const auto b = static_cast<unsigned char>(text[i]);
    int len;
    char32_t min;
    if (b < 0x80) {
        ch = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        len = 2, ch = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3, ch = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4, ch = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > text.size())
        return 0;
    for (int k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        ch = (ch << 6) | (c & 0x3F);
    }
    if (ch < min || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF))
        return 0;
    return len;
}

void AppendUtf8(char32_t ch, std::string& out) {
    if (ch < 0x80) {
        out.push_back(static_cast<char>(ch));
    } else if (ch < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (ch >> 6)));
        out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else if (ch < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (ch >> 12)));
        out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (ch >> 18)));
        out.push_back(static_cast<char>(0x80 | ((ch >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    }
}

char32_t Cp1252ToUnicode(unsigned char b) {
    if (b < 0x80 || b >= 0xA0)
        return b;
    const char16_t c = kCp1252High[b - 0x80];
    return c ? c : 0xFFFD;
}

bool EncodeChar(char32_t ch, bool utf8, std::string& out) {
    if (ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF))
        return false;
    if (utf8) {
        AppendUtf8(ch, out);
        return true;
    }
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) {
        out.push_back(static_cast<char>(ch));
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] && kCp1252High[i] == ch) {
            out.push_back(static_cast<char>(0x80 + i));
            return true;
        }
    }
    return false;
}

bool FromUtf8(std::string_view text, bool utf8, std::string& out) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t ch;
        const int len = DecodeUtf8(text, i, ch);
        if (len == 0)
            return false;
        if (utf8)
            result.append(text.substr(i, len));
        else if (!EncodeChar(ch, false, result))
            return false;
        i += len;
    }
    out = std::move(result);
    return true;
}

std::string ToUtf8(std::string_view text, bool utf8) {
    if (utf8)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        AppendUtf8(Cp1252ToUnicode(static_cast<unsigned char>(c)), out);
    return out;
}

bool IsValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        // Source text is mostly ASCII: step over it eight bytes at a time.
        if (i + 8 <= text.size()) {
            uint64_t w;
            std::memcpy(&w, text.data() + i, 8);
            if (!(w & 0x8080808080808080ull)) {
                i += 8;
                continue;
            }
        }
        char32_t ch;
        const int len = DecodeUtf8(text, i, ch);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

void TUtf8Validator::Feed(std::string_view bytes) {
    const size_t n = bytes.size();
    for (size_t i = 0; i < n && !bad_;) {
        if (need_ == 0) {
            // Mostly ASCII: thirty-two bytes at a time.
            if (i + 32 <= n) {
                uint64_t w[4];
                std::memcpy(w, bytes.data() + i, 32);
                if (!((w[0] | w[1] | w[2] | w[3]) & 0x8080808080808080ull)) {
                    i += 32;
                    continue;
                }
            }
            const auto b = static_cast<unsigned char>(bytes[i++]);
            if (b < 0x80)
                continue;
            lo_ = 0x80;
            hi_ = 0xBF;
            if (b >= 0xC2 && b <= 0xDF) {
                need_ = 1;
            } else if (b >= 0xE0 && b <= 0xEF) {
                need_ = 2;
                if (b == 0xE0)
                    lo_ = 0xA0; // below: an overlong form
                else if (b == 0xED)
                    hi_ = 0x9F; // above: a surrogate
            } else if (b >= 0xF0 && b <= 0xF4) {
                need_ = 3;
                if (b == 0xF0)
                    lo_ = 0x90;
                else if (b == 0xF4)
                    hi_ = 0x8F; // above: past U+10FFFF
            } else {
                bad_ = true;
            }
            continue;
        }
        const auto c = static_cast<unsigned char>(bytes[i++]);
        if (c < lo_ || c > hi_) {
            bad_ = true;
            break;
        }
        lo_ = 0x80;
        hi_ = 0xBF;
        --need_;
    }
}

} // namespace kvx
