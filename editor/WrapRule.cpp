#include "WrapRule.h"

#include "EdConsts.h"
#include "Encoding.h"

#include <algorithm>

namespace kvx {

namespace {

bool IsDelimiter(const unsigned char* s, int i, int n, bool utf8) {
    const unsigned char b = s[i];
    if (b <= 32)
        return true;
    if (!utf8)
        return b == 160;
    // In UTF-8, byte 160 only ever continues a character: the no-break space is C2 A0.
    return (b == 0xC2 && i + 1 < n && s[i + 1] == 0xA0) || (b == 0xA0 && i > 0 && s[i - 1] == 0xC2);
}

} // namespace

int FindWordBreak(const char* lpch, int ichCurrent, int cch, int code, bool utf8) {
    if (!lpch || cch <= 0)
        return 0;
    const auto* s = reinterpret_cast<const unsigned char*>(lpch);
    int p = std::clamp(ichCurrent, 0, cch);
    switch (code) {
    case wbBreakLeft:
        if (p >= cch)
            return cch;
        if (IsDelimiter(s, p, cch, utf8)) {
            // The delimiters after a word stay at the end of its row.
            while (p < cch && IsDelimiter(s, p, cch, utf8))
                ++p;
            return p;
        }
        // Before the word that straddles p; a word longer than the row is cut at p. A
        // delimiter that is the first character does not count (in UTF-8 that may be the
        // second byte of a no-break space).
        for (int d = p - 1; d > 0; --d)
            if (IsDelimiter(s, d, cch, utf8))
                return d == 1 && s[0] == 0xC2 && utf8 ? p : d + 1;
        return p;
    case wbNextWord:
        while (p < cch && !IsDelimiter(s, p, cch, utf8))
            ++p;
        while (p < cch && IsDelimiter(s, p, cch, utf8))
            ++p;
        return p;
    case wbIsDelimiter:
        return p < cch && IsDelimiter(s, p, cch, utf8) ? 1 : 0;
    default:
        return 0;
    }
}

bool TWrapParams::operator==(const TWrapParams& o) const {
    // Without wrapping every line is cut at the row cap, which only the encoding moves.
    if (!Wrap || !o.Wrap)
        return Wrap == o.Wrap && Utf8 == o.Utf8;
    if (Width != o.Width || Override != o.Override || Utf8 != o.Utf8 ||
        FixedPitch != o.FixedPitch || Tabs.TabDefault != o.Tabs.TabDefault ||
        Tabs.Columns != o.Tabs.Columns)
        return false;
    if (Override && OverrideChars != o.OverrideChars)
        return false;
    // A fixed-pitch font counts columns; only a proportional one is measured.
    return FixedPitch || (CharWidth == o.CharWidth && FontStyle == o.FontStyle);
}

TWrapRule::TWrapRule(const TWrapParams& params, TEditorPlatform& platform,
                     const TSM_WordBreakProc* breakProc)
    : params_(params), platform_(platform), proc_(breakProc && *breakProc ? breakProc : nullptr) {
    params_.Width = std::max(params_.Width, 1);
    fonts_.fill(params_.FontStyle);
}

int TWrapRule::NextChar(std::string_view s, int i) const {
    const int n = static_cast<int>(s.size());
    if (i >= n)
        return n;
    if (!params_.Utf8)
        return i + 1;
    // A lead byte takes the continuation bytes it announces; anything else is a character
    // of its own, as the store counts them.
    int more = Utf8SequenceLength(static_cast<unsigned char>(s[i])) - 1;
    int j = i + 1;
    while (more > 0 && j < n && IsUtf8Continuation(static_cast<unsigned char>(s[j]))) {
        ++j;
        --more;
    }
    return j;
}

int TWrapRule::CharStartAtOrBefore(std::string_view s, int i) const {
    if (!params_.Utf8 || i <= 0 || i >= static_cast<int>(s.size()))
        return i;
    while (i > 0 && !Utf8IsCharStart(s.data(), i))
        --i;
    return i;
}

void TWrapRule::Cut(std::string_view line, unsigned char lineStart, std::vector<int32_t>& lengths) {
    lengths.clear();
    const bool wrap = params_.Wrap && !(params_.Override && params_.OverrideChars[lineStart]);
    for (size_t pos = 0; pos < line.size();) {
        const std::string_view rest = line.substr(pos);
        int c;
        if (wrap) {
            c = RowLength(rest);
        } else {
            // Lines that are not wrapped are cut at the row cap alone.
            c = static_cast<int>(std::min<size_t>(rest.size(), MaxRowLength));
            if (c < static_cast<int>(rest.size()))
                c = std::max(CharStartAtOrBefore(rest, c), 1);
        }
        lengths.push_back(c);
        pos += static_cast<size_t>(c);
    }
}

int TWrapRule::RowLength(std::string_view rest) {
    const int n = static_cast<int>(rest.size());
    // The row cap holds whatever the width and the word break say.
    const int cap = n <= MaxRowLength ? n : std::max(CharStartAtOrBefore(rest, MaxRowLength), 1);
    const int content = rest.back() == '\r' ? n - 1 : n;
    const std::string_view measured = rest.substr(0, static_cast<size_t>(std::min(content, cap)));
    const int fit = params_.FixedPitch ? FitColumns(measured) : FitPixels(measured);
    if (fit >= content)
        return std::min(n, cap); // the rest of the line fits, its break with it
    int p = proc_ ? std::clamp((*proc_)(rest.data(), fit, n, wbBreakLeft), 0, n)
                  : FindWordBreak(rest.data(), fit, n, wbBreakLeft, params_.Utf8);
    p = CharStartAtOrBefore(rest, p);
    if (p <= 0)
        p = NextChar(rest, 0);
    // A long run of delimiters carries the row on, but never past the cap.
    return std::min(p, cap);
}

int TWrapRule::FitColumns(std::string_view s) const {
    const int n = static_cast<int>(s.size());
    const int w = params_.Width;
    const int quick = std::min(n, w);
    bool plain = true;
    for (int i = 0; i < quick && plain; ++i) {
        const auto b = static_cast<unsigned char>(s[static_cast<size_t>(i)]);
        plain = b != '\t' && !(params_.Utf8 && b >= 0x80);
    }
    if (plain)
        return quick; // one column per byte
    int column = 0;
    int i = 0;
    while (i < n) {
        const int next =
            s[static_cast<size_t>(i)] == '\t' ? params_.Tabs.NextTabStop(column) : column + 1;
        if (next > w && i > 0)
            break;
        column = next;
        i = NextChar(s, i);
    }
    return i;
}

int TWrapRule::FitPixels(std::string_view s) {
    const Pixel width = params_.CharWidth * params_.Width;
    const int n = static_cast<int>(s.size());
    // Measure a little more than a row of average characters, and more only when all of
    // that fits: rows of narrow characters hold more of them.
    int m = std::min(n, 2 * params_.Width + 8);
    for (;;) {
        m = std::max(CharStartAtOrBefore(s, m), NextChar(s, 0));
        TRowLayout::TInput in;
        in.Text = s.substr(0, static_cast<size_t>(m));
        in.Utf8 = params_.Utf8;
        in.FontStyles = &fonts_;
        layout_.Build(in, params_.Tabs, platform_);
        if (layout_.Width() > width || m >= n)
            break;
        m = std::min(n, 2 * m);
    }
    const int fit = layout_.ByteBeforeX(width);
    return fit > 0 ? fit : NextChar(s, 0);
}

} // namespace kvx
