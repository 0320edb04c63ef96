#include "LoadCheck.h"

#include "ShellStrings.h"

#include <algorithm>
#include <cstdint>

namespace kvx {

void TLoadCheck::Feed(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    if (n == 0)
        return;
    // A pair split between two pieces. An LF that ends a CR LF starts no LF CR pair.
    crlf_ += (last_ == 13) & (p[0] == 10);
    lfcr_ += (beforeLast_ != 13) & (last_ == 10) & (p[0] == 13);
    if (n > 1)
        lfcr_ += (last_ != 13) & (p[0] == 10) & (p[1] == 13);
    // Counted in blocks with branch-free sums, which compile to vector code; 8-bit
    // counters stay exact since a block holds fewer than 256 bytes. Pairs are counted up
    // to the piece's last byte, whose partner comes with the next piece.
    constexpr size_t kBlock = 240;
    for (size_t at = 0; at < n; at += kBlock) {
        const size_t end = std::min(n, at + kBlock);
        const size_t pairEnd = std::min(n - 1, end);
        uint8_t c = 0, r = 0, l = 0, rl = 0, lr = 0;
        for (size_t i = at; i < end; ++i) {
            const unsigned char b = p[i];
            c += static_cast<uint8_t>((b < 32) & (b != 9) & (b != 10) & (b != 13));
            r += static_cast<uint8_t>(b == 13);
            l += static_cast<uint8_t>(b == 10);
        }
        for (size_t i = at; i < pairEnd; ++i)
            rl += static_cast<uint8_t>((p[i] == 13) & (p[i + 1] == 10));
        for (size_t i = std::max<size_t>(at, 1); i < pairEnd; ++i)
            lr += static_cast<uint8_t>((p[i - 1] != 13) & (p[i] == 10) & (p[i + 1] == 13));
        control_ += c;
        cr_ += r;
        lf_ += l;
        crlf_ += rl;
        lfcr_ += lr;
    }
    beforeLast_ = n > 1 ? p[n - 2] : last_;
    last_ = p[n - 1];
}

TLoadChanges TLoadCheck::Result() const {
    TLoadChanges changes;
    changes.ControlBytes = control_;
    // One kind throughout: only CR, only LF, or every CR paired with an LF. The loader
    // also takes LF CR as one break, which is written back as the first kind, so that
    // counts as mixed.
    const bool onlyCr = lf_ == 0, onlyLf = cr_ == 0;
    const bool onlyCrLf = cr_ == lf_ && crlf_ == cr_ && lfcr_ == 0;
    changes.MixedBreaks = !(onlyCr || onlyLf || onlyCrLf);
    return changes;
}

TLoadChanges CheckLoadChanges(std::string_view bytes) {
    TLoadCheck check;
    check.Feed(bytes);
    return check.Result();
}

std::string LoadChangesQuestion(std::string_view fileName, const TLoadChanges& changes) {
    if (!changes.Any())
        return {};
    std::string text = FormatText("\"%s\"", {fileName});
    if (changes.ControlBytes > 0)
        text += "\nholds " + std::to_string(changes.ControlBytes) +
                (changes.ControlBytes == 1 ? " control character" : " control characters") +
                " (such as NUL) that the editor shows and saves as \".\".";
    if (changes.MixedBreaks)
        text += "\nmixes line-break styles; saving writes every break in the style of the "
                "first.";
    text += "\n\nOpen it anyway?";
    return text;
}

} // namespace kvx
