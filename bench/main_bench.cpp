// The main window on the offscreen platform:
//   - the kovex program started with a 1 MB assembler file until the document's first
//     paint (measured from outside, process start to the program's report, and inside,
//     from main());
//   - File > Open of a 50 MB assembler file until the first painted page, beside the
//     editor widget alone loading the same file;
//   - the memory of ten 10 MB documents open at once, against their text size.
//
//     bench_main            (writes its files under $TMPDIR or /tmp and removes them)
#include "AsmSource.h"
#include "BenchFiles.h"
#include "app/MDIChild.h"
#include "app/MainForm.h"
#include "editor/view/SyntaxMemo.h"

#include <QApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <benchmark/benchmark.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

namespace fs = std::filesystem;
using kvx::bench::Clock;
using kvx::bench::Folder;
using kvx::bench::Seconds;

fs::path AsmFile(const std::string& name, size_t bytes) {
    fs::path p = Folder() / name;
    if (!fs::exists(p)) {
        kvx::bench::TAsmStyle style;
        style.Break = "\n";
        std::ofstream(p, std::ios::binary) << kvx::bench::AsmSource(bytes, style);
    }
    return p;
}

void PaintPending() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// Settings of their own, so a run neither reads nor changes the user's.
void PrivateConfig() {
    static const fs::path config = Folder() / "config";
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.string()));
}

// ---- Program start to the first painted document ---------------------------------------

void BM_StartToFirstPaint(benchmark::State& state) {
    const fs::path file = AsmFile("start.asm", 1000 * 1000);
    const fs::path report = Folder() / "report";
    double inside = 0;
    for (auto _ : state) {
        fs::remove(report);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"),
                   QString::fromStdString((Folder() / "config").string()));
        env.insert(QStringLiteral("KVX_STARTUP_REPORT"), QString::fromStdString(report.string()));
        p.setProcessEnvironment(env);
        const auto t0 = Clock::now();
        p.start(QStringLiteral(KVX_KOVEX), {QString::fromStdString(file.string())});
        std::string text;
        while (text.find('\n') == std::string::npos) {
            QThread::usleep(200);
            std::ifstream in(report);
            std::getline(in, text, '\0');
            if (Clock::now() - t0 > std::chrono::seconds(20)) {
                state.SkipWithError("kovex did not report its first paint");
                break;
            }
        }
        state.SetIterationTime(Seconds(t0, Clock::now()));
        inside += std::stod(text.substr(text.find('\t') + 1));
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        p.waitForFinished(10000);
    }
    state.counters["from_main_ms"] = inside / double(state.iterations());
}
BENCHMARK(BM_StartToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// ---- File > Open of 50 MB, beside the widget alone --------------------------------------

void BM_OpenCommandToFirstPaint(benchmark::State& state) {
    PrivateConfig();
    const QString path = QString::fromStdString(AsmFile("big.asm", 50 * 1000 * 1000).string());
    for (auto _ : state) {
        auto form = std::make_unique<kvx::TMainForm>();
        form->Dialogs().OpenFileName = [&](QWidget*, const QString&, const QString&,
                                           const QStringList&) { return path; };
        form->resize(1200, 800);
        form->show();
        PaintPending();
        const auto t0 = Clock::now();
        form->Action("FileOpenItem")->trigger();
        kvx::TMDIChild* child = form->ActiveChild();
        child->SM->viewport()->repaint();
        state.SetIterationTime(Seconds(t0, Clock::now()));
        child->SetCloseAnswered(true);
        form->close();
    }
}
BENCHMARK(BM_OpenCommandToFirstPaint)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void BM_WidgetAloneToFirstPaint(benchmark::State& state) {
    const QString path = QString::fromStdString(AsmFile("big.asm", 50 * 1000 * 1000).string());
    for (auto _ : state) {
        auto w = std::make_unique<kvx::TSyntaxMemo>();
        w->resize(900, 600);
        w->show();
        w->SetLanguage(1);
        PaintPending();
        const auto t0 = Clock::now();
        w->LoadFromFile(path);
        w->viewport()->repaint();
        state.SetIterationTime(Seconds(t0, Clock::now()));
    }
}
BENCHMARK(BM_WidgetAloneToFirstPaint)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// ---- Ten 10 MB documents ------------------------------------------------------------------

long ResidentBytes() {
    std::ifstream in("/proc/self/statm");
    long pages = 0, resident = 0;
    in >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

void BM_TenDocumentsMemory(benchmark::State& state) {
    PrivateConfig();
    for (auto _ : state) {
        auto form = std::make_unique<kvx::TMainForm>();
        form->resize(1200, 800);
        form->show();
        PaintPending();
        const long before = ResidentBytes();
        size_t text = 0;
        for (int i = 0; i < 10; ++i) {
            const fs::path f = AsmFile("ten" + std::to_string(i) + ".asm", 10 * 1000 * 1000);
            text += fs::file_size(f);
            form->OpenDocument(QString::fromStdString(f.string()));
            PaintPending();
        }
        // Highlighting runs in the background; memory is counted once it is done.
        for (kvx::TMDIChild* child : form->Children())
            while (child->SM->HighlightingPending())
                QApplication::processEvents();
        const long after = ResidentBytes();
        state.counters["text_MB"] = double(text) / kvx::bench::kMB;
        state.counters["resident_MB"] = double(after - before) / kvx::bench::kMB;
        state.counters["bytes_per_text_byte"] = double(after - before) / double(text);
        for (kvx::TMDIChild* child : form->Children())
            child->SetCloseAnswered(true);
        form->close();
    }
}
BENCHMARK(BM_TenDocumentsMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return kvx::bench::RunBenchmarks(argc, argv);
}
