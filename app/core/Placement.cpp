#include "Placement.h"

#include "ShellPaths.h"
#include "ShellStrings.h"

#include <algorithm>

namespace kvx {
namespace {

constexpr const char* kMinMaxPos = "MinMaxPos";
constexpr const char* kNormPos = "NormPos";
// No screen is this large; a rectangle beyond it is damage, not a window.
constexpr long long kMaxWindowExtent = 1 << 16;

std::optional<std::array<int, 4>> ReadFour(const TIniFile& ini, const std::string& key,
                                           const std::string& suffix) {
    // A damaged suffixed value falls back to the plain one, as a missing one does.
    if (auto v = ParseFourInts(ini.ReadString(kPlacementSection, key + suffix, "")))
        return v;
    return ParseFourInts(ini.ReadString(kPlacementSection, key, ""));
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::string PlacementIniFile() {
    return JoinPath(ConfigFolder(), kPlacementIniName);
}

std::string ScreenSuffix(int width, int height) {
    return "(" + std::to_string(width) + "x" + std::to_string(height) + ")";
}

std::string FormatFourInts(const std::array<int, 4>& values) {
    return std::to_string(values[0]) + "," + std::to_string(values[1]) + "," +
           std::to_string(values[2]) + "," + std::to_string(values[3]);
}

std::optional<std::array<int, 4>> ParseFourInts(std::string_view text) {
    std::array<int, 4> values{};
    for (size_t i = 0; i < values.size(); ++i) {
        const size_t comma = text.find(',');
        if ((comma == std::string_view::npos) != (i == values.size() - 1))
            return std::nullopt;
        const auto v = ParseInteger(text.substr(0, comma));
        if (!v)
            return std::nullopt;
        values[i] = *v;
        text.remove_prefix(comma == std::string_view::npos ? text.size() : comma + 1);
    }
    return values;
}

void WritePlacement(TIniFile& ini, const TPlacement& placement, int screenWidth, int screenHeight,
                    bool visible) {
    const std::string suffix = ScreenSuffix(screenWidth, screenHeight);
    const std::string minMax = FormatFourInts(placement.MinMaxPos);
    const TRect& r = placement.NormPos;
    const std::string norm = FormatFourInts({r.Left, r.Top, r.Right, r.Bottom});
    ini.WriteInteger(kPlacementSection, "Flags", placement.Flags);
    ini.WriteInteger(kPlacementSection, "ShowCmd", placement.ShowCmd);
    ini.WriteString(kPlacementSection, kMinMaxPos + suffix, minMax);
    ini.WriteString(kPlacementSection, kMinMaxPos, minMax);
    ini.WriteString(kPlacementSection, kNormPos + suffix, norm);
    ini.WriteString(kPlacementSection, kNormPos, norm);
    ini.WriteString(kPlacementSection, "Visible", visible ? "1" : "0");
}

TStoredPlacement ReadPlacement(const TIniFile& ini, int screenWidth, int screenHeight) {
    const std::string suffix = ScreenSuffix(screenWidth, screenHeight);
    TStoredPlacement stored;
    stored.Flags = ini.ReadInteger(kPlacementSection, "Flags");
    stored.ShowCmd = ini.ReadInteger(kPlacementSection, "ShowCmd");
    stored.MinMaxPos = ReadFour(ini, kMinMaxPos, suffix);
    if (const auto n = ReadFour(ini, kNormPos, suffix))
        stored.NormPos = TRect{(*n)[0], (*n)[1], (*n)[2], (*n)[3]};
    return stored;
}

TShowState ShowStateFromCommand(std::optional<int> showCmd) {
    switch (showCmd.value_or(0)) {
    case 1:
    case 5:
    case 9:
        return TShowState::Normal;
    case 2:
    case 6:
    case 7:
        return TShowState::Minimized;
    default:
        return TShowState::Maximized;
    }
}

int ShowCommandFor(TShowState state) {
    switch (state) {
    case TShowState::Normal:
        return 1;
    case TShowState::Minimized:
        return 2;
    case TShowState::Maximized:
        break;
    }
    return 3;
}

bool IsOnScreen(const TRect& rect, std::span<const TRect> screens) {
    constexpr long long kTitleBar = 30;
    constexpr long long kMinOverlap = 50;
    for (const TRect& s : screens) {
        if (s.Width() <= 0 || s.Height() <= 0)
            continue;
        if (rect.Top < s.Top || rect.Top >= s.Bottom)
            continue;
        const long long left = std::max<long long>(rect.Left, s.Left);
        const long long right = std::min<long long>(rect.Right, s.Right);
        const long long bottom = std::min<long long>(rect.Top + kTitleBar, s.Bottom);
        if (right - left >= std::min(kMinOverlap, rect.Width()) && bottom > rect.Top)
            return true;
    }
    return false;
}

std::optional<TRect> RestorableRect(const TStoredPlacement& stored,
                                    std::span<const TRect> screens) {
    if (!stored.NormPos)
        return std::nullopt;
    const TRect& r = *stored.NormPos;
    if (r.Width() <= 0 || r.Height() <= 0 || r.Width() > kMaxWindowExtent ||
        r.Height() > kMaxWindowExtent || !IsOnScreen(r, screens))
        return std::nullopt;
    return r;
}

int FontSizeIndex(int size) {
    const long long index = (static_cast<long long>(size) - 8) / 2;
    return index >= 0 && index < kFontSizeCount ? static_cast<int>(index) : -1;
}

TShellSettings ReadShellSettings(const TIniFile& ini) {
    TShellSettings s;
    if (const auto size = ini.ReadInteger(kPlacementSection, "Label3_Caption")) {
        s.FontSizeText = std::to_string(*size);
        s.FontIndex = FontSizeIndex(*size);
    }
    const std::string max = ini.ReadString(kPlacementSection, "Label4_Caption", "0");
    if (max == "1") {
        s.MaximizedText = "1";
        s.DocumentsMaximized = true;
    }
    return s;
}

void WriteShellSettings(TIniFile& ini, std::string_view fontSizeText,
                        std::string_view maximizedText) {
    ini.WriteString(kPlacementSection, "Label3_Caption", TrimBlanks(fontSizeText));
    ini.WriteString(kPlacementSection, "Label4_Caption", TrimBlanks(maximizedText));
}

} // namespace kvx
