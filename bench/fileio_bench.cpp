// Loading a file of 52 or 100 MB from disk into a document and saving it back, next to
// copying the same file with cp in the same run: the ratios are the figures that matter,
// since the machine's disk and page cache set the absolute speeds.
//
//     bench_fileio            (writes its files under $TMPDIR or /tmp and removes them)

#include "editor/SyntaxEd.h"

#include "BenchFiles.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using kvx::bench::Clock;
using kvx::bench::Folder;
using kvx::bench::kMB;
using kvx::bench::Seconds;

// Assembler-like lines of about 30 bytes with CR LF breaks and some TABs, `megabytes` MB;
// made on first use.
fs::path SourceFile(int64_t megabytes) {
    const fs::path f = Folder() / ("source-" + std::to_string(megabytes) + ".asm");
    if (fs::exists(f))
        return f;
    const size_t bytes = static_cast<size_t>(megabytes) * 1000 * 1000;
    std::string text;
    text.reserve(bytes + 64);
    uint64_t r = 88172645463325252ull;
    char line[64];
    while (text.size() < bytes) {
        r ^= r << 13, r ^= r >> 7, r ^= r << 17;
        const int n = std::snprintf(line, sizeof line, "l%05u:\tmov eax, [ebx+%u] ; c\r\n",
                                    unsigned(r % 100000), unsigned(r >> 40) % 4096);
        text.append(line, n);
    }
    std::ofstream(f, std::ios::binary) << text;
    return f;
}

void BM_LoadSaveVersusCp(benchmark::State& state) {
    const fs::path src = SourceFile(state.range(0));
    const fs::path copy = Folder() / "copy.asm";
    const fs::path saved = Folder() / "saved.asm";
    const double mb = double(fs::file_size(src)) / kMB;
    double cpS = 0, loadS = 0, saveS = 0;
    for (auto _ : state) {
        const std::string cmd = "cp '" + src.string() + "' '" + copy.string() + "'";
        auto t0 = Clock::now();
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("cp failed");
        auto t1 = Clock::now();
        kvx::TCustomSyntaxMemo memo;
        memo.LoadFromFile(src.string());
        auto t2 = Clock::now();
        memo.UseLoadedLineBreaks();
        memo.SaveToFile(saved.string());
        auto t3 = Clock::now();
        cpS += Seconds(t0, t1);
        loadS += Seconds(t1, t2);
        saveS += Seconds(t2, t3);
        if (fs::file_size(saved) != fs::file_size(src))
            state.SkipWithError("saved file differs");
    }
    const double n = double(state.iterations());
    state.counters["cp_MB_s"] = mb / (cpS / n);
    state.counters["load_MB_s"] = mb / (loadS / n);
    state.counters["save_MB_s"] = mb / (saveS / n);
    state.counters["load_vs_cp"] = loadS / cpS;
    state.counters["save_vs_cp"] = saveS / cpS;
}
BENCHMARK(BM_LoadSaveVersusCp)
    ->Arg(52)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return kvx::bench::RunBenchmarks(argc, argv);
}
