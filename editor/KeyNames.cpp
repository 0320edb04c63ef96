#include "KeyNames.h"

#include <array>
#include <cctype>

namespace kvx {

namespace {

struct TKeyName {
    uint8_t Key;
    const char* Name;
};

// The first name of a key is the one written; the others are accepted when reading.
constexpr TKeyName kNames[] = {
    {vkBack, "Backspace"}, {vkTab, "Tab"},       {vkReturn, "Return"}, {vkReturn, "Enter"},
    {vkEscape, "Esc"},     {vkEscape, "Escape"}, {vkSpace, "Space"},   {vkPrior, "PgUp"},
    {vkPrior, "PageUp"},   {vkNext, "PgDown"},   {vkNext, "PageDown"}, {vkNext, "PgDn"},
    {vkEnd, "End"},        {vkHome, "Home"},     {vkLeft, "Left"},     {vkUp, "Up"},
    {vkRight, "Right"},    {vkDown, "Down"},     {vkInsert, "Ins"},    {vkInsert, "Insert"},
    {vkDelete, "Del"},     {vkDelete, "Delete"}, {vkPause, "Pause"},   {vkOem1, ";"},
    {vkOemPlus, "="},      {vkOemComma, ","},    {vkOemMinus, "-"},    {vkOemPeriod, "."},
    {vkOem2, "/"},         {vkOem3, "`"},        {vkOem4, "["},        {vkOem5, "\\"},
    {vkOem6, "]"},         {vkOem7, "'"},        {vkMultiply, "Num*"}, {vkAdd, "Num+"},
    {vkSubtract, "Num-"},  {vkDecimal, "Num."},  {vkDivide, "Num/"},
};

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string KeyName(uint8_t key) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
        return std::string(1, static_cast<char>(key));
    if (key >= vkF1 && key <= vkF1 + 23)
        return std::string("F").append(std::to_string(key - vkF1 + 1));
    if (key >= vkNumpad0 && key <= vkNumpad0 + 9)
        return std::string("Num").append(std::to_string(key - vkNumpad0));
    for (const TKeyName& n : kNames)
        if (n.Key == key)
            return n.Name;
    return {};
}

uint8_t KeyOfName(std::string_view name) {
    if (name.size() == 1) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))
            return static_cast<uint8_t>(c);
    }
    auto number = [&](std::string_view prefix, int& value) {
        if (name.size() <= prefix.size() || !SameText(name.substr(0, prefix.size()), prefix))
            return false;
        value = 0;
        for (char c : name.substr(prefix.size())) {
            if (c < '0' || c > '9' || value > 100)
                return false;
            value = value * 10 + (c - '0');
        }
        return true;
    };
    int n = 0;
    if (number("F", n) && n >= 1 && n <= 24)
        return static_cast<uint8_t>(vkF1 + n - 1);
    if (number("Num", n) && n <= 9)
        return static_cast<uint8_t>(vkNumpad0 + n);
    for (const TKeyName& k : kNames)
        if (SameText(name, k.Name))
            return k.Key;
    return 0;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::string ShortcutToText(TShortcut shortcut) {
    const std::string key = KeyName(static_cast<uint8_t>(shortcut & 0xFF));
    if (key.empty())
        return {};
    std::string text;
    if (shortcut & scCtrl)
        text += "Ctrl+";
    if (shortcut & scAlt)
        text += "Alt+";
    if (shortcut & scShift)
        text += "Shift+";
    return text + key;
}

TShortcut TextToShortcut(std::string_view text) {
    text = Trim(text);
    TShortcut modifiers = 0;
    // Split at '+' signs, except that a '+' standing for the key itself ("Ctrl++") is the
    // last part.
    while (true) {
        const size_t plus = text.find('+', 1);
        if (plus == std::string_view::npos)
            break;
        const std::string_view part = Trim(text.substr(0, plus));
        if (SameText(part, "Ctrl") || SameText(part, "Control"))
            modifiers |= scCtrl;
        else if (SameText(part, "Shift"))
            modifiers |= scShift;
        else if (SameText(part, "Alt"))
            modifiers |= scAlt;
        else
            return 0;
        text = Trim(text.substr(plus + 1));
    }
    if (text == "+")
        return static_cast<TShortcut>(modifiers | vkOemPlus | scShift);
    const uint8_t key = KeyOfName(text);
    return key ? static_cast<TShortcut>(modifiers | key) : TShortcut(0);
}

bool KeyForChar(char c, uint8_t& key, bool& shift) {
    const auto u = static_cast<unsigned char>(c);
    shift = false;
    if (u >= 'a' && u <= 'z') {
        key = static_cast<uint8_t>(u - 'a' + 'A');
        return true;
    }
    if ((u >= 'A' && u <= 'Z')) {
        key = u;
        shift = true;
        return true;
    }
    if (u >= '0' && u <= '9') {
        key = u;
        return true;
    }
    // Unshifted and shifted characters of the US layout's other keys.
    struct TPair {
        char Plain;
        char Shifted;
        uint8_t Key;
    };
    static constexpr TPair kPairs[] = {
        {';', ':', vkOem1},     {'=', '+', vkOemPlus},   {',', '<', vkOemComma},
        {'-', '_', vkOemMinus}, {'.', '>', vkOemPeriod}, {'/', '?', vkOem2},
        {'`', '~', vkOem3},     {'[', '{', vkOem4},      {'\\', '|', vkOem5},
        {']', '}', vkOem6},     {'\'', '"', vkOem7},     {' ', 0, vkSpace},
        {'\t', 0, vkTab},       {'\r', 0, vkReturn},
    };
    for (const TPair& p : kPairs) {
        if (c == p.Plain || (p.Shifted && c == p.Shifted)) {
            key = p.Key;
            shift = c != p.Plain;
            return true;
        }
    }
    static constexpr char kShiftedDigits[] = ")!@#$%^&*(";
    for (int d = 0; d < 10; ++d) {
        if (c == kShiftedDigits[d]) {
            key = static_cast<uint8_t>('0' + d);
            shift = true;
            return true;
        }
    }
    return false;
}

} // namespace kvx
