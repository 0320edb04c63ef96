#include "SearchOptionsBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kvx {

TSearchOptionsBox::TSearchOptionsBox(const QString& wholeWordsCaption, QWidget* parent)
    : QWidget(parent) {
    options_ = new QGroupBox(QStringLiteral("Options"));
    useCase_ = new QCheckBox(QStringLiteral("&Case sensitive"));
    useCase_->setObjectName(QStringLiteral("UseCaseBox"));
    wholeWord_ = new QCheckBox(wholeWordsCaption);
    wholeWord_->setObjectName(QStringLiteral("WholeWordBox"));
    regEx_ = new QCheckBox(QStringLiteral("&Regular expressions"));
    regEx_->setObjectName(QStringLiteral("RegExBox"));
    auto* optionsLayout = new QVBoxLayout(options_);
    optionsLayout->addWidget(useCase_);
    optionsLayout->addWidget(wholeWord_);
    optionsLayout->addWidget(regEx_);
    optionsLayout->addStretch();

    direction_ = new QGroupBox(QStringLiteral("Direction"));
    fwd_ = new QRadioButton(QStringLiteral("Forwar&d"));
    fwd_->setObjectName(QStringLiteral("FwdDirection"));
    back_ = new QRadioButton(QStringLiteral("&Back"));
    back_->setObjectName(QStringLiteral("BackDirection"));
    fwd_->setChecked(true);
    auto* directionLayout = new QVBoxLayout(direction_);
    directionLayout->addWidget(fwd_);
    directionLayout->addWidget(back_);
    directionLayout->addStretch();

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(options_, 3);
    row->addWidget(direction_, 2);
}

TSearchControls TSearchOptionsBox::Controls() const {
    TSearchControls c;
    c.MatchCase = useCase_->isChecked();
    c.WholeWords = wholeWord_->isChecked();
    c.RegExpr = regEx_->isChecked();
    c.Backward = back_->isChecked();
    return c;
}

void TSearchOptionsBox::SetControls(const TSearchControls& c) {
    useCase_->setChecked(c.MatchCase);
    wholeWord_->setChecked(c.WholeWords);
    regEx_->setChecked(c.RegExpr);
    (c.Backward ? back_ : fwd_)->setChecked(true);
}

QComboBox* NewHistoryBox(const QString& objectName) {
    auto* box = new QComboBox;
    box->setObjectName(objectName);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    // Letter case matters to a case-sensitive search, so the field must not complete a
    // typed "ab" to a listed "AB".
    box->setCompleter(nullptr);
    box->setMinimumContentsLength(28);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return box;
}

namespace {
void SetItems(QComboBox* box, const THistoryList& history) {
    QStringList items;
    for (const std::string& e : history.Entries())
        items << QString::fromStdString(e);
    box->clear();
    box->addItems(items);
}
} // namespace

void FillHistoryBox(QComboBox* box, const THistoryList& history, int selected,
                    const QString& text) {
    SetItems(box, history);
    box->setCurrentIndex(selected);
    // The list matches ignoring case; the field shows the text as it was taken, so a
    // case-sensitive search looks for what the user selected.
    box->setEditText(text);
    box->lineEdit()->selectAll();
}

void RefreshHistoryBox(QComboBox* box, const THistoryList& history) {
    const QString text = box->currentText();
    SetItems(box, history);
    box->setCurrentIndex(box->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive));
    box->setEditText(text);
}

std::string BoxText(const QComboBox* box) {
    return box->currentText().toStdString();
}

} // namespace kvx
