#include "ScriptReader.h"

#include "editor/Keywords.h"
#include "editor/TextFile.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace kvx {

namespace {

bool IsLetter(int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsIdentStart(int c) {
    return IsLetter(c) || c == '_';
}
bool IsIdentChar(int c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}

struct TPredefined {
    const char* Name;
    long long Value;
};

// Names every script may use; values are written as decimal text.
constexpr TPredefined kPredefined[] = {
    {"pt_DEFAULT", 0},
    {"_use_", 1},
    {"_discard_", 0},
    {"__insensitive", 0},
    {"__sensitive", 1},
    {"_edge", 0},
    {"_default_gutter", 34},
    {"_DEFAULT_START_ANCHOR", 0},
    {"None", 0},
    {"__DEFAULT_OPTIONS", 67099632},
    {"__OPT_LINE_NUMBERS", 1},
    {"__OPT_SYNTAX_HIGHLIGHT", 16},
    {"__OPT_PRINT_WRAP", 32},
    {"__OPT_PRINT_LINENOS", 64},
    {"__OPT_PRINT_FILENAME", 128},
    {"__OPT_PRINT_DATE", 256},
    {"__OPT_PRINT_PAGENOS", 512},
    {"__OPT_WORDWRAP", 1024},
    {"__OPT_AUTOINDENT", 2048},
    {"__OPT_TABCOLUMN", 4096},
    {"__OPT_WRAP_OVERRIDE", 8192},
    {"__WORD_SELECT", 16384},
    {"__OPT_SHOW_RIGHT_MARGIN", 32768},
    {"__OPT_SHOW_RMARGIN", 32768},
    {"__OPT_SHOW_GUTTER", 65536},
    {"__OPT_SHOW_WRAPCOLUMN", 131072},
    {"__OPT_TITLE_AS_FILENAME", 262144},
    {"__OPT_PROCESS_DROP_FILES", 524288},
    {"__OPT_BLOCK_CURSOR", 1048576},
    {"__OPT_WRAP_GLYPH", 2097152},
    {"__OPT_COLUMN_TRACK", 4194304},
    {"__OPT_USE_TAB", 8388608},
    {"__OPT_SMART_FILL", 16777216},
    {"__OPT_OLE_DRAG_SOURCE", 33554432},
    {"__OPT_SHOW_CONTROL_CHARS", 67108864},
    {"__OPT_CARET_AFTER_EOL", 134217728},
    {"_PASCAL_CHAR", 0},
    {"_WEB_CHAR", 1},
    {"_ORIGINAL_CHAR", 2},
    {"__STD_IDENTIFIER", 10},
    {"__STD_NUMBER_OR_FP", 11},
    {"__STD_PASCALSTRING", 12},
    {"__STD_C_STRING", 13},
    {"__STD_C_CHAR", 14},
    {"__STD_C_NUMBER_OR_FP_SIGNED", 15},
    {"__STD_NUMBER", 16},
    {"__STD_MAIL_URL", 17},
    {"__STD_HTML_STRING", 18},
    {"__STD_JS_LINE_COMMENT", 19},
    {"__STD_C_STRING_SQ", 20},
    {"fsBold", 0},
    {"fsItalic", 1},
    {"fsUnderline", 2},
    {"fsStrikeout", 3},
    {"clBlack", 0},
    {"clMaroon", 128},
    {"clGreen", 32768},
    {"clOlive", 32896},
    {"clNavy", 8388608},
    {"clPurple", 8388736},
    {"clTeal", 8421376},
    {"clGray", 8421504},
    {"clDkGray", 8421504},
    {"clSilver", 12632256},
    {"clLtGray", 12632256},
    {"clRed", 255},
    {"clLime", 65280},
    {"clYellow", 65535},
    {"clBlue", 16711680},
    {"clFuchsia", 16711935},
    {"clAqua", 16776960},
    {"clWhite", 16777215},
    {"BACKSPACE", 8},
    {"PGUP", 33},
    {"PGDN", 34},
    {"END", 35},
    {"HOME", 36},
    {"LEFT", 37},
    {"UP", 38},
    {"RIGHT", 39},
    {"DOWN", 40},
    {"INSERT", 45},
    {"DELETE", 46},
    {"ANSI_CHARSET", 0},
    {"DEFAULT_CHARSET", 1},
    {"SYMBOL_CHARSET", 2},
    {"MAC_CHARSET", 77},
    {"SHIFTJIS_CHARSET", 128},
    {"HANGEUL_CHARSET", 129},
    {"JOHAB_CHARSET", 130},
    {"GB2312_CHARSET", 134},
    {"CHINESEBIG5_CHARSET", 136},
    {"GREEK_CHARSET", 161},
    {"TURKISH_CHARSET", 162},
    {"HEBREW_CHARSET", 177},
    {"ARABIC_CHARSET", 178},
    {"BALTIC_CHARSET", 186},
    {"RUSSIAN_CHARSET", 204},
    {"THAI_CHARSET", 222},
    {"EASTEUROPE_CHARSET", 238},
    {"OEM_CHARSET", 255},
};

constexpr const char* kCommandNames[] = {
    "caLEFT",     "caRIGHT",     "caLINEHOME", "caLINEEND",  "caUP",
    "caDOWN",     "caPAGEUP",    "caPAGEDOWN", "caWORDLEFT", "caWORDRIGHT",
    "caDOCSTART", "caDOCEND",    "caCUT",      "caCOPY",     "caPASTE",
    "caDELETE",   "caBACKSPACE", "caBLOCKIND", "caBLOCKUND", "caINSTOGGLE",
};

} // namespace

std::string UniformBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            out.push_back(c);
            continue;
        }
        out.push_back('\r');
        const char partner = c == '\r' ? '\n' : '\r';
        if (i + 1 < text.size() && text[i + 1] == partner)
            ++i;
    }
    return out;
}

