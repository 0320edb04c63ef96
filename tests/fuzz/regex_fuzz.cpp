// Compiles arbitrary patterns and runs them over a short arbitrary text, forwards and
// backwards, checking that every match is a proper range of the text.
#include "regex/REParser.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Pattern, a zero byte, then the text.
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const size_t cut = all.find('\0');
    const std::string_view pattern = all.substr(0, cut);
    std::string text(cut == std::string_view::npos ? std::string_view() : all.substr(cut + 1));
    if (pattern.size() > 512 || text.size() > 512)
        return 0;
    kvx::TREParser re;
    // A small budget keeps each input fast; running out is a proper outcome.
    re.SetStepBudget(200000, 50);
    if (!re.Compile(pattern))
        return 0;
    const int32_t len = static_cast<int32_t>(text.size());
    for (bool forward : {true, false}) {
        int64_t from = forward ? 0 : len;
        for (int round = 0; round < 8; ++round) {
            bool found = false;
            try {
                found = re.Exec(text, from, forward);
            } catch (const kvx::ERegExpr&) {
                break;
            }
            if (!found)
                break;
            const int32_t start = re.MatchStart(), end = re.MatchEnd();
            if (start < 0 || start > end || end > len || re.PositionCount() > 255)
                std::abort();
            if (forward)
                from = end > from ? end : from + 1;
            else if ((from = start - 1) < 0)
                break;
        }
    }
    return 0;
}
