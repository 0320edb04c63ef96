// Find in Files over 500 MB of assembler sources (500 files of 1 MB in 20 folders, CR LF
// lines) with a warm page cache, next to `grep -rn` on the same tree in the same run: a
// label (a literal with a few hundred hits), the same label caseless as a whole word, and a
// pattern with a few thousand hits. grep runs with LC_ALL=C, its fastest setting.
//
//     bench_findinfiles

#include "AsmSource.h"
#include "BenchFiles.h"
#include "app/core/FindInFiles.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using kvx::bench::Clock;
using kvx::bench::kMB;
using kvx::bench::Seconds;
namespace fs = std::filesystem;

constexpr int kFolders = 20;
constexpr int kFilesPerFolder = 25;
constexpr size_t kFileBytes = size_t(1000) * 1000;

// The tree, written once; each file a different stretch of a longer source, so that no two
// files are the same.
const fs::path& Tree() {
    static const fs::path root = [] {
        const fs::path dir = kvx::bench::Folder() / "tree";
        kvx::bench::TAsmStyle style;
        style.Break = "\r\n";
        const std::string source = kvx::bench::AsmSource(kFileBytes * 8, style);
        size_t at = 0;
        for (int f = 0; f < kFolders; ++f) {
            const fs::path folder = dir / ("module" + std::to_string(f)) / "src";
            fs::create_directories(folder);
            for (int i = 0; i < kFilesPerFolder; ++i) {
                at = (at + 7919 * 37) % (source.size() - kFileBytes);
                const size_t start = source.find('\n', at) + 1;
                std::ofstream(folder / ("part" + std::to_string(i) + ".asm"), std::ios::binary)
                    .write(source.data() + start, static_cast<std::streamsize>(kFileBytes));
            }
        }
        return dir;
    }();
    return root;
}

int64_t TreeBytes() {
    return int64_t(kFolders) * kFilesPerFolder * static_cast<int64_t>(kFileBytes);
}

void Search(benchmark::State& state, const char* text, unsigned options, const char* grepArgs) {
    const fs::path& tree = Tree();
    const std::string grep =
        std::string("LC_ALL=C grep -rn ") + grepArgs + " '" + tree.string() + "' > /dev/null";
    // Warms the page cache, and counts grep's lines to compare with our hits.
    double grepLines = 0;
    const std::string count = grep.substr(0, grep.rfind('>')) + "| wc -l";
    if (FILE* p = ::popen(count.c_str(), "r")) {
        if (std::fscanf(p, "%lf", &grepLines) != 1)
            grepLines = -1;
        ::pclose(p);
    }
    double ours = 0, theirs = 0, oursCpu = 0, theirsCpu = 0;
    int64_t hits = 0, bytes = 0;
    for (auto _ : state) {
        kvx::TFindInFilesRequest request;
        request.Folder = tree.string();
        request.Text = text;
        request.Options = options;
        const double c0 = kvx::bench::ProcessCpuSeconds();
        const auto t0 = Clock::now();
        kvx::TFindInFiles search(request);
        if (!search.Start()) {
            state.SkipWithError(search.ErrorText().c_str());
            break;
        }
        search.Wait();
        const auto items = search.Take();
        const auto t1 = Clock::now();
        const double c1 = kvx::bench::ProcessCpuSeconds();
        state.PauseTiming();
        const double g0 = kvx::bench::ChildrenCpuSeconds();
        const auto t2 = Clock::now();
        if (std::system(grep.c_str()) < 0)
            state.SkipWithError("grep could not be run");
        const auto t3 = Clock::now();
        theirsCpu += kvx::bench::ChildrenCpuSeconds() - g0;
        oursCpu += c1 - c0;
        state.ResumeTiming();
        ours += Seconds(t0, t1);
        theirs += Seconds(t2, t3);
        hits = static_cast<int64_t>(items.size());
        bytes = search.Progress().BytesSearched;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["hits"] = static_cast<double>(hits);
    state.counters["grep_lines"] = grepLines;
    state.counters["MB_searched"] = static_cast<double>(bytes) / kMB;
    state.counters["ours_s"] = ours / n;
    state.counters["grep_s"] = theirs / n;
    state.counters["ours_cpu_s"] = oursCpu / n;
    state.counters["grep_cpu_s"] = theirsCpu / n;
    state.counters["ours_MB_s"] = static_cast<double>(TreeBytes()) / kMB / (ours / n);
}

void BM_FindInFilesLiteral(benchmark::State& state) {
    Search(state, "proc_4321:", kvx::soMatchCase, "'proc_4321:'");
}
BENCHMARK(BM_FindInFilesLiteral)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_FindInFilesCaselessWord(benchmark::State& state) {
    Search(state, "PROC_4321", kvx::soWholeWord, "-i -w 'PROC_4321'");
}
BENCHMARK(BM_FindInFilesCaselessWord)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_FindInFilesPattern(benchmark::State& state) {
    Search(state, "proc_43[0-9]1:", kvx::soRegExpr, "-E 'proc_43[0-9]1:'");
}
BENCHMARK(BM_FindInFilesPattern)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return kvx::bench::RunBenchmarks(argc, argv);
}
