// kovex-helpgen TEMPLATE OUT: writes the help page from its template, filling in what the
// program itself knows, so the page cannot drift from it: @KEYS@ becomes the table of the
// editor's default keys (from the key map every document starts with) and @VERSION@ the
// version of this build.
#include "editor/EdConsts.h"
#include "editor/KeyMap.h"
#include "editor/KeyNames.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

using namespace kvx;

namespace {

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string KeyTable() {
    std::string rows;
    for (const TKeyStore::TBinding& b : TKeyboardActionContoller::Default().Keys().Bindings()) {
        if (b.Command < 0)
            continue; // the first key of a sequence: its sequences follow
        std::string keys = ShortcutToText(b.First);
        if (b.Second)
            keys += ", " + ShortcutToText(b.Second);
        rows += "<tr><td><kbd>" + Escape(keys) + "</kbd></td><td>" +
                Escape(CommandDescription(b.Command)) + "</td></tr>\n";
    }
    return rows;
}

void Replace(std::string& text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) {
        text.replace(at, what.size(), with);
        at += with.size();
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kovex-helpgen TEMPLATE OUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "kovex-helpgen: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string text = buffer.str();
    Replace(text, "@KEYS@", KeyTable());
    Replace(text, "@VERSION@", KVX_VERSION);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "kovex-helpgen: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
