// The widget's mouse and wheel: Qt's events passed to the control's mouse logic
// (TMemoMouse) and wheel scrolling (TMemoScroll), the pointer shape it decides, and the
// timer that scrolls while the button is held past the window's edge. What a press, a move
// or a turn of the wheel does is decided in the core; here only Qt is translated.
#include "SyntaxMemo.h"

#include "editor/MemoMouse.h"
#include "editor/MemoScroll.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

namespace kvx {

namespace {

TShiftState ShiftOf(Qt::KeyboardModifiers m) {
    TShiftState s = 0;
    if (m & Qt::ShiftModifier)
        s |= ssShift;
    if (m & Qt::ControlModifier)
        s |= ssCtrl;
    if (m & (Qt::AltModifier | Qt::MetaModifier))
        s |= ssAlt;
    return s;
}

// The classic desktop's cursor numbers that HyperCursor holds, as Qt's shapes; 0 and
// numbers without a counterpart are the default arrow.
Qt::CursorShape CursorOfNumber(int number) {
    switch (number) {
    case -3:
        return Qt::CrossCursor;
    case -4:
        return Qt::IBeamCursor;
    case -6:
        return Qt::SizeBDiagCursor;
    case -7:
        return Qt::SizeVerCursor;
    case -8:
        return Qt::SizeFDiagCursor;
    case -9:
        return Qt::SizeHorCursor;
    case -10:
        return Qt::UpArrowCursor;
    case -11:
        return Qt::WaitCursor;
    case -12:
    case -16:
        return Qt::DragCopyCursor;
    case -13:
    case -18:
        return Qt::ForbiddenCursor;
    case -14:
        return Qt::SplitHCursor;
    case -15:
        return Qt::SplitVCursor;
    case -17:
    case -19:
        return Qt::BusyCursor;
    case -20:
        return Qt::WhatsThisCursor;
    case -21:
        return Qt::PointingHandCursor;
    default:
        return Qt::ArrowCursor;
    }
}

} // namespace

void TSyntaxMemo::MousePress(QMouseEvent* e, int clicks) {
    if (e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    e->accept();
    setFocus(Qt::MouseFocusReason);
    Guard([&] {
        TMemoMouse& mouse = memo_->View().Mouse();
        mouse.DoubleClickTime = QApplication::doubleClickInterval();
        mouse.DragDistance = QApplication::startDragDistance();
        const QPoint p = e->position().toPoint();
        mouse.MouseDown(p.x(), p.y(), ShiftOf(e->modifiers()), clicks,
                        static_cast<int64_t>(e->timestamp()));
        memo_->ChangeNotification();
    });
    ShowPointer();
}

void TSyntaxMemo::mousePressEvent(QMouseEvent* e) {
    MousePress(e, 1);
}

void TSyntaxMemo::mouseDoubleClickEvent(QMouseEvent* e) {
    // Qt sends the second press of a double click as this event and no press: it goes the
    // same way, so that the control's click count still counts it.
    MousePress(e, 2);
}

void TSyntaxMemo::mouseMoveEvent(QMouseEvent* e) {
    e->accept();
    TMouseAction action = TMouseAction::None;
    Guard([&] {
        const QPoint p = e->position().toPoint();
        action = memo_->View().Mouse().MouseMove(p.x(), p.y(), ShiftOf(e->modifiers()));
        memo_->ChangeNotification();
    });
    ShowPointer();
    if (memo_->View().Mouse().MarginDrag())
        viewport()->update();
    if (memo_->View().Mouse().AutoScrolling() && !autoScroll_.isActive())
        autoScroll_.start();
    if (action == TMouseAction::StartDrag) {
        // The drag takes the button's release: the press is over when it returns.
        StartDrag();
        Guard([&] { memo_->View().Mouse().Cancel(); });
    }
}

void TSyntaxMemo::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    e->accept();
    autoScroll_.stop();
    Guard([&] {
        const QPoint p = e->position().toPoint();
        memo_->View().Mouse().MouseUp(p.x(), p.y(), ShiftOf(e->modifiers()));
        memo_->ChangeNotification();
    });
    ShowPointer();
}

void TSyntaxMemo::wheelEvent(QWheelEvent* e) {
    // Ctrl with the wheel is the application's (font size); the editor takes the rest.
    if (e->modifiers() & Qt::ControlModifier) {
        e->ignore();
        return;
    }
    e->accept();
    Guard([&] {
        QPoint turn = e->angleDelta();
        // Shift turns the wheel sideways, as desktop editors do.
        if ((e->modifiers() & Qt::ShiftModifier) && turn.x() == 0)
            turn = QPoint(turn.y(), 0);
        memo_->View().Scroll().Wheel(turn.y(), turn.x(), QApplication::wheelScrollLines());
        memo_->ChangeNotification();
    });
}

void TSyntaxMemo::AutoScroll() {
    Guard([&] {
        TMemoMouse& mouse = memo_->View().Mouse();
        if (!(QApplication::mouseButtons() & Qt::LeftButton) && !mouse.DropActive()) {
            // The release went elsewhere (another window took the mouse).
            mouse.Cancel();
        } else if (mouse.AutoScrollStep()) {
            memo_->ChangeNotification();
        }
    });
    if (!memo_->View().Mouse().AutoScrolling())
        autoScroll_.stop();
}

void TSyntaxMemo::ShowPointer() {
    Qt::CursorShape shape = Qt::IBeamCursor;
    switch (memo_->View().Mouse().Pointer()) {
    case TPointerShape::Arrow:
        shape = Qt::ArrowCursor;
        break;
    case TPointerShape::IBeam:
        shape = Qt::IBeamCursor;
        break;
    case TPointerShape::HorizontalSplit:
        shape = Qt::SplitHCursor;
        break;
    case TPointerShape::Hyperlink:
        shape = CursorOfNumber(memo_->HyperCursor());
        break;
    }
    // A pointer the application set on its own stays.
    const Qt::CursorShape now = viewport()->cursor().shape();
    const bool managed = now == Qt::ArrowCursor || now == Qt::IBeamCursor ||
                         now == Qt::SplitHCursor || now == CursorOfNumber(memo_->HyperCursor());
    if (managed && now != shape)
        viewport()->setCursor(shape);
}

} // namespace kvx
