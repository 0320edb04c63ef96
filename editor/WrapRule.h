// Where word wrap ends the rows of one logical line: the width in columns or pixels, the
// word break, the lines that are never wrapped, and the row cap under all of it. Pure
// computation on a line's bytes; TWordWrap decides which lines to cut and the text store
// cuts them.
#pragma once

#include "EdTypes.h"
#include "RowLayout.h"
#include "TextStore.h"

#include <bitset>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace kvx {

class TEditorPlatform;

// A word-break rule the application puts in place of the built-in one: `lpch` the line's
// characters from the row being cut, `ichCurrent` a position in them, `cch` their number,
// `code` what is asked (TWordBreakCode). Results outside 0..cch are clamped.
using TSM_WordBreakProc = std::function<int(const char* lpch, int ichCurrent, int cch, int code)>;

enum TWordBreakCode : int {
    // The row ends at the returned position: after the delimiters at ichCurrent, or before
    // the word that straddles it.
    wbBreakLeft = 0,
    // The start of the next word after ichCurrent.
    wbNextWord = 1,
    // 1 when the character at ichCurrent is a delimiter, else 0.
    wbIsDelimiter = 2,
};

// The built-in word break. Delimiters are the characters 0 to 32 and 160 (the no-break
// space: in a UTF-8 document its two bytes, C2 A0). Unknown codes give 0.
int FindWordBreak(const char* lpch, int ichCurrent, int cch, int code, bool utf8 = false);

// Everything the cuts depend on. Two equal values cut every line the same way.
struct TWrapParams {
    bool Wrap = false;
    int Width = 20; // W, in columns: never below 20
    bool Override = false;
    std::bitset<256> OverrideChars; // first characters of lines that are never wrapped
    bool Utf8 = true;
    bool FixedPitch = true;
    Pixel CharWidth = 8;
    uint8_t FontStyle = 0; // style 0's, in which a proportional font is measured
    TTabSettings Tabs;

    bool operator==(const TWrapParams& o) const;
};

class TWrapRule {
  public:
    // `breakProc` may be null or empty: the built-in word break.
    TWrapRule(const TWrapParams& params, TEditorPlatform& platform,
              const TSM_WordBreakProc* breakProc);

    // The byte lengths of the rows `line` is cut into. `line` is a whole logical line, its
    // break included, or the rest of one from a row where a cut of this rule falls; `lineStart`
    // is the first byte of the whole line (whether it is a line that is never wrapped).
    void Cut(std::string_view line, unsigned char lineStart, std::vector<int32_t>& lengths);

  private:
    // The row starting at rest[0]: how many bytes it takes.
    int RowLength(std::string_view rest);
    // The longest start of `content` no wider than the wrap width, in bytes; at least one
    // character.
    int FitColumns(std::string_view content) const;
    int FitPixels(std::string_view content);
    int NextChar(std::string_view s, int i) const;
    int CharStartAtOrBefore(std::string_view s, int i) const;

    TWrapParams params_;
    TEditorPlatform& platform_;
    const TSM_WordBreakProc* proc_;
    TRowLayout layout_; // measures a proportional font; kept for its buffers
    TFontStyleTable fonts_{};
};

} // namespace kvx
