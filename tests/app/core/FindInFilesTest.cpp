// Find in Files over generated folder trees: every hit is the one Find Next steps to in the
// file opened as a document (either encoding, every line-break style, lines longer than a
// row), in the order of the walk; binary, oversized and vanished files are skipped and
// said so; cancel stops the threads.
#include "app/core/FindInFiles.h"
#include "TestFiles.h"

#include "editor/Encoding.h"
#include "editor/Stream.h"
#include "regex/MemoSearch.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

using namespace kvx;
using kvx::test::TempDir;
using kvx::test::WriteAll;
namespace fs = std::filesystem;

namespace {

struct THitLine {
    std::string File;
    int32_t Line = 0, Column = 0, Length = 0;
    std::string LineText, Marked;
    bool operator==(const THitLine&) const = default;
};

std::ostream& operator<<(std::ostream& out, const THitLine& h) {
    return out << h.File << ':' << h.Line << ':' << h.Column << '+' << h.Length << " [" << h.Marked
               << "] " << h.LineText;
}

int32_t Characters(const std::string& bytes, bool utf8) {
    int32_t n = 0;
    for (const char c : bytes)
        n += !utf8 || (static_cast<unsigned char>(c) & 0xc0) != 0x80;
    return n;
}

// What the editor shows for each Find Next from the top of the file opened as a document.
std::vector<THitLine> EditorHits(const std::string& path, const std::string& text,
                                 unsigned options) {
    const std::string bytes = test::ReadAll(path);
    TCustomSyntaxMemo memo;
    TMemoryStream in;
    in.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    in.Seek(0, TSeekOrigin::Begin);
    memo.LoadFromStream(in);
    const bool utf8 = memo.Store().Utf8();
    std::string pattern;
    if (!FromUtf8(text, utf8, pattern))
        return {};
    TMemoSearch search(memo);
    std::vector<THitLine> hits;
    TextOffset position = 0;
    while (hits.size() < 10000 && search.FindNext(pattern, options | soNoDialog, position)) {
        const TSelectionRange hit = search.Hit();
        const auto where = memo.Locate(hit.Start());
        const std::string row =
            memo.Store().GetText(where.RowOffset, where.RowOffset + where.ContentLength());
        const size_t inRow = static_cast<size_t>(hit.Start() - where.RowOffset);
        const std::string found = memo.Store().GetText(hit.Start(), hit.End());
        const size_t marked = std::min(found.size(), row.size() - std::min(inRow, row.size()));
        hits.push_back({path, where.Index + 1, 1 + Characters(row.substr(0, inRow), utf8),
                        Characters(found, utf8), ToUtf8(row, utf8),
                        ToUtf8(found.substr(0, marked), utf8)});
    }
    return hits;
}

struct TRun {
    std::vector<TFindInFilesItem> items;
    TFindInFilesProgress progress;
};

TRun RunSearch(TFindInFilesRequest request) {
    TFindInFiles search(std::move(request));
    EXPECT_TRUE(search.Start()) << search.ErrorText();
    search.Wait();
    TRun run;
    run.items = search.Take();
    run.progress = search.Progress();
    return run;
}

std::vector<THitLine> HitLines(const std::vector<TFindInFilesItem>& items) {
    std::vector<THitLine> out;
    for (const TFindInFilesItem& item : items) {
        if (item.Kind != TFindInFilesItem::Hit)
            continue;
        const TFileHit& h = item.Found;
        out.push_back({item.File, h.Line, h.Column, h.Length, h.LineText,
                       h.LineText.substr(size_t(h.MarkStart), size_t(h.MarkLength))});
    }
    return out;
}

// A tree with every kind of file a project holds: nested folders, both encodings, all break
// styles, a long line cut into rows, files the patterns leave out, and a binary file.
struct TSourceTree {
    TempDir dir;
    std::vector<std::string> searched; // the files that match the patterns, in walk order
    TSourceTree() {
        fs::create_directories(dir.Path() / "src/deep/er");
        fs::create_directories(dir.Path() / "inc");
        fs::create_directories(dir.Path() / ".git");
        const std::string longLine =
            std::string(3000, 'y') + " mov ax, 1 " + std::string(2100, 'z');
        Add("a_crlf.asm", "start:\r\n  MOV ax, bx\r\n  mov  cx, 1 ; mov\r\n");
        Add("b_lf.inc", "mov\nremove mov\n\tmov\tdx\n");
        Add("c_cr.asm", "x\rmov\r\rMov\r");
        Add("inc/cp1252.h", "/* caf\xe9 */ mov \xe9mov mov\xe9\r\n");
        Add("inc/utf8.c", "\xef\xbb\xbf// caf\xc3\xa9 mov \xc3\xa9mov\n\xc3\xa9t\xc3\xa9 mov\n");
        Add("src/deep/er/long.txt", longLine + "\nmov\n");
        Add("src/deep/mixed.pas", "mov\r\nmov\nmov\rmov");
        Add("src/z.bas", "no hits here\n");
        WriteAll(dir / "src/binary.asm", std::string("mov\0mov", 7));
        WriteAll(dir / "notes.md", "mov\n");      // not one of the patterns
        WriteAll(dir / ".git/config.txt", "mov"); // hidden
    }
    void Add(const std::string& name, const std::string& bytes) {
        WriteAll(dir / name, bytes);
        searched.push_back(dir / name);
    }
};

} // namespace

