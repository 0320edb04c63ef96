// The main window's construction, its menus, toolbar and status bar, and the rules that
// enable its commands. The commands themselves are in MainFormCommands.cpp, the stored
// settings in MainFormSettings.cpp.
#include "MainForm.h"

#include "AsciiTable.h"
#include "MDIChild.h"
#include "ResultsPanel.h"
#include "RunMenu.h"
#include "ToolRunner.h"
#include "app/core/ShellStrings.h"
#include "editor/view/SyntaxMemo.h"
#include "highlight/languages/Languages.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDockWidget>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMimeData>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kvx {

namespace {

QString Text(const char* s) {
    return QString::fromUtf8(s);
}

// The commands that need a document, enabled and disabled together as documents come
// and go.
constexpr const char* kDocumentCommands[] = {
    "FileCloseItem",
    "CloseAll1",
    "FileSaveItem",
    "FileSaveAsItem",
    "CutItem",
    "CopyItem",
    "PasteItem",
    "Delete1",
    "SelectAll1",
    "WindowCascadeItem",
    "WindowTileItem",
    "WindowArrangeItem",
    "WindowMinimizeItem",
    "Zoom1",
    "Next1",
    "Prev1",
    "Font1",
    "Font2",
};

// The search dialogs are not part of this window yet: their commands stay disabled until
// they are, rather than pretending to search. This is the one place that says so.
constexpr bool kSearchDialogsAvailable = false;
// Nor is printing from the document window.
constexpr bool kPrintAvailable = false;

} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent), dialogs_(TShellDialogs::Native()) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(Text(kMainCaption));
    resize(609, 373);

    mdi_ = new QMdiArea(this);
    mdi_->setObjectName(QStringLiteral("Workspace"));
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    connect(mdi_, &QMdiArea::subWindowActivated, this, &TMainForm::SubWindowActivated);

    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateResultsPanel();

    ascii_ = new Tascii(this);
    ascii_->hide();

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    // The main window's own: the dialogs answer F1 with their own pages.
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, &TMainForm::ContextHelp);

    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &TMainForm::UpdatePasteEnabled);

    tools_ = LoadTools(ToolsIniFile());
    UpdateMenuItems();
}

TMainForm::~TMainForm() {
    // A window closed without its close event (the program ends otherwise) still keeps
    // what the user set.
    if (restored_ && !settingsSaved_)
        SaveSettings();
    disconnect(mdi_, nullptr, this, nullptr);
    disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
}

QAction* TMainForm::AddAction(QMenu* menu, const char* name, const char* caption, QKeySequence key,
                              const char* hint, void (TMainForm::*slot)()) {
    auto* action = new QAction(Text(caption), this);
    action->setObjectName(Text(name));
    if (!key.isEmpty())
        action->setShortcut(key);
    if (hint)
        action->setStatusTip(Text(hint));
    if (slot)
        connect(action, &QAction::triggered, this, slot);
    if (menu)
        menu->addAction(action);
    return action;
}

