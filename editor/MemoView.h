// The view state of an editor control, kept apart from its document and editing state:
// where the view is scrolled to, the layouts of the rows it has measured, and the mapping
// between points of the text area and document offsets. The widget draws and hit-tests
// through it; the mouse state (multiple clicks, margin drags) joins it with the widget.
#pragma once

#include "EdConsts.h"
#include "EdTypes.h"
#include "MemoMouse.h"
#include "MemoScroll.h"
#include "RowLayout.h"
#include "WordWrap.h"

#include <array>
#include <cstdint>
#include <string>

namespace kvx {

class TCustomSyntaxMemo;
class TLineNode;

class TMemoView {
  public:
    explicit TMemoView(TCustomSyntaxMemo& memo)
        : memo_(memo), wrap_(memo), scroll_(memo), mouse_(memo) {}
    TMemoView(const TMemoView&) = delete;
    TMemoView& operator=(const TMemoView&) = delete;

    // ---- Scrolling ---------------------------------------------------------------------
    // The first visible row. Its row of the store is kept in the control's store record,
    // where the store moves it along with edits; only the view sets it.
    RowIndex TopRow() const;
    // Clamped to the rows there are; a change is a view change and repaints everything.
    void SetTopRow(RowIndex row);
    // The display column shown at the text area's left edge.
    DisplayColumn FirstColumn() const { return firstColumn_; }
    // Clamped to 0..2047.
    void SetFirstColumn(DisplayColumn column);
    // Scrolls as little as needed to show the caret's row and (when the platform reports
    // visible columns) its column.
    void ScrollCaretIntoView();
    // Back to the top left, for a new document (the store has already dropped the top row).
    void Reset();
    // Unscrolled horizontally without a repaint of its own, when word wrap is switched.
    void ResetColumn() { firstColumn_ = 0; }

    // ---- Layout ------------------------------------------------------------------------
    // The layout of a row of the control's document with [selFrom, selTo) of its bytes
    // selected, in the font styles of the settings in use. Recently built layouts are kept
    // and handed out again while the row's characters, token bytes, the tab settings, the
    // font styles and the selection are what they were.
    const TRowLayout& Layout(const TLineNode& row, ByteIndex selFrom = 0, ByteIndex selTo = 0);
    // Forgets every kept layout: the font or its metrics changed.
    void ForgetLayouts();
    // The x of byte i of a row, and the character boundary of a row nearest to x, both from
    // the row's column 0.
    Pixel XOf(const TLineNode& row, ByteIndex i) { return Layout(row).XOf(i); }
    ByteIndex ByteAtX(const TLineNode& row, Pixel x) { return Layout(row).ByteAtX(x); }

    // ---- Points and offsets ------------------------------------------------------------
    // Points are in text-area coordinates: x from the text area's left edge (the widget adds
    // the gutter and margin), y from the top of the first visible row.
    //
    // The point where the character at `offset` is drawn (its left edge and its row's top).
    // The empty line after a final break is a row of its own, below the last.
    void PointOf(TextOffset offset, Pixel& x, Pixel& y);
    // The offset nearest to a point. Above the first row means the first row, below the
    // last the last line; left of the text its start, right of it its end.
    TextOffset OffsetAt(Pixel x, Pixel y);

    // ---- Word wrap, scrolling and the mouse ----------------------------------------------
    TWordWrap& WordWrap() { return wrap_; }
    TMemoScroll& Scroll() { return scroll_; }
    TMemoMouse& Mouse() { return mouse_; }

    // ---- The window ----------------------------------------------------------------------
    // The size of the window's client area in pixels, as the widget last reported it (0
    // before it did). The widget reports it after every resize, once the platform answers
    // the new VisibleRows and VisibleColumns: a new width re-wraps the document when it
    // wraps at the window's width.
    void SetClientSize(Pixel width, Pixel height);
    // The font changed: layouts are measured again, and wrapped rows cut again.
    void FontChanged() {
        ForgetLayouts();
        wrap_.FontChanged();
    }
    Pixel ClientWidth() const { return clientWidth_; }
    Pixel ClientHeight() const { return clientHeight_; }
    // Where the text area starts in the window: the margin strip, after the gutter when it is
    // shown. Values from settings streams are held to what the properties accept: a margin
    // no wider than a character, a gutter of at most a fifth of the window.
    Pixel TextLeft() const;
    Pixel MarginWidth() const;

  private:
    // The x of a display column on a row laid out as `layout`, as the text area scrolls it.
    Pixel ScrollX(const TRowLayout& layout) const;

    struct TKept {
        TRowLayout Layout;
        const TLineNode* Row = nullptr;
        std::string Text;
        std::string Tokens; // empty when the row had none
        bool HadTokens = false;
        ByteIndex SelFrom = 0;
        ByteIndex SelTo = 0;
        bool Utf8 = true;
        bool Fixed = true;
        Pixel CharWidth = 0;
        TFontStyleTable Fonts{};
        int TabDefault = 0;
        std::array<int32_t, MaxTabColumns> TabColumns{};
        uint64_t Generation = 0;
    };

    TCustomSyntaxMemo& memo_;
    DisplayColumn firstColumn_ = 0;
    // A few rows are enough: the caret's row, the row a vertical move goes to, the row under
    // the mouse.
    std::array<TKept, 4> kept_;
    size_t nextKept_ = 0;
    uint64_t generation_ = 1; // raised by ForgetLayouts
    Pixel clientWidth_ = 0;
    Pixel clientHeight_ = 0;
    TWordWrap wrap_;
    TMemoScroll scroll_;
    TMemoMouse mouse_;
};

} // namespace kvx
