// The widget's pixels, rendered into an image with a known fixed-pitch font and read at the
// cells the metrics give: the colours of a keyword and a comment, the selection, the gutter,
// the margin, the right-margin line and the caret; and, for every built-in language, the
// text colours its own styles define.
#include "WidgetFixture.h"
#include "editor/Settings.h"
#include "editor/StyleResolver.h"
#include "highlight/SynParse.h"

#include <QFile>
#include <QPainter>

#include <map>

namespace kvx {
namespace {

using test::ToQColor;

class Pixels : public test::TWidgetFixture {
  protected:
    QRect Cell(int row, int column) {
        return QRect(Memo().TextLeft() + column * widget.CharWidth(), row * widget.RowHeight(),
                     widget.CharWidth(), widget.RowHeight());
    }
    static int Distance(QColor a, QColor b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
               std::abs(a.blue() - b.blue());
    }
    // The ink of a glyph: the pixel of the cell farthest from its background.
    static QColor Ink(const QImage& image, const QRect& cell, QColor background) {
        QColor best = background;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (Distance(c, background) > Distance(best, background))
                    best = c;
            }
        return best;
    }
    // The style colours of the token at a place of the text.
    TResolvedStyle StyleAt(int row, int index) {
        const TLineNode* r = Memo().Store().RowByIndex(row).Row;
        return ResolveTokenStyle(Memo().Settings(), r->Styles()[index], {}, Memo().Platform());
    }
};

TEST_F(Pixels, KeywordCommentSelectionGutterMarginLinesAndCaret) {
    widget.SetLanguage(2); // C
    widget.SetEditorFont(QStringLiteral("DejaVu Sans Mono"), 10);
    Memo().SetWholeText("while (x) { /* MMMM */ }\rMWM = 1;\r   \r");
    Memo().SetRightMargin(30);
    Memo().SetSelection(Memo().TextLength() - 3, Memo().TextLength() - 1); // two blanks
    Memo().ChangeNotification();
    const QImage image = Render();
    const QColor white(255, 255, 255);

    // The keyword "while" and the comment in their styles' colours, on the default back.
    const TResolvedStyle keyword = StyleAt(0, 0);
    const TResolvedStyle comment = StyleAt(0, 15);
    ASSERT_NE(keyword.TextColor, comment.TextColor);
    EXPECT_LE(Distance(Ink(image, Cell(0, 0), white), ToQColor(keyword.TextColor)), 0);
    EXPECT_LE(Distance(Ink(image, Cell(0, 15), white), ToQColor(comment.TextColor)), 0);
    EXPECT_EQ(image.pixelColor(Cell(0, 5).center()), white); // the blank after "while"
    // Plain text is black.
    EXPECT_EQ(Ink(image, Cell(1, 1), white), Qt::black);

    // The selected blanks in the selection's background, the rest of the row after them in
    // the default background (the selection stops before the break).
    TStyleContext selected;
    selected.Selected = true;
    const QColor selBack =
        ToQColor(ResolveStyle(Memo().Settings(), 0, selected, Memo().Platform()).BackColor);
    EXPECT_EQ(image.pixelColor(Cell(2, 0).center()), white);
    EXPECT_EQ(image.pixelColor(Cell(2, 1).center()), selBack);
    EXPECT_EQ(image.pixelColor(Cell(2, 2).center()), selBack);
    EXPECT_EQ(image.pixelColor(Cell(2, 4).center()), white);

    // The gutter in the desktop's button face with its white line, the margin strip in
    // white.
    const QColor face = ToQColor(Memo().Platform().SystemColorValue(scxBtnFace));
    const int gutter = Memo().GutterWidth();
    EXPECT_EQ(image.pixelColor(gutter / 2, 3 * widget.RowHeight() + 2), face);
    EXPECT_EQ(image.pixelColor(gutter - 2, 2), white);
    EXPECT_EQ(image.pixelColor(gutter + 1, 2), white);
    // The right-margin line in silver, on the text's rows and past them.
    const int marginX = Memo().TextLeft() + 30 * widget.CharWidth();
    EXPECT_EQ(image.pixelColor(marginX, 1), QColor(192, 192, 192));
    EXPECT_EQ(image.pixelColor(marginX, 8 * widget.RowHeight() + 3), QColor(192, 192, 192));
    EXPECT_EQ(image.pixelColor(marginX + 1, 8 * widget.RowHeight() + 3), white);

    // The caret: two pixels that invert what is under them, at the selection's moving end.
    const QRect caret = Cell(2, 3);
    EXPECT_EQ(image.pixelColor(caret.left(), caret.center().y()), Qt::black);
    EXPECT_EQ(image.pixelColor(caret.left() + 1, caret.center().y()), Qt::black);
    EXPECT_EQ(image.pixelColor(caret.left() + 3, caret.center().y()), white);
    // Without the focus there is none, and the selection hides.
    widget.clearFocus();
    const QImage unfocused = Render();
    EXPECT_EQ(unfocused.pixelColor(caret.left(), caret.center().y()), white);
    EXPECT_EQ(unfocused.pixelColor(Cell(2, 1).center()), white);
}

TEST_F(Pixels, MarksAndRowsTheApplicationDraws) {
    Memo().SetWholeText("alpha beta\rgamma\r");
    Memo().AddMark(6, 4, 0); // "beta"
    Memo().ChangeNotification();
    QImage image = Render();
    // The default mark: a red zigzag along the bottom of "beta", nothing under "alpha".
    auto redIn = [&](const QImage& img, int column) {
        const QRect c = Cell(0, column);
        for (int y = c.top(); y <= c.bottom(); ++y)
            for (int x = c.left(); x <= c.right(); ++x)
                if (img.pixelColor(x, y) == QColor(255, 0, 0))
                    return true;
        return false;
    };
    EXPECT_TRUE(redIn(image, 7));
    EXPECT_FALSE(redIn(image, 2));
    // A handler draws marks instead, in the rectangle of the mark's characters.
    QRect seen;
    widget.OnDrawMark = [&](TSyntaxMemo&, QPainter& p, const QRect& r, uint32_t) {
        seen = r;
        p.fillRect(r, Qt::green);
    };
    image = Render();
    EXPECT_FALSE(redIn(image, 7));
    EXPECT_EQ(seen.left(), Cell(0, 6).left());
    EXPECT_EQ(seen.right(), Cell(0, 10).left());
    EXPECT_EQ(image.pixelColor(Cell(0, 8).center()), QColor(Qt::green));
    // A row drawn by the application: its text area is the handler's, the gutter is not.
    widget.OnDrawLine = [](TSyntaxMemo&, TLineDrawData& d) {
        if (d.Offset == 11) {
            d.Painter->fillRect(d.Rect, Qt::blue);
            d.Handled = true;
        }
    };
    image = Render();
    EXPECT_EQ(image.pixelColor(Cell(1, 0).center()), QColor(Qt::blue));
    EXPECT_EQ(image.pixelColor(Cell(1, 30).center()), QColor(Qt::blue));
    EXPECT_NE(image.pixelColor(2, Cell(1, 0).center().y()), QColor(Qt::blue));
    EXPECT_EQ(image.pixelColor(Cell(0, 3).center().x(), 1), QColor(Qt::white));
}

TEST_F(Pixels, EveryLanguageDrawsItsStyles) {
    const std::map<int, std::string> samples = {
        {1, "blink.asm"}, {2, "queue.c"},    {3, "shapes.pas"},
        {4, "files.bas"}, {5, "index.html"}, {6, "notes.txt"},
    };
    for (const auto& [language, name] : samples) {
        SCOPED_TRACE(name);
        QFile f(QStringLiteral(KVX_GOLDEN_DIR "/") + QString::fromStdString(name));
        if (!f.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << "cannot read the sample";
            continue;
        }
        widget.SetLanguage(language);
        widget.SetEditorFont(QStringLiteral("DejaVu Sans Mono"), 10);
        Memo().SetWholeText(f.readAll().toStdString());
        Memo().SetSelection(0, 0);
        Memo().ChangeNotification();
        const QImage image = Render();
        // One cell of each text colour the rows on screen use, on a letter with stems.
        std::map<int32_t, std::pair<int, int>> cells;
        const int rows = Memo().Platform().VisibleRows();
        const TLineNode* row = Memo().Store().FirstRow();
        for (int r = 0; row && r < rows; row = row->Next(), ++r) {
            int column = 0;
            for (int i = 0; i < row->ContentLength() && column < 60; ++i, ++column) {
                const char ch = row->Text()[i];
                if (ch == '\t')
                    break; // columns after a TAB are not the bytes' own
                if (!std::strchr("HMNWmnuw", ch))
                    continue;
                const TResolvedStyle s = StyleAt(r, i);
                if (s.BackColor == 0xFFFFFF)
                    cells.emplace(s.TextColor, std::make_pair(r, column));
            }
        }
        EXPECT_GE(cells.size(), language == 6 ? 1u : 2u);
        for (const auto& [color, at] : cells)
            EXPECT_EQ(Ink(image, Cell(at.first, at.second), Qt::white), ToQColor(color))
                << "row " << at.first << " column " << at.second << " colour " << std::hex << color;
    }
}

} // namespace
} // namespace kvx
