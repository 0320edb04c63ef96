#include "RowLayout.h"

#include "Encoding.h"
#include "Platform.h"
#include "TextStore.h"

#include <algorithm>

namespace kvx {

TRowLayout::TInput TRowLayout::RowInput(const TTextStore& store, const TLineNode& row) {
    TInput in;
    in.Text = std::string_view(row.Text(), static_cast<size_t>(row.ContentLength()));
    in.Tokens = row.Styles();
    in.Utf8 = store.Utf8();
    return in;
}

void TRowLayout::Build(const TInput& in, const TTabSettings& tabs, TEditorPlatform& platform) {
    chars_.clear();
    runs_.clear();
    display_.clear();
    const auto length = static_cast<ByteIndex>(in.Text.size());
    charWidth_ = platform.CharWidth();
    breakSelected_ = in.SelFrom <= length && in.SelTo > length;

    // Characters split as the text store splits them: a lead byte takes the continuation
    // bytes it announces, and a stray continuation byte is a character of its own.
    DisplayColumn column = 0;
    int pending = 0;
    for (ByteIndex i = 0; i < length; ++i) {
        const auto b = static_cast<unsigned char>(in.Text[static_cast<size_t>(i)]);
        if (in.Utf8 && pending > 0 && IsUtf8Continuation(b)) {
            --pending;
            display_.push_back(static_cast<char>(b));
            continue;
        }
        pending = in.Utf8 ? Utf8SequenceLength(b) - 1 : 0;
        const uint8_t token = in.Tokens ? in.Tokens[i] : 0;
        const bool selected = i >= in.SelFrom && i < in.SelTo;
        if (runs_.empty() || runs_.back().Token != token || runs_.back().Selected != selected) {
            TLayoutRun run;
            run.Column = column;
            run.Byte = i;
            run.Text = static_cast<uint32_t>(display_.size());
            run.Token = token;
            run.Selected = selected;
            runs_.push_back(run);
        }
        chars_.push_back({i, column, 0});
        if (b == '\t') {
            const DisplayColumn stop = tabs.NextTabStop(column);
            display_.append(static_cast<size_t>(stop - column), ' ');
            column = stop;
        } else {
            if (!in.Utf8)
                AppendUtf8(Cp1252ToUnicode(b), display_);
            else if (IsUtf8Continuation(b))
                display_ += "\xEF\xBF\xBD"; // the platform would not count it as a character
            else
                display_.push_back(static_cast<char>(b));
            ++column;
        }
    }
    chars_.push_back({length, column, 0});

    // Close the runs, then place them.
    for (size_t r = 0; r < runs_.size(); ++r) {
        TLayoutRun& run = runs_[r];
        const bool last = r + 1 == runs_.size();
        const ByteIndex end = last ? length : runs_[r + 1].Byte;
        run.Bytes = end - run.Byte;
        run.Columns = (last ? column : runs_[r + 1].Column) - run.Column;
        run.TextBytes =
            (last ? static_cast<uint32_t>(display_.size()) : runs_[r + 1].Text) - run.Text;
    }
    if (platform.FixedPitch()) {
        for (TChar& c : chars_)
            c.X = c.Column * charWidth_;
        for (TLayoutRun& run : runs_) {
            run.X = run.Column * charWidth_;
            run.Width = run.Columns * charWidth_;
        }
        return;
    }
    Measure(platform, in.FontStyles);
}

void TRowLayout::Measure(TEditorPlatform& platform, const TFontStyleTable* fonts) {
    Pixel x = 0;
    size_t k = 0;
    for (TLayoutRun& run : runs_) {
        run.X = x;
        // One edge per drawn character: a TAB is drawn as one space per column it covers.
        const std::string_view text = RunText(run);
        const auto drawn = static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
            return !IsUtf8Continuation(static_cast<unsigned char>(c));
        }));
        edges_.assign(drawn, 0);
        if (drawn > 0)
            platform.MeasureWidths(text, fonts ? (*fonts)[run.Token] : 0, edges_);
        // Each character starts where the drawn characters before it end.
        size_t d = 0;
        const ByteIndex end = run.Byte + run.Bytes;
        for (; k + 1 < chars_.size() && chars_[k].Byte < end; ++k) {
            chars_[k].X = x + (d > 0 ? edges_[d - 1] : 0);
            const DisplayColumn next = chars_[k + 1].Column;
            d += static_cast<size_t>(next - chars_[k].Column);
        }
        run.Width = drawn > 0 ? edges_.back() : 0;
        x += run.Width;
    }
    chars_.back().X = x;
}

size_t TRowLayout::CharAt(ByteIndex i) const {
    if (i <= 0)
        return 0;
    // The last character starting at or before i.
    const auto it = std::upper_bound(chars_.begin(), chars_.end(), i,
                                     [](ByteIndex b, const TChar& c) { return b < c.Byte; });
    return static_cast<size_t>(it - chars_.begin()) - 1;
}

Pixel TRowLayout::XOfColumn(DisplayColumn column) const {
    if (column <= 0)
        return 0;
    if (column >= Columns())
        return Width() + (column - Columns()) * charWidth_;
    const auto it =
        std::upper_bound(chars_.begin(), chars_.end(), column,
                         [](DisplayColumn c, const TChar& ch) { return c < ch.Column; });
    const TChar& at = *std::prev(it);
    if (at.Column == column)
        return at.X;
    // Inside a TAB: its spaces are equally wide.
    const TChar& next = *it;
    return at.X + (next.X - at.X) * (column - at.Column) / (next.Column - at.Column);
}

ByteIndex TRowLayout::ByteAtColumn(DisplayColumn column) const {
    if (column >= Columns())
        return Length();
    const auto it =
        std::upper_bound(chars_.begin(), chars_.end(), column,
                         [](DisplayColumn c, const TChar& ch) { return c < ch.Column; });
    return it == chars_.begin() ? 0 : std::prev(it)->Byte;
}

ByteIndex TRowLayout::ByteAtX(Pixel x) const {
    // The first boundary at or right of x, then whichever of it and the one before is nearer.
    const auto it = std::lower_bound(chars_.begin(), chars_.end(), x,
                                     [](const TChar& c, Pixel px) { return c.X < px; });
    if (it == chars_.end())
        return Length();
    if (it != chars_.begin() && x - std::prev(it)->X <= it->X - x)
        return std::prev(it)->Byte;
    return it->Byte;
}

ByteIndex TRowLayout::ByteBeforeX(Pixel x) const {
    const auto it = std::upper_bound(chars_.begin(), chars_.end(), x,
                                     [](Pixel px, const TChar& c) { return px < c.X; });
    return it == chars_.begin() ? 0 : std::prev(it)->Byte;
}

} // namespace kvx
