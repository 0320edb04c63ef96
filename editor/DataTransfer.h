// What travels between the editor and other programs besides typed keys: the formats a
// copy offers, the source-type word of a paste or drop that the application may inspect
// and change in OnDataDrop, what a drop offers, and the rule that trims pasted or dropped
// HTML. The widget turns the desktop's clipboard and drag data into these and back; the
// decisions are the control's (MemoTransfer.cpp), so they are the same on every platform.
#pragma once

#include "EdTypes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

// The formats a copy puts on the clipboard (the control's ClipCopyFormats), one bit each.
enum TSM_Clipformat : uint8_t {
    smTEXT = 1,
    smRTF = 2,
    smHTML = 4,
};

// The source-type word: which formats a paste or drop offers and how to take them.
enum TSourceType : uint16_t {
    stFiles = 1,           // a file list (drops only, with smoProcessDroppedFiles)
    stUnicodeText = 2,     // Unicode text
    stText = 4,            // plain text
    stHTML = 256,          // HTML
    stClipboard = 512,     // the data comes from the clipboard (a paste)
    stRawData = 1024,      // insert as it is: no HTML trimming; file names go in as text
    stNotifyFiles = 2048,  // a file drop calls OnFilesDropped
    stHandled = 4096,      // the application took care of it: insert nothing
    stHTMLFragment = 8192, // HTML: keep only what lies between the fragment markers
    stHTMLFromTag = 16384, // HTML: drop everything before the first "<"
};
using TSourceTypes = uint16_t;
inline constexpr TSourceTypes stFormats = stFiles | stUnicodeText | stText | stHTML;

// HTML as a paste or drop inserts it. With stHTMLFromTag everything before the first "<"
// goes; otherwise with stHTMLFragment that too, and when a "<!--StartFragment-->" is
// followed by an "<!--EndFragment-->" with text between them, only that text stays. A
// missing marker, an end marker before the start marker or nothing between them leaves
// the HTML from its first "<". Without either bit the HTML stays whole.
std::string_view TrimHtml(std::string_view html, TSourceTypes types);

// What a drop offers, filled by the widget from the dragged data, all in UTF-8.
struct TDropData {
    TSourceTypes Available = 0; // the format bits that are present
    std::string Html;
    std::string Text; // plain and Unicode text alike
    std::vector<std::string> Files;
};

enum class TDropEffect { None, Copy, Move };

// Where a drop happened in the widget's coordinates; (-1, -1) when that is not known.
struct TDropPoint {
    Pixel X = -1;
    Pixel Y = -1;
};

} // namespace kvx
