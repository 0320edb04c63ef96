#include "LoadCheck.h"

#include "ShellStrings.h"

#include <algorithm>
#include <cstdint>

namespace kvx {

TLoadChanges CheckLoadChanges(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    // Counted in blocks with branch-free sums, which compile to vector code; 8-bit counters
    // stay exact since a block holds fewer than 256 bytes.
    size_t control = 0, cr = 0, lf = 0, crlf = 0, lfcr = 0;
    constexpr size_t kBlock = 240;
    for (size_t at = 0; at < n; at += kBlock) {
        const size_t end = std::min(n, at + kBlock);
        uint8_t c = 0, r = 0, l = 0;
        for (size_t i = at; i < end; ++i) {
            const unsigned char b = p[i];
            c += static_cast<uint8_t>((b < 32) & (b != 9) & (b != 10) & (b != 13));
            r += static_cast<uint8_t>(b == 13);
            l += static_cast<uint8_t>(b == 10);
        }
        control += c;
        cr += r;
        lf += l;
    }
    // Pairs are only worth counting when both kinds occur.
    if (cr && lf) {
        for (size_t i = 0; i + 1 < n; ++i) {
            crlf += (p[i] == 13) & (p[i + 1] == 10);
            lfcr += (p[i] == 10) & (p[i + 1] == 13);
        }
    }
    TLoadChanges changes;
    changes.ControlBytes = control;
    // One kind throughout: only CR, only LF, or every CR paired with an LF. The loader
    // also takes LF CR as one break, which is written back as the first kind, so that
    // counts as mixed.
    const bool onlyCr = lf == 0, onlyLf = cr == 0;
    const bool onlyCrLf = cr == lf && crlf == cr && lfcr == 0;
    changes.MixedBreaks = !(onlyCr || onlyLf || onlyCrLf);
    return changes;
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
