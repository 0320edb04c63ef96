// The lowest layer of the language-script compiler: walks the script's characters, skips
// white space and comments, runs the preprocessor directives (#define, #ifdef, #ifndef,
// #else, #endif, #include), expands macros, and keeps the line and column that every error
// message names.
#pragma once

#include "editor/EdConsts.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace kvx {

class TStream;

// A compile error: the message carries "** ERROR near line L, Column C: " in front where the
// failure has a place in the script.
class ESYM_COMP_ERROR : public ESyntaxMemo {
  public:
    explicit ESYM_COMP_ERROR(const std::string& text) : ESyntaxMemo(0, text) {}
};

class TScriptReader {
  public:
    // Includes may nest this deep, and expansions may add this many characters in all; both
    // stop runaway scripts that the name check alone cannot catch.
    static constexpr int kMaxDepth = 32;
    static constexpr int64_t kMaxExpanded = int64_t(8) << 20;
    // A script or an included file larger than this is refused unread: the languages are
    // tens of kilobytes, and a file of gigabytes would only fill memory.
    static constexpr int64_t kMaxScriptBytes = int64_t(4) << 20;
    static std::string MaxScriptText() { return "4 MB"; }

    // `text` is the whole script; line breaks of any style count as one each. Includes of
    // the <name> form are looked for in `includeDir`.
    TScriptReader(std::string text, std::string includeDir);

    // -1 at the end of the script.
    int Current();
    // Steps over the current character, counting lines and columns.
    void Advance();
    // Skips white space, comments and directives and expands macros, up to the next
    // character that starts a token.
    void Skip();
    // Inside the false branch of a condition: the token reader throws characters away.
    bool Skipping() const { return skipping_; }
    // Raises ESYM_COMP_ERROR "** ERROR near line %d, Column %d: <message>".
    [[noreturn]] void Error(const std::string& message) const;
    // Checks at the end of the script that every condition was closed.
    void Finish();

    int32_t Line() const { return line_; }
    int32_t Column() const { return column_; }

    // Macros, by name without regard to case. Defining a name again replaces its text.
    void Define(const std::string& name, const std::string& value);
    bool IsMacro(const std::string& name) const;

  private:
    struct TInput {
        std::string Name; // macro name, or "-file-: " and the path
        std::shared_ptr<const std::string> Text;
        size_t Pos = 0;
        std::string Key; // the name in lower case, for the recursion check
    };

  public:
    // A saved reading place, for reading ahead and going back, also across the end of an
    // expansion.
    struct TPlace {
        std::vector<TInput> Stack;
        int32_t Line;
        int32_t Column;
    };
    TPlace Save() const { return {stack_, line_, column_}; }
    void Restore(const TPlace& p) {
        stack_ = p.Stack;
        line_ = p.Line;
        column_ = p.Column;
    }

  private:
    void Pop();
    void Push(const std::string& name, std::shared_ptr<const std::string> text);
    std::string ReadIdentifier();
    void Directive(const std::string& word);
    void SkipBlanks(); // spaces, tabs and character 160 on the line

    std::vector<TInput> stack_; // the script first, the newest expansion last
    std::string includeDir_;
    int32_t line_ = 0;
    int32_t column_ = 0;
    bool directive_ = false;
    bool skipping_ = false;
    std::vector<std::pair<bool, bool>> conditions_; // saved (directive, skipping)
    // Shared with the input stack, so an expansion does not copy the text.
    std::unordered_map<std::string, std::shared_ptr<const std::string>> macros_;
    int64_t expanded_ = 0;
};

// Turns CR LF, LF CR and lone LF into CR, so scripts written on any system count lines the
// same way.
std::string UniformBreaks(const std::string& text);

} // namespace kvx
