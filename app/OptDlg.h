// The tools dialog (System > Options): name, program and parameter of the five tools of
// the Run menu. Tool 1 is always "Compile". OK checks the entries before it closes:
// a program needs a name to be listed under, values must fit the INI file, quotes in a
// parameter must be closed, and a program that cannot be found is pointed out.
#pragma once

#include "app/core/ToolTable.h"

#include <QDialog>

#include <array>
#include <functional>

class QLineEdit;
class QToolButton;

namespace kvx {

class TOptDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kHelpContext = 10;

    explicit TOptDlg(QWidget* parent = nullptr);

    // Fills the controls from the table (step 1 of System > Options).
    void SetTools(const TToolTable& tools);
    // The table as the controls hold it: names cut to 10 characters, blanks at the ends
    // of every value dropped.
    TToolTable Tools() const;

    // The file dialog of a browse button: gets the current program, returns the chosen
    // one (empty for cancel). A QFileDialog unless a test puts its own here.
    void SetBrowse(std::function<QString(QWidget*, const QString&)> browse) {
        browse_ = std::move(browse);
    }
    // Shows why OK was refused (a warning box by default).
    void SetShowError(std::function<void(QWidget*, const QString&)> show) {
        showError_ = std::move(show);
    }
    // Asks whether to keep a program that was not found (a question box by default).
    void SetAsk(std::function<bool(QWidget*, const QString&)> ask) { ask_ = std::move(ask); }

    QLineEdit* NameEdit(int n) const { return tn_[Index(n)]; }
    QLineEdit* ProgramEdit(int n) const { return fn_[Index(n)]; }
    QLineEdit* ParameterEdit(int n) const { return fp_[Index(n)]; }
    QToolButton* BrowseButton(int n) const { return browse_buttons_[Index(n)]; }

    void accept() override;

  signals:
    void helpRequested(int context);

  private:
    static size_t Index(int n) { return static_cast<size_t>(n < 1 ? 0 : n > 5 ? 4 : n - 1); }
    // The first reason the entries cannot be taken, with the control to fix; empty when
    // they can.
    QString Problem(QLineEdit*& culprit) const;

    std::array<QLineEdit*, TToolTable::kCount> tn_{}, fn_{}, fp_{};
    std::array<QToolButton*, TToolTable::kCount> browse_buttons_{};
    std::function<QString(QWidget*, const QString&)> browse_;
    std::function<void(QWidget*, const QString&)> showError_;
    std::function<bool(QWidget*, const QString&)> ask_;
};

// System > Options from start to end: the dialog filled from `tools`; on OK the table
// takes the entries and is written to `iniFile`. True when the user confirmed (the Run
// menu must then be rebuilt), even if the file could not be written.
bool EditTools(TOptDlg& dialog, TToolTable& tools, const std::string& iniFile);

} // namespace kvx
