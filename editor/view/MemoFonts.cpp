#include "MemoFonts.h"

#include "editor/Settings.h"

#include <QFontMetricsF>
#include <QTextLayout>

#include <algorithm>

namespace kvx {

namespace {

QColor FromColorRef(int32_t c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

} // namespace

TMemoFonts::TMemoFonts(int dpi) : dpi_(dpi) {
    SetFont("Courier New", 10);
    SetGutterFont(TGutterFont{});
}

bool TMemoFonts::SetFont(const std::string& name, int pointSize) {
    pointSize = std::clamp(pointSize, 1, 200);
    if (name == name_ && pointSize == size_)
        return false;
    name_ = name;
    size_ = pointSize;
    base_ = QFont(QString::fromStdString(name), pointSize);
    if (dpi_ > 0)
        base_.setPixelSize(std::max(1, (pointSize * dpi_ + 36) / 72));
    // Fonts named in settings written on another desktop ("Courier New") may be missing:
    // the desktop's fixed-pitch font stands in for them.
    base_.setStyleHint(QFont::TypeWriter);
    // Kerning would pull characters off the columns the layout counts.
    base_.setKerning(false);
    base_.setStyleStrategy(antialiasing_ ? QFont::PreferDefault : QFont::NoAntialias);
    Measure();
    return true;
}

bool TMemoFonts::SetAntialiasing(bool on) {
    if (on == antialiasing_)
        return false;
    antialiasing_ = on;
    base_.setStyleStrategy(on ? QFont::PreferDefault : QFont::NoAntialias);
    gutter_.setStyleStrategy(base_.styleStrategy());
    Measure();
    return true;
}

bool TMemoFonts::SetGutterFont(const TGutterFont& font) {
    QFont f(QString::fromStdString(font.Name), std::clamp<int>(font.Size, 1, 200));
    f.setBold(font.Style & 1);
    f.setItalic(font.Style & 2);
    f.setUnderline(font.Style & 4);
    f.setStrikeOut(font.Style & 8);
    f.setStyleStrategy(antialiasing_ ? QFont::PreferDefault : QFont::NoAntialias);
    const QColor color = FromColorRef(font.Color);
    if (f == gutter_ && color == gutterColor_)
        return false;
    gutter_ = f;
    gutterColor_ = color;
    return true;
}

void TMemoFonts::Measure() {
    styles_ = {};
    raw_ = {};
    // Rows are as high as the tallest style, bold italic, needs.
    QFont boldItalic = base_;
    boldItalic.setBold(true);
    boldItalic.setItalic(true);
    const QFontMetrics bi(boldItalic);
    const int height = bi.height() > 0 ? bi.height() : 17;
    rowHeight_ = height + std::max(bi.leading(), 0) + 1;
    ascent_ = bi.height() > 0 ? bi.ascent() : 13;
    fixedPitch_ = bi.horizontalAdvance(QLatin1Char('i')) == bi.horizontalAdvance(QLatin1Char('W'));
    const QFontMetrics regular(base_);
    charWidth_ = regular.averageCharWidth() > 0 ? regular.averageCharWidth() : 7;
    // A fixed-pitch font's grid is its own advance, so that its regular style is drawn as
    // the font has it; the other styles are spaced to the same grid.
    if (fixedPitch_ && regular.horizontalAdvance(QLatin1Char('W')) > 0)
        charWidth_ = regular.horizontalAdvance(QLatin1Char('W'));
}

const QFont& TMemoFonts::Font(uint8_t style) {
    style &= 15;
    std::optional<QFont>& f = styles_[style];
    if (!f) {
        QFont font = base_;
        font.setBold(style & 1);
        font.setItalic(style & 2);
        font.setUnderline(style & 4);
        font.setStrikeOut(style & 8);
        if (fixedPitch_) {
            const qreal advance = QFontMetricsF(font).horizontalAdvance(QLatin1Char('W'));
            font.setLetterSpacing(QFont::AbsoluteSpacing, charWidth_ - advance);
        }
        f = font;
    }
    return *f;
}

const QRawFont& TMemoFonts::RawFont(uint8_t style) {
    style &= 15;
    std::optional<QRawFont>& r = raw_[style];
    if (!r)
        r = QRawFont::fromFont(Font(style));
    return *r;
}

void TMemoFonts::MeasureWidths(std::string_view utf8, uint8_t style, std::span<Pixel> rightEdges) {
    // Laid out as the painter draws it, so that the x of every character boundary is where
    // the character really ends.
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    QTextLayout layout(text, Font(style));
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    size_t k = 0;
    for (qsizetype i = 0; i < text.size() && k < rightEdges.size(); ++i) {
        // A character outside the basic plane is two UTF-16 units and one character.
        if (text[i].isHighSurrogate() && i + 1 < text.size())
            ++i;
        rightEdges[k++] = static_cast<Pixel>(qRound(line.cursorToX(static_cast<int>(i + 1))));
    }
    for (; k < rightEdges.size(); ++k)
        rightEdges[k] = k ? rightEdges[k - 1] : 0;
}

} // namespace kvx
