// Colours as the settings store them: 0x00BBGGRR values, or a system colour stored as
// 0x80000000 plus the index of that colour in the desktop's palette, as the original
// platform wrote them. The platform resolves system colours; without a desktop, the classic
// palette below stands in for it.
#pragma once

#include <cstdint>

namespace kvx {

constexpr int32_t SystemColor(int index) {
    return static_cast<int32_t>(0x80000000u | uint32_t(index));
}
constexpr bool IsSystemColor(int32_t color) {
    return (static_cast<uint32_t>(color) & 0xFF000000u) == 0x80000000u;
}
constexpr int SystemColorIndex(int32_t color) {
    return static_cast<int>(static_cast<uint32_t>(color) & 0x00FFFFFFu);
}

// Indexes of the system colours the editor uses.
enum TSystemColorIndex : int {
    scxScrollBar = 0,
    scxWindow = 5,
    scxWindowText = 8,
    scxHighlight = 13,
    scxHighlightText = 14,
    scxBtnFace = 15,
    scxBtnShadow = 16,
    scxGrayText = 17,
    scxBtnText = 18,
};

inline constexpr int32_t clBtnFace = SystemColor(scxBtnFace);
inline constexpr int32_t clHighlight = SystemColor(scxHighlight);
inline constexpr int32_t clHighlightText = SystemColor(scxHighlightText);
inline constexpr int32_t clWindow = SystemColor(scxWindow);
inline constexpr int32_t clWindowText = SystemColor(scxWindowText);
inline constexpr int32_t clBlackValue = 0;
inline constexpr int32_t clWhiteValue = 0xFFFFFF;

// The value of a system colour on a desktop left at its defaults (the palette the stored
// languages were written against); black for an index the palette does not have.
int32_t DefaultSystemColor(int index);

} // namespace kvx
