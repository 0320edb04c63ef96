// Throughput and memory of the document core: loading a very large file, typing into the
// middle of a large document, and undoing and redoing what was typed.
//
// Sizes are decimal: 1 MB = 1,000,000 bytes. The big document is 100,000,000 bytes of source
// text (what the file on disk would hold, with its CR LF and LF breaks); once stored, every
// break is one byte, so the document itself is somewhat shorter. Both figures are reported.
//
// Memory figures are read from /proc/self/status. Memory the allocator got back is usually
// not returned to the system, so only the first build in a fresh process gives an honest
// resident growth. Run the big benchmark on its own for that figure:
//     bench_textstore --benchmark_filter=Build
// (it is also registered first, so a full run measures it before anything else has run).

#include "editor/SyntaxEd.h"
#include "editor/TextStore.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int64_t kBigSourceBytes = int64_t(100) * 1000 * 1000;
constexpr size_t kFeedPiece = 64 * 1024;
constexpr int kLineTarget = 30; // average source line, break included
constexpr int kTypedKeys = 10000;
constexpr double kMB = 1000.0 * 1000.0;

// ---- Deterministic assembler-like source --------------------------------------------

struct TSource {
    std::string Bytes;     // as a file holds it: LF and CR LF breaks
    int64_t Lines = 0;     // every line ends with a break, so this is the expected row count
    int64_t TextBytes = 0; // length once stored, each break one byte
};

const char* const kMnemonics[] = {"mov",  "add", "sub", "cmp", "lea", "xor",  "and",   "or",
                                  "test", "shl", "shr", "inc", "dec", "imul", "movzx", "adc"};
const char* const kJumps[] = {"jmp", "je", "jne", "jb", "jae", "call", "loop"};
const char* const kRegs[] = {"eax", "ebx", "ecx", "edx", "esi", "edi", "ebp", "esp"};
const char* const kWords[] = {"loop",   "counter", "next",    "entry",  "save",  "restore",
                              "bounds", "check",   "pointer", "offset", "table", "index",
                              "flag",   "result",  "buffer",  "length", "skip",  "done"};

template <size_t N> const char* Pick(const char* const (&list)[N], uint64_t r) {
    return list[r % N];
}

class TAsmWriter {
  public:
    explicit TAsmWriter(uint64_t seed) : state_(seed) {}

    // Appends one line with its break. Comments are sized so that the running average line
    // length stays at the target while single lines still vary a lot.
    void AddLine(TSource& src) {
        line_.clear();
        const uint64_t kind = Rand() % 100;
        if (kind < 4) {
            // blank line
        } else if (kind < 14) {
            line_ += "label_";
            line_ += std::to_string(Rand() % 100000);
            line_ += ':';
        } else if (kind < 20) {
            line_ += "; ";
            line_ += Pick(kWords, Rand());
        } else {
            line_ += Rand() % 3 == 0 ? "    " : "\t";
            if (kind < 32) {
                line_ += Pick(kJumps, Rand());
                line_ += Rand() % 2 ? "\t" : " ";
                line_ += "label_";
                line_ += std::to_string(Rand() % 100000);
            } else if (kind < 36) {
                line_ += Rand() % 2 ? "ret" : "push\tebp";
            } else {
                line_ += Pick(kMnemonics, Rand());
                line_ += Rand() % 4 == 0 ? "\t" : " ";
                AddOperands();
            }
        }
        const bool crlf = Rand() % 2 == 0;
        const int brk = crlf ? 2 : 1;
        const int64_t deficit =
            int64_t(kLineTarget) * (src.Lines + 1) - int64_t(src.Bytes.size() + line_.size() + brk);
        if (deficit >= 8 && !line_.empty())
            AddComment(static_cast<size_t>(std::min<int64_t>(deficit, 60)));
        Commit(src, crlf);
    }

