#include "PrintLayout.h"

#include "Encoding.h"
#include "Platform.h"
#include "StyleResolver.h"
#include "SyntaxEd.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace kvx {

namespace {

constexpr char kChangedWhilePrinting[] = "The document changed while it was being printed";

// The first row of the line holding `offset`, its offset and the line's 1-based number;
// the row is null for the empty line after a final break.
struct TLineAt {
    const TLineNode* Row = nullptr;
    TextOffset Offset = 0;
    int32_t Line = 1;
};
TLineAt LineAt(const TTextStore& store, TextOffset offset) {
    TLineAt at{store.FirstRow(), 0, 1};
    TextOffset o = 0;
    for (const TLineNode* r = store.FirstRow(); r; r = r->Next()) {
        if (offset < o + r->Length())
            break;
        o += r->Length();
        if (r->EndsWithBreak())
            at = {r->Next(), o, at.Line + 1};
    }
    return at;
}

bool Blank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

} // namespace

TPrintLayout::TPrintLayout(TCustomSyntaxMemo& memo, TEditorPlatform& printer, TSetup setup)
    : memo_(memo), printer_(printer), setup_(std::move(setup)) {
    // The metrics' own fallbacks for a font that reports nothing.
    charWidth_ = printer.CharWidth() > 0 ? printer.CharWidth() : 7;
    rowHeight_ = printer.RowHeight() > 0 ? printer.RowHeight() : 17;
    wrap_ = memo.HasOption(smoPrintWrap);
    lineNumbers_ = memo.HasOption(smoPrintLineNos);
    fonts_ = FontStyles(memo.Settings(), memo.HasOption(smoSyntaxHighlight));
    const TTextStore& store = memo.Store();
    utf8_ = store.Utf8();
    rowsFreed_ = store.RowsFreed();
    row_ = store.FirstRow();
    if (setup_.SelectionOnly) {
        // Whole lines, from the one holding the selection's start to the one holding its
        // end, which is left out when the selection ends right at its start. They are
        // counted as lines, however many print rows their wrapping takes.
        const TSelectionRange sel = memo.Selection();
        const TLineAt first = LineAt(store, sel.Start());
        const TLineAt last = LineAt(store, sel.End());
        int32_t lastLine = last.Line;
        if (!sel.Empty() && last.Offset == sel.End())
            --lastLine;
        row_ = first.Row;
        rowOffset_ = first.Offset;
        line_ = first.Line;
        linesLeft_ = std::max(lastLine - first.Line + 1, 1);
    }
    exhausted_ = row_ == nullptr;
}

const TPrintPage& TPrintLayout::NextPage() {
    const TTextStore& store = memo_.Store();
    page_.Number++;
    page_.Texts.clear();
    page_.Rules.clear();
    page_.Rows.clear();
    page_.TransparentText = false;
    const TPrintRect& page = setup_.Page;
    TPrintRect body = page;
    if (setup_.OnFrame) {
        setup_.OnFrame(page_.Number, body, page_.TransparentText);
    } else {
        const bool title = memo_.HasOption(smoPrintFilename);
        const bool date = memo_.HasOption(smoPrintDate);
        const TPrintRect head{page.Left, page.Top, page.Right, page.Top + rowHeight_};
        if (title)
            page_.Texts.push_back({head, TPrintAlign::Left, memo_.Title});
        if (date) {
            TEditorPlatform& desktop = memo_.Platform();
            page_.Texts.push_back(
                {head, TPrintAlign::Right, desktop.ShortDate() + " - " + desktop.LongTime()});
        }
        if (title || date) {
            page_.Rules.push_back(page.Top + 2 * rowHeight_);
            body.Top = page.Top + 3 * rowHeight_;
        }
        if (memo_.HasOption(smoPrintPageNos)) {
            const Pixel top = page.Bottom - rowHeight_ * 5 / 2;
            page_.Texts.push_back({{page.Left, top, page.Right, top + rowHeight_},
                                   TPrintAlign::Center,
                                   "- " + std::to_string(page_.Number) + " -"});
            page_.Rules.push_back(page.Bottom - 3 * rowHeight_);
            body.Bottom = page.Bottom - 4 * rowHeight_;
        }
    }
    // Rows are held by address: a handler that edited the document has freed some of them.
    if (store.RowsFreed() != rowsFreed_)
        throw ESyntaxMemo(0, kChangedWhilePrinting);
    page_.Body = body;
    const Pixel x = body.Left + (lineNumbers_ ? 10 * charWidth_ : 0);
    columns_ = std::max((body.Right - x) / charWidth_ - 1, 1);
    // A row goes on the page when all of it fits above the body's bottom; the first row
    // of a page goes on it whatever its size.
    for (Pixel y = body.Top; !exhausted_ && (page_.Rows.empty() || y + rowHeight_ <= body.Bottom);
         y += rowHeight_)
        NextRow(y, x);
    return page_;
}

