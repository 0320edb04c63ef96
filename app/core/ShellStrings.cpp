#include "ShellStrings.h"

#include <climits>
#include <cstdio>

namespace kvx {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool AllDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args) {
    std::string out;
    auto next = args.begin();
    size_t pos = 0;
    while (pos < format.size()) {
        const size_t at = format.find("%s", pos);
        if (at == std::string_view::npos || next == args.end()) {
            out.append(format.substr(pos));
            break;
        }
        out.append(format.substr(pos, at - pos));
        out.append(*next++);
        pos = at + 2;
    }
    return out;
}

std::string CaretPositionText(int line, int column) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%4d:%4d", line, column);
    return buffer;
}

std::string NewDocumentName(int documentCount) {
    return kUnnamedPrefix + std::to_string(static_cast<long long>(documentCount) + 1);
}

std::optional<int> ParseGotoLine(std::string_view answer) {
    answer = Trim(answer);
    if (!answer.empty() && answer.front() == '+')
        answer.remove_prefix(1);
    if (!AllDigits(answer))
        return std::nullopt;
    long long value = 0;
    for (char c : answer) {
        value = value * 10 + (c - '0');
        if (value > INT_MAX)
            return INT_MAX;
    }
    if (value < 1)
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<int> ParseInteger(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (!AllDigits(text))
        return std::nullopt;
    long long value = 0;
    for (char c : text) {
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > INT_MAX || value < INT_MIN)
        return std::nullopt;
    return static_cast<int>(value);
}

size_t FindAsciiNoCase(std::string_view text, std::string_view what, size_t from) {
    if (what.empty())
        return from <= text.size() ? from : std::string_view::npos;
    for (size_t i = from; i + what.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < what.size() && AsciiUpper(text[i + k]) == AsciiUpper(what[k]))
            ++k;
        if (k == what.size())
            return i;
    }
    return std::string_view::npos;
}

std::string CutCharacters(std::string_view text, size_t count) {
    size_t pos = 0;
    for (size_t n = 0; n < count && pos < text.size(); ++n) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        size_t len = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        // A lead byte whose continuation bytes are missing counts as one byte.
        for (size_t k = 1; k < len; ++k) {
            if (pos + k >= text.size() ||
                (static_cast<unsigned char>(text[pos + k]) & 0xC0) != 0x80) {
                len = 1;
                break;
            }
        }
        pos += len;
    }
    return std::string(text.substr(0, pos));
}

} // namespace kvx
