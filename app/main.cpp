// kovex: the KOVEX Light editor.
//
//   kovex [FILE]      opens FILE (when it is a regular file) in the editor
//   kovex --help      says this
//   kovex --version   prints the version of this build
#include "AppInfo.h"
#include "MainForm.h"
#include "app/core/ShellStrings.h"

#include "MDIChild.h"
#include "editor/view/SyntaxMemo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <sys/socket.h>
#include <unistd.h>

using namespace kvx;

namespace {

// A failure that escapes an event handler is shown and the program carries on; it must
// never unwind through Qt's event loop.
class TKovexApplication : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            Report(QString::fromUtf8(e.what()));
        } catch (...) {
            Report(QStringLiteral("An unknown error occurred."));
        }
        return false;
    }

  private:
    static void Report(const QString& text) {
        QMessageBox::critical(activeWindow(), QString::fromUtf8(kProductName), text);
    }
};

// SIGTERM, SIGINT and SIGHUP (the session ending, a kill, Ctrl+C in the terminal) are a
// request to close, as the window's close button is: changed documents are asked about
// rather than lost. The handler only writes a byte; the event loop does the rest.
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

void CloseOnSignals(TMainForm& form) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &form);
    QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
        form.close();
    });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (const int s : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(s, &sa, nullptr);
}

// With KVX_STARTUP_REPORT=FILE set, the program writes the caption of the document shown
// at start and the milliseconds from its start to the document's first paint into FILE:
// the start-up test and benchmark read it.
void ReportFirstPaint(TMainForm& form, const QElapsedTimer& clock) {
    const QByteArray report = qgetenv("KVX_STARTUP_REPORT");
    TMDIChild* child = form.ActiveChild();
    if (report.isEmpty() || !child)
        return;
    struct TPaintWatch : QObject {
        QPointer<TMDIChild> Child;
        QElapsedTimer Clock;
        QString File;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint && Child) {
                // After this paint has finished.
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        QFile out(File);
                        if (Child && out.open(QIODevice::WriteOnly | QIODevice::Truncate))
                            out.write((Child->DocumentName() + QLatin1Char('\t') +
                                       QString::number(Clock.nsecsElapsed() / 1e6, 'f', 1) +
                                       QLatin1Char('\n'))
                                          .toUtf8());
                        deleteLater();
                    },
                    Qt::QueuedConnection);
                watched->removeEventFilter(this);
            }
            return false;
        }
    };
    auto* watch = new TPaintWatch;
    watch->setParent(&form);
    watch->Child = child;
    watch->Clock = clock;
    watch->File = QFile::decodeName(report);
    child->SM->viewport()->installEventFilter(watch);
}

void Usage(FILE* to) {
    std::fprintf(to,
                 "usage: kovex [FILE]\n"
                 "       kovex --help | --version\n"
                 "KOVEX Light, a source editor for assembler, C, Pascal, Basic, HTML and text.\n"
                 "FILE, when it names a regular file, is opened at start; further arguments\n"
                 "are ignored. Settings are kept in $XDG_CONFIG_HOME/kovex (~/.config/kovex).\n");
}

} // namespace

int main(int argc, char** argv) {
    // These two answer without a display.
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            Usage(stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "--version")) {
            std::printf("kovex %s\n", KVX_VERSION);
            return 0;
        }
    }
    QElapsedTimer clock;
    clock.start();
    TKovexApplication app(argc, argv);
    SetApplicationInfo();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kovex/kovex.png")));
    QStringList files = QApplication::arguments();
    files.removeFirst();
    if (!files.isEmpty() && files.first() == QLatin1String("--"))
        files.removeFirst();

    TMainForm form;
    form.ShowRestored();
    form.OpenCommandLine(files);
    CloseOnSignals(form);
    ReportFirstPaint(form, clock);
    return QApplication::exec();
}