    // Closes the source with one comment line that makes it exactly `total` bytes long.
    void FinishAt(TSource& src, int64_t total) {
        const int64_t left = total - static_cast<int64_t>(src.Bytes.size());
        if (left <= 0)
            return;
        // The break takes one byte; a semicolon and dashes fill the rest.
        line_.clear();
        if (left >= 2) {
            line_.push_back(';');
            line_.append(static_cast<size_t>(left - 2), '-');
        }
        Commit(src, false);
    }

  private:
    uint64_t Rand() {
        // splitmix64: fast, and the same sequence on every machine
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    void AddOperands() {
        switch (Rand() % 4) {
        case 0:
            line_ += Pick(kRegs, Rand());
            line_ += ", ";
            line_ += Pick(kRegs, Rand());
            break;
        case 1:
            line_ += Pick(kRegs, Rand());
            line_ += ", [";
            line_ += Pick(kRegs, Rand());
            line_ += "+0x";
            line_ += Hex(Rand() % 256);
            line_ += ']';
            break;
        case 2:
            line_ += '[';
            line_ += Pick(kRegs, Rand());
            line_ += "+0x";
            line_ += Hex(Rand() % 256);
            line_ += "], ";
            line_ += Pick(kRegs, Rand());
            break;
        default:
            line_ += Pick(kRegs, Rand());
            line_ += ", ";
            line_ += std::to_string(Rand() % 1000);
            break;
        }
    }

    static std::string Hex(uint64_t v) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(v));
        return buf;
    }

    void AddComment(size_t room) {
        const size_t stop = line_.size() + room;
        line_ += Rand() % 3 == 0 ? "\t; " : "   ; ";
        for (;;) {
            const char* w = Pick(kWords, Rand());
            if (line_.size() + std::strlen(w) + 1 > stop)
                break;
            line_ += w;
            line_ += ' ';
        }
    }

    void Commit(TSource& src, bool crlf) {
        src.Bytes += line_;
        src.Bytes += crlf ? "\r\n" : "\n";
        src.TextBytes += static_cast<int64_t>(line_.size()) + 1;
        ++src.Lines;
    }

    uint64_t state_;
    std::string line_;
};

TSource MakeSourceOfSize(int64_t bytes) {
    TSource src;
    src.Bytes.reserve(static_cast<size_t>(bytes));
    TAsmWriter w(0x4B4F564558ull);
    // Lines stay well under 200 bytes, so this leaves room for the exact closing line.
    while (static_cast<int64_t>(src.Bytes.size()) < bytes - 200)
        w.AddLine(src);
    w.FinishAt(src, bytes);
    return src;
}

TSource MakeSourceOfLines(int64_t lines) {
    TSource src;
    src.Bytes.reserve(static_cast<size_t>(lines * (kLineTarget + 2)));
    TAsmWriter w(0x4B4F564558ull);
    while (src.Lines < lines)
        w.AddLine(src);
    return src;
}

// What a user types: code lines without their leading blanks (the editor's auto-indent
// supplies those) and Enter at each line end.
std::vector<char32_t> MakeKeystrokes(int count) {
    TSource lines = MakeSourceOfLines(count / 8 + 16);
    std::vector<char32_t> keys;
    keys.reserve(static_cast<size_t>(count));
    bool lineStart = true;
    for (char c : lines.Bytes) {
        if (static_cast<int>(keys.size()) == count)
            break;
        if (c == '\r')
            continue;
        if (c == '\n') {
            keys.push_back(U'\r');
            lineStart = true;
            continue;
        }
        if (lineStart && (c == ' ' || c == '\t'))
            continue;
        lineStart = false;
        keys.push_back(c == '\t' ? U' ' : static_cast<char32_t>(static_cast<unsigned char>(c)));
    }
    return keys;
}

