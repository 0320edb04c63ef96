#include "app/AsciiTable.h"

#include <QCheckBox>
#include <QImage>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace kvx {
namespace {

template <class T> T* Control(QWidget& w, const char* name) {
    T* c = w.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

// The cell of a code: column 1 + code / 16, row 1 + code % 16.
QString Cell(Tascii& t, int code) {
    return t.Grid()->item(1 + code % 16, 1 + code / 16)->text();
}

TEST(AsciiTable, StartsAsTheFormLaysItOut) {
    Tascii t;
    EXPECT_EQ(t.windowTitle(), "ASCII TABLE");
    EXPECT_TRUE(Control<QRadioButton>(t, "HA")->isChecked());
    EXPECT_FALSE(Control<QRadioButton>(t, "DA")->isChecked());
    EXPECT_FALSE(Control<QCheckBox>(t, "IT")->isChecked());
    EXPECT_TRUE(Control<QRadioButton>(t, "WIN")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(t, "SOT")->isChecked());
    EXPECT_TRUE(t.windowFlags() & Qt::WindowStaysOnTopHint);
    QTableWidget* g = t.Grid();
    EXPECT_EQ(g->rowCount(), 17);
    EXPECT_EQ(g->columnCount(), 17);
    // 50 and 30 pixels, or wider where the font needs it for the widest cell to show.
    EXPECT_GE(g->columnWidth(0), 30);
    EXPECT_GE(g->columnWidth(1), 50);
    EXPECT_LE(g->fontMetrics().horizontalAdvance(QString::fromUtf8("255   \u00FF")) + 6,
              g->columnWidth(1));
    EXPECT_EQ(g->item(0, 1)->text(), "00");
    EXPECT_EQ(g->item(0, 16)->text(), "F0");
    EXPECT_EQ(g->item(16, 0)->text(), "0F");
    EXPECT_EQ(g->item(0, 0)->text(), "");
    EXPECT_EQ(Cell(t, 65), "A  ");
    EXPECT_EQ(Cell(t, 5), "enq");
    EXPECT_EQ(Cell(t, 127), "   ");
    EXPECT_EQ(Cell(t, 128), QString::fromUtf8("\u20AC")); // Windows: the euro sign
    // The header cells cannot be selected, the codes can.
    EXPECT_FALSE(g->item(0, 3)->flags() & Qt::ItemIsSelectable);
    EXPECT_TRUE(g->item(3, 3)->flags() & Qt::ItemIsSelectable);
}

TEST(AsciiTable, ControlsRedrawTheGrid) {
    Tascii t;
    t.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&t));
    QTest::mouseClick(Control<QCheckBox>(t, "IT"), Qt::LeftButton);
    EXPECT_EQ(Cell(t, 65), "41   A  ");
    EXPECT_EQ(Cell(t, 10), "0a   nl ");
    QTest::mouseClick(Control<QRadioButton>(t, "DA"), Qt::LeftButton);
    EXPECT_EQ(Cell(t, 65), "65   A  ");
    EXPECT_EQ(t.Grid()->item(0, 16)->text(), "240");
    EXPECT_EQ(t.Grid()->item(16, 0)->text(), "15");
    QTest::mouseClick(Control<QRadioButton>(t, "DOS"), Qt::LeftButton);
    EXPECT_EQ(Cell(t, 128), QString::fromUtf8("128   \u00C7")); // OEM: Ç
    EXPECT_EQ(Cell(t, 201), QString::fromUtf8("201   \u2554")); // ╔
    QTest::mouseClick(Control<QCheckBox>(t, "IT"), Qt::LeftButton);
    EXPECT_EQ(Cell(t, 176), QString::fromUtf8("\u2591"));

    // Stay On Top goes off and on; the window stays shown through the change.
    QTest::mouseClick(Control<QCheckBox>(t, "SOT"), Qt::LeftButton);
    EXPECT_FALSE(t.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(t.isVisible());
    QTest::mouseClick(Control<QCheckBox>(t, "SOT"), Qt::LeftButton);
    EXPECT_TRUE(t.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(t.isVisible());

    // Escape hides it, whichever control has the focus.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&t));
    t.activateWindow();
    t.Grid()->setFocus();
    QTest::keyClick(t.Grid(), Qt::Key_Escape);
    EXPECT_FALSE(t.isVisible());
    t.show();
    Control<QRadioButton>(t, "HA")->setFocus();
    QTest::keyClick(Control<QRadioButton>(t, "HA"), Qt::Key_Escape);
    EXPECT_FALSE(t.isVisible());
}

TEST(AsciiTable, HeaderCellsArePaintedAsFixedCells) {
    Tascii t;
    t.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&t));
    const QImage image = t.Grid()->viewport()->grab().toImage();
    const QRect header = t.Grid()->visualItemRect(t.Grid()->item(0, 5));
    const QRect body = t.Grid()->visualItemRect(t.Grid()->item(5, 5));
    // A corner of each cell, away from its text.
    const QColor headerColour = image.pixelColor(header.right() - 3, header.bottom() - 3);
    const QColor bodyColour = image.pixelColor(body.right() - 3, body.bottom() - 3);
    EXPECT_EQ(headerColour, t.palette().color(QPalette::Button));
    EXPECT_NE(headerColour, bodyColour);
    // Some dark pixels where the header's text is drawn.
    int dark = 0;
    for (int x = header.left(); x <= header.right(); ++x)
        for (int y = header.top(); y <= header.bottom(); ++y)
            dark += image.pixelColor(x, y).lightness() < 100;
    EXPECT_GT(dark, 5);
}

} // namespace
} // namespace kvx
