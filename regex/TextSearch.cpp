#include "TextSearch.h"

#include "editor/Encoding.h"

#include <algorithm>

namespace kvx {

namespace {
// Caseless plain search folds only the ASCII letters, as the skip tables do.
inline unsigned char Fold(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? c - 32 : c;
}
} // namespace

std::string FormatRegExprError(const std::string& message, std::string_view pattern,
                               int errorPosition) {
    // The caret goes under the character before the stop; an error at the very start of
    // the pattern has none, so the caret stays in the first column.
    std::string out = message;
    out += "\r\n";
    out.append(pattern);
    out += "\r\n";
    out.append(static_cast<size_t>(std::max(0, errorPosition - 1)), ' ');
    out += '^';
    return out;
}

TextOffset NextCharOffset(std::string_view text, TextOffset at, bool utf8) {
    const auto n = static_cast<TextOffset>(text.size());
    if (at >= n)
        return at + 1;
    TextOffset next = at + 1;
    // A lead byte owns at most three continuation bytes after it; stray continuation bytes
    // are characters of their own, as the store counts them.
    if (utf8) {
        const int length = Utf8SequenceLength(static_cast<unsigned char>(text[size_t(at)]));
        while (next < n && next - at < length &&
               IsUtf8Continuation(static_cast<unsigned char>(text[size_t(next)])))
            ++next;
    }
    return next;
}

TTextSearch::TWordChars TTextSearch::DefaultWordChars(bool utf8) {
    TWordChars w{};
    for (int c = 0; c < 256; ++c)
        w[size_t(c)] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '\'' || c == '-' || (c >= 128 && utf8);
    return w;
}

bool TTextSearch::Find(std::string_view text, std::string_view pattern, unsigned options,
                       TSelectionRange from, TSelectionRange& hit) {
    error_ = TError{};
    if (pattern.empty())
        return false;
    const auto length = static_cast<TextOffset>(text.size());
    from = {std::clamp(from.Start(), 0, length), std::clamp(from.End(), 0, length)};
    if (!(options & soRegExpr))
        return PlainSearch(text, pattern, options, from, hit);
    if (!CompileRegExpr(pattern))
        return false;
    const bool backward = options & soBackward;
    // Backwards from one before the selection: starting at its end would find the selected
    // hit (or one after it) again.
    const TextOffset start = backward ? from.Start() - 1 : from.End();
    return start >= 0 && RegExprFrom(text, start, !backward, hit);
}

bool TTextSearch::WholeWordAt(std::string_view text, TextOffset at, size_t length,
                              int before) const {
    if (before >= 0 && words_[static_cast<unsigned char>(before)])
        return false;
    const size_t after = static_cast<size_t>(at) + length;
    return after >= text.size() || !words_[static_cast<unsigned char>(text[after])];
}

void TTextSearch::PreparePlain(std::string_view pattern) {
    std::string upper(pattern);
    for (char& c : upper)
        c = static_cast<char>(Fold(static_cast<unsigned char>(c)));
    if (pattern == pattern_ && upper == upper_)
        return;
    pattern_.assign(pattern);
    upper_ = std::move(upper);
    const auto m = static_cast<int32_t>(pattern_.size());
    forwardSkip_.fill(m);
    backwardSkip_.fill(m);
    forwardSkipUpper_.fill(m);
    backwardSkipUpper_.fill(m);
    for (int32_t k = 0; k < m; ++k) {
        forwardSkip_[static_cast<unsigned char>(pattern_[size_t(k)])] = m - 1 - k;
        forwardSkipUpper_[static_cast<unsigned char>(upper_[size_t(k)])] = m - 1 - k;
    }
    for (int32_t k = m - 1; k >= 0; --k) {
        backwardSkip_[static_cast<unsigned char>(pattern_[size_t(k)])] = k;
        backwardSkipUpper_[static_cast<unsigned char>(upper_[size_t(k)])] = k;
    }
}

bool TTextSearch::PlainSearch(std::string_view text, std::string_view pattern, unsigned options,
                              TSelectionRange sel, TSelectionRange& hit) {
    const auto length = static_cast<TextOffset>(text.size());
    const bool backward = options & soBackward;
    const bool matchCase = options & soMatchCase;
    if ((backward && sel.Start() <= 0) || (!backward && sel.End() >= length))
        return false;
    PreparePlain(pattern);
    const bool whole = options & soWholeWord;
    auto before = [&](TextOffset at) {
        return at > 0 ? static_cast<unsigned char>(text[size_t(at) - 1]) : -1;
    };
    TextOffset at = -1;
    if (!backward) {
        for (TextOffset from = sel.Start();;) {
            at = PlainForward(text, from, matchCase);
            if (at < 0 || !whole || WholeWordAt(text, at, pattern.size(), before(at)))
                break;
            from = at + 1;
        }
    } else {
        for (TextOffset end = sel.Start();;) {
            at = PlainBackward(text, end, matchCase);
            if (at < 0 || !whole || WholeWordAt(text, at, pattern.size(), before(at)))
                break;
            end = at + static_cast<TextOffset>(pattern.size()) - 1;
        }
    }
    if (at < 0)
        return false;
    hit = {at, at + static_cast<TextOffset>(pattern.size())};
    return true;
}

// Bad-character search from the pattern's last character leftwards. On a mismatch the text
// index moves on from the mismatching character by the larger of its skip and the number
// of characters matched plus one, and comparing starts again at the pattern's end; moving
// the window instead (from its old end) would step over hits such as "bb" in "abb".
TextOffset TTextSearch::PlainForward(std::string_view text, TextOffset from, bool matchCase) const {
    const std::string& p = matchCase ? pattern_ : upper_;
    const auto& skip = matchCase ? forwardSkip_ : forwardSkipUpper_;
    const auto m = static_cast<int64_t>(p.size());
    const auto n = static_cast<int64_t>(text.size());
    int64_t i = from + m - 1;
    int64_t j = m - 1;
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(text[static_cast<size_t>(i)]);
        if (!matchCase)
            c = Fold(c);
        if (c == static_cast<unsigned char>(p[static_cast<size_t>(j)])) {
            if (j == 0)
                return static_cast<TextOffset>(i);
            --i;
            --j;
            continue;
        }
        i += std::max<int64_t>(skip[c], m - j);
        j = m - 1;
    }
    return -1;
}

