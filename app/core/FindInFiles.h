// Find in Files: searches the files of a folder tree for a text or pattern, with the find
// dialog's options, on threads of its own. One thread walks the tree; the others read,
// decode and search the files. What they find is handed out in the order of the walk
// (whatever thread finished first), through Take(), which the interface thread calls when
// OnAvailable tells it there is something new.
//
// Each hit is what the editor would find in that file: the file is made into a document's
// text as loading makes it (either encoding, any line breaks) and searched by the same
// rules. Binary files (a NUL byte) and files over the size limit are skipped and said so;
// a file that is gone by the time its turn comes is skipped too.
#pragma once

#include "FileHits.h"
#include "FileTree.h"
#include "JumpTarget.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kvx {

struct TFindInFilesRequest {
    std::string Folder;
    std::string Patterns = DefaultFilePatterns(); // as typed: "*.asm; *.inc"
    std::string Text;                             // UTF-8, as typed
    unsigned Options = 0;                         // soMatchCase, soWholeWord, soRegExpr
    int64_t MaxFileSize = int64_t(32) << 20;      // larger files are skipped
    size_t MaxHits = 100000;                      // the search stops after as many
    bool IncludeHidden = false;
    int Threads = 0; // searching threads; 0: one per processor, at most 4
    // For the tests: called on a searching thread just before a file is opened.
    std::function<void(const std::string& path)> BeforeOpen;
};

struct TFindInFilesItem {
    enum TKind {
        Hit,
        Skipped, // binary, too large, gone: Note says which
        Failed,  // a file or folder that could not be read, or whose search stopped
    };
    TKind Kind = Hit;
    std::string File; // the folder joined with the names below it
    TFileHit Found;   // for a hit
    std::string Note; // for the others
};

struct TFindInFilesProgress {
    int64_t FilesFound = 0;    // by the walk so far
    int64_t FilesSearched = 0; // read and searched (or skipped)
    int64_t BytesSearched = 0;
    int64_t Hits = 0; // handed out
    bool Finished = false;
    bool Cancelled = false;
    bool HitLimitReached = false;
};

// One line of the results panel for an item: "path:line:column: text" for a hit, with the
// path relative to the searched folder, the hit's part of the text to mark (in bytes of
// the UTF-8 Text) and the place a double-click goes to; "path: note" for the others.
struct TResultText {
    std::string Text;
    int32_t MarkStart = 0;
    int32_t MarkLength = 0;
    std::optional<TJumpTarget> Target; // the full path, the hit's line, column and length
};
TResultText FormatResult(const TFindInFilesItem& item, std::string_view folder);

class TFindInFiles {
  public:
    explicit TFindInFiles(TFindInFilesRequest request);
    // Cancels a search still running and waits for its threads.
    ~TFindInFiles();
    TFindInFiles(const TFindInFiles&) = delete;
    TFindInFiles& operator=(const TFindInFiles&) = delete;

    // Called on a searching thread whenever Take() has something new, and once when the
    // search has finished; it must only pass the news on (post an event). Set it before Start.
    std::function<void()> OnAvailable;

    // Checks the request (a text to search for, a pattern that compiles, a folder that
    // exists) and starts the threads. False when it cannot start: ErrorText() says why, for
    // a message box (a bad pattern with its caret line).
    bool Start();
    const std::string& ErrorText() const { return errorText_; }

    // Stops the search soon; what was found stays to be taken.
    void Cancel();
    void Wait();
    // The items found since the last call, in the order of the walk.
    std::vector<TFindInFilesItem> Take();
    TFindInFilesProgress Progress() const;

  private:
    struct TFileSlot {
        std::string Path;
        bool Done = false;
        std::vector<TFindInFilesItem> Items;
    };

    void Walk();
    void Work();
    void SearchFile(TFileSearcher& searcher, const std::string& path, std::string& bytes,
                    TDocumentText& doc, std::vector<TFindInFilesItem>& items);
    // Moves finished files, in order, to the output; under the lock.
    void Publish();
    bool Stopping() const { return stop_.load(std::memory_order_relaxed); }
    void Notify();

    TFindInFilesRequest request_;
    std::vector<std::string> patterns_;
    std::string errorText_;
    std::vector<std::thread> threads_;

    mutable std::mutex mutex_;
    std::condition_variable work_;
    // The files the walk found and not yet handed out, in its order; slot k holds file
    // base_ + k.
    std::deque<TFileSlot> slots_;
    size_t base_ = 0;
    size_t nextFile_ = 0; // the next file to search
    bool walkDone_ = false;
    int threadsLeft_ = 0;
    std::vector<TFindInFilesItem> out_;
    TFindInFilesProgress progress_;

    std::atomic<bool> stop_{false};
    std::atomic<bool> cancelled_{false};
    std::atomic<int64_t> filesSearched_{0};
    std::atomic<int64_t> bytesSearched_{0};
};

} // namespace kvx
