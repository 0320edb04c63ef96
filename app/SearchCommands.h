// The Search menu's commands: Find, Replace, Find Next and Find in Files. The main window
// owns one TSearchCommands and tells it, through TSearchHost, which document is active,
// how to open a file, and where the results panel is; it calls DocumentClosing before a
// document's editor is destroyed and ActiveEditorChanged whenever the current document
// changes. The dialogs, the search state they share and each document's search entry
// live here.
#pragma once

#include "EdFindDlg.h"
#include "EdReplDlg.h"
#include "FindInFilesDlg.h"
#include "SearchPrompts.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <string>
#include <unordered_map>

class QWidget;

namespace kvx {

class TFindInFilesRun;
class TResultsPanel;

class TSearchHost {
  public:
    virtual ~TSearchHost() = default;
    // The current document's editor, or null when no document is open. While a search
    // dialog has the focus this is still the document the user was working in
    // (QMdiArea::currentSubWindow, not activeSubWindow, which is null then).
    virtual TSyntaxMemo* ActiveEditor() = 0;
    // Opens `file` in a document window, or activates its window when it is open already,
    // and returns its editor; null when it could not be opened (the host said why).
    virtual TSyntaxMemo* OpenDocument(const QString& file) = 0;
    // The docked results panel, made visible.
    virtual TResultsPanel* ShowResultsPanel() = 0;
    // The window the dialogs belong to.
    virtual QWidget* DialogParent() = 0;
    // The file of the current document, empty when it has none: Find in Files offers its
    // folder.
    virtual QString ActiveFileName() { return {}; }
};

// Selects `length` characters from `column` of `line` (both 1-based, counted as the
// results panel counts them: a TAB is one character; column 0 is the line's start) and
// scrolls the caret into view. Lines and columns past the end are clamped.
void SelectPlace(TCustomSyntaxMemo& memo, int line, int column, int length);

class TSearchCommands : public QObject {
    Q_OBJECT
  public:
    // The history file is frepl.dat in the data folder unless `historyFile` names another.
    explicit TSearchCommands(TSearchHost& host, const std::string& historyFile = {},
                             QObject* parent = nullptr);
    ~TSearchCommands() override;

    // Find, Replace and Find Next need an open document; Find in Files does not.
    bool CanFind() const;
    bool CanFindInFiles() const { return true; }

    void Find();
    void Replace();
    void FindNext();
    void FindInFiles();
    // Opens `file` through the host and selects the place (a results line's jump).
    void GoTo(const QString& file, int line, int column, int length);

    // The current document changed: another window was activated or the last one closed.
    void ActiveEditorChanged();
    // Must be called before `editor` is destroyed: the dialogs stop using it and its
    // search entry, which listens to its text, goes.
    void DocumentClosing(TSyntaxMemo* editor);

    // The boxes the dialogs show; the tests answer them.
    TSearchPrompts Prompts = TSearchPrompts::Boxes();
    TSearchState& State() { return state_; }

    TEdFindDlg* FindDialog() const { return find_; }
    TEdReplDlg* ReplaceDialog() const { return replace_; }
    TFindInFilesDlg* FindInFilesDialog() const { return files_; }
    TFindInFilesRun* FindInFilesRun() const { return run_.get(); }

  signals:
    void helpRequested(int context);

  private:
    TMemoSearch* SearchOf(TSyntaxMemo* editor);
    // The active editor, whose selection (when not empty) becomes the search text.
    TSyntaxMemo* TakeSelection();

    TSearchHost& host_;
    TEdPersistent store_;
    TSearchState state_;
    std::unordered_map<TSyntaxMemo*, std::unique_ptr<TMemoSearch>> searches_;
    // Guarded: should the window go first, it takes the dialogs with it.
    QPointer<TEdFindDlg> find_;
    QPointer<TEdReplDlg> replace_;
    QPointer<TFindInFilesDlg> files_;
    std::unique_ptr<TFindInFilesRun> run_;
};

} // namespace kvx
