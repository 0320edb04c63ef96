// The view's own work on huge documents, without a window: switching word wrap on for a
// 50 MB file and resizing a wrapped one (how soon the window's rows are ready, how long the
// background slices take in all, and the memory it costs), and paging down through a
// million rows with the row layouts a paint would ask for.
//
//     bench_wrap

#include "editor/HeadlessPlatform.h"
#include "editor/SyntaxEd.h"

#include "AsmSource.h"
#include "BenchFiles.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

using kvx::bench::Clock;
using kvx::bench::Seconds;

// A window of 120 columns and 50 rows.
class TWindow : public kvx::THeadlessPlatform {
  public:
    int columns = 120;
    int rows = 50;
    int VisibleRows() override { return rows; }
    int VisibleColumns() override { return columns; }
};

constexpr size_t kFileBytes = 50 * 1000 * 1000;

// Lines of prose from 60 to 400 characters: most of them wrap at any window width.
std::string LongLines(size_t bytes) {
    static const char* const kWords[] = {"the ",     "editor ", "wraps ",  "every ", "line ",
                                         "that ",    "is ",     "longer ", "than ",  "its ",
                                         "window, ", "and ",    "keeps ",  "words ", "whole. "};
    std::string s;
    s.reserve(bytes + 512);
    uint64_t r = 0x9E3779B97F4A7C15ull;
    while (s.size() < bytes) {
        r ^= r << 13, r ^= r >> 7, r ^= r << 17;
        const size_t length = 60 + r % 340;
        const size_t start = s.size();
        while (s.size() - start < length) {
            r ^= r << 13, r ^= r >> 7, r ^= r << 17;
            s += kWords[r % std::size(kWords)];
        }
        s += "\r";
    }
    s.resize(bytes);
    return s;
}

const std::string& Text(int kind) {
    static const std::string assembler = kvx::bench::AsmSource(kFileBytes);
    static const std::string prose = LongLines(kFileBytes);
    return kind == 0 ? assembler : prose;
}

// Memory the process holds now, and the most it held since the last reset, in MB.
double StatusMB(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::stod(line.substr(std::string(key).size())) / 1024.0;
    return 0;
}
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Word wrap switched on: the window's rows first, then the slices (5 ms each) the widget's
// timer would run, in a row.
void BM_WrapOn50MB(benchmark::State& state) {
    const std::string& text = Text(static_cast<int>(state.range(0)));
    double first = 0, all = 0, peak = 0, rows = 0;
    int slices = 0;
    for (auto _ : state) {
        TWindow window;
        kvx::TCustomSyntaxMemo memo(&window);
        memo.SetWholeText(text);
        memo.SetFirstVisibleLine(memo.Store().RowCount() / 2);
        kvx::TWordWrap& wrap = memo.View().WordWrap();
        wrap.SetBackground(true);
        const double before = StatusMB("VmRSS:");
        ResetPeak();
        const auto t0 = Clock::now();
        memo.SetOptions(memo.Options().Include(kvx::smoWordWrap));
        const auto t1 = Clock::now();
        while (wrap.RunSlice(INT_MAX, std::chrono::milliseconds(5)))
            ++slices;
        const auto t2 = Clock::now();
        first += Seconds(t0, t1);
        all += Seconds(t0, t2);
        peak += StatusMB("VmHWM:") - before;
        rows += memo.Store().RowCount();
        state.SetIterationTime(Seconds(t0, t2));
    }
    const double n = double(state.iterations());
    state.counters["first_screen_ms"] = first / n * 1000;
    state.counters["whole_ms"] = all / n * 1000;
    state.counters["slices"] = slices / n;
    state.counters["peak_extra_MB"] = peak / n;
    state.counters["rows"] = rows / n;
}
BENCHMARK(BM_WrapOn50MB)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("prose")
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A wrapped document whose window narrows from 120 to 100 columns, and widens again.
void BM_ResizeWrapped50MB(benchmark::State& state) {
    const std::string& text = Text(static_cast<int>(state.range(0)));
    TWindow window;
    kvx::TCustomSyntaxMemo memo(&window);
    memo.SetWholeText(text);
    memo.SetOptions(memo.Options().Include(kvx::smoWordWrap));
    memo.SetFirstVisibleLine(memo.Store().RowCount() / 2);
    kvx::TWordWrap& wrap = memo.View().WordWrap();
    wrap.SetBackground(true);
    double first = 0, all = 0, peak = 0;
    for (auto _ : state) {
        window.columns = window.columns == 120 ? 100 : 120;
        const double before = StatusMB("VmRSS:");
        ResetPeak();
        const auto t0 = Clock::now();
        wrap.Update();
        const auto t1 = Clock::now();
        while (wrap.RunSlice(INT_MAX, std::chrono::milliseconds(5))) {
        }
        const auto t2 = Clock::now();
        first += Seconds(t0, t1);
        all += Seconds(t0, t2);
        peak += StatusMB("VmHWM:") - before;
        state.SetIterationTime(Seconds(t0, t2));
    }
    const double n = double(state.iterations());
    state.counters["first_screen_ms"] = first / n * 1000;
    state.counters["whole_ms"] = all / n * 1000;
    state.counters["peak_extra_MB"] = peak / n;
}
BENCHMARK(BM_ResizeWrapped50MB)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("prose")
    ->Iterations(4)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Page down through a million rows: the command, then the layouts of the 50 rows the
