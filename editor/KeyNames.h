// Keys as text: shortcuts written the way the settings store them ("Ctrl+J"), and the
// characters of a trigger text turned into the keys that type them.
#pragma once

#include "EdConsts.h"

#include <string>
#include <string_view>

namespace kvx {

// "Ctrl+Shift+Z", "Alt+F4", "Del"; an empty string for 0 or a key without a name.
std::string ShortcutToText(TShortcut shortcut);
// The reverse, forgiving about case, spaces and spelling ("control+j", "Ctrl + PgUp",
// "Delete"); 0 when the text names no key.
TShortcut TextToShortcut(std::string_view text);

// The key that types a character on a US keyboard, and whether Shift is needed for it;
// false for a character no key types.
bool KeyForChar(char c, uint8_t& key, bool& shift);

} // namespace kvx
