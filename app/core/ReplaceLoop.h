// The replace dialog's Replace All as a loop the dialog drives one question at a time: find
// the next hit, ask whether to replace it (Yes, No, All, Cancel), go on behind it. Without
// questions, or from the answer All on, the rest of the document is replaced in one edit
// (ReplaceAll). The whole run is one undo step, Replace All (32).
//
// Where the next search starts is the end of the hit or of its replacement, as an offset,
// never selection start plus a selection length that counts line breaks twice; an empty
// match found again at the same place is stepped over by one character, so no pattern can
// make the loop go on for ever.
#pragma once

#include "regex/MemoSearch.h"
#include "regex/ReplaceAll.h"

#include <functional>
#include <optional>
#include <string>

namespace kvx {

enum class TReplaceAnswer { Yes, No, All, Cancel };

class TReplaceLoop {
  public:
    // Pattern and replacement in the document's encoding. The run starts at the top of the
    // document whatever the direction, and the caret goes there. The control must outlive
    // the loop, and nothing else may edit the document while the loop waits for an answer
    // (the question is a modal box).
    TReplaceLoop(TMemoSearch& search, std::string pattern, std::string replacement,
                 unsigned options, bool prompt);
    ~TReplaceLoop();
    TReplaceLoop(const TReplaceLoop&) = delete;
    TReplaceLoop& operator=(const TReplaceLoop&) = delete;

    // For the part replaced in one edit: progress and the cancel check (see ReplaceAll).
    std::function<void(int64_t done, int64_t total)> Progress;
    std::function<bool()> Cancel;

    // Goes on until there is a question to ask (true: Hit() is selected and Replacement()
    // is what would replace it) or the run is over (false: Result()).
    bool Next();
    TSelectionRange Hit() const { return hit_; }
    const std::string& Replacement() const { return replacement_; }
    // The answer to the question Next() stopped at; call Next() again after it.
    void Answer(TReplaceAnswer answer);
    // Runs to the end, asking `ask` each question.
    const TReplaceAllResult& Run(const std::function<TReplaceAnswer()>& ask);

    bool Done() const { return done_; }
    const TReplaceAllResult& Result() const { return result_; }

  private:
    void Finish();
    void ReplaceHit();
    void ReplaceRest();

    TMemoSearch& search_;
    TCustomSyntaxMemo& memo_;
    std::string pattern_;
    std::string template_;
    unsigned options_;
    bool prompt_;
    std::optional<TUndoGroupScope> group_;
    std::optional<TMemoSearch::TRun> run_;
    TextOffset pos_ = 0;      // where the next search starts
    TextOffset emptyAt_ = -1; // an empty match here was replaced or passed over already
    TSelectionRange hit_;
    std::string replacement_;
    bool asking_ = false;
    bool done_ = false;
    TReplaceAllResult result_;
};

} // namespace kvx