void TPrintLayout::NextRow(Pixel y, Pixel x) {
    const TLineNode& r = *row_;
    const std::string_view text(r.Text(), static_cast<size_t>(r.ContentLength()));
    const auto length = static_cast<ByteIndex>(text.size());
    piece_ = std::min(piece_, length);
    const ByteIndex end = wrap_ ? Cut(text, piece_) : length;

    TPrintRow& row = page_.Rows.emplace_back();
    row.Y = y;
    row.X = x;
    row.Offset = rowOffset_ + piece_;
    if (lineNumbers_ && lineStart_ && piece_ == 0) {
        char number[16];
        std::snprintf(number, sizeof number, "%6d:", static_cast<int>(line_));
        row.LineNumber = number;
    }
    TRowLayout::TInput in;
    in.Text = text.substr(static_cast<size_t>(piece_), static_cast<size_t>(end - piece_));
    in.Tokens = r.Styles() ? r.Styles() + piece_ : nullptr;
    in.Utf8 = utf8_;
    in.FontStyles = &fonts_;
    row.Layout.Build(in, memo_.TabSettings(), printer_);

    piece_ = end;
    if (piece_ < length)
        return;
    // The row is done; a line ends with it when it ends with a break.
    lineStart_ = r.EndsWithBreak();
    rowOffset_ += r.Length();
    row_ = r.Next();
    piece_ = 0;
    if (lineStart_) {
        ++line_;
        if (linesLeft_ > 0 && --linesLeft_ == 0)
            exhausted_ = true;
    }
    if (!row_)
        exhausted_ = true;
}

// The piece is measured in characters up to P, or, when the text has TABs, in display
// columns up to P - TabDefault (so that a TAB near the end cannot push it past the page).
// It ends after the last blank (a character of code 32 or less) up to that point, with the
// blanks that follow it, as the screen's word wrap breaks; at the measured point when there
// is none. It always takes at least one character, so that a page narrower than a TAB
// still makes progress.
ByteIndex TPrintLayout::Cut(std::string_view text, ByteIndex start) const {
    const auto length = static_cast<ByteIndex>(text.size());
    const TTabSettings& tabs = memo_.TabSettings();
    ByteIndex limit = start;
    if (text.find('\t', static_cast<size_t>(start)) != std::string_view::npos) {
        const int columns = columns_ - tabs.TabDefault;
        for (DisplayColumn c = 0; limit < length && c < columns; limit = NextChar(text, limit))
            c = text[static_cast<size_t>(limit)] == '\t' ? tabs.NextTabStop(c) : c + 1;
    } else {
        for (int k = 0; limit < length && k < columns_; ++k)
            limit = NextChar(text, limit);
    }
    if (limit >= length)
        return length;
    // A blank right at the limit ends a word that fits exactly.
    ByteIndex end = limit + 1;
    while (end > start && !Blank(text[static_cast<size_t>(end - 1)]))
        --end;
    if (end == start)
        return limit > start ? limit : NextChar(text, start);
    while (end < length && Blank(text[static_cast<size_t>(end)]))
        ++end;
    return end;
}

ByteIndex TPrintLayout::NextChar(std::string_view text, ByteIndex i) const {
    const auto length = static_cast<ByteIndex>(text.size());
    ++i;
    while (utf8_ && i < length && IsUtf8Continuation(static_cast<unsigned char>(text[i])))
        ++i;
    return i;
}

} // namespace kvx
