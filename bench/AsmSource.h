// Deterministic assembler-like source for the benchmarks: labels, mnemonics, registers,
// numbers and comments, so every benchmark measures the same kind of text the editor is for.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kvx::bench {

struct TAsmStyle {
    const char* Break = "\r";   // "\r" as the document holds text, "\r\n" as files do
    const char* Label = "proc"; // label prefix
    const char* Comment = "step";
    std::vector<std::string> Mnemonics = {"mov",  "add", "sub",  "cmp", "jnz",
                                          "push", "pop", "call", "lea", "xor"};
};

// At least `bytes` bytes of whole lines, cut to exactly `bytes` when `exact`.
inline std::string AsmSource(size_t bytes, const TAsmStyle& style = {}, bool exact = true) {
    const char* regs[] = {"eax", "ebx", "ecx", "edx", "esi", "edi", "ebp", "esp"};
    std::string s;
    s.reserve(bytes + 128);
    uint64_t r = 88172645463325252ull;
    char line[160];
    while (s.size() < bytes) {
        r ^= r << 13, r ^= r >> 7, r ^= r << 17;
        int n;
        if (r % 11 == 0)
            n = std::snprintf(line, sizeof line, "%s_%04u:%s", style.Label,
                              unsigned(r >> 20) % 5000, style.Break);
        else
            n = std::snprintf(line, sizeof line, "\t%s\t%s, [%s+%u]\t; %s %u%s",
                              style.Mnemonics[(r >> 8) % style.Mnemonics.size()].c_str(),
                              regs[(r >> 12) % 8], regs[(r >> 16) % 8], unsigned(r >> 24) % 256,
                              style.Comment, unsigned(r >> 40) % 100, style.Break);
        s.append(line, size_t(n));
    }
    if (exact)
        s.resize(bytes);
    return s;
}

} // namespace kvx::bench
