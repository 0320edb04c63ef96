#include "FindReplace.h"

#include "IniFile.h"
#include "ShellStrings.h"

#include "editor/Encoding.h"

namespace kvx {

namespace {

bool Utf8Document(TMemoSearch& search) {
    return search.Memo().Store().Utf8();
}

// The error box of a failed regular-expression search: the message, the pattern and a
// caret under the place of the error, counted in characters of the pattern as typed.
std::string ErrorBoxText(const TMemoSearch::TError& error, std::string_view typed,
                         std::string_view encoded, bool utf8) {
    int before = 0;
    const auto end =
        std::min<size_t>(static_cast<size_t>(std::max(0, error.Position)), encoded.size());
    for (size_t i = 0; i < end; ++i)
        if (!utf8 || !IsUtf8Continuation(static_cast<unsigned char>(encoded[i])))
            ++before;
    return FormatRegExprError(error.Message, typed, before);
}

// What a search that found nothing has to say. A pattern that does not compile shows its
// error and then the not-found message; a search that stopped (its work budget, too many
// recorded positions) shows only its error, since the text may well be there; a cancelled
// one says nothing.
TSearchReport NotFoundReport(TMemoSearch& search, std::string_view typed,
                             std::string_view encoded) {
    TSearchReport report;
    const TMemoSearch::TError& error = search.Error();
    if (error.Code == msgRESearchCancelled)
        return report;
    if (error.Code != 0) {
        report.ErrorBox = ErrorBoxText(error, typed, encoded, Utf8Document(search));
        if (search.Parser().Compiled()) {
            report.Outcome = TSearchReport::Failed;
            return report;
        }
    }
    report.Outcome = TSearchReport::NotFound;
    report.Message = FormatText(kNotFoundMessage, {typed});
    return report;
}

// Find and Find Next: the selected hit is stepped over (by the search's case rule), then
// the search runs from the selection.
TSearchReport FindText(TMemoSearch& search, std::string_view typed, unsigned options) {
    std::string pattern;
    // A text the document's encoding cannot hold cannot be in it.
    if (!FromUtf8(typed, Utf8Document(search), pattern)) {
        TSearchReport report;
        report.Outcome = TSearchReport::NotFound;
        report.Message = FormatText(kNotFoundMessage, {typed});
        return report;
    }
    TextOffset position = 0;
    if (!search.FindNext(pattern, options | soNoDialog, position))
        return NotFoundReport(search, typed, pattern);
    TSearchReport report;
    report.Outcome = TSearchReport::Found;
    report.Hit = search.Hit();
    return report;
}

bool IsListable(std::string_view text) {
    return THistoryLines::CanStore(text);
}

void AddMissing(std::vector<std::string>& out, const std::vector<std::string>& from) {
    for (const std::string& e : from) {
        bool listed = false;
        for (const std::string& o : out)
            listed = listed || SameTextAscii(o, e);
        if (!listed)
            out.push_back(e);
    }
}

} // namespace

unsigned OptionsOf(const TSearchControls& c) {
    return (c.MatchCase ? soMatchCase : 0u) | (c.RegExpr ? soRegExpr : 0u) |
           (c.WholeWords ? soWholeWord : 0u) | (c.Backward ? soBackward : 0u);
}

TSearchControls ControlsOf(unsigned options) {
    TSearchControls c;
    c.MatchCase = options & soMatchCase;
    c.WholeWords = options & soWholeWord;
    c.RegExpr = options & soRegExpr;
    c.Backward = options & soBackward;
    return c;
}

std::string SearchTextFromSelection(TCustomSyntaxMemo& memo) {
    const TSelectionRange sel = memo.Selection();
    if (sel.Empty())
        return {};
    return ToUtf8(memo.Store().GetText(sel.Start(), sel.End()), memo.Store().Utf8());
}

// ---- THistoryList ------------------------------------------------------------------------

void THistoryList::Load(std::vector<std::string> stored) {
    entries_.clear();
    for (std::string& e : stored)
        if (IsListable(e) && IndexOf(e) < 0)
            entries_.push_back(std::move(e));
    top_.clear();
    end_.clear();
}

int THistoryList::IndexOf(std::string_view text) const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (SameTextAscii(entries_[i], text))
            return static_cast<int>(i);
    return -1;
}

int THistoryList::Show(std::string_view text) {
    if (!IsListable(text))
        return -1;
    if (const int at = IndexOf(text); at >= 0)
        return at;
    entries_.emplace_back(text);
    end_.emplace_back(text);
    return static_cast<int>(entries_.size()) - 1;
}

void THistoryList::AddAtTop(std::string_view text) {
    if (!IsListable(text) || IndexOf(text) >= 0)
        return;
    entries_.emplace(entries_.begin(), text);
    top_.emplace(top_.begin(), text);
}

std::vector<std::string> THistoryList::Merged(const std::vector<std::string>& onDisk) const {
    std::vector<std::string> out;
    AddMissing(out, top_);
    AddMissing(out, onDisk);
    AddMissing(out, end_);
    if (out.size() > THistoryLines::kMaxEntries)
        out.resize(THistoryLines::kMaxEntries);
    return out;
}

