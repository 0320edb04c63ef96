// The widget's side of drag and drop: the desktop's drag events become the control's
// DragEnter, DragOver, DragLeave and Drop, and the selection is dragged out through QDrag.
// What a drop does is the control's decision; here the dragged data is read (text/plain,
// text/html, local files of text/uri-list) and the effect shown.
#include "SyntaxMemo.h"
#include "editor/MemoMouse.h"

#include "MemoFonts.h"

#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QUrl>

namespace kvx {

namespace {

// The local files a drag carries; other addresses are not files to open.
std::vector<std::string> LocalFiles(const QMimeData& mime) {
    std::vector<std::string> files;
    if (!mime.hasUrls())
        return files;
    for (const QUrl& url : mime.urls())
        if (url.isLocalFile())
            files.push_back(url.toLocalFile().toStdString());
    return files;
}

Qt::DropAction ToDropAction(TDropEffect effect) {
    switch (effect) {
    case TDropEffect::Copy:
        return Qt::CopyAction;
    case TDropEffect::Move:
        return Qt::MoveAction;
    case TDropEffect::None:
        break;
    }
    return Qt::IgnoreAction;
}

TDropEffect ToDropEffect(Qt::DropAction action) {
    switch (action) {
    case Qt::CopyAction:
        return TDropEffect::Copy;
    case Qt::MoveAction:
    case Qt::TargetMoveAction:
        return TDropEffect::Move;
    default:
        return TDropEffect::None;
    }
}

// Copy with Ctrl held, or when the source does not allow a move.
bool CopyWanted(const QDropEvent& e) {
    return (e.modifiers() & Qt::ControlModifier) || !(e.possibleActions() & Qt::MoveAction);
}

void Answer(QDropEvent* e, TDropEffect effect) {
    if (effect == TDropEffect::None) {
        e->ignore();
        return;
    }
    e->setDropAction(ToDropAction(effect));
    e->accept();
}

} // namespace

TSourceTypes TSyntaxMemo::DropFormats(const QMimeData& mime) const {
    // A drag of files from a file manager often carries their names as text as well; with
    // smoProcessDroppedFiles it is a drop of files, to be opened, not of their names.
    if (memo_->HasOption(smoProcessDroppedFiles) && !LocalFiles(mime).empty())
        return stFiles;
    TSourceTypes types = 0;
    if (mime.hasText())
        types |= stText | stUnicodeText;
    if (mime.hasHtml())
        types |= stHTML;
    return types;
}

TDropData TSyntaxMemo::DropDataOf(const QMimeData& mime) const {
    TDropData data;
    data.Available = DropFormats(mime);
    if (data.Available & stFiles)
        data.Files = LocalFiles(mime);
    if (data.Available & stHTML)
        data.Html = mime.html().toStdString();
    if (data.Available & stText)
        data.Text = mime.text().toStdString();
    return data;
}

TextOffset TSyntaxMemo::DropOffsetAt(QPoint at) const {
    // Over the gutter a drop goes to the start of the row; below the text, to its end.
    const Pixel x = std::max(at.x() - memo_->TextLeft(), 0);
    const Pixel y = std::clamp(at.y(), 0, std::max(viewport()->height() - 1, 0));
    return memo_->View().OffsetAt(x, y);
}

QRect TSyntaxMemo::DropCaretRect() const {
    if (!memo_->DropActive())
        return {};
    Pixel x = 0, y = 0;
    memo_->View().PointOf(memo_->DropPosition(), x, y);
    x += memo_->TextLeft();
    if (x < memo_->TextLeft() || x >= viewport()->width() || y < 0 || y >= viewport()->height())
        return {};
    return QRect(x, y, 2, fonts_->RowHeight());
}

void TSyntaxMemo::ShowDropCaret() {
    viewport()->update(dropCaret_);
    dropCaret_ = DropCaretRect();
    viewport()->update(dropCaret_);
}

void TSyntaxMemo::dragEnterEvent(QDragEnterEvent* e) {
    TDropEffect effect = TDropEffect::None;
    Guard([&] {
        const TSourceTypes types = DropFormats(*e->mimeData());
        effect = memo_->DragEnter(types, DropOffsetAt(e->position().toPoint()), CopyWanted(*e));
    });
    Answer(e, effect);
    ShowDropCaret();
}

void TSyntaxMemo::dragMoveEvent(QDragMoveEvent* e) {
    TDropEffect effect = TDropEffect::None;
    Guard([&] {
        // Files are never moved: a move answer could make the file manager delete them.
        const bool files = DropFormats(*e->mimeData()) == stFiles;
        // Near the window's edges each move scrolls a step, so that a drop can reach text
        // out of sight.
        TMemoMouse& mouse = memo_->View().Mouse();
        mouse.SetDropActive(true);
        const QPoint at = e->position().toPoint();
        const RowIndex top = memo_->View().TopRow();
        const DisplayColumn first = memo_->View().FirstColumn();
        mouse.MouseMove(at.x(), at.y(), 0);
        if (memo_->View().TopRow() != top || memo_->View().FirstColumn() != first)
            memo_->ChangeNotification();
        effect = memo_->DragOver(DropOffsetAt(at), files || CopyWanted(*e));
    });
    Answer(e, effect);
    ShowDropCaret();
}

void TSyntaxMemo::dragLeaveEvent(QDragLeaveEvent* e) {
    memo_->View().Mouse().SetDropActive(false);
    memo_->DragLeave();
    ShowDropCaret();
    e->accept();
}

void TSyntaxMemo::dropEvent(QDropEvent* e) {
    TDropEffect effect = TDropEffect::None;
    memo_->View().Mouse().SetDropActive(false);
    Guard([&] {
        TDropData data = DropDataOf(*e->mimeData());
        const QPoint at = e->position().toPoint();
        effect = memo_->Drop(data, DropOffsetAt(at), {at.x(), at.y()}, CopyWanted(*e));
        memo_->ChangeNotification();
    });
    Answer(e, effect);
    ShowDropCaret();
    viewport()->update();
}

TSyntaxMemo::TDragRunner& TSyntaxMemo::DragRunner() {
    static TDragRunner runner = [](QDrag& drag, Qt::DropActions allowed, Qt::DropAction preferred) {
        return drag.exec(allowed, preferred);
    };
    return runner;
}

Qt::DropAction TSyntaxMemo::StartDrag() {
    std::string text;
    bool moveAllowed = false;
    bool started = false;
    Guard([&] { started = memo_->BeginDrag(text, moveAllowed); });
    if (!started)
        return Qt::IgnoreAction;
    auto* mime = new QMimeData;
    mime->setText(QString::fromStdString(text));
    QPointer<QDrag> drag = new QDrag(this);
    drag->setMimeData(mime);
    const Qt::DropActions allowed =
        moveAllowed ? Qt::CopyAction | Qt::MoveAction : Qt::DropActions(Qt::CopyAction);
    const Qt::DropAction preferred = moveAllowed ? Qt::MoveAction : Qt::CopyAction;
    const Qt::DropAction action =
        DragRunner() ? DragRunner()(*drag, allowed, preferred) : drag->exec(allowed, preferred);
    Guard([&] {
        memo_->EndDrag(ToDropEffect(action));
        memo_->ChangeNotification();
    });
    if (drag)
        drag->deleteLater();
    viewport()->update();
    return action;
}

} // namespace kvx
