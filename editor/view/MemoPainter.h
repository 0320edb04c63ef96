// Turns the view's plans into pixels with a QPainter: gutter cells with their images and
// line numbers, the margin strip, runs of text in their fonts and colours, visible white
// space and line ends, range marks, the margin lines, the focus line and the caret. It
// decides nothing about what is shown; TPaintPlanner did that.
#pragma once

#include "editor/PaintPlan.h"

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRect>

#include <array>
#include <functional>

class QPainter;

namespace kvx {

class TMemoFonts;

class TMemoPainter {
  public:
    explicit TMemoPainter(TMemoFonts& fonts);

    // Paints planned rows into a client area `width` pixels wide. The default text drawing
    // of a row is left out when `drawLine` says it drew the row itself; `drawMark` draws a
    // range mark instead of the red zigzag.
    using TLineHook = std::function<bool(QPainter&, const TRowPlan&, const QRect& textArea)>;
    using TMarkHook = std::function<bool(QPainter&, const QRect&, uint32_t handle)>;
    void PaintRows(QPainter& p, const std::vector<TRowPlan>& rows, Pixel gutter, Pixel textLeft,
                   Pixel width, const TLineHook& drawLine, const TMarkHook& drawMark);
    void PaintFocusLine(QPainter& p, const TFocusLinePlan& plan);
    void PaintCaret(QPainter& p, const TCaretPlan& plan);
    // One run of a row's text in its font and colours; printing uses it too, and leaves the
    // background unfilled when asked for transparent text.
    void PaintRun(QPainter& p, const TRowPlan& row, const TPaintRun& run, bool fill = true);

    // The images of the gutter strip (0 to 13) and of a continued row.
    static const QImage& GutterImage(int index);

  private:
    void PaintGutter(QPainter& p, const TRowPlan& row, Pixel gutter);
    void PaintWhiteSpace(QPainter& p, const TRowPlan& row);
    void PaintMarks(QPainter& p, const TRowPlan& row, Pixel width, const TMarkHook& drawMark);

    TMemoFonts& fonts_;
    // Kept between runs: most runs are short and alike.
    QList<quint32> glyphs_;
    QList<QPointF> positions_;
};

} // namespace kvx