// window shows, which is what a paint asks of the core. Wrapped (arg 1): the same through
// rows cut by word wrap.
void BM_PageDown1MRows(benchmark::State& state) {
    const bool wrapped = state.range(0) != 0;
    static const std::string text = kvx::bench::AsmSource(1000000 * 34, {}, false);
    TWindow window;
    kvx::TCustomSyntaxMemo memo(&window);
    memo.SetWholeText(wrapped ? LongLines(34 * 1000000) : text);
    if (wrapped)
        memo.SetOptions(memo.Options().Include(kvx::smoWordWrap));
    const int32_t rows = memo.Store().RowCount();
    int64_t pages = 0;
    for (auto _ : state) {
        memo.ExecuteCommand(kvx::caPAGEDOWN);
        const kvx::RowIndex top = memo.View().TopRow();
        kvx::TRowFinger f = memo.Store().RowByIndex(top);
        for (int k = 0; k < window.rows && f.Row; ++k, f.Row = f.Row->Next())
            benchmark::DoNotOptimize(memo.View().Layout(*f.Row).Width());
        if (memo.Selection().Caret >= memo.TextLength() - 1000) {
            state.PauseTiming();
            memo.SetSelection(0, 0);
            state.ResumeTiming();
        }
        ++pages;
    }
    state.counters["rows"] = rows;
    state.counters["pages"] = double(pages);
}
BENCHMARK(BM_PageDown1MRows)->Arg(0)->Arg(1)->ArgName("wrapped")->Unit(benchmark::kMicrosecond);

// Dragging the scroll bar's thumb to places all over a million rows, with the layouts of
// the rows shown there.
void BM_ThumbDrag1MRows(benchmark::State& state) {
    static const std::string text = kvx::bench::AsmSource(1000000 * 34, {}, false);
    TWindow window;
    kvx::TCustomSyntaxMemo memo(&window);
    memo.SetWholeText(text);
    kvx::TMemoScroll& scroll = memo.View().Scroll();
    const int32_t last = scroll.Vertical().LastPosition();
    uint64_t r = 12345;
    for (auto _ : state) {
        r ^= r << 13, r ^= r >> 7, r ^= r << 17;
        scroll.VerticalRequest(kvx::srThumb, static_cast<int32_t>(r % uint64_t(last + 1)));
        kvx::TRowFinger f = memo.Store().RowByIndex(memo.View().TopRow());
        for (int k = 0; k < window.rows && f.Row; ++k, f.Row = f.Row->Next())
            benchmark::DoNotOptimize(memo.View().Layout(*f.Row).Width());
    }
    state.counters["scale"] = scroll.ScrollScale();
}
BENCHMARK(BM_ThumbDrag1MRows)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return kvx::bench::RunBenchmarks(argc, argv);
}
