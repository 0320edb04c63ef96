// The replace dialog (Search > Replace): texts to find and to replace with, the options,
// "Prompt on Replace" and the direction. It is modeless and stays open while the user
// edits. It always acts on the active document: when the user switches documents it
// follows, and when the last one closes its buttons are disabled, so it never holds on to
// an editor that is gone.
//
// Replace All runs in the interface thread, since it is one edit of the document; after
// about half a second a progress box appears, and Escape or its Cancel button stops the
// run, keeping the replacements made so far as one undo step.
#pragma once

#include "SearchPrompts.h"

#include "editor/view/SyntaxMemo.h"

#include <QDialog>
#include <QPointer>

#include <functional>

class QCheckBox;
class QComboBox;
class QProgressDialog;
class QPushButton;

namespace kvx {

class TSearchOptionsBox;

class TEdReplDlg : public QDialog {
    Q_OBJECT
  public:
    TEdReplDlg(TEdPersistent& store, const TSearchState& state, const TSearchPrompts& prompts,
               QWidget* parent = nullptr);

    // The search entry of an editor; null when the editor is gone.
    std::function<TMemoSearch*(TSyntaxMemo*)> SearchOf;

    // Shows the dialog (or brings it to the front) for the search state and `editor`.
    void Open(TSyntaxMemo* editor);
    // The document the dialog acts on changed (null: none is left).
    void SetEditor(TSyntaxMemo* editor);
    TSyntaxMemo* Editor() const { return editor_; }

    // How long Replace All runs before its progress box appears, in milliseconds.
    int ProgressDelay = 500;
    // Called when the progress box appears (the tests press Escape in it).
    std::function<void(QProgressDialog&)> OnProgressShown;

    TReplaceDialogLogic& Logic() { return logic_; }
    QComboBox* FindHistoryBox() const { return findBox_; }
    QComboBox* ReplHistoryBox() const { return replBox_; }
    TSearchOptionsBox* OptionsBox() const { return options_; }
    QCheckBox* PromptOnReplBox() const { return prompt_; }
    QPushButton* OKButton() const { return ok_; }
    QPushButton* ReplaceAllButton() const { return all_; }
    QPushButton* CancelButton() const { return cancel_; }

    void done(int result) override;

  private:
    void Replace();
    void ReplaceAll();
    TMemoSearch* Search();
    TReplaceDialogLogic::TAsk Asker();

    const TSearchState& state_;
    const TSearchPrompts& prompts_;
    TReplaceDialogLogic logic_;
    QPointer<TSyntaxMemo> editor_;
    QComboBox* findBox_;
    QComboBox* replBox_;
    TSearchOptionsBox* options_;
    QCheckBox* prompt_;
    QPushButton* ok_;
    QPushButton* all_;
    QPushButton* cancel_;
};

} // namespace kvx
