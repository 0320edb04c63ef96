// kovex: the KOVEX Light editor.
//
//   kovex [FILE]      opens FILE (when it is a regular file) in the editor
//   kovex --help      says this
//   kovex --version   prints the version of this build
#include "AppInfo.h"
#include "MainForm.h"
#include "app/core/ShellStrings.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstring>
#include <exception>

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
    return QApplication::exec();
}
