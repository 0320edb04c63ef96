#include "editor/Stream.h"
#include "editor/SyntaxEd.h"
#include "editor/TextFile.h"
#include "support/FakePlatform.h"
#include "support/StoreInvariants.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <vector>

namespace kvx {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

// A folder of its own for each test, removed afterwards.
class TempDir {
  public:
    TempDir() {
        path_ = fs::temp_directory_path() /
                ("kvx-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    size_t Entries() const { return std::distance(fs::directory_iterator(path_), {}); }

  private:
    static inline int counter_ = 0;
    fs::path path_;
};

// A stream that takes only so many bytes.
class TShortStream : public TMemoryStream {
  public:
    explicit TShortStream(int64_t room) : room_(room) {}
    int64_t Write(const void* buffer, int64_t count) override {
        const int64_t n = std::min(count, room_);
        room_ -= n;
        TMemoryStream::Write(buffer, n);
        return n;
    }

  private:
    int64_t room_;
};

// The real system calls of a save, except that call number `failAt` (counting every kind
// together from 0) fails as a full or broken disk would make it fail. Records what was called.
class TFailingCalls : public TSaveCalls {
  public:
    explicit TFailingCalls(int failAt) : failAt_(failAt) { TSaveCalls::Install(this); }
    ~TFailingCalls() override { TSaveCalls::Install(nullptr); }
    long Write(int fd, const void* data, size_t count) override {
        return Fails("write", ENOSPC) ? -1 : TSaveCalls::Write(fd, data, count);
    }
    int Fsync(int fd) override { return Fails("fsync", EIO) ? -1 : TSaveCalls::Fsync(fd); }
    int Close(int fd) override {
        const int r = TSaveCalls::Close(fd); // the descriptor goes either way
        return Fails("close", EIO) ? -1 : r;
    }
    int Rename(const char* from, const char* to) override {
        return Fails("rename", EXDEV) ? -1 : TSaveCalls::Rename(from, to);
    }
    std::vector<std::string> calls;

  private:
    bool Fails(const char* what, int error) {
        calls.emplace_back(what);
        if (static_cast<int>(calls.size()) - 1 != failAt_)
            return false;
        errno = error;
        return true;
    }
    int failAt_;
};

class FileIO : public ::testing::Test {
  protected:
    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};

    std::string LoadAndSave(const std::string& bytes) {
        memo.SetWholeText(bytes);
        EXPECT_EQ(test::CheckStore(memo.Store()), "");
        memo.UseLoadedLineBreaks();
        TMemoryStream out;
        memo.SaveToStream(&out);
        return out.Data();
    }
};

TEST_F(FileIO, FilesComeBackByteForByte) {
    std::string latin;
    for (int c = 128; c < 256; ++c)
        latin += static_cast<char>(c);
    const std::string corpus[] = {
        "",
        "\r",
        "a\rb\r", // CR only, ending in CR
        "line one\nline two\n",
        "line one\r\nline two\r\n",
        "no final break\nsecond",
        "\xEF\xBB\xBFwith a byte-order mark\r\n\xC3\xA9t\xC3\xA9\r\n",
        "utf-8 without mark: \xE2\x82\xAC \xF0\x9F\x98\x80\n",
        latin + "\r\n" + latin,
        std::string(100000, 'x') + "\n" + std::string(5000, '\t') + "\n",
        "\n\n\n",
        "\xEF\xBB\xBF\xBB not UTF-8 after the mark\n",
        "\ttabbed\n  spaced  \n",
    };
    for (const std::string& bytes : corpus) {
        SCOPED_TRACE(bytes.substr(0, 40));
        EXPECT_EQ(LoadAndSave(bytes), bytes);
    }

    // Mixed breaks come back in the style of the first one.
    EXPECT_EQ(LoadAndSave("a\r\nb\nc\rd\r\n"), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(LoadAndSave("a\nb\r\nc"), "a\nb\nc");
    // A CR LF pair that straddles the loader's 8192-byte pieces stays one break.
    const std::string straddle = std::string(8191, 'p') + "\r\n" + std::string(9000, 'q') + "\r\n";
    EXPECT_EQ(LoadAndSave(straddle), straddle);
}

TEST_F(FileIO, LoadDetectsEncodingBreaksAndBytesItWouldChange) {
    TTextScan s = ScanText("a\r\nb\nc");
    EXPECT_EQ(s.Break, TLineBreak::CRLF);
    EXPECT_TRUE(s.MixedBreaks);
    EXPECT_TRUE(s.Utf8);
    EXPECT_FALSE(s.HasControlBytes);
    s = ScanText(std::string("abc\0", 4));
    EXPECT_TRUE(s.HasControlBytes);
    s = ScanText("caf\xE9");
    EXPECT_FALSE(s.Utf8);
    // The quick form that loading uses agrees on what it reports.
    for (std::string_view b :
         {"a\r\nb\nc", "x\ny", "\rz", "", "\xEF\xBB\xBFq\r\n", "\xEF\xBB\xBF\xFF"}) {
        const TTextScan full = ScanText(b), quick = DetectFormat(b);
        EXPECT_EQ(full.Utf8, quick.Utf8) << b;
        EXPECT_EQ(full.Bom, quick.Bom) << b;
        EXPECT_EQ(full.Break, quick.Break) << b;
    }

    memo.SetWholeText("caf\xE9\r");
    EXPECT_FALSE(memo.Store().Utf8());
    EXPECT_EQ(memo.Store().LineBreak, TLineBreak::CR);

    // Control bytes, the last byte and one at a piece boundary included, become full stops.
    std::string ctl(8191, 'a');
    ctl += '\x07';
    ctl += "b";
    ctl += '\0';
    memo.SetWholeText(ctl);
    EXPECT_EQ(memo.Text(), std::string(8191, 'a') + ".b.");
    EXPECT_FALSE(memo.Modified());
    EXPECT_FALSE(memo.CanUndo());
}

TEST_F(FileIO, SavingWritesTheChosenBreaksAndClearsModified) {
    memo.SetWholeText("a\r\nb");
    memo.SetSelection(4, 4);
    memo.KeyChar(U'c');
    EXPECT_TRUE(memo.Modified());
    TMemoryStream crlf;
    memo.SaveToStream(&crlf);
    EXPECT_EQ(crlf.Data(), "a\r\nbc");
    EXPECT_FALSE(memo.Modified());
    memo.SelLineStyle = lsLF;
    TMemoryStream cr;
    memo.SaveToStream(&cr);
    EXPECT_EQ(cr.Data(), "a\rbc");
    memo.SaveFormat = sfUNIX;
    TMemoryStream lf;
    memo.SaveToStream(&lf);
    EXPECT_EQ(lf.Data(), "a\nbc");

    try {
        memo.SaveToStream(nullptr);
        ADD_FAILURE();
    } catch (const EFileSaveError& e) {
        EXPECT_STREQ(e.what(), "Bad TStream instance");
    }
    // The rich formats write the whole document, without a byte-order mark.
    memo.SaveFormat = sfRTF;
    TMemoryStream rtf;
    memo.SaveToStream(&rtf);
    EXPECT_EQ(rtf.Data().rfind("{\\rtf1 ", 0), 0u);
    EXPECT_NE(rtf.Data().find(" a\\line \r\nbc\r\n}}"), std::string::npos);
    memo.SaveFormat = sfHTML;
    TMemoryStream html;
    memo.SaveToStream(&html);
    EXPECT_EQ(html.Data().rfind("<HTML><HEAD>\r\n", 0), 0u);
    EXPECT_NE(html.Data().find("\">a\r\nbc</FONT></PRE>"), std::string::npos);
}

TEST_F(FileIO, AShortWriteFailsAtOnceAndWritesNothingTwice) {
    memo.SetWholeText(std::string(200000, 'z'));
    memo.SetSelection(0, 0);
    memo.KeyChar(U'y');
    TShortStream shortStream(1000);
    try {
        memo.SaveToStream(&shortStream);
        ADD_FAILURE();
    } catch (const EFileSaveError& e) {
        EXPECT_STREQ(e.what(), "Could not save text to stream");
    }
    EXPECT_LE(shortStream.Data().size(), 1000u);
    EXPECT_TRUE(memo.Modified()); // the edit is still unsaved
    EXPECT_TRUE(memo.CanUndo());
}

TEST_F(FileIO, FilesOnDisk) {
    TempDir dir;
    const fs::path file = dir / "prog.asm";
    WriteAll(file, "mov eax, 1\r\nret\r\n");
    memo.LoadFromFile(file.string());
    memo.UseLoadedLineBreaks();
    EXPECT_EQ(memo.Text(), "mov eax, 1\rret\r");
    memo.SetSelection(0, 0);
    memo.KeyChar(U';');
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    memo.SaveToFile(file.string());
    EXPECT_EQ(ReadAll(file), ";mov eax, 1\r\nret\r\n");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(dir.Entries(), 1u); // no temporary file left behind
    EXPECT_FALSE(memo.Modified());

    try {
        memo.LoadFromFile((dir / "missing.asm").string());
        ADD_FAILURE();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.MessageId(), msgCannotOpenFile);
        EXPECT_NE(std::string(e.what()).find("missing.asm' cannot be opened for reading"),
                  std::string::npos);
    }
    fs::create_directory(dir / "sub");
    EXPECT_THROW(memo.LoadFromFile((dir / "sub").string()), EFOpenError); // a folder
    EXPECT_EQ(memo.Text(), ";mov eax, 1\rret\r"); // a failed load changes nothing

    // Offsets are 32-bit: a 2 GiB file (sparse here, so it costs no disk) is refused before
    // anything is read or changed.
    const fs::path huge = dir / "huge.bin";
    WriteAll(huge, "");
    fs::resize_file(huge, uintmax_t(1) << 31);
    try {
        memo.LoadFromFile(huge.string());
        ADD_FAILURE() << "a 2 GiB file was taken";
    } catch (const ESyntaxMemo& e) {
        // The reason is the size, not memory.
        EXPECT_EQ(std::string(e.what()),
                  "File '" + huge.string() + "' is too large: 2 GiB or more cannot be loaded");
    }
    EXPECT_EQ(memo.Text(), ";mov eax, 1\rret\r");

    // A file that reports no size but has content (as those under /proc do) is read to its
    // end.
    memo.LoadFromFile("/proc/self/status");
    EXPECT_NE(memo.Text().find("Name:"), std::string::npos);

    EXPECT_THROW(memo.SaveToFile((dir / "no-such-folder" / "x.asm").string()), EFileSaveError);
}

TEST_F(FileIO, AFailedSaveLeavesTheOldFileIntact) {
    TempDir dir;
    const fs::path file = dir / "keep.txt";
    WriteAll(file, "the original\n");
    memo.SetWholeText(std::string(300000, 'n'));
    // Make writes past 64 KiB fail, as a full disk would (works for root too).
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 65536;
    ::setrlimit(RLIMIT_FSIZE, &small);
    bool failed = false;
    try {
        memo.SaveToFile(file.string());
    } catch (const EFileSaveError& e) {
        failed = true;
        EXPECT_NE(std::string(e.what()).find("Could not save text to stream"), std::string::npos);
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(failed);
    EXPECT_EQ(ReadAll(file), "the original\n");
    EXPECT_EQ(dir.Entries(), 1u);
}

// Whatever step of a save fails (a write while the text goes out, the last write when the
// buffer is flushed, fsync, close, rename), for small files whose bytes all wait in the
// buffer until the commit as well as for large ones: the old file stays, no temporary file
// is left, and the document keeps being modified with its whole history and its save point.
TEST_F(FileIO, ASaveThatFailsAtAnyStepLeavesDocumentAndFileAsTheyWere) {
    for (const size_t size : {size_t(5), size_t(70000), size_t(300000)}) {
        TempDir dir;
        const fs::path file = dir / "doc.txt";
        const std::string original(size, 'o');
        // Learn the calls a good save makes, then fail each of them in turn.
        std::vector<std::string> steps;
        {
            WriteAll(file, original);
            TCustomSyntaxMemo probe(&platform);
            probe.LoadFromFile(file.string());
            probe.KeyChar(U'x');
            TFailingCalls none(-1);
            probe.SaveToFile(file.string());
            steps = none.calls;
            EXPECT_FALSE(probe.Modified());
            EXPECT_TRUE(ReadAll(file) == "x" + original);
        }
        ASSERT_GE(steps.size(), 4u);
        for (size_t failAt = 0; failAt < steps.size(); ++failAt) {
            SCOPED_TRACE(std::to_string(size) + " bytes, failing " + steps[failAt] + " (call " +
                         std::to_string(failAt) + ")");
            WriteAll(file, original);
            TCustomSyntaxMemo doc(&platform);
            doc.LoadFromFile(file.string());
            doc.KeyChar(U'x');
            doc.KeyChar(U'y');
            doc.Undo(); // something to redo too: the log keeps both directions
            const TUndoStack& log = *doc.Store().UndoLog();
            const int32_t count = log.Count(), entries = log.Size();
            {
                TFailingCalls failing(static_cast<int>(failAt));
                EXPECT_THROW(doc.SaveToFile(file.string()), EFileSaveError);
            }
            EXPECT_TRUE(ReadAll(file) == original);
            EXPECT_EQ(dir.Entries(), 1u);
            EXPECT_TRUE(doc.Modified());
            EXPECT_EQ(log.Count(), count);
            EXPECT_EQ(log.Size(), entries);
            EXPECT_TRUE(doc.CanRedo());
            // The save point is still where the file was loaded.
            doc.Undo();
            EXPECT_TRUE(doc.Text() == original);
            EXPECT_FALSE(doc.Modified());
            doc.Redo();
            EXPECT_TRUE(doc.Modified());
        }
    }
}

// A stream that fails after handing over part of a large text, by an error or for lack of
// memory: the document keeps its text, its history and its caret.
TEST_F(FileIO, ALoadThatFailsHalfWayChangesNothing) {
    class TFailingStream : public TMemoryStream {
      public:
        TFailingStream(std::string data, bool memory)
            : TMemoryStream(std::move(data)), memory_(memory) {}
        int64_t Read(void* buffer, int64_t count) override {
            if (Position() > 300000) {
                if (memory_)
                    throw std::bad_alloc();
                throw EStreamError(0, "Cannot read 'big.txt': Input/output error");
            }
            return TMemoryStream::Read(buffer, count);
        }

      private:
        bool memory_;
    };
    memo.SetWholeText("kept\rtext\r");
    memo.SetSelection(2, 2);
    memo.KeyChar(U'x');
    std::string big;
    for (int i = 0; big.size() < 1000000; ++i)
        big += "line " + std::to_string(i) + "\r\n";
    for (const bool memory : {false, true}) {
        TFailingStream in(big, memory);
        try {
            memo.LoadFromStream(in);
            ADD_FAILURE() << "the failure went unnoticed";
        } catch (const ESyntaxMemo& e) {
            EXPECT_STREQ(e.what(),
                         memory ? kNotEnoughMemory : "Cannot read 'big.txt': Input/output error");
        }
        EXPECT_EQ(memo.Text(), "kexpt\rtext\r");
        EXPECT_EQ(memo.Selection(), (TSelectionRange{3, 3}));
        EXPECT_TRUE(memo.Modified());
        EXPECT_EQ(test::CheckStore(memo.Store()), "");
    }
    memo.Undo();
    EXPECT_EQ(memo.Text(), "kept\rtext\r");
}

// The size a stream reports is only a hint: a stream that says it is empty is read to its
// end across many blocks, and one that already says it holds 2 GiB or more is refused
// before a byte is read, with the reason, and the document keeps its text.
TEST_F(FileIO, AStreamIsReadToItsEndWhateverSizeItReports) {
    class TSizedAs : public TStream {
      public:
        TSizedAs(std::string data, int64_t size) : data_(std::move(data)), size_(size) {}
        int64_t Size() override { return size_; }
        int64_t Read(void* buffer, int64_t count) override {
            ++reads;
            return data_.Read(buffer, count);
        }
        int64_t Write(const void*, int64_t) override { return 0; }
        int64_t Seek(int64_t offset, TSeekOrigin origin) override {
            return data_.Seek(offset, origin);
        }
        int reads = 0;

      private:
        TMemoryStream data_;
        int64_t size_;
    };
    std::string big, text;
    for (int i = 0; big.size() < 1000000; ++i) {
        big += "row " + std::to_string(i) + "\r\n";
        text += "row " + std::to_string(i) + "\r";
    }
    TSizedAs unsized(big, 0);
    memo.LoadFromStream(unsized);
    EXPECT_TRUE(memo.Text() == text); // not EXPECT_EQ: a megabyte in a failure message
    EXPECT_GT(unsized.reads, 3);
    EXPECT_EQ(test::CheckStore(memo.Store()), "");

    memo.SetWholeText("kept\r");
    TSizedAs huge("x", int64_t(INT32_MAX));
    try {
        memo.LoadFromStream(huge);
        ADD_FAILURE() << "a stream of 2 GiB was taken";
    } catch (const ESyntaxMemo& e) {
        EXPECT_STREQ(e.what(), kTextTooLarge);
    }
    EXPECT_EQ(huge.reads, 0);
    EXPECT_EQ(memo.Text(), "kept\r");
}

} // namespace
} // namespace kvx
