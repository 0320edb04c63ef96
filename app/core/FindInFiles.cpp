#include "FindInFiles.h"

#include "ShellStrings.h"

#include "editor/Encoding.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include <sys/stat.h>

namespace kvx {

namespace {

// A file size as the user reads it in a note: the limit is usually megabytes, but a small
// one set for a folder of small files should not read "0.0 MB".
std::string SizeText(int64_t bytes) {
    char text[32];
    if (bytes < 1024)
        std::snprintf(text, sizeof text, "%lld bytes", static_cast<long long>(bytes));
    else if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024.0);
    else
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

TFindInFilesItem Note(TFindInFilesItem::TKind kind, const std::string& path, std::string text) {
    TFindInFilesItem item;
    item.Kind = kind;
    item.File = path;
    item.Note = std::move(text);
    return item;
}

std::string RelativePath(std::string_view file, std::string_view folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.remove_suffix(1);
    if (file.size() > folder.size() && file.substr(0, folder.size()) == folder &&
        (folder == "/" || file[folder.size()] == '/'))
        file.remove_prefix(folder.size() + (folder == "/" ? 0 : 1));
    return std::string(file);
}

} // namespace

TResultText FormatResult(const TFindInFilesItem& item, std::string_view folder) {
    TResultText r;
    r.Text = RelativePath(item.File, folder);
    if (item.Kind != TFindInFilesItem::Hit) {
        r.Text += ": " + item.Note;
        return r;
    }
    r.Text +=
        ':' + std::to_string(item.Found.Line) + ':' + std::to_string(item.Found.Column) + ": ";
    r.MarkStart = static_cast<int32_t>(r.Text.size()) + item.Found.MarkStart;
    r.MarkLength = item.Found.MarkLength;
    r.Text += item.Found.LineText;
    r.Target = TJumpTarget{item.File, item.Found.Line, item.Found.Column, item.Found.Length};
    return r;
}

TFindInFiles::TFindInFiles(TFindInFilesRequest request) : request_(std::move(request)) {}

TFindInFiles::~TFindInFiles() {
    Cancel();
    Wait();
}

bool TFindInFiles::Start() {
    if (!threads_.empty())
        return false;
    if (request_.Text.empty()) {
        errorText_ = "There is no text to search for.";
        return false;
    }
    struct stat st {};
    if (::stat(request_.Folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        errorText_ = FormatText("The folder \"%s\" does not exist.", {request_.Folder});
        return false;
    }
    patterns_ = SplitFilePatterns(request_.Patterns);
    if (patterns_.empty())
        patterns_ = SplitFilePatterns(DefaultFilePatterns());
    TFileSearcher probe(request_.Text, request_.Options);
    if (!probe.Ready()) {
        // The caret goes under the character of the pattern as typed.
        const auto& e = probe.Error();
        int before = 0;
        for (int i = 0; i < e.Position && i < static_cast<int>(request_.Text.size()); ++i)
            before += !IsUtf8Continuation(static_cast<unsigned char>(request_.Text[size_t(i)]));
        errorText_ = FormatRegExprError(e.Message, request_.Text, before);
        return false;
    }
    int workers = request_.Threads;
    if (workers <= 0)
        workers = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4);
    threadsLeft_ = workers + 1;
    threads_.emplace_back([this] { Walk(); });
    for (int i = 0; i < workers; ++i)
        threads_.emplace_back([this] { Work(); });
    return true;
}

void TFindInFiles::Cancel() {
    cancelled_ = true;
    stop_ = true;
    std::lock_guard lock(mutex_);
    work_.notify_all();
}

void TFindInFiles::Wait() {
    for (std::thread& t : threads_)
        if (t.joinable())
            t.join();
}

std::vector<TFindInFilesItem> TFindInFiles::Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(out_, {});
}

TFindInFilesProgress TFindInFiles::Progress() const {
    std::lock_guard lock(mutex_);
    TFindInFilesProgress p = progress_;
    p.FilesSearched = filesSearched_;
    p.BytesSearched = bytesSearched_;
    p.Cancelled = cancelled_;
    return p;
}

void TFindInFiles::Notify() {
    if (OnAvailable)
        OnAvailable();
}

