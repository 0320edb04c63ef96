#include "CalcDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvx {
namespace {

struct TButtonDef {
    TCalcCommand Command;
    const char* Caption;
    const char* Hint;
    int Row, Column, RowSpan = 1, ColumnSpan = 1;
};

using C = TCalcCommand;
// Memory keys on top, editing keys below them, then the digit block with the operators
// beside it, the way desk calculators are laid out.
constexpr TButtonDef kButtons[] = {
    {C::MemoryClear, "MC", "Clear the memory (Ctrl+L)", 0, 0},
    {C::MemoryRecall, "MR", "Recall the memory (Ctrl+R)", 0, 1},
    {C::MemoryStore, "MS", "Store the display in the memory (Ctrl+M)", 0, 2},
    {C::MemoryAdd, "M+", "Add the display to the memory (Ctrl+P)", 0, 3},
    {C::MemorySubtract, "M-", "Subtract the display from the memory (Ctrl+Q)", 0, 4},
    {C::Backspace, "\u2190", "Remove the last digit (Backspace)", 1, 0},
    {C::Clear, "C", "Clear (C or Escape)", 1, 1},
    {C::Negate, "+/-", "Change the sign (_)", 1, 2},
    {C::Sqrt, "sqrt", "Square root (Q)", 1, 3},
    {C::Percent, "%", "Percent (%)", 1, 4},
    {C::Digit7, "7", nullptr, 2, 0},
    {C::Digit8, "8", nullptr, 2, 1},
    {C::Digit9, "9", nullptr, 2, 2},
    {C::Divide, "/", "Divide (/)", 2, 3},
    {C::Reciprocal, "1/x", "Reciprocal (R)", 2, 4},
    {C::Digit4, "4", nullptr, 3, 0},
    {C::Digit5, "5", nullptr, 3, 1},
    {C::Digit6, "6", nullptr, 3, 2},
    {C::Multiply, "*", "Multiply (*)", 3, 3},
    {C::Subtract, "-", "Subtract (-)", 3, 4},
    {C::Digit1, "1", nullptr, 4, 0},
    {C::Digit2, "2", nullptr, 4, 1},
    {C::Digit3, "3", nullptr, 4, 2},
    {C::Add, "+", "Add (+)", 4, 3},
    {C::Equals, "=", "Result (= or Enter)", 4, 4, 2, 1},
    {C::Digit0, "0", nullptr, 5, 0, 1, 2},
    {C::Decimal, ".", "Decimal separator (. or ,)", 5, 2},
};

} // namespace

