// Highlighting speed with the built-in languages: a full pass over 50 MB of assembler and
// of C next to `wc -l` on the same file in the same run (the speed of merely reading it),
// one keystroke in the middle of a 1,000,000-row C file, and a 20 MB file that is a single
// line.
//
//     bench_highlight            (writes its files under $TMPDIR or /tmp and removes them)

#include "AsmSource.h"
#include "CSource.h"
#include "editor/SyntaxEd.h"
#include "highlight/SynParse.h"
#include "highlight/languages/Languages.h"

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
using kvx::bench::CSource;
using kvx::bench::Folder;
using kvx::bench::kMB;
using kvx::bench::Seconds;
constexpr size_t kFileBytes = size_t(50) * 1000 * 1000;

const fs::path& SourceFile(int language) {
    static fs::path files[2];
    fs::path& f = files[language == 1 ? 0 : 1];
    if (f.empty()) {
        f = Folder() / (language == 1 ? "source.asm" : "source.c");
        kvx::bench::TAsmStyle style;
        style.Break = "\n";
        std::ofstream(f, std::ios::binary)
            << (language == 1 ? kvx::bench::AsmSource(kFileBytes, style)
                              : kvx::bench::CSource(kFileBytes));
    }
    return f;
}

// Full highlight of a 50 MB file (language 1 or 2), with `wc -l` on it in the same run.
void BM_FullHighlightVersusWc(benchmark::State& state) {
    const int language = static_cast<int>(state.range(0));
    const fs::path& file = SourceFile(language);
    const double mb = double(fs::file_size(file)) / kMB;
    kvx::TSyntaxMemoParser parser;
    kvx::LoadLanguage(parser, language);
    kvx::TCustomSyntaxMemo memo;
    memo.LoadFromFile(file.string());
    memo.SetHighlighter(&parser);
    double wcS = 0, hlS = 0;
    int64_t rows = 0;
    for (auto _ : state) {
        const std::string cmd = "wc -l '" + file.string() + "' > /dev/null";
        auto t0 = Clock::now();
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("wc failed");
        auto t1 = Clock::now();
        // Every row's bytes are rewritten: the first pass fills them, the later ones
        // compare and rewrite them, which costs the same.
        parser.HighlightAll(memo);
        auto t2 = Clock::now();
        wcS += Seconds(t0, t1);
        hlS += Seconds(t1, t2);
        rows = parser.RowsScanned;
    }
    const double n = double(state.iterations());
    state.counters["rows"] = double(rows);
    state.counters["highlight_MB_s"] = mb / (hlS / n);
    state.counters["wc_MB_s"] = mb / (wcS / n);
    state.SetLabel(language == 1 ? "assembler" : "C");
}
BENCHMARK(BM_FullHighlightVersusWc)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// Types `text` key by key at the middle of a highlighted document, each key followed by
// the change notification that re-highlights; reports the mean time per key and the mean
// rows each pass wrote.
void TypeInTheMiddle(benchmark::State& state, kvx::TCustomSyntaxMemo& memo,
                     kvx::TSyntaxMemoParser& parser, const std::string& text) {
    const kvx::TextOffset middle = memo.Store().RowByIndex(memo.Store().RowCount() / 2).Offset + 4;
    double seconds = 0;
    int64_t keys = 0, rows = 0;
    for (auto _ : state) {
        memo.SetSelection(middle, middle);
        for (const char c : text) {
            auto t0 = Clock::now();
            memo.KeyChar(static_cast<unsigned char>(c));
            memo.ChangeNotification();
            seconds += Seconds(t0, Clock::now());
            rows += parser.RowsScanned;
            ++keys;
        }
        state.PauseTiming();
        memo.SetSelection(middle, middle + kvx::TextOffset(text.size()));
        memo.ReplaceSelection("");
        memo.ChangeNotification();
        state.ResumeTiming();
    }
    state.counters["us_per_key"] = seconds / double(keys) * 1e6;
    state.counters["rows_per_key"] = double(rows) / double(keys);
}

// One keystroke in the middle of a 1,000,000-row C file: an ordinary word, and typing
// "/*", which must re-highlight until the comment closes.
void BM_KeystrokeMillionRows(benchmark::State& state) {
    static kvx::TSyntaxMemoParser parser;
    static kvx::TCustomSyntaxMemo memo;
    if (memo.Store().RowCount() == 0) {
        kvx::LoadLanguage(parser, 2);
        memo.SetWholeText(kvx::bench::CSourceLines(1000000));
        memo.SetHighlighter(&parser);
        memo.ChangeNotification();
    }
    state.SetLabel(std::to_string(memo.Store().RowCount()) + " rows");
    TypeInTheMiddle(state, memo, parser, state.range(0) == 0 ? "value" : "/*");
}
BENCHMARK(BM_KeystrokeMillionRows)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A 20 MB file that is one line: load plus full highlight, then keystrokes in its middle.
void BM_SingleLineFile(benchmark::State& state) {
    static const fs::path file = [] {
        fs::path f = Folder() / "oneline.c";
        std::ofstream(f, std::ios::binary) << kvx::bench::CSource(size_t(20) * 1000 * 1000, false);
        return f;
    }();
    kvx::TSyntaxMemoParser parser;
    kvx::LoadLanguage(parser, 2);
    kvx::TCustomSyntaxMemo memo;
    double loadS = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        memo.LoadFromFile(file.string());
        memo.SetHighlighter(&parser);
        memo.ChangeNotification();
        loadS += Seconds(t0, Clock::now());
    }
    state.counters["load_and_highlight_s"] = loadS / double(state.iterations());
    state.counters["rows"] = double(memo.Store().RowCount());
}
BENCHMARK(BM_SingleLineFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Keystrokes in the middle of the 20 MB line; with word wrap on (arg 1) too.
void BM_SingleLineKeystroke(benchmark::State& state) {
    const bool wrap = state.range(0) != 0;
    static kvx::TSyntaxMemoParser parser;
    static const bool loaded = (kvx::LoadLanguage(parser, 2), true);
    benchmark::DoNotOptimize(loaded);
    static kvx::TCustomSyntaxMemo memos[2];
    kvx::TCustomSyntaxMemo& memo = memos[wrap];
    if (memo.Store().RowCount() == 0) {
        if (wrap)
            memo.SetOptions(memo.Options().Include(kvx::smoWordWrap));
        memo.SetWholeText(kvx::bench::CSource(size_t(20) * 1000 * 1000, false));
        memo.SetHighlighter(&parser);
        memo.ChangeNotification();
    }
    state.SetLabel(std::to_string(memo.Store().RowCount()) + " rows");
    TypeInTheMiddle(state, memo, parser, "value");
}
BENCHMARK(BM_SingleLineKeystroke)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("wrapped")
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return kvx::bench::RunBenchmarks(argc, argv);
}
