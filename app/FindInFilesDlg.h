// The Find in Files dialog (Search > Find in Files): the text or pattern with the find
// dialog's history and options, the folder to search with a browse button, the file
// patterns (the six languages' extensions at first) and the size over which a file is
// skipped. OK hands the request to Starter, and the dialog closes only when the search
// could start; otherwise it stays open with the reason shown.
#pragma once

#include "SearchPrompts.h"

#include "app/core/FindInFiles.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kvx {

class TSearchOptionsBox;

class TFindInFilesDlg : public QDialog {
    Q_OBJECT
  public:
    TFindInFilesDlg(TEdPersistent& store, const TSearchPrompts& prompts, QWidget* parent = nullptr);

    // Starts the search; false (after telling the user why) keeps the dialog open.
    std::function<bool(const TFindInFilesRequest&)> Starter;

    // Shows the dialog with `text` to find (when not empty) and `folder` to search (when
    // the field is still empty or the user has not chosen one yet).
    void Open(const QString& text, const QString& folder);
    TFindInFilesRequest Request() const;

    QComboBox* TextBox() const { return text_; }
    TSearchOptionsBox* OptionsBox() const { return options_; }
    QLineEdit* FolderEdit() const { return folder_; }
    QPushButton* BrowseButton() const { return browse_; }
    QLineEdit* PatternsEdit() const { return patterns_; }
    QSpinBox* SizeLimitBox() const { return sizeLimit_; }
    QCheckBox* HiddenBox() const { return hidden_; }
    QPushButton* OKButton() const { return ok_; }

    void accept() override;

  private:
    TEdPersistent& store_;
    const TSearchPrompts& prompts_;
    THistoryList history_;
    bool folderChosen_ = false;
    QComboBox* text_;
    TSearchOptionsBox* options_;
    QLineEdit* folder_;
    QPushButton* browse_;
    QLineEdit* patterns_;
    QSpinBox* sizeLimit_;
    QCheckBox* hidden_;
    QPushButton* ok_;
};

} // namespace kvx
