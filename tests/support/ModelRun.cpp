// Randomised model test of the editor control. Long seeded sequences of typing, editing
// commands, clipboard operations, block indent and selection changes run against the control
// and, side by side, against a plain byte string edited by simple rules of its own. After
// every operation the document must equal that string and the row chain must be sound; at
// the end every edit is undone one step at a time and redone again. The operations reach the
// control through a driver (EditorDriver.h), so one run serves typed calls and key events.
//
// A failure names the run, its seed and the step, and lists the operations leading up to it.
//
// The file is long on purpose: each operation sits next to the rule that predicts its
// result, and splitting the run across files would part them.
#include "ModelRun.h"

#include "StoreInvariants.h"
#include "WrapModel.h"
#include "editor/Stream.h"
#include "editor/SyntaxEd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvx::test {
namespace {

// ---- Run configurations ----------------------------------------------------------------

struct TRunConfig {
    const char* name;
    uint64_t seed;
    int ops;
    bool utf8;              // false: a Windows-1252 document
    int tabDefault;         // TabDefault
    const char* tabColumns; // TabColumns text, "" for none
    int indentStep;         // IndentStep
    bool smartFill;         // smoSmartFill (TABs in fills)
    bool ownWordTests;      // installs fn_CharStartsWord / fn_CharIsInWord
    bool startEmpty;        // otherwise a generated document is loaded first
    int undoBudget = -1;    // bytes the undo log may hold; -1: no limit
    bool wrap = false;      // word wrap on, at widths that change now and then
};

// Four documents of 25,000 operations each: two cores run them side by side, and a failure
// in one leaves the others to show whether it is general.
const TRunConfig kRuns[] = {
    {"Utf8FromEmpty", 0x5EED0001, 25000, true, 4, "", 1, true, false, true},
    {"Utf8TabColumns", 0x5EED0002, 25000, true, 4, "10 20", 4, true, true, false},
    {"Utf8SpacesOnly", 0x5EED0003, 25000, true, 8, "", 2, false, false, false},
    {"Windows1252", 0x5EED0004, 25000, false, 4, "", 3, true, false, false},
    // The log keeps only the last dozen or so commands and trims at nearly every edit.
    {"SmallUndoBudget", 0x5EED0005, 12000, true, 4, "", 2, true, false, false, 3000},
    // Rows cut by word wrap, at a WrapAtColumn that changes, with lines that are never
    // wrapped now and then, and wrapping switched off for a while.
    {"WordWrap", 0x5EED0006, 15000, true, 4, "10 20", 2, true, false, false, -1, true},
};

// ---- Small tools -----------------------------------------------------------------------

// splitmix64: the same sequence with every standard library, so a seed reproduces anywhere.
class TRandom {
  public:
    explicit TRandom(uint64_t seed) : s_(seed) {}
    uint64_t Next() {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return n <= 0 ? 0 : static_cast<int>(Next() % static_cast<uint64_t>(n)); }
    int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }

