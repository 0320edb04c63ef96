// Shows the main window on the real display with several files open, for looking at it
// (screenshots under Xvfb): main_preview [--menu NAME] [--tile] [--results] FILE...
// --results fills the docked results panel with a few lines of tool output.
// NAME is the object name of a menu (File1, Edit1, Srch, Run1, Window1, Help1).
#include "app/AppInfo.h"
#include "app/MainForm.h"
#include "app/ResultsPanel.h"
#include "app/core/JumpTarget.h"

#include <QDockWidget>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kvx::SetApplicationInfo();
    kvx::TMainForm form;
    form.resize(1200, 760);
    form.show();
    QString menu;
    bool tile = false;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--menu") && i + 1 < args.size())
            menu = args[++i];
        else if (args[i] == QLatin1String("--tile"))
            tile = true;
        else if (args[i] == QLatin1String("--results")) {
            kvx::TResultsPanel* panel = form.ResultsPanel();
            panel->SetTitle(QStringLiteral("nasm -f elf32 hello.asm"));
            panel->AppendLine(QStringLiteral("$ nasm -f elf32 hello.asm"), kvx::TResultKind::Info);
            const QString error = QStringLiteral("hello.asm:12: error: invalid operand");
            panel->AppendLine(error, kvx::TResultKind::Error,
                              kvx::ParseToolOutputLine(error.toStdString()));
            panel->AppendLine(QStringLiteral("Exit code 1"), kvx::TResultKind::Info);
            form.ResultsDock()->show();
            form.resizeDocks({form.ResultsDock()}, {form.height() / 4}, Qt::Vertical);
        } else
            form.OpenDocument(args[i]);
    }
    if (tile)
        form.Action("WindowTileItem")->trigger();
    if (!menu.isEmpty()) {
        QTimer::singleShot(300, [&] {
            if (auto* m = form.findChild<QMenu*>(menu))
                form.menuBar()->setActiveAction(m->menuAction());
        });
    }
    return QApplication::exec();
}
