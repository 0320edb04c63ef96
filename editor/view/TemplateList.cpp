#include "TemplateList.h"

#include "SyntaxMemo.h"
#include "editor/Macros.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace kvx {

namespace {

constexpr int kNameRole = Qt::UserRole;
constexpr int kDescriptionRole = Qt::UserRole + 1;
constexpr int kVisibleItems = 8;

QFont BoldOf(const QFont& f) {
    QFont bold = f;
    bold.setBold(true);
    return bold;
}

// Two columns: the description in the list's font, the name in bold where the widest
// description ends.
class TTwoColumns : public QStyledItemDelegate {
  public:
    TTwoColumns(QObject* parent, const int& nameX) : QStyledItemDelegate(parent), nameX_(nameX) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette& pal = option.palette;
        p->fillRect(option.rect, selected ? pal.highlight() : pal.base());
        p->setPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
        const QRect r = option.rect;
        p->setFont(option.font);
        p->drawText(QRect(r.left() + 2, r.top(), nameX_ - 2, r.height()),
                    Qt::AlignLeft | Qt::AlignVCenter, index.data(kDescriptionRole).toString());
        p->setFont(BoldOf(option.font));
        p->drawText(QRect(r.left() + nameX_, r.top(), r.width() - nameX_, r.height()),
                    Qt::AlignLeft | Qt::AlignVCenter, index.data(kNameRole).toString());
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return {nameX_, QFontMetrics(BoldOf(option.font)).height() + 2};
    }

  private:
    const int& nameX_;
};

} // namespace

QRect TemplateListPlace(const QRect& editor, const QRect& caretLine, QSize list) {
    QRect r(QPoint(caretLine.left(), caretLine.bottom() + 1), list);
    if (r.bottom() > editor.bottom())
        r.moveBottom(caretLine.top() - 1);
    if (r.right() > editor.right())
        r.moveLeft(editor.width() - list.width() - 24);
    return r;
}

int FindTemplateByPrefix(const QStringList& names, const QString& search) {
    for (int i = 0; i < names.size(); ++i)
        if (names[i].startsWith(search, Qt::CaseInsensitive))
            return i;
    return -1;
}

TTemplateList::TTemplateList(TSyntaxMemo& editor)
    : QListWidget(editor.viewport()), editor_(editor) {
    setFont(QFont(QStringLiteral("Arial"), 8));
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setLineWidth(1);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setItemDelegate(new TTwoColumns(this, descriptionWidth_));
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { Insert(); });
    hide();
}

void TTemplateList::Show(TCodeTemplates& templates, const QRect& caretLine) {
    templates_ = &templates;
    clear();
    names_.clear();
    search_.clear();
    const QFontMetrics plain(font());
    const QFontMetrics bold(BoldOf(font()));
    int widestDescription = 0, widestName = 0;
    for (const auto& [description, name] : templates.ListItems()) {
        const QString d = QString::fromStdString(description);
        const QString n = QString::fromStdString(name);
        auto* item = new QListWidgetItem(d + QLatin1Char('\t') + n, this);
        item->setData(kNameRole, n);
        item->setData(kDescriptionRole, d);
        names_ << n;
        widestDescription = std::max(widestDescription, plain.horizontalAdvance(d));
        widestName = std::max(widestName, bold.horizontalAdvance(n));
    }
    descriptionWidth_ = widestDescription + 24;
    const int itemHeight = bold.height() + 2;
    const int frame = 2 * frameWidth();
    const QSize size(widestDescription + widestName + 48 + frame,
                     std::min<int>(count(), kVisibleItems) * itemHeight + frame);
    setGeometry(TemplateListPlace(editor_.viewport()->rect(), caretLine, size));
    setCurrentRow(templates.FirstListItem());
    editor_.keepSelection_ = true;
    closing_ = false;
    show();
    raise();
    setFocus(Qt::PopupFocusReason);
}

void TTemplateList::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Insert();
    case Qt::Key_Escape:
        return Close();
    default:
        break;
    }
    const QString text = e->text();
    const bool typed = !text.isEmpty() && text[0].isPrint() &&
                       !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (!typed)
        return QListWidget::keyPressEvent(e);
    // Typing searches by name; a search that finds nothing starts again with the key.
    search_ += text;
    int found = FindTemplateByPrefix(names_, search_);
    if (found < 0) {
        search_ = text;
        found = FindTemplateByPrefix(names_, search_);
    }
    if (found >= 0)
        setCurrentRow(found);
}

void TTemplateList::focusOutEvent(QFocusEvent* e) {
    QListWidget::focusOutEvent(e);
    Close();
}

void TTemplateList::Insert() {
    if (closing_ || !templates_ || currentRow() < 0)
        return;
    closing_ = true;
    const std::string name = names_[currentRow()].toStdString();
    editor_.Guard([&] {
        templates_->InsertFromList(editor_.Memo(), name);
        editor_.Memo().ChangeNotification();
    });
    hide();
    editor_.keepSelection_ = false;
    editor_.setFocus(Qt::OtherFocusReason);
    editor_.viewport()->update();
}

void TTemplateList::Close() {
    if (closing_)
        return;
    closing_ = true;
    hide();
    editor_.keepSelection_ = false;
    // The typed prefix was selected for a choice to replace; without one it stays as typed.
    editor_.Guard([&] {
        TCustomSyntaxMemo& memo = editor_.Memo();
        const TextOffset end = memo.Selection().End();
        memo.SetSelection(end, end);
        memo.ChangeNotification();
    });
    editor_.setFocus(Qt::OtherFocusReason);
    editor_.viewport()->update();
}

} // namespace kvx
