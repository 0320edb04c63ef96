// Printed pages as data: which rows go on which page, cut to the page's width or not, with
// their line numbers, the page's header and footer texts and rules, all in printer pixels
// from the printer's metrics. The widget's printer glue draws a page's rows with the same
// run drawing as the screen (the runs carry their token bytes and x positions) and its texts
// in style 0's font, black on white; nothing here draws or measures on its own.
//
// The options decide the page: smoPrintWrap cuts long rows at the page width (otherwise the
// printer clips them), smoPrintLineNos numbers every line on its first print row,
// smoPrintFilename and smoPrintDate give a header with the title and the date and time,
// smoPrintPageNos a footer with "- N -". A frame handler (the widget's OnPrintHeaderFooter)
// replaces header and footer: it draws its own and gives back the rectangle the text may use.
#pragma once

#include "EdTypes.h"
#include "RowLayout.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kvx {

class TCustomSyntaxMemo;
class TEditorPlatform;
class TLineNode;

struct TPrintRect {
    Pixel Left = 0;
    Pixel Top = 0;
    Pixel Right = 0;
    Pixel Bottom = 0;
    bool operator==(const TPrintRect&) const = default;
};

enum class TPrintAlign { Left, Right, Center };

// A text of the header or footer, drawn in its box (vertically from the box's top).
struct TPrintText {
    TPrintRect Box;
    TPrintAlign Align = TPrintAlign::Left;
    std::string Utf8;
};

// One printed row: the whole of a document row, or a piece of one that is cut at the page's
// width. Its layout starts at column 0 of the piece.
struct TPrintRow {
    Pixel Y = 0;            // the row's top
    Pixel X = 0;            // where the text starts; the line number is drawn left of it
    std::string LineNumber; // "%6d:" on the first print row of a line, else empty
    TextOffset Offset = 0;  // the document offset of the row's first character
    TRowLayout Layout;
};

struct TPrintPage {
    int Number = 0;
    // The rows' area: line numbers start at its left, text is clipped at its right.
    TPrintRect Body;
    // The frame handler asked for text without a filled background.
    bool TransparentText = false;
    std::vector<TPrintText> Texts;
    std::vector<Pixel> Rules; // y of horizontal lines across the page
    std::vector<TPrintRow> Rows;
};

class TPrintLayout {
  public:
    // Called at the top of every page with its number: may shrink `body` (the whole page on
    // entry) to keep room for what it draws itself, and ask for transparent text.
    using TFrameEvent = std::function<void(int page, TPrintRect& body, bool& transparentText)>;

    struct TSetup {
        // The printable page in printer pixels; without a printer, a letter page at 300 dpi.
        TPrintRect Page{0, 0, 2550, 3300};
        bool SelectionOnly = false; // the lines of the selection, else the whole document
        TFrameEvent OnFrame;
    };

    // `printer` measures in the printer's fonts; the memo's own platform gives the date and
    // time of the header. The document must not change while pages are laid out: a change
    // that frees rows (a frame handler that edits, say) raises ESyntaxMemo.
    TPrintLayout(TCustomSyntaxMemo& memo, TEditorPlatform& printer, TSetup setup);

    // Every page has been laid out. A document with nothing to print still gets one page,
    // for its header and footer.
    bool Done() const { return exhausted_ && page_.Number > 0; }
    // Lays out the next page; the frame handler runs first, so the glue calls this once the
    // printer stands on the new page. Every page holds at least one row, however small the
    // page, the font or the handler's rectangle, so the pages always come to an end.
    const TPrintPage& NextPage();

  private:
    void NextRow(Pixel y, Pixel x);
    // Where the print row starting at byte `start` of `text` ends.
    ByteIndex Cut(std::string_view text, ByteIndex start) const;
    ByteIndex NextChar(std::string_view text, ByteIndex i) const;

    TCustomSyntaxMemo& memo_;
    TEditorPlatform& printer_;
    TSetup setup_;
    Pixel charWidth_;
    Pixel rowHeight_;
    bool wrap_, lineNumbers_, utf8_;
    TFontStyleTable fonts_;
    uint64_t rowsFreed_;

    const TLineNode* row_ = nullptr; // the row printing goes on with, and where in it
    TextOffset rowOffset_ = 0;
    ByteIndex piece_ = 0;
    bool lineStart_ = true;  // row_ starts a line
    int32_t line_ = 1;       // the number of the next line to start
    int32_t linesLeft_ = -1; // lines of the selection still to print; -1: no limit
    bool exhausted_ = false;
    // Print rows are cut at P columns: (body right - x) / CharWidth - 1, but at least 1.
    int columns_ = 1;
    TPrintPage page_;
};

} // namespace kvx
