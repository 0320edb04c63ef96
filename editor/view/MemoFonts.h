// The editor's fonts and the metrics of the view taken from them: the text font in its 16
// combinations of bold, italic, underline and strike-out, the gutter's line-number font, the
// average character width, the row height and whether the font is fixed-pitch. A fixed-pitch
// font is laid on the character grid: every character of every style advances by exactly
// CharWidth, so bold and italic runs stay on the columns the layout counts.
#pragma once

#include "editor/EdTypes.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QRawFont>

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kvx {

struct TGutterFont;

class TMemoFonts {
  public:
    // `dpi` 0: fonts for the screen. Otherwise fonts for a device of that resolution (a
    // printer), sized in its pixels, so that metrics, measures and glyphs all come out in
    // the device's pixels.
    explicit TMemoFonts(int dpi = 0);

    // Takes a font (a name the desktop may not have falls back to its fixed-pitch font)
    // and measures it; true when anything changed.
    bool SetFont(const std::string& name, int pointSize);
    bool SetGutterFont(const TGutterFont& font);
    // Smoothed glyph edges (on at first); off, every pixel of a glyph is its colour.
    bool SetAntialiasing(bool on);

    // The text font in a style: bold 1, italic 2, underline 4, strike-out 8.
    const QFont& Font(uint8_t style);
    // The same as a raw font, for drawing glyphs at places of the painter's choosing.
    const QRawFont& RawFont(uint8_t style);
    const QFont& GutterFont() const { return gutter_; }
    QColor GutterColor() const { return gutterColor_; }

    // Right edges of the characters of a run of display text drawn in `style`, as the
    // painter lays it out (one entry per character; a character outside the basic plane is
    // one).
    void MeasureWidths(std::string_view utf8, uint8_t style, std::span<Pixel> rightEdges);

    Pixel CharWidth() const { return charWidth_; }
    Pixel RowHeight() const { return rowHeight_; }
    bool FixedPitch() const { return fixedPitch_; }
    // The text's baseline, from a row's top.
    Pixel Ascent() const { return ascent_; }

  private:
    void Measure();

    QFont base_;
    std::string name_;
    int size_ = 0;
    std::array<std::optional<QFont>, 16> styles_;
    std::array<std::optional<QRawFont>, 16> raw_;
    QFont gutter_;
    QColor gutterColor_;
    Pixel charWidth_ = 7;
    Pixel rowHeight_ = 17;
    Pixel ascent_ = 12;
    bool fixedPitch_ = false;
    bool antialiasing_ = true;
    int dpi_ = 0;
};

} // namespace kvx
