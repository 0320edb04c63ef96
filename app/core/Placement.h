// The main window's stored placement and shell settings in kvxl.ini, section "Params":
// the window's position, size and state (each position kept twice, with a suffix naming
// the screen size and without, so every screen resolution remembers its own), the editor
// font size (Label3_Caption) and whether documents open maximized (Label4_Caption).
// Screens come in as rectangles, so the rules are tested without a display.
#pragma once

#include "IniFile.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kvx {

inline constexpr const char* kPlacementSection = "Params";

// kvxl.ini in the configuration folder.
std::string PlacementIniFile();

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    long long Width() const { return static_cast<long long>(Right) - Left; }
    long long Height() const { return static_cast<long long>(Bottom) - Top; }
    bool operator==(const TRect&) const = default;
};

enum class TShowState { Normal, Minimized, Maximized };

// What is written: the platform's placement flags, its show command, the minimized and
// maximized positions (x, y, x, y) and the normal rectangle (left, top, right, bottom).
struct TPlacement {
    int Flags = 0;
    int ShowCmd = 1;
    std::array<int, 4> MinMaxPos = {-1, -1, -1, -1};
    TRect NormPos;
};

// What was read; a missing or damaged value is absent.
struct TStoredPlacement {
    std::optional<int> Flags;
    std::optional<int> ShowCmd;
    std::optional<std::array<int, 4>> MinMaxPos;
    std::optional<TRect> NormPos;
};

// "(%dx%d)" of the screen size, as in MinMaxPos(1024x768).
std::string ScreenSuffix(int width, int height);

// "%d,%d,%d,%d" and back. Parsing wants exactly four integers (blanks around them are
// allowed); anything else is nullopt.
std::string FormatFourInts(const std::array<int, 4>& values);
std::optional<std::array<int, 4>> ParseFourInts(std::string_view text);

// Writes Flags, ShowCmd, both forms of MinMaxPos and NormPos, and Visible.
void WritePlacement(TIniFile& ini, const TPlacement& placement, int screenWidth, int screenHeight,
                    bool visible);
// Reads each position with the suffix of this screen first, then without it.
TStoredPlacement ReadPlacement(const TIniFile& ini, int screenWidth, int screenHeight);

// The window state of a stored show command: 1, 5 and 9 normal; 2, 6 and 7 minimized;
// 3 maximized; anything else, a missing key included, maximized (the frame window of
// the program opens maximized the first time).
TShowState ShowStateFromCommand(std::optional<int> showCmd);
// The show command written for a state: 1, 2 or 3.
int ShowCommandFor(TShowState state);

// True when a window at `rect` can be reached by the user: its title bar (the top 30
// pixels) overlaps a screen by at least 50 pixels across and its top edge lies on that
// screen. A rectangle taken from another monitor layout may be off every screen now.
bool IsOnScreen(const TRect& rect, std::span<const TRect> screens);

// The stored normal rectangle to restore, or nullopt when it is missing, empty or
// inverted (left not less than right, or top not less than bottom), absurdly large, or
// off every screen; the window then keeps the size and position it has.
std::optional<TRect> RestorableRect(const TStoredPlacement& stored, std::span<const TRect> screens);

// ---- Font size and the open-maximized switch ---------------------------------------------

// The font-size box offers 8, 10, ... 20; entry i is 8 + 2 * i.
inline constexpr int kFontSizeCount = 7;
inline int FontSizeOfIndex(int index) {
    return 8 + 2 * index;
}
// (size - 8) / 2, truncated toward zero, when that is an entry (7 gives "8"), else -1:
// the box then shows nothing (6 and 22 select nothing).
int FontSizeIndex(int size);

struct TShellSettings {
    std::string FontSizeText = "10"; // Label3_Caption
    int FontIndex = 1;               // selected entry of the font-size box, -1 for none
    std::string MaximizedText = "0"; // Label4_Caption
    bool DocumentsMaximized = false;
};

// Reads Label3_Caption and Label4_Caption. A missing, empty or non-integer font size
// reads as "10"; an open-maximized switch other than "0" or "1" reads as "0".
TShellSettings ReadShellSettings(const TIniFile& ini);
// Writes both, trimmed of blanks.
void WriteShellSettings(TIniFile& ini, std::string_view fontSizeText,
                        std::string_view maximizedText);

} // namespace kvx
