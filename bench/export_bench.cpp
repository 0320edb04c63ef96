// Writing highlighted documents as HTML and RTF: a 50 MB assembler file saved in each
// format (speed over the document's bytes, and how far the export raised the process's
// peak memory), and `kvx highlight --format html` beside `pygmentize -f html` on a 10 MB C
// file in the same run, both as whole programs that read, highlight and write the file.
//
//     bench_export            (writes its files under $TMPDIR or /tmp and removes them)

#include "AsmSource.h"
#include "CSource.h"
#include "editor/SyntaxEd.h"
#include "highlight/SynParse.h"
#include "highlight/languages/Languages.h"

#include "BenchFiles.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using kvx::bench::Clock;
using kvx::bench::CSource;
using kvx::bench::Folder;
using kvx::bench::kMB;
using kvx::bench::ResetPeak;
using kvx::bench::Seconds;
using kvx::bench::StatusBytes;

// Saves a highlighted 50 MB assembler document as RTF (0) or HTML (1).
void BM_SaveHighlightedAssembler(benchmark::State& state) {
    const bool html = state.range(0) == 1;
    const fs::path source = Folder() / "export.asm";
    const fs::path target = Folder() / (html ? "export.html" : "export.rtf");
    {
        kvx::bench::TAsmStyle style;
        style.Break = "\n";
        std::ofstream(source, std::ios::binary)
            << kvx::bench::AsmSource(size_t(50) * 1000 * 1000, style);
    }
    kvx::TSyntaxMemoParser parser;
    kvx::LoadLanguage(parser, 1);
    kvx::TCustomSyntaxMemo memo;
    memo.LoadFromFile(source.string());
    memo.UseSettings(&parser.Settings());
    memo.SetHighlighter(&parser);
    parser.HighlightAll(memo);
    memo.SaveFormat = html ? kvx::sfHTML : kvx::sfRTF;
    const double mb = double(memo.TextLength()) / kMB;

    double seconds = 0;
    int64_t growth = 0, before = 0;
    for (auto _ : state) {
        const bool peakReset = ResetPeak();
        before = StatusBytes("VmRSS");
        const auto t0 = Clock::now();
        memo.SaveToFile(target.string());
        seconds += Seconds(t0, Clock::now());
        growth = peakReset ? StatusBytes("VmHWM") - before : -1;
    }
    state.counters["document_MB"] = mb;
    state.counters["output_MB"] = double(fs::file_size(target)) / kMB;
    state.counters["MB_per_s"] = mb * double(state.iterations()) / seconds;
    // The document with its token bytes, and how much more the export ever needed.
    state.counters["rss_MB"] = double(before) / kMB;
    state.counters["peak_growth_MB"] = double(growth) / kMB;
    state.SetLabel(html ? "HTML" : "RTF");
    fs::remove(source);
    fs::remove(target);
}
BENCHMARK(BM_SaveHighlightedAssembler)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// Whole programs on a 10 MB C file: kvx highlight --format html, then pygmentize -f html.
void BM_KvxHtmlVersusPygmentize(benchmark::State& state) {
    const fs::path file = Folder() / "publish.c";
    std::ofstream(file, std::ios::binary) << CSource(size_t(10) * 1000 * 1000);
    const double mb = double(fs::file_size(file)) / kMB;
    const std::string kvx =
        std::string(KVX_BINARY) + " highlight --format html '" + file.string() + "' > /dev/null";
    const std::string pygments =
        std::string(KVX_PYGMENTIZE) + " -f html -l c '" + file.string() + "' > /dev/null";
    const bool withPygments = std::strlen(KVX_PYGMENTIZE) > 0;
    double kvxS = 0, pygS = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (std::system(kvx.c_str()) != 0)
            state.SkipWithError("kvx failed");
        const auto t1 = Clock::now();
        if (withPygments && std::system(pygments.c_str()) != 0)
            state.SkipWithError("pygmentize failed");
        const auto t2 = Clock::now();
        kvxS += Seconds(t0, t1);
        pygS += Seconds(t1, t2);
    }
    const double n = double(state.iterations());
    state.counters["kvx_MB_s"] = mb / (kvxS / n);
    if (withPygments)
        state.counters["pygmentize_MB_s"] = mb / (pygS / n);
    else
        state.SetLabel("pygmentize not found (Debian python3-pygments)");
    fs::remove(file);
}
BENCHMARK(BM_KvxHtmlVersusPygmentize)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return kvx::bench::RunBenchmarks(argc, argv);
}
