// The two character sets of the ASCII table: the OEM set of DOS (code page 437) and the
// Windows set (code page 1252). Qt 6 carries no such codecs, so both tables live here.
#pragma once

namespace kvx {

enum class TCodePage { Oem437, Windows1252 };

// The character a byte stands for in the code page; 0 for the five bytes Windows-1252
// leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D). Bytes below 128 are ASCII in both.
char32_t CodePageChar(TCodePage page, unsigned char byte);

} // namespace kvx