// The hits of every file equal Find Next in the editor, for each kind of search.
TEST(FindInFiles, HitsEqualTheEditorsSearchOfEachFile) {
    TSourceTree tree;
    std::sort(tree.searched.begin(), tree.searched.end());
    struct TCase {
        const char* text;
        unsigned options;
    };
    const TCase cases[] = {
        {"mov", 0},
        {"mov", soMatchCase},
        {"mov", soWholeWord},
        {"\xc3\xa9t\xc3\xa9", 0}, // a character in either encoding
        {"m[a-z]+", soRegExpr},   // a pattern
        {"\\n", soRegExpr},       // over line breaks, at their end
        {"x*", soRegExpr},        // empty matches everywhere
        {"1\\n", soRegExpr},      // a hit that goes on over the break
        {"\xe2\x86\x92 mov", 0},  // only UTF-8 files can hold it
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.text);
        TFindInFilesRequest request;
        request.Folder = tree.dir.Path().string();
        request.Text = c.text;
        request.Options = c.options;
        request.Threads = 3;
        const TRun run = RunSearch(request);
        std::vector<THitLine> expect;
        for (const std::string& file : tree.searched) {
            const std::vector<THitLine> hits = EditorHits(file, c.text, c.options);
            expect.insert(expect.end(), hits.begin(), hits.end());
        }
        EXPECT_EQ(HitLines(run.items), expect);
        EXPECT_TRUE(run.progress.Finished);
        EXPECT_EQ(run.progress.FilesFound, 9);
        EXPECT_EQ(run.progress.Hits, static_cast<int64_t>(expect.size()));
        // The binary file is named, the others are not.
        std::vector<std::string> notes;
        for (const TFindInFilesItem& item : run.items)
            if (item.Kind != TFindInFilesItem::Hit)
                notes.push_back(FormatResult(item, request.Folder).Text);
        EXPECT_EQ(notes, std::vector<std::string>{"src/binary.asm: skipped: binary file"});
    }
    // The panel's line for a hit, with the hit marked.
    TFindInFilesRequest request;
    request.Folder = tree.dir.Path().string() + "/";
    request.Text = "MOV";
    request.Options = soMatchCase;
    const TRun run = RunSearch(request);
    ASSERT_EQ(HitLines(run.items).size(), 1u);
    const TResultText line = FormatResult(run.items.front(), request.Folder);
    EXPECT_EQ(line.Text, "a_crlf.asm:2:3:   MOV ax, bx");
    EXPECT_EQ(line.Text.substr(size_t(line.MarkStart), size_t(line.MarkLength)), "MOV");
    EXPECT_EQ(line.Target, (TJumpTarget{tree.dir / "a_crlf.asm", 2, 3, 3}));
}

TEST(FindInFiles, SkipsVanishedAndOversizedFilesAndRefusesBadRequests) {
    TSourceTree tree;
    WriteAll(tree.dir / "src/big.asm", std::string(8000, ' ') + "mov");
    TFindInFilesRequest request;
    request.Folder = tree.dir.Path().string();
    request.Text = "mov";
    request.MaxFileSize = 6000;
    request.Threads = 2;
    const std::string doomed = tree.dir / "b_lf.inc";
    request.BeforeOpen = [&](const std::string& path) {
        if (path == doomed)
            fs::remove(path);
    };
    const TRun run = RunSearch(request);
    std::vector<std::string> notes;
    for (const TFindInFilesItem& item : run.items)
        if (item.Kind != TFindInFilesItem::Hit) {
            notes.push_back(FormatResult(item, request.Folder).Text);
            EXPECT_FALSE(FormatResult(item, request.Folder).Target);
        }
    EXPECT_EQ(notes, (std::vector<std::string>{
                         "b_lf.inc: skipped: it was deleted during the search",
                         "src/big.asm: skipped: 7.8 KB, larger than the limit of 5.9 KB",
                         "src/binary.asm: skipped: binary file",
                     }));
    for (const TFindInFilesItem& item : run.items)
        EXPECT_TRUE(item.Kind != TFindInFilesItem::Hit || item.File != doomed);

    // Nothing to search for, no such folder, a bad pattern: refused before any thread runs.
    request.BeforeOpen = {};
    request.Text = "";
    TFindInFiles empty(request);
    EXPECT_FALSE(empty.Start());
    EXPECT_EQ(empty.ErrorText(), "There is no text to search for.");
    request.Text = "mov";
    request.Folder = tree.dir / "missing";
    TFindInFiles missing(request);
    EXPECT_FALSE(missing.Start());
    EXPECT_NE(missing.ErrorText().find("does not exist"), std::string::npos);
    request.Folder = tree.dir.Path().string();
    request.Text = "\xc3\xa9(";
    request.Options = soRegExpr;
    TFindInFiles bad(request);
    EXPECT_FALSE(bad.Start());
    EXPECT_NE(bad.ErrorText().find("\r\n\xc3\xa9(\r\n"), std::string::npos) << bad.ErrorText();
}

