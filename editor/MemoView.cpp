#include "MemoView.h"

#include "Settings.h"
#include "StyleResolver.h"
#include "SyntaxEd.h"

#include <algorithm>
#include <cstring>

namespace kvx {

// ---- Scrolling -------------------------------------------------------------------------

RowIndex TMemoView::TopRow() const {
    return memo_.TopLine;
}

void TMemoView::SetTopRow(RowIndex row) {
    TTextStore& s = memo_.Store();
    const RowIndex rows = s.RowCount();
    row = std::clamp(row, 0, std::max(rows - 1, 0));
    if (row == memo_.TopLine && (memo_.Top.Row || rows == 0))
        return;
    memo_.TopLine = row;
    memo_.Top = rows ? s.RowByIndex(row) : TRowFinger{};
    memo_.Changed(chView);
    memo_.Platform().InvalidateRows(0, -1);
}

void TMemoView::SetFirstColumn(DisplayColumn column) {
    column = std::clamp(column, 0, MaxRowLength);
    if (column == firstColumn_)
        return;
    firstColumn_ = column;
    memo_.Changed(chView);
    memo_.Platform().InvalidateRows(0, -1);
}

void TMemoView::ScrollCaretIntoView() {
    TEditorPlatform& platform = memo_.Platform();
    // Every edit ends here: the caret's row is looked up once, for both directions.
    const TCustomSyntaxMemo::TCaretRow at = memo_.Locate(memo_.Sel.Caret);
    const int visible = std::max(platform.VisibleRows(), 1);
    RowIndex top = memo_.TopLine;
    if (at.Index < top)
        top = at.Index;
    else if (at.Index >= top + visible)
        top = at.Index - visible + 1;
    SetTopRow(top);
    const int columns = platform.VisibleColumns();
    if (scroll_.RowsFitWindow()) {
        SetFirstColumn(0);
    } else if (columns > 0) {
        const DisplayColumn col = memo_.InVirtualSpace() ? memo_.VirtualColumn()
                                  : at.Row
                                      ? memo_.Store().ColumnOfIndex(at.Row, at.InRow, memo_.Tabs)
                                      : 0;
        DisplayColumn first = firstColumn_;
        if (col < first)
            first = col;
        else if (col >= first + columns)
            first = col - columns + 1;
        SetFirstColumn(first);
    }
}

void TMemoView::Reset() {
    memo_.Top = {};
    memo_.TopLine = 0;
    firstColumn_ = 0;
}

// ---- The window --------------------------------------------------------------------------

void TMemoView::SetClientSize(Pixel width, Pixel height) {
    const bool wider = width != clientWidth_;
    clientWidth_ = width;
    clientHeight_ = height;
    if (wider)
        wrap_.Update();
}

// The control holds the rules for both (a gutter and margin from a stream or script are
// drawn no wider than the setters would allow); the view asks it, so that painting and
// the mouse agree.
Pixel TMemoView::MarginWidth() const {
    return memo_.MarginWidth();
}

Pixel TMemoView::TextLeft() const {
    return memo_.TextLeft();
}

// ---- Layout ----------------------------------------------------------------------------

const TRowLayout& TMemoView::Layout(const TLineNode& row, ByteIndex selFrom, ByteIndex selTo) {
    const TTextStore& s = memo_.Store();
    const TTabSettings& tabs = memo_.TabSettings();
    TEditorPlatform& platform = memo_.Platform();
    const std::string_view text(row.Text(), static_cast<size_t>(row.ContentLength()));
    const uint8_t* tokens = row.Styles();
    const bool fixed = platform.FixedPitch();
    const Pixel width = platform.CharWidth();
    // Only a proportional font measures bold and italic runs differently.
    const TFontStyleTable fonts =
        fixed ? TFontStyleTable{}
              : FontStyles(memo_.Settings(), memo_.HasOption(smoSyntaxHighlight));
    // A row is kept by its address, but rows are edited in place and freed rows' memory is
    // reused: what it holds is compared as well.
    auto same = [&](const TKept& k) {
        return k.Row == &row && k.Generation == generation_ && k.SelFrom == selFrom &&
               k.SelTo == selTo && k.Utf8 == s.Utf8() && k.Fixed == fixed && k.CharWidth == width &&
               k.Fonts == fonts && k.TabDefault == tabs.TabDefault &&
               k.TabColumns == tabs.Columns && k.Text == text &&
               k.HadTokens == (tokens != nullptr) &&
               (!tokens || std::memcmp(k.Tokens.data(), tokens, text.size()) == 0);
    };
    for (const TKept& k : kept_)
        if (same(k))
            return k.Layout;

    TKept& k = kept_[nextKept_];
    nextKept_ = (nextKept_ + 1) % kept_.size();
    k.Row = &row;
    k.Generation = generation_;
    k.SelFrom = selFrom;
    k.SelTo = selTo;
    k.Utf8 = s.Utf8();
    k.Fixed = fixed;
    k.CharWidth = width;
    k.Fonts = fonts;
    k.TabDefault = tabs.TabDefault;
    k.TabColumns = tabs.Columns;
    k.Text.assign(text);
    k.HadTokens = tokens != nullptr;
    if (tokens)
        k.Tokens.assign(reinterpret_cast<const char*>(tokens), text.size());
    else
        k.Tokens.clear();
    TRowLayout::TInput in = TRowLayout::RowInput(s, row);
    in.SelFrom = selFrom;
    in.SelTo = selTo;
    in.FontStyles = &k.Fonts;
    k.Layout.Build(in, tabs, platform);
    return k.Layout;
}

void TMemoView::ForgetLayouts() {
    ++generation_;
}

// ---- Points and offsets ----------------------------------------------------------------

Pixel TMemoView::ScrollX(const TRowLayout& layout) const {
    return layout.XOfColumn(firstColumn_);
}

void TMemoView::PointOf(TextOffset offset, Pixel& x, Pixel& y) {
    const TCustomSyntaxMemo::TCaretRow at = memo_.Locate(offset);
    y = (at.Index - TopRow()) * memo_.Platform().RowHeight();
    if (!at.Row) {
        x = -firstColumn_ * memo_.Platform().CharWidth();
        return;
    }
    const TRowLayout& layout = Layout(*at.Row);
    x = layout.XOf(at.InRow) - ScrollX(layout);
}

TextOffset TMemoView::OffsetAt(Pixel x, Pixel y) {
    TTextStore& s = memo_.Store();
    if (!s.FirstRow())
        return 0;
    const Pixel height = std::max(memo_.Platform().RowHeight(), 1);
    // Rows above the window count too (a drag that left it): round towards minus infinity.
    const int64_t down = y >= 0 ? y / height : -((-int64_t(y) + height - 1) / height);
    // The empty line after a final break is a line of its own.
    const RowIndex lastLine = s.RowCount() - (s.LastRow()->EndsWithBreak() ? 0 : 1);
    const auto row =
        static_cast<RowIndex>(std::clamp<int64_t>(int64_t(TopRow()) + down, 0, lastLine));
    if (row == s.RowCount())
        return s.TextLength();
    const TRowFinger f = s.RowByIndex(row);
    const TRowLayout& layout = Layout(*f.Row);
    return f.Offset + layout.ByteAtX(x + ScrollX(layout));
}

} // namespace kvx
