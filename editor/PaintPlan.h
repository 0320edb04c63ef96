// What the view draws, worked out without drawing: for every row in a band of the window the
// gutter cell (glyphs, line number), the margin strip, the text in runs with their colours and
// font styles, visible white space, range marks and the margin lines; then the caret and the
// focus line. The widget's painter only turns these plans into pixels, so every rule about
// what appears where and in which colour is tested without a window.
#pragma once

#include "EdTypes.h"
#include "RowLayout.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kvx {

class TCustomSyntaxMemo;
class TLineNode;

// What the window adds to the control's own state.
struct TPaintContext {
    Pixel ClientWidth = 0;
    Pixel ClientHeight = 0;
    bool Focused = false;
    // The selection stays visible without the focus (the template list is showing).
    bool KeepSelection = false;
};

// The 14 images of the gutter strip, and the glyph of a row that continues a wrapped line.
constexpr int kGutterImages = 14;
constexpr int kWrappedGlyph = kGutterImages;

struct TGutterPlan {
    int32_t BackColor = 0;
    bool Line = false;   // the white line near its right edge
    int MarksGlyph = -1; // -1 none, 0..13 an image of the strip, kWrappedGlyph
    int WordGlyph = -1;  // -1 none, 0..13
    std::string Number;  // the logical line number, or empty
    Pixel NumberTop = 0; // from the row's top
};

// Characters of one font style and two colours, at x (from the client area's left edge).
struct TPaintRun {
    Pixel X = 0;
    Pixel Width = 0;
    uint32_t Text = 0; // into TRowPlan::Text
    uint32_t TextBytes = 0;
    uint8_t FontStyle = 0;
    int32_t TextColor = 0;
    int32_t BackColor = 0;
};

// A TAB or a space made visible: the TAB glyph centred in its span, a dot for a space, in
// the inverse of the background beneath.
struct TWhiteSpacePlan {
    bool Tab = false;
    Pixel X = 0;
    Pixel Width = 0;
    int32_t BackColor = 0;
};

enum class TEndGlyph : uint8_t { None, LineEnd, Wrapped };

struct TMarkPlan {
    uint32_t Handle = 0;
    Pixel Left = 0;
    Pixel Right = 0;
    Pixel Top = 0;
    Pixel Bottom = 0; // one pixel above the row's last
};

struct TRowPlan {
    RowIndex Row = 0; // past the end of the document: the index it would have
    bool PastEnd = false;
    TextOffset Offset = 0; // of the row's first character
    Pixel Top = 0;
    bool HasGutter = false;
    TGutterPlan Gutter;
    bool HasMargin = false;
    int32_t MarginColor = 0;
    std::string Text; // display text the runs point into (TABs as spaces, UTF-8)
    std::vector<TPaintRun> Runs;
    // The rest of the row to the right edge.
    Pixel FillFrom = 0;
    int32_t FillColor = 0;
    std::vector<TWhiteSpacePlan> WhiteSpace;
    TEndGlyph EndGlyph = TEndGlyph::None;
    Pixel EndGlyphX = 0;
    std::vector<TMarkPlan> Marks;
    Pixel RightMarginX = -1; // -1: no line
    Pixel WrapColumnX = -1;
};

struct TCaretPlan {
    bool Visible = false;
    Pixel X = 0;
    Pixel Y = 0;
    Pixel Width = 0;
    Pixel Height = 0;
};

struct TFocusLinePlan {
    bool Visible = false;
    Pixel Left = 0;
    Pixel Right = 0;
    Pixel Top = 0;
    Pixel Bottom = 0; // the second line
    int32_t Color = 0;
};

class TPaintPlanner {
  public:
    explicit TPaintPlanner(TCustomSyntaxMemo& memo) : memo_(memo) {}

    // Plans the rows that cross [fromY, toY) of the client area, from the first visible row
    // down to the window's bottom; rows past the document are planned too. Their token bytes
    // are brought up to date first. Painting clears their repaint flags.
    void PlanRows(const TPaintContext& context, Pixel fromY, Pixel toY,
                  std::vector<TRowPlan>& rows);
    TCaretPlan Caret(const TPaintContext& context);
    TFocusLinePlan FocusLine(const TPaintContext& context);
    // Whether the selection is drawn in this context.
    bool SelectionVisible(const TPaintContext& context) const;
    // The 1-based logical line of a row: rows that continue a line cut at the row limit or
    // wrapped do not count.
    int32_t LogicalLine(RowIndex row);

  private:
    // `line` is the row's logical line.
    void PlanGutter(const TLineNode* row, int32_t line, TRowPlan& plan);
    void PlanText(const TPaintContext& context, const TLineNode& row, TRowPlan& plan);
    void PlanMarginLines(const TPaintContext& context, TRowPlan& plan);
    int32_t Resolve(int32_t color);
    int32_t DefaultBack();

    TCustomSyntaxMemo& memo_;
    TRowLayout layout_; // scratch, kept between rows
    // The logical line of one row, remembered for the document as it was.
    struct {
        const void* Store = nullptr;
        uint64_t Freed = ~uint64_t(0);
        TextOffset Length = -1;
        RowIndex Row = -1;
        int32_t Line = 0;
    } lineCache_;
};

} // namespace kvx