void TMainForm::CreateMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    fileMenu_ = bar->addMenu(Text("&File"));
    fileMenu_->setObjectName(QStringLiteral("File1"));
    fileMenu_->menuAction()->setStatusTip(Text("File related commands"));
    AddAction(fileMenu_, "FileNewItem", "&New", {}, "Create a new file",
              &TMainForm::FileNewItemClick);
    AddAction(fileMenu_, "FileOpenItem", "&Open", QKeySequence(Qt::Key_F2), "Open an existing file",
              &TMainForm::FileOpenItemClick);
    reopenMenu_ = fileMenu_->addMenu(Text("Reopen"));
    reopenMenu_->setObjectName(QStringLiteral("Reopen1"));
    reopenMenu_->menuAction()->setObjectName(QStringLiteral("Reopen1"));
    reopenMenu_->menuAction()->setStatusTip(Text("Reopen used files"));
    AddAction(fileMenu_, "FileSaveItem", "&Save", QKeySequence(Qt::Key_F3), "Save current file",
              &TMainForm::FileSaveItemClick);
    AddAction(fileMenu_, "FileSaveAsItem", "Save &As...", {}, "Save current file as...",
              &TMainForm::FileSaveAsItemClick);
    AddAction(fileMenu_, "FileCloseItem", "&Close", {}, "Close current file",
              &TMainForm::FileCloseItemClick);
    AddAction(fileMenu_, "CloseAll1", "Close All", {}, "Close All editor files",
              &TMainForm::CloseAll1Click);
    fileMenu_->addSeparator();
    AddAction(fileMenu_, "PrintSetup1", "Printer Setup", {}, "Printer Setup",
              &TMainForm::PrintSetup1Click);
    AddAction(fileMenu_, "Print1", "Print", QKeySequence(Qt::CTRL | Qt::Key_P),
              "Print Current File", nullptr);
    fileMenu_->addSeparator();
    AddAction(fileMenu_, "FileExitItem", "E&xit", QKeySequence(Qt::ALT | Qt::Key_X),
              "Exit the application", &TMainForm::FileExitItemClick);

    editMenu_ = bar->addMenu(Text("&Edit"));
    editMenu_->setObjectName(QStringLiteral("Edit1"));
    connect(editMenu_, &QMenu::aboutToShow, this, &TMainForm::Edit1Popup);
    AddAction(editMenu_, "Undo1", "Undo", QKeySequence(Qt::ALT | Qt::Key_Backspace), "Undo changes",
              &TMainForm::Undo1Click);
    AddAction(editMenu_, "Redo1", "Redo", QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Backspace),
              "Redo changes", &TMainForm::Redo1Click);
    editMenu_->addSeparator();
    AddAction(editMenu_, "CutItem", "Cu&t", QKeySequence(Qt::SHIFT | Qt::Key_Delete),
              "Cut to clipboard", &TMainForm::CutItemClick);
    AddAction(editMenu_, "CopyItem", "&Copy", QKeySequence(Qt::CTRL | Qt::Key_Insert),
              "Copy to clipboard", &TMainForm::CopyItemClick);
    AddAction(editMenu_, "PasteItem", "&Paste", QKeySequence(Qt::SHIFT | Qt::Key_Insert),
              "Paste from clipboard", &TMainForm::PasteItemClick);
    AddAction(editMenu_, "Delete1", "Delete", QKeySequence(Qt::CTRL | Qt::Key_Delete),
              "Delete selection", &TMainForm::Delete1Click);
    AddAction(editMenu_, "SelectAll1", "Select All", QKeySequence(Qt::CTRL | Qt::Key_A),
              "Select All text", &TMainForm::SelectAll1Click);

    searchMenu_ = bar->addMenu(Text("&Search"));
    searchMenu_->setObjectName(QStringLiteral("Srch"));
    AddAction(searchMenu_, "Find1", "Find", QKeySequence(Qt::CTRL | Qt::Key_F),
              "Find in current file", nullptr);
    AddAction(searchMenu_, "Repla1", "Replace", QKeySequence(Qt::CTRL | Qt::Key_R),
              "Find and Replace", nullptr);
    AddAction(searchMenu_, "FindNext1", "Find Next", QKeySequence(Qt::CTRL | Qt::Key_L),
              "Find Next", nullptr);
    searchMenu_->addSeparator();
    AddAction(searchMenu_, "FindinFiles1", "Find in Files", {}, "Grep", nullptr)->setEnabled(false);
    searchMenu_->addSeparator();
    AddAction(searchMenu_, "Goto1", "Goto", QKeySequence(Qt::CTRL | Qt::Key_G), "Goto Line N",
              &TMainForm::Goto1Click);

    runMenu_ = bar->addMenu(Text("&Run"));
    runMenu_->setObjectName(QStringLiteral("Run1"));
    runMenu_->menuAction()->setObjectName(QStringLiteral("Run1"));

    windowMenu_ = bar->addMenu(Text("&Window"));
    windowMenu_->setObjectName(QStringLiteral("Window1"));
    windowMenu_->menuAction()->setStatusTip(
        Text("Window related commands such as Tile and Cascade"));
    connect(windowMenu_, &QMenu::aboutToShow, this, &TMainForm::Window1Popup);
    AddAction(windowMenu_, "Font1", "Font+", QKeySequence(Qt::CTRL | Qt::Key_BracketRight),
              "Increase Font Size", &TMainForm::Font1Click);
    AddAction(windowMenu_, "Font2", "Font-", QKeySequence(Qt::CTRL | Qt::Key_BracketLeft),
              "Decrease Font Size", &TMainForm::Font2Click);
    windowMenu_->addSeparator();
    AddAction(windowMenu_, "WindowCascadeItem", "&Cascade", {}, "Arrange windows to overlap",
              &TMainForm::WindowCascadeItemClick);
    AddAction(windowMenu_, "WindowTileItem", "&Tile", {}, "Arrange windows without overlap",
              &TMainForm::WindowTileItemClick);
    AddAction(windowMenu_, "WindowArrangeItem", "&Arrange Icons", {},
              "Arrange window icons at bottom of main window", &TMainForm::WindowArrangeItemClick);
    AddAction(windowMenu_, "WindowMinimizeItem", "&Minimize All", {}, "Minimize all windows",
              &TMainForm::WindowMinimizeItemClick);
    windowMenu_->addSeparator();
    AddAction(windowMenu_, "Zoom1", "&Zoom", QKeySequence(Qt::Key_F5), "Zoom Window",
              &TMainForm::Zoom1Click);
    AddAction(windowMenu_, "Next1", "&Next", QKeySequence(Qt::Key_F6), "Next Window",
              &TMainForm::Next1Click);
    AddAction(windowMenu_, "Prev1", "&Prev", QKeySequence(Qt::SHIFT | Qt::Key_F6),
              "Previous Window", &TMainForm::Prev1Click);

    systemMenu_ = bar->addMenu(Text("Sys&tem"));
    systemMenu_->setObjectName(QStringLiteral("Help1"));
    systemMenu_->menuAction()->setStatusTip(Text("Help topics"));
    AddAction(systemMenu_, "Help2", "&Help", {}, "Help file", &TMainForm::Help2Click);
    AddAction(systemMenu_, "Options1", "&Options", QKeySequence(Qt::CTRL | Qt::Key_O),
              "Program Options", &TMainForm::Options1Click);
    systemMenu_->addSeparator();
    AddAction(systemMenu_, "Calculator1", "Calculator",
              QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C), nullptr, &TMainForm::Calculator1Click);
    AddAction(systemMenu_, "ASCIITable1", "ASCII Table",
              QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_I), nullptr, &TMainForm::ASCIITable1Click);
    systemMenu_->addSeparator();
    AddAction(systemMenu_, "HelpAboutItem", "&About", {}, "About", &TMainForm::HelpAboutItemClick);
}

