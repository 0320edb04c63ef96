// The language-script compiler: reads a script through the script reader and turns each
// statement into the parser's tables and the language's settings.
#pragma once

#include "ScriptReader.h"
#include "SynParse.h"
#include "editor/CharGroups.h"
#include "editor/ScriptStrings.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kvx {

class TSYM_Compiler {
  public:
    // Brackets may nest this deep in an expression; deeper nesting is refused at its place
    // rather than run the compiler out of stack.
    static constexpr int kMaxNesting = 256;

    TSYM_Compiler(TSyntaxMemoParser& parser, std::string text, std::string includeDir);
    // Compiles the whole script into the parser (whose tables the caller has reset).
    void Run();

    // Where reading stopped (0-based), for the parser to keep.
    int32_t Line() const { return reader_.Line(); }
    int32_t Column() const { return reader_.Column(); }

  private:
    enum TKind { tkEnd, tkReserved, tkNumber, tkString };
    struct TToken {
        TKind Kind = tkEnd;
        int Word = -1; // index into the reserved-word table
        uint32_t Number = 0;
        std::string Text;
    };

    // Token reader
    void Next();
    void ReadString();
    bool Is(int word) const { return tok_.Kind == tkReserved && tok_.Word == word; }
    bool IsExprStart() const;
    void Expect(int word, const char* message);
    std::string ExpectString();
    [[noreturn]] void Error(const std::string& message) const { reader_.Error(message); }

    // Values
    int32_t Expression();
    int32_t Term();
    int32_t FunctionNumber();         // an expression naming a function the scanner knows
    int32_t Value(int low, int high); // an expression in a range
    TSet256 Set();                    // an expression or a bracketed list
    TSet256 BracketList();            // after '[' up to and including ']'
    uint8_t FontStyle();              // '[' bits ']'
    std::vector<TSM_CharGroup> Specifiers(const std::string& raw);
    TSM_CharGroup OneSpecifier(const std::string& raw);
    uint16_t ClassIndex(const TSM_CharGroup& g);

    // Sections
    void Language();
    void Words();
    void KeywordTables();
    void HandlerSection();
    void Tokens();
    void TokenEntry(int state, const TSet256& defaultStates);
    void Map();
    void Effects();
    void States(bool containers);
    void Keys();
    void AutoReplace();
    void Templates();
    void Finish();
    void LanguageSetting(int word);

    void ReadBodyAndEnd(TStartPart& body, TEndPart& end, bool rule);
    void NoteValid(int value, const TSet256& states, bool withDefault);
    TShortcut KeyBinding(TShortcut& second);

    TSyntaxMemoParser& parser_;
    TScriptReader reader_;
    TToken tok_;
    int statement_ = 0;
    int depth_ = 0; // brackets open around the expression being read
};

} // namespace kvx
