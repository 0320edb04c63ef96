// The strings of a language script: escapes decoded into bytes, and character-class
// specifiers ("[a-z]\n") turned into classes. The script compiler reads them, and the
// settings decode the keyword words and word-character text stored in the same notation.
#pragma once

#include "CharGroups.h"
#include "EdConsts.h"

#include <string>
#include <vector>

namespace kvx {

// A specifier whose "[" is never closed. The compiler reports it at the place in the
// script, as it does every other "']' expected".
class EUnclosedSpecifier : public ESyntaxMemo {
  public:
    EUnclosedSpecifier() : ESyntaxMemo(0, "']' expected") {}
};

// The value of a raw string: "\n" is 13 and "\r" is 10; hexadecimal and octal escapes
// above 255 raise the range error.
std::string DecodeScriptString(const std::string& raw);
// The character classes written in a raw string (an empty string gives one empty class).
// An unclosed "[" raises "']' expected", a reversed range its own message.
std::vector<TSM_CharGroup> ScriptSpecifiers(const std::string& raw);

} // namespace kvx