void TMainForm::CreateToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("SpeedPanel"));
    bar->setObjectName(QStringLiteral("SpeedPanel"));
    bar->setMovable(false);
    bar->setFloatable(false);
    const auto button = [&](const char* name, const char* tip, QStyle::StandardPixmap icon,
                            const char* action) {
        auto* b = new QToolButton(bar);
        b->setObjectName(Text(name));
        b->setAutoRaise(true);
        b->setToolTip(Text(tip));
        b->setAccessibleName(Text(tip));
        b->setIcon(style()->standardIcon(icon));
        if (action) {
            QAction* a = Action(action);
            connect(b, &QToolButton::clicked, a, &QAction::trigger);
        }
        bar->addWidget(b);
        return b;
    };
    button("NewBtn", "New", QStyle::SP_FileIcon, "FileNewItem");
    button("OpenBtn", "Open", QStyle::SP_DialogOpenButton, "FileOpenItem");
    bar->addSeparator();
    button("SaveBtn", "Save", QStyle::SP_DialogSaveButton, "FileSaveItem");
    bar->addSeparator();
    // The clipboard buttons have no stock icons; their names say what they do.
    const auto textButton = [&](const char* name, const char* tip, const char* action) {
        QToolButton* b = button(name, tip, QStyle::SP_CustomBase, action);
        b->setIcon({});
        b->setText(Text(tip));
        return b;
    };
    textButton("CutBtn", "Cut", "CutItem");
    textButton("CopyBtn", "Copy", "CopyItem");
    textButton("PasteBtn", "Paste", "PasteItem");
    bar->addSeparator();
    textButton("FndBtn", "Find", "Find1");

    parser_ = new QComboBox(bar);
    parser_->setObjectName(QStringLiteral("Parser"));
    parser_->setToolTip(Text("Select Syntax"));
    parser_->setAccessibleName(Text("Select Syntax"));
    for (int n = 1; n <= kLanguageCount; ++n)
        parser_->addItem(
            QString::fromUtf8(LanguageCaption(n).data(), qsizetype(LanguageCaption(n).size())));
    parser_->setCurrentIndex(0);
    connect(parser_, &QComboBox::activated, this, &TMainForm::ParserChange);
    bar->addWidget(parser_);

    fsize_ = new QComboBox(bar);
    fsize_->setObjectName(QStringLiteral("FSize"));
    fsize_->setToolTip(Text("Font Size"));
    fsize_->setAccessibleName(Text("Font Size"));
    for (int i = 0; i < kFontSizeCount; ++i)
        fsize_->addItem(QString::number(FontSizeOfIndex(i)));
    fsize_->setCurrentIndex(0);
    connect(fsize_, &QComboBox::activated, this, [this] { FSizeChange(); });
    bar->addWidget(fsize_);

    // The spin: two small arrows, up as Font+ and down as Font-.
    auto* spin = new QWidget(bar);
    spin->setObjectName(QStringLiteral("FSpin"));
    auto* spinLayout = new QVBoxLayout(spin);
    spinLayout->setContentsMargins(0, 0, 0, 0);
    spinLayout->setSpacing(0);
    for (const bool up : {true, false}) {
        auto* arrow = new QToolButton(spin);
        arrow->setObjectName(up ? QStringLiteral("FSpinUp") : QStringLiteral("FSpinDown"));
        arrow->setArrowType(up ? Qt::UpArrow : Qt::DownArrow);
        arrow->setAutoRaise(true);
        arrow->setToolTip(Text("Font Size"));
        arrow->setAccessibleName(up ? Text("Font Size up") : Text("Font Size down"));
        arrow->setFixedHeight(fsize_->sizeHint().height() / 2);
        connect(arrow, &QToolButton::clicked, this,
                up ? &TMainForm::Font1Click : &TMainForm::Font2Click);
        spinLayout->addWidget(arrow);
    }
    bar->addWidget(spin);

    runBtn_ = button("RunBtn", "Compile", QStyle::SP_MediaPlay, nullptr);
    connect(runBtn_, &QToolButton::clicked, this, [this] { RunTool(1); });
}