// Cancelling from the news callback stops the threads long before the tree is done, and
// the hit limit ends a search that would list too much.
TEST(FindInFiles, CancelAndTheHitLimitStopTheSearch) {
    TempDir dir;
    // Enough files that a search cannot end before a cancel made at its first hit reaches
    // its other thread, however the threads are scheduled.
    constexpr int kFiles = 1000;
    for (int i = 0; i < kFiles; ++i)
        WriteAll(dir / ("f" + std::to_string(1000 + i) + ".asm"), "mov mov\n");
    TFindInFilesRequest request;
    request.Folder = dir.Path().string();
    request.Text = "mov";
    request.Threads = 2;
    {
        TFindInFiles search(request);
        std::atomic<int> news{0};
        search.OnAvailable = [&] {
            if (++news == 1)
                search.Cancel();
        };
        ASSERT_TRUE(search.Start());
        search.Wait();
        const TFindInFilesProgress p = search.Progress();
        EXPECT_TRUE(p.Cancelled);
        EXPECT_TRUE(p.Finished);
        EXPECT_LT(p.FilesSearched, kFiles);
        EXPECT_LT(search.Take().size(), size_t(2 * kFiles));
    }
    request.MaxHits = 101;
    const TRun run = RunSearch(request);
    EXPECT_TRUE(run.progress.HitLimitReached);
    ASSERT_EQ(run.items.size(), 101u);
    // The first files of the walk, in order: the limit cuts the list, not a random part.
    EXPECT_EQ(run.items.back().File, dir / "f1050.asm");
    EXPECT_LT(run.progress.FilesSearched, kFiles);
}

TEST(FileTree, PatternsAndTheWalk) {
    EXPECT_EQ(SplitFilePatterns(" *.asm ;*.inc,, *.* "),
              (std::vector<std::string>{"*.asm", "*.inc", "*"}));
    const auto defaults = SplitFilePatterns(DefaultFilePatterns());
    for (const char* name :
         {"BOOT.ASM", "x.inc", "a.c", "a.Hpp", "u.pas", "b.bas", "i.html", "r.txt", "l.lst"})
        EXPECT_TRUE(MatchesFilePattern(name, defaults)) << name;
    for (const char* name : {"a.o", "asm", "x.asm.bak"})
        EXPECT_FALSE(MatchesFilePattern(name, defaults)) << name;
    EXPECT_FALSE(MatchesFilePattern("a.asm", {}));

    // Links to folders are not followed (no loops), links to files are; an unreadable
    // folder is reported and the walk goes on.
    TempDir dir;
    fs::create_directories(dir.Path() / "a/b");
    fs::create_directories(dir.Path() / "locked");
    WriteAll(dir / "a/b/x.asm", "");
    WriteAll(dir / "locked/y.asm", "");
    WriteAll(dir / "z.asm", "");
    fs::create_directory_symlink(dir.Path() / "a", dir.Path() / "a/b/loop");
    fs::create_symlink(dir.Path() / "z.asm", dir.Path() / "a/zlink.asm");
    fs::permissions(dir.Path() / "locked", fs::perms::none);
    std::vector<std::string> files, problems;
    TTreeOptions options;
    options.Patterns = {"*.asm"};
    EXPECT_TRUE(WalkFileTree(
        dir.Path().string(), options, [&](std::string p) { files.push_back(p); },
        [&](TTreeProblem p) { problems.push_back(p.Path); }, {}));
    fs::permissions(dir.Path() / "locked", fs::perms::owner_all);
    // Root reads every folder; anyone else has the locked one reported.
    std::vector<std::string> expect{dir / "a/b/x.asm", dir / "a/zlink.asm", dir / "z.asm"};
    if (::geteuid() == 0)
        expect.insert(expect.begin() + 2, dir / "locked/y.asm");
    else
        EXPECT_EQ(problems, std::vector<std::string>{dir / "locked"});
    EXPECT_EQ(files, expect);
    EXPECT_FALSE(WalkFileTree(
        dir / "none", options, [](std::string) {}, [&](TTreeProblem) {}, {}));

    // Reading: a pipe is refused without blocking; a file past the limit is not read.
    std::string buffer, error;
    int64_t size = 0;
    ASSERT_EQ(::mkfifo((dir / "pipe.asm").c_str(), 0600), 0);
    EXPECT_EQ(ReadSourceFile(dir / "pipe.asm", 100, buffer, size, error), TReadStatus::NotAFile);
    WriteAll(dir / "big.asm", std::string(101, 'x'));
    EXPECT_EQ(ReadSourceFile(dir / "big.asm", 100, buffer, size, error), TReadStatus::TooLarge);
    EXPECT_EQ(size, 101);
    EXPECT_EQ(ReadSourceFile(dir / "gone.asm", 100, buffer, size, error), TReadStatus::Vanished);
    EXPECT_EQ(ReadSourceFile(dir / "z.asm", 100, buffer, size, error), TReadStatus::Read);
    EXPECT_EQ(buffer, "");
}
