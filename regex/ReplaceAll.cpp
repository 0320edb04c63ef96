#include "ReplaceAll.h"

#include <algorithm>

namespace kvx {

namespace {

// How often the run reports and asks whether to stop: every this many bytes of text
// passed, or this many replacements, whichever comes first.
constexpr int64_t kReportBytes = int64_t(1) << 20;
constexpr int64_t kReportCount = int64_t(1) << 16;

// The replacement as inserting it would store it: line feeds and CR LF pairs as single
// CRs, other control bytes as ".".
void AppendStored(std::string& out, std::string_view replacement) {
    const size_t at = out.size();
    out.resize(at + replacement.size());
    TTextNormalizer norm;
    out.resize(at + norm.Run(replacement.data(), replacement.size(), out.data() + at));
}

// Builds the new text from the first hit on: the untouched text between hits is copied,
// each hit replaced.
class TPlanBuilder {
  public:
    TPlanBuilder(std::string_view text, TReplacePlan& plan) : text_(text), plan_(plan) {}

    void Replace(TSelectionRange hit, std::string_view replacement) {
        if (plan_.Count == 0) {
            plan_.SpanStart = plan_.SpanEnd = hit.Start();
            // Most runs change a text's size only a little: room for the rest of it saves
            // the copies of growing a string of many megabytes.
            plan_.NewText.reserve(text_.size() - static_cast<size_t>(hit.Start()) + 64);
        }
        plan_.NewText.append(text_.substr(static_cast<size_t>(plan_.SpanEnd),
                                          static_cast<size_t>(hit.Start() - plan_.SpanEnd)));
        AppendStored(plan_.NewText, replacement);
        plan_.SpanEnd = hit.End();
        ++plan_.Count;
    }

    // The character in front of `at` in the text as the replacements so far have made it
    // (-1: none).
    int Before(TextOffset at) const {
        if (plan_.Count > 0 && at == plan_.SpanEnd) {
            if (!plan_.NewText.empty())
                return static_cast<unsigned char>(plan_.NewText.back());
            at = plan_.SpanStart;
        }
        return at > 0 ? static_cast<unsigned char>(text_[static_cast<size_t>(at) - 1]) : -1;
    }

  private:
    std::string_view text_;
    TReplacePlan& plan_;
};

// Calls the progress and cancel callbacks when the run has come far enough since the last
// call; true when the run is to stop.
class TReporter {
  public:
    TReporter(const TReplaceAllRequest& request, int64_t total)
        : request_(request), total_(total) {}

    bool Due(int64_t done, int64_t count) {
        if (done < nextBytes_ && count < nextCount_)
            return false;
        nextBytes_ = done + kReportBytes;
        nextCount_ = count + kReportCount;
        if (request_.Progress)
            request_.Progress(done, total_);
        return request_.Cancel && request_.Cancel();
    }
    void Finish() {
        if (request_.Progress)
            request_.Progress(total_, total_);
    }

