#include "Colors.h"

#include <array>
#include <cstddef>

namespace kvx {

int32_t DefaultSystemColor(int index) {
    // 0x00BBGGRR, by index: scroll bar, desktop, captions, menu, window, frame, texts,
    // borders, workspace, highlight, buttons, 3-D edges, tooltips, hot light, gradients,
    // menu highlight and bar.
    static constexpr std::array<int32_t, 31> kPalette = {
        0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
        0x000000, 0x000000, 0xB4B4B4, 0xFCF7F4, 0xABABAB, 0xD77800, 0xFFFFFF, 0xF0F0F0,
        0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
        0xE1FFFF, 0x000000, 0xCC6600, 0xEAD1B9, 0xF2E4D7, 0xFF9933, 0xF0F0F0,
    };
    if (index < 0 || index >= static_cast<int>(kPalette.size()))
        return clBlackValue;
    return kPalette[static_cast<std::size_t>(index)];
}

} // namespace kvx
