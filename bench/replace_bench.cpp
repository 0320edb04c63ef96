// Replace All on a 50 MB assembler document: one literal word by another (about a million
// replacements) and a pattern with a %1 template (every number, about two million). For each
// the time of the Replace All (the copy of the text its search works on included), the time
// of the undo that takes it back, and the peak memory of the process while they run (the
// document, the copy, the new text and the undo step). A third run does the literal with
// the assembler highlighter attached and times the highlighting pass that follows.
//
//     bench_replace

#include "AsmSource.h"
#include "BenchFiles.h"
#include "highlight/SynParse.h"
#include "highlight/languages/Languages.h"
#include "regex/ReplaceAll.h"

#include "editor/Stream.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>

namespace {

using kvx::bench::Clock;
using kvx::bench::kMB;
using kvx::bench::ResetPeak;
using kvx::bench::Seconds;
using kvx::bench::StatusBytes;
constexpr size_t kSourceBytes = size_t(50) * 1000 * 1000;

const std::string& Source() {
    static const std::string text = [] {
        kvx::bench::TAsmStyle style;
        style.Break = "\r\n";
        return kvx::bench::AsmSource(kSourceBytes, style);
    }();
    return text;
}

struct TDocument {
    kvx::TCustomSyntaxMemo Memo;
    kvx::TMemoSearch Search{Memo};
    TDocument() {
        kvx::TMemoryStream in;
        in.Write(Source().data(), static_cast<int64_t>(Source().size()));
        in.Seek(0, kvx::TSeekOrigin::Begin);
        Memo.LoadFromStream(in);
    }
};

void ReplaceAndUndo(benchmark::State& state, const char* pattern, const char* replacement,
                    unsigned options, bool highlight) {
    Source();
    kvx::TSyntaxMemoParser parser;
    if (highlight)
        kvx::LoadLanguage(parser, 1);
    double replaceS = 0, undoS = 0, highlightS = 0, peak = 0, base = 0;
    double replaceCpu = 0, undoCpu = 0;
    int64_t count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<TDocument>();
        if (highlight) {
            doc->Memo.SetHighlighter(&parser);
            parser.HighlightAll(doc->Memo);
        }
        const std::string before = doc->Memo.Text();
        const auto length = doc->Memo.TextLength();
        ResetPeak();
        base = static_cast<double>(StatusBytes("VmRSS"));
        state.ResumeTiming();

        kvx::TReplaceAllRequest request;
        request.Pattern = pattern;
        request.Replacement = replacement;
        request.Options = options;
        const double c0 = kvx::bench::ThreadCpuSeconds();
        const auto t0 = Clock::now();
        const kvx::TReplaceAllResult result = kvx::ReplaceAll(doc->Search, request);
        const auto t1 = Clock::now();
        const double c1 = kvx::bench::ThreadCpuSeconds();
        doc->Memo.ChangeNotification();
        const auto t2 = Clock::now();
        const double c2 = kvx::bench::ThreadCpuSeconds();
        doc->Memo.Undo();
        const auto t3 = Clock::now();
        const double c3 = kvx::bench::ThreadCpuSeconds();

        state.PauseTiming();
        replaceS += Seconds(t0, t1);
        highlightS += Seconds(t1, t2);
        undoS += Seconds(t2, t3);
        replaceCpu += c1 - c0;
        undoCpu += c3 - c2;
        peak = static_cast<double>(StatusBytes("VmHWM"));
        count = result.Count;
        const bool ok = result.Error.Code == 0 && doc->Memo.TextLength() == length &&
                        doc->Memo.Text() == before;
        doc.reset();
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("the undo did not give back the text");
            break;
        }
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["replacements"] = static_cast<double>(count);
    state.counters["replace_ms"] = replaceS / n * 1e3;
    if (highlight)
        state.counters["highlight_ms"] = highlightS / n * 1e3;
    state.counters["undo_ms"] = undoS / n * 1e3;
    state.counters["replace_cpu_ms"] = replaceCpu / n * 1e3;
    state.counters["undo_cpu_ms"] = undoCpu / n * 1e3;
    state.counters["peak_rss_MB"] = peak / kMB;
    state.counters["peak_growth_MB"] = (peak - base) / kMB;
}

void BM_ReplaceAllLiteral(benchmark::State& state) {
    ReplaceAndUndo(state, "step", "stage", kvx::soMatchCase, false);
}
BENCHMARK(BM_ReplaceAllLiteral)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ReplaceAllTemplate(benchmark::State& state) {
    ReplaceAndUndo(state, "[0-9]+", "(%1)", kvx::soRegExpr, false);
}
BENCHMARK(BM_ReplaceAllTemplate)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ReplaceAllLiteralHighlighted(benchmark::State& state) {
    ReplaceAndUndo(state, "step", "stage", kvx::soMatchCase, true);
}
BENCHMARK(BM_ReplaceAllLiteralHighlighted)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
