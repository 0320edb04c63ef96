#include "MemoSearch.h"

#include <algorithm>

namespace kvx {

namespace {
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

void TMemoSearch::TakeWordChars() {
    TTextSearch::TWordChars words;
    for (int c = 0; c < 256; ++c) {
        const auto b = static_cast<unsigned char>(c);
        words[size_t(c)] = memo_.CharIsInWord(b) || memo_.CharStartsWord(b);
    }
    engine_.SetWordChars(words);
}

bool TMemoSearch::Search(std::string_view text, unsigned options, TextOffset& position) {
    return SearchFrom(memo_.Selection(), text, options, position);
}

bool TMemoSearch::SearchFrom(TSelectionRange from, std::string_view text, unsigned options,
                             TextOffset& position) {
    if (options & soWholeWord)
        TakeWordChars();
    TSelectionRange hit;
    if (!engine_.Find(Text(), text, options, from, hit))
        return false;
    hit_ = hit;
    position = hit.Start();
    memo_.SetSelection(hit_.Anchor, hit_.Caret);
    return true;
}

std::string TMemoSearch::Replacement(std::string_view replacement, unsigned options) {
    return (options & soRegExpr) ? ExpandReplaceTemplate(replacement, engine_.Parser(), Text())
                                 : std::string(replacement);
}

bool TMemoSearch::ReplaceStep(std::string_view text, std::string_view replacement, unsigned options,
                              std::string& result, TextOffset& position) {
    if (!Search(text, options | soNoDialog, position))
        return false;
    result = Replacement(replacement, options);
    return true;
}

bool TMemoSearch::FindNext(std::string_view text, unsigned options, TextOffset& position) {
    const std::string_view doc = Text();
    const bool utf8 = memo_.Store().Utf8();
    if (!(options & soRegExpr) && !text.empty()) {
        const TextOffset s = memo_.SelStart();
        const TextOffset e = memo_.Selection().End();
        const std::string_view selected =
            doc.substr(static_cast<size_t>(s), static_cast<size_t>(e - s));
        bool same = selected.size() == text.size();
        for (size_t k = 0; same && k < text.size(); ++k) {
            const unsigned char a = selected[k], b = text[k];
            same = (options & soMatchCase)
                       ? a == b
                       : (a >= 'a' && a <= 'z' ? a - 32 : a) == (b >= 'a' && b <= 'z' ? b - 32 : b);
        }
        // Forwards the caret goes to the next character, not the next byte, which the
        // control would only move back to the hit's start. Backwards it stays at the
        // hit's start: one past it would let a one-character hit be found again.
        if (same) {
            const TextOffset at = options & soBackward ? s : NextCharOffset(doc, s, utf8);
            memo_.SetSelection(at, at);
        }
    }
    bool found;
    const TSelectionRange sel = memo_.Selection();
    if ((options & (soRegExpr | soBackward)) == soRegExpr && !lastPattern_.empty() &&
        text == lastPattern_ && sel == lastSelection_) {
        // The selection is still the one made for the last hit: go on from where that hit
        // really ended, and past it when it was empty ($, x*), or Find Next would never move.
        const TextOffset from =
            lastHit_.Empty() ? NextCharOffset(doc, lastHit_.End(), utf8) : lastHit_.End();
        if (from > static_cast<TextOffset>(doc.size())) {
            engine_.ClearError();
            found = false;
        } else {
            found = SearchFrom({from, from}, text, options | soNoDialog, position);
        }
    } else {
        found = Search(text, options | soNoDialog, position);
    }
    lastPattern_.clear();
    if (found && (options & soRegExpr)) {
        lastHit_ = hit_;
        lastSelection_ = memo_.Selection();
        lastPattern_.assign(text);
    }
    return found;
}

} // namespace kvx
