// The main window's commands: documents (new, open, save, close, exit), editing, go to
// line, font size and language, the window commands, the tools, and the System menu.
#include "MainForm.h"

#include "AboutBox.h"
#include "AsciiTable.h"
#include "CalcDlg.h"
#include "MDIChild.h"
#include "OptDlg.h"
#include "ResultsPanel.h"
#include "ToolRunner.h"
#include "app/core/LoadCheck.h"
#include "app/core/ShellPaths.h"
#include "app/core/ShellStrings.h"
#include "editor/EdConsts.h"
#include "editor/view/SyntaxMemo.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenu>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QStyle>

#include <exception>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kvx {

namespace {

QString Text(const char* s) {
    return QString::fromUtf8(s);
}

QString ErrorText(const std::exception& e) {
    return QString::fromUtf8(e.what());
}

// What loading the file would change, read in pieces through one reused buffer, which
// costs less than mapping the file page by page; nothing when it cannot be read (the load
// then says why).
TLoadChanges LoadChangesOf(const QString& fileName) {
    TLoadCheck check;
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return {};
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        std::vector<char> buffer(size_t(1) << 20);
        ssize_t got;
        while ((got = ::read(fd, buffer.data(), buffer.size())) > 0)
            check.Feed({buffer.data(), size_t(got)});
    }
    ::close(fd);
    return check.Result();
}

} // namespace

// ---- Documents -----------------------------------------------------------------------------

TMDIChild* TMainForm::OpenDocument(const QString& given, bool unnamed) {
    // A document's caption is its full file name, wherever the name came from.
    const QString name = unnamed ? given : QFileInfo(given).absoluteFilePath();
    if (!unnamed) {
        const std::string question = LoadChangesQuestion(name.toStdString(), LoadChangesOf(name));
        if (!question.empty() && !dialogs_.AskYesNo(this, QString::fromStdString(question)))
            return nullptr;
    }
    auto* child = new TMDIChild(*this);
    if (!unnamed) {
        try {
            child->LoadFile(name);
        } catch (const std::exception& e) {
            // Never a window without its file: it would save an empty text over it.
            delete child;
            dialogs_.ShowError(this, ErrorText(e));
            return nullptr;
        }
        const QString folder = QFileInfo(name).absolutePath();
        openFolder_ = saveFolder_ = folder;
    }
    child->SetDocumentName(name, unnamed);
    mdi_->addSubWindow(child);
    // A new window takes most of the workspace, as a document wants room; the editor's own
    // size hint would make it a small box.
    const QSize room = mdi_->viewport()->size();
    child->resize(std::max(room.width() * 3 / 4, 320), std::max(room.height() * 3 / 4, 200));
    // Each new window a step below and to the right of the one before, so every title bar
    // stays in sight; the eighth starts again at the corner.
    const int step = child->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, child);
    const int n = int(mdi_->subWindowList().size() - 1) % 8;
    child->move(n * step, n * step);
    connect(
        child, &QMdiSubWindow::windowStateChanged, this,
        [this, child](Qt::WindowStates, Qt::WindowStates now) { ChildStateChanged(child, now); });
    connect(child, &QObject::destroyed, this, [this] {
        // The window list has not forgotten the window yet when it is destroyed.
        QMetaObject::invokeMethod(this, &TMainForm::UpdateMenuItems, Qt::QueuedConnection);
    });
    switch (newWindowState_) {
    case TShowState::Maximized:
        child->showMaximized();
        break;
    case TShowState::Minimized:
        child->showMinimized();
        break;
    case TShowState::Normal:
        child->show();
        break;
    }
    mdi_->setActiveSubWindow(child);
    child->SM->setFocus();
    parser_->setCurrentIndex(child->SM->ActiveParser() - 1);
    FSizeChange();
    UpdateMenuItems();
    UpdateStatusBar(child, ~0u);
    return child;
}

