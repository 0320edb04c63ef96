// Shows the main window on the real display with several files open, for looking at it
// (screenshots under Xvfb): main_preview [--menu NAME] [--tile] FILE...
// NAME is the object name of a menu (File1, Edit1, Srch, Run1, Window1, Help1).
#include "app/AppInfo.h"
#include "app/MainForm.h"

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
        else
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
