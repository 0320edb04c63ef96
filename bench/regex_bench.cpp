// The regular-expression engine on 50 MB of assembler-like source, next to std::regex
// (ECMAScript) and the PCRE2 interpreter (no JIT) in the same run, each counting every match
// of the same four patterns. std::regex is far slower, so it runs over the first 2 MB only:
// compare the bytes-per-second column, not the times.
//
//     bench_regex                               all of them
//     bench_regex --benchmark_filter=Ours

#include "regex/REParser.h"

#include "AsmSource.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <regex>
#include <string>

#ifdef KVX_HAVE_PCRE2
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#endif

namespace {

constexpr size_t kSourceBytes = size_t(50) * 1000 * 1000;
constexpr size_t kSliceBytes = size_t(2) * 1000 * 1000;

const std::string& Source() {
    static const std::string text = kvx::bench::AsmSource(kSourceBytes, {"\r", "Proc", "Step"});
    return text;
}

const char* const kLiteral = "call";
const char* const kCaseless = "[Ss][Tt][Ee][Pp]";
const char* const kLabel = "[A-Za-z_][A-Za-z0-9_]*:";
const char* const kAlternation = "mov|add|sub|jnz|push";

void Report(benchmark::State& state, size_t bytes, long matches) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
    state.counters["matches"] = double(matches);
}

void BM_Ours(benchmark::State& state, const char* pattern) {
    const std::string& text = Source();
    kvx::TREParser re;
    if (!re.Compile(pattern)) {
        state.SkipWithError("pattern does not compile");
        return;
    }
    long matches = 0;
    for (auto _ : state) {
        matches = 0;
        int64_t from = 0;
        while (re.Exec(text, from, true)) {
            ++matches;
            from = re.MatchEnd() > from ? re.MatchEnd() : from + 1;
        }
    }
    Report(state, text.size(), matches);
}

void BM_StdRegex(benchmark::State& state, const char* pattern) {
    const std::string text = Source().substr(0, kSliceBytes);
    const std::regex re(pattern, std::regex::ECMAScript);
    long matches = 0;
    for (auto _ : state) {
        matches = std::distance(std::sregex_iterator(text.begin(), text.end(), re),
                                std::sregex_iterator());
    }
    Report(state, text.size(), matches);
}

#ifdef KVX_HAVE_PCRE2
void BM_Pcre2(benchmark::State& state, const char* pattern) {
    const std::string& text = Source();
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* re = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED, 0,
                                   &error, &offset, nullptr);
    if (!re) {
        state.SkipWithError("pattern does not compile");
        return;
    }
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(re, nullptr);
    long matches = 0;
    for (auto _ : state) {
        matches = 0;
        PCRE2_SIZE from = 0;
        while (from <= text.size() && pcre2_match(re, reinterpret_cast<PCRE2_SPTR>(text.data()),
                                                  text.size(), from, 0, md, nullptr) >= 0) {
            const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
            ++matches;
            from = ov[1] > from ? ov[1] : from + 1;
        }
    }
    pcre2_match_data_free(md);
    pcre2_code_free(re);
    Report(state, text.size(), matches);
}
#endif

#define KVX_REGEX_BENCH(fn, iterations)                                                            \
    BENCHMARK_CAPTURE(fn, literal, kLiteral)                                                       \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->Iterations(iterations);                                                                  \
    BENCHMARK_CAPTURE(fn, caseless, kCaseless)                                                     \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->Iterations(iterations);                                                                  \
    BENCHMARK_CAPTURE(fn, labels, kLabel)->Unit(benchmark::kMillisecond)->Iterations(iterations);  \
    BENCHMARK_CAPTURE(fn, alternation, kAlternation)                                               \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->Iterations(iterations)

KVX_REGEX_BENCH(BM_Ours, 3);
KVX_REGEX_BENCH(BM_StdRegex, 1);
#ifdef KVX_HAVE_PCRE2
KVX_REGEX_BENCH(BM_Pcre2, 3);
#endif

} // namespace

BENCHMARK_MAIN();
