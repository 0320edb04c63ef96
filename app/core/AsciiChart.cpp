#include "AsciiChart.h"

#include "editor/Encoding.h"

#include <cstdio>

namespace kvx {
namespace {

constexpr const char* kControlNames[32] = {"nul", "soh", "stx", "etx", "eot", "enq", "ack", "bel",
                                           "bs ", "ht ", "nl ", "vt ", "np ", "cr ", "so ", "si ",
                                           "dle", "dc1", "dc2", "dc3", "dc4", "nak", "syn", "etb",
                                           "can", "em ", "sub", "esc", "fs ", "gs ", "rs ", "us "};

} // namespace

const char* ControlCodeName(int code) {
    return code >= 0 && code < 32 ? kControlNames[code] : "";
}

std::string AsciiHeaderText(int value, bool hex) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, hex ? "%02X" : "%d", value & 0xFF);
    return buffer;
}

std::string AsciiCellText(int code, bool hex, bool inTable, TCodePage page) {
    code &= 0xFF;
    std::string text;
    if (inTable) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, hex ? "%02x   " : "%02d   ", code);
        text = buffer;
    }
    if (code < 32) {
        text += kControlNames[code];
    } else if (code < 127) {
        text += static_cast<char>(code);
        text += "  ";
    } else if (code == 127) {
        text += "   ";
    } else if (const char32_t ch = CodePageChar(page, static_cast<unsigned char>(code))) {
        EncodeChar(ch, true, text);
    }
    return text;
}

} // namespace kvx
