#include "AsciiTable.h"

#include "app/core/AsciiChart.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace kvx {
namespace {

constexpr int kCells = 17;
constexpr int kColumnWidth = 50;
constexpr int kFirstColumnWidth = 30;

} // namespace

Tascii::Tascii(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("ascii"));
    setWindowTitle(QStringLiteral("ASCII TABLE"));

    auto* panel = new QHBoxLayout;
    auto* address = new QLabel(QStringLiteral("Address :"));
    da_ = new QRadioButton(QStringLiteral("dec"));
    ha_ = new QRadioButton(QStringLiteral("hex"));
    it_ = new QCheckBox(QStringLiteral("In table"));
    auto* codepage = new QLabel(QStringLiteral("Codepage :"));
    dos_ = new QRadioButton(QStringLiteral("OEM"));
    win_ = new QRadioButton(QStringLiteral("Win"));
    sot_ = new QCheckBox(QStringLiteral("Stay On Top"));
    da_->setObjectName(QStringLiteral("DA"));
    ha_->setObjectName(QStringLiteral("HA"));
    it_->setObjectName(QStringLiteral("IT"));
    dos_->setObjectName(QStringLiteral("DOS"));
    win_->setObjectName(QStringLiteral("WIN"));
    sot_->setObjectName(QStringLiteral("SOT"));
    // The two pairs of radio buttons choose independently of each other.
    auto* base = new QButtonGroup(this);
    base->addButton(da_);
    base->addButton(ha_);
    auto* charset = new QButtonGroup(this);
    charset->addButton(dos_);
    charset->addButton(win_);
    ha_->setChecked(true);
    win_->setChecked(true);
    sot_->setChecked(true);
    panel->addWidget(address);
    panel->addWidget(da_);
    panel->addWidget(ha_);
    panel->addSpacing(16);
    panel->addWidget(it_);
    panel->addSpacing(16);
    panel->addWidget(codepage);
    panel->addWidget(dos_);
    panel->addWidget(win_);
    panel->addSpacing(16);
    panel->addWidget(sot_);
    panel->addStretch();

    sg1_ = new QTableWidget(kCells, kCells);
    sg1_->setObjectName(QStringLiteral("sg1"));
    sg1_->horizontalHeader()->hide();
    sg1_->verticalHeader()->hide();
    sg1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sg1_->setSelectionMode(QAbstractItemView::SingleSelection);
    sg1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sg1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sg1_->setWordWrap(false);
    sg1_->setTextElideMode(Qt::ElideNone);
    // The columns are 50 and 30 pixels wide with the usual dialog font; a larger font
    // (or a screen scaled up) widens them so the widest cell ("255   " and a letter)
    // still shows whole.
    const QFontMetrics fm = sg1_->fontMetrics();
    const int columnWidth =
        std::max(kColumnWidth, fm.horizontalAdvance(QStringLiteral("255   W")) + 8);
    const int firstWidth =
        std::max(kFirstColumnWidth, fm.horizontalAdvance(QStringLiteral("00")) + 10);
    const int rowHeight = fm.height() + 6;
    for (int i = 0; i < kCells; ++i) {
        sg1_->setColumnWidth(i, i == 0 ? firstWidth : columnWidth);
        sg1_->setRowHeight(i, rowHeight);
    }
    // The whole grid shows, as the window is made for it: no scrolling.
    const int frame = 2 * sg1_->frameWidth();
    sg1_->setFixedSize(firstWidth + (kCells - 1) * columnWidth + frame, kCells * rowHeight + frame);
    for (int r = 0; r < kCells; ++r) {
        for (int c = 0; c < kCells; ++c) {
            auto* item = new QTableWidgetItem;
            if (r == 0 || c == 0) {
                // The header row and column look like the fixed cells of a grid and
                // cannot be selected.
                item->setFlags(Qt::ItemIsEnabled);
                item->setTextAlignment(Qt::AlignCenter);
                item->setBackground(palette().button());
                item->setForeground(palette().buttonText());
            }
            sg1_->setItem(r, c, item);
        }
    }
    sg1_->setCurrentCell(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(panel);
    layout->addWidget(sg1_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (QAbstractButton* b :
         {static_cast<QAbstractButton*>(da_), static_cast<QAbstractButton*>(ha_),
          static_cast<QAbstractButton*>(it_), static_cast<QAbstractButton*>(dos_),
          static_cast<QAbstractButton*>(win_)})
        connect(b, &QAbstractButton::clicked, this, &Tascii::Fill);
    connect(sot_, &QCheckBox::toggled, this, &Tascii::SetStayOnTop);
    // The window sees the keys before its controls do, so Escape hides it whichever of
    // them has the focus.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    Fill();
}

void Tascii::Fill() {
    const bool hex = ha_->isChecked();
    const bool inTable = it_->isChecked();
    const TCodePage page = dos_->isChecked() ? TCodePage::Oem437 : TCodePage::Windows1252;
    for (int c = 1; c < kCells; ++c)
        sg1_->item(0, c)->setText(QString::fromStdString(AsciiHeaderText(16 * (c - 1), hex)));
    for (int r = 1; r < kCells; ++r)
        sg1_->item(r, 0)->setText(QString::fromStdString(AsciiHeaderText(r - 1, hex)));
    for (int c = 1; c < kCells; ++c)
        for (int r = 1; r < kCells; ++r)
            sg1_->item(r, c)->setText(QString::fromStdString(
                AsciiCellText(AsciiCodeAt(c - 1, r - 1), hex, inTable, page)));
}

void Tascii::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        hide();
    else
        QWidget::keyPressEvent(event);
}

bool Tascii::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            hide();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Tascii::SetStayOnTop(bool on) {
    // Changing the flag re-creates the native window, which hides it; show it again.
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (shown)
        show();
}

} // namespace kvx
