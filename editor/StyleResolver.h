// How a token byte is drawn: the rule that turns it into a style of the settings and that
// style into a font style and two colours, with the defaults of style 0, the desktop's system
// colours, the selection colours and a row's own colours applied. Painting, printing, the
// RTF and HTML writers and kvx highlight all draw through it, so they cannot disagree.
#pragma once

#include "RowLayout.h"

#include <cstdint>

namespace kvx {

class TEditorPlatform;
class TSM_Settings;

// What a run is drawn in. Colours are 0x00BBGGRR with every system colour resolved.
struct TResolvedStyle {
    uint8_t Style = 0;     // the style number the token maps to
    uint8_t FontStyle = 0; // bold 1, italic 2, underline 4, strike-out 8
    int32_t TextColor = 0;
    int32_t BackColor = 0;
    // The colour is the desktop's (a system colour, or style 0 deferring to the window's
    // colours): writers that cannot know the reader's desktop may leave it out.
    bool TextFromSystem = false;
    bool BackFromSystem = false;
    bool IsHyperlink = false;
    bool operator==(const TResolvedStyle&) const = default;
};

// What besides the token decides the colours.
struct TStyleContext {
    bool Selected = false;
    bool SyntaxHighlight = true; // smoSyntaxHighlight; off, all text is black on white
    bool Printing = false;       // printed rows ignore rows' own colours
    int32_t RowTextColor = -1;   // a row's own colours; RowBackColor -1: none
    int32_t RowBackColor = -1;
};

// The style of style number `style`, and of the style a token byte maps to.
TResolvedStyle ResolveStyle(const TSM_Settings& settings, uint8_t style,
                            const TStyleContext& context, TEditorPlatform& platform);
TResolvedStyle ResolveTokenStyle(const TSM_Settings& settings, uint8_t token,
                                 const TStyleContext& context, TEditorPlatform& platform);

// The font style of every token byte, for laying out rows in a proportional font.
TFontStyleTable FontStyles(const TSM_Settings& settings, bool syntaxHighlight);

} // namespace kvx
