#include "JumpTarget.h"

#include <climits>

namespace kvx {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Reads a positive number at `pos`, moving past it; nullopt (pos unchanged) for no digits,
// 0 or a number too large.
std::optional<int> ReadNumber(std::string_view s, size_t& pos) {
    size_t i = pos;
    long long value = 0;
    while (i < s.size() && IsDigit(s[i])) {
        value = value * 10 + (s[i] - '0');
        if (value > INT_MAX)
            return std::nullopt;
        ++i;
    }
    if (i == pos || value == 0)
        return std::nullopt;
    pos = i;
    return static_cast<int>(value);
}

// The file word that ends just before `end`: the last blank-separated word, without the
// brackets and quotes that tools put around names.
std::string_view FileWord(std::string_view line, size_t end) {
    std::string_view s = line.substr(0, end);
    size_t start = s.size();
    while (start > 0 && !IsBlank(s[start - 1]))
        --start;
    s.remove_prefix(start);
    while (!s.empty() && (s.front() == '[' || s.front() == '(' || s.front() == '"' ||
                          s.front() == '\'' || s.front() == '`'))
        s.remove_prefix(1);
    return s;
}

bool PlausibleFile(std::string_view file) {
    if (file.empty())
        return false;
    for (char c : file)
        if (!IsDigit(c))
            return true;
    return false;
}

// FILE:LINE: or FILE:LINE:COL: with the first colon at `colon`.
std::optional<TJumpTarget> ColonForm(std::string_view line, size_t colon) {
    size_t pos = colon + 1;
    const auto number = ReadNumber(line, pos);
    if (!number || pos >= line.size() || line[pos] != ':')
        return std::nullopt;
    const std::string_view file = FileWord(line, colon);
    if (!PlausibleFile(file))
        return std::nullopt;
    TJumpTarget t{std::string(file), *number, 0, 0};
    size_t colPos = pos + 1;
    if (const auto column = ReadNumber(line, colPos);
        column && colPos < line.size() && line[colPos] == ':')
        t.Column = *column;
    return t;
}

// FILE(LINE) or FILE(LINE,COL) with the bracket at `open`.
std::optional<TJumpTarget> BracketForm(std::string_view line, size_t open) {
    size_t pos = open + 1;
    const auto number = ReadNumber(line, pos);
    if (!number || pos >= line.size())
        return std::nullopt;
    int column = 0;
    if (line[pos] == ',') {
        ++pos;
        const auto c = ReadNumber(line, pos);
        if (!c)
            return std::nullopt;
        column = *c;
    }
    if (pos >= line.size() || line[pos] != ')')
        return std::nullopt;
    const std::string_view file = FileWord(line, open);
    if (!PlausibleFile(file) || file.find_first_of("./") == std::string_view::npos)
        return std::nullopt;
    return TJumpTarget{std::string(file), *number, column, 0};
}

} // namespace

std::optional<TJumpTarget> ParseToolOutputLine(std::string_view line) {
    for (size_t i = 1; i < line.size(); ++i) {
        if (IsBlank(line[i - 1]))
            continue; // a file name ends right before the ":" or "("
        std::optional<TJumpTarget> t;
        if (line[i] == ':')
            t = ColonForm(line, i);
        else if (line[i] == '(')
            t = BracketForm(line, i);
        if (t)
            return t;
    }
    return std::nullopt;
}

} // namespace kvx
