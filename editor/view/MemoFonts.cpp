#include "MemoFonts.h"

#include "editor/Settings.h"

#include <QFontMetricsF>

#include <algorithm>

namespace kvx {

namespace {

QColor FromColorRef(int32_t c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

} // namespace

TMemoFonts::TMemoFonts() {
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

} // namespace kvx

namespace kvx {

const QRawFont& TMemoFonts::RawFont(uint8_t style) {
    style &= 15;
    std::optional<QRawFont>& r = raw_[style];
    if (!r)
        r = QRawFont::fromFont(Font(style));
    return *r;
}

} // namespace kvx
