// The layout of one row as the view shows it: its characters in display columns (a TAB
// reaches to its tab stop, a UTF-8 sequence takes one column), the x of every character,
// and the runs of equal token byte and selection state that are drawn one at a time.
// Painting, printing, export, hit-testing and the caret's x all read positions from here, so
// none of them measures text on its own and the tests' fake platform can check them all.
#pragma once

#include "EdTypes.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

class TEditorPlatform;
class TLineNode;
class TTextStore;
struct TTabSettings;

// Characters of one token byte and one selection state, side by side on a row.
struct TLayoutRun {
    DisplayColumn Column = 0;  // first display column
    DisplayColumn Columns = 0; // display columns covered (a TAB covers several)
    Pixel X = 0;               // left edge, from the row's column 0
    Pixel Width = 0;
    ByteIndex Byte = 0;  // first byte of the row
    ByteIndex Bytes = 0; // bytes of the row covered
    uint32_t Text = 0;   // where its display text starts in DisplayText()
    uint32_t TextBytes = 0;
    uint8_t Token = 0;
    bool Selected = false;
};

// The font style (bold 1, italic 2, underline 4, strike-out 8) drawn for each token byte; a
// proportional font measures differently in each.
using TFontStyleTable = std::array<uint8_t, 256>;

class TRowLayout {
  public:
    struct TInput {
        std::string_view Text;           // the characters, without a line break
        const uint8_t* Tokens = nullptr; // one token byte per byte of Text; null: all 0
        bool Utf8 = true;                // false: Windows-1252, one byte per character
        // Selected bytes [SelFrom, SelTo); a SelTo past the text selects the row's break.
        ByteIndex SelFrom = 0;
        ByteIndex SelTo = 0;
        const TFontStyleTable* FontStyles = nullptr; // null: every token in the regular style
    };

    // The input for a row of the store: its characters before the break and their tokens.
    static TInput RowInput(const TTextStore& store, const TLineNode& row);

    // Lays out the text. A fixed-pitch platform puts every column CharWidth further right;
    // otherwise each run is measured with one MeasureWidths call.
    void Build(const TInput& in, const TTabSettings& tabs, TEditorPlatform& platform);

    const std::vector<TLayoutRun>& Runs() const { return runs_; }
    // The text as drawn, in UTF-8: TABs as spaces, Windows-1252 bytes as their characters,
    // a stray UTF-8 continuation byte as U+FFFD.
    const std::string& DisplayText() const { return display_; }
    std::string_view RunText(const TLayoutRun& run) const {
        return std::string_view(display_).substr(run.Text, run.TextBytes);
    }

    int Characters() const { return static_cast<int>(chars_.size()) - 1; }
    ByteIndex Length() const { return chars_.back().Byte; }
    DisplayColumn Columns() const { return chars_.back().Column; }
    Pixel Width() const { return chars_.back().X; }
    bool BreakSelected() const { return breakSelected_; }

    // Column and x where the character holding byte i starts; the end of the row for i at
    // or past Length(), the start for a negative i.
    DisplayColumn ColumnOf(ByteIndex i) const { return chars_[CharAt(i)].Column; }
    Pixel XOf(ByteIndex i) const { return chars_[CharAt(i)].X; }
    // The x where a display column starts: inside a TAB's span its spaces share the TAB's
    // width, and past the row's end every column is CharWidth wide (the caret may stand
    // there, and a scrolled view starts there).
    Pixel XOfColumn(DisplayColumn column) const;
    // The character drawn at a display column (a TAB's whole span gives the TAB); Length()
    // past the last column.
    ByteIndex ByteAtColumn(DisplayColumn column) const;
    // The character boundary nearest to x (a tie goes left); 0 left of the row, Length()
    // right of it.
    ByteIndex ByteAtX(Pixel x) const;
    // The last character boundary at or left of x: the end of the longest start of the row
    // that is at most x wide, and the character under x when that is not Length(). 0 for a
    // negative x.
    ByteIndex ByteBeforeX(Pixel x) const;

  private:
    struct TChar {
        ByteIndex Byte = 0;
        DisplayColumn Column = 0;
        Pixel X = 0;
    };
    // Index into chars_ of the character holding byte i (the end entry past the row).
    size_t CharAt(ByteIndex i) const;
    void Measure(TEditorPlatform& platform, const TFontStyleTable* fonts);

    std::vector<TChar> chars_{TChar{}}; // one per character, then the end of the row
    std::vector<TLayoutRun> runs_;
    std::string display_;
    std::vector<Pixel> edges_; // scratch for measuring
    Pixel charWidth_ = 0;      // the platform's average width, for columns past the end
    bool breakSelected_ = false;
};

} // namespace kvx
