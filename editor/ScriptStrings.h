// The strings of a language script: escapes decoded into bytes, and character-class
// specifiers ("[a-z]\n") turned into classes. The script compiler reads them, and the
// settings decode the keyword words and word-character text stored in the same notation.
#pragma once

#include "CharGroups.h"

#include <string>
#include <vector>

namespace kvx {

// The value of a raw string: "\n" is 13 and "\r" is 10; hexadecimal and octal escapes
// above 255 raise the range error.
std::string DecodeScriptString(const std::string& raw);
// The character classes written in a raw string (an empty string gives one empty class).
// An unclosed "[" raises "']' expected", a reversed range its own message.
std::vector<TSM_CharGroup> ScriptSpecifiers(const std::string& raw);

} // namespace kvx
