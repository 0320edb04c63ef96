// The editor's search entries: find a plain text or a regular expression in a control's
// document, forwards or backwards from its selection, select the hit, and for a replace
// step work out the replacement text. The find and replace dialogs call these.
//
// It lives beside the regular-expression engine rather than in the control so that the
// document core does not depend on the engine; the dialogs hold one per document.
#pragma once

#include "REParser.h"
#include "editor/SyntaxEd.h"

#include <array>
#include <cstdint>
#include <functional>
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

// The replacement text of a regular-expression replace: %N is the text of item N of the
// match (entries N-1 to N of the position list), %% a per cent sign, and the backslash
// escapes give control characters. `text` is the text that was searched.
std::string ExpandReplaceTemplate(std::string_view templ, const TREParser& parser,
                                  std::string_view text);

// Holds the parser, the skip tables of the plain search and a copy of the document text
// that is refreshed only after the document has changed. The control, and the store it
// showed when this was made, must outlive it.
class TMemoSearch : private TStoreListener {
  public:
    explicit TMemoSearch(TCustomSyntaxMemo& memo);
    ~TMemoSearch() override;
    TMemoSearch(const TMemoSearch&) = delete;
    TMemoSearch& operator=(const TMemoSearch&) = delete;

    // Finds `text` from the selection as `options` say and selects the hit. `position` gets
    // the hit's start. False when nothing was found or the pattern is bad; then Error()
    // says whether there was an error to show.
    bool Search(std::string_view text, unsigned options, TextOffset& position);
    // The same from a given range instead of the selection. The hit is still selected, but
    // the control may move a selection to a character boundary: Hit() is the exact range.
    bool SearchFrom(TSelectionRange from, std::string_view text, unsigned options,
                    TextOffset& position);
    // The range of the last hit, as found.
    TSelectionRange Hit() const { return hit_; }
    // Search, then the replacement for the hit (the template expanded for a regular
    // expression, `replacement` as it is for plain text). The hit is left selected.
    bool ReplaceStep(std::string_view text, std::string_view replacement, unsigned options,
                     std::string& result, TextOffset& position);
    // What Find and Find Next do: when the selection already holds the search text (by the
    // search's own case rule), the caret goes one past the selection start so that the same
    // occurrence is not found again; then Search. An empty pattern match that FindNext
    // selected itself is stepped over the same way, one character on.
    bool FindNext(std::string_view text, unsigned options, TextOffset& position);

    // A run of searches that share one work budget (every match of a file, a Replace All):
    // while it lives, a regular-expression search that runs away stops the run, instead of
    // each match starting afresh.
    class TRun {
      public:
        explicit TRun(TMemoSearch& search) : parser_(search.parser_) { parser_.BeginRun(); }
        ~TRun() { parser_.EndRun(); }
        TRun(const TRun&) = delete;
        TRun& operator=(const TRun&) = delete;

      private:
        TREParser& parser_;
    };
    // Asked every so often while a regular-expression search works; a true answer stops it
    // with the error "Search cancelled" (the editor asks whether Escape was pressed).
    void SetCancelCheck(std::function<bool()> check) { parser_.SetCancelCheck(std::move(check)); }

    struct TError {
        int Code = 0; // a message number; 0 when the last search raised no error
        int Position = 0;
        std::string Message;
    };
    const TError& Error() const { return error_; }
    TREParser& Parser() { return parser_; }
    // The document text as searched last.
    std::string_view Text();

  private:
    void TextInserted(TextOffset, int32_t) override { Changed(); }
    void TextDeleted(TextOffset, int32_t) override { Changed(); }
    void StoreEmptied() override { Changed(); }
    void Changed() {
        stale_ = true;
        emptyHit_ = -1;
    }

    bool PlainSearch(std::string_view text, unsigned options, TSelectionRange sel,
                     TextOffset& position);
    TextOffset PlainForward(std::string_view doc, TextOffset from, bool matchCase);
    TextOffset PlainBackward(std::string_view doc, TextOffset end, bool matchCase);
    bool WholeWordAt(std::string_view doc, TextOffset at, size_t length);
    bool RegExprSearch(std::string_view pattern, unsigned options, TSelectionRange sel,
                       TextOffset& position);

    TCustomSyntaxMemo& memo_;
    TTextStore* listened_;
    bool stale_ = true;
    std::string text_;
    TREParser parser_;
    TError error_;
    TSelectionRange hit_;
    // An empty match of emptyHitPattern_ that FindNext selected last: where it is (-1:
    // none) and where the control put the caret for it (a character boundary).
    TextOffset emptyHit_ = -1;
    TextOffset emptyHitCaret_ = -1;
    std::string emptyHitPattern_;

    // Plain search tables, rebuilt only when the pattern (or its upper-cased form) changes.
    std::string pattern_;
    std::string upper_;
    std::array<int32_t, 256> forwardSkip_{}, backwardSkip_{};
    std::array<int32_t, 256> forwardSkipUpper_{}, backwardSkipUpper_{};
};

} // namespace kvx
