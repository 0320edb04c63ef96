#include "MemoPainter.h"

#include "MemoFonts.h"

#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

#include <vector>

namespace kvx {

namespace {

constexpr int kImageWidth = 15;
constexpr int kImageHeight = 16;
const QColor kSilver(192, 192, 192);

QColor ColorOf(int32_t c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// The strip of gutter images: bookmarks 0 to 9 as numbered tags, then a stop point, an
// arrow, a tick and a diamond for the glyph word's other bits, and the bent arrow of a
// continued row.
std::array<QImage, kGutterImages + 1> MakeImages() {
    std::array<QImage, kGutterImages + 1> images;
    for (int i = 0; i <= kGutterImages; ++i) {
        QImage img(kImageWidth, kImageHeight, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        if (i < 10) {
            p.setPen(QColor(0, 70, 120));
            p.setBrush(QColor(0, 120, 190));
            p.drawRoundedRect(QRectF(1.5, 1.5, 12, 13), 2, 2);
            QFont f(QStringLiteral("Sans Serif"));
            f.setPixelSize(10);
            f.setBold(true);
            p.setFont(f);
            p.setPen(Qt::white);
            p.drawText(QRect(1, 1, 13, 14), Qt::AlignCenter, QString::number(i));
        } else if (i == 10) {
            p.setPen(QColor(130, 0, 0));
            p.setBrush(QColor(210, 30, 30));
            p.drawEllipse(QRectF(2.5, 3.5, 10, 10));
        } else if (i == 11) {
            p.setPen(QColor(120, 90, 0));
            p.setBrush(QColor(250, 200, 0));
            p.drawPolygon(
                QPolygonF({{2, 5}, {8, 5}, {8, 2}, {13.5, 8}, {8, 14}, {8, 11}, {2, 11}}));
        } else if (i == 12) {
            p.setPen(QPen(QColor(0, 140, 60), 2.2));
            p.drawPolyline(QPolygonF({{2.5, 8.5}, {6, 12}, {12.5, 4}}));
        } else if (i == 13) {
            p.setPen(QColor(40, 40, 140));
            p.setBrush(QColor(90, 90, 220));
            p.drawPolygon(QPolygonF({{7.5, 2}, {13, 8}, {7.5, 14}, {2, 8}}));
        } else {
            p.setPen(QPen(QColor(60, 60, 60), 1.4));
            QPainterPath path;
            path.moveTo(12, 3);
            path.lineTo(12, 9);
            path.lineTo(4, 9);
            p.drawPath(path);
            p.setBrush(QColor(60, 60, 60));
            p.drawPolygon(QPolygonF({{2, 9}, {6, 6}, {6, 12}}));
        }
        p.end();
        images[size_t(i)] = img;
    }
    return images;
}

} // namespace

TMemoPainter::TMemoPainter(TMemoFonts& fonts) : fonts_(fonts) {}

const QImage& TMemoPainter::GutterImage(int index) {
    static const std::array<QImage, kGutterImages + 1> images = MakeImages();
    return images[size_t(std::clamp(index, 0, kGutterImages))];
}

void TMemoPainter::PaintRows(QPainter& p, const std::vector<TRowPlan>& rows, Pixel gutter,
                             Pixel textLeft, Pixel width, const TLineHook& drawLine,
                             const TMarkHook& drawMark) {
    const Pixel height = fonts_.RowHeight();
    for (const TRowPlan& row : rows) {
        if (row.HasGutter)
            PaintGutter(p, row, gutter);
        if (row.HasMargin)
            p.fillRect(QRect(gutter, row.Top, textLeft - gutter, height), ColorOf(row.MarginColor));
        const QRect area(textLeft, row.Top, std::max(width - textLeft, 0), height);
        p.save();
        p.setClipRect(area);
        if (!row.PastEnd && drawLine && drawLine(p, row, area)) {
            p.restore();
            continue;
        }
        for (const TPaintRun& run : row.Runs)
            PaintRun(p, row, run);
        if (row.FillFrom < width)
            p.fillRect(QRect(row.FillFrom, row.Top, width - row.FillFrom, height),
                       ColorOf(row.FillColor));
        PaintWhiteSpace(p, row);
        PaintMarks(p, row, width, drawMark);
        if (row.RightMarginX >= 0) {
            p.setPen(QPen(kSilver, 1, Qt::SolidLine));
            p.drawLine(row.RightMarginX, row.Top, row.RightMarginX, row.Top + height - 1);
        }
        if (row.WrapColumnX >= 0) {
            p.setPen(QPen(kSilver, 1, Qt::DotLine));
            p.drawLine(row.WrapColumnX, row.Top, row.WrapColumnX, row.Top + height - 1);
        }
        p.restore();
    }
}

void TMemoPainter::PaintGutter(QPainter& p, const TRowPlan& row, Pixel gutter) {
    const Pixel height = fonts_.RowHeight();
    const TGutterPlan& g = row.Gutter;
    p.save();
    p.setClipRect(QRect(0, row.Top, gutter, height));
    p.fillRect(QRect(0, row.Top, gutter, height), ColorOf(g.BackColor));
    if (g.Line) {
        p.setPen(Qt::white);
        p.drawLine(gutter - 2, row.Top, gutter - 2, row.Top + height - 1);
    }
    // Images are centred in the row, or put at its top when the row is lower than they are.
    const Pixel y = row.Top + (height >= kImageHeight ? (height - kImageHeight) / 2 : 0);
    if (g.MarksGlyph >= 0)
        p.drawImage(1, y, GutterImage(g.MarksGlyph));
    if (g.WordGlyph >= 0)
        p.drawImage(17, y, GutterImage(g.WordGlyph));
    if (!g.Number.empty()) {
        p.setFont(fonts_.GutterFont());
        p.setPen(fonts_.GutterColor());
        p.drawText(QRect(2, row.Top + g.NumberTop, std::max(gutter - 2, 0), height),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   QString::fromStdString(g.Number));
    }
    p.restore();
}

void TMemoPainter::PaintRun(QPainter& p, const TRowPlan& row, const TPaintRun& run, bool fill) {
    const Pixel height = fonts_.RowHeight();
    if (fill)
        p.fillRect(QRect(run.X, row.Top, run.Width, height), ColorOf(run.BackColor));
    const QString text =
        QString::fromUtf8(row.Text.data() + run.Text, static_cast<qsizetype>(run.TextBytes));
    p.setFont(fonts_.Font(run.FontStyle));
    p.setPen(ColorOf(run.TextColor));
    const QPointF at(run.X, row.Top + fonts_.Ascent());
    if (!fonts_.FixedPitch()) {
        p.drawText(at, text);
        return;
    }
    // On the grid every character has its place: the font's glyphs go there directly, with
    // no shaping to ask where they would go.
    const QRawFont& raw = fonts_.RawFont(run.FontStyle);
    glyphs_ = raw.glyphIndexesForString(text);
    const bool whole = glyphs_.size() == text.size() &&
                       std::find(glyphs_.begin(), glyphs_.end(), 0u) == glyphs_.end();
    if (whole) {
        positions_.resize(glyphs_.size());
        for (qsizetype k = 0; k < positions_.size(); ++k)
            positions_[k] = QPointF(run.X + qreal(k) * fonts_.CharWidth(), at.y());
        QGlyphRun glyphs;
        glyphs.setRawFont(raw);
        glyphs.setGlyphIndexes(glyphs_);
        glyphs.setPositions(positions_);
        glyphs.setUnderline(run.FontStyle & 4);
        glyphs.setStrikeOut(run.FontStyle & 8);
        p.drawGlyphRun(QPointF(0, 0), glyphs);
        return;
    }
    // A character the font lacks comes from another font with its own width: each one is put
    // on its column.
    Pixel x = run.X;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        p.drawText(QPointF(x, at.y()), text.mid(i, n));
        x += fonts_.CharWidth();
        i += n - 1;
    }
}

void TMemoPainter::PaintWhiteSpace(QPainter& p, const TRowPlan& row) {
    if (row.WhiteSpace.empty() && row.EndGlyph == TEndGlyph::None)
        return;
    const QFont& font = fonts_.Font(0);
    const QFontMetrics metrics(font);
    const Pixel height = fonts_.RowHeight();
    const Pixel baseline = row.Top + fonts_.Ascent();
    p.setFont(font);
    // A dot for each space, in the inverse of the background beneath.
    for (const TWhiteSpacePlan& w : row.WhiteSpace) {
        if (w.Tab)
            continue;
        p.setPen(ColorOf(w.BackColor ^ 0xFFFFFF));
        const int dot = metrics.horizontalAdvance(QLatin1Char('.'));
        p.drawText(QPointF(w.X + (w.Width - dot) / 2, baseline - height / 4), QStringLiteral("."));
    }
    // TAB arrows and line ends are combined with what is drawn by inverting it.
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(Qt::white);
    const QString arrow(QChar(0x2192));
    for (const TWhiteSpacePlan& w : row.WhiteSpace) {
        if (!w.Tab)
            continue;
        const int a = metrics.horizontalAdvance(arrow);
        p.drawText(QPointF(w.X + (w.Width - a) / 2, baseline), arrow);
    }
    if (row.EndGlyph != TEndGlyph::None) {
        const QString glyph(QChar(row.EndGlyph == TEndGlyph::LineEnd ? 0x00B6 : 0x21B2));
        p.drawText(QPointF(row.EndGlyphX, baseline), glyph);
    }
    p.restore();
}

void TMemoPainter::PaintMarks(QPainter& p, const TRowPlan& row, Pixel width,
                              const TMarkHook& drawMark) {
    for (const TMarkPlan& m : row.Marks) {
        const QRect rect(QPoint(m.Left, m.Top), QPoint(m.Right, m.Bottom));
        if (drawMark && drawMark(p, rect, m.Handle))
            continue;
        if (m.Left < 0 || m.Left >= width)
            continue;
        // A red zigzag along the bottom, in steps of three pixels.
        std::vector<QPoint> points;
        const Pixel right = std::min(m.Right, width);
        bool up = false;
        for (Pixel x = m.Left; x <= right; x += 3, up = !up)
            points.emplace_back(x, up ? m.Bottom - 2 : m.Bottom);
        if (points.size() < 2)
            continue;
        p.setPen(QPen(QColor(255, 0, 0), 1));
        p.drawPolyline(points.data(), static_cast<int>(points.size()));
    }
}

void TMemoPainter::PaintFocusLine(QPainter& p, const TFocusLinePlan& plan) {
    if (!plan.Visible)
        return;
    p.setPen(QPen(ColorOf(plan.Color), 1));
    p.drawLine(plan.Left, plan.Top, plan.Right, plan.Top);
    p.drawLine(plan.Left, plan.Bottom, plan.Right, plan.Bottom);
}

void TMemoPainter::PaintCaret(QPainter& p, const TCaretPlan& plan) {
    if (!plan.Visible)
        return;
    // The caret inverts what is under it, so it shows on any background.
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.fillRect(QRect(plan.X, plan.Y, plan.Width, plan.Height), Qt::white);
    p.restore();
}

} // namespace kvx