  private:
    uint64_t s_;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

bool ValidUtf8(std::string_view t) {
    for (size_t i = 0; i < t.size();) {
        const auto b = static_cast<unsigned char>(t[i]);
        size_t n;
        uint32_t cp, min;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            n = 2, cp = b & 0x1F, min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 3, cp = b & 0x0F, min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 4, cp = b & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (i + n > t.size())
            return false;
        for (size_t k = 1; k < n; ++k) {
            if (!IsContinuationByte(t[i + k]))
                return false;
            cp = (cp << 6) | (static_cast<unsigned char>(t[i + k]) & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

// Printable form of a piece of document text for failure messages.
std::string Show(std::string_view t, size_t limit = 60) {
    std::string out;
    for (size_t i = 0; i < t.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(t[i]);
        static const char hex[] = "0123456789ABCDEF";
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c < 32 || c >= 127)
            out += std::string("\\x") + hex[c >> 4] + hex[c & 15];
        else
            out.push_back(static_cast<char>(c));
    }
    if (t.size() > limit)
        out += "...(" + std::to_string(t.size()) + " bytes)";
    return out;
}

std::string Show(const TSelectionRange& s) {
    // Built by appending: GCC 12 warns wrongly about "literal" + std::string here.
    std::string out = "(";
    out.append(std::to_string(s.Anchor)).append(",").append(std::to_string(s.Caret));
    return out.append(")");
}

// Where two texts first differ, with a little context on both sides.
std::string Mismatch(const std::string& want, const std::string& got) {
    size_t i = 0;
    while (i < want.size() && i < got.size() && want[i] == got[i])
        ++i;
    const size_t from = i > 20 ? i - 20 : 0;
    return "first difference at offset " + std::to_string(i) + " (model " +
           std::to_string(want.size()) + " bytes, control " + std::to_string(got.size()) +
           " bytes)\n  model:   \"" + Show(std::string_view(want).substr(from), 60) +
           "\"\n  control: \"" + Show(std::string_view(got).substr(from), 60) + "\"";
}

// Clipboard text is UTF-8 with LF breaks; documents store single CRs and turn every other
// control byte into a full stop.
std::string Normalize(std::string_view in) {
    std::string out;
    for (size_t i = 0; i < in.size(); ++i) {
        const auto c = static_cast<unsigned char>(in[i]);
        if (c == '\r') {
            out.push_back('\r');
            if (i + 1 < in.size() && in[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out.push_back('\r');
            if (i + 1 < in.size() && in[i + 1] == '\r')
                ++i;
        } else if (c == '\t' || c >= 32) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('.');
        }
    }
    return out;
}

// Characters beyond ASCII that the runs type and paste, with their Windows-1252 byte (-1
// where that code page has none).
struct TWide {
    char32_t code;
    const char* utf8;
    int cp1252;
};
const TWide kWide[] = {
    {0x00E9, "\xC3\xA9", 0xE9},        // e acute
    {0x00FC, "\xC3\xBC", 0xFC},        // u diaeresis
    {0x20AC, "\xE2\x82\xAC", 0x80},    // euro sign
    {0x03A9, "\xCE\xA9", -1},          // capital omega
    {0x1F600, "\xF0\x9F\x98\x80", -1}, // a four-byte character
};

// Text in both forms: as the clipboard hands it over and as the document will hold it
// before line breaks and control bytes are normalised.
struct TClip {
    std::string utf8;
    std::string doc;
    bool representable = true;
};

// One text change as the undo log must replay it.
struct TEdit {
    TextOffset at = 0;
    std::string removed;
    std::string inserted;
    TSelectionRange before; // selection an undo restores
    TSelectionRange after;  // selection a redo restores
};

// A physical row of the store, found by offset like the control finds the caret's row.
struct TRow {
    int32_t index = 0;
    TextOffset start = 0;
    TextOffset end = 0;        // after the row's last character (its break, if any)
    TextOffset contentEnd = 0; // before the break
    bool exists = false;       // false on the empty line after a final break
};

// Which line carries which bookmark, by the rules the store keeps them: a line that an
// insertion splits keeps its marks on its first piece, a deletion keeps the marks of the
// line it starts on and loses those of the lines it swallows. It follows the store's own
// insertions and deletions, whatever command made them.
class TBookmarkModel : public TStoreListener {
  public:
    explicit TBookmarkModel(TTextStore& store) : store_(store) { store_.AddListener(this); }
    ~TBookmarkModel() override { store_.RemoveListener(this); }

    // Line starts, the empty line after a final break included, and each line's marks.
    std::vector<TextOffset> starts{0};
    std::vector<uint16_t> marks{0};
    std::array<int, 10> columns{};

    int32_t LineOf(TextOffset p) const {
        return static_cast<int32_t>(std::upper_bound(starts.begin(), starts.end(), p) -
                                    starts.begin()) -
               1;
    }
    int32_t LineWith(int n) const {
        for (size_t l = 0; l < marks.size(); ++l)
            if (marks[l] & (1u << n))
                return static_cast<int32_t>(l);
        return -1;
    }

    void TextInserted(TextOffset at, int32_t n) override {
        const int32_t line = LineOf(at);
        for (size_t l = static_cast<size_t>(line) + 1; l < starts.size(); ++l)
            starts[l] += n;
        const std::string added = store_.GetText(at, at + n);
        std::vector<TextOffset> made;
        for (size_t i = 0; i < added.size(); ++i)
            if (added[i] == '\r')
                made.push_back(at + static_cast<TextOffset>(i) + 1);
        starts.insert(starts.begin() + line + 1, made.begin(), made.end());
        marks.insert(marks.begin() + line + 1, made.size(), 0);
        DropEmptyLastLine();
    }
    void TextDeleted(TextOffset at, int32_t n) override {
        const int32_t line = LineOf(at);
        size_t gone = 0;
        while (line + 1 + gone < starts.size() && starts[line + 1 + gone] <= at + n)
            ++gone;
        starts.erase(starts.begin() + line + 1, starts.begin() + line + 1 + gone);
        marks.erase(marks.begin() + line + 1, marks.begin() + line + 1 + gone);
        for (size_t l = static_cast<size_t>(line) + 1; l < starts.size(); ++l)
            starts[l] -= n;
        DropEmptyLastLine();
    }
    void StoreEmptied() override {
        starts = {0};
        marks = {0};
    }

  private:
    // An empty last line (after a final break, or of an empty document) has no row, so
    // whatever marks its line had are gone.
    void DropEmptyLastLine() {
        if (starts.back() == store_.TextLength())
            marks.back() = 0;
    }

    TTextStore& store_;
};

// ---- The run ---------------------------------------------------------------------------

class TModelRun {
  public:
    TModelRun(const TRunConfig& cfg, TEditorDriver& driver);
    void Run();

  private:
    // Model helpers
    TextOffset Len() const { return static_cast<TextOffset>(text_.size()); }
    bool IsBoundary(const std::string& t, TextOffset p) const {
        return !cfg_.utf8 || p <= 0 || p >= static_cast<TextOffset>(t.size()) ||
               !IsContinuationByte(t[p]);
    }
    int CharLen(TextOffset p) const {
        if (!cfg_.utf8)
            return 1;
        const auto b = static_cast<unsigned char>(text_[p]);
        return b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    }
    TextOffset PrevStart(TextOffset p) const {
        if (p <= 0)
            return 0;
        --p;
        while (cfg_.utf8 && p > 0 && IsContinuationByte(text_[p]))
            --p;
        return p;
    }
    int NextTabStop(int c) const;
    int Column(TextOffset from, TextOffset to) const;
    std::string FillText(int from, int to) const;
    std::string DocBytes(const TWide& w) const {
        return cfg_.utf8 ? std::string(w.utf8) : std::string(1, static_cast<char>(w.cp1252));
    }
    std::string DocToUtf8(std::string_view doc) const;
    // Where the rows must start: as loading cuts lines, or as word wrap does.
    std::vector<TextOffset> RowStarts() const { return RowStartsOf(text_); }
    std::vector<TextOffset> RowStartsOf(std::string_view text) const;
    // The rows are checked once the re-wrap that a widget leaves to its background slices
    // has come to its end.
    std::string CheckRows() {
        memo_.View().WordWrap().Finish();
        return CheckStore(memo_.Store(), wrapOn_);
    }
    std::vector<TextOffset> StoreRowStarts();
    TRow RowOf(const std::vector<TextOffset>& rows, TextOffset p) const;
    TRow RowAtIndex(const std::vector<TextOffset>& rows, int32_t k) const;
    TextOffset LineStart(TextOffset p) const;
    std::vector<TextOffset> LinesTouched(const TSelectionRange& sel) const;
    bool StartsWord(unsigned char c, bool highLetters) const;
    bool InWord(unsigned char c, bool highLetters) const;
    TextOffset WordBefore(TextOffset caret, bool highLetters) const;
    TextOffset WordAfter(TextOffset caret, bool highLetters) const;
    std::vector<bool> WordRules() const {
        if (cfg_.ownWordTests)
            return {false};
        // Whether bytes of 128 and up count as letters is the control's own choice; both
        // readings keep multi-byte characters whole, so either is accepted.
        return {true, false};
    }
    std::string Replaced(TextOffset from, TextOffset to, std::string_view by) const {
        std::string t = text_;
        t.replace(static_cast<size_t>(from), static_cast<size_t>(to - from), by);
        return t;
    }

    // Text generators
    char RandomAscii();
    TClip RandomText(int length, bool breaks, bool controls);
    void AddWide(TClip& c, bool allowUnrepresentable);

    // Checking
    void Note(const std::string& op);
    void Fail(const std::string& what);
    void Settle(std::string expected, bool edit, const TSelectionRange& undoSel,
                std::optional<TSelectionRange> wantSel);
    void ReplayHistory();

    // Operations
    void Load();
    void Step();
    void Pick();
    void OpType(char32_t ch, const std::string& bytes);
    void OpTypeAscii() {
        const char c = RandomAscii();
        OpType(static_cast<unsigned char>(c), std::string(1, c));
    }
    void OpTypeWide();
    void OpIgnoredKey();
    void OpToggleInsert();
    void OpEnter();
    void OpTab();
    void OpBackspace();
    void OpDelete();
    void OpPaste(const TClip& clip);
    void OpCut();
    void OpCopy();
    void OpIndent();
    void OpUnindent();
    void OpDeleteLine();
    void OpDeleteWord(bool before);
    void OpMove(int command, bool extend);
    void OpSelect(TextOffset anchor, TextOffset caret);
    void OpRandomSelection();
    void OpLineSelection();
    void QueueLongLineWork();
    void QueueRowBoundaryWork();
    void QueueShortFirstRow();
    void QueueWideCharAtRowEnd();
    void QueueTrim();
    void QueueHugePaste();
    void OpBookmark();
    void OpRewrap();
    void CheckBookmarks();

    const TRunConfig cfg_;
    TRandom rnd_;
    std::vector<int> tabStops_; // explicit tab columns, zero-based
    TEditorDriver& driver_;
    TCustomSyntaxMemo& memo_; // read only: every change goes through the driver
    TBookmarkModel bookmarks_{memo_.Store()};
    std::string text_;    // what the document must hold
    std::string initial_; // the text after loading
    bool insertMode_ = true;
    int32_t undoCount_ = 0;
    std::vector<TEdit> edits_;
    std::deque<std::function<void()>> queued_;
    std::deque<std::string> recent_;
    int step_ = 0;
    int hugePastes_ = 0;
    int notes_ = 0; // operations run so far
    // How often the interesting cases came up; a run that never reaches one of them proves
    // nothing about it.
    struct TSeen {
        int fullRows = 0;       // operations after which a row was at the length limit
        int overwrites = 0;     // characters typed over another one
        int autoIndents = 0;    // Enter with an indented new line
        int tabAligns = 0;      // TAB key lined up with a row above
        int wordDeletes = 0;    // word deletions that deleted something
        int blockEdits = 0;     // indent and un-indent that changed something
        int undoSteps = 0;      // edits undone and redone at the end
        int bookmarkEdits = 0;  // edits with a bookmark in the document
        int bookmarkLosses = 0; // bookmarks whose line an edit swallowed
        int rewraps = 0;        // width changes that moved rows
    } seen_;
    bool wrapOn_ = false; // what the model expects of the rows
    int wrapAt_ = 0;      // the WrapAtColumn in force
    bool overrideOn_ = false;
    bool failed_ = false;
};

// ---- Model helpers ---------------------------------------------------------------------

TModelRun::TModelRun(const TRunConfig& cfg, TEditorDriver& driver)
    : cfg_(cfg), rnd_(cfg.seed), driver_(driver), memo_(driver.Memo()) {
    // The TabColumns text holds one-based columns separated by blanks.
    for (std::string_view t = cfg.tabColumns; !t.empty();) {
        const size_t sp = t.find(' ');
        tabStops_.push_back(std::atoi(std::string(t.substr(0, sp)).c_str()) - 1);
        t = sp == std::string_view::npos ? std::string_view() : t.substr(sp + 1);
    }
}

int TModelRun::NextTabStop(int c) const {
    // Explicit columns first, then multiples of the default width.
    for (int stop : tabStops_)
        if (stop > c)
            return stop;
    return c + cfg_.tabDefault - c % cfg_.tabDefault;
}

int TModelRun::Column(TextOffset from, TextOffset to) const {
    int col = 0;
    for (TextOffset p = from; p < to; ++p) {
        if (text_[p] == '\t')
            col = NextTabStop(col);
        else if (!cfg_.utf8 || !IsContinuationByte(text_[p]))
            ++col;
    }
    return col;
}

std::string TModelRun::FillText(int from, int to) const {
    std::string fill;
    if (to <= from)
        return fill;
    if (cfg_.smartFill) {
        for (int next = NextTabStop(from); next <= to; next = NextTabStop(from)) {
            fill.push_back('\t');
            from = next;
        }
    }
    fill.append(static_cast<size_t>(to - from), ' ');
    return fill;
}

std::string TModelRun::DocToUtf8(std::string_view doc) const {
    if (cfg_.utf8)
        return std::string(doc);
    std::string out;
    for (char c : doc) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
            continue;
        }
        const auto w = std::find_if(std::begin(kWide), std::end(kWide),
                                    [&](const TWide& x) { return x.cp1252 == b; });
        out += w != std::end(kWide) ? w->utf8 : "?";
    }
    return out;
}

// Where the rows must start, from the model's text alone: every line starts a row, and a
// line longer than a row is cut as loading cuts it, whatever edits made it; with word wrap
// on, as the wrap model cuts it.
std::vector<TextOffset> TModelRun::RowStartsOf(std::string_view text) const {
    if (wrapOn_) {
        TWrapModel m;
        m.width = std::max(wrapAt_, 20);
        m.utf8 = cfg_.utf8;
        m.tabDefault = cfg_.tabDefault;
        m.tabStops = tabStops_;
        if (overrideOn_)
            m.overrideChars = ">|:";
        return WrapRowStarts(text, m);
    }
    std::vector<TextOffset> rows;
    const auto n = static_cast<TextOffset>(text.size());
    for (TextOffset line = 0; line < n;) {
        const size_t br = text.find('\r', static_cast<size_t>(line));
        const TextOffset end = br == std::string::npos ? n : static_cast<TextOffset>(br) + 1;
        rows.push_back(line);
        for (const int32_t cut : test::LimitCuts(text.data() + line, end - line, cfg_.utf8))
            rows.push_back(line + cut);
        line = end;
    }
    return rows;
}

std::vector<TextOffset> TModelRun::StoreRowStarts() {
    std::vector<TextOffset> rows;
    TextOffset at = 0;
    for (const TLineNode* r = memo_.Store().FirstRow(); r; r = r->Next()) {
        rows.push_back(at);
        at += r->Length();
    }
    return rows;
}

TRow TModelRun::RowAtIndex(const std::vector<TextOffset>& rows, int32_t k) const {
    TRow r;
    r.index = k;
    r.exists = true;
    r.start = rows[k];
    r.end = k + 1 < static_cast<int32_t>(rows.size()) ? rows[k + 1] : Len();
    r.contentEnd = r.end > r.start && text_[r.end - 1] == '\r' ? r.end - 1 : r.end;
    return r;
}

TRow TModelRun::RowOf(const std::vector<TextOffset>& rows, TextOffset p) const {
    if (rows.empty())
        return {};
    if (p >= Len() && text_.back() == '\r') {
        TRow r;
        r.index = static_cast<int32_t>(rows.size());
        r.start = r.end = r.contentEnd = Len();
        return r;
    }
    const auto it = std::upper_bound(rows.begin(), rows.end(), p);
    return RowAtIndex(rows, static_cast<int32_t>(it - rows.begin()) - 1);
}

TextOffset TModelRun::LineStart(TextOffset p) const {
    while (p > 0 && text_[p - 1] != '\r')
        --p;
    return p;
}

// Starts of the logical lines a block indent works on: from the line of the selection's
// start up to the line of its end, without that last line when the selection stops at its
// very start.
std::vector<TextOffset> TModelRun::LinesTouched(const TSelectionRange& sel) const {
    std::vector<TextOffset> lines;
    if (sel.Empty())
        return lines;
    for (TextOffset l = LineStart(sel.Start()); l < sel.End();) {
        lines.push_back(l);
        const size_t br = text_.find('\r', static_cast<size_t>(l));
        if (br == std::string::npos)
            break;
        l = static_cast<TextOffset>(br) + 1;
    }
    return lines;
}

bool TModelRun::StartsWord(unsigned char c, bool highLetters) const {
    if (c >= 128)
        return highLetters;
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool TModelRun::InWord(unsigned char c, bool highLetters) const {
    if (c >= 128)
        return highLetters;
    return StartsWord(c, false) || (c >= '0' && c <= '9') || c == '\'' || c == '-';
}

TextOffset TModelRun::WordBefore(TextOffset caret, bool hi) const {
    if (caret <= 0)
        return caret;
    auto ch = [&](TextOffset p) {
        return p >= 0 && p < Len() ? static_cast<unsigned char>(text_[p]) : 0;
    };
    auto wordish = [&](unsigned char c) { return InWord(c, hi) || StartsWord(c, hi); };
    TextOffset p;
    if (wordish(ch(caret)) && wordish(ch(caret - 1))) {
        p = caret;
        while (p >= 1 && InWord(ch(p), hi))
            --p;
        if (!StartsWord(ch(p), hi))
            ++p;
        return p;
    }
    p = caret - 1;
    while (p > 0 && !InWord(ch(p), hi))
        --p;
    if (!wordish(ch(p)))
        return -1;
    while (p > 0 && InWord(ch(p), hi))
        --p;
    if (!StartsWord(ch(p), hi))
        ++p;
    return p;
}

TextOffset TModelRun::WordAfter(TextOffset caret, bool hi) const {
    TextOffset p = caret;
    auto ch = [&](TextOffset q) { return static_cast<unsigned char>(text_[q]); };
    if (p < Len() && StartsWord(ch(p), hi))
        ++p;
    while (p < Len() && InWord(ch(p), hi))
        ++p;
    while (p < Len() && !InWord(ch(p), hi))
        ++p;
    return p;
}

// ---- Text generators -------------------------------------------------------------------

char TModelRun::RandomAscii() {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static const char other[] = "0123456789_'-.,;:(){}[]<>=+*/\\\"!?#$%&@^|~`";
    const int k = rnd_.Below(100);
    if (k < 60)
        return letters[rnd_.Below(sizeof letters - 1)];
    if (k < 80)
        return ' ';
    if (k < 95)
        return other[rnd_.Below(sizeof other - 1)];
    return static_cast<char>(rnd_.Between(32, 126));
}

void TModelRun::AddWide(TClip& c, bool allowUnrepresentable) {
    const int n = static_cast<int>(std::size(kWide));
    const TWide* w = &kWide[rnd_.Below(n)];
    if (!cfg_.utf8 && w->cp1252 < 0) {
        if (!allowUnrepresentable) {
            w = &kWide[rnd_.Below(3)];
        } else {
            c.utf8 += w->utf8;
            c.representable = false;
            return;
        }
    }
    c.utf8 += w->utf8;
    c.doc += DocBytes(*w);
}

TClip TModelRun::RandomText(int length, bool breaks, bool controls) {
    TClip c;
    static const char* const kBreaks[] = {"\r\n", "\n", "\r", "\n\r"};
    while (static_cast<int>(c.doc.size()) < length) {
        const int k = rnd_.Below(100);
        if (breaks && k < 8) {
            const char* br = kBreaks[rnd_.Below(4)];
            c.utf8 += br;
            c.doc += br;
        } else if (k < 12) {
            c.utf8 += '\t';
            c.doc += '\t';
        } else if (k < 16) {
            AddWide(c, false);
        } else if (controls && k < 18) {
            static const char kCtl[] = {0, 1, 2, 7, 8, 11, 12, 14, 27, 31, 127};
            const char b = kCtl[rnd_.Below(sizeof kCtl)];
            c.utf8 += b;
            c.doc += b;
        } else {
            const char a = RandomAscii();
            c.utf8 += a;
            c.doc += a;
        }
    }
    return c;
}

// ---- Checking --------------------------------------------------------------------------

void TModelRun::Note(const std::string& op) {
    ++notes_;
    const TSelectionRange s = memo_.Selection();
    recent_.push_back("step " + std::to_string(step_) + ": " + op + "  [selection " + Show(s) +
                      ", length " + std::to_string(Len()) + (insertMode_ ? "" : ", overwrite") +
                      "]");
    if (recent_.size() > 30)
        recent_.pop_front();
}

void TModelRun::Fail(const std::string& what) {
    if (failed_)
        return;
    failed_ = true;
    std::string msg = "run " + std::string(cfg_.name) + ", seed " + std::to_string(cfg_.seed) +
                      ", step " + std::to_string(step_) + ": " + what +
                      "\nlast operations, oldest first:\n";
    for (const std::string& r : recent_)
        msg += "  " + r + "\n";
    ADD_FAILURE() << msg;
}

// Compares the control with the model after one operation. `edit` says whether the
// operation replaced text, which must leave exactly one undo step; `undoSel` is the
// selection an undo of it has to bring back.
void TModelRun::Settle(std::string expected, bool edit, const TSelectionRange& undoSel,
                       std::optional<TSelectionRange> wantSel) {
    if (failed_)
        return;
    const std::string got = memo_.Text();
    if (got != expected)
        return Fail("text differs from the model: " + Mismatch(expected, got));
    if (const std::string e = CheckRows(); !e.empty())
        return Fail("broken store: " + e);
    const TSelectionRange sel = memo_.Selection();
    const auto n = static_cast<TextOffset>(got.size());
    if (sel.Anchor < 0 || sel.Anchor > n || sel.Caret < 0 || sel.Caret > n)
        return Fail("selection " + Show(sel) + " outside the text");
    if (!IsBoundary(got, sel.Anchor) || !IsBoundary(got, sel.Caret))
        return Fail("selection " + Show(sel) + " inside a character");
    if (wantSel && !(sel == *wantSel))
        return Fail("selection " + Show(sel) + ", expected " + Show(*wantSel));
    if (cfg_.utf8 && !ValidUtf8(got))
        return Fail("text is no longer valid UTF-8");
    const TUndoStack* log = memo_.Store().UndoLog();
    if (log->GroupOpen())
        return Fail("an undo group was left open");
    const bool trimmed = cfg_.undoBudget >= 0;
    // Under a budget the log may lose the oldest steps at any edit, and a step larger than
    // the whole budget at once; it must still read as whole steps.
    if (trimmed || step_ % 500 == 0)
        if (const std::string e = test::CheckUndoLog(*memo_.Store().UndoLog()); !e.empty())
            return Fail("broken undo log: " + e);
    if (edit && !trimmed && log->Count() <= undoCount_)
        return Fail("an edit left nothing to undo");
    if (edit && memo_.CanRedo())
        return Fail("redo entries survived an edit");
    if (!edit && log->Count() != undoCount_)
        return Fail("an operation that changed nothing left an undo entry");
    if (memo_.Modified() != memo_.CanUndo() && !(trimmed && memo_.Modified()))
        return Fail("Modified does not say whether there is something to undo");
    undoCount_ = log->Count();
    if (memo_.Store().LongestRow() >= MaxRowLength - 3)
        ++seen_.fullRows;
    if (edit) {
        TEdit e;
        size_t pre = 0;
        while (pre < text_.size() && pre < got.size() && text_[pre] == got[pre])
            ++pre;
        size_t post = 0;
        while (post < text_.size() - pre && post < got.size() - pre &&
               text_[text_.size() - 1 - post] == got[got.size() - 1 - post])
            ++post;
        e.at = static_cast<TextOffset>(pre);
        e.removed = text_.substr(pre, text_.size() - pre - post);
        e.inserted = got.substr(pre, got.size() - pre - post);
        e.before = undoSel;
        e.after = sel;
        edits_.push_back(std::move(e));
    }
    text_ = std::move(expected);
    CheckBookmarks();
    if (edit)
        for (int n = 0; n < 10; ++n)
            if (bookmarks_.LineWith(n) >= 0) {
                ++seen_.bookmarkEdits;
                break;
            }
    // Every edit leaves the rows as loading the same text would cut them.
    const std::vector<TextOffset> rows = RowStarts();
    if (const std::vector<TextOffset> got = StoreRowStarts(); got != rows) {
        size_t k = 0;
        while (k < rows.size() && k < got.size() && rows[k] == got[k])
            ++k;
        return Fail("rows cut differently from the model: row " + std::to_string(k) +
                    " starts at " + (k < got.size() ? std::to_string(got[k]) : "none") +
                    ", expected " + (k < rows.size() ? std::to_string(rows[k]) : "none"));
    }
    // Rows are found through remembered positions (the last lookup, the first visible row);
    // whatever an edit did to them, a lookup must agree with walking the rows.
    for (const TextOffset p : {sel.Anchor, sel.Caret}) {
        const TRow want = RowOf(rows, p);
        const TCustomSyntaxMemo::TCaretRow at = memo_.Locate(p);
        if (at.Index != want.index || at.RowOffset != want.start ||
            (at.Row != nullptr) != want.exists || (want.exists && at.InRow != p - want.start))
            return Fail("offset " + std::to_string(p) + " located in row " +
                        std::to_string(at.Index) + " at " + std::to_string(at.RowOffset) +
                        ", expected row " + std::to_string(want.index) + " at " +
                        std::to_string(want.start));
    }
}

// Undoes every edit one step at a time, then redoes them all, comparing text and selection
// with what each step had.
void TModelRun::ReplayHistory() {
    std::string cur = text_;
    size_t i = edits_.size();
    int undos = 0;
    auto check = [&](const char* what, const TSelectionRange& want) {
        const std::string got = memo_.Text();
        const std::string where = std::string(what) + " " + std::to_string(undos) + " (edit " +
                                  std::to_string(i) + " of " + std::to_string(edits_.size()) + ")";
        if (got != cur)
            return Fail(where + ": " + Mismatch(cur, got));
        if (const std::string e = CheckRows(); !e.empty())
            return Fail(where + ": broken store: " + e);
        if (StoreRowStarts() != RowStartsOf(cur))
            return Fail(where + ": rows cut differently from the model");
        if (!(memo_.Selection() == want))
            return Fail(where + ": selection " + Show(memo_.Selection()) + ", expected " +
                        Show(want));
    };
    recent_.clear();
    while (!failed_ && memo_.CanUndo()) {
        if (i == 0)
            return Fail("more undo steps than edits");
        const TEdit& e = edits_[--i];
        ++undos;
        driver_.Undo();
        ++seen_.undoSteps;
        cur.replace(static_cast<size_t>(e.at), e.inserted.size(), e.removed);
        check("undo", e.before);
    }
    if (failed_)
        return;
    if (cfg_.undoBudget >= 0 && i > 0) {
        // The oldest steps were trimmed: the text is what it was after the oldest one kept,
        // and the loaded text cannot come back, so the document stays modified.
        if (!memo_.Modified())
            return Fail("unmodified although the loaded text cannot be reached");
    } else {
        if (i != 0)
            return Fail("undo stopped with " + std::to_string(i) + " edits left");
        if (cur != initial_)
            return Fail("undo did not lead back to the loaded text");
        if (memo_.Modified())
            return Fail("still modified after everything was undone");
    }
    undos = 0;
    while (!failed_ && memo_.CanRedo()) {
        if (i == edits_.size())
            return Fail("more redo steps than edits");
        const TEdit& e = edits_[i++];
        ++undos;
        driver_.Redo();
        cur.replace(static_cast<size_t>(e.at), e.removed.size(), e.inserted);
        check("redo", e.after);
    }
    if (failed_)
        return;
    if (i != edits_.size())
        return Fail("redo stopped with " + std::to_string(edits_.size() - i) + " edits left");
    if (cur != text_)
        return Fail("redo did not lead to the final text");
}

// ---- Operations ------------------------------------------------------------------------

void TModelRun::Load() {
    memo_.Store().UndoLog()->SetBudget(cfg_.undoBudget);
    memo_.SetTabDefault(cfg_.tabDefault);
    memo_.SetTabColumnsText(cfg_.tabColumns);
    memo_.SetIndentStep(cfg_.indentStep);
    if (!cfg_.smartFill)
        memo_.SetOptions(memo_.Options().Exclude(smoSmartFill));
    if (cfg_.ownWordTests) {
        memo_.fn_CharStartsWord = [this](unsigned char c) { return StartsWord(c, false); };
        memo_.fn_CharIsInWord = [this](unsigned char c) { return InWord(c, false); };
    }
    if (cfg_.wrap) {
        // On before the text comes, so the loaded rows are wrapped too.
        wrapAt_ = rnd_.Between(20, 120);
        memo_.View().WordWrap().SetWrapAtColumn(wrapAt_);
        memo_.SetOptions(memo_.Options().Include(smoWordWrap));
        wrapOn_ = true;
    }
    if (!cfg_.startEmpty) {
        // A few dozen lines with CR LF breaks, one of them longer than a row may be. A
        // Windows-1252 document is recognised by a byte that cannot be UTF-8.
        std::string raw = cfg_.utf8 ? "caf\xC3\xA9\r\n" : "caf\xE9\r\n";
        const int lines = rnd_.Between(20, 40);
        for (int l = 0; l < lines; ++l) {
            const int indent = rnd_.Below(3) * 4;
            raw.append(static_cast<size_t>(indent), ' ');
            raw += RandomText(l == lines / 2 ? 2300 : rnd_.Below(60), false, false).doc;
            raw += "\r\n";
        }
        TMemoryStream in(raw);
        memo_.LoadFromStream(in);
        if (memo_.Store().Utf8() != cfg_.utf8)
            return Fail("loaded document has the wrong encoding");
        text_ = Normalize(raw);
        if (memo_.Text() != text_)
            return Fail("loaded text: " + Mismatch(text_, memo_.Text()));
    }
    if (memo_.CanUndo())
        return Fail("a fresh document has something to undo");
    if (const std::string e = CheckRows(); !e.empty())
        return Fail("broken store after loading: " + e);
    initial_ = text_;
    undoCount_ = memo_.Store().UndoLog()->Count();
}

void TModelRun::OpType(char32_t ch, const std::string& bytes) {
    const TSelectionRange sel = memo_.Selection();
    Note("type U+" + std::to_string(static_cast<uint32_t>(ch)) + " \"" + Show(bytes) + "\"");
    if (bytes.empty()) {
        // A character the document's code page cannot hold: a beep and nothing else.
        const int beeps = driver_.Beeps();
        driver_.TypeChar(ch);
        if (driver_.Beeps() != beeps + 1)
            return Fail("no beep for a character the document cannot hold");
        return Settle(text_, false, sel, sel);
    }
    TextOffset from = sel.Start(), to = sel.End();
    // Overwriting replaces the character at the caret, but never a line break.
    if (!insertMode_ && sel.Empty() && from < Len() && text_[from] != '\r') {
        to = from + CharLen(from);
        ++seen_.overwrites;
    }
    std::string expected = Replaced(from, to, bytes);
    driver_.TypeChar(ch);
    const TextOffset at = from + static_cast<TextOffset>(bytes.size());
    Settle(std::move(expected), true, sel, TSelectionRange{at, at});
}

void TModelRun::OpTypeWide() {
    const TWide& w = kWide[rnd_.Below(static_cast<int>(std::size(kWide)))];
    // A Windows-1252 document mostly gets characters it can hold.
    if (!cfg_.utf8 && w.cp1252 < 0 && rnd_.Below(4) != 0)
        return OpType(kWide[0].code, DocBytes(kWide[0]));
    OpType(w.code, cfg_.utf8 || w.cp1252 >= 0 ? DocBytes(w) : std::string());
}

// Line feed (with WantReturns on), other control characters and DEL do not type anything.
void TModelRun::OpIgnoredKey() {
    static const char32_t keys[] = {U'\n', 1, 8, 27, 31, 127};
    const char32_t k = keys[rnd_.Below(static_cast<int>(std::size(keys)))];
    const TSelectionRange sel = memo_.Selection();
    Note("key U+" + std::to_string(static_cast<uint32_t>(k)) + " (ignored)");
    driver_.TypeChar(k);
    Settle(text_, false, sel, sel);
}

void TModelRun::OpToggleInsert() {
    const TSelectionRange sel = memo_.Selection();
    Note("caINSTOGGLE");
    driver_.RunCommand(caINSTOGGLE, false);
    insertMode_ = !insertMode_;
    if (memo_.InsertMode() != insertMode_)
        return Fail("insert mode did not flip");
    Settle(text_, false, sel, sel);
}

// Enter with auto indent: the new line gets the indentation of the caret's row (blanks up
// to the caret), or, when that row is blank, of the nearest row above with text; a row with
// text but no indentation, or a caret at its start, gives none.
void TModelRun::OpEnter() {
    const TSelectionRange sel = memo_.Selection();
    const std::vector<TextOffset> rows = RowStarts();
    const TRow r = RowOf(rows, sel.Caret);
    bool hasText = false;
    TextOffset lead = 0;
    if (r.exists) {
        for (TextOffset p = r.start; p < r.contentEnd && !hasText; ++p)
            hasText = !IsBlank(text_[p]);
        while (r.start + lead < r.contentEnd && r.start + lead < sel.Caret &&
               IsBlank(text_[r.start + lead]))
            ++lead;
    }
    int indent = 0;
    if (!(hasText && (lead == 0 || sel.Caret == r.start))) {
        indent = r.exists ? Column(r.start, r.start + lead) : 0;
        for (int32_t k = r.index - 1; indent == 0 && k >= 0; --k) {
            const TRow above = RowAtIndex(rows, k);
            TextOffset p = above.start;
            while (p < above.contentEnd && IsBlank(text_[p]))
                ++p;
            if (p < above.contentEnd) {
                indent = Column(above.start, p);
                break;
            }
        }
    }
    seen_.autoIndents += indent > 0;
    const std::string inserted = "\r" + FillText(0, indent);
    Note("Enter (expected indent column " + std::to_string(indent) + ")");
    std::string expected = Replaced(sel.Start(), sel.End(), inserted);
    driver_.TypeChar(U'\r');
    const TextOffset at = sel.Start() + static_cast<TextOffset>(inserted.size());
    Settle(std::move(expected), true, sel, TSelectionRange{at, at});
}

// The TAB key lines the caret up with the next word of the nearest row above that reaches
// past the caret's column, or goes to the next tab stop when no row does.
void TModelRun::OpTab() {
    // With word wrap the rows above are no columns to line up with: the key types a TAB.
    if (wrapOn_)
        return OpType(U'\t', "\t");
    const TSelectionRange sel = memo_.Selection();
    const std::vector<TextOffset> rows = RowStarts();
    const TRow r = RowOf(rows, sel.Caret);
    const int start = r.exists ? Column(r.start, sel.Caret) : 0;
    int target = NextTabStop(start);
    for (int32_t k = r.index - 1; k >= 0; --k) {
        const TRow above = RowAtIndex(rows, k);
        if (Column(above.start, above.contentEnd) <= start)
            continue;
        TextOffset i = above.start;
        for (int col = 0; i < above.contentEnd && col < start; i += CharLen(i))
            col = text_[i] == '\t' ? NextTabStop(col) : col + 1;
        while (i < above.contentEnd && !IsBlank(text_[i]))
            ++i;
        while (i < above.contentEnd && IsBlank(text_[i]))
            ++i;
        target = Column(above.start, i);
        ++seen_.tabAligns;
        break;
    }
    const std::string fill = FillText(start, target);
    Note("TAB key (column " + std::to_string(start) + " to " + std::to_string(target) + ")");
    driver_.TypeChar(U'\t');
    if (fill.empty())
        return Settle(text_, false, sel, sel);
    const TextOffset at = sel.Start() + static_cast<TextOffset>(fill.size());
    Settle(Replaced(sel.Start(), sel.End(), fill), true, sel, TSelectionRange{at, at});
}

void TModelRun::OpBackspace() {
    const TSelectionRange sel = memo_.Selection();
    Note("caBACKSPACE");
    driver_.RunCommand(caBACKSPACE, false);
    if (sel.Empty() && sel.Caret == 0)
        return Settle(text_, false, sel, sel);
    const TextOffset from = sel.Empty() ? PrevStart(sel.Caret) : sel.Start();
    const TextOffset to = sel.Empty() ? sel.Caret : sel.End();
    Settle(Replaced(from, to, ""), true, sel, TSelectionRange{from, from});
}

void TModelRun::OpDelete() {
    const TSelectionRange sel = memo_.Selection();
    Note("caDELETE");
    driver_.RunCommand(caDELETE, false);
    if (sel.Empty() && sel.Caret >= Len())
        return Settle(text_, false, sel, sel);
    const TextOffset from = sel.Start();
    const TextOffset to = sel.Empty() ? sel.Caret + CharLen(sel.Caret) : sel.End();
    Settle(Replaced(from, to, ""), true, sel, TSelectionRange{from, from});
}

void TModelRun::OpPaste(const TClip& clip) {
    const TSelectionRange sel = memo_.Selection();
    driver_.PutOnClipboard(clip.utf8);
    Note("caPASTE \"" + Show(clip.utf8, 40) + "\"");
    const int beeps = driver_.Beeps();
    driver_.RunCommand(caPASTE, false);
    if (!clip.representable) {
        if (driver_.Beeps() != beeps + 1)
            return Fail("no beep for a paste the document cannot hold");
        return Settle(text_, false, sel, sel);
    }
    const std::string stored = Normalize(clip.doc);
    // An empty clipboard still replaces the selection; with nothing selected it does nothing.
    if (stored.empty() && sel.Empty())
        return Settle(text_, false, sel, sel);
    const TextOffset at = sel.Start() + static_cast<TextOffset>(stored.size());
    Settle(Replaced(sel.Start(), sel.End(), stored), true, sel, TSelectionRange{at, at});
}

void TModelRun::OpCut() {
    const TSelectionRange sel = memo_.Selection();
    driver_.PutOnClipboard("(untouched)");
    Note("caCUT");
    driver_.RunCommand(caCUT, false);
    if (sel.Empty()) {
        if (driver_.ClipboardText() != "(untouched)")
            return Fail("cut without a selection changed the clipboard");
        return Settle(text_, false, sel, sel);
    }
    std::string cut = text_.substr(sel.Start(), sel.End() - sel.Start());
    std::replace(cut.begin(), cut.end(), '\r', '\n');
    if (driver_.ClipboardText() != DocToUtf8(cut))
        return Fail("clipboard after cut: " + Mismatch(DocToUtf8(cut), driver_.ClipboardText()));
    Settle(Replaced(sel.Start(), sel.End(), ""), true, sel,
           TSelectionRange{sel.Start(), sel.Start()});
}

void TModelRun::OpCopy() {
    const TSelectionRange sel = memo_.Selection();
    driver_.PutOnClipboard("(untouched)");
    Note("caCOPY");
    driver_.RunCommand(caCOPY, false);
    std::string want = "(untouched)";
    if (!sel.Empty()) {
        want = text_.substr(sel.Start(), sel.End() - sel.Start());
        std::replace(want.begin(), want.end(), '\r', '\n');
        want = DocToUtf8(want);
    }
    if (driver_.ClipboardText() != want)
        return Fail("clipboard after copy: " + Mismatch(want, driver_.ClipboardText()));
    Settle(text_, false, sel, sel);
}

// Block indent: every line the selection touches gets IndentStep spaces at its start (the
// last line not when the selection stops at its very start).
void TModelRun::OpIndent() {
    const TSelectionRange sel = memo_.Selection();
    const int step = cfg_.indentStep;
    const std::vector<TextOffset> lines = LinesTouched(sel);
    std::string expected = text_;
    for (auto l = lines.rbegin(); l != lines.rend(); ++l)
        expected.insert(static_cast<size_t>(*l), static_cast<size_t>(step), ' ');
    // The selection keeps covering the same characters: it grows by what went in, and a
    // start inside its line moves with the text.
    const bool caretAtEnd = sel.Caret > sel.Anchor;
    const TextOffset end = sel.End() + step * static_cast<TextOffset>(lines.size());
    const TextOffset start =
        sel.Start() + (!lines.empty() && lines.front() < sel.Start() ? step : 0);
    const TSelectionRange want =
        caretAtEnd ? TSelectionRange{start, end} : TSelectionRange{end, start};
    Note("caBLOCKIND");
    driver_.RunCommand(caBLOCKIND, false);
    if (sel.Empty())
        return Settle(text_, false, sel, sel);
    ++seen_.blockEdits;
    Settle(std::move(expected), true, sel, want);
}

// Block un-indent: up to IndentStep leading blanks go from every line the selection
// touches; positions inside them move to the line start, positions after them move back.
void TModelRun::OpUnindent() {
    const TSelectionRange sel = memo_.Selection();
    const int step = cfg_.indentStep;
    struct TCut {
        TextOffset at;
        TextOffset n;
    };
    std::vector<TCut> cuts;
    for (TextOffset l : LinesTouched(sel)) {
        TextOffset n = 0;
        while (n < step && l + n < Len() && IsBlank(text_[l + n]))
            ++n;
        if (n > 0)
            cuts.push_back({l, n});
    }
    std::string expected = text_;
    for (auto c = cuts.rbegin(); c != cuts.rend(); ++c)
        expected.erase(static_cast<size_t>(c->at), static_cast<size_t>(c->n));
    auto track = [&](TextOffset p) {
        TextOffset shift = 0;
        for (const TCut& c : cuts)
            shift += p >= c.at + c.n ? c.n : std::max(0, p - c.at);
        return p - shift;
    };
    const bool caretAtEnd = sel.Caret > sel.Anchor;
    const TextOffset end = track(sel.End());
    Note("caBLOCKUND");
    driver_.RunCommand(caBLOCKUND, false);
    if (cuts.empty())
        return Settle(text_, false, sel, sel);
    ++seen_.blockEdits;
    Settle(std::move(expected), true, sel, std::nullopt);
    if (failed_)
        return;
    // The end follows the removals; whether the start keeps its offset or follows them too
    // is not pinned down, so either is accepted.
    const TSelectionRange got = memo_.Selection();
    const TextOffset gotEnd = caretAtEnd ? got.Caret : got.Anchor;
    const TextOffset gotStart = caretAtEnd ? got.Anchor : got.Caret;
    if (gotEnd != end || (gotStart != sel.Start() && gotStart != track(sel.Start())))
        Fail("selection after un-indent " + Show(got) + ", expected end " + std::to_string(end) +
             " on the " + (caretAtEnd ? "caret" : "anchor") + " side");
}

void TModelRun::OpDeleteLine() {
    const TSelectionRange sel = memo_.Selection();
    const TRow r = RowOf(RowStarts(), sel.Caret);
    Note("caDELETELINE");
    driver_.RunCommand(caDELETELINE, false);
    if (!sel.Empty() || !r.exists)
        return Settle(text_, false, sel, sel);
    // The row with its break goes; an undo gives back the row selected.
    Settle(Replaced(r.start, r.end, ""), true, TSelectionRange{r.start, r.end},
           TSelectionRange{r.start, r.start});
}

// Delete previous / next word: the caret moves to the word boundary with the selection
// extended from the anchor, then that selection (or, when it came out empty, the character
// after the caret) is deleted.
void TModelRun::OpDeleteWord(bool before) {
    const TSelectionRange sel = memo_.Selection();
    struct TOutcome {
        std::string text;
        bool edit;
        TSelectionRange sel;
    };
    std::vector<TOutcome> outcomes;
    for (bool hi : WordRules()) {
        const TextOffset w = before ? WordBefore(sel.Caret, hi) : WordAfter(sel.Caret, hi);
        if (w < 0 || w == sel.Caret) {
            outcomes.push_back({text_, false, sel});
            continue;
        }
        const TSelectionRange moved{sel.Anchor, w};
        if (!moved.Empty())
            outcomes.push_back({Replaced(moved.Start(), moved.End(), ""), true,
                                TSelectionRange{moved.Start(), moved.Start()}});
        else if (w < Len())
            outcomes.push_back({Replaced(w, w + CharLen(w), ""), true, TSelectionRange{w, w}});
        else
            outcomes.push_back({text_, false, moved});
    }
    Note(before ? "caDELPREVWORD" : "caDELNEXTWORD");
    driver_.RunCommand(before ? caDELPREVWORD : caDELNEXTWORD, false);
    const std::string got = memo_.Text();
    const auto match = std::find_if(outcomes.begin(), outcomes.end(), [&](const TOutcome& o) {
        return o.text == got && o.sel == memo_.Selection();
    });
    const TOutcome& o = match != outcomes.end() ? *match : outcomes.front();
    seen_.wordDeletes += o.edit;
    Settle(o.text, o.edit, sel, o.sel);
}

// Caret moves. Left, right, line start and end, document start and end and the word moves
// are predicted exactly; the vertical moves are checked for the row they reach.
void TModelRun::OpMove(int command, bool extend) {
    const TSelectionRange sel = memo_.Selection();
    const std::vector<TextOffset> rows = RowStarts();
    const TRow r = RowOf(rows, sel.Caret);
    const TextOffset caret = sel.Caret;
    auto to = [&](TextOffset c) { return TSelectionRange{extend ? sel.Anchor : c, c}; };
    std::vector<TSelectionRange> want;
    std::optional<int32_t> wantRow;
    const auto rowCount = static_cast<int32_t>(rows.size());
    switch (command) {
    case caLEFT:
        want.push_back(to(PrevStart(caret)));
        break;
    case caRIGHT:
        want.push_back(to(caret < Len() ? caret + CharLen(caret) : Len()));
        break;
    case caLINEHOME:
        want.push_back(to(r.start));
        break;
    case caLINEEND: {
        TextOffset e = r.contentEnd;
        while (e > r.start && IsBlank(text_[e - 1]))
            --e;
        want.push_back(to(e));
        break;
    }
    case caUP:
    case caPAGEUP:
    case caDOWN:
    case caPAGEDOWN: {
        if (rows.empty()) {
            want.push_back(sel);
            break;
        }
        const bool up = command == caUP || command == caPAGEUP;
        if (command == caUP || command == caDOWN) {
            if (up && r.index == 0) {
                want.push_back(sel);
            } else if (!up && !r.exists) {
                want.push_back(sel);
            } else if (!up && r.index == rowCount - 1) {
                want.push_back(text_.back() == '\r' ? to(Len()) : sel);
            } else {
                wantRow = r.exists ? r.index + (up ? -1 : 1) : rowCount - 1;
            }
        } else {
            const int32_t page = std::max(driver_.VisibleRows(), 1);
            wantRow = std::clamp(r.index + (up ? -page : page), 0, rowCount - 1);
        }
        break;
    }
    case caWORDLEFT:
    case caWORDRIGHT:
        for (bool hi : WordRules()) {
            const TextOffset w =
                command == caWORDLEFT ? WordBefore(caret, hi) : WordAfter(caret, hi);
            want.push_back(w >= 0 && w != caret ? to(w) : sel);
        }
        break;
    case caDOCSTART:
        want.push_back(to(0));
        break;
    case caDOCEND:
        want.push_back(caret == Len() ? sel : to(Len()));
        break;
    default:
        break;
    }
    Note(std::string(CommandName(command)) + (extend ? " extend" : ""));
    driver_.RunCommand(command, extend);
    const TSelectionRange got = memo_.Selection();
    if (wantRow) {
        const TRow reached = RowOf(rows, got.Caret);
        if (reached.index != *wantRow)
            return Fail(std::string(CommandName(command)) + " reached row " +
                        std::to_string(reached.index) + ", expected row " +
                        std::to_string(*wantRow));
        if (extend ? got.Anchor != sel.Anchor : got.Anchor != got.Caret)
            return Fail(std::string(CommandName(command)) + " left the anchor at " +
                        std::to_string(got.Anchor));
        return Settle(text_, false, sel, std::nullopt);
    }
    const bool any = std::find(want.begin(), want.end(), got) != want.end();
    Settle(text_, false, sel, any ? got : want.front());
}

// The selection setter clamps to the text; in a UTF-8 document a position inside a
// character may only move to a neighbouring character boundary.
void TModelRun::OpSelect(TextOffset anchor, TextOffset caret) {
    const TSelectionRange sel = memo_.Selection();
    Note("SetSelection(" + std::to_string(anchor) + ", " + std::to_string(caret) + ")");
    driver_.Select(anchor, caret);
    if (anchor == -1)
        return Settle(text_, false, sel, TSelectionRange{0, Len()});
    anchor = std::clamp(anchor, 0, Len());
    caret = std::clamp(caret, 0, Len());
    if (IsBoundary(text_, anchor) && IsBoundary(text_, caret))
        return Settle(text_, false, sel, TSelectionRange{anchor, caret});
    const TSelectionRange got = memo_.Selection();
    if (std::abs(got.Anchor - anchor) > 3 || std::abs(got.Caret - caret) > 3)
        return Fail("SetSelection moved a position inside a character to " + Show(got));
    Settle(text_, false, sel, std::nullopt);
}

void TModelRun::OpRandomSelection() {
    const TextOffset n = Len();
    const TextOffset caret = memo_.Selection().Caret;
    const int k = rnd_.Below(100);
    if (k < 45) {
        const TextOffset p = rnd_.Between(0, n);
        return OpSelect(p, p);
    }
    if (k < 75) {
        const TextOffset a = std::clamp(caret + rnd_.Between(-40, 40), 0, n);
        const TextOffset c = std::clamp(a + rnd_.Between(-40, 40), 0, n);
        return OpSelect(a, c);
    }
    if (k < 88)
        return OpSelect(rnd_.Between(0, n), rnd_.Between(0, n));
    if (k < 96) // out of range on purpose: clamped
        return OpSelect(rnd_.Between(-10, -2), n + rnd_.Between(0, 10));
    if (k < 99)
        return OpSelect(n + rnd_.Between(1, 10), rnd_.Between(0, n));
    OpSelect(-1, rnd_.Between(0, n)); // select all
}

// A selection over a few whole or partial lines, for block indent and un-indent; about a
// third end exactly at the start of a line, which that command leaves alone.
void TModelRun::OpLineSelection() {
    const TextOffset n = Len();
    const TextOffset a = rnd_.Between(0, n);
    TextOffset b = std::min(n, a + rnd_.Between(1, 200));
    if (rnd_.Below(3) == 0) {
        TextOffset p = a;
        for (int lines = rnd_.Between(1, 4); lines > 0 && p < n; --lines) {
            const size_t br = text_.find('\r', static_cast<size_t>(p));
            p = br == std::string::npos ? n : static_cast<TextOffset>(br) + 1;
        }
        b = p;
    }
    if (rnd_.Below(2))
        OpSelect(a, b);
    else
        OpSelect(b, a);
}

// Typing into, splitting and joining lines longer than one row: the places where rows are
// cut at the length limit and glued together again.
void TModelRun::QueueLongLineWork() {
    struct TLine {
        TextOffset start, end;
    };
    std::vector<TLine> longLines;
    for (TextOffset l = 0; l < Len();) {
        const size_t br = text_.find('\r', static_cast<size_t>(l));
        const TextOffset e = br == std::string::npos ? Len() : static_cast<TextOffset>(br);
        if (e - l >= 1500)
            longLines.push_back({l, e});
        l = e + 1;
    }
    if (longLines.empty()) {
        // Make one: a run without breaks pasted somewhere.
        const TClip run = RandomText(rnd_.Between(2100, 3000), false, false);
        queued_.push_back([this] {
            const TextOffset p = rnd_.Between(0, Len());
            OpSelect(p, p);
        });
        queued_.push_back([this, run] { OpPaste(run); });
        return;
    }
    const TLine line = longLines[rnd_.Below(static_cast<int>(longLines.size()))];
    const int what = rnd_.Below(5);
    if (what == 0 && line.end < Len()) { // join with the next line from its start
        queued_.push_back([this, line] { OpSelect(line.end + 1, line.end + 1); });
        queued_.push_back([this] { OpBackspace(); });
    } else if (what == 1 && line.end < Len()) { // join from before the break
        queued_.push_back([this, line] { OpSelect(line.end, line.end); });
        queued_.push_back([this] { OpDelete(); });
    } else {
        queued_.push_back([this, line] {
            const TextOffset p = rnd_.Between(line.start, line.end);
            OpSelect(p, p);
        });
        for (int k = rnd_.Between(1, 6); k > 0; --k) {
            queued_.push_back([this] {
                const int op = rnd_.Below(10);
                if (op < 5)
                    OpTypeAscii();
                else if (op < 6)
                    OpTypeWide();
                else if (op < 7)
                    OpBackspace();
                else if (op < 8)
                    OpDelete();
                else if (op < 9)
                    OpToggleInsert();
                else
                    OpEnter();
            });
        }
    }
}

// The caret next to a row boundary, then a little typing or deleting there.
void TModelRun::QueueRowBoundaryWork() {
    queued_.push_back([this] {
        const std::vector<TextOffset> rows = RowStarts();
        if (rows.empty())
            return OpSelect(0, 0);
        const TextOffset p = std::clamp(
            rows[rnd_.Below(static_cast<int>(rows.size()))] + rnd_.Between(-2, 2), 0, Len());
        OpSelect(p, rnd_.Below(4) == 0 ? std::clamp(p + rnd_.Between(-3, 3), 0, Len()) : p);
    });
    queued_.push_back([this] {
        switch (rnd_.Below(6)) {
        case 0:
            return OpBackspace();
        case 1:
            return OpDelete();
        case 2:
            return OpTypeWide();
        case 3:
            return OpDeleteLine();
        default:
            return OpTypeAscii();
        }
    });
}

// A line whose first row has shrunk to a few blanks while its indentation goes on in the
// continuation row: a pasted run fills the first row to the length limit, then everything
// in that row but its leading and trailing blanks is deleted. Block commands and Enter then
// work on that line.
void TModelRun::QueueShortFirstRow() {
    const TextOffset line = LineStart(rnd_.Between(0, Len()));
    const int lead = rnd_.Between(0, 2);
    const int trail = rnd_.Between(1, 2);
    TClip run;
    run.doc = std::string(static_cast<size_t>(lead), ' ') +
              std::string(static_cast<size_t>(MaxRowLength - lead - trail), 'x') +
              std::string(static_cast<size_t>(trail + rnd_.Between(1, 4)), ' ') + "yy";
    run.utf8 = run.doc;
    queued_.push_back([this, line] { OpSelect(line, line); });
    queued_.push_back([this, run] { OpPaste(run); });
    queued_.push_back(
        [this, line, lead, trail] { OpSelect(line + lead, line + MaxRowLength - trail); });
    queued_.push_back([this] { OpBackspace(); });
    queued_.push_back([this, line] {
        const TextOffset end = std::min(Len(), line + rnd_.Between(1, 12));
        rnd_.Below(2) ? OpSelect(line, end) : OpSelect(end, line);
    });
    queued_.push_back([this] {
        switch (rnd_.Below(4)) {
        case 0:
            return OpIndent();
        case 1:
            return OpEnter();
        default:
            return OpUnindent();
        }
    });
}

// A row cut at the length limit right after a multi-byte character, continued by a row of
// TABs that reaches far further right; the caret moves up from the end of the TABs into the
// cut row, where it has to stop in front of that character or after it, then types.
void TModelRun::QueueWideCharAtRowEnd() {
    const TextOffset line = LineStart(rnd_.Between(0, Len()));
    TClip wide;
    AddWide(wide, false);
    const int tabs = rnd_.Between(600, 700);
    TClip run;
    run.doc = std::string(MaxRowLength - wide.doc.size(), 'w');
    run.utf8 = run.doc + wide.utf8 + std::string(static_cast<size_t>(tabs), '\t') + "z";
    run.doc += wide.doc + std::string(static_cast<size_t>(tabs), '\t') + "z";
    queued_.push_back([this, line] { OpSelect(line, line); });
    queued_.push_back([this, run] { OpPaste(run); });
    queued_.push_back([this, line, tabs] {
        const TextOffset p = line + MaxRowLength + tabs;
        OpSelect(p, p);
    });
    queued_.push_back([this] { OpMove(caUP, rnd_.Below(4) == 0); });
    queued_.push_back([this] { OpTypeAscii(); });
}

// Keeps the document small: a large range is selected and cut.
void TModelRun::QueueTrim() {
    queued_.push_back([this] {
        const TextOffset n = Len();
        const TextOffset len = rnd_.Between(n / 4, std::min<TextOffset>(n - n / 4, 6000));
        const TextOffset a = rnd_.Between(0, n - len);
        OpSelect(a, a + len);
    });
    queued_.push_back([this] { OpCut(); });
}

// A paste larger than one 8 KB piece of the clipboard stream, with line-break bytes around
// the end of the first piece: a break pair there must still make one break.
void TModelRun::QueueHugePaste() {
    static const char* const kJunctions[] = {
        "a\r\nb", "a\n\rb", "\n\rab", "\r\nab", "\r\n\rb", "\n\r\nb", "a\rbb", "a\nbb", "ab\r\n",
    };
    TClip c;
    while (c.doc.size() < 8190)
        c.doc.push_back(rnd_.Below(60) == 0 ? '\n' : RandomAscii());
    c.doc.resize(8190);
    // Consecutive seeds try different junctions, so the standard runs cover them all.
    const uint64_t junction = (cfg_.seed * 3 + static_cast<uint64_t>(hugePastes_)) % 9;
    static_assert(std::size(kJunctions) == 9);
    c.doc += kJunctions[junction];
    c.utf8 = c.doc;
    const TClip tail = RandomText(rnd_.Between(10, 300), true, false);
    c.doc += tail.doc;
    c.utf8 += tail.utf8;
    queued_.push_back([this, c] { OpPaste(c); });
    QueueTrim();
}

// One operation: the next queued one, or a random pick (which may only queue a sequence,
// whose first operation then runs at once).
// Sets (or takes away) a bookmark on the caret's line, or goes to one.
void TModelRun::OpBookmark() {
    const int n = rnd_.Below(10);
    const TSelectionRange sel = memo_.Selection();
    if (rnd_.Below(3) == 0) {
        Note(std::string("goto bookmark ").append(std::to_string(n)));
        driver_.RunCommand(caGOTOBOOKMARK0 + n, false);
        const int32_t line = bookmarks_.LineWith(n);
        if (line < 0)
            return Settle(text_, false, sel, sel);
        const TextOffset start = bookmarks_.starts[line];
        const size_t br = text_.find('\r', static_cast<size_t>(start));
        const TextOffset end = br == std::string::npos ? Len() : static_cast<TextOffset>(br);
        TextOffset caret = start + std::min(bookmarks_.columns[n] - 1, end - start);
        while (!IsBoundary(text_, caret))
            --caret;
        return Settle(text_, false, sel, TSelectionRange{caret, caret});
    }
    Note(std::string("set bookmark ").append(std::to_string(n)));
    driver_.RunCommand(caSETBOOKMARK0 + n, false);
    const int32_t line = bookmarks_.LineOf(sel.Caret);
    // The empty line after a final break, or of an empty document, has no row to carry a
    // mark.
    if (bookmarks_.starts[line] == Len() && (Len() == 0 || text_.back() == '\r'))
        return Settle(text_, false, sel, sel);
    const int32_t old = bookmarks_.LineWith(n);
    if (old >= 0)
        bookmarks_.marks[old] = 0;
    if (old != line) {
        bookmarks_.marks[line] = static_cast<uint16_t>(1u << n);
        bookmarks_.columns[n] = sel.Caret - bookmarks_.starts[line] + 1;
    }
    Settle(text_, false, sel, sel);
}

// Each bookmark must sit on the first row of the line the model says, or nowhere.
void TModelRun::CheckBookmarks() {
    if (failed_)
        return;
    std::vector<TextOffset> starts{0};
    for (size_t i = 0; i < text_.size(); ++i)
        if (text_[i] == '\r')
            starts.push_back(static_cast<TextOffset>(i) + 1);
    if (starts != bookmarks_.starts)
        return Fail("the bookmark model lost track of the lines");
    std::array<int32_t, 10> got;
    got.fill(-1);
    int32_t line = -1;
    for (const TLineNode* r = memo_.Store().FirstRow(); r; r = r->Next()) {
        if (!r->IsContinuation())
            ++line;
        for (int n = 0; n < 10; ++n) {
            if (!(r->Marks() & (1u << n)))
                continue;
            if (r->IsContinuation())
                return Fail(std::string("bookmark ")
                                .append(std::to_string(n))
                                .append(" on a continuation row"));
            if (got[n] >= 0)
                return Fail(
                    std::string("bookmark ").append(std::to_string(n)).append(" on two lines"));
            got[n] = line;
        }
    }
    for (int n = 0; n < 10; ++n) {
        const int32_t want = bookmarks_.LineWith(n);
        if (got[n] != want)
            return Fail("bookmark " + std::to_string(n) + " on line " + std::to_string(got[n]) +
                        ", expected line " + std::to_string(want));
        if (want < 0 && bookmarks_.columns[n] > 0) {
            ++seen_.bookmarkLosses;
            bookmarks_.columns[n] = 0;
        }
    }
}

// Another wrap width, lines that are never wrapped on or off, or word wrap itself switched:
// the rows are cut again, the text and the selection stay.
void TModelRun::OpRewrap() {
    const TSelectionRange sel = memo_.Selection();
    const size_t rows = StoreRowStarts().size();
    TCustomSyntaxMemo& memo = driver_.Memo();
    const int k = rnd_.Below(10);
    if (k < 6) {
        wrapAt_ = rnd_.Between(10, 150);
        Note("WrapAtColumn " + std::to_string(wrapAt_));
        memo.View().WordWrap().SetWrapAtColumn(wrapAt_);
    } else if (k < 8) {
        overrideOn_ = !overrideOn_;
        Note(overrideOn_ ? "smoWrapOverride on" : "smoWrapOverride off");
        memo.SetOptions(overrideOn_ ? memo.Options().Include(smoWrapOverride)
                                    : memo.Options().Exclude(smoWrapOverride));
    } else {
        wrapOn_ = !wrapOn_;
        Note(wrapOn_ ? "word wrap on" : "word wrap off");
        memo.SetOptions(wrapOn_ ? memo.Options().Include(smoWordWrap)
                                : memo.Options().Exclude(smoWordWrap));
    }
    Settle(text_, false, sel, sel);
    seen_.rewraps += StoreRowStarts().size() != rows;
}

void TModelRun::Step() {
    const int before = notes_;
    if (queued_.empty())
        Pick();
    while (notes_ == before && !queued_.empty() && !failed_) {
        const std::function<void()> op = std::move(queued_.front());
        queued_.pop_front();
        op();
    }
}

void TModelRun::Pick() {
    if (cfg_.wrap && rnd_.Below(100) < 2)
        return OpRewrap();
    if (step_ >= (hugePastes_ + 1) * cfg_.ops / 4 && hugePastes_ < 3) {
        ++hugePastes_;
        return QueueHugePaste();
    }
    if (Len() > 3500 && rnd_.Below(Len() > 6000 ? 2 : 12) == 0)
        return QueueTrim();
    const int k = rnd_.Below(1000);
    if (k < 250)
        return OpTypeAscii();
    if (k < 280)
        return OpTypeWide();
    if (k < 285)
        return OpIgnoredKey();
    if (k < 297)
        return OpToggleInsert();
    if (k < 345)
        return OpEnter();
    if (k < 375)
        return OpTab();
    if (k < 455)
        return OpBackspace();
    if (k < 515)
        return OpDelete();
    if (k < 550) {
        const int len = rnd_.Below(4) == 0 ? rnd_.Between(40, 400) : rnd_.Between(1, 40);
        return OpPaste(RandomText(len, true, rnd_.Below(3) == 0));
    }
    if (k < 554)
        return OpPaste(RandomText(rnd_.Between(2100, 3000), false, false));
    if (k < 556)
        return OpPaste(TClip{});
    if (k < 558) { // cannot be held by a Windows-1252 document
        TClip c = RandomText(rnd_.Between(1, 10), false, false);
        AddWide(c, true);
        return OpPaste(c);
    }
    if (k < 588) {
        const bool indent = rnd_.Below(2);
        queued_.push_back([this, indent] { indent ? OpIndent() : OpUnindent(); });
        return OpLineSelection();
    }
    if (k < 608)
        return OpDeleteWord(true);
    if (k < 628)
        return OpDeleteWord(false);
    if (k < 643)
        return OpDeleteLine();
    if (k < 658) {
        if (memo_.Selection().Empty() && rnd_.Below(2)) {
            queued_.push_back([this] { OpCut(); });
            const TextOffset c = memo_.Selection().Caret;
            return OpSelect(c, std::clamp(c + rnd_.Between(-60, 60), 0, Len()));
        }
        return OpCut();
    }
    if (k < 663)
        return OpCopy();
    if (k < 750)
        return OpRandomSelection();
    if (k < 900)
        return OpMove(rnd_.Below(12), rnd_.Below(3) == 0);
    if (k < 915)
        return QueueLongLineWork();
    if (k < 930)
        return QueueRowBoundaryWork();
    if (k < 935)
        return QueueShortFirstRow();
    if (k < 940)
        return QueueWideCharAtRowEnd();
    if (k < 965)
        return OpBookmark();
    OpTypeAscii();
}

void TModelRun::Run() {
    Load();
    for (; step_ < cfg_.ops && !failed_; ++step_)
        Step();
    while (!queued_.empty() && !failed_) {
        Step();
        ++step_;
    }
    if (!failed_)
        ReplayHistory();
    if (failed_)
        return;
    if (cfg_.wrap && seen_.rewraps == 0)
        Fail("the run never came to a width change that moved rows");
    const std::pair<const char*, int> seen[] = {
        {"rows at the length limit", seen_.fullRows},
        {"overwriting", seen_.overwrites},
        {"auto indent", seen_.autoIndents},
        {"TAB key alignment", seen_.tabAligns},
        {"word deletion", seen_.wordDeletes},
        {"block indent", seen_.blockEdits},
        {"undo", seen_.undoSteps},
        {"edits around bookmarks", seen_.bookmarkEdits},
        {"a bookmark lost with its line", seen_.bookmarkLosses},
    };
    for (const auto& [what, count] : seen)
        if (count == 0)
            Fail(std::string("the run never came to ") + what);
}

} // namespace

// ---- Entry -----------------------------------------------------------------------------

std::vector<std::string> ModelRunNames() {
    std::vector<std::string> names;
    for (const TRunConfig& c : kRuns)
        names.push_back(c.name);
    return names;
}

void RunEditorModel(const std::string& name,
                    const std::function<std::unique_ptr<TEditorDriver>()>& makeDriver) {
    const auto it = std::find_if(std::begin(kRuns), std::end(kRuns),
                                 [&](const TRunConfig& c) { return name == c.name; });
    ASSERT_NE(it, std::end(kRuns)) << "no model run named " << name;
    TRunConfig cfg = *it;
    if (const char* s = std::getenv("KVX_MODEL_SEED"))
        cfg.seed = std::strtoull(s, nullptr, 0);
    if (const char* s = std::getenv("KVX_MODEL_OPS"))
        cfg.ops = std::atoi(s);
    SCOPED_TRACE("run " + std::string(cfg.name) + ", seed " + std::to_string(cfg.seed) + ", " +
                 std::to_string(cfg.ops) + " operations");
    const std::unique_ptr<TEditorDriver> driver = makeDriver();
    TModelRun run(cfg, *driver);
    run.Run();
}

} // namespace kvx::test
