// How long the regular-expression engine takes on the searches that used to run away: idioms
// that are linear in a plain reading but cost a backtracker the square of a run (`\w+$` on
// a long line, `[^@]*@` without an @), patterns that are runaways for any backtracker
// (`.*.*Z`), a whole run of searches over a file (what kvx grep and Replace All do), and
// counted repetitions, which work under the step budget. The targets: the linear idioms at
// the engine's usual speed on 10 MB, and no search of 10 MB longer than 2 s before it
// answers or stops. PCRE2's interpreter (no JIT) runs the same searches where it is there,
// except the two linear idioms: it takes the square of the run there too, more than 100 s
// each on 10 MB.
//
//     bench_regex_limits
//     bench_regex_limits --benchmark_filter=Ours

#include "regex/REParser.h"

#include "AsmSource.h"

#include <benchmark/benchmark.h>

#include <string>

#ifdef KVX_HAVE_PCRE2
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#endif

namespace {

constexpr size_t kTenMB = size_t(10) * 1000 * 1000;

// Assembler source with no @ and no Z in it, lines of about 30 characters.
const std::string& Source() {
    static const std::string text = kvx::bench::AsmSource(kTenMB);
    return text;
}

// One line of 10 MB of letters that ends in " y": \w+$ matches the y alone.
const std::string& LongLine() {
    static const std::string text = std::string(kTenMB, 'a') + " y\rnext";
    return text;
}

const std::string& Text(int which) {
    return which == 0 ? Source() : LongLine();
}

struct TCase {
    const char* Pattern;
    int Text;     // 0 the source, 1 the long line
    size_t Bytes; // how much of it
    bool All;     // every match, one search after the other, as one run
};

const TCase kCases[] = {
    {"\\w+$", 1, 0, false},                // linear idiom, one long line
    {"[^@]*@", 0, 0, false},               // linear idiom, never found
    {".*.*Z", 0, 0, false},                // runaway for a backtracker
    {"\\S*\\S*\\S*Z", 0, 0, false},        // runaway for a backtracker
    {"(.*)(.*)(.*)x", 0, 3'000'000, true}, // a runaway on every line, as a run
    {"[a-z]{2,5}x", 0, 0, true},           // counted: works under the budget, finds everything
    {"(.{1,3}){2,}Z", 0, 0, false},        // counted runaway: stopped by the budget
};

std::string_view Slice(const TCase& c) {
    const std::string& t = Text(c.Text);
    return std::string_view(t).substr(0, c.Bytes ? c.Bytes : t.size());
}

void BM_Ours(benchmark::State& state) {
    const TCase& c = kCases[state.range(0)];
    const std::string_view text = Slice(c);
    kvx::TREParser re;
    if (!re.Compile(c.Pattern)) {
        state.SkipWithError("pattern does not compile");
        return;
    }
    long matches = 0;
    bool stopped = false;
    for (auto _ : state) {
        matches = 0;
        stopped = false;
        re.BeginRun();
        try {
            int64_t from = 0;
            while (re.Exec(text, from, true)) {
                ++matches;
                if (!c.All)
                    break;
                from = re.MatchEnd() > from ? re.MatchEnd() : from + 1;
            }
        } catch (const kvx::ERegExpr&) {
            stopped = true;
        }
        re.EndRun();
    }
    state.SetLabel(std::string(c.Pattern) + (re.Memoized() ? " (memo)" : " (budget)"));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.counters["matches"] = double(matches);
    state.counters["stopped"] = stopped ? 1 : 0;
}
BENCHMARK(BM_Ours)
    ->DenseRange(0, std::size(kCases) - 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

#ifdef KVX_HAVE_PCRE2
// PCRE2's own match limit (ten million by default) ends its runaways with an error.
void BM_Pcre2(benchmark::State& state) {
    const TCase& c = kCases[state.range(0)];
    const std::string_view text = Slice(c);
    // Our texts break lines with \r alone: $ and . follow that with NEWLINE_CR.
    pcre2_compile_context* cc = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(cc, PCRE2_NEWLINE_CR);
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* re = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(c.Pattern), PCRE2_ZERO_TERMINATED,
                                   PCRE2_MULTILINE, &error, &offset, cc);
    pcre2_compile_context_free(cc);
    if (!re) {
        state.SkipWithError("pattern does not compile");
        return;
    }
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(re, nullptr);
    long matches = 0;
    bool stopped = false;
    for (auto _ : state) {
        matches = 0;
        stopped = false;
        PCRE2_SIZE from = 0;
        while (from <= text.size()) {
            const int rc = pcre2_match(re, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                                       from, 0, md, nullptr);
            if (rc < 0) {
                stopped = rc != PCRE2_ERROR_NOMATCH;
                break;
            }
            ++matches;
            if (!c.All)
                break;
            const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
            from = ov[1] > from ? ov[1] : from + 1;
        }
    }
    pcre2_match_data_free(md);
    pcre2_code_free(re);
    state.SetLabel(c.Pattern);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.counters["matches"] = double(matches);
    state.counters["stopped"] = stopped ? 1 : 0;
}
BENCHMARK(BM_Pcre2)
    ->DenseRange(2, std::size(kCases) - 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
#endif

} // namespace

BENCHMARK_MAIN();