void TMainForm::FileNewItemClick() {
    OpenDocument(QString::fromStdString(NewDocumentName(int(Children().size()))), true);
}

void TMainForm::FileOpenItemClick() {
    const QString name = dialogs_.OpenFileName(this, Text(kOpenDialogTitle), openFolder_,
                                               FileDialogFilters(kOpenFilters));
    if (!name.isEmpty())
        OpenDocument(QFileInfo(name).absoluteFilePath());
}

void TMainForm::OpenCommandLine(const QStringList& arguments) {
    // Only a regular file: a FIFO or a device named here would block the start for good.
    if (!arguments.isEmpty() && IsRegularFile(QFile::encodeName(arguments[0]).toStdString()))
        OpenDocument(QFileInfo(arguments[0]).absoluteFilePath());
}

void TMainForm::ReportSaveError(const QString& name, const QString& reason) {
    dialogs_.ShowError(this, Text("Could not save \"%1\":\n%2").arg(name, reason));
}

bool TMainForm::SaveChild(TMDIChild& child) {
    if (child.IsUnnamed())
        return SaveChildAs(child);
    const QString name = child.DocumentName();
    try {
        child.SaveDocument(name);
    } catch (const std::exception& e) {
        ReportSaveError(name, ErrorText(e));
        return false;
    }
    recent_.Add(name.toStdString());
    RebuildReopenMenu();
    UpdateStatusBar(&child, chSelection);
    return true;
}

bool TMainForm::SaveChildAs(TMDIChild& child) {
    const QString folder =
        child.IsUnnamed() ? saveFolder_ : QFileInfo(child.DocumentName()).absolutePath();
    QString name = dialogs_.SaveFileName(this, Text(kSaveDialogTitle), folder,
                                         FileDialogFilters(kSaveFilters));
    if (name.isEmpty())
        return false;
    name = QFileInfo(name).absoluteFilePath();
    try {
        child.SaveDocument(name);
    } catch (const std::exception& e) {
        // The document keeps its old name, so a later Save does not go to a file that
        // was never written.
        ReportSaveError(name, ErrorText(e));
        return false;
    }
    child.SetDocumentName(name, false);
    saveFolder_ = QFileInfo(name).absolutePath();
    UpdateStatusBar(&child, chSelection);
    return true;
}

void TMainForm::FileSaveItemClick() {
    if (TMDIChild* child = ActiveChild())
        SaveChild(*child);
}

void TMainForm::FileSaveAsItemClick() {
    if (TMDIChild* child = ActiveChild())
        SaveChildAs(*child);
}

