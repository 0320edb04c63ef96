// What the find dialog, the replace dialog and Find Next do, without their widgets: the
// option byte and the controls it comes from, the drop-down histories and their file,
// where a search starts, what OK, Find Next, Replace and Replace All change in the
// document and what they have to tell the user. The Qt dialogs show these and pass the
// user's input in; everything here is tested without a window.
//
// Texts come in and go out as UTF-8, as the user typed them; the document's search runs on
// them in the document's own encoding.
#pragma once

#include "EdPersistent.h"
#include "ReplaceLoop.h"
#include "regex/MemoSearch.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

inline constexpr const char* kCannotStoreReplacement =
    "\"%s\" holds characters that this document's encoding cannot store";
inline constexpr const char* kReplaceAllInterrupted =
    "The document was changed while Replace All was running; nothing was replaced.";

// The check boxes and the direction of either dialog.
struct TSearchControls {
    bool MatchCase = false;
    bool WholeWords = false;
    bool RegExpr = false;
    bool Backward = false;
    bool operator==(const TSearchControls&) const = default;
};
// The option byte the controls stand for (without soNoDialog), and the controls a byte sets.
unsigned OptionsOf(const TSearchControls& controls);
TSearchControls ControlsOf(unsigned options);

// The main window's search state: the search text Find Next looks for, and the options
// handed to a dialog when it opens. Nothing ever changes the options, so each dialog
// opens with its options cleared and the direction forwards.
struct TSearchState {
    std::string Text;
    unsigned Options = 0;
};

// The selection as a search text, as the commands that open a dialog take it: the
// document's characters with each line break as the one CR the search sees (a text with
// CR LF pairs would never be found), in UTF-8. Empty for an empty selection.
std::string SearchTextFromSelection(TCustomSyntaxMemo& memo);

// One drop-down list of earlier texts, most recent first. Lookups ignore ASCII letter case.
// A text that could not be stored as one entry of the history file (empty, holding a line
// break, too long) is never listed, so neither the list nor the file can be split or ended
// by it.
class THistoryList {
  public:
    void Load(std::vector<std::string> stored);
    const std::vector<std::string>& Entries() const { return entries_; }
    // Where the text stands in the list, or -1.
    int IndexOf(std::string_view text) const;
    // When a dialog is shown: a text not listed goes to the end. Its index, or -1 when it
    // cannot be listed.
    int Show(std::string_view text);
    // When a search or replacement is made: a text not listed goes to the top.
    void AddAtTop(std::string_view text);
    // The list to store, given what the file holds now: the texts this list put at the top
    // since it was loaded, then the file's own (the other dialog may have stored newer
    // ones meanwhile), then the texts it put at the end. Nothing either dialog added is
    // lost to the other's older copy.
    std::vector<std::string> Merged(const std::vector<std::string>& onDisk) const;

  private:
    std::vector<std::string> entries_;
    std::vector<std::string> top_; // added at the top since loaded, most recent first
    std::vector<std::string> end_; // added at the end since loaded
};

// What a search or replacement has to tell the user: an error box first (a bad pattern, a
// search that ran out of its work budget), then an information box. Either may be empty.
struct TSearchReport {
    enum TOutcome {
        Found,    // the hit is selected
        NotFound, // Message says so
        Failed,   // ErrorBox says why
        Nothing,  // nothing was done: an empty search text, a cancelled search, a No
    };
    TOutcome Outcome = Nothing;
    TSelectionRange Hit;
    int64_t Replaced = 0;
    std::string ErrorBox;
    std::string Message;
};

// The find dialog (modal): OK searches and the dialog stays open until Cancel.
class TFindDialogLogic {
  public:
    explicit TFindDialogLogic(TEdPersistent& store) : store_(store) {}

    // The dialog is shown for `state`: the history is read, the search text listed and
    // selected (SelectedIndex; -1: put the text in the box without a list entry), the
    // controls set from the options.
    void Show(const TSearchState& state);
    THistoryList& History() { return history_; }
    int SelectedIndex() const { return selected_; }
    const std::string& Text() const { return text_; }
    TSearchControls Controls;

    // OK with the text in the box: listed in the history, then searched for.
    TSearchReport Ok(TMemoSearch& search, std::string_view boxText);
    // Find Next: the text, with the controls as the dialog was last left; the history is
    // not touched. Nothing happens for an empty text.
    TSearchReport FindNext(TMemoSearch& search, std::string_view text);
    // The dialog closes: with Cancel (or Escape) the main window's search text takes the
    // box text, the close box leaves it. The history is stored either way; false when the
    // file could not be written.
    bool Close(TSearchState& state, std::string_view boxText, bool cancelled);

  private:
    TEdPersistent& store_;
    THistoryList history_;
    std::string text_;
    int selected_ = -1;
};

// The replace dialog (modeless): Replace (OK) and Replace All act on the document it was
// last opened for, which the dialog must stop using when that document closes.
class TReplaceDialogLogic {
  public:
    explicit TReplaceDialogLogic(TEdPersistent& store) : store_(store) {}

    void Show(const TSearchState& state);
    THistoryList& FindHistory() { return find_; }
    THistoryList& ReplaceHistory() { return replace_; }
    int SelectedIndex() const { return selected_; }
    TSearchControls Controls;

    // Asked before each replacement when prompting: the question text ("Replace this
    // instance of ... with ... ?") and whether All may be answered.
    using TAsk = std::function<TReplaceAnswer(const std::string& question, bool offerAll)>;

    // Replace (OK): the next hit from the selection (the selected hit is stepped over as
    // Find does); with `prompt` the user is asked (Yes, No, Cancel), else it is replaced.
    TSearchReport Replace(TMemoSearch& search, std::string_view findText,
                          std::string_view replaceText, bool prompt, const TAsk& ask);
    // Replace All from the top of the document, whatever the direction; with `prompt` each
    // hit is asked about (Yes, No, All, Cancel). One undo step. No count or end message,
    // only errors are reported. `progress` and `cancel` serve the part replaced in one edit.
    TSearchReport ReplaceAll(TMemoSearch& search, std::string_view findText,
                             std::string_view replaceText, bool prompt, const TAsk& ask,
                             std::function<void(int64_t, int64_t)> progress = {},
                             std::function<bool()> cancel = {});
    // Both histories are stored; false when the file could not be written.
    bool Close();

  private:
    void Remember(std::string_view findText, std::string_view replaceText);

    TEdPersistent& store_;
    THistoryList find_;
    THistoryList replace_;
    int selected_ = -1;
};

} // namespace kvx
