#include "ScriptStrings.h"

#include "EdConsts.h"

#include <cstdint>
#include <cstdio>

namespace kvx {

namespace {

int HexValue(int c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

[[noreturn]] void RangeError(int low, int high) {
    char text[80];
    std::snprintf(text, sizeof text, "Range error, value outwith %d .. %d", low, high);
    throw ESyntaxMemo(0, text);
}

// Reads the digits of a numeric escape starting at raw[i] (as many as follow); values
// above 255 cannot be a character.
int EscapeNumber(const std::string& raw, size_t& i, int base) {
    uint32_t v = 0;
    bool any = false;
    while (i < raw.size()) {
        const int d = base == 16 ? HexValue(static_cast<unsigned char>(raw[i]))
                                 : (raw[i] >= '0' && raw[i] <= '7' ? raw[i] - '0' : -1);
        if (d < 0)
            break;
        v = v * uint32_t(base) + uint32_t(d);
        if (v > 255)
            RangeError(0, 255);
        any = true;
        ++i;
    }
    return any ? static_cast<int>(v) : 0;
}

// One character of a specifier, escapes included; i moves past it.
int SpecChar(const std::string& raw, size_t& i) {
    const auto c = static_cast<unsigned char>(raw[i++]);
    if (c != '\\' || i >= raw.size())
        return c;
    const auto e = static_cast<unsigned char>(raw[i]);
    if (e >= '0' && e <= '7')
        return EscapeNumber(raw, i, 8);
    ++i;
    switch (e) {
    case 'b':
        return 8;
    case 'e':
        return 27;
    case 'n':
        return 13;
    case 'r':
        return 10;
    case 's':
        return 32;
    case 't':
        return 9;
    case 'u':
    case 'U':
    case 'x':
    case 'X':
        return EscapeNumber(raw, i, 16);
    default:
        return e;
    }
}

} // namespace

std::string DecodeScriptString(const std::string& raw) {
    std::string out;
    for (size_t i = 0; i < raw.size();) {
        const char c = raw[i++];
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (i >= raw.size())
            break; // a lone backslash at the very end is dropped
        const char e = raw[i];
        if (e >= '0' && e <= '7') {
            out.push_back(static_cast<char>(EscapeNumber(raw, i, 8)));
            continue;
        }
        ++i;
        switch (e) {
        case 'n':
            out.push_back('\r');
            break;
        case 'r':
            out.push_back('\n');
            break;
        case 'b':
            out.push_back('\b');
            break;
        case 'e':
            out.push_back('\x1B');
            break;
        case 's':
            out.push_back(' ');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'x':
        case 'X':
            out.push_back(static_cast<char>(EscapeNumber(raw, i, 16)));
            break;
        default:
            out.push_back(e);
            break;
        }
    }
    return out;
}

std::vector<TSM_CharGroup> ScriptSpecifiers(const std::string& raw) {
    std::vector<TSM_CharGroup> out;
    if (raw.empty()) {
        out.emplace_back();
        return out;
    }
    for (size_t i = 0; i < raw.size();) {
        if (raw[i] != '[') {
            TSet256 s;
            s.Include(SpecChar(raw, i));
            out.emplace_back(s);
            continue;
        }
        ++i;
        bool negated = false;
        if (i < raw.size() && raw[i] == '^') {
            negated = true;
            ++i;
        }
        TSet256 s;
        while (true) {
            if (i >= raw.size())
                throw EUnclosedSpecifier();
            if (raw[i] == ']') {
                ++i;
                break;
            }
            const int low = SpecChar(raw, i);
            int high = low;
            if (i + 1 < raw.size() && raw[i] == '-' && raw[i + 1] != ']') {
                ++i;
                high = SpecChar(raw, i);
                if (high < low)
                    throw ESyntaxMemo(0, "Characters not in correct order for range specifier");
            }
            for (int c = low; c <= high; ++c)
                s.Include(c);
        }
        out.emplace_back(s, negated);
    }
    return out;
}

} // namespace kvx
