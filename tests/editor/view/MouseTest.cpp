// The widget driven by the mouse and the wheel as a user does: clicks place the caret,
// drags select, double and triple clicks take a word and a row, Shift extends, the margin
// strip selects rows, the wheel scrolls, the pointer changes over the right-margin line,
// and with word wrap on a narrower window cuts the rows again.
#include "WidgetFixture.h"
#include "editor/MemoMouse.h"
#include "support/StoreInvariants.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

namespace kvx {
namespace {

class Mouse : public test::TWidgetFixture {
  protected:
    // The middle of a character cell of the text area.
    QPoint Cell(int row, int column) {
        return QPoint(Memo().TextLeft() + column * widget.CharWidth() + widget.CharWidth() / 2,
                      row * widget.RowHeight() + widget.RowHeight() / 2);
    }
    // Mouse events with times of our own, so that double and triple clicks are what the
    // test says whatever the clock does.
    void Send(QEvent::Type type, QPoint at, Qt::KeyboardModifiers m = Qt::NoModifier) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, at, widget.viewport()->mapToGlobal(at), button, held, m);
        e.setTimestamp(time_);
        QApplication::sendEvent(widget.viewport(), &e);
    }
    void Click(QPoint at, Qt::KeyboardModifiers m = Qt::NoModifier) {
        time_ += 2000; // well apart from the click before
        Send(QEvent::MouseButtonPress, at, m);
        Send(QEvent::MouseButtonRelease, at, m);
    }
    // Presses in quick succession at one place; Qt sends the second as a double click.
    void Clicks(QPoint at, int count) {
        time_ += 2000;
        for (int i = 0; i < count; ++i) {
            time_ += 50;
            Send(i == 1 ? QEvent::MouseButtonDblClick : QEvent::MouseButtonPress, at);
            Send(QEvent::MouseButtonRelease, at);
        }
    }
    std::string Selected() {
        const TSelectionRange s = Memo().Selection();
        return Memo().Store().GetText(s.Start(), s.End());
    }
    void Wheel(int notches, Qt::KeyboardModifiers m = Qt::NoModifier) {
        const QPoint at = Cell(1, 1);
        QWheelEvent e(at, widget.viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, m, Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget.viewport(), &e);
    }

    ulong time_ = 100000;
};

TEST_F(Mouse, ClicksDragsAndMultipleClicks) {
    Memo().SetWholeText("alpha beta gamma\rsecond line here\rthird\r");
    Memo().ChangeNotification();

    Click(Cell(1, 3));
    EXPECT_EQ(Memo().SelStart(), 17 + 3);
    EXPECT_TRUE(Memo().Selection().Empty());

    // Shift with a click extends from the caret.
    Click(Cell(0, 6), Qt::ShiftModifier);
    EXPECT_EQ(Selected(), "beta gamma\rsec");

    // A drag from a press to a release selects what lies between, either way.
    time_ += 2000;
    Send(QEvent::MouseButtonPress, Cell(0, 0));
    Send(QEvent::MouseMove, Cell(0, 3));
    Send(QEvent::MouseMove, Cell(1, 6));
    Send(QEvent::MouseButtonRelease, Cell(1, 6));
    EXPECT_EQ(Selected(), "alpha beta gamma\rsecond");

    // A second press in quick succession selects the word, a third the row.
    Clicks(Cell(0, 7), 2);
    EXPECT_EQ(Selected(), "beta");
    Clicks(Cell(1, 2), 3);
    EXPECT_EQ(Selected(), "second line here\r");

    // A press in the margin strip, left of the text, selects the row.
    Memo().SetMargin(widget.CharWidth());
    Memo().ChangeNotification();
    Click(QPoint(Memo().TextLeft() - 2, Cell(2, 0).y()));
    EXPECT_EQ(Selected(), "third\r");
}

TEST_F(Mouse, ADragPastTheBottomScrollsAndSelectsOn) {
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "row " + std::to_string(i) + "\r";
    Memo().SetWholeText(text);
    Memo().ChangeNotification();
    time_ += 2000;
    Send(QEvent::MouseButtonPress, Cell(1, 0));
    // Held below the window: the timer scrolls on while the button stays down.
    Send(QEvent::MouseMove, QPoint(Cell(0, 2).x(), widget.viewport()->height() + 40));
    for (int i = 0; i < 200 && Memo().View().TopRow() < 10; ++i)
        QTest::qWait(10);
    const RowIndex top = Memo().View().TopRow();
    EXPECT_GE(top, 10);
    EXPECT_EQ(widget.verticalScrollBar()->value(), top);
    Send(QEvent::MouseButtonRelease, QPoint(Cell(0, 2).x(), widget.viewport()->height() + 40));
    // The selection runs from the press to the row under the pointer, below the window.
    EXPECT_EQ(Memo().Selection().Start(), 6);
    EXPECT_GT(Memo().Selection().End(), TextOffset(6 * (top + 5)));
    // Released: no more scrolling.
    QTest::qWait(120);
    EXPECT_EQ(Memo().View().TopRow(), top);
}

TEST_F(Mouse, TheScrollBarMovesAMillionRows) {
    std::string text;
    text.reserve(8 * 1000000);
    for (int i = 0; i < 1000000; ++i)
        text += "r" + std::to_string(i % 100000) + "\r";
    Memo().SetWholeText(text);
    Memo().ChangeNotification();
    QScrollBar* bar = widget.verticalScrollBar();
    EXPECT_GE(bar->maximum(), 999000);
    // Dragging the thumb to the middle shows the rows there, painted.
    bar->setSliderPosition(500000);
    QApplication::processEvents();
    EXPECT_EQ(Memo().View().TopRow(), 500000);
    Render();
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    QApplication::processEvents();
    EXPECT_EQ(Memo().View().TopRow(), bar->maximum());
    EXPECT_GT(Memo().View().TopRow(), 999000);
}