void TFindInFiles::Walk() {
    TTreeOptions options;
    options.Patterns = patterns_;
    options.IncludeHidden = request_.IncludeHidden;
    WalkFileTree(
        request_.Folder, options,
        [this](std::string path) {
            std::lock_guard lock(mutex_);
            slots_.push_back({std::move(path), false, {}});
            ++progress_.FilesFound;
            work_.notify_one();
        },
        [this](TTreeProblem problem) {
            {
                std::lock_guard lock(mutex_);
                TFileSlot slot{problem.Path, true, {}};
                slot.Items.push_back(Note(TFindInFilesItem::Failed, problem.Path,
                                          "cannot be read: " + problem.Reason));
                slots_.push_back(std::move(slot));
                Publish();
            }
            Notify();
        },
        [this] { return Stopping(); });
    {
        std::lock_guard lock(mutex_);
        walkDone_ = true;
        work_.notify_all();
        Publish();
        progress_.Finished = --threadsLeft_ == 0;
    }
    Notify();
}

void TFindInFiles::Work() {
    TFileSearcher searcher(request_.Text, request_.Options);
    searcher.Ready();
    searcher.SetCancelCheck([this] { return Stopping(); });
    std::string bytes;
    TDocumentText doc;
    for (;;) {
        size_t index = 0;
        std::string path;
        {
            std::unique_lock lock(mutex_);
            work_.wait(lock, [this] {
                return Stopping() || walkDone_ || nextFile_ < base_ + slots_.size();
            });
            while (nextFile_ < base_ + slots_.size() && slots_[nextFile_ - base_].Done)
                ++nextFile_;
            if (Stopping() || nextFile_ == base_ + slots_.size()) {
                if (Stopping() || walkDone_)
                    break;
                continue;
            }
            index = nextFile_++;
            path = slots_[index - base_].Path;
        }
        std::vector<TFindInFilesItem> items;
        SearchFile(searcher, path, bytes, doc, items);
        {
            std::lock_guard lock(mutex_);
            TFileSlot& slot = slots_[index - base_];
            slot.Items = std::move(items);
            slot.Done = true;
            Publish();
        }
        Notify();
    }
    {
        std::lock_guard lock(mutex_);
        progress_.Finished = --threadsLeft_ == 0;
    }
    Notify();
}

void TFindInFiles::SearchFile(TFileSearcher& searcher, const std::string& path, std::string& bytes,
                              TDocumentText& doc, std::vector<TFindInFilesItem>& items) {
    if (request_.BeforeOpen)
        request_.BeforeOpen(path);
    auto note = [&](TFindInFilesItem::TKind kind, std::string text) {
        items.push_back(Note(kind, path, std::move(text)));
    };
    int64_t size = 0;
    std::string error;
    const TReadStatus status = ReadSourceFile(path, request_.MaxFileSize, bytes, size, error);
    ++filesSearched_;
    switch (status) {
    case TReadStatus::Read:
        break;
    case TReadStatus::Vanished:
        return note(TFindInFilesItem::Skipped, "skipped: it was deleted during the search");
    case TReadStatus::TooLarge:
        return note(TFindInFilesItem::Skipped, "skipped: " + SizeText(size) +
                                                   ", larger than the limit of " +
                                                   SizeText(request_.MaxFileSize));
    case TReadStatus::NotAFile:
        return note(TFindInFilesItem::Skipped, "skipped: no longer a file");
    case TReadStatus::Failed:
        return note(TFindInFilesItem::Failed, "cannot be read: " + error);
    }
    bytesSearched_ += static_cast<int64_t>(bytes.size());
    if (std::memchr(bytes.data(), 0, bytes.size()))
        return note(TFindInFilesItem::Skipped, "skipped: binary file");
    MakeDocumentText(bytes, doc);
    std::vector<TFileHit> hits;
    const bool complete = searcher.Search(doc, hits, request_.MaxHits);
    for (TFileHit& h : hits) {
        TFindInFilesItem item;
        item.File = path;
        item.Found = std::move(h);
        items.push_back(std::move(item));
    }
    if (!complete && !Stopping())
        note(TFindInFilesItem::Failed, "search stopped: " + searcher.Error().Message);
}

void TFindInFiles::Publish() {
    while (!slots_.empty() && slots_.front().Done) {
        for (TFindInFilesItem& item : slots_.front().Items) {
            if (progress_.HitLimitReached)
                break;
            if (item.Kind == TFindInFilesItem::Hit) {
                if (static_cast<size_t>(progress_.Hits) >= request_.MaxHits) {
                    // Enough for any list a person reads; the rest of the tree is not
                    // searched.
                    progress_.HitLimitReached = true;
                    stop_ = true;
                    work_.notify_all();
                    break;
                }
                ++progress_.Hits;
            }
            out_.push_back(std::move(item));
        }
        slots_.pop_front();
        ++base_;
        nextFile_ = std::max(nextFile_, base_);
    }
}

} // namespace kvx