void TMainForm::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(true);
    // Panels of 50 pixels, or what their widest text needs in this font and scale, the
    // last one taking the rest.
    const QFontMetrics fm(bar->font());
    const int widths[] = {50, fm.horizontalAdvance(QStringLiteral("0000:0000")) + 12,
                          std::max(50, fm.horizontalAdvance(Text(kStatusModified)) + 12),
                          std::max(50, fm.horizontalAdvance(Text(kStatusOverwrite)) + 12), 0};
    for (int i = 0; i < kStatusPanels; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (widths[i])
            label->setMinimumWidth(std::max(50, widths[i]));
        bar->addWidget(label, i == kStatusPanels - 1 ? 1 : 0);
        panels_[size_t(i)] = label;
    }
}

void TMainForm::CreateResultsPanel() {
    resultsDock_ = new QDockWidget(Text("Results"), this);
    resultsDock_->setObjectName(QStringLiteral("ResultsDock"));
    resultsDock_->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);
    results_ = new TResultsPanel(resultsDock_);
    resultsDock_->setWidget(results_);
    addDockWidget(Qt::BottomDockWidgetArea, resultsDock_);
    resultsDock_->hide();
    runner_ = new TToolRunner(results_, this);
    runner_->SetShowStatus([this](const QString& text) { SetStatus(4, text); });
    runner_->SetShowError([this](const QString& text) { dialogs_.ShowError(this, text); });
    runner_->SetOpenUrl([this](const QUrl& url) { return dialogs_.OpenUrl(url); });
    connect(results_, &TResultsPanel::jumpRequested, this,
            [this](const QString& file, int line, int column, int length) {
                JumpTo(file, line, column, length);
            });
    connect(results_, &TResultsPanel::stopRequested, runner_, &TToolRunner::Stop);
}

QAction* TMainForm::Action(const char* name) const {
    return findChild<QAction*>(Text(name), Qt::FindDirectChildrenOnly);
}