bool TMainForm::QueryCloseChild(TMDIChild& child) {
    if (!child.IsModified())
        return true;
    mdi_->setActiveSubWindow(&child);
    const QString text = QString::fromStdString(
        FormatText(kSaveChangesQuestion, {child.DocumentName().toStdString()}));
    switch (dialogs_.AskSave(this, text)) {
    case QMessageBox::Yes:
        // A cancelled Save As or a failed save keeps the window: closing it would lose
        // the text the user just asked to keep.
        return SaveChild(child);
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void TMainForm::FileCloseItemClick() {
    if (TMDIChild* child = ActiveChild())
        child->close();
}

void TMainForm::CloseAll1Click() {
    const QList<TMDIChild*> children = Children();
    for (auto it = children.crbegin(); it != children.crend(); ++it)
        if (!(*it)->close())
            break; // Cancel ends Close All, as it ends Exit
}

void TMainForm::FileExitItemClick() {
    close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // Every modified document is asked about first; a Cancel anywhere keeps them all.
    const QList<TMDIChild*> children = Children();
    for (auto it = children.crbegin(); it != children.crend(); ++it) {
        if (!QueryCloseChild(**it)) {
            event->ignore();
            return;
        }
        (*it)->SetCloseAnswered(true);
    }
    SaveSettings();
    for (TMDIChild* child : children)
        child->close();
    ascii_->close();
    event->accept();
}

void TMainForm::PrintSetup1Click() {
    static QPrinter printer;
    QPrintDialog dialog(&printer, this);
    dialogs_.Exec(dialog);
}

// ---- Editing --------------------------------------------------------------------------------

namespace {

// Runs an editor operation on the active document; a failure becomes a message.
template <typename F> void OnActive(TMainForm& form, TMDIChild* child, F&& f) {
    if (!child)
        return;
    try {
        f(child->SM->Memo());
    } catch (const std::exception& e) {
        form.Dialogs().ShowError(&form, ErrorText(e));
    }
    child->SM->Memo().ChangeNotification();
    form.UpdateStatusBar(child, chSelection);
}

} // namespace

void TMainForm::Edit1Popup() {
    TMDIChild* child = ActiveChild();
    Action("Undo1")->setEnabled(child && child->SM->Memo().CanUndo());
    Action("Redo1")->setEnabled(child && child->SM->Memo().CanRedo());
}

void TMainForm::Undo1Click() {
    OnActive(*this, ActiveChild(), [](TCustomSyntaxMemo& m) {
        if (m.CanUndo())
            m.Undo();
    });
}

void TMainForm::Redo1Click() {
    OnActive(*this, ActiveChild(), [](TCustomSyntaxMemo& m) {
        if (m.CanRedo())
            m.Redo();
    });
}

void TMainForm::CutItemClick() {
    OnActive(*this, ActiveChild(), [](TCustomSyntaxMemo& m) { m.CutToClipboard(); });
}

void TMainForm::CopyItemClick() {
    OnActive(*this, ActiveChild(), [](TCustomSyntaxMemo& m) { m.CopyToClipboard(); });
}

void TMainForm::PasteItemClick() {
    OnActive(*this, ActiveChild(), [](TCustomSyntaxMemo& m) { m.PasteFromClipboard(); });
}

void TMainForm::Delete1Click() {
    // The editor's "Delete character at cursor", which takes the selection when there is
    // one.
    OnActive(*this, ActiveChild(), [](TCustomSyntaxMemo& m) { m.ExecuteCommand(caDELETE); });
}

void TMainForm::SelectAll1Click() {
    OnActive(*this, ActiveChild(), [](TCustomSyntaxMemo& m) { m.SelectAll(); });
}

void TMainForm::Goto1Click() {
    const std::optional<QString> answer = dialogs_.InputLine(this, Text(kGotoLineTitle));
    TMDIChild* child = ActiveChild();
    if (!answer || !child)
        return;
    const std::optional<int> line = ParseGotoLine(answer->toStdString());
    if (!line)
        return;
    OnActive(*this, child, [&](TCustomSyntaxMemo& m) { m.SetCaretPos(1, *line); });
    child->SM->viewport()->update();
}

void TMainForm::InsertCalculatorResult(const QString& text) {
    TMDIChild* child = ActiveChild();
    if (!child || text.isEmpty())
        return;
    QGuiApplication::clipboard()->setText(text);
    OnActive(*this, child, [](TCustomSyntaxMemo& m) { m.PasteFromClipboard(); });
}

// ---- Font size and language ----------------------------------------------------------------

int TMainForm::SelectedFontSize() const {
    // A stored size that is none of the box's entries (say 22, written by hand) selects
    // nothing; the documents then keep that size rather than the 6 points the box's
    // arithmetic would give, as long as it is a size a screen font can have.
    if (fsize_->currentIndex() < 0) {
        const std::optional<int> stored = ParseInteger(fontSizeText_.toStdString());
        return stored && *stored >= 1 && *stored <= kMaxStoredFontSize ? *stored : 10;
    }
    return FontSizeOfIndex(fsize_->currentIndex());
}

int TMainForm::FontSize() const {
    return SelectedFontSize();
}

void TMainForm::FSizeChange() {
    const int size = SelectedFontSize();
    for (TMDIChild* child : Children())
        child->SM->SetFontSize(size);
    fontSizeText_ = QString::number(size);
}

void TMainForm::Font1Click() {
    if (fsize_->currentIndex() <= kFontSizeCount - 2)
        fsize_->setCurrentIndex(fsize_->currentIndex() + 1);
    FSizeChange();
}

void TMainForm::Font2Click() {
    if (fsize_->currentIndex() > 0)
        fsize_->setCurrentIndex(fsize_->currentIndex() - 1);
    FSizeChange();
}

void TMainForm::ParserChange(int index) {
    if (TMDIChild* child = ActiveChild()) {
        OnActive(*this, child, [&](TCustomSyntaxMemo&) { child->SM->SetLanguage(index + 1); });
    }
    FSizeChange();
}

// ---- Windows --------------------------------------------------------------------------------

void TMainForm::SetNewWindowState(TShowState state) {
    newWindowState_ = state;
    maximizedText_ = state == TShowState::Maximized ? QStringLiteral("1") : QStringLiteral("0");
}

void TMainForm::ChildStateChanged(TMDIChild*, Qt::WindowStates state) {
    SetNewWindowState(state & Qt::WindowMinimized   ? TShowState::Minimized
                      : state & Qt::WindowMaximized ? TShowState::Maximized
                                                    : TShowState::Normal);
}

void TMainForm::Zoom1Click() {
    if (TMDIChild* child = ActiveChild()) {
        if (child->isMinimized()) {
            SetNewWindowState(TShowState::Minimized);
        } else if (child->isMaximized()) {
            child->showNormal();
            SetNewWindowState(TShowState::Normal);
        } else {
            child->showMaximized();
            SetNewWindowState(TShowState::Maximized);
        }
    }
    maximizedText_ =
        newWindowState_ == TShowState::Maximized ? QStringLiteral("1") : QStringLiteral("0");
}

void TMainForm::WindowCascadeItemClick() {
    mdi_->cascadeSubWindows();
}

void TMainForm::WindowTileItemClick() {
    mdi_->tileSubWindows();
}

void TMainForm::WindowArrangeItemClick() {
    // The minimized windows in a row along the bottom of the workspace, left to right.
    int x = 0;
    int y = mdi_->viewport()->height();
    for (TMDIChild* child : Children()) {
        if (!child->isMinimized())
            continue;
        const QSize size = child->size();
        if (x > 0 && x + size.width() > mdi_->viewport()->width()) {
            x = 0;
            y -= size.height();
        }
        child->move(x, y - size.height());
        x += size.width();
    }
}

void TMainForm::WindowMinimizeItemClick() {
    const QList<TMDIChild*> children = Children();
    for (auto it = children.crbegin(); it != children.crend(); ++it)
        (*it)->showMinimized();
}

void TMainForm::Next1Click() {
    mdi_->activateNextSubWindow();
}

void TMainForm::Prev1Click() {
    mdi_->activatePreviousSubWindow();
}

void TMainForm::Window1Popup() {
    // The open document windows follow the fixed items, the active one checked.
    for (QAction* a : windowListActions_) {
        windowMenu_->removeAction(a);
        a->deleteLater();
    }
    windowListActions_.clear();
    const QList<TMDIChild*> children = Children();
    if (children.isEmpty())
        return;
    windowListActions_ << windowMenu_->addSeparator();
    int n = 0;
    for (TMDIChild* child : children) {
        ++n;
        QString caption = child->DocumentName();
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* a =
            windowMenu_->addAction(n <= 9 ? QStringLiteral("&%1 %2").arg(n).arg(caption) : caption);
        a->setCheckable(true);
        a->setChecked(child == ActiveChild());
        connect(a, &QAction::triggered, this, [this, p = QPointer<TMDIChild>(child)] {
            if (p) {
                mdi_->setActiveSubWindow(p);
                p->SM->setFocus();
            }
        });
        windowListActions_ << a;
    }
}

TMDIChild* TMainForm::FindChild(const QString& name) const {
    for (TMDIChild* child : Children())
        if (!child->IsUnnamed() && child->DocumentName() == name)
            return child;
    return nullptr;
}

bool TMainForm::JumpTo(const QString& file, int line, int column, int length) {
    const QString name = QFileInfo(file).absoluteFilePath();
    TMDIChild* child = FindChild(name);
    if (!child)
        child = OpenDocument(name);
    if (!child)
        return false;
    mdi_->setActiveSubWindow(child);
    OnActive(*this, child, [&](TCustomSyntaxMemo& m) {
        m.SetCaretPos(std::max(column, 1), std::max(line, 1));
        if (length > 0) {
            const TextOffset at = m.SelStart();
            m.SetSelection(at, std::min(at + length, m.TextLength()));
        }
    });
    child->SM->setFocus();
    return true;
}

void TMainForm::MRUClick(const QString& fileName) {
    if (TMDIChild* child = FindChild(fileName)) {
        mdi_->setActiveSubWindow(child);
        return;
    }
    if (!IsRegularFile(QFile::encodeName(fileName).toStdString())) {
        dialogs_.ShowError(this, Text("\"%1\" is not there any more.").arg(fileName));
        return;
    }
    OpenDocument(fileName);
}

// ---- Tools and the System menu -------------------------------------------------------------

void TMainForm::RunTool(int tool) {
    TMDIChild* child = ActiveChild();
    if (!child || !tools_.IsEnabled(tool))
        return;
    if (!resultsDock_->isVisible()) {
        // A strip along the bottom: the documents keep most of the window.
        resultsDock_->show();
        resizeDocks({resultsDock_}, {std::max(height() / 4, 120)}, Qt::Vertical);
    }
    runner_->Run(tools_[tool], *child);
}

void TMainForm::Options1Click() {
    TOptDlg dialog(this);
    dialog.SetShowError(
        [this](QWidget* parent, const QString& text) { dialogs_.ShowError(parent, text); });
    dialog.SetAsk(
        [this](QWidget* parent, const QString& text) { return dialogs_.AskYesNo(parent, text); });
    connect(&dialog, &TOptDlg::helpRequested, this, &TMainForm::ShowHelp);
    dialog.SetTools(tools_);
    if (dialogs_.Exec(dialog) != QDialog::Accepted)
        return;
    tools_ = dialog.Tools();
    if (!SaveTools(tools_, ToolsIniFile()))
        dialogs_.ShowError(this, Text("The tools could not be stored in \"%1\".")
                                     .arg(QString::fromStdString(ToolsIniFile())));
    UpdateToolMenu();
}

void TMainForm::Calculator1Click() {
    TCalculatorDlg dialog(this);
    dialog.SetResultHandler([this](const QString& result) { InsertCalculatorResult(result); });
    dialogs_.Exec(dialog);
}

void TMainForm::ASCIITable1Click() {
    ascii_->show();
    ascii_->raise();
    ascii_->activateWindow();
}

void TMainForm::HelpAboutItemClick() {
    TAboutBox about(this);
    about.SetUrlOpener([this](const QUrl& url) { return dialogs_.OpenUrl(url); });
    connect(&about, &TAboutBox::helpRequested, this, &TMainForm::ShowHelp);
    dialogs_.Exec(about);
}

void TMainForm::Help2Click() {
    ShowHelp(kHelpContext);
}

void TMainForm::ContextHelp() {
    // The document window's page when the text has the focus, the main window's otherwise.
    TMDIChild* child = ActiveChild();
    const bool inDocument = child && child->isAncestorOf(QApplication::focusWidget());
    ShowHelp(inDocument ? TMDIChild::kHelpContext : kHelpContext);
}

} // namespace kvx