// The text as the store keeps it: CR LF, LF CR and a lone LF or CR each become one CR.
// Only used on generated text, which has no other control bytes than TAB.
std::string StoredForm(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            out.push_back('\r');
            const char pair = c == '\r' ? '\n' : '\r';
            if (i + 1 < bytes.size() && bytes[i + 1] == pair)
                ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// ---- Feeding and process figures ----------------------------------------------------

// Each InsertAtCaret call normalises its bytes on its own, so a CR LF pair cut between two
// calls would turn into two line breaks. Like a file reader, the feed keeps such a pair in
// one piece.
void Feed(kvx::TTextStore& store, kvx::TStoreView& view, const std::string& bytes) {
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t n = std::min(kFeedPiece, bytes.size() - pos);
        if (pos + n < bytes.size() && bytes[pos + n - 1] == '\r' && bytes[pos + n] == '\n')
            ++n;
        store.InsertAtCaret(view, bytes.data() + pos, static_cast<int32_t>(n));
        pos += n;
    }
}

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM"); -1 when it cannot be read.
int64_t StatusBytes(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t len = std::strlen(field);
    while (std::getline(in, line)) {
        if (line.compare(0, len, field) == 0 && line.size() > len && line[len] == ':')
            return std::stoll(line.substr(len + 1)) * 1024; // the kernel reports kB
    }
    return -1;
}

// A window 40 rows high and 120 columns wide, as the editor would have on screen; the
// control keeps the caret in view and works out rows to repaint for that size.
class TBenchPlatform : public kvx::THeadlessPlatform {
  public:
    int VisibleRows() override { return 40; }
    int VisibleColumns() override { return 120; }
};

// ---- 1. Loading a 100 MB document ---------------------------------------------------

struct TBigDocument {
    kvx::TTextStore Store;
    kvx::TStoreView View{Store};
};

void BM_Build100MB(benchmark::State& state) {
    const TSource src = MakeSourceOfSize(kBigSourceBytes); // not timed
    std::unique_ptr<TBigDocument> doc;
    const std::string head = StoredForm(src.Bytes.substr(0, 4 * kFeedPiece));
    int64_t rssBefore = 0;
    int64_t rssAfter = 0;
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        doc.reset(); // the previous iteration's rows must be gone before the baseline
        rssBefore = StatusBytes("VmRSS");
        doc = std::make_unique<TBigDocument>();
        state.ResumeTiming();

        const Clock::time_point start = Clock::now();
        Feed(doc->Store, doc->View, src.Bytes);
        seconds += std::chrono::duration<double>(Clock::now() - start).count();

        state.PauseTiming();
        // The highlighter writes one token byte per character; have them all in use, as
        // they are once the whole document has been scanned.
        for (kvx::TLineNode* r = doc->Store.FirstRow(); r; r = r->Next())
            r->AllocStyles();
        rssAfter = StatusBytes("VmRSS");
        // Size and rows of the whole, and the exact text over the first few piece borders.
        const bool ok = doc->Store.TextLength() == src.TextBytes &&
                        doc->Store.RowCount() == src.Lines &&
                        doc->Store.GetText(0, static_cast<kvx::TextOffset>(head.size())) == head;
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("stored document does not match the source");
            break;
        }
    }
    if (!doc)
        return;
    const double text = static_cast<double>(doc->Store.TextLength());
    state.counters["bytes"] = text;
    state.counters["source_bytes"] = static_cast<double>(src.Bytes.size());
    state.counters["rows"] = doc->Store.RowCount();
    state.counters["longest_row"] = doc->Store.LongestRow();
    // The peak includes the 100 MB source buffer, which is alive during the whole build.
    state.counters["peak_rss_MB"] = static_cast<double>(StatusBytes("VmHWM")) / kMB;
    state.counters["rss_growth_MB"] = static_cast<double>(rssAfter - rssBefore) / kMB;
    state.counters["bytes_per_text_byte"] = static_cast<double>(rssAfter - rssBefore) / text;
    state.counters["pool_bytes_per_text_byte"] =
        static_cast<double>(doc->Store.RowPoolBytes()) / text;
    state.counters["MB_per_s"] = static_cast<double>(src.Bytes.size()) / kMB *
                                 static_cast<double>(state.iterations()) / seconds;
}
BENCHMARK(BM_Build100MB)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// ---- 2. and 3. Typing, undo and redo in the middle of a large document --------------

