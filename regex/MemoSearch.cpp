#include "MemoSearch.h"

#include <algorithm>

namespace kvx {

namespace {
// Caseless plain search folds only the ASCII letters, as the skip tables do.
inline unsigned char Fold(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? c - 32 : c;
}

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}
int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(c | 0x20);
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
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

std::string ExpandReplaceTemplate(std::string_view templ, const TREParser& parser,
                                  std::string_view text) {
    std::string out;
    size_t i = 0;
    const size_t n = templ.size();
    while (i < n) {
        const char c = templ[i++];
        if (c == '%') {
            if (i == n) {
                out += '%';
                break;
            }
            if (templ[i] >= '0' && templ[i] <= '9') {
                long number = 0;
                while (i < n && templ[i] >= '0' && templ[i] <= '9')
                    number = std::min(number * 10 + (templ[i++] - '0'), 100000L);
                if (number >= 1 && number <= 255) {
                    // Entries can be unset (-1) or out of order after unusual paths through
                    // the pattern; anything that is not a proper range of the text gives
                    // nothing rather than garbage.
                    const int32_t from = parser.Position(static_cast<int>(number) - 1);
                    const int32_t to = parser.Position(static_cast<int>(number));
                    if (from >= 0 && from <= to && static_cast<size_t>(to) <= text.size())
                        out.append(
                            text.substr(static_cast<size_t>(from), static_cast<size_t>(to - from)));
                }
                continue;
            }
            out += templ[i++];
            continue;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (i == n) {
            out += '\\';
            break;
        }
        const char e = templ[i++];
        switch (e | 0x20) {
        case 'n':
            out += '\r'; // the document's line break
            continue;
        case 'r':
            out += '\n';
            continue;
        case 't':
            out += '\t';
            continue;
        case 'b':
            out += '\b';
            continue;
        case 'f':
            out += '\f';
            continue;
        case 's':
            out += ' ';
            continue;
        case 'x': {
            int value = 0, digits = 0;
            while (digits < 2 && i < n && HexValue(templ[i]) >= 0) {
                value = value * 16 + HexValue(templ[i++]);
                ++digits;
            }
            if (digits == 0)
                return out;
            out += static_cast<char>(value);
            continue;
        }
        default:
            break;
        }
        if (IsOctal(e)) {
            int value = e - '0';
            for (int digits = 1; digits < 3 && i < n && IsOctal(templ[i]); ++digits)
                value = value * 8 + (templ[i++] - '0');
            if (value >= 256)
                return out;
            out += static_cast<char>(value);
            continue;
        }
        out += e;
    }
    return out;
}

TMemoSearch::TMemoSearch(TCustomSyntaxMemo& memo) : memo_(memo), listened_(&memo.Store()) {
    listened_->AddListener(this);
}

TMemoSearch::~TMemoSearch() {
    listened_->RemoveListener(this);
}

std::string_view TMemoSearch::Text() {
    // The copy follows the store it listens to; a control that was switched to another
    // document is copied afresh on every search.
    const bool listening = &memo_.Store() == listened_;
    if (stale_ || !listening) {
        text_ = memo_.Text();
        stale_ = !listening;
    }
    return text_;
}

bool TMemoSearch::Search(std::string_view text, unsigned options, TextOffset& position) {
    return SearchFrom(memo_.Selection(), text, options, position);
}

bool TMemoSearch::SearchFrom(TSelectionRange from, std::string_view text, unsigned options,
                             TextOffset& position) {
    error_ = TError{};
    if (text.empty())
        return false;
    from = {std::clamp(from.Start(), 0, memo_.TextLength()),
            std::clamp(from.End(), 0, memo_.TextLength())};
    const bool found = (options & soRegExpr) ? RegExprSearch(text, options, from, position)
                                             : PlainSearch(text, options, from, position);
    if (found)
        memo_.SetSelection(hit_.Anchor, hit_.Caret);
    return found;
}

bool TMemoSearch::ReplaceStep(std::string_view text, std::string_view replacement, unsigned options,
                              std::string& result, TextOffset& position) {
    if (!Search(text, options | soNoDialog, position))
        return false;
    result = (options & soRegExpr) ? ExpandReplaceTemplate(replacement, parser_, Text())
                                   : std::string(replacement);
    return true;
}

bool TMemoSearch::FindNext(std::string_view text, unsigned options, TextOffset& position) {
    if (!(options & soRegExpr) && !text.empty()) {
        const std::string_view doc = Text();
        const TextOffset s = memo_.SelStart();
        const TextOffset e = memo_.Selection().End();
        const std::string_view selected =
            doc.substr(static_cast<size_t>(s), static_cast<size_t>(e - s));
        bool same = selected.size() == text.size();
        for (size_t k = 0; same && k < text.size(); ++k) {
            const unsigned char a = selected[k], b = text[k];
            same = (options & soMatchCase) ? a == b : Fold(a) == Fold(b);
        }
        // Going backwards the caret stays at the hit's start: one past it would let a
        // one-character hit be found again on every Find Next.
        if (same)
            memo_.SetSelection(options & soBackward ? s : s + 1, options & soBackward ? s : s + 1);
    }
    bool found;
    const TSelectionRange sel = memo_.Selection();
    if ((options & (soRegExpr | soBackward)) == soRegExpr && sel.Empty() && emptyHit_ >= 0 &&
        sel.Caret == emptyHitCaret_ && text == emptyHitPattern_) {
        // The caret stands on the empty match found last time ($, x*): going on from the
        // selection's end would find it again, and Find Next would never move.
        if (emptyHit_ >= memo_.TextLength()) {
            error_ = TError{};
            found = false;
        } else {
            found =
                SearchFrom({emptyHit_ + 1, emptyHit_ + 1}, text, options | soNoDialog, position);
        }
    } else {
        found = Search(text, options | soNoDialog, position);
    }
    emptyHit_ = -1;
    if (found && (options & soRegExpr) && hit_.Empty()) {
        emptyHit_ = hit_.Caret;
        emptyHitCaret_ = memo_.Selection().Caret;
        emptyHitPattern_.assign(text);
    }
    return found;
}

bool TMemoSearch::WholeWordAt(std::string_view doc, TextOffset at, size_t length) {
    auto word = [&](unsigned char c) { return memo_.CharIsInWord(c) || memo_.CharStartsWord(c); };
    if (at > 0 && word(static_cast<unsigned char>(doc[static_cast<size_t>(at) - 1])))
        return false;
    const size_t after = static_cast<size_t>(at) + length;
    return after >= doc.size() || !word(static_cast<unsigned char>(doc[after]));
}

bool TMemoSearch::PlainSearch(std::string_view text, unsigned options, TSelectionRange sel,
                              TextOffset& position) {
    const std::string_view doc = Text();
    const TextOffset length = static_cast<TextOffset>(doc.size());
    const bool backward = options & soBackward;
    const bool matchCase = options & soMatchCase;
    if ((backward && sel.Start() <= 0) || (!backward && sel.End() >= length))
        return false;

    std::string upper(text);
    for (char& c : upper)
        c = static_cast<char>(Fold(static_cast<unsigned char>(c)));
    if (text != pattern_ || upper != upper_) {
        pattern_.assign(text);
        upper_ = upper;
        const int32_t m = static_cast<int32_t>(text.size());
        forwardSkip_.fill(m);
        backwardSkip_.fill(m);
        forwardSkipUpper_.fill(m);
        backwardSkipUpper_.fill(m);
        for (int32_t k = 0; k < m; ++k) {
            forwardSkip_[static_cast<unsigned char>(pattern_[k])] = m - 1 - k;
            forwardSkipUpper_[static_cast<unsigned char>(upper_[k])] = m - 1 - k;
        }
        for (int32_t k = m - 1; k >= 0; --k) {
            backwardSkip_[static_cast<unsigned char>(pattern_[k])] = k;
            backwardSkipUpper_[static_cast<unsigned char>(upper_[k])] = k;
        }
    }

    const bool whole = options & soWholeWord;
    TextOffset hit = -1;
    if (!backward) {
        for (TextOffset from = sel.Start();;) {
            hit = PlainForward(doc, from, matchCase);
            if (hit < 0 || !whole || WholeWordAt(doc, hit, text.size()))
                break;
            from = hit + 1;
        }
    } else {
        for (TextOffset end = sel.Start();;) {
            hit = PlainBackward(doc, end, matchCase);
            if (hit < 0 || !whole || WholeWordAt(doc, hit, text.size()))
                break;
            end = hit + static_cast<TextOffset>(text.size()) - 1;
        }
    }
    if (hit < 0)
        return false;
    position = hit;
    hit_ = {hit, hit + static_cast<TextOffset>(text.size())};
    return true;
}

// Bad-character search from the pattern's last character leftwards. On a mismatch the text
// index moves on from the mismatching character by the larger of its skip and the number
// of characters matched plus one, and comparing starts again at the pattern's end; moving
// the window instead (from its old end) would step over hits such as "bb" in "abb".
TextOffset TMemoSearch::PlainForward(std::string_view doc, TextOffset from, bool matchCase) {
    const std::string& p = matchCase ? pattern_ : upper_;
    const auto& skip = matchCase ? forwardSkip_ : forwardSkipUpper_;
    const int64_t m = static_cast<int64_t>(p.size());
    const int64_t n = static_cast<int64_t>(doc.size());
    int64_t i = from + m - 1;
    int64_t j = m - 1;
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(doc[static_cast<size_t>(i)]);
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
TextOffset TMemoSearch::PlainBackward(std::string_view doc, TextOffset end, bool matchCase) {
    const std::string& p = matchCase ? pattern_ : upper_;
    const auto& skip = matchCase ? backwardSkip_ : backwardSkipUpper_;
    const int64_t m = static_cast<int64_t>(p.size());
    int64_t i = static_cast<int64_t>(end) - m;
    int64_t j = 0;
    while (i >= 0) {
        unsigned char c = static_cast<unsigned char>(doc[static_cast<size_t>(i)]);
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

bool TMemoSearch::RegExprSearch(std::string_view pattern, unsigned options, TSelectionRange sel,
                                TextOffset& position) {
    if (!parser_.Compile(pattern)) {
        error_.Code = parser_.ErrorCode();
        error_.Position = parser_.ErrorPosition();
        error_.Message = MessageText(error_.Code);
        return false;
    }
    const std::string_view doc = Text();
    const bool backward = options & soBackward;
    // Backwards from one before the selection: starting at its end would find the selected
    // hit (or one after it) again.
    const TextOffset start = backward ? sel.Start() - 1 : sel.End();
    if (start < 0)
        return false;
    bool found = false;
    try {
        found = parser_.Exec(doc, start, !backward);
    } catch (const ERegExpr& e) {
        error_.Code = e.MessageId();
        error_.Position = 0;
        error_.Message = e.what();
        return false;
    }
    if (!found)
        return false;
    position = parser_.MatchStart();
    hit_ = {parser_.MatchStart(), parser_.MatchEnd()};
    return true;
}

} // namespace kvx
