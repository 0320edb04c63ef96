// What the main window keeps between runs in kvxl.ini: its placement (per screen size),
// the font size, whether documents open maximized, and the recent files behind Reopen;
// and where its help page is.
#include "MainForm.h"

#include "MDIChild.h"
#include "app/core/IniFile.h"
#include "app/core/ShellStrings.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QScreen>
#include <QStyle>
#include <QUrl>

#include <vector>

namespace kvx {

namespace {

QRect PrimaryScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

std::vector<TRect> ScreenRects() {
    std::vector<TRect> rects;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect g = s->availableGeometry();
        rects.push_back({g.left(), g.top(), g.left() + g.width(), g.top() + g.height()});
    }
    return rects;
}

} // namespace

void TMainForm::ShowRestored() {
    const TIniFile ini = TIniFile::Load(PlacementIniFile());
    const QRect screen = PrimaryScreenSize();
    const TStoredPlacement stored = ReadPlacement(ini, screen.width(), screen.height());
    const std::vector<TRect> screens = ScreenRects();
    if (const std::optional<TRect> rect = RestorableRect(stored, screens)) {
        setGeometry(rect->Left, rect->Top, int(rect->Width()), int(rect->Height()));
    } else if (const QScreen* primary = QGuiApplication::primaryScreen()) {
        // The first start opens maximized; the size it comes back to when the user
        // restores it (and the size where nothing can maximize it) is three quarters of
        // the screen, centred, rather than a small box in a corner.
        const QRect area = primary->availableGeometry();
        const QSize size(std::max(area.width() * 3 / 4, width()),
                         std::max(area.height() * 3 / 4, height()));
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, area));
    }

    const TShellSettings settings = ReadShellSettings(ini);
    fontSizeText_ = QString::fromStdString(settings.FontSizeText);
    fsize_->setCurrentIndex(settings.FontIndex);
    maximizedText_ = QString::fromStdString(settings.MaximizedText);
    newWindowState_ = settings.DocumentsMaximized ? TShowState::Maximized : TShowState::Normal;

    recent_.Load(ini);
    RebuildReopenMenu();
    restored_ = true;

    switch (ShowStateFromCommand(stored.ShowCmd)) {
    case TShowState::Maximized:
        showMaximized();
        break;
    case TShowState::Minimized:
        showMinimized();
        break;
    case TShowState::Normal:
        showNormal();
        break;
    }
    UpdateMenuItems();
}

void TMainForm::SaveSettings() {
    if (!restored_)
        return;
    settingsSaved_ = true;
    // What is on disk stays apart from the keys written here.
    TIniFile ini = TIniFile::Load(PlacementIniFile());
    if (!ini.Writable())
        return;
    const QRect screen = PrimaryScreenSize();
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    TPlacement placement;
    placement.ShowCmd = ShowCommandFor(isMinimized()   ? TShowState::Minimized
                                       : isMaximized() ? TShowState::Maximized
                                                       : TShowState::Normal);
    placement.NormPos = {normal.left(), normal.top(), normal.left() + normal.width(),
                         normal.top() + normal.height()};
    WritePlacement(ini, placement, screen.width(), screen.height(), false);
    recent_.Store(ini);
    WriteShellSettings(ini, fontSizeText_.toStdString(), maximizedText_.toStdString());
    // A settings file that cannot be written costs only the settings; the documents were
    // looked after before this.
    ini.Save(PlacementIniFile());
}

void TMainForm::RebuildReopenMenu() {
    reopenMenu_->clear();
    const std::vector<std::string>& names = recent_.Names();
    for (size_t i = 0; i < names.size(); ++i) {
        const QString name = QString::fromStdString(names[i]);
        QAction* a = reopenMenu_->addAction(QString::fromStdString(RecentItemCaption(i, names[i])));
        a->setStatusTip(name);
        connect(a, &QAction::triggered, this, [this, name] { MRUClick(name); });
    }
    reopenMenu_->menuAction()->setEnabled(!names.empty());
}

QString TMainForm::HelpFile() {
    // Beside the program in the build tree, under share/kovex once installed.
    const QString dir = QApplication::applicationDirPath();
    for (const QString& candidate : {dir + QStringLiteral("/help/kovexlt.html"),
                                     dir + QStringLiteral("/../share/kovex/kovexlt.html")}) {
        const QFileInfo info(candidate);
        if (info.isFile())
            return info.canonicalFilePath();
    }
    return {};
}

void TMainForm::ShowHelp(int context) {
    const QString file = HelpFile();
    if (file.isEmpty()) {
        dialogs_.ShowError(
            this, QStringLiteral("The help page kovexlt.html was not found in %1/help or in "
                                 "%1/../share/kovex.")
                      .arg(QDir::toNativeSeparators(QApplication::applicationDirPath())));
        return;
    }
    QUrl url = QUrl::fromLocalFile(file);
    url.setFragment(QStringLiteral("ctx-%1").arg(context));
    if (!dialogs_.OpenUrl(url))
        dialogs_.ShowError(this, QStringLiteral("The help page %1 could not be opened.")
                                     .arg(QDir::toNativeSeparators(file)));
}

} // namespace kvx
