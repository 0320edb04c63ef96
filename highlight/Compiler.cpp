#include "Compiler.h"

#include "ScriptWords.h"
#include "SynParse.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "editor/TextFile.h"

namespace kvx {

using namespace script;

namespace {

bool IsLetter(int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}
bool IsWordChar(int c) {
    return IsLetter(c) || IsDigit(c) || c == '_';
}

[[noreturn]] void RangeError(int low, int high) {
    char text[80];
    std::snprintf(text, sizeof text, "Range error, value outwith %d .. %d", low, high);
    throw ESyntaxMemo(0, text);
}

// How a setting is named in the label shown with an error.
const char* LanguageLabel(int word) {
    switch (word) {
    case wName:
        return "Name";
    case wEditablestyles:
        return "Editable styles";
    case wExampletext:
        return "Example text";
    default:
        return kWords[word];
    }
}

// The fixed first characters of the standard token functions 10-20.
TSet256 StandardStart(int function) {
    TSet256 s;
    auto range = [&](int a, int b) {
        for (int c = a; c <= b; ++c)
            s.Include(c);
    };
    switch (function) {
    case 10:
        range('A', 'Z'), range('a', 'z'), s.Include('_');
        break;
    case 11:
        s.Include('.'), range('0', '9');
        break;
    case 12:
    case 14:
    case 20:
        s.Include('\'');
        break;
    case 13:
    case 18:
        s.Include('"');
        break;
    case 15:
        s.Include('+'), s.Include('-'), s.Include('.'), range('0', '9');
        break;
    case 16:
        range('0', '9');
        break;
    case 17:
        range('0', '9'), range('A', 'Z'), range('a', 'z');
        break;
    case 19:
        s.Include('/');
        break;
    default:
        break;
    }
    return s;
}

} // namespace

// ---- Token reader ----------------------------------------------------------------------

TSYM_Compiler::TSYM_Compiler(TSyntaxMemoParser& parser, std::string text, std::string includeDir)
    : parser_(parser), reader_(std::move(text), std::move(includeDir)) {}

void TSYM_Compiler::Next() {
    while (true) {
        reader_.Skip();
        // Inside a false branch every character is thrown away, one at a time, so that
        // directives keep being seen.
        if (!reader_.Skipping() || reader_.Current() < 0)
            break;
        reader_.Advance();
    }
    tok_ = {};
    const int c = reader_.Current();
    if (c < 0) {
        reader_.Finish();
        return;
    }
    if (IsDigit(c)) {
        tok_.Kind = tkNumber;
        // Numbers wrap at 32 bits, as the tables' integers do.
        while (IsDigit(reader_.Current())) {
            tok_.Number = tok_.Number * 10u + uint32_t(reader_.Current() - '0');
            tok_.Text.push_back(static_cast<char>(reader_.Current()));
            reader_.Advance();
        }
        return;
    }
    if (c == '\'')
        return ReadString();
    if (IsWordChar(c) || c == '%') {
        const TScriptReader::TPlace start = reader_.Save();
        std::string run;
        while (IsWordChar(reader_.Current()) || reader_.Current() == '%') {
            run.push_back(static_cast<char>(reader_.Current()));
            reader_.Advance();
        }
        const std::string key = AsciiLower(run);
        for (int w = 0; w < wEquals; ++w) {
            if (key == kWords[w]) {
                tok_.Kind = tkReserved;
                tok_.Word = w;
                tok_.Text = run;
                return;
            }
        }
        if (c != '%')
            Error("Identifier \"" + run + "\" Unknown");
        reader_.Restore(start);
    } else {
        for (int w = wEquals; w < wCount; ++w) {
            if (c == kWords[w][0]) {
                reader_.Advance();
                tok_.Kind = tkReserved;
                tok_.Word = w;
                tok_.Text = kWords[w];
                return;
            }
        }
    }
    char text[64];
    std::snprintf(text, sizeof text, "Unknown character in input stream: #$%.2x", c);
    Error(text);
}

void TSYM_Compiler::ReadString() {
    tok_.Kind = tkString;
    reader_.Advance();
    while (true) {
        const int c = reader_.Current();
        if (c < 0)
            Error("Unterminated string");
        reader_.Advance();
        if (c == '\'')
            return;
        if (c != '\\') {
            tok_.Text.push_back(static_cast<char>(c));
            continue;
        }
        const int d = reader_.Current();
        if (d < 0)
            Error("Unterminated string");
        if (d != '\r') {
            tok_.Text.push_back('\\');
            tok_.Text.push_back(static_cast<char>(d));
            reader_.Advance();
            continue;
        }
        // A backslash before a line break continues the string on the next line: the
        // break, the blanks that indent the next line and one backslash there are dropped.
        while (reader_.Current() >= 0 && (reader_.Current() < 33 || reader_.Current() == 160))
            reader_.Advance();
        if (reader_.Current() == '\\')
            reader_.Advance();
    }
}

bool TSYM_Compiler::IsExprStart() const {
    return tok_.Kind == tkNumber || Is(wOpen);
}

void TSYM_Compiler::Expect(int word, const char* message) {
    if (!Is(word))
        Error(message);
    Next();
}

std::string TSYM_Compiler::ExpectString() {
    if (tok_.Kind != tkString)
        Error("String value expected");
    std::string raw = tok_.Text;
    Next();
    return raw;
}

// ---- Values ----------------------------------------------------------------------------

// A term is a number or a bracketed expression; anything else that stands where a term
// must is an error of the expression ("Expression expected"), as is a bracket left open.
// What the token reader refuses (an unknown identifier or character) keeps its own message.
int32_t TSYM_Compiler::Term() {
    if (tok_.Kind == tkNumber) {
        const uint32_t v = tok_.Number;
        Next();
        return static_cast<int32_t>(v);
    }
    if (!Is(wOpen))
        Error("Expression expected");
    if (depth_ >= kMaxNesting)
        Error("Brackets nested more than " + std::to_string(kMaxNesting) + " deep");
    ++depth_;
    Next();
    const int32_t v = Expression();
    if (!Is(wClose))
        Error("Expression expected");
    --depth_;
    Next();
    return v;
}

int32_t TSYM_Compiler::Expression() {
    // Evaluated left to right in 32 bits; unsigned arithmetic wraps where signed would be
    // undefined.
    auto value = static_cast<uint32_t>(Term());
    while (Is(wPlus) || Is(wMinus) || Is(wOr)) {
        const int op = tok_.Word;
        Next();
        const auto rhs = static_cast<uint32_t>(Term());
        value = op == wPlus ? value + rhs : op == wMinus ? value - rhs : value | rhs;
    }
    return static_cast<int32_t>(value);
}

int32_t TSYM_Compiler::FunctionNumber() {
    const int32_t f = Expression();
    if (!IsKnownFunction(f))
        Error("Script syntax error");
    return f;
}

int32_t TSYM_Compiler::Value(int low, int high) {
    const int32_t v = Expression();
    if (v < low || v > high)
        RangeError(low, high);
    return v;
}

TSet256 TSYM_Compiler::BracketList() {
    TSet256 s;
    while (!Is(wCloseSet)) {
        if (!IsExprStart())
            Error("']' expected");
        s.Include(Value(0, 255));
        if (Is(wComma))
            Next();
    }
    Next();
    return s;
}

TSet256 TSYM_Compiler::Set() {
    if (Is(wOpenSet)) {
        Next();
        return BracketList();
    }
    TSet256 s;
    s.Include(Value(0, 255));
    return s;
}

uint8_t TSYM_Compiler::FontStyle() {
    if (!Is(wOpenSet))
        Error("'[' expected");
    Next();
    uint8_t bits = 0;
    while (!Is(wCloseSet)) {
        int32_t bit = 0;
        try {
            bit = Expression();
        } catch (const ESYM_COMP_ERROR&) {
            Error("Bad font style specifier");
        }
        // Bits above 7 name no style; a negative one would be an undefined shift.
        if (bit >= 0 && bit <= 7)
            bits = static_cast<uint8_t>(bits | (1u << bit));
        // Entries are separated by commas: anything else ends the list here, rather than
        // taking the entries that follow into it.
        if (Is(wComma))
            Next();
        else if (!Is(wCloseSet))
            Error("']' expected");
    }
    Next();
    return bits;
}

// The specifiers of a raw string; a "[" left open is reported here, at the string.
std::vector<TSM_CharGroup> TSYM_Compiler::Specifiers(const std::string& raw) {
    try {
        return ScriptSpecifiers(raw);
    } catch (const EUnclosedSpecifier& e) {
        Error(e.what());
    }
}

TSM_CharGroup TSYM_Compiler::OneSpecifier(const std::string& raw) {
    const std::vector<TSM_CharGroup> s = Specifiers(raw);
    if (s.size() != 1)
        Error("Single character specifier expected");
    return s[0];
}

uint16_t TSYM_Compiler::ClassIndex(const TSM_CharGroup& g) {
    return parser_.Keywords().Classes().Add(g);
}

// A word's token is valid in state 0 besides its own states; a token rule's only in the
// states of its entry (the enclosing `?` state, or 0, and any it lists).
void TSYM_Compiler::NoteValid(int value, const TSet256& states, bool withDefault) {
    std::optional<TTokenInfo>& info = parser_.Tables.TokenInfo[value];
    if (info) {
        info->Valid |= states;
        return;
    }
    TTokenInfo t;
    t.Valid = withDefault || states.Empty() ? TSet256{0} : TSet256{};
    t.Valid |= states;
    t.NoTransition = 1;
    info = t;
}

// ---- Sections --------------------------------------------------------------------------

void TSYM_Compiler::Run() {
    parser_.StatementLabel = "Header";
    Next();
    while (tok_.Kind != tkEnd) {
        if (tok_.Kind != tkReserved || tok_.Word > wKwTables)
            Error("Script syntax error");
        const int section = tok_.Word;
        statement_ = 0;
        Next();
        switch (section) {
        case wLanguage:
            Language();
            break;
        case wWords:
            Words();
            break;
        case wKwTables:
            KeywordTables();
            break;
        case wHandler:
        case wHandlers:
            HandlerSection();
            break;
        case wTokens:
            Tokens();
            break;
        case wMap:
            Map();
            break;
        case wEffects:
            Effects();
            break;
        case wStates:
            States(false);
            break;
        case wContainers:
            States(true);
            break;
        case wKeys:
            Keys();
            break;
        case wAutoreplace:
            AutoReplace();
            break;
        case wTemplates:
            Templates();
            break;
        default:
            break;
        }
    }
    Finish();
}

void TSYM_Compiler::Finish() {
    for (TSet256& s : parser_.Tables.ContextStates)
        if (s.Empty())
            s = parser_.Tables.StartStates;
    parser_.Tables.NoStateTables = parser_.Tables.StatesWithRules.Empty();
}

void TSYM_Compiler::Words() {
    parser_.StatementLabel = "%%Words";
    while (tok_.Kind == tkString || Is(wWords)) {
        if (Is(wWords)) {
            Next();
            continue;
        }
        std::string word = DecodeScriptString(ExpectString());
        if (!parser_.Tables.CaseSensitive)
            word = AsciiLower(word);
        // The label names the statement as soon as its following-character text is known.
        if (tok_.Kind != tkString)
            Error("String value expected");
        const std::string followRaw = tok_.Text;
        parser_.StatementLabel = "%%Words - " + followRaw;
        Next();
        if (word.size() > 255)
            Error("Keyword longer than 255 characters");
        const TSM_CharGroup follow = OneSpecifier(followRaw);
        const int32_t value = Value(0, 255);
        TSet256 states{0};
        if (Is(wOpenSet)) {
            Next();
            states = BracketList();
        }
        try {
            parser_.Keywords().Add(word, parser_.Tables.CaseSensitive, value, states, follow);
        } catch (const EKeywords&) {
            Error("Duplicate entry in %%word table");
        }
        NoteValid(value, states, true);
    }
}

// The body of a handler or token rule and its end. A `match` body ends the entry. A rule's
// end may also be a function number; a handler's may not, as an expression after a
// handler's body is the next handler's token value.
void TSYM_Compiler::ReadBodyAndEnd(TStartPart& body, TEndPart& end, bool rule) {
    auto matchNumber = [&](int32_t& function) {
        Next();
        Expect(wOpen, "'(' expected");
        function = Expression();
        Expect(wClose, "')' expected");
        parser_.Tables.UsesMatch = true;
    };
    if (Is(wMatch)) {
        body.IsFunction = body.IsMatch = 1;
        matchNumber(body.Function);
        return;
    }
    if (tok_.Kind == tkString) {
        body.Class = ClassIndex(OneSpecifier(ExpectString()));
    } else {
        body.IsFunction = 1;
        body.Function = FunctionNumber();
    }
    if (Is(wStar)) {
        body.Flag = 1;
        Next();
    }
    if (Is(wMatch)) {
        end.IsFunction = end.IsMatch = 1;
        matchNumber(end.Function);
    } else if (tok_.Kind == tkString) {
        const std::vector<TSM_CharGroup> classes = Specifiers(ExpectString());
        if (classes.size() > 4)
            Error("Maximum of 4 character specifier allowed");
        end.Count = static_cast<uint8_t>(classes.size());
        for (size_t i = 0; i < classes.size(); ++i)
            end.Classes[i] = ClassIndex(classes[i]);
    } else if (rule && IsExprStart()) {
        end.IsFunction = 1;
        end.Function = FunctionNumber();
    } else {
        return; // no end
    }
    end.Include = Expression() != 0 ? 1 : 0;
}

void TSYM_Compiler::HandlerSection() {
    parser_.StatementLabel = "%%Handlers";
    while (IsExprStart() || Is(wHandler) || Is(wHandlers)) {
        if (!IsExprStart()) {
            Next();
            continue;
        }
        parser_.StatementLabel = "%%Handlers - " + std::to_string(++statement_);
        const int32_t value = Value(0, 255);
        THandler h;
        ReadBodyAndEnd(h.Body, h.End, false);
        if (parser_.Tables.Handlers[value])
            Error("Duplicate entry in %%handler table");
        parser_.Tables.Handlers[value] = h;
    }
}

void TSYM_Compiler::Tokens() {
    parser_.StatementLabel = "%%Tokens";
    while (IsExprStart() || Is(wQuestion) || Is(wTokens)) {
        if (Is(wTokens)) {
            Next();
            continue;
        }
        if (Is(wQuestion)) {
            Next();
            const int32_t state = Value(0, 255);
            Expect(wOpen, "'(' expected");
            if (!parser_.Tables.StateTokenRules[state])
                parser_.Tables.StateTokenRules[state] = std::make_unique<TStateTable>();
            parser_.Tables.StatesWithRules.Include(state);
            while (IsExprStart())
                TokenEntry(state, TSet256{state});
            Expect(wClose, "')' expected");
            continue;
        }
        TokenEntry(-1, TSet256{0});
    }
}

void TSYM_Compiler::TokenEntry(int state, const TSet256& defaultStates) {
    parser_.StatementLabel = "%%Tokens - " + std::to_string(++statement_);
    const int32_t value = Value(0, 255);
    TTokenRule rule;
    rule.Value = static_cast<uint8_t>(value);
    TSM_CharGroup start;
    if (tok_.Kind == tkString) {
        start = OneSpecifier(ExpectString());
        rule.Start.Class = ClassIndex(start);
        ReadBodyAndEnd(rule.Body, rule.End, true);
    } else {
        const int32_t f = Expression();
        if (f < 10 || f > 20)
            Error("Script syntax error");
        rule.Start.IsFunction = 1;
        rule.Start.Function = f;
        start = TSM_CharGroup(StandardStart(f));
    }
    TSet256 states = defaultStates;
    if (Is(wOpenSet)) {
        Next();
        states |= BracketList();
    }
    rule.Valid = states;
    NoteValid(value, states, false);
    auto& table =
        state < 0 ? parser_.Tables.TokenRules : parser_.Tables.StateTokenRules[state]->Rules;
    for (int c = 0; c < 256; ++c) {
        if (!start.Contains(static_cast<uint8_t>(c)))
            continue;
        if (table[c])
            Error("Ambigious start set in %%token table");
        table[c] = rule;
    }
}

void TSYM_Compiler::States(bool containers) {
    const char* name = containers ? "%%Containers" : "%%States";
    parser_.StatementLabel = name;
    while (IsExprStart() || Is(containers ? wContainers : wStates)) {
        if (!IsExprStart()) {
            Next();
            continue;
        }
        parser_.StatementLabel = std::string(name) + " - " + std::to_string(++statement_);
        const int32_t value = Value(0, 255);
        std::optional<TTokenInfo>& info = parser_.Tables.TokenInfo[value];
        if (!info) {
            TTokenInfo t;
            t.Valid = {0};
            info = t;
        }
        uint8_t stack = 0;
        if (!containers && (Is(wPush) || Is(wPop))) {
            stack = Is(wPush) ? sfPushBefore : sfPopBefore;
            Next();
        }
        Expect(wOpen, "'(' expected");
        while (Is(wPlus) || Is(wMinus)) {
            const bool enter = Is(wPlus);
            Next();
            (enter ? info->Enter : info->Leave) |= Set();
            info->NoTransition = info->Enter.Empty() && info->Leave.Empty() ? 1 : 0;
        }
        Expect(wClose, "')' expected");
        if (containers) {
            info->Container = 1;
            continue;
        }
        if (Is(wPush) || Is(wPop)) {
            // Only the last push or pop written counts; a pop after the bracket also
            // forgets the transitions.
            stack = Is(wPush) ? sfPushAfter : sfPopAfter;
            if (Is(wPop)) {
                info->Enter = {};
                info->Leave = {};
                info->NoTransition = 1;
            }
            Next();
        }
        info->StackFlags = stack;
    }
}

TShortcut TSYM_Compiler::KeyBinding(TShortcut& second) {
    TShortcut modifiers = 0;
    if (Is(wOpenSet)) {
        Next();
        while (!Is(wCloseSet)) {
            if (Is(wShift))
                modifiers |= scShift;
            else if (Is(wCtrl))
                modifiers |= scCtrl;
            else if (Is(wAlt))
                modifiers |= scAlt;
            else if (!Is(wComma))
                Error("']' expected");
            Next();
        }
        Next();
    }
    auto key = [&]() -> TShortcut {
        if (tok_.Kind == tkString) {
            const std::string s = DecodeScriptString(ExpectString());
            if (s.size() != 1)
                Error("Single character specifier expected");
            char c = s[0];
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
            return static_cast<uint8_t>(c);
        }
        if (!IsExprStart())
            Error("Key specification required");
        return static_cast<TShortcut>(Value(0, 255));
    };
    const TShortcut first = static_cast<TShortcut>(key() | modifiers);
    second = 0;
    if (Is(wComma)) {
        Next();
        second = key();
    }
    return first;
}

void TSYM_Compiler::Language() {
    parser_.StatementLabel = "%%Language";
    while (Is(wLanguage) ||
           (tok_.Kind == tkReserved && tok_.Word >= wName && tok_.Word <= wGutterFontStyle)) {
        if (Is(wLanguage)) {
            Next();
            continue;
        }
        const int word = tok_.Word;
        parser_.StatementLabel = std::string("%%Language - ") + LanguageLabel(word);
        Next();
        Expect(wEquals, "'=' expected");
        LanguageSetting(word);
    }
}

// ---- Compiling from the parser ---------------------------------------------------------

void TSyntaxMemoParser::CompileFromStream(TStream& script) {
    Reset();
    // Read to the end rather than trusting the size a file reports, and no further than a
    // script can sensibly be: a huge or endless file is refused before it fills memory.
    std::string text;
    if (!ReadToEnd(script, text, TScriptReader::kMaxScriptBytes)) {
        CompileLine = CompileColumn = 0;
        throw ESYM_COMP_ERROR(
            (Script.empty() ? std::string("The script") : "Script '" + Script + "'") +
            " is larger than " + TScriptReader::MaxScriptText());
    }
    const std::filesystem::path dir = std::filesystem::path(Script).parent_path();
    TSYM_Compiler compiler(*this, std::move(text), dir.string());
    try {
        compiler.Run();
    } catch (...) {
        CompileLine = compiler.Line();
        CompileColumn = compiler.Column();
        throw;
    }
    CompileLine = compiler.Line();
    CompileColumn = compiler.Column();
}

void TSyntaxMemoParser::CompileFromFile() {
    std::error_code ec;
    if (Script.empty() || !std::filesystem::is_regular_file(Script, ec))
        return;
    TFileStream file(Script);
    CompileFromStream(file);
}

} // namespace kvx
