#include "RunMenu.h"

#include <QAction>
#include <QMenu>

namespace kvx {
namespace {

QString ActionName(int n) {
    return QStringLiteral("T") + QString::number(n);
}

// A tool name is the user's text: an "&" in it is shown, not taken as an accelerator.
QString MenuCaption(const std::string& caption) {
    return QString::fromStdString(caption).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

QAction* RunMenuAction(const QMenu& menu, int n) {
    for (QAction* a : menu.actions())
        if (a->objectName() == ActionName(n))
            return a;
    return nullptr;
}

void BuildRunMenu(QMenu& menu, const TToolTable& tools, bool documentOpen,
                  const std::function<void(int tool)>& run) {
    menu.menuAction()->setEnabled(documentOpen);
    for (int n = 1; n <= TToolTable::kCount; ++n) {
        QAction* action = RunMenuAction(menu, n);
        if (!action) {
            action = menu.addAction(QString());
            action->setObjectName(ActionName(n));
            action->setShortcut(
                QKeySequence(QString::fromUtf8(ToolShortcut(n)), QKeySequence::PortableText));
            action->setData(n);
        }
        action->setText(MenuCaption(tools.Caption(n)));
        action->setEnabled(documentOpen && tools.IsEnabled(n));
        QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
        QObject::connect(action, &QAction::triggered, action, [run, n] {
            if (run)
                run(n);
        });
    }
}

bool RunButtonEnabled(const TToolTable& tools, bool documentOpen) {
    return documentOpen && tools.IsEnabled(1);
}

} // namespace kvx