  private:
    const TReplaceAllRequest& request_;
    int64_t total_;
    int64_t nextBytes_ = kReportBytes;
    int64_t nextCount_ = kReportCount;
};

void PlanPlain(TTextSearch& engine, std::string_view text, const TReplaceAllRequest& request,
               TReplacePlan& plan) {
    const auto n = static_cast<TextOffset>(text.size());
    const auto m = static_cast<TextOffset>(request.Pattern.size());
    const bool matchCase = request.Options & soMatchCase;
    const bool whole = request.Options & soWholeWord;
    std::string stored;
    AppendStored(stored, request.Replacement);
    engine.PreparePlain(request.Pattern);
    TPlanBuilder builder(text, plan);
    TReporter reporter(request, n - request.From);
    // A plain search from the very end finds nothing, as the search entry has it.
    for (TextOffset pos = request.From; pos < n;) {
        TextOffset at = -1;
        for (TextOffset from = pos;;) {
            at = engine.PlainForward(text, from, matchCase);
            if (at < 0 || !whole ||
                engine.WholeWordAt(text, at, request.Pattern.size(), builder.Before(at)))
                break;
            from = at + 1;
        }
        if (at < 0)
            break;
        builder.Replace({at, at + m}, stored);
        pos = at + m;
        if (reporter.Due(pos - request.From, plan.Count)) {
            plan.Cancelled = true;
            return;
        }
    }
    reporter.Finish();
}

void PlanRegExpr(TTextSearch& engine, std::string_view text, const TReplaceAllRequest& request,
                 bool utf8, TReplacePlan& plan) {
    if (!engine.CompileRegExpr(request.Pattern)) {
        plan.Error = engine.Error();
        return;
    }
    TREParser& parser = engine.Parser();
    parser.SetCancelCheck(request.Cancel);
    // One work budget for the whole run: a pattern that runs away stops the run, instead of
    // every hit starting with a fresh allowance.
    parser.BeginRun();
    struct TEnd {
        TREParser& p;
        ~TEnd() {
            p.EndRun();
            p.SetCancelCheck(nullptr);
        }
    } end{parser};

    const auto n = static_cast<TextOffset>(text.size());
    TPlanBuilder builder(text, plan);
    TReporter reporter(request, n - request.From + 1);
    TextOffset emptyAt = request.EmptyAt; // where the last replaced empty match was
    for (TextOffset pos = request.From; pos <= n;) {
        TSelectionRange hit;
        if (!engine.RegExprFrom(text, pos, true, hit)) {
            if (engine.Error().Code != 0) {
                plan.Error = engine.Error();
                plan.Cancelled = plan.Error.Code == msgRESearchCancelled;
            }
            break;
        }
        // A match that begins before where the search started, or ends before it begins,
        // cannot be replaced behind what is already replaced; such a match is passed over.
        const bool sane = hit.Start() >= pos && hit.End() >= hit.Start() && hit.End() <= n;
        if (!sane || (hit.Empty() && hit.Start() == emptyAt)) {
            // The same empty match as last time ($ before a break, x* anywhere): replacing it
            // again would never end. Go on one character later.
            pos = NextCharOffset(text, std::max(pos, hit.Start()), utf8);
            continue;
        }
        builder.Replace(hit, ExpandReplaceTemplate(request.Replacement, parser, text));
        emptyAt = hit.Empty() ? hit.Start() : -1;
        pos = hit.End();
        if (reporter.Due(pos - request.From, plan.Count)) {
            plan.Cancelled = true;
            return;
        }
    }
    if (!plan.Error.Code)
        reporter.Finish();
}

// Hears whether the document changes while a run waits in a callback.
class TEditWatch : private TStoreListener {
  public:
    explicit TEditWatch(TTextStore& store) : store_(store) { store_.AddListener(this); }
    ~TEditWatch() override { store_.RemoveListener(this); }
    TEditWatch(const TEditWatch&) = delete;
    TEditWatch& operator=(const TEditWatch&) = delete;
    bool Edited() const { return edited_; }

  private:
    void TextInserted(TextOffset, int32_t) override { edited_ = true; }
    void TextDeleted(TextOffset, int32_t) override { edited_ = true; }
    void StoreEmptied() override { edited_ = true; }

    TTextStore& store_;
    bool edited_ = false;
};

} // namespace

TReplacePlan PlanReplaceAll(TTextSearch& engine, std::string_view text,
                            const TReplaceAllRequest& request, bool utf8) {
    TReplacePlan plan;
    engine.ClearError();
    if (request.Pattern.empty() || request.From < 0 ||
        request.From > static_cast<TextOffset>(text.size()))
        return plan;
    if (request.Options & soRegExpr)
        PlanRegExpr(engine, text, request, utf8, plan);
    else
        PlanPlain(engine, text, request, plan);
    return plan;
}

TUndoGroupScope::TUndoGroupScope(TCustomSyntaxMemo& memo, int32_t code) : memo_(memo), code_(code) {
    const TUndoStack* log = memo.Store().UndoLog();
    opened_ = log && memo.RecordingEnabled() && !log->GroupOpen();
    if (opened_)
        memo_.BeginUndoGroup(code_);
}

TUndoGroupScope::~TUndoGroupScope() {
    if (opened_)
        memo_.EndUndoGroup(code_);
}

TReplaceAllResult ReplaceAll(TMemoSearch& search, const TReplaceAllRequest& request) {
    TReplaceAllResult result;
    TCustomSyntaxMemo& memo = search.Memo();
    if (memo.ReadOnly)
        return result;
    // An engine of its own: a callback that lets the interface run may search with the
    // control's engine (Find Next), which must not change the pattern under this run.
    TTextSearch engine;
    search.TakeWordChars();
    engine.SetWordChars(search.Engine().WordChars());
    const std::string_view text = search.Text();
    TReplacePlan plan;
    {
        TEditWatch watch(memo.Store());
        // An edit in a callback ends the run at once: the text searched is the search's
        // copy, which a Find Next after the edit would make afresh under the run's feet.
        TReplaceAllRequest watched = request;
        watched.Cancel = [&] { return (request.Cancel && request.Cancel()) || watch.Edited(); };
        plan = PlanReplaceAll(engine, text, watched, memo.Store().Utf8());
        if (watch.Edited()) {
            result.DocumentChanged = true;
            return result;
        }
    }
    result.Error = plan.Error;
    result.Cancelled = plan.Cancelled;
    if (plan.Failed() || plan.Count == 0)
        return result;
    TUndoGroupScope group(memo, ugReplaceAll);
    TPaintLock lock(memo);
    memo.ReplaceRange(plan.SpanStart, plan.SpanEnd, plan.NewText);
    result.Count = plan.Count;
    return result;
}

} // namespace kvx
