// Finding a plain text or a regular expression in a text held in memory, by the rules of the
// editor's search entry: case, whole words, direction, where a search starts from the
// selection. The control's search (TMemoSearch), Replace All and Find in Files all search
// through this class, so the three can never disagree about what a hit is.
#pragma once

#include "REParser.h"
#include "editor/EdTypes.h"
#include "editor/TextStore.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kvx {

// Option bits of a search, one byte.
enum TSearchOption : unsigned {
    soNoDialog = 0x08, // search at once (always set by the callers)
    soMatchCase = 0x10,
    soRegExpr = 0x20,
    soWholeWord = 0x40,
    soBackward = 0x80,
};

// The regular-expression error for a message box: the message, the pattern, and a caret
// under the place the compiler stopped, lines ended by CR LF.
std::string FormatRegExprError(const std::string& message, std::string_view pattern,
                               int errorPosition);

// Where the character after the one at `at` starts: one byte on in a single-byte text, past
// the continuation bytes of a UTF-8 sequence in a UTF-8 one. Stepping by characters keeps a
// search that moves on by itself from stopping, or inserting, inside a character.
TextOffset NextCharOffset(std::string_view text, TextOffset at, bool utf8);

class TTextSearch {
  public:
    struct TError {
        int Code = 0; // a message number; 0 when the last search raised no error
        int Position = 0;
        std::string Message;
    };
    // Which bytes count as word characters for whole-word searches.
    using TWordChars = std::array<bool, 256>;
    // The control's own word characters when no language changes them: letters, digits,
    // "_", "'" and "-", and in a UTF-8 text every byte of a multi-byte character.
    static TWordChars DefaultWordChars(bool utf8);

    TTextSearch() : words_(DefaultWordChars(true)) {}

    void SetWordChars(const TWordChars& words) { words_ = words; }
    const TWordChars& WordChars() const { return words_; }

    // Searches `text` for `pattern` from the range `from` as the editor's search entry does:
    // a plain search forwards takes the first occurrence starting at or after from's start,
    // backwards the last one ending at or before it, and finds nothing from the very end
    // (forwards) or start (backwards); a regular expression searches forwards from from's
    // end, backwards from one before its start. False when nothing was found or on an
    // error, which Error() then holds.
    bool Find(std::string_view text, std::string_view pattern, unsigned options,
              TSelectionRange from, TSelectionRange& hit);
    const TError& Error() const { return error_; }
    void ClearError() { error_ = TError{}; }

    // ---- The pieces, for loops that search the same text many times --------------------
    // Makes the skip tables of a plain search; nothing is done when the pattern (or its
    // caseless form) is the one prepared last.
    void PreparePlain(std::string_view pattern);
    // The first occurrence of the prepared pattern starting at or after `from`, or -1.
    TextOffset PlainForward(std::string_view text, TextOffset from, bool matchCase) const;
    // The last occurrence ending at or before `end`, or -1.
    TextOffset PlainBackward(std::string_view text, TextOffset end, bool matchCase) const;
    // Whether an occurrence at `at` stands as a whole word: `before` is the character in
    // front of it (-1 at the start of the text), the character after it is read from the
    // text. A loop that has changed the text in front passes what is there now.
    bool WholeWordAt(std::string_view text, TextOffset at, size_t length, int before) const;
    bool IsWordChar(unsigned char c) const { return words_[c]; }

    // Compiles a pattern; false with Error() set when it is bad.
    bool CompileRegExpr(std::string_view pattern);
    // Runs the compiled pattern from `start`; false when nothing matched or the search
    // raised (Error() says which). `hit` is the match's start and end.
    bool RegExprFrom(std::string_view text, TextOffset start, bool forward, TSelectionRange& hit);
    TREParser& Parser() { return parser_; }
    const TREParser& Parser() const { return parser_; }

  private:
    bool PlainSearch(std::string_view text, std::string_view pattern, unsigned options,
                     TSelectionRange sel, TSelectionRange& hit);

    TREParser parser_;
    TError error_;
    TWordChars words_;

    // Plain search tables, rebuilt only when the pattern (or its upper-cased form) changes.
    std::string pattern_;
    std::string upper_;
    std::array<int32_t, 256> forwardSkip_{}, backwardSkip_{};
    std::array<int32_t, 256> forwardSkipUpper_{}, backwardSkipUpper_{};
};

} // namespace kvx
