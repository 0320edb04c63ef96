// The "Options" and "Direction" groups that the find and replace dialogs share, and the
// history drop-down both of them fill from a THistoryList.
#pragma once

#include "app/core/FindReplace.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QRadioButton;

namespace kvx {

class TSearchOptionsBox : public QWidget {
    Q_OBJECT
  public:
    // `wholeWordsCaption` differs between the two dialogs.
    TSearchOptionsBox(const QString& wholeWordsCaption, QWidget* parent = nullptr);

    TSearchControls Controls() const;
    void SetControls(const TSearchControls& controls);

    QGroupBox* OptionsGroup() const { return options_; }
    QGroupBox* DirectionGroup() const { return direction_; }
    QCheckBox* UseCaseBox() const { return useCase_; }
    QCheckBox* WholeWordBox() const { return wholeWord_; }
    QCheckBox* RegExBox() const { return regEx_; }
    QRadioButton* FwdDirection() const { return fwd_; }
    QRadioButton* BackDirection() const { return back_; }

  private:
    QGroupBox* options_;
    QGroupBox* direction_;
    QCheckBox* useCase_;
    QCheckBox* wholeWord_;
    QCheckBox* regEx_;
    QRadioButton* fwd_;
    QRadioButton* back_;
};

// An editable drop-down of earlier texts that never adds what is typed by itself: the
// dialog's history decides what is listed.
QComboBox* NewHistoryBox(const QString& objectName);
// Lists the history's entries and puts `text` in the edit field; `selected` is the entry
// standing for it, or -1.
void FillHistoryBox(QComboBox* box, const THistoryList& history, int selected, const QString& text);
// The entries again after a search put one at the top, keeping what the field shows.
void RefreshHistoryBox(QComboBox* box, const THistoryList& history);
std::string BoxText(const QComboBox* box);

} // namespace kvx