// A control showing a document of `rows` lines of about 30 bytes, loaded the way a file
// load does it (the text goes straight into the store, the undo log starts empty), with an
// empty selection in the middle of the text.
class TTypingFixture {
  public:
    explicit TTypingFixture(int64_t rows) : memo_(&platform_) {
        const TSource src = MakeSourceOfLines(rows);
        Feed(memo_.Store(), memo_, src.Bytes);
        memo_.SetModified(false);
        ok_ = memo_.TextLength() == src.TextBytes && memo_.Store().RowCount() == src.Lines;
        length_ = memo_.TextLength();
        middle_ = length_ / 2;
        around_ = Window();
        keys_ = MakeKeystrokes(kTypedKeys);
    }

    bool Loaded() const { return ok_; }
    kvx::TCustomSyntaxMemo& Memo() { return memo_; }
    const std::vector<char32_t>& Keys() const { return keys_; }
    void CaretToMiddle() { memo_.SetSelection(middle_, middle_); }

    // Types every key and returns the seconds spent; each key's own time is appended to
    // `perKey` when given (one clock read per key, so the total stays a plain sum).
    double TypeAll(std::vector<double>* perKey) {
        const Clock::time_point start = Clock::now();
        Clock::time_point last = start;
        for (char32_t k : keys_) {
            memo_.KeyChar(k);
            const Clock::time_point now = Clock::now();
            if (perKey)
                perKey->push_back(std::chrono::duration<double>(now - last).count());
            last = now;
        }
        return std::chrono::duration<double>(last - start).count();
    }

    // Every key inserts at least one byte before the caret (Enter also the indentation).
    bool Typed() {
        const int64_t grown = int64_t(memo_.TextLength()) - length_;
        return grown >= static_cast<int64_t>(keys_.size()) &&
               int64_t(memo_.Selection().Caret) - middle_ == grown && memo_.CanUndo() &&
               !memo_.CanRedo();
    }

    // Back at the loaded text, with nothing left to undo.
    bool Restored() {
        return memo_.TextLength() == length_ && !memo_.CanUndo() && Window() == around_ &&
               memo_.Selection().Caret == middle_;
    }

    // Forgets the redo history as a fresh load would. Left in place, the first key of the
    // next round would pay for discarding 10,000 redo steps, which is not typing speed.
    bool DropRedo() {
        memo_.SetModified(false);
        return !memo_.CanRedo() && !memo_.CanUndo();
    }

    // Undoes everything; false unless it took exactly one step per key.
    bool UndoAll() {
        for (size_t i = 0; i < keys_.size(); ++i) {
            if (!memo_.CanUndo())
                return false;
            memo_.Undo();
        }
        return !memo_.CanUndo();
    }

  private:
    std::string Window() { return memo_.Store().GetText(middle_ - 2000, middle_ + 2000); }

    TBenchPlatform platform_;
    kvx::TCustomSyntaxMemo memo_;
    bool ok_ = false;
    kvx::TextOffset length_ = 0;
    kvx::TextOffset middle_ = 0;
    std::string around_;
    std::vector<char32_t> keys_;
};

void BM_TypeInMiddle(benchmark::State& state) {
    TTypingFixture fx(state.range(0)); // not timed
    if (!fx.Loaded()) {
        state.SkipWithError("document did not load as generated");
        return;
    }
    double typing = 0;
    std::vector<double> perKey;
    perKey.reserve(fx.Keys().size() * static_cast<size_t>(state.max_iterations));
    for (auto _ : state) {
        state.PauseTiming();
        fx.CaretToMiddle();
        state.ResumeTiming();

        typing += fx.TypeAll(&perKey);

        // Undo is not part of this figure; it only brings the document back for the next round.
        state.PauseTiming();
        const bool ok = fx.Typed() && fx.UndoAll() && fx.Restored() && fx.DropRedo();
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("typing or its undo did not give the expected text");
            break;
        }
    }
    if (perKey.empty())
        return;
    state.counters["rows"] = static_cast<double>(state.range(0));
    state.counters["us_per_key"] = typing / static_cast<double>(perKey.size()) * 1e6;
    // The tail shows whether some keys are slow (row splits, log growth) behind a good mean.
    auto p99 = perKey.begin() + static_cast<std::ptrdiff_t>(perKey.size() * 99 / 100);
    std::nth_element(perKey.begin(), p99, perKey.end());
    state.counters["p99_key_us"] = *p99 * 1e6;
    state.counters["max_key_us"] = *std::max_element(p99, perKey.end()) * 1e6;
}
BENCHMARK(BM_TypeInMiddle)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