// ---- TFindDialogLogic ----------------------------------------------------------------------

void TFindDialogLogic::Show(const TSearchState& state) {
    history_.Load(store_.FindHistory());
    text_ = state.Text;
    selected_ = history_.Show(state.Text);
    Controls = ControlsOf(state.Options);
}

TSearchReport TFindDialogLogic::Ok(TMemoSearch& search, std::string_view boxText) {
    // An empty search does nothing, and is not remembered.
    if (boxText.empty())
        return {};
    history_.AddAtTop(boxText);
    text_ = boxText;
    return FindText(search, boxText, OptionsOf(Controls));
}

TSearchReport TFindDialogLogic::FindNext(TMemoSearch& search, std::string_view text) {
    if (text.empty())
        return {};
    return FindText(search, text, OptionsOf(Controls));
}

bool TFindDialogLogic::Close(TSearchState& state, std::string_view boxText, bool cancelled) {
    if (cancelled)
        state.Text = boxText;
    return store_.StoreFindHistory(history_.Merged(store_.FindHistory()));
}

// ---- TReplaceDialogLogic -------------------------------------------------------------------

void TReplaceDialogLogic::Show(const TSearchState& state) {
    find_.Load(store_.FindHistory());
    replace_.Load(store_.ReplaceHistory());
    selected_ = state.Text.empty() ? -1 : find_.Show(state.Text);
    Controls = ControlsOf(state.Options);
}

void TReplaceDialogLogic::Remember(std::string_view findText, std::string_view replaceText) {
    find_.AddAtTop(findText);
    replace_.AddAtTop(replaceText);
}

TSearchReport TReplaceDialogLogic::Replace(TMemoSearch& search, std::string_view findText,
                                           std::string_view replaceText, bool prompt,
                                           const TAsk& ask) {
    if (findText.empty())
        return {};
    Remember(findText, replaceText);
    std::string replacement;
    if (!FromUtf8(replaceText, Utf8Document(search), replacement)) {
        TSearchReport report;
        report.Outcome = TSearchReport::Failed;
        report.ErrorBox = FormatText(kCannotStoreReplacement, {replaceText});
        return report;
    }
    const unsigned options = OptionsOf(Controls);
    TSearchReport report = FindText(search, findText, options);
    if (report.Outcome != TSearchReport::Found)
        return report;
    const std::string result = search.Replacement(replacement, options);
    if (prompt) {
        const std::string question =
            FormatText(kReplacePrompt, {findText, ToUtf8(result, Utf8Document(search))});
        // Anything but Yes leaves the hit selected.
        if (!ask || ask(question, false) != TReplaceAnswer::Yes)
            return report;
    }
    TCustomSyntaxMemo& memo = search.Memo();
    if (memo.ReadOnly)
        return report;
    TUndoGroupScope group(memo, ugReplaceSelection);
    memo.ReplaceRange(report.Hit.Start(), report.Hit.End(), result);
    report.Replaced = 1;
    return report;
}

TSearchReport TReplaceDialogLogic::ReplaceAll(TMemoSearch& search, std::string_view findText,
                                              std::string_view replaceText, bool prompt,
                                              const TAsk& ask,
                                              std::function<void(int64_t, int64_t)> progress,
                                              std::function<bool()> cancel) {
    TSearchReport report;
    if (findText.empty())
        return report;
    Remember(findText, replaceText);
    const bool utf8 = Utf8Document(search);
    std::string pattern, replacement;
    // Not found ends a Replace All silently; a text the document cannot hold is not there.
    if (!FromUtf8(findText, utf8, pattern))
        return report;
    if (!FromUtf8(replaceText, utf8, replacement)) {
        report.Outcome = TSearchReport::Failed;
        report.ErrorBox = FormatText(kCannotStoreReplacement, {replaceText});
        return report;
    }
    TReplaceLoop loop(search, pattern, replacement, OptionsOf(Controls), prompt);
    loop.Progress = std::move(progress);
    loop.Cancel = std::move(cancel);
    const TReplaceAllResult& result = loop.Run([&] {
        const std::string question =
            FormatText(kReplacePrompt, {findText, ToUtf8(loop.Replacement(), utf8)});
        return ask ? ask(question, true) : TReplaceAnswer::Cancel;
    });
    report.Replaced = result.Count;
    if (result.DocumentChanged) {
        report.Outcome = TSearchReport::Failed;
        report.ErrorBox = kReplaceAllInterrupted;
    } else if (result.Error.Code != 0 && !result.Cancelled) {
        report.Outcome = TSearchReport::Failed;
        report.ErrorBox = ErrorBoxText(result.Error, findText, pattern, utf8);
    } else if (result.Count > 0) {
        report.Outcome = TSearchReport::Found;
    }
    return report;
}

bool TReplaceDialogLogic::Close() {
    const bool find = store_.StoreFindHistory(find_.Merged(store_.FindHistory()));
    const bool replace = store_.StoreReplaceHistory(replace_.Merged(store_.ReplaceHistory()));
    return find && replace;
}

} // namespace kvx
