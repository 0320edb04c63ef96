#include "KeyTranslate.h"

#include <array>
#include <utility>

namespace kvx {

namespace {

// Keys that are not letters, digits or function keys.
constexpr std::array<std::pair<int, uint8_t>, 30> kKeys{{
    {Qt::Key_Backspace, vkBack},   {Qt::Key_Tab, vkTab},        {Qt::Key_Backtab, vkTab},
    {Qt::Key_Return, vkReturn},    {Qt::Key_Enter, vkReturn},   {Qt::Key_Shift, vkShift},
    {Qt::Key_Control, vkControl},  {Qt::Key_Alt, vkMenu},       {Qt::Key_Pause, vkPause},
    {Qt::Key_CapsLock, vkCapital}, {Qt::Key_Escape, vkEscape},  {Qt::Key_Space, vkSpace},
    {Qt::Key_PageUp, vkPrior},     {Qt::Key_PageDown, vkNext},  {Qt::Key_End, vkEnd},
    {Qt::Key_Home, vkHome},        {Qt::Key_Left, vkLeft},      {Qt::Key_Up, vkUp},
    {Qt::Key_Right, vkRight},      {Qt::Key_Down, vkDown},      {Qt::Key_Insert, vkInsert},
    {Qt::Key_Delete, vkDelete},    {Qt::Key_Semicolon, vkOem1}, {Qt::Key_Equal, vkOemPlus},
    {Qt::Key_Comma, vkOemComma},   {Qt::Key_Minus, vkOemMinus}, {Qt::Key_Period, vkOemPeriod},
    {Qt::Key_Slash, vkOem2},       {Qt::Key_QuoteLeft, vkOem3}, {Qt::Key_BracketLeft, vkOem4},
}};

constexpr std::array<std::pair<int, uint8_t>, 3> kMoreKeys{{
    {Qt::Key_Backslash, vkOem5},
    {Qt::Key_BracketRight, vkOem6},
    {Qt::Key_Apostrophe, vkOem7},
}};

// What Shift makes of the keys of a US layout: the symbol's key, pressed with Shift.
constexpr std::array<std::pair<int, uint8_t>, 21> kShifted{{
    {Qt::Key_Exclam, '1'},
    {Qt::Key_At, '2'},
    {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},
    {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},
    {Qt::Key_ParenRight, '0'},
    {Qt::Key_Underscore, vkOemMinus},
    {Qt::Key_Plus, vkOemPlus},
    {Qt::Key_BraceLeft, vkOem4},
    {Qt::Key_BraceRight, vkOem6},
    {Qt::Key_Bar, vkOem5},
    {Qt::Key_Colon, vkOem1},
    {Qt::Key_QuoteDbl, vkOem7},
    {Qt::Key_Less, vkOemComma},
    {Qt::Key_Greater, vkOemPeriod},
    {Qt::Key_Question, vkOem2},
    {Qt::Key_AsciiTilde, vkOem3},
}};

// The keypad's keys while Num Lock is on.
constexpr std::array<std::pair<int, uint8_t>, 5> kKeypad{{
    {Qt::Key_Asterisk, vkMultiply},
    {Qt::Key_Plus, vkAdd},
    {Qt::Key_Minus, vkSubtract},
    {Qt::Key_Period, vkDecimal},
    {Qt::Key_Slash, vkDivide},
}};

template <size_t N> uint8_t Lookup(const std::array<std::pair<int, uint8_t>, N>& table, int key) {
    for (const auto& [qt, vk] : table)
        if (qt == key)
            return vk;
    return 0;
}

} // namespace

TVirtualKeyStroke TranslateKey(int key, Qt::KeyboardModifiers modifiers) {
    TVirtualKeyStroke k;
    if (modifiers & Qt::ShiftModifier)
        k.Shift |= ssShift;
    if (modifiers & Qt::ControlModifier)
        k.Shift |= ssCtrl;
    if (modifiers & Qt::AltModifier)
        k.Shift |= ssAlt;
    if (modifiers & Qt::KeypadModifier) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9) {
            k.Key = static_cast<uint8_t>(vkNumpad0 + (key - Qt::Key_0));
            return k;
        }
        if (const uint8_t vk = Lookup(kKeypad, key)) {
            k.Key = vk;
            return k;
        }
    }
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
        k.Key = static_cast<uint8_t>(key);
    } else if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        k.Key = static_cast<uint8_t>(vkF1 + (key - Qt::Key_F1));
    } else if (const uint8_t vk = Lookup(kKeys, key)) {
        k.Key = vk;
    } else if (const uint8_t more = Lookup(kMoreKeys, key)) {
        k.Key = more;
    } else if (const uint8_t shifted = Lookup(kShifted, key)) {
        // Qt names the symbol; the key under it was pressed with Shift.
        k.Key = shifted;
        k.Shift |= ssShift;
    } else if (key == Qt::Key_Meta || key == Qt::Key_AltGr || key == Qt::Key_Super_L ||
               key == Qt::Key_Super_R) {
        // A modifier on its own: no key, and no end to a pending sequence.
        k.Key = vkShift;
    }
    return k;
}

TVirtualKeyStroke TranslateKey(const QKeyEvent& event) {
    return TranslateKey(event.key(), event.modifiers());
}

int QtKeyFor(uint8_t vk) {
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
        return vk;
    if (vk >= vkF1 && vk <= vkF12)
        return Qt::Key_F1 + (vk - vkF1);
    if (vk >= vkNumpad0 && vk <= vkNumpad0 + 9)
        return Qt::Key_0 + (vk - vkNumpad0);
    for (const auto& [qt, code] : kKeypad)
        if (code == vk)
            return qt;
    for (const auto& [qt, code] : kKeys)
        if (code == vk && qt != Qt::Key_Backtab && qt != Qt::Key_Enter)
            return qt;
    for (const auto& [qt, code] : kMoreKeys)
        if (code == vk)
            return qt;
    return 0;
}

Qt::KeyboardModifiers QtModifiersFor(TShiftState shift) {
    Qt::KeyboardModifiers m;
    if (shift & ssShift)
        m |= Qt::ShiftModifier;
    if (shift & ssCtrl)
        m |= Qt::ControlModifier;
    if (shift & ssAlt)
        m |= Qt::AltModifier;
    return m;
}

} // namespace kvx
