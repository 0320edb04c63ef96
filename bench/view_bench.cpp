// The editor widget on the offscreen platform, beside QScintilla on the same generated files
// when QScintilla is installed:
//   - opening a 50 MB assembler file until its first paint is finished;
//   - one keystroke in the middle of a 1,000,000-row C file, from the key event to the
//     finished repaint;
//   - a full repaint of a highlighted C window 120 columns wide and 50 rows high.
//
//     bench_view            (writes its files under $TMPDIR or /tmp and removes them)
#include "AsmSource.h"
#include "BenchFiles.h"
#include "CSource.h"
#include "editor/view/SyntaxMemo.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QScrollBar>

#ifdef KVX_HAVE_QSCINTILLA
#include <Qsci/qscilexercpp.h>
#include <Qsci/qsciscintilla.h>
#endif

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace {

namespace fs = std::filesystem;
using kvx::bench::Clock;
using kvx::bench::Folder;
using kvx::bench::Seconds;

const QString kFont = QStringLiteral("DejaVu Sans Mono");
constexpr int kFontSize = 10;

const fs::path& AsmFile() {
    static const fs::path f = [] {
        fs::path p = Folder() / "big.asm";
        kvx::bench::TAsmStyle style;
        style.Break = "\n";
        std::ofstream(p, std::ios::binary)
            << kvx::bench::AsmSource(size_t(50) * 1000 * 1000, style);
        return p;
    }();
    return f;
}

const fs::path& MillionRowC() {
    static const fs::path f = [] {
        fs::path p = Folder() / "million.c";
        std::ofstream(p, std::ios::binary) << kvx::bench::CSourceLines(1000000);
        return p;
    }();
    return f;
}

// Paints whatever the widgets have asked to be painted, now.
void PaintPending() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void Press(QWidget* w, int key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}

std::unique_ptr<kvx::TSyntaxMemo> ShownEditor(int language, QSize size = {1200, 800}) {
    auto w = std::make_unique<kvx::TSyntaxMemo>();
    w->resize(size);
    w->show();
    w->setFocus();
    w->SetLanguage(language);
    w->SetEditorFont(kFont, kFontSize);
    PaintPending();
    return w;
}

// ---- Opening a 50 MB file --------------------------------------------------------------

void BM_OpenToFirstPaint_Kovex(benchmark::State& state) {
    const QString path = QString::fromStdString(AsmFile().string());
    for (auto _ : state) {
        auto w = ShownEditor(1);
        const auto t0 = Clock::now();
        w->LoadFromFile(path);
        w->viewport()->repaint();
        state.SetIterationTime(Seconds(t0, Clock::now()));
        state.counters["highlighted_kB"] = double(w->Memo().HighlightedTo()) / 1000;
    }
}
BENCHMARK(BM_OpenToFirstPaint_Kovex)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// ---- One keystroke in a 1,000,000-row C file --------------------------------------------

// Types a character and takes it back again, alternately, at `at`: every key is measured.
template <class W> void TypeAndTakeBack(benchmark::State& state, W* w) {
    bool typed = false;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (typed)
            Press(w, Qt::Key_Backspace, {});
        else
            Press(w, Qt::Key_X, QStringLiteral("x"));
        PaintPending();
        state.SetIterationTime(Seconds(t0, Clock::now()));
        typed = !typed;
    }
}

std::unique_ptr<kvx::TSyntaxMemo> MillionRowEditor() {
    auto w = ShownEditor(2);
    w->LoadFromFile(QString::fromStdString(MillionRowC().string()));
    // The background's work is done before anything is measured.
    w->Memo().HighlightTo(w->Memo().TextLength());
    return w;
}

// In the middle of the file, and (beyond the target) at the end of its longest row, where a
// key changes the horizontal scroll range.
void BM_Keystroke_Kovex(benchmark::State& state) {
    static const auto w = MillionRowEditor();
    kvx::TCustomSyntaxMemo& memo = w->Memo();
    kvx::TTextStore& s = memo.Store();
    kvx::TextOffset at = s.RowByIndex(s.RowCount() / 2).Offset + 4;
    if (state.range(0) == 1) {
        kvx::TRowFinger f{s.FirstRow(), 0, 0};
        while (f.Row->Length() < s.LongestRow()) {
            f.Offset += f.Row->Length();
            f.Row = f.Row->Next();
        }
        at = f.Offset + f.Row->ContentLength();
    }
    memo.SetSelection(at, at);
    memo.ChangeNotification();
    PaintPending();
    TypeAndTakeBack(state, w.get());
    state.SetLabel(std::to_string(s.RowCount()) + " rows" +
                   (state.range(0) == 1 ? ", longest row" : ""));
}
BENCHMARK(BM_Keystroke_Kovex)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMicrosecond);

