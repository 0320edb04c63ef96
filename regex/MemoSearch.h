// The editor's search entries: find a plain text or a regular expression in a control's
// document, forwards or backwards from its selection, select the hit, and for a replace
// step work out the replacement text. The find and replace dialogs call these.
//
// It lives beside the regular-expression engine rather than in the control so that the
// document core does not depend on the engine; the dialogs hold one per document.
#pragma once

#include "REParser.h"
#include "TextSearch.h"
#include "editor/SyntaxEd.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kvx {

// The replacement text of a regular-expression replace: %N is the text of item N of the
// match (entries N-1 to N of the position list), %% a per cent sign, and the backslash
// escapes give control characters. `text` is the text that was searched.
std::string ExpandReplaceTemplate(std::string_view templ, const TREParser& parser,
                                  std::string_view text);

// Holds the search engine (parser and skip tables) and a copy of the document text that is
// refreshed only after the document has changed. The control, and the store it showed when
// this was made, must outlive it.
class TMemoSearch : private TStoreListener {
  public:
    using TError = TTextSearch::TError;

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
    // The replacement of the last hit: the template expanded for a regular expression,
    // `replacement` as it is for plain text.
    std::string Replacement(std::string_view replacement, unsigned options);
    // What Find and Find Next do: when the selection already holds the search text (by the
    // search's own case rule), the caret goes to the next character after the selection
    // start so that the same occurrence is not found again; then Search. A regular
    // expression goes on from the exact end of the hit it selected last, as long as that
    // selection is untouched, and from the next character after an empty one: a hit the
    // control had to widen or shrink to whole characters, or an empty one, would otherwise
    // be found again and again.
    bool FindNext(std::string_view text, unsigned options, TextOffset& position);

    // A run of searches that share one work budget (every match of a file, a Replace All):
    // while it lives, a regular-expression search that runs away stops the run, instead of
    // each match starting afresh.
    class TRun {
      public:
        explicit TRun(TMemoSearch& search) : parser_(search.Parser()) { parser_.BeginRun(); }
        ~TRun() { parser_.EndRun(); }
        TRun(const TRun&) = delete;
        TRun& operator=(const TRun&) = delete;

      private:
        TREParser& parser_;
    };
    // Asked every so often while a regular-expression search works; a true answer stops it
    // with the error "Search cancelled" (the editor asks whether Escape was pressed).
    void SetCancelCheck(std::function<bool()> check) {
        engine_.Parser().SetCancelCheck(std::move(check));
    }

    const TError& Error() const { return engine_.Error(); }
    TREParser& Parser() { return engine_.Parser(); }
    // The search over the text, with the control's word characters set by the last search.
    TTextSearch& Engine() { return engine_; }
    // Gives the engine the control's word tests as they are now.
    void TakeWordChars();
    TCustomSyntaxMemo& Memo() { return memo_; }
    // The document text as searched last.
    std::string_view Text();

  private:
    void TextInserted(TextOffset, int32_t) override { Changed(); }
    void TextDeleted(TextOffset, int32_t) override { Changed(); }
    void StoreEmptied() override { Changed(); }
    void Changed() {
        stale_ = true;
        lastPattern_.clear();
    }

    TCustomSyntaxMemo& memo_;
    TTextStore* listened_;
    bool stale_ = true;
    std::string text_;
    TTextSearch engine_;
    TSelectionRange hit_;
    // The regular-expression hit FindNext selected last (lastPattern_ empty: none), and the
    // selection the control made of it.
    TSelectionRange lastHit_;
    TSelectionRange lastSelection_;
    std::string lastPattern_;
};

} // namespace kvx
