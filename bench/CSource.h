// Deterministic C source for the benchmarks that highlight or publish C: statements,
// strings, numbers, line comments and block comments, about 30 bytes a line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace kvx::bench {

// C of about 30 bytes a line: statements, strings, numbers, line comments, and a block
// comment over three lines every twenty lines. With `breaks` false the lines are joined
// by blanks into one line.
inline std::string CSource(size_t bytes, bool breaks = true) {
    const char* nl = breaks ? "\n" : " ";
    std::string s;
    s.reserve(bytes + 128);
    uint64_t r = 88172645463325252ull;
    char line[160];
    for (unsigned i = 0; s.size() < bytes; ++i) {
        r ^= r << 13, r ^= r >> 7, r ^= r << 17;
        const unsigned v = unsigned(r >> 20) % 1000;
        int n;
        switch (i % 20) {
        case 0:
            n = std::snprintf(line, sizeof line, "/* step %u of the\n * loop body%s */%s", v,
                              breaks ? "\n" : "", nl);
            if (!breaks)
                for (int k = 0; k < n; ++k)
                    if (line[k] == '\n')
                        line[k] = ' ';
            break;
        case 1:
            n = std::snprintf(line, sizeof line, "int f%u(int a, char *s) {%s", v, nl);
            break;
        case 5:
            n = std::snprintf(line, sizeof line, "    if (a > %u) return 0x%x;%s", v, v, nl);
            break;
        case 9:
            // A line comment would swallow the rest of a file that is one line.
            n = breaks ? std::snprintf(line, sizeof line, "    s = \"text %%d\"; // %u\n", v)
                       : std::snprintf(line, sizeof line, "    s = \"text %u\"; ", v);
            break;
        case 19:
            n = std::snprintf(line, sizeof line, "}%s", nl);
            break;
        default:
            n = std::snprintf(line, sizeof line, "    x%u = y + %u.5 * a;%s", v % 50, v, nl);
        }
        s.append(line, size_t(n));
    }
    s.resize(bytes);
    return s;
}

// Exactly `lines` whole lines of that C, each ended by a line feed.
inline std::string CSourceLines(size_t lines) {
    std::string text = CSource(lines * 40);
    text.resize(text.rfind('\n') + 1);
    size_t have = 0;
    for (const char c : text)
        have += c == '\n';
    while (have > lines)
        text.resize(text.rfind('\n', text.size() - 2) + 1), --have;
    return text;
}

} // namespace kvx::bench
