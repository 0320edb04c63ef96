// TMainForm: the frame window of the editor. Its workspace holds the document windows
// (TMDIChild); it owns the menus, the toolbar with the language selector and the font
// size, the five-panel status bar, the Run menu's tools, the recent files and the stored
// placement, and the docked results panel that tools write into. Every command acts on
// the active document window.
//
// Whatever it asks of the user goes through TShellDialogs, so the tests answer for the
// user; the settings files live in the configuration folder (ShellPaths.h).
#pragma once

#include "app/ShellDialogs.h"
#include "app/core/Placement.h"
#include "app/core/RecentFiles.h"
#include "app/core/ToolTable.h"

#include <QMainWindow>

#include <array>

class QAction;
class QComboBox;
class QDockWidget;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolButton;

namespace kvx {

class TAboutBox;
class TMDIChild;
class TResultsPanel;
class TToolRunner;
class Tascii;

class TMainForm : public QMainWindow {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 10;
    static constexpr int kStatusPanels = 5;
    // The largest stored font size taken as it is.
    static constexpr int kMaxStoredFontSize = 96;

    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    TShellDialogs& Dialogs() { return dialogs_; }

    // Restores placement, font size and recent files from kvxl.ini and shows the window
    // in the stored state (maximized the first time).
    void ShowRestored();
    // Opens the first argument when it names a regular file; the others are ignored.
    void OpenCommandLine(const QStringList& arguments);

    // ---- Documents ------------------------------------------------------------------------
    // A new document window for a file (loaded, language by extension) or, with
    // `unnamed`, an empty document of that caption. On a load failure the window is
    // thrown away and the user told why; nullptr then, and when the user declined to
    // open a file that loading would change.
    TMDIChild* OpenDocument(const QString& name, bool unnamed = false);
    TMDIChild* ActiveChild() const;
    // The document windows in the order they were opened.
    QList<TMDIChild*> Children() const;
    QMdiArea* Workspace() const { return mdi_; }

    // The Save rule: Save As for an unnamed document, else save under the caption and put
    // the name at the top of the recent list. False when cancelled or failed (the user has
    // been told why).
    bool SaveChild(TMDIChild& child);
    bool SaveChildAs(TMDIChild& child);
    // The question before a modified document closes; false keeps it open.
    bool QueryCloseChild(TMDIChild& child);

    // ---- Commands that tests and other windows call -----------------------------------
    // Opens `file` (or the window that already shows it) and selects `length` characters
    // from `column` of `line` (1-based; column 0 is the line's start).
    bool JumpTo(const QString& file, int line, int column, int length);
    // What the calculator's OK does with its result.
    void InsertCalculatorResult(const QString& text);
    // Opens the help page at the anchor of a context (10, 20, 2000).
    void ShowHelp(int context);
    // Where the help page is; empty when it cannot be found.
    static QString HelpFile();

    // ---- State the tests look at -------------------------------------------------------
    QAction* Action(const char* name) const;
    QString StatusText(int panel) const;
    int FontSize() const;
    const TRecentFiles& RecentFiles() const { return recent_; }
    QMenu* ReopenMenu() const { return reopenMenu_; }
    QMenu* RunMenu() const { return runMenu_; }
    const TToolTable& Tools() const { return tools_; }
    TResultsPanel* ResultsPanel() const { return results_; }
    QDockWidget* ResultsDock() const { return resultsDock_; }
    TToolRunner* ToolRunner() const { return runner_; }
    Tascii* AsciiTable() const { return ascii_; }
    // Label4: "1" when new documents open maximized.
    QString MaximizedText() const { return maximizedText_; }

    // Status bar and enabling (UpdateStatusBar and UpdateMenuItems).
    void UpdateStatusBar(TMDIChild* sender, unsigned changeBits);
    void UpdateMenuItems();

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateResultsPanel();
    QAction* AddAction(QMenu* menu, const char* name, const char* caption, QKeySequence key,
                       const char* hint, void (TMainForm::*slot)());

    // Menu and button handlers, named after their components.
    void FileNewItemClick();
    void FileOpenItemClick();
    void FileSaveItemClick();
    void FileSaveAsItemClick();
    void FileCloseItemClick();
    void CloseAll1Click();
    void PrintSetup1Click();
    void FileExitItemClick();
    void Edit1Popup();
    void Undo1Click();
    void Redo1Click();
    void CutItemClick();
    void CopyItemClick();
    void PasteItemClick();
    void Delete1Click();
    void SelectAll1Click();
    void Goto1Click();
    void Font1Click();
    void Font2Click();
    void WindowCascadeItemClick();
    void WindowTileItemClick();
    void WindowArrangeItemClick();
    void WindowMinimizeItemClick();
    void Zoom1Click();
    void Next1Click();
    void Prev1Click();
    void Window1Popup();
    void Help2Click();
    void Options1Click();
    void Calculator1Click();
    void ASCIITable1Click();
    void HelpAboutItemClick();
    void ContextHelp();
    void ParserChange(int index);
    void FSizeChange();
    void RunTool(int tool);
    void MRUClick(const QString& fileName);
    void SubWindowActivated(QMdiSubWindow* window);
    void ChildStateChanged(TMDIChild* child, Qt::WindowStates state);

    // The font size the box stands for (8 + 2 x entry), applied to every document.
    int SelectedFontSize() const;
    void RebuildReopenMenu();
    void UpdateToolMenu();
    void UpdatePasteEnabled();
    void SetStatus(int panel, const QString& text);
    void SetNewWindowState(TShowState state);
    void SaveSettings();
    TMDIChild* FindChild(const QString& name) const;
    // A save failure told to the user: file and reason.
    void ReportSaveError(const QString& name, const QString& reason);

    TShellDialogs dialogs_;
    QMdiArea* mdi_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* searchMenu_ = nullptr;
    QMenu* runMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QMenu* systemMenu_ = nullptr;
    QMenu* reopenMenu_ = nullptr;
    QComboBox* parser_ = nullptr;
    QComboBox* fsize_ = nullptr;
    QToolButton* runBtn_ = nullptr;
    std::array<QLabel*, kStatusPanels> panels_{};
    QDockWidget* resultsDock_ = nullptr;
    TResultsPanel* results_ = nullptr;
    TToolRunner* runner_ = nullptr;
    Tascii* ascii_ = nullptr;
    QList<QAction*> windowListActions_;

    TToolTable tools_;
    TRecentFiles recent_;
    TShowState newWindowState_ = TShowState::Normal;
    QString fontSizeText_ = QStringLiteral("10"); // Label3
    QString maximizedText_ = QStringLiteral("0"); // Label4
    QString openFolder_, saveFolder_;
    bool restored_ = false;
    bool settingsSaved_ = false;
};

} // namespace kvx
