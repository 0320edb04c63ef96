// kovex-view: one file in the editor widget, in a plain window, in the language its name
// says. Until the main window exists this is how files are opened (./run.sh FILE), and
// scripts/screenshot.sh uses it to show changes to people by picture.
//
//   kovex-view [options] [FILE]
//     --language N      1 assembler, 2 C, 3 Pascal, 4 Basic, 5 HTML, 6 text
//     --font-size N     point size of the text
//     --size WxH        the window's size (900x600)
//     --select A,B      selection from offset A (anchor) to B (caret)
//     --top ROW         first row shown (0-based)
//     --line-numbers, --show-all, --focus-line, --no-gutter, --word-wrap
//     --screenshot OUT  save a picture of the window once it is painted and highlighted,
//                       then quit
#include "SyntaxMemo.h"
#include "editor/EdConsts.h"
#include "highlight/languages/Languages.h"

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>
#include <exception>

using namespace kvx;

namespace {

int Usage(FILE* to = stderr) {
    std::fprintf(to,
                 "usage: kovex-view [--language N] [--font-size N] [--size WxH] [--select A,B]\n"
                 "                  [--top ROW] [--line-numbers] [--show-all] [--focus-line]\n"
                 "                  [--no-gutter] [--word-wrap] [--screenshot OUT.png] [FILE]\n"
                 "Shows FILE in the editor widget, in the language of its extension (--language:\n"
                 "1 assembler, 2 C, 3 Pascal, 4 Basic, 5 HTML, 6 text). --select gives the anchor\n"
                 "and caret offsets; --screenshot saves a picture of the window once it is\n"
                 "painted and highlighted, then quits.\n");
    return to == stderr ? 2 : 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KOVEX Light"));
    const QStringList args = QApplication::arguments();
    QString file, screenshot;
    int language = 0, fontSize = 0, top = -1;
    QSize size(900, 600);
    TextOffset anchor = -1, caret = -1;
    TSyntaxMemoOptions include, exclude;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool more = i + 1 < args.size();
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            return Usage(stdout);
        } else if (a == QLatin1String("--language") && more) {
            language = args[++i].toInt();
        } else if (a == QLatin1String("--font-size") && more) {
            fontSize = args[++i].toInt();
        } else if (a == QLatin1String("--size") && more) {
            const QStringList wh = args[++i].split(QLatin1Char('x'));
            if (wh.size() != 2)
                return Usage();
            size = QSize(wh[0].toInt(), wh[1].toInt());
        } else if (a == QLatin1String("--select") && more) {
            const QStringList ab = args[++i].split(QLatin1Char(','));
            if (ab.size() != 2)
                return Usage();
            anchor = ab[0].toInt();
            caret = ab[1].toInt();
        } else if (a == QLatin1String("--top") && more) {
            top = args[++i].toInt();
        } else if (a == QLatin1String("--line-numbers")) {
            include.Include(smoLineNumbers);
        } else if (a == QLatin1String("--show-all")) {
            include.Include(smoShowAllChars);
        } else if (a == QLatin1String("--word-wrap")) {
            include.Include(smoWordWrap);
        } else if (a == QLatin1String("--no-gutter")) {
            exclude.Include(smoShowGutter);
        } else if (a == QLatin1String("--focus-line")) {
            include.Include(smoCount); // marks the focus line, below
        } else if (a == QLatin1String("--screenshot") && more) {
            screenshot = args[++i];
        } else if (a.startsWith(QLatin1String("--")) || !file.isEmpty()) {
            return Usage();
        } else {
            file = a;
        }
    }

    QMainWindow window;
    auto* editor = new TSyntaxMemo(&window);
    window.setCentralWidget(editor);
    window.resize(size);
    window.setWindowTitle(QStringLiteral("KOVEX Light - ") + (file.isEmpty()
                                                                  ? QStringLiteral("NONAME1")
                                                                  : QFileInfo(file).fileName()));
    // Shown first, so that the selection and the first row are placed in the window's own
    // size.
    window.show();
    window.activateWindow();
    editor->setFocus();
    QApplication::processEvents();
    try {
        editor->SetLanguage(
            language ? language : LanguageForFileName(QFileInfo(file).fileName().toStdString()));
        if (!file.isEmpty())
            editor->LoadFromFile(file);
        TCustomSyntaxMemo& memo = editor->Memo();
        if (fontSize > 0)
            editor->SetFontSize(fontSize);
        TSyntaxMemoOptions options = memo.Options();
        for (int o = 0; o < smoCount; ++o) {
            if (include.Has(TSyntaxMemoOption(o)))
                options.Include(TSyntaxMemoOption(o));
            if (exclude.Has(TSyntaxMemoOption(o)))
                options.Exclude(TSyntaxMemoOption(o));
        }
        memo.SetOptions(options);
        memo.SetShowFocusLine(include.Has(smoCount));
        if (anchor >= 0)
            memo.SetSelection(anchor, caret);
        if (top >= 0)
            memo.SetFirstVisibleLine(top);
        memo.ChangeNotification();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kovex-view: %s\n", e.what());
        return 1;
    }
    if (!screenshot.isEmpty()) {
        // Once the window is up, painted, and highlighted to the end.
        auto* poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            if (!window.isVisible() || editor->HighlightingPending())
                return;
            poll->stop();
            QApplication::processEvents();
            if (!window.grab().toImage().save(screenshot)) {
                std::fprintf(stderr, "kovex-view: cannot write %s\n", qPrintable(screenshot));
                QApplication::exit(1);
                return;
            }
            QApplication::quit();
        });
        poll->start(300);
    }
    return QApplication::exec();
}
