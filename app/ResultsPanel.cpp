#include "ResultsPanel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

namespace kvx {
namespace {

// Draws a line with its marked range (a search hit) on the highlight colour, and the
// lines of standard error and the panel's own notes in their colours.
class TResultDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const int markStart = index.data(TResultsModel::MarkStartRole).toInt();
        const int markLength = index.data(TResultsModel::MarkLengthRole).toInt();
        if (markLength <= 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const QRect r =
            style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget).adjusted(2, 0, -2, 0);
        const QFontMetrics fm(opt.font);
        const int start = std::clamp(markStart, 0, static_cast<int>(text.size()));
        const int end = std::clamp(markStart + markLength, start, static_cast<int>(text.size()));
        const int x0 = r.left() + fm.horizontalAdvance(text.left(start));
        const int x1 = r.left() + fm.horizontalAdvance(text.left(end));
        painter->save();
        painter->setClipRect(r);
        painter->fillRect(QRect(x0, r.top(), x1 - x0, r.height()),
                          opt.palette.color(QPalette::Highlight));
        const bool selected = opt.state & QStyle::State_Selected;
        const QColor normal =
            opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        const int baseline = r.top() + (r.height() - fm.height()) / 2 + fm.ascent();
        painter->setPen(normal);
        painter->drawText(r.left(), baseline, text.left(start));
        painter->setPen(opt.palette.color(QPalette::HighlightedText));
        painter->drawText(x0, baseline, text.mid(start, end - start));
        painter->setPen(normal);
        painter->drawText(x1, baseline, text.mid(end));
        painter->restore();
    }
};

} // namespace

int TResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant TResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const TResultLine& line = Line(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return line.Text;
    case Qt::ForegroundRole:
        if (line.Kind == TResultKind::Error)
            return QColor(0xB0, 0x00, 0x00);
        if (line.Kind == TResultKind::Info)
            return QApplication::palette().color(QPalette::PlaceholderText);
        return {};
    case Qt::ToolTipRole:
        if (line.Target)
            return QStringLiteral("Double-click or Enter: go to %1, line %2")
                .arg(QString::fromStdString(line.Target->File))
                .arg(line.Target->Line);
        return {};
    case KindRole:
        return static_cast<int>(line.Kind);
    case MarkStartRole:
        return line.MarkStart;
    case MarkLengthRole:
        return line.MarkLength;
    case HasTargetRole:
        return line.Target.has_value();
    default:
        return {};
    }
}

void TResultsModel::Append(std::vector<TResultLine> lines) {
    if (lines.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(lines.size()) - 1);
    lines_.insert(lines_.end(), std::make_move_iterator(lines.begin()),
                  std::make_move_iterator(lines.end()));
    endInsertRows();
}

void TResultsModel::Clear() {
    beginResetModel();
    lines_.clear();
    lines_.shrink_to_fit();
    endResetModel();
}

TResultsPanel::TResultsPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ResultsPanel"));
    model_ = new TResultsModel(this);
    view_ = new QListView;
    view_->setObjectName(QStringLiteral("ResultsList"));
    view_->setModel(model_);
    // Every row has the same height: the view then never measures rows it does not show,
    // which is what keeps a hundred thousand lines fast.
    view_->setUniformItemSizes(true);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setTextElideMode(Qt::ElideRight);
    view_->setItemDelegate(new TResultDelegate(view_));
    QFont mono = view_->font();
    mono.setFamily(QStringLiteral("monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    view_->setFont(mono);
    view_->setAccessibleName(QStringLiteral("Results"));

    title_ = new QLabel;
    title_->setObjectName(QStringLiteral("ResultsTitle"));
    title_->setTextFormat(Qt::PlainText);
    stop_ = new QToolButton;
    stop_->setText(QStringLiteral("Stop"));
    stop_->setToolTip(QStringLiteral("Stop the running tool"));
    stop_->setEnabled(false);
    clear_ = new QToolButton;
    clear_->setText(QStringLiteral("Clear"));
    clear_->setToolTip(QStringLiteral("Clear the list"));

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(title_, 1);
    bar->addWidget(stop_);
    bar->addWidget(clear_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addWidget(view_);

    // Activated comes on a double-click and on Enter alike.
    connect(view_, &QListView::activated, this, &TResultsPanel::Activate);
    connect(stop_, &QToolButton::clicked, this, &TResultsPanel::stopRequested);
    connect(clear_, &QToolButton::clicked, this, &TResultsPanel::Clear);
}

void TResultsPanel::Clear() {
    model_->Clear();
}

void TResultsPanel::SetTitle(const QString& title) {
    title_->setText(title);
}

QString TResultsPanel::Title() const {
    return title_->text();
}

void TResultsPanel::Append(std::vector<TResultLine> lines) {
    // Follow the output while the user looks at its end, not while reading further up.
    const bool atEnd =
        !view_->currentIndex().isValid() || view_->currentIndex().row() == model_->rowCount() - 1;
    model_->Append(std::move(lines));
    if (atEnd && model_->rowCount() > 0)
        view_->scrollToBottom();
}

void TResultsPanel::AppendLine(const QString& text, TResultKind kind,
                               std::optional<TJumpTarget> target) {
    std::vector<TResultLine> one;
    one.push_back(TResultLine{text, kind, std::move(target), 0, 0});
    Append(std::move(one));
}

void TResultsPanel::SetBusy(bool busy) {
    stop_->setEnabled(busy);
}

void TResultsPanel::Activate(const QModelIndex& index) {
    if (!index.isValid())
        return;
    const TResultLine& line = model_->Line(index.row());
    if (!line.Target)
        return;
    emit jumpRequested(QString::fromStdString(line.Target->File), line.Target->Line,
                       line.Target->Column, line.Target->Length);
}

} // namespace kvx
