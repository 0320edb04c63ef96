// Replace All as one edit. The hits are found and the new text is built on a copy of the
// document's text; then the span from the first hit to the end of the last goes into the
// document in one piece, as one undo step. Replacing a million hits one edit at a time
// would cut rows again, notify and repaint a million times, and leave a million steps to
// undo.
//
// The result is exactly what the replace loop of the replace dialog makes, one hit after
// the other: each search starts behind the text the last replacement put in, a whole-word
// test sees the replaced text in front of a hit, and a replacement is normalised on its
// own, as inserting it would normalise it.
#pragma once

#include "MemoSearch.h"
#include "TextSearch.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kvx {

struct TReplaceAllRequest {
    std::string_view Pattern;     // in the document's encoding
    std::string_view Replacement; // a template for a regular expression, else the text itself
    unsigned Options = 0;         // soMatchCase, soWholeWord, soRegExpr; the direction is not used
    TextOffset From = 0;          // where the first search starts
    // An empty match at this offset was dealt with already (a loop that asked about it):
    // finding it again, the run steps over it.
    TextOffset EmptyAt = -1;
    // How far the run has come: bytes of the text behind the search and of the whole
    // stretch it covers. Called every megabyte or so, and once at the end.
    std::function<void(int64_t done, int64_t total)> Progress;
    // Asked as often, and by a regular-expression search every quarter million steps; true
    // stops the run with what it has replaced so far.
    std::function<bool()> Cancel;
};

// What a Replace All does to a text: [SpanStart, SpanEnd) becomes NewText.
struct TReplacePlan {
    TextOffset SpanStart = 0;
    TextOffset SpanEnd = 0;
    std::string NewText; // in stored form: line breaks as single CRs, no other control bytes
    int64_t Count = 0;
    // Stopped by the cancel check: the plan holds the replacements made before it.
    bool Cancelled = false;
    // The search failed (a bad pattern, a search over its work budget): the plan must not be
    // applied, so that such a run changes nothing.
    TTextSearch::TError Error;
    bool Failed() const { return Error.Code != 0 && !Cancelled; }
};

// Plans the replacements in `text` with `engine` (its word characters decide whole words;
// the parser runs under one work budget for the whole run). `utf8` is the text's encoding:
// a search that finds the same empty match again moves on by one character of it. Uses
// nothing but its arguments, so it may run on any thread.
TReplacePlan PlanReplaceAll(TTextSearch& engine, std::string_view text,
                            const TReplaceAllRequest& request, bool utf8);

// Opens an undo group for the life of the scope unless one is open already, which then takes
// in what the scope records; no way out leaves the group open.
class TUndoGroupScope {
  public:
    TUndoGroupScope(TCustomSyntaxMemo& memo, int32_t code);
    ~TUndoGroupScope();
    TUndoGroupScope(const TUndoGroupScope&) = delete;
    TUndoGroupScope& operator=(const TUndoGroupScope&) = delete;

  private:
    TCustomSyntaxMemo& memo_;
    int32_t code_;
    bool opened_ = false;
};

struct TReplaceAllResult {
    int64_t Count = 0;
    bool Cancelled = false;
    // The document was edited while the run waited in a callback: nothing was replaced.
    bool DocumentChanged = false;
    TTextSearch::TError Error; // when the search failed: nothing was replaced
};

// Replace All on a control, on the interface thread: plans on the document's text as it is
// now, then puts the plan in with one edit inside an undo group Replace All (32), so that
// one Undo takes it all back; a cancelled run puts in what it has. The callbacks may let
// the interface run (to show progress and hear Escape), but must not destroy the control;
// an edit of the document meanwhile is noticed and the run then changes nothing.
TReplaceAllResult ReplaceAll(TMemoSearch& search, const TReplaceAllRequest& request);

} // namespace kvx