TCalculatorDlg::TCalculatorDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Calc"));
    setWindowTitle(QStringLiteral("Calculator"));
    beep_ = [] { QApplication::beep(); };

    // A label, not a line edit: there is nothing to select or edit in it. It takes the
    // focus so typing starts there, and its keys go to the calculator (eventFilter).
    display_ = new QLabel;
    display_->setObjectName(QStringLiteral("Display"));
    display_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    display_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    display_->setBackgroundRole(QPalette::Base);
    display_->setAutoFillBackground(true);
    display_->setFocusPolicy(Qt::StrongFocus);
    display_->setAccessibleName(QStringLiteral("Display"));
    display_->setMargin(4);
    QFont big = display_->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    display_->setFont(big);
    display_->setContextMenuPolicy(Qt::CustomContextMenu);
    display_->installEventFilter(this);
    connect(display_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction(QStringLiteral("&Copy"), this, &TCalculatorDlg::Copy);
        menu.addAction(QStringLiteral("&Paste"), this, &TCalculatorDlg::Paste);
        menu.exec(display_->mapToGlobal(at));
    });
    memory_ = new QLabel;
    memory_->setObjectName(QStringLiteral("MemoryIndicator"));
    memory_->setToolTip(QStringLiteral("A number is in the memory"));
    memory_->setMinimumWidth(memory_->fontMetrics().horizontalAdvance(QStringLiteral("MM")));

    auto* top = new QHBoxLayout;
    top->addWidget(memory_);
    top->addWidget(display_, 1);

    auto* grid = new QGridLayout;
    for (const TButtonDef& def : kButtons) {
        auto* b = new QPushButton(QString::fromUtf8(def.Caption));
        // Keys reach the dialog, not the button under the focus, so typing always counts.
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
        if (def.Hint)
            b->setToolTip(QString::fromUtf8(def.Hint));
        b->setAccessibleName(QString::fromUtf8(def.Caption));
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("sqrt")) + 16);
        b->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        grid->addWidget(b, def.Row, def.Column, def.RowSpan, def.ColumnSpan);
        const TCalcCommand command = def.Command;
        connect(b, &QPushButton::clicked, this, [this, command] { Run(command); });
        buttons_.emplace_back(command, b);
    }

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    ok_ = box->button(QDialogButtonBox::Ok);
    cancel_ = box->button(QDialogButtonBox::Cancel);
    // Enter means "=" here; OK is a button like the others, reached by Tab or the mouse.
    for (QPushButton* b : {ok_, cancel_}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    connect(box, &QDialogButtonBox::accepted, this, &TCalculatorDlg::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(grid);
    layout->addWidget(box);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    Refresh();
}

QString TCalculatorDlg::DisplayText() const {
    return display_->text();
}

QPushButton* TCalculatorDlg::Button(TCalcCommand command) const {
    for (const auto& [c, b] : buttons_)
        if (c == command)
            return b;
    return nullptr;
}

void TCalculatorDlg::Beep() {
    if (beep_)
        beep_();
}

void TCalculatorDlg::Run(TCalcCommand command) {
    if (!engine_.Execute(command))
        Beep();
    Refresh();
}

void TCalculatorDlg::Refresh() {
    display_->setText(QString::fromStdString(engine_.Display()));
    memory_->setText(engine_.HasMemory() ? QStringLiteral("M") : QString());
}

void TCalculatorDlg::Copy() {
    QApplication::clipboard()->setText(display_->text());
}

void TCalculatorDlg::Paste() {
    if (!engine_.Paste(QApplication::clipboard()->text().toStdString()))
        Beep();
    Refresh();
}

void TCalculatorDlg::accept() {
    if (const auto result = engine_.Result(); result && result_)
        result_(QString::fromStdString(*result));
    Refresh();
    QDialog::accept();
}

void TCalculatorDlg::showEvent(QShowEvent* event) {
    Refresh();
    display_->setFocus(); // typing goes to the calculator, not to OK
    QDialog::showEvent(event);
}

void TCalculatorDlg::keyPressEvent(QKeyEvent* event) {
    if (!HandleKey(event))
        QDialog::keyPressEvent(event);
}

bool TCalculatorDlg::eventFilter(QObject* watched, QEvent* event) {
    // A label keeps Ctrl+C for itself; the calculator reads the display's keys first.
    // Tab still moves on to the buttons.
    if (watched == display_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab)
            return HandleKey(key);
    }
    return QDialog::eventFilter(watched, event);
}

bool TCalculatorDlg::HandleKey(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_C:
            Copy();
            return true;
        case Qt::Key_V:
            Paste();
            return true;
        case Qt::Key_L:
            Run(TCalcCommand::MemoryClear);
            return true;
        case Qt::Key_R:
            Run(TCalcCommand::MemoryRecall);
            return true;
        case Qt::Key_M:
            Run(TCalcCommand::MemoryStore);
            return true;
        case Qt::Key_P:
            Run(TCalcCommand::MemoryAdd);
            return true;
        case Qt::Key_Q:
            Run(TCalcCommand::MemorySubtract);
            return true;
        default:
            break;
        }
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // On a focused OK or Cancel, Enter presses that button.
        if (ok_->hasFocus() || cancel_->hasFocus()) {
            static_cast<QPushButton*>(focusWidget())->click();
            return true;
        }
        Run(TCalcCommand::Equals);
        return true;
    }
    if (key == Qt::Key_Escape) {
        Run(TCalcCommand::Clear); // Escape clears; Cancel closes
        return true;
    }
    if (key == Qt::Key_Backspace) {
        Run(TCalcCommand::Backspace);
        return true;
    }
    const QString text = event->text();
    if (text.size() == 1 && (mods & ~Qt::ShiftModifier) == 0) {
        if (!engine_.KeyChar(text.at(0).unicode()))
            Beep();
        Refresh();
        return true;
    }
    return false;
}

} // namespace kvx
