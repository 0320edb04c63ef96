#include "PaintPlan.h"

#include "Colors.h"
#include "Platform.h"
#include "Settings.h"
#include "StyleResolver.h"
#include "SyntaxEd.h"

#include <algorithm>

namespace kvx {

namespace {

constexpr int32_t kWhite = 0xFFFFFF;

// The number of the highest bit set in a glyph word, or -1. The strip holds 14 images, so
// bits 14 and 15 stand for no image at all.
int GlyphOf(uint16_t word) {
    for (int bit = 15; bit >= 0; --bit)
        if (word & (1u << bit))
            return bit < kGutterImages ? bit : -1;
    return -1;
}

bool StartsLine(const TLineNode* row) {
    return !row->Prev() || row->Prev()->EndsWithBreak();
}

} // namespace

int32_t TPaintPlanner::Resolve(int32_t color) {
    return IsSystemColor(color) ? memo_.Platform().SystemColorValue(SystemColorIndex(color))
                                : color;
}

int32_t TPaintPlanner::DefaultBack() {
    return ResolveStyle(memo_.Settings(), 0, {}, memo_.Platform()).BackColor;
}

bool TPaintPlanner::SelectionVisible(const TPaintContext& context) const {
    return !memo_.Selection().Empty() &&
           (context.Focused || !memo_.HideSelection() || context.KeepSelection);
}

int32_t TPaintPlanner::LogicalLine(RowIndex index) {
    TTextStore& s = memo_.Store();
    // Without a row at the length limit no line was ever cut, and without word wrap none
    // is wrapped: rows are lines.
    if (s.LongestRow() < MaxRowLength && !memo_.HasOption(smoWordWrap))
        return index + 1;
    auto& c = lineCache_;
    if (c.Store == &s && c.Freed == s.RowsFreed() && c.Length == s.TextLength() && c.Row == index)
        return c.Line;
    int32_t line = 1;
    RowIndex i = 0;
    for (const TLineNode* r = s.FirstRow(); r && i < index; r = r->Next(), ++i)
        line += r->EndsWithBreak() ? 1 : 0;
    c = {&s, s.RowsFreed(), s.TextLength(), index, line};
    return line;
}

void TPaintPlanner::PlanRows(const TPaintContext& context, Pixel fromY, Pixel toY,
                             std::vector<TRowPlan>& rows) {
    rows.clear();
    TTextStore& s = memo_.Store();
    TEditorPlatform& platform = memo_.Platform();
    const Pixel height = std::max<Pixel>(platform.RowHeight(), 1);
    fromY = std::max<Pixel>(fromY, 0);
    toY = std::min(toY, context.ClientHeight);
    if (toY <= fromY)
        return;
    const RowIndex top = memo_.View().TopRow();
    const RowIndex first = top + fromY / height;
    const RowIndex last = top + (toY - 1) / height;

    // The rows shown must carry the token bytes a full pass gives them.
    TRowFinger f = s.RowCount() > first ? s.RowByIndex(first) : TRowFinger{};
    if (f.Row) {
        TRowFinger end = s.RowCount() > last ? s.RowByIndex(last) : TRowFinger{s.LastRow(), 0, 0};
        memo_.HighlightTo(last < s.RowCount() ? end.Offset + end.Row->Length() : s.TextLength());
        f = s.RowByIndex(first); // the pass may have moved the store's lookups, not the rows
    }

    // Lines are counted once, for the first row; the rows below add their breaks.
    int32_t line = f.Row && memo_.HasOption(smoLineNumbers) ? LogicalLine(first) : 0;
    for (RowIndex r = first; r <= last; ++r) {
        TRowPlan plan;
        plan.Row = r;
        plan.Top = (r - top) * height;
        plan.PastEnd = !f.Row;
        plan.Offset = f.Row ? f.Offset : s.TextLength();
        const TLineNode* row = f.Row;
        PlanGutter(row, line, plan);
        const Pixel margin = memo_.MarginWidth();
        if (margin > 0) {
            plan.HasMargin = true;
            const TSM_Settings& st = memo_.Settings();
            plan.MarginColor = st.MarginUsesBackColor ? DefaultBack() : Resolve(st.MarginColor);
        }
        if (row)
            PlanText(context, *row, plan);
        else {
            plan.FillFrom = memo_.TextLeft();
            plan.FillColor = DefaultBack();
        }
        PlanMarginLines(context, plan);
        if (row) {
            const_cast<TLineNode*>(row)->ClearRowFlags(rfRepaint);
            line += row->EndsWithBreak() ? 1 : 0;
            f.Offset += row->Length();
            f.Row = row->Next();
            f.Index = r + 1;
        }
        rows.push_back(std::move(plan));
    }
}

void TPaintPlanner::PlanGutter(const TLineNode* row, int32_t line, TRowPlan& plan) {
    const Pixel gutter = memo_.GutterWidth();
    if (gutter <= 0)
        return;
    const TSM_Settings& s = memo_.Settings();
    plan.HasGutter = true;
    TGutterPlan& g = plan.Gutter;
    g.BackColor =
        s.SysGutterColor ? memo_.Platform().SystemColorValue(scxScrollBar) : Resolve(s.GutterColor);
    g.Line = gutter > 9;
    if (!row)
        return;
    uint16_t marks = row->Marks();
    if (!memo_.HasOption(smoShowWrapGlyph))
        marks &= static_cast<uint16_t>(~rmContinuation);
    // The continuation mark has an image of its own; the strip's image 12 goes unused here.
    g.MarksGlyph = GlyphOf(marks);
    if (g.MarksGlyph == 12)
        g.MarksGlyph = kWrappedGlyph;
    g.WordGlyph = GlyphOf(row->GlyphWord());
    if (memo_.HasOption(smoLineNumbers) && StartsLine(row) && g.MarksGlyph < 0 && g.WordGlyph < 0) {
        g.Number = std::to_string(line);
        const Pixel height = memo_.Platform().RowHeight();
        g.NumberTop = height < 9 ? 0 : (height - 8) / 2;
    }
}

void TPaintPlanner::PlanText(const TPaintContext& context, const TLineNode& row, TRowPlan& plan) {
    TTextStore& s = memo_.Store();
    TEditorPlatform& platform = memo_.Platform();
    const TSM_Settings& settings = memo_.Settings();
    const Pixel left = memo_.TextLeft();
    const int content = row.ContentLength();
    // A wrapped row that ends in a space keeps it out of sight.
    const bool wrapped = !row.EndsWithBreak() && row.Next() && memo_.HasOption(smoWordWrap);
    const int shown = wrapped && content > 0 && row.At(content - 1) == ' ' ? content - 1 : content;

    TRowLayout::TInput in = TRowLayout::RowInput(s, row);
    in.Text = in.Text.substr(0, static_cast<size_t>(shown));
    const bool highlight = memo_.HasOption(smoSyntaxHighlight);
    const TFontStyleTable fonts = FontStyles(settings, highlight);
    in.FontStyles = &fonts;
    if (SelectionVisible(context)) {
        const TSelectionRange sel = memo_.Selection();
        in.SelFrom = std::clamp(sel.Start() - plan.Offset, 0, row.Length() + 1);
        in.SelTo = std::clamp(sel.End() - plan.Offset, 0, row.Length() + 1);
        // The break is selected when the selection reaches past the row's characters; a
        // hidden trailing space of a wrapped row counts as shown.
        if (in.SelTo > shown && in.SelTo <= content)
            in.SelTo = in.SelFrom <= shown ? shown : in.SelTo;
    }
    layout_.Build(in, memo_.TabSettings(), platform);
    const Pixel scroll = layout_.XOfColumn(memo_.View().FirstColumn());
    const Pixel x0 = left - scroll;

    TStyleContext style;
    style.SyntaxHighlight = highlight;
    style.RowBackColor = s.RowBackColor(&row);
    style.RowTextColor = s.RowTextColor(&row);
    const bool showAll = memo_.HasOption(smoShowAllChars);
    plan.Text = layout_.DisplayText();
    for (const TLayoutRun& run : layout_.Runs()) {
        if (x0 + run.X + run.Width <= left)
            continue;
        if (x0 + run.X >= context.ClientWidth)
            break;
        style.Selected = run.Selected;
        const TResolvedStyle r = ResolveTokenStyle(settings, run.Token, style, platform);
        plan.Runs.push_back({x0 + run.X, run.Width, run.Text, run.TextBytes, r.FontStyle,
                             r.TextColor, r.BackColor});
        if (!showAll)
            continue;
        for (ByteIndex i = run.Byte; i < run.Byte + run.Bytes; ++i) {
            const unsigned char c = row.At(i);
            if (c != '\t' && c != ' ')
                continue;
            const Pixel x = layout_.XOf(i);
            plan.WhiteSpace.push_back({c == '\t', x0 + x, layout_.XOf(i + 1) - x, r.BackColor});
        }
    }
    plan.FillFrom = std::max(left, x0 + layout_.Width());
    if (layout_.BreakSelected()) {
        style.Selected = true;
        plan.FillColor = ResolveStyle(settings, 0, style, platform).BackColor;
    } else {
        plan.FillColor = DefaultBack();
    }
    const Pixel end = x0 + layout_.Width();
    if (showAll && end >= left && end < context.ClientWidth) {
        if (row.EndsWithBreak())
            plan.EndGlyph = TEndGlyph::LineEnd;
        else if (wrapped)
            plan.EndGlyph = TEndGlyph::Wrapped;
        plan.EndGlyphX = end;
    }

    // Range marks crossing the row's characters.
    const TextOffset rowEnd = plan.Offset + content;
    const Pixel height = platform.RowHeight();
    for (const TRangeMark& m : memo_.Marks().Marks()) {
        if (m.Start >= rowEnd)
            break;
        if (m.End <= plan.Offset || m.End <= m.Start)
            continue;
        const ByteIndex a = std::max(m.Start, plan.Offset) - plan.Offset;
        const ByteIndex b = std::min(m.End, rowEnd) - plan.Offset;
        TMarkPlan mark;
        mark.Handle = m.Handle;
        mark.Left = x0 + layout_.XOf(a);
        mark.Right = x0 + layout_.XOf(b);
        mark.Top = plan.Top;
        mark.Bottom = plan.Top + height - 2;
        plan.Marks.push_back(mark);
    }
}

void TPaintPlanner::PlanMarginLines(const TPaintContext& context, TRowPlan& plan) {
    const DisplayColumn first = memo_.View().FirstColumn();
    const int columns = memo_.Platform().VisibleColumns();
    const Pixel width = memo_.Platform().CharWidth();
    auto lineAt = [&](int column) -> Pixel {
        if (first >= column || column - first >= columns)
            return -1;
        const Pixel x = memo_.TextLeft() + (column - first) * width;
        return x < context.ClientWidth ? x : -1;
    };
    if (memo_.HasOption(smoShowRMargin))
        plan.RightMarginX = lineAt(memo_.RightMargin());
    if (memo_.HasOption(smoWordWrap) && memo_.HasOption(smoShowWrapColumn) &&
        memo_.WrapAtColumn() >= 1)
        plan.WrapColumnX = lineAt(memo_.WrapAtColumn());
}

TCaretPlan TPaintPlanner::Caret(const TPaintContext& context) {
    TCaretPlan c;
    if (!context.Focused)
        return c;
    TEditorPlatform& platform = memo_.Platform();
    const TextOffset caret = memo_.Selection().Caret;
    Pixel x = 0, y = 0;
    memo_.View().PointOf(caret, x, y);
    if (memo_.InVirtualSpace() && platform.FixedPitch())
        x = (memo_.VirtualColumn() - memo_.View().FirstColumn()) * platform.CharWidth();
    c.X = memo_.TextLeft() + x;
    c.Y = y;
    c.Height = platform.RowHeight();
    c.Width = 2;
    if (!memo_.InsertMode() && memo_.HasOption(smoBlockOverwriteCursor)) {
        // As wide as the character under the caret; a line's end or the document's end
        // takes an average character.
        c.Width = platform.CharWidth();
        const TCustomSyntaxMemo::TCaretRow at = memo_.Locate(caret);
        if (at.Row && at.InRow < at.Row->ContentLength() && !memo_.InVirtualSpace()) {
            const TRowLayout& layout = memo_.View().Layout(*at.Row);
            const ByteIndex next = memo_.Store().NextCharStart(at.Row, at.InRow);
            c.Width = std::max<Pixel>(layout.XOf(next) - layout.XOf(at.InRow), 1);
        }
    }
    c.Visible = c.X >= memo_.TextLeft() && c.X < context.ClientWidth && c.Y >= 0 &&
                c.Y < context.ClientHeight;
    return c;
}

TFocusLinePlan TPaintPlanner::FocusLine(const TPaintContext& context) {
    TFocusLinePlan f;
    if (!memo_.ShowFocusLine())
        return f;
    const TCustomSyntaxMemo::TCaretRow at = memo_.Locate(memo_.Selection().Caret);
    const Pixel height = memo_.Platform().RowHeight();
    f.Top = (at.Index - memo_.View().TopRow()) * height;
    f.Bottom = f.Top + height - 1;
    f.Left = memo_.TextLeft();
    f.Right = context.ClientWidth;
    f.Color = DefaultBack() ^ kWhite;
    f.Visible = f.Top < context.ClientHeight && f.Bottom >= 0;
    return f;
}

} // namespace kvx