// The mirror image: the last occurrence that ends at or before `end`, comparing from the
// pattern's first character rightwards.
TextOffset TTextSearch::PlainBackward(std::string_view text, TextOffset end, bool matchCase) const {
    const std::string& p = matchCase ? pattern_ : upper_;
    const auto& skip = matchCase ? backwardSkip_ : backwardSkipUpper_;
    const auto m = static_cast<int64_t>(p.size());
    int64_t i = static_cast<int64_t>(end) - m;
    int64_t j = 0;
    while (i >= 0) {
        unsigned char c = static_cast<unsigned char>(text[static_cast<size_t>(i)]);
        if (!matchCase)
            c = Fold(c);
        if (c == static_cast<unsigned char>(p[static_cast<size_t>(j)])) {
            if (j == m - 1)
                return static_cast<TextOffset>(i - j);
            ++i;
            ++j;
            continue;
        }
        i -= std::max<int64_t>(skip[c], j + 1);
        j = 0;
    }
    return -1;
}

bool TTextSearch::CompileRegExpr(std::string_view pattern) {
    if (parser_.Compile(pattern))
        return true;
    error_.Code = parser_.ErrorCode();
    error_.Position = parser_.ErrorPosition();
    error_.Message = MessageText(error_.Code);
    return false;
}

bool TTextSearch::RegExprFrom(std::string_view text, TextOffset start, bool forward,
                              TSelectionRange& hit) {
    try {
        if (!parser_.Exec(text, start, forward))
            return false;
    } catch (const ERegExpr& e) {
        error_.Code = e.MessageId();
        error_.Position = 0;
        error_.Message = e.what();
        return false;
    }
    hit = {parser_.MatchStart(), parser_.MatchEnd()};
    return true;
}

} // namespace kvx
