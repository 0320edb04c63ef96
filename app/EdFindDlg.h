// The find dialog (Search > Find): a history drop-down of texts to find, the options and
// the direction. It is modal, but opened without a nested event loop: Open() returns at
// once and the dialog blocks the other windows until Cancel, Escape or its close box.
// OK searches and leaves the dialog open; Cancel hands the box text to the main window's
// search state, which Find Next then looks for with the options as last left here.
#pragma once

#include "SearchPrompts.h"

#include "editor/view/SyntaxMemo.h"

#include <QDialog>
#include <QPointer>

#include <functional>

class QComboBox;
class QPushButton;

namespace kvx {

class TSearchOptionsBox;

class TEdFindDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kHelpContext = 10;

    // `state` and `prompts` belong to the caller and outlive the dialog.
    TEdFindDlg(TEdPersistent& store, TSearchState& state, const TSearchPrompts& prompts,
               QWidget* parent = nullptr);

    // The search entry of an editor; null when the editor is gone.
    std::function<TMemoSearch*(TSyntaxMemo*)> SearchOf;

    // Shows the dialog for the search state and `editor`.
    void Open(TSyntaxMemo* editor);
    // Find Next in `editor`: the state's text with the options as the dialog was last left;
    // the history is not touched.
    void FindNext(TSyntaxMemo* editor);
    // The editor OK searches in, while the dialog is open.
    TSyntaxMemo* Editor() const { return editor_; }

    TFindDialogLogic& Logic() { return logic_; }
    QComboBox* FindHistoryBox() const { return findBox_; }
    TSearchOptionsBox* OptionsBox() const { return options_; }
    QPushButton* OKButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QPushButton* HelpButton() const { return help_; }

    void done(int result) override;

  signals:
    void helpRequested(int context);

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void Ok();

    TSearchState& state_;
    const TSearchPrompts& prompts_;
    TFindDialogLogic logic_;
    QPointer<TSyntaxMemo> editor_;
    QComboBox* findBox_;
    TSearchOptionsBox* options_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QPushButton* help_;
    bool closeBox_ = false;
};

// Puts a dialog in the middle of the screen it would appear on.
void CentreOnScreen(QWidget* dialog);

} // namespace kvx
