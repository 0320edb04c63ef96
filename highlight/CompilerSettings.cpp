// The statements of a language script that fill the language's settings: the %%language
// settings, the keyword tables, the token-to-style map, the styles, the key map, the
// auto-correct list and the code templates.
#include "Compiler.h"

#include "ScriptWords.h"
#include "SynParse.h"

namespace kvx {

using namespace script;

// ---- Sections that fill the settings ---------------------------------------------------

void TSYM_Compiler::LanguageSetting(int word) {
    TSM_Settings& set = parser_.Settings();
    auto color = [&](int32_t& value, bool& star) {
        if (Is(wOpen)) {
            Next();
            star = Is(wStar);
            if (star)
                Next();
            Expect(wClose, "')' expected");
        }
        value = Expression();
    };
    switch (word) {
    case wName:
        set.LanguageName = DecodeScriptString(ExpectString()).substr(0, 35);
        break;
    case wCase:
        parser_.Tables.CaseSensitive = Expression() != 0;
        break;
    case wOptions:
        set.OptionWord = Expression();
        break;
    case wExampletext:
        set.ExampleText = DecodeScriptString(ExpectString());
        break;
    case wEditablestyles:
        while (true) {
            Expect(wOpen, "'(' expected");
            const std::string name = DecodeScriptString(ExpectString());
            Expect(wComma, "',' expected");
            const int32_t style = Expression();
            if (style < 0 || style > 255)
                Error("Value must be 0..255");
            Expect(wClose, "')' expected");
            if (!set.AddEditableStyle(name.substr(0, 25), static_cast<uint8_t>(style)))
                Error("Too many editable styles");
            if (!Is(wComma))
                break;
            Next();
        }
        break;
    case wWordwrapcolumn:
        set.WrapAtColumn = Expression();
        break;
    case wGutter:
        set.Gutter = Expression();
        break;
    case wAnchor:
        parser_.Tables.AnchorTokens = Set();
        if (parser_.Tables.AnchorTokens.Empty())
            parser_.Tables.AnchorTokens = {0};
        break;
    case wIndentstep:
        set.IndentStep = Value(0, 20);
        break;
    case wWrapoverride:
        set.WrapOverride = DecodeScriptString(ExpectString()).substr(0, 35);
        break;
    case wStartstate:
        if (Is(wOpenSet)) {
            Next();
            parser_.Tables.StartStates = BracketList();
        } else {
            parser_.Tables.StartStates = {0};
            parser_.Tables.StartStates.Include(Value(0, 255));
        }
        break;
    case wSeltextcolor:
        color(set.SelTextColor, set.SysSelTextColor);
        break;
    case wSeltextback:
        color(set.SelTextBack, set.SysSelBackColor);
        break;
    case wGuttercolor:
        color(set.GutterColor, set.SysGutterColor);
        break;
    case wMargincolor:
        color(set.MarginColor, set.MarginUsesBackColor);
        break;
    case wRightmargin:
        set.RightMargin = Expression();
        break;
    case wMarginwidth:
        set.Margin = Expression();
        break;
    case wTabdefault:
        // A width of 0 would divide by zero and a huge one would blow up every line.
        set.TabDefault = Value(1, 256);
        break;
    case wFontsize:
        set.FontSize = Expression();
        break;
    case wFontname:
        set.FontName = DecodeScriptString(ExpectString());
        break;
    case wFontcharset:
        set.Charset = static_cast<uint8_t>(Value(0, 255));
        break;
    case wTabcolumns:
        set.TabStops = TTabSettings::ParseColumns(ExpectString());
        break;
    case wContextstates:
        while (true) {
            Expect(wOpen, "'(' expected");
            std::vector<int32_t> values;
            while (IsExprStart()) {
                values.push_back(Value(0, 255));
                if (Is(wComma))
                    Next();
            }
            TSet256 states;
            if (Is(wOpenSet)) {
                Next();
                states = BracketList();
            }
            Expect(wClose, "')' expected");
            for (const int32_t t : values) {
                if (!parser_.Tables.ContextStates[t].Empty())
                    throw ESyntaxMemo(0, "Token value " + std::to_string(t) +
                                             " re-specified in ContextState");
                parser_.Tables.ContextStates[t] = states;
            }
            if (!Is(wComma))
                break;
            Next();
        }
        for (TSet256& s : parser_.Tables.ContextStates)
            if (s.Empty())
                s = parser_.Tables.StartStates;
        break;
    case wBoundstates:
        parser_.Tables.BoundStates = Set();
        break;
    case wGutterFontName:
        set.GutterFont.Name = DecodeScriptString(ExpectString());
        break;
    case wGutterFontSize:
        set.GutterFont.Size = Expression();
        break;
    case wGutterFontColor:
        set.GutterFont.Color = Expression();
        break;
    case wGutterFontStyle:
        parser_.StatementLabel = "%%Effects - GutterFontStyle";
        set.GutterFont.Style = FontStyle();
        break;
    default:
        Error("Script syntax error");
    }
}

void TSYM_Compiler::KeywordTables() {
    parser_.StatementLabel = "%%KwTables";
    while (Is(wForstate) || Is(wKwTables)) {
        if (Is(wKwTables)) {
            Next();
            continue;
        }
        Next();
        Expect(wOpenSet, "'[' expected");
        TSet256 states = BracketList();
        if (states.Empty())
            states = {0};
        Expect(wEndswith, "'[' expected");
        const std::string ending = ExpectString();
        Expect(wOpen, "'(' expected");
        std::vector<std::pair<std::string, int32_t>> words;
        while (IsExprStart()) {
            const int32_t value = Value(0, 255);
            if (!Is(wIs))
                Error("String value expected");
            Next();
            words.emplace_back(ExpectString(), value);
            while (Is(wComma)) {
                Next();
                if (tok_.Kind != tkString)
                    break;
                words.emplace_back(ExpectString(), value);
            }
        }
        Expect(wClose, "')' expected");
        try {
            parser_.Settings().AddKeywordTable(states, ending, parser_.Tables.CaseSensitive, words);
        } catch (const EKeywords& e) {
            Error(e.what());
        } catch (const EUnclosedSpecifier& e) {
            Error(e.what());
        }
    }
}

void TSYM_Compiler::Map() {
    parser_.StatementLabel = "%%Map";
    while (IsExprStart() || Is(wMap)) {
        if (Is(wMap)) {
            Next();
            continue;
        }
        parser_.StatementLabel = "%%Map - " + std::to_string(++statement_);
        const int32_t value = Value(0, 255);
        const int32_t style = Value(0, 255);
        parser_.Settings().Map[value] = static_cast<uint8_t>(style);
    }
}

void TSYM_Compiler::Effects() {
    parser_.StatementLabel = "%%Effects";
    while (IsExprStart() || Is(wEffects)) {
        if (Is(wEffects)) {
            Next();
            continue;
        }
        parser_.StatementLabel = "%%Effects - " + std::to_string(++statement_);
        const int32_t entry = Value(0, 255);
        TStyleEntry style;
        style.FontStyle = FontStyle();
        style.TextColor = Expression();
        if (Is(wStar)) {
            style.UseDefaultText = 1;
            Next();
        }
        style.BackColor = Expression();
        if (Is(wStar)) {
            style.UseDefaultBack = 1;
            Next();
        }
        if (tok_.Kind == tkString && AsciiLower(DecodeScriptString(tok_.Text)) == "hotspot") {
            style.IsHyperlink = 1;
            Next();
        }
        style.Defined = 1;
        TSM_Settings& set = parser_.Settings();
        if (entry != 0 && set.Styles[entry].Defined)
            Error("Duplicate %%effect entry");
        set.SetStyle(entry, style);
    }
}

void TSYM_Compiler::Keys() {
    parser_.StatementLabel = "%%Keys";
    TKeyboardActionContoller& map = parser_.Settings().KeyMap();
    // A language's key map is what its script says: bindings and descriptions both.
    map.Reset();
    while (IsExprStart() || Is(wKeys)) {
        if (Is(wKeys)) {
            Next();
            continue;
        }
        parser_.StatementLabel = "%%Keys - " + std::to_string(++statement_);
        // Only the editor's commands can be bound: a stored map refuses anything else.
        const int32_t command = Value(0, caCommandCount - 1);
        if (Is(wOpen)) {
            Next();
            while (true) {
                TShortcut second = 0;
                const TShortcut first = KeyBinding(second);
                try {
                    map.Keys().Bind(first, second, command);
                } catch (const EAmbigiousKeyPair& e) {
                    Error(e.what());
                }
                if (!Is(wBar))
                    break;
                Next();
            }
            Expect(wClose, "')' expected");
        }
        if (tok_.Kind == tkString) {
            const std::string name = DecodeScriptString(ExpectString());
            if (name.empty())
                Error("Key function name cannot be blank");
            map.AddDescription(command, name);
        }
    }
}

void TSYM_Compiler::AutoReplace() {
    parser_.StatementLabel = "%%AutoReplace";
    TAutoReplace& list = parser_.Settings().AutoReplace();
    list.Clear();
    while (tok_.Kind == tkString || Is(wActionkeys) || Is(wAutoreplace)) {
        if (Is(wAutoreplace)) {
            Next();
        } else if (Is(wActionkeys)) {
            Next();
            Expect(wEquals, "'=' expected");
            list.SetTriggerText(ExpectString());
        } else {
            const std::string keyword = DecodeScriptString(ExpectString());
            Expect(wEquals, "'=' expected");
            const std::string replacement = DecodeScriptString(ExpectString());
            try {
                list.AddReplacement(keyword, replacement);
            } catch (const EKeywords& e) {
                Error(e.what());
            }
        }
    }
}

void TSYM_Compiler::Templates() {
    parser_.StatementLabel = "%%Templates";
    TCodeTemplates& list = parser_.Settings().Templates();
    list.Clear();
    while (tok_.Kind == tkString || Is(wHotkey) || Is(wTemplates)) {
        if (Is(wTemplates)) {
            Next();
        } else if (Is(wHotkey)) {
            Next();
            Expect(wEquals, "'=' expected");
            Expect(wOpen, "'(' expected");
            TShortcut second = 0;
            list.Trigger = KeyBinding(second);
            Expect(wClose, "')' expected");
        } else {
            const std::string name = DecodeScriptString(ExpectString());
            std::string description;
            if (Is(wOpen)) {
                Next();
                description = DecodeScriptString(ExpectString());
                Expect(wClose, "')' expected");
            }
            Expect(wEquals, "'=' expected");
            const std::string text = DecodeScriptString(ExpectString());
            try {
                list.AddTemplate(name, description, text);
            } catch (const EKeywords& e) {
                Error(e.what());
            }
        }
    }
}

} // namespace kvx
