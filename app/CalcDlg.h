// The calculator dialog (System > Calculator): a desk calculator driven by its buttons or
// the keyboard. OK hands the result, as text, to the handler the main window sets (which
// inserts it into the active document and puts it on the clipboard); Cancel hands
// nothing. The engine stays with the dialog, so the memory lasts between uses.
#pragma once

#include "app/core/Calculator.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;

namespace kvx {

class TCalculatorDlg : public QDialog {
    Q_OBJECT
  public:
    explicit TCalculatorDlg(QWidget* parent = nullptr);

    // Called on OK with the result in the general number format ("3.5", "1E20"); not
    // called for Cancel or while "Error" shows.
    void SetResultHandler(std::function<void(const QString&)> handler) {
        result_ = std::move(handler);
    }
    // How a refused key is signalled; QApplication::beep unless a test counts them.
    void SetBeep(std::function<void()> beep) { beep_ = std::move(beep); }

    QString DisplayText() const;
    // The button of a command, for tests and accessibility.
    QPushButton* Button(TCalcCommand command) const;
    TCalculatorEngine& Engine() { return engine_; }

    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // True when the key meant something to the calculator.
    bool HandleKey(QKeyEvent* event);
    void Run(TCalcCommand command);
    void Copy();
    void Paste();
    void Refresh();
    void Beep();

    TCalculatorEngine engine_;
    std::function<void(const QString&)> result_;
    std::function<void()> beep_;
    QLabel* display_;
    QLabel* memory_;
    std::vector<std::pair<TCalcCommand, QPushButton*>> buttons_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

} // namespace kvx
