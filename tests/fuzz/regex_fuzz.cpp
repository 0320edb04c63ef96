// Compiles arbitrary patterns and runs them over a short arbitrary text, forwards and
// backwards, checking that every match is a proper range of the text, and that the fast
// matcher finds what the plain backtracking order finds: the same match, the same positions,
// the same error.
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
    kvx::TREParser re, plain;
    // A small budget keeps each input fast; running out is a proper outcome.
    re.SetStepBudget(200000, 50);
    plain.SetStepBudget(200000, 50);
    plain.SetMode(kvx::TREParser::TMode::Plain);
    if (!re.Compile(pattern))
        return 0;
    if (!plain.Compile(pattern))
        std::abort();
    const int32_t len = static_cast<int32_t>(text.size());
    for (bool forward : {true, false}) {
        int64_t from = forward ? 0 : len;
        for (int round = 0; round < 8; ++round) {
            bool found = false, plainFound = false;
            int error = 0, plainError = 0;
            try {
                found = re.Exec(text, from, forward);
            } catch (const kvx::ERegExpr& e) {
                error = e.MessageId();
            }
            try {
                plainFound = plain.Exec(text, from, forward);
            } catch (const kvx::ERegExpr& e) {
                plainError = e.MessageId();
            }
            if (error == kvx::msgRESearchTooLong || plainError == kvx::msgRESearchTooLong)
                break; // one of them gave up: nothing to compare
            if (error != plainError || found != plainFound)
                std::abort();
            if (!found)
                break;
            for (int i = 0; i < 256; ++i)
                if (re.Position(i) != plain.Position(i))
                    std::abort();
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
