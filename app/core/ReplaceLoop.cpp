#include "ReplaceLoop.h"

namespace kvx {

TReplaceLoop::TReplaceLoop(TMemoSearch& search, std::string pattern, std::string replacement,
                           unsigned options, bool prompt)
    : search_(search), memo_(search.Memo()), pattern_(std::move(pattern)),
      template_(std::move(replacement)), options_((options | soNoDialog) & ~soBackward),
      prompt_(prompt) {
    if (memo_.ReadOnly || pattern_.empty()) {
        done_ = true;
        return;
    }
    group_.emplace(memo_, ugReplaceAll);
    run_.emplace(search_);
    memo_.SetSelection(0, 0);
}

TReplaceLoop::~TReplaceLoop() {
    Finish();
}

void TReplaceLoop::Finish() {
    done_ = true;
    asking_ = false;
    run_.reset();
    group_.reset();
}

bool TReplaceLoop::Next() {
    if (done_)
        return false;
    if (asking_)
        return true;
    if (!prompt_) {
        ReplaceRest();
        return false;
    }
    for (;;) {
        TextOffset position = 0;
        if (!search_.SearchFrom({pos_, pos_}, pattern_, options_, position)) {
            result_.Error = search_.Error();
            result_.Cancelled = result_.Error.Code == msgRESearchCancelled;
            Finish();
            return false;
        }
        hit_ = search_.Hit();
        if (hit_.Empty() && hit_.Start() == emptyAt_) {
            // Asked about (or replaced) this empty match already: one character on.
            pos_ = NextCharOffset(search_.Text(), hit_.Start(), memo_.Store().Utf8());
            if (pos_ > memo_.TextLength()) {
                Finish();
                return false;
            }
            continue;
        }
        replacement_ = search_.Replacement(template_, options_);
        asking_ = true;
        return true;
    }
}

void TReplaceLoop::Answer(TReplaceAnswer answer) {
    if (!asking_)
        return;
    asking_ = false;
    switch (answer) {
    case TReplaceAnswer::Yes:
        ReplaceHit();
        break;
    case TReplaceAnswer::No:
        pos_ = hit_.End();
        emptyAt_ = hit_.Empty() ? hit_.Start() : -1;
        break;
    case TReplaceAnswer::All:
        ReplaceHit();
        prompt_ = false;
        break;
    case TReplaceAnswer::Cancel:
        result_.Cancelled = true;
        Finish();
        break;
    }
}

void TReplaceLoop::ReplaceHit() {
    memo_.ReplaceRange(hit_.Start(), hit_.End(), replacement_);
    ++result_.Count;
    pos_ = memo_.Selection().Caret;
    // Behind an empty match's replacement the same empty match is found again.
    emptyAt_ = hit_.Empty() ? pos_ : -1;
}

void TReplaceLoop::ReplaceRest() {
    TReplaceAllRequest request;
    request.Pattern = pattern_;
    request.Replacement = template_;
    request.Options = options_;
    request.From = pos_;
    request.EmptyAt = emptyAt_;
    request.Progress = Progress;
    request.Cancel = Cancel;
    const TReplaceAllResult rest = ReplaceAll(search_, request);
    result_.Count += rest.Count;
    result_.Cancelled = rest.Cancelled;
    result_.DocumentChanged = rest.DocumentChanged;
    result_.Error = rest.Error;
    Finish();
}

const TReplaceAllResult& TReplaceLoop::Run(const std::function<TReplaceAnswer()>& ask) {
    while (Next())
        Answer(ask ? ask() : TReplaceAnswer::Cancel);
    return result_;
}

} // namespace kvx