TEST_F(Mouse, TheWheelScrollsAndCtrlIsLeftToTheApplication) {
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "line " + std::to_string(i) + "\r";
    Memo().SetWholeText(text);
    Memo().ChangeNotification();
    const int step = QApplication::wheelScrollLines();
    Wheel(-2);
    EXPECT_EQ(Memo().View().TopRow(), 2 * step);
    EXPECT_EQ(widget.verticalScrollBar()->value(), 2 * step);
    Wheel(1);
    EXPECT_EQ(Memo().View().TopRow(), step);
    Wheel(5); // past the top stays at the top
    EXPECT_EQ(Memo().View().TopRow(), 0);
    Wheel(-1, Qt::ControlModifier);
    EXPECT_EQ(Memo().View().TopRow(), 0);
}

TEST_F(Mouse, ThePointerSplitsOverTheRightMarginLine) {
    Memo().SetWholeText("short\r");
    Memo().SetRightMargin(20);
    Memo().SetOptions(Memo().Options().Include(smoShowRMargin));
    Memo().ChangeNotification();
    time_ += 2000;
    Send(QEvent::MouseMove, Cell(0, 2));
    EXPECT_EQ(widget.viewport()->cursor().shape(), Qt::IBeamCursor);
    const QPoint line(Memo().TextLeft() + 20 * widget.CharWidth(), Cell(0, 0).y());
    Send(QEvent::MouseMove, line);
    EXPECT_EQ(widget.viewport()->cursor().shape(), Qt::SplitHCursor);
    // Dragging it sets the right margin where it is let go.
    Send(QEvent::MouseButtonPress, line);
    const QPoint at12(Memo().TextLeft() + 12 * widget.CharWidth() + 1, line.y());
    Send(QEvent::MouseMove, at12);
    Send(QEvent::MouseButtonRelease, at12);
    EXPECT_EQ(Memo().RightMargin(), 12);
}

TEST_F(Mouse, WordWrapFollowsTheWindowsWidth) {
    std::string line;
    for (int i = 0; i < 60; ++i)
        line += "word" + std::to_string(i) + " ";
    Memo().SetWholeText(line + "\rafter\r");
    Memo().SetOptions(Memo().Options().Include(smoWordWrap));
    Memo().ChangeNotification();
    const RowIndex wide = Memo().Store().RowCount();
    EXPECT_GT(wide, 3);
    // Every row fits the window, so the horizontal bar has nothing to scroll.
    EXPECT_EQ(widget.horizontalScrollBar()->maximum(), 0);

    widget.resize(widget.width() / 2, widget.height());
    QApplication::processEvents();
    const RowIndex narrow = Memo().Store().RowCount();
    EXPECT_GT(narrow, wide);
    EXPECT_EQ(Memo().Text(), line + "\rafter\r");
    // A click on the row after the wrapped line lands on "after" (the empty line after the
    // final break has no row of its own).
    Click(Cell(narrow - 1, 2));
    EXPECT_EQ(Memo().SelStart(), TextOffset(line.size() + 1 + 2));

    // Word wrap off: the line is one row again (it is shorter than a row may be).
    Memo().SetOptions(Memo().Options().Exclude(smoWordWrap));
    Memo().ChangeNotification();
    EXPECT_EQ(Memo().Store().RowCount(), 2);
    EXPECT_GT(widget.horizontalScrollBar()->maximum(), 0);
}

TEST_F(Mouse, ALargeDocumentIsWrappedInTheBackground) {
    std::string line;
    while (line.size() < 150)
        line += "mov eax, ebx ";
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += line + "\r";
    Memo().SetWholeText(text);
    Memo().SetOptions(Memo().Options().Include(smoWordWrap));
    Memo().ChangeNotification();
    // The window's rows are cut at once, the rest is left to slices between events.
    EXPECT_TRUE(Memo().View().WordWrap().Pending());
    EXPECT_GT(Memo().Store().RowCount(), 20000);
    for (int i = 0; i < 5000 && widget.HighlightingPending(); ++i)
        QTest::qWait(1);
    EXPECT_FALSE(Memo().View().WordWrap().Pending());
    EXPECT_EQ(test::CheckStore(Memo().Store(), true), "");
    EXPECT_EQ(Memo().Text(), text);
    const auto expectedRows = [&] {
        const int columns =
            (widget.viewport()->width() - Memo().TextLeft()) / widget.CharWidth() - 4;
        return 20000 * ((int(line.size()) + columns - 1) / columns);
    };
    EXPECT_EQ(Memo().Store().RowCount(), expectedRows());

    // A narrower window: the rest of the document is cut again in the background too.
    widget.resize(widget.width() * 2 / 3, widget.height());
    QApplication::processEvents();
    EXPECT_TRUE(widget.HighlightingPending());
    for (int i = 0; i < 5000 && widget.HighlightingPending(); ++i)
        QTest::qWait(1);
    EXPECT_FALSE(Memo().View().WordWrap().Pending());
    EXPECT_EQ(Memo().Store().RowCount(), expectedRows());
    EXPECT_EQ(test::CheckStore(Memo().Store(), true), "");
}

} // namespace
} // namespace kvx
