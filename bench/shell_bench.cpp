// The results panel and the tool runner at volume: a hundred thousand lines appended to
// the panel and painted; the reader of places in tool output; and a tool that prints a
// hundred thousand compiler-style lines, run through the runner into the panel until it
// ends (this program is that tool, when started with --emit N); and Replace All of a literal
// through the replace dialog in the editor widget over 50 MB of assembler (about 1.6
// million hits), with the progress box it brings up, and the undo of it.
//
//     bench_shell                      all of them (offscreen)

#include "AsmSource.h"

#include "app/EdReplDlg.h"
#include "app/ResultsPanel.h"
#include "app/ToolRunner.h"
#include "app/core/JumpTarget.h"
#include "editor/Stream.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QListView>
#include <QProgressDialog>
#include <QPushButton>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

constexpr int kLines = 100000;

std::string OutputLine(int n) {
    switch (n % 3) {
    case 0:
        return "src/boot" + std::to_string(n % 17) + ".asm:" + std::to_string(n) +
               ": error: invalid combination of opcode and operands";
    case 1:
        return "lib/util.pas(" + std::to_string(n) + ",7) Warning: variable not used";
    default:
        return "assembling pass 2, " + std::to_string(n) + " bytes of code so far";
    }
}

void AppendAndPaint(benchmark::State& state) {
    for (auto _ : state) {
        kvx::TResultsPanel panel;
        panel.resize(800, 400);
        panel.show();
        for (int batch = 0; batch < kLines / 1000; ++batch) {
            std::vector<kvx::TResultLine> lines;
            lines.reserve(1000);
            for (int i = 0; i < 1000; ++i) {
                const int n = batch * 1000 + i + 1;
                lines.push_back({QString::fromStdString(OutputLine(n)), kvx::TResultKind::Normal,
                                 kvx::TJumpTarget{"/src/boot.asm", n, 1, 4}, 0, 4});
            }
            panel.Append(std::move(lines));
        }
        QApplication::processEvents();
        benchmark::DoNotOptimize(panel.View()->viewport()->grab());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kLines);
}
BENCHMARK(AppendAndPaint)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void ParseToolOutput(benchmark::State& state) {
    std::vector<std::string> lines;
    for (int n = 1; n <= kLines; ++n)
        lines.push_back(OutputLine(n));
    for (auto _ : state) {
        int found = 0;
        for (const std::string& line : lines)
            found += kvx::ParseToolOutputLine(line).has_value();
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kLines);
}
BENCHMARK(ParseToolOutput)->Unit(benchmark::kMillisecond);

class TDocument : public kvx::TToolDocument {
  public:
    QString FileName() const override { return QStringLiteral("/tmp/boot.asm"); }
    bool IsUnnamed() const override { return false; }
    bool IsModified() const override { return false; }
    bool Save() override { return true; }
};

// From the start of the tool to its exit status in the panel.
void RunToolIntoPanel(benchmark::State& state) {
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    for (auto _ : state) {
        kvx::TResultsPanel panel;
        panel.resize(800, 400);
        panel.show();
        kvx::TToolRunner runner(&panel);
        TDocument doc;
        QEventLoop loop;
        QObject::connect(&runner, &kvx::TToolRunner::finished, &loop, &QEventLoop::quit);
        if (!runner.Run({"x", self, "--emit " + std::to_string(kLines)}, doc)) {
            state.SkipWithError("the tool did not start");
            break;
        }
        loop.exec();
        if (panel.Model()->rowCount() < kLines)
            state.SkipWithError("lines went missing");
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kLines);
}
BENCHMARK(RunToolIntoPanel)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void ReplaceAllThroughTheDialog(benchmark::State& state) {
    kvx::bench::TAsmStyle style;
    style.Break = "\r\n";
    const std::string source = kvx::bench::AsmSource(size_t(50) * 1000 * 1000, style);
    const std::string history = "/tmp/kvx-bench-frepl-" + std::to_string(getpid()) + ".dat";
    kvx::TEdPersistent store(history);
    const kvx::TSearchState search{"step", 0};
    const kvx::TSearchPrompts prompts = kvx::TSearchPrompts::Boxes();
    double undoMs = 0;
    int progressBoxes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        kvx::TSyntaxMemo editor;
        editor.resize(800, 600);
        kvx::TMemoryStream in(source);
        editor.Memo().LoadFromStream(in);
        editor.SetLanguage(1);
        editor.show();
        QApplication::processEvents();
        kvx::TEdReplDlg dlg(store, search, prompts);
        kvx::TMemoSearch memoSearch(editor.Memo());
        dlg.SearchOf = [&](kvx::TSyntaxMemo*) { return &memoSearch; };
        dlg.OnProgressShown = [&](QProgressDialog&) { ++progressBoxes; };
        dlg.Open(&editor);
        dlg.ReplHistoryBox()->setEditText("stage");
        state.ResumeTiming();
        dlg.ReplaceAllButton()->click();
        QApplication::processEvents();
        state.PauseTiming();
        if (editor.Memo().Text().find("step") != std::string::npos)
            state.SkipWithError("Replace All left hits behind");
        QElapsedTimer undo;
        undo.start();
        editor.Memo().Undo();
        QApplication::processEvents();
        undoMs += undo.nsecsElapsed() / 1e6;
        if (editor.Memo().Text().find("stage") != std::string::npos)
            state.SkipWithError("the undo did not restore the text");
        dlg.close();
        state.ResumeTiming();
    }
    std::remove(history.c_str());
    state.counters["undo_ms"] = undoMs / double(state.iterations());
    state.counters["progress_boxes"] = progressBoxes;
}
BENCHMARK(ReplaceAllThroughTheDialog)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--emit") == 0) {
        const int n = std::atoi(argv[2]);
        for (int i = 1; i <= n; ++i)
            std::printf("%s\n", OutputLine(i).c_str());
        return 0;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