QString TMainForm::StatusText(int panel) const {
    return panel >= 0 && panel < kStatusPanels ? panels_[size_t(panel)]->text() : QString();
}

void TMainForm::SetStatus(int panel, const QString& text) {
    if (panel >= 0 && panel < kStatusPanels)
        panels_[size_t(panel)]->setText(text);
}

TMDIChild* TMainForm::ActiveChild() const {
    // The current window, not the active one: while a dialog or the ASCII table has the
    // focus no subwindow is active, and their commands still act on the document.
    return qobject_cast<TMDIChild*>(mdi_->currentSubWindow());
}

QList<TMDIChild*> TMainForm::Children() const {
    QList<TMDIChild*> list;
    for (QMdiSubWindow* w : mdi_->subWindowList(QMdiArea::CreationOrder))
        if (auto* child = qobject_cast<TMDIChild*>(w))
            list << child;
    return list;
}

void TMainForm::UpdateMenuItems() {
    const bool any = !Children().isEmpty();
    for (const char* name : kDocumentCommands)
        Action(name)->setEnabled(any);
    Action("Print1")->setEnabled(any && kPrintAvailable);
    for (const char* name : {"Find1", "Repla1", "FindNext1"})
        Action(name)->setEnabled(any && kSearchDialogsAvailable);
    for (const char* name : {"SaveBtn", "CutBtn", "CopyBtn", "PasteBtn"})
        findChild<QToolButton*>(Text(name))->setEnabled(any);
    findChild<QToolButton*>(QStringLiteral("FndBtn"))->setEnabled(any && kSearchDialogsAvailable);
    if (!any) {
        Action("Undo1")->setEnabled(false);
        Action("Redo1")->setEnabled(false);
    }
    reopenMenu_->menuAction()->setEnabled(!recent_.Empty());
    UpdateToolMenu();
}

void TMainForm::UpdateToolMenu() {
    const bool any = !Children().isEmpty();
    BuildRunMenu(*runMenu_, tools_, any, [this](int tool) { RunTool(tool); });
    runBtn_->setEnabled(RunButtonEnabled(tools_, any));
}

void TMainForm::UpdateStatusBar(TMDIChild* sender, unsigned changeBits) {
    if (!sender || sender != ActiveChild()) {
        if (!ActiveChild())
            for (int i = 1; i < kStatusPanels; ++i)
                SetStatus(i, {});
        return;
    }
    TCustomSyntaxMemo& memo = sender->SM->Memo();
    const bool selection = memo.SelLength() != 0;
    for (const char* name : {"CopyItem", "CutItem", "Delete1"})
        Action(name)->setEnabled(selection);
    for (const char* name : {"CopyBtn", "CutBtn"})
        findChild<QToolButton*>(Text(name))->setEnabled(selection);
    UpdatePasteEnabled();
    SetStatus(2, sender->SM->Modified() ? Text(kStatusModified) : QString());
    SetStatus(3, memo.InsertMode() ? Text(kStatusInsert) : Text(kStatusOverwrite));
    if (changeBits & chSelection)
        SetStatus(1, QString::fromStdString(
                         CaretPositionText(sender->SM->CaretLine(), sender->SM->CaretColumn())));
    Action("Undo1")->setEnabled(memo.CanUndo());
    Action("Redo1")->setEnabled(memo.CanRedo());
}

void TMainForm::UpdatePasteEnabled() {
    TMDIChild* child = ActiveChild();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    const bool text = child && data && data->hasText();
    Action("PasteItem")->setEnabled(text);
    findChild<QToolButton*>(QStringLiteral("PasteBtn"))->setEnabled(text);
}

void TMainForm::SubWindowActivated(QMdiSubWindow*) {
    // Also called with none when the main window loses the focus to a dialog; the current
    // document is still the one the commands act on.
    TMDIChild* child = ActiveChild();
    if (child)
        parser_->setCurrentIndex(child->SM->ActiveParser() - 1);
    UpdateMenuItems();
    UpdateStatusBar(child, ~0u);
}

bool TMainForm::event(QEvent* event) {
    // A menu item's hint goes to the last panel, which the other panels keep their places
    // beside (the status bar's own message line would cover them).
    if (event->type() == QEvent::StatusTip) {
        SetStatus(4, static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

} // namespace kvx
