// Everything the editor control needs from the window system, as one abstract interface.
// Every member is pure virtual, so a platform that forgets one does not compile: the Qt
// widget implements it for the screen, THeadlessPlatform for kvx and anything else without
// a display, and the tests' fake records what the control asked for.
#pragma once

#include "EdTypes.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kvx {

// What a copy puts on the clipboard, all formats together: a Qt clipboard replaces whatever
// was set before, so the formats cannot be offered one call at a time.
// A format left empty is not offered.
struct TClipboardData {
    std::string Text; // UTF-8 with LF line breaks
    std::string Rtf;
    std::string Html; // a whole HTML document, UTF-8
    // Rich formats (smRTF, smHTML) a platform writes itself when a reader asks for them,
    // from [From, To) of the control that copied; Rtf and Html are then left empty. A large
    // selection is copied at once that way, and only the formats someone pastes are written.
    uint8_t Deferred = 0;
    TextOffset From = 0;
    TextOffset To = 0;
};

class TEditorPlatform {
  public:
    virtual ~TEditorPlatform() = default;

    // ---- Repainting and notifications ---------------------------------------------------
    // Rows [first, last] need repainting; last -1 means to the end of the document.
    virtual void InvalidateRows(RowIndex first, RowIndex last) = 0;
    // The change notification's bits (TChangeBit) before the application hears them through
    // OnChange: the widget updates its scroll bars and caret from here.
    virtual void ViewChanged(uint32_t bits) = 0;
    // Overwrite mode with the block caret on (true) or the bar caret back (false).
    virtual void CaretShapeChanged(bool block) = 0;

    // ---- Metrics and measuring ----------------------------------------------------------
    // The average character width and the height of one row of the view's font.
    virtual Pixel CharWidth() = 0;
    virtual Pixel RowHeight() = 0;
    // Every character advances by CharWidth: layouts count columns instead of measuring.
    virtual bool FixedPitch() = 0;
    // Whole rows and columns the text area shows.
    virtual int VisibleRows() = 0;
    virtual int VisibleColumns() = 0;
    // The width of the window's client area (gutter, margin and text); 0 while it has none.
    virtual Pixel ClientWidth() = 0;
    // Measures one run of display text (TABs already turned into spaces) drawn in
    // `fontStyle` (bold 1, italic 2, underline 4, strike-out 8). A character starts at every
    // byte that is not a UTF-8 continuation byte (10xxxxxx); `rightEdges` has one entry per
    // character and receives the x of each character's right edge from the run's start.
    virtual void MeasureWidths(std::string_view utf8, uint8_t fontStyle,
                               std::span<Pixel> rightEdges) = 0;

    // ---- Colours ------------------------------------------------------------------------
    // The 0x00BBGGRR value the desktop gives system colour `index` (TSystemColorIndex).
    virtual int32_t SystemColorValue(int index) = 0;

    // ---- Clipboard and sound ------------------------------------------------------------
    virtual void SetClipboard(const TClipboardData& data) = 0;
    // Plain text in UTF-8; false when the clipboard holds none.
    virtual bool ClipboardText(std::string& utf8) = 0;
    // The HTML on the clipboard (text/html) in UTF-8, as it came; false when there is none.
    virtual bool ClipboardHtml(std::string& utf8) = 0;
    virtual void Beep() = 0;

    // ---- Dates --------------------------------------------------------------------------
    // Today's date in the desktop's short form and the time now in its long form, as the
    // HTML writer dates its pages and printed pages carry them in their header.
    virtual std::string ShortDate() = 0;
    virtual std::string LongTime() = 0;
};

} // namespace kvx
