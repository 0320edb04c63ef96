#include "WrapModel.h"

#include "editor/EdConsts.h"

#include <algorithm>

namespace kvx::test {
namespace {

// The characters of a line as byte ranges: a UTF-8 lead byte with the continuation bytes it
// announces, anything else a character of its own.
std::vector<std::string_view> Characters(std::string_view line, bool utf8) {
    std::vector<std::string_view> out;
    for (size_t i = 0; i < line.size();) {
        const auto b = static_cast<unsigned char>(line[i]);
        size_t n = 1;
        if (utf8) {
            const size_t want = b >= 0xF0 && b <= 0xF7   ? 4
                                : b >= 0xE0 && b <= 0xEF ? 3
                                : b >= 0xC0 && b <= 0xDF ? 2
                                                         : 1;
            while (n < want && i + n < line.size() &&
                   (static_cast<unsigned char>(line[i + n]) & 0xC0) == 0x80)
                ++n;
        }
        out.push_back(line.substr(i, n));
        i += n;
    }
    return out;
}

bool IsDelimiter(std::string_view c, bool utf8) {
    const auto b = static_cast<unsigned char>(c[0]);
    if (c.size() == 1)
        return b <= 32 || (!utf8 && b == 160);
    return c == "\xC2\xA0";
}

int NextStop(const TWrapModel& m, int column) {
    for (const int stop : m.tabStops)
        if (stop > column)
            return stop;
    return column + m.tabDefault - column % m.tabDefault;
}

// How many characters from `from` the row takes.
size_t RowChars(const std::vector<std::string_view>& chars, size_t from, bool whole,
                const TWrapModel& m) {
    const size_t n = chars.size();
    // Characters within the row cap.
    size_t cap = 0;
    for (size_t bytes = 0; from + cap < n && bytes + chars[from + cap].size() <= MaxRowLength;)
        bytes += chars[from + cap++].size();
    if (whole)
        return cap;
    const size_t contentEnd = chars.back() == "\r" ? n - 1 : n;
    const size_t limit = std::min(contentEnd, from + cap);
    // The characters that fit in the width.
    size_t fit = 0;
    if (m.widthOf) {
        const Pixel room = m.charWidth * m.width;
        Pixel x = 0;
        int column = 0;
        for (; from + fit < limit; ++fit) {
            const std::string_view c = chars[from + fit];
            const int next = c == "\t" ? NextStop(m, column) : column + 1;
            const Pixel w = c == "\t" ? (next - column) * m.widthOf(" ") : m.widthOf(c);
            // The row takes the characters whose right edges stay within the room.
            if (x + w > room && fit > 0)
                break;
            x += w;
            column = next;
        }
    } else {
        int column = 0;
        for (; from + fit < limit; ++fit) {
            const int next = chars[from + fit] == "\t" ? NextStop(m, column) : column + 1;
            if (next > m.width && fit > 0)
                break;
            column = next;
        }
    }
    if (from + fit >= contentEnd)
        return std::min(n - from, cap);
    size_t p = from + fit;
    if (IsDelimiter(chars[p], m.utf8)) {
        while (p < n && IsDelimiter(chars[p], m.utf8))
            ++p;
    } else {
        for (size_t d = p - 1; d > from; --d)
            if (IsDelimiter(chars[d], m.utf8)) {
                p = d + 1;
                break;
            }
    }
    return std::clamp<size_t>(p - from, 1, cap);
}

} // namespace

std::vector<TextOffset> WrapRowStarts(std::string_view text, const TWrapModel& m) {
    std::vector<TextOffset> starts;
    for (size_t line = 0; line < text.size();) {
        const size_t br = text.find('\r', line);
        const size_t end = br == std::string_view::npos ? text.size() : br + 1;
        const std::vector<std::string_view> chars =
            Characters(text.substr(line, end - line), m.utf8);
        const bool whole = !m.wrap || m.overrideChars.find(text[line]) != std::string::npos;
        size_t at = line;
        for (size_t c = 0; c < chars.size();) {
            starts.push_back(static_cast<TextOffset>(at));
            const size_t k = RowChars(chars, c, whole, m);
            for (size_t i = 0; i < k; ++i)
                at += chars[c + i].size();
            c += k;
        }
        line = end;
    }
    return starts;
}

} // namespace kvx::test