TScriptReader::TScriptReader(std::string text, std::string includeDir)
    : includeDir_(std::move(includeDir)) {
    stack_.push_back({"", std::make_shared<const std::string>(UniformBreaks(text)), 0, ""});
    Define("ver200", "ver200");
    for (const TPredefined& p : kPredefined)
        Define(p.Name, std::to_string(p.Value));
    for (int i = 0; i < int(std::size(kCommandNames)); ++i)
        Define(kCommandNames[i], std::to_string(i));
    for (int d = 0; d < 10; ++d) {
        Define("caSETBOOKMARK" + std::to_string(d), std::to_string(caSETBOOKMARK0 + d));
        Define("caGOTOBOOKMARK" + std::to_string(d), std::to_string(caGOTOBOOKMARK0 + d));
    }
    const std::pair<const char*, int> tail[] = {{"caDELETELINE", caDELETELINE},
                                                {"caUNDO", caUNDO},
                                                {"caREDO", caREDO},
                                                {"caDELPREVWORD", caDELPREVWORD},
                                                {"caPRINTSEL", caPRINTSEL},
                                                {"caDELNEXTWORD", caDELNEXTWORD}};
    for (const auto& [name, id] : tail)
        Define(name, std::to_string(id));
    for (int f = 1; f <= 12; ++f)
        Define("F" + std::to_string(f), std::to_string(111 + f));
}

void TScriptReader::Define(const std::string& name, const std::string& value) {
    macros_[AsciiLower(name)] = std::make_shared<const std::string>(value);
}

bool TScriptReader::IsMacro(const std::string& name) const {
    return macros_.count(AsciiLower(name)) != 0;
}

void TScriptReader::Error(const std::string& message) const {
    char prefix[96];
    std::snprintf(prefix, sizeof prefix, "** ERROR near line %d, Column %d: ", int(line_ + 1),
                  int(column_ + 1));
    throw ESYM_COMP_ERROR(prefix + message);
}

void TScriptReader::Pop() {
    stack_.pop_back();
}

int TScriptReader::Current() {
    // At the end of an expanded text reading goes on in the text around it; only the end
    // of the script itself is the end.
    while (true) {
        const TInput& in = stack_.back();
        if (in.Pos < in.Text->size())
            return static_cast<unsigned char>((*in.Text)[in.Pos]);
        if (stack_.size() == 1)
            return -1;
        Pop();
    }
}

void TScriptReader::Advance() {
    const int c = Current();
    if (c < 0)
        return;
    ++stack_.back().Pos;
    if (c == '\r') {
        ++line_;
        column_ = 0;
    } else {
        ++column_;
    }
}

void TScriptReader::Push(const std::string& name, std::shared_ptr<const std::string> text) {
    std::string key = AsciiLower(name);
    for (const TInput& in : stack_)
        if (in.Key == key)
            Error("Recursive expansion of macro '" + name + "'");
    if (static_cast<int>(stack_.size()) > kMaxDepth)
        Error("Macros or includes nested more than " + std::to_string(kMaxDepth) + " deep at '" +
              name + "'");
    expanded_ += static_cast<int64_t>(text->size());
    if (expanded_ > kMaxExpanded)
        Error("Macro expansions are too long in all (at '" + name + "')");
    stack_.push_back({name, std::move(text), 0, std::move(key)});
}

std::string TScriptReader::ReadIdentifier() {
    // Only within the current text: a name never runs on past the end of an expansion, and
    // the expansion it ends stays on the stack until the name is handled, so a macro whose
    // text ends with its own name is still caught as recursive.
    Current();
    TInput& in = stack_.back();
    std::string id;
    while (in.Pos < in.Text->size() &&
           IsIdentChar(static_cast<unsigned char>((*in.Text)[in.Pos]))) {
        id.push_back((*in.Text)[in.Pos++]);
        ++column_;
    }
    return id;
}

void TScriptReader::SkipBlanks() {
    for (int c = Current(); c == ' ' || c == '\t' || c == 160; c = Current())
        Advance();
}