// ---- A full repaint of 120 x 50 ---------------------------------------------------------

// The size that shows 120 columns and 50 rows of text with the gutter, margin and bars.
QSize WindowFor(kvx::TSyntaxMemo& w) {
    const int frame = 2 * w.frameWidth();
    return {w.Memo().TextLeft() + 120 * w.CharWidth() + w.verticalScrollBar()->sizeHint().width() +
                frame,
            50 * w.RowHeight() + w.horizontalScrollBar()->sizeHint().height() + frame};
}

void BM_FullRepaint_Kovex(benchmark::State& state) {
    auto w = ShownEditor(2);
    w->Memo().SetWholeText(kvx::bench::CSourceLines(5000));
    w->Memo().SetFirstVisibleLine(1000);
    w->Memo().ChangeNotification();
    w->resize(WindowFor(*w));
    PaintPending();
    for (auto _ : state) {
        const auto t0 = Clock::now();
        w->viewport()->repaint();
        state.SetIterationTime(Seconds(t0, Clock::now()));
    }
    state.SetLabel(std::to_string(w->Memo().Platform().VisibleColumns()) + "x" +
                   std::to_string(w->Memo().Platform().VisibleRows()));
}
BENCHMARK(BM_FullRepaint_Kovex)->UseManualTime()->Unit(benchmark::kMicrosecond);

#ifdef KVX_HAVE_QSCINTILLA

std::unique_ptr<QsciScintilla> ShownScintilla(bool lexer, QSize size = {1200, 800}) {
    auto s = std::make_unique<QsciScintilla>();
    QFont font(kFont, kFontSize);
    s->setFont(font);
    if (lexer) {
        auto* cpp = new QsciLexerCPP(s.get());
        cpp->setDefaultFont(font);
        cpp->setFont(font);
        s->setLexer(cpp);
    }
    s->setMarginLineNumbers(0, false);
    s->setMarginWidth(0, 34);
    s->resize(size);
    s->show();
    s->setFocus();
    PaintPending();
    return s;
}

void BM_OpenToFirstPaint_QScintilla(benchmark::State& state) {
    const QString path = QString::fromStdString(AsmFile().string());
    for (auto _ : state) {
        auto s = ShownScintilla(false);
        const auto t0 = Clock::now();
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            state.SkipWithError("cannot read the file");
        s->setText(QString::fromUtf8(f.readAll()));
        s->viewport()->repaint();
        state.SetIterationTime(Seconds(t0, Clock::now()));
    }
    state.SetLabel("no lexer: QScintilla has none for assembler");
}
BENCHMARK(BM_OpenToFirstPaint_QScintilla)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_Keystroke_QScintilla(benchmark::State& state) {
    auto s = ShownScintilla(true);
    QFile f(QString::fromStdString(MillionRowC().string()));
    if (!f.open(QIODevice::ReadOnly))
        state.SkipWithError("cannot read the file");
    s->setText(QString::fromUtf8(f.readAll()));
    // Styled to the end before anything is measured, as the editor's text is.
    s->SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0L, -1L);
    const int line = s->lines() / 2;
    s->setCursorPosition(line, 4);
    s->ensureLineVisible(line);
    PaintPending();
    TypeAndTakeBack(state, s.get());
}
BENCHMARK(BM_Keystroke_QScintilla)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_FullRepaint_QScintilla(benchmark::State& state) {
    // The same window as the editor's: the same text area and rows.
    auto probe = ShownEditor(2);
    const QSize size = WindowFor(*probe);
    probe.reset();
    auto s = ShownScintilla(true, size);
    s->setText(QString::fromStdString(kvx::bench::CSourceLines(5000)));
    s->verticalScrollBar()->setValue(1000);
    PaintPending();
    for (auto _ : state) {
        const auto t0 = Clock::now();
        s->viewport()->repaint();
        state.SetIterationTime(Seconds(t0, Clock::now()));
    }
}
BENCHMARK(BM_FullRepaint_QScintilla)->UseManualTime()->Unit(benchmark::kMicrosecond);

#endif

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return kvx::bench::RunBenchmarks(argc, argv);
}
