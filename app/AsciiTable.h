// The ASCII table window of System > ASCII Table: a 17 x 17 grid of the 256 codes with
// a header row and column, the number base of headers and codes, the code in every cell
// on request, the OEM or Windows character set for the codes from 128, and stay-on-top.
// Made hidden at start-up and kept for the whole run; Escape hides it again.
#pragma once

#include "app/core/CodePages.h"

#include <QWidget>

class QCheckBox;
class QRadioButton;
class QTableWidget;

namespace kvx {

class Tascii : public QWidget {
    Q_OBJECT
  public:
    explicit Tascii(QWidget* parent = nullptr);

    QTableWidget* Grid() const { return sg1_; }
    // Fills the grid from the controls; runs after every click on them.
    void Fill();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void SetStayOnTop(bool on);

    QTableWidget* sg1_;
    QRadioButton* da_;  // "dec"
    QRadioButton* ha_;  // "hex"
    QCheckBox* it_;     // "In table"
    QRadioButton* dos_; // "OEM"
    QRadioButton* win_; // "Win"
    QCheckBox* sot_;    // "Stay On Top"
};

} // namespace kvx
