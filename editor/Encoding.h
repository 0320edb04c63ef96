// The two document encodings: UTF-8, and Windows-1252 for files that are not valid UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace kvx {

// Appends the bytes of one character in the document's encoding. False (and nothing
// appended) when a single-byte document cannot hold the character.
bool EncodeChar(char32_t ch, bool utf8, std::string& out);

// Converts UTF-8 text (as the platform hands it over) into the document's encoding. False,
// with `out` untouched, when a character cannot be held or the input is not valid UTF-8.
bool FromUtf8(std::string_view text, bool utf8, std::string& out);

// Document bytes as UTF-8 for the platform; a UTF-8 document is passed through.
std::string ToUtf8(std::string_view text, bool utf8);

// The character a Windows-1252 byte stands for (0xFFFD for the five unassigned bytes).
char32_t Cp1252ToUnicode(unsigned char b);

// Appends the UTF-8 bytes of one character.
void AppendUtf8(char32_t ch, std::string& out);

// Decodes the character that starts at text[i] into `ch` and returns its length in bytes;
// 0 when the bytes there are not valid UTF-8 (a stray byte, a cut-off sequence, an overlong
// form, a surrogate or a value past U+10FFFF).
int DecodeUtf8(std::string_view text, size_t i, char32_t& ch);

// Length of the UTF-8 sequence a byte starts; 1 for bytes that start none.
constexpr int Utf8SequenceLength(unsigned char b) {
    return b >= 0xC0 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF7 ? 4 : 1;
}
constexpr bool IsUtf8Continuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Whether byte i of `s` starts a character. A continuation byte belongs to the character
// before it only when a lead byte close enough before it announces it; stray continuation
// bytes count as characters of their own, so that text that is not valid UTF-8 still moves
// one byte at a time. Looks back at most three bytes, never before s[0].
constexpr bool Utf8IsCharStart(const char* s, int i) {
    if (!IsUtf8Continuation(static_cast<unsigned char>(s[i])))
        return true;
    for (int k = 1; k <= 3 && i - k >= 0; ++k) {
        const auto p = static_cast<unsigned char>(s[i - k]);
        if (IsUtf8Continuation(p))
            continue;
        return Utf8SequenceLength(p) <= k;
    }
    return true;
}

// True when the bytes form valid UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(std::string_view text);

// The same check for bytes that come in pieces (a file read block by block): a character
// may start in one piece and end in the next.
class TUtf8Validator {
  public:
    void Feed(std::string_view bytes);
    // Whether everything fed so far is valid UTF-8; a character still waiting for its last
    // bytes counts as invalid.
    bool Valid() const { return !bad_ && need_ == 0; }

  private:
    bool bad_ = false;
    int need_ = 0; // continuation bytes still to come
    // Range of the next continuation byte: narrower right after some lead bytes, which is
    // how overlong forms, surrogates and values past U+10FFFF are refused.
    unsigned char lo_ = 0x80, hi_ = 0xBF;
};

} // namespace kvx