void TScriptReader::Skip() {
    while (true) {
        const int c = Current();
        if (c == ' ' || c == '\t' || c == 160 || c == '\r' || c == '\n') {
            if (c == '\n')
                ++stack_.back().Pos; // a line feed counts nothing
            else
                Advance();
            continue;
        }
        if (c == '/') {
            const TPlace start = Save();
            Advance();
            if (Current() == '*') {
                Advance();
                // Not nested; a run of asterisks may stand before the slash.
                while (Current() >= 0) {
                    if (Current() == '*') {
                        Advance();
                        if (Current() == '/') {
                            Advance();
                            break;
                        }
                        continue;
                    }
                    Advance();
                }
                continue;
            }
            if (Current() == '/') {
                while (Current() >= 0 && Current() != '\r')
                    Advance();
                continue;
            }
            Restore(start);
            return;
        }
        if (c == '#' && !directive_) {
            const TPlace start = Save();
            Advance();
            std::string word;
            while (IsLetter(Current())) {
                word.push_back(static_cast<char>(Current()));
                Advance();
            }
            if (word == "define" || word == "ifdef" || word == "ifndef" || word == "else" ||
                word == "endif" || word == "include") {
                Directive(word);
                continue;
            }
            Restore(start);
            return;
        }
        if (IsIdentStart(c) && !directive_ && !skipping_) {
            // A name never runs past the end of the text it starts in, so going back needs
            // only that text's position and the column, not a copy of the whole stack.
            const size_t depth = stack_.size();
            const size_t at = stack_.back().Pos;
            const int32_t column = column_;
            const std::string id = ReadIdentifier();
            const auto it = macros_.find(AsciiLower(id));
            if (it == macros_.end()) {
                stack_.resize(depth);
                stack_.back().Pos = at;
                column_ = column;
                return;
            }
            Push(id, it->second);
            continue;
        }
        return;
    }
}

void TScriptReader::Directive(const std::string& word) {
    directive_ = true;
    struct TClear {
        bool& flag;
        ~TClear() { flag = false; }
    } clear{directive_};

    if (word == "define") {
        Skip();
        if (!IsIdentStart(Current()))
            Error("Macro name expected");
        const std::string name = ReadIdentifier();
        SkipBlanks();
        std::string value;
        while (Current() >= 0 && Current() != '\r') {
            value.push_back(static_cast<char>(Current()));
            Advance();
        }
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t' ||
                                  static_cast<unsigned char>(value.back()) == 160))
            value.pop_back();
        // A name defined as itself would expand for ever; such a definition is ignored.
        if (AsciiLower(value) != AsciiLower(name))
            Define(name, value);
        return;
    }
    if (word == "ifdef" || word == "ifndef") {
        conditions_.emplace_back(false, skipping_);
        if (skipping_)
            return;
        Skip();
        if (!IsIdentStart(Current()))
            Error("Macro name expected after #ifdef");
        const bool defined = IsMacro(ReadIdentifier());
        skipping_ = word == "ifdef" ? !defined : defined;
        return;
    }
    if (word == "else") {
        if (conditions_.empty())
            Error("#else without #ifdef or #ifndef");
        if (!conditions_.back().second)
            skipping_ = !skipping_;
        return;
    }
    if (word == "endif") {
        if (conditions_.empty())
            Error("#endif without #ifdef or #ifndef");
        skipping_ = conditions_.back().second;
        conditions_.pop_back();
        return;
    }
    // #include
    if (skipping_)
        return;
    Skip();
    const int open = Current();
    if (open != '"' && open != '<')
        Error("#include filename not enclosed in \"...\" or <...>");
    const char close = open == '"' ? '"' : '>';
    Advance();
    std::string name;
    while (Current() != close) {
        if (Current() < 0 || Current() == '\r')
            Error(std::string("#include filename missing terminating ") + close);
        name.push_back(static_cast<char>(Current()));
        Advance();
    }
    Advance();
    std::string path = name;
    if (open == '<') {
        path = includeDir_;
        if (!path.empty() && path.back() != '/')
            path.push_back('/');
        path += name;
    }
    const std::string shown = std::string(1, char(open)) + path + std::string(1, close);
    std::string data;
    try {
        TFileStream file(path);
        if (!ReadToEnd(file, data, kMaxScriptBytes))
            Error("#include file " + shown + " is larger than " + MaxScriptText());
    } catch (const EStreamError&) {
        Error("Unable to open #include file " + shown);
    }
    // One file reached by two spellings ("a.inc", "./a.inc") is still the same file.
    std::error_code ec;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, ec);
    Push("-file-: " + (ec ? path : canonical.string()),
         std::make_shared<const std::string>(UniformBreaks(data)));
}

void TScriptReader::Finish() {
    if (!conditions_.empty())
        Error("#ifdef or #ifndef without #endif");
}

} // namespace kvx
