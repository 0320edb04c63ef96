#include "app/ResultsPanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QListView>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace kvx {
namespace {

TResultLine Hit(const QString& text, const std::string& file, int line, int column, int length) {
    return TResultLine{text, TResultKind::Normal, TJumpTarget{file, line, column, length},
                       column - 1, length};
}

TEST(ResultsPanel, DoubleClickAndEnterJump) {
    TResultsPanel panel;
    panel.resize(600, 300);
    panel.SetTitle("Find in Files: mov");
    std::vector<TResultLine> lines;
    lines.push_back(TResultLine{"plain line", TResultKind::Info, std::nullopt, 0, 0});
    lines.push_back(Hit("boot.asm:3: mov ax, bx", "/src/boot.asm", 3, 5, 3));
    lines.push_back(Hit("main.c:7: x", "/src/main.c", 7, 0, 0));
    panel.Append(std::move(lines));
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    EXPECT_EQ(panel.Title(), "Find in Files: mov");

    QSignalSpy jumps(&panel, &TResultsPanel::jumpRequested);
    QListView* view = panel.View();
    const auto rowCentre = [&](int row) {
        return view->visualRect(panel.Model()->index(row)).center();
    };
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rowCentre(0));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rowCentre(0));
    EXPECT_EQ(jumps.count(), 0); // a line without a place goes nowhere
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rowCentre(1));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rowCentre(1));
    ASSERT_EQ(jumps.count(), 1);
    EXPECT_EQ(jumps.at(0), (QList<QVariant>{"/src/boot.asm", 3, 5, 3}));

    view->setFocus();
    view->setCurrentIndex(panel.Model()->index(2));
    QTest::keyClick(view, Qt::Key_Return);
    ASSERT_EQ(jumps.count(), 2);
    EXPECT_EQ(jumps.at(1), (QList<QVariant>{"/src/main.c", 7, 0, 0}));

    QSignalSpy stops(&panel, &TResultsPanel::stopRequested);
    EXPECT_FALSE(panel.StopButton()->isEnabled());
    panel.SetBusy(true);
    QTest::mouseClick(panel.StopButton(), Qt::LeftButton);
    EXPECT_EQ(stops.count(), 1);
    panel.Clear();
    EXPECT_EQ(panel.Model()->rowCount(), 0);
}

TEST(ResultsPanel, MarkedRangeIsPaintedHighlighted) {
    TResultsPanel panel;
    panel.resize(600, 200);
    std::vector<TResultLine> lines;
    lines.push_back(Hit("          MOVE", "/f", 1, 11, 4)); // the hit is "MOVE"
    lines.push_back(TResultLine{"          MOVE", TResultKind::Normal, std::nullopt, 0, 0});
    panel.Append(std::move(lines));
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    const QImage image = panel.View()->viewport()->grab().toImage();
    const QColor highlight = panel.View()->palette().color(QPalette::Highlight);
    const auto count = [&](int row) {
        const QRect r = panel.View()->visualRect(panel.Model()->index(row));
        int n = 0;
        for (int x = r.left(); x <= r.right(); ++x)
            for (int y = r.top(); y <= r.bottom(); ++y)
                n += image.pixelColor(x, y) == highlight;
        return n;
    };
    EXPECT_GT(count(0), 20); // the marked word stands on the highlight colour
    EXPECT_EQ(count(1), 0);  // the same text unmarked does not
}

TEST(ResultsPanel, AHundredThousandLines) {
    TResultsPanel panel;
    panel.resize(600, 400);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    QElapsedTimer timer;
    timer.start();
    for (int batch = 0; batch < 100; ++batch) {
        std::vector<TResultLine> lines;
        for (int i = 0; i < 1000; ++i) {
            const int n = batch * 1000 + i + 1;
            lines.push_back(Hit(QStringLiteral("file.asm:%1: line").arg(n), "/file.asm", n, 1, 4));
        }
        panel.Append(std::move(lines));
    }
    QApplication::processEvents();
    panel.View()->viewport()->grab();
    const qint64 ms = timer.elapsed();
    EXPECT_EQ(panel.Model()->rowCount(), 100000);
    // The view followed the output to its end.
    const QModelIndex last = panel.Model()->index(99999);
    EXPECT_TRUE(panel.View()->viewport()->rect().intersects(panel.View()->visualRect(last)));
    RecordProperty("append_and_paint_ms", static_cast<int>(ms));
}

} // namespace
} // namespace kvx