void BM_UndoRedoKeys(benchmark::State& state) {
    TTypingFixture fx(state.range(0)); // not timed
    if (!fx.Loaded()) {
        state.SkipWithError("document did not load as generated");
        return;
    }
    kvx::TCustomSyntaxMemo& memo = fx.Memo();
    const size_t steps = fx.Keys().size();
    double undoTime = 0;
    double redoTime = 0;
    int64_t done = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fx.CaretToMiddle();
        fx.TypeAll(nullptr);
        const kvx::TextOffset typedLength = memo.TextLength();
        bool ok = fx.Typed();
        state.ResumeTiming();

        Clock::time_point t0 = Clock::now();
        for (size_t i = 0; i < steps; ++i)
            memo.Undo();
        undoTime += std::chrono::duration<double>(Clock::now() - t0).count();

        state.PauseTiming();
        ok = ok && fx.Restored() && memo.CanRedo();
        state.ResumeTiming();

        t0 = Clock::now();
        for (size_t i = 0; i < steps; ++i)
            memo.Redo();
        redoTime += std::chrono::duration<double>(Clock::now() - t0).count();

        // Checking the redone text and undoing it again for the next round is not timed.
        state.PauseTiming();
        ok = ok && memo.TextLength() == typedLength && !memo.CanRedo() && fx.UndoAll() &&
             fx.Restored() && fx.DropRedo();
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("undo or redo did not give the expected text");
            break;
        }
        done += static_cast<int64_t>(steps);
    }
    if (done == 0)
        return;
    state.counters["rows"] = static_cast<double>(state.range(0));
    state.counters["us_per_undo"] = undoTime / static_cast<double>(done) * 1e6;
    state.counters["us_per_redo"] = redoTime / static_cast<double>(done) * 1e6;
}
BENCHMARK(BM_UndoRedoKeys)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

// ---- 4. Typing into one very long line ----------------------------------------------

// A line longer than a row is kept cut at the row limit, so a key near its start moves
// every byte after it into other rows: the cost grows with the rest of the line. Measured
// on lines of 100 KB and 10 MB (a minified file), typing at a tenth of the line and
// deleting the keys again.
void BM_TypeInLongLine(benchmark::State& state) {
    const auto bytes = static_cast<size_t>(state.range(0));
    std::string line;
    line.reserve(bytes);
    for (uint64_t r = 7; line.size() < bytes;) {
        r ^= r << 13, r ^= r >> 7, r ^= r << 17;
        line.push_back(r % 6 == 0 ? ' ' : static_cast<char>('a' + r % 26));
    }
    kvx::TCustomSyntaxMemo memo;
    memo.SetWholeText(line);
    const auto at = static_cast<kvx::TextOffset>(bytes / 10);
    constexpr int kKeys = 50;
    double seconds = 0;
    for (auto _ : state) {
        memo.SetSelection(at, at);
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < kKeys; ++i)
            memo.KeyChar(U'q');
        for (int i = 0; i < kKeys; ++i)
            memo.ExecuteCommand(kvx::caBACKSPACE);
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        if (memo.TextLength() != static_cast<kvx::TextOffset>(bytes)) {
            state.SkipWithError("the keys did not come out again");
            break;
        }
    }
    state.counters["us_per_key"] =
        seconds / (2.0 * kKeys * static_cast<double>(state.iterations())) * 1e6;
}
BENCHMARK(BM_TypeInLongLine)
    ->Arg(100 * 1000)
    ->Arg(10 * 1000 * 1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
