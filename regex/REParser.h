// The regular-expression engine of the editor's search: a pattern is compiled into a small
// byte program of 3-byte nodes linked by relative offsets and run by a backtracking matcher
// over the document text, in which every line break is the single character 13.
#pragma once

#include "editor/EdConsts.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

class TEdStream;
namespace re {
class TVisited;
}

// A pattern that does not compile or a search that cannot go on. The message number is one
// of msgREInvalidParameter … msgRESearchCancelled.
class ERegExpr : public ESyntaxMemo {
  public:
    using ESyntaxMemo::ESyntaxMemo;
};

class TREParser {
  public:
    // Room for 255 recorded positions and the three entries written at the end of a match.
    static constexpr int kMaxRecorded = 255;
    static constexpr int kPositionSlots = 258;
    // A rewritten either-order pattern longer than this is refused as "Out of memory".
    static constexpr size_t kMaxExpandedPattern = 64 * 1024;

    TREParser();
    ~TREParser();

    // Compiles the pattern, or does nothing when it is the pattern compiled last. False on a
    // bad pattern: ErrorCode() and ErrorPosition() then say what and where, and no program
    // is left to run.
    bool Compile(std::string_view pattern);

    // Searches the text from `start` for the first position where the program matches:
    // forwards every position from start to the end of the text (the end included),
    // backwards from start down to 0 (a start at the end steps back one character first).
    // The match is the first one in the backtracking order at the first start that has
    // one. Raises ERegExpr "Invalid parameter" without a compiled program, "Index range
    // error" when that match records more than 255 positions, msgRESearchTooLong when a
    // search that works under the step budget has used it up, and msgRESearchCancelled
    // when the cancel check asked to stop.
    bool Exec(std::string_view text, int64_t start, bool forward);
    // The same over the document: the search starts at the stream's position, and after a
    // match the stream stands at its end.
    bool Search(TEdStream& stream, bool forward);

    // Entry `index` of the position list (-1 when not recorded); index 256 or more raises
    // "Index range error". Entry 0 is the match start, entry PositionCount() its end.
    int32_t Position(int index) const;
    int PositionCount() const { return count_; }
    int32_t MatchStart() const { return positions_[0]; }
    int32_t MatchEnd() const { return positions_[count_]; }

    // The message number of the last failure; msgRENoErrors after a good compile, 0 after
    // a search that raised nothing.
    int ErrorCode() const { return errorCode_; }
    // Where in the pattern the compiler stopped (0-based).
    int ErrorPosition() const { return errorPos_; }
    bool Compiled() const { return compiled_; }
    // The pattern as compiled: differs from the given one only after `||` was rewritten.
    const std::string& ExpandedPattern() const { return pat_; }
    const std::vector<uint8_t>& Program() const { return code_; }

    // ---- How much work a search may do --------------------------------------------------
    // A program without counted repetition can remember the states it has tried and never
    // try one twice, which makes a search take time in proportion to the text times the
    // program, however the pattern is written. Remembering costs a little on every step,
    // so a search starts without it and turns it on once it has done far more work than
    // the text it covered (a run of searches keeps it on from then). Counters make the
    // state more than a place in the program and the text: such programs, and a search
    // whose memory of states is full, work under a step budget instead, of base + perChar
    // x (text length + 1) steps, where every node entered, every backtrack and every
    // character a repetition or its retries look at is a step. Tests and the fuzzer lower
    // it; the default stops a runaway search of a 10 MB text in about a second.
    void SetStepBudget(int64_t base, int64_t perChar) {
        budgetBase_ = base;
        budgetPerChar_ = perChar;
    }
    // True when the compiled program's searches can remember the states they tried.
    bool Memoized() const { return compiled_ && !counted_; }
    // The steps taken by the last search, or by the run so far.
    int64_t Steps() const { return steps_; }
    // Between BeginRun and EndRun every search shares one budget, so that a run of searches
    // (every match of a file, a Replace All) is limited as a whole and not one match at a
    // time. Outside a run each search has a budget of its own.
    void BeginRun();
    void EndRun();
    // Called every so often while a search works (about every quarter million steps); a
    // true answer ends the search with msgRESearchCancelled. The editor passes one that
    // looks for the user's Escape.
    void SetCancelCheck(std::function<bool()> check) { cancelCheck_ = std::move(check); }

    // How attempts are run. All of them find the same matches. Fast skips start positions
    // that cannot match and remembers states once a search turns out costly; Remembering
    // remembers them from the first step; Plain is the backtracking order with nothing
    // skipped and nothing remembered, under the step budget. The last two are here to hold
    // the first to them.
    enum class TMode { Fast, Remembering, Plain };
    void SetMode(TMode mode) { mode_ = mode; }

  private:
    // ---- compiler ----
    [[noreturn]] void Error(int id);
    int Peek() const { return pos_ < pat_.size() ? static_cast<unsigned char>(pat_[pos_]) : -1; }
    bool AtEnd() const { return pos_ >= pat_.size(); }
    void Pass(bool sizing);
    int Reg(bool paren, int& flags);
    int Branch(int& flags);
    int Piece(int& flags);
    int Atom(int& flags);
    unsigned char Escape();
    int ReadCount(bool& present);
    int Node(uint8_t op);
    int CounterNode(uint8_t op, int counter, int value);
    void Byte(uint8_t b);
    void Insert(uint8_t op, int at, int operandBytes = 0);
    int NextOf(int node) const; // inline, in REOpcodes.h
    void SetNext(int node, int target);
    void Tail(int chain, int target);
    void OpTail(int node, int target);
    int AllocCounter();
    void Analyse();
    void AnalyseStarts();
    void AnalyseJoins();
    bool FirstChars(int from, std::array<bool, 256>& chars) const;

    // ---- matcher ----
    bool Attempt(const unsigned char* text, int32_t length, int32_t at);
    int32_t Repeat(const unsigned char* text, int node, int32_t at, int32_t end);
    int32_t LoopPositions(const unsigned char* text, int32_t length, int node, int32_t x);
    void StartSearch(int32_t length, int32_t start);
    void Checkpoint();
    void Remember();
    void MemoryFull();
    bool NextLoopPosition(const unsigned char* text, int32_t length, int node, int32_t low,
                          int32_t& y);
    [[noreturn]] void Fail(int id);
    // Whether the one-character node at `node` matches c.
    bool Accepts(int node, unsigned char c) const;

    struct Frame {
        uint8_t Kind;
        int32_t Node;
        int32_t Pos;
        int32_t Count;
        int32_t Mark;
        int32_t A;
        int32_t B;
    };

    std::vector<uint8_t> code_;
    std::string cache_;
    std::string pat_;
    size_t pos_ = 0;
    bool sizing_ = false;
    bool compiled_ = false;
    int size_ = 0;
    int emit_ = 0;
    int depth_ = 1;
    int counterAlloc_ = 0;
    int errorCode_ = 0;
    int errorPos_ = 0;

    std::array<int32_t, kPositionSlots> positions_{};
    int count_ = 0;
    std::array<int32_t, 256> counters_{};
    std::vector<Frame> stack_;
    std::string streamText_;

    // Work done and allowed; see SetStepBudget. The limit is the nearest of the budget, the
    // next call of the cancel check and the next look at whether to remember states.
    int64_t steps_ = 0;
    int64_t budget_ = 0;
    int64_t allowance_ = 0; // the budget of one search of this text
    int64_t limit_ = 0;
    int64_t nextCheck_ = 0;
    int64_t nextMemoCheck_ = 0;
    int64_t budgetBase_ = 20'000'000;
    int64_t budgetPerChar_ = 16;
    bool inRun_ = false;
    bool runStarted_ = false;
    bool runRemembers_ = false; // a search of this run turned remembering on
    std::function<bool()> cancelCheck_;
    TMode mode_ = TMode::Fast;
    // The search under way: its text length, start, steps when it began, and the start
    // of the attempt being made.
    int32_t searchLength_ = 0;
    int32_t searchStart_ = 0;
    int64_t searchSteps_ = 0;
    int32_t attemptStart_ = 0;

    // The memory of tried states (see REVisited.h). Found at compile time: the row of each
    // node whose visits are remembered (-1: none), and separately the row of each star or
    // plus node, whose loop positions are remembered. Stars come first, so a star's row
    // is also its index in follow_.
    std::vector<int32_t> joinRow_;
    std::vector<int32_t> loopRow_;
    int memoRows_ = 0;
    bool counted_ = false; // the program has counters: no memory, a budget
    bool memoOn_ = false;
    std::unique_ptr<re::TVisited> visited_;
    // Per star: the characters its continuation can start with (Any: it may go on at any
    // position, the end of the text included). A loop tries only positions where one of
    // them stands; when none of them can be in the run, only the run's end.
    struct TFollow {
        std::array<bool, 256> Chars{};
        bool Any = true;
        bool RunEndOnly = false;
    };
    std::vector<TFollow> follow_;

    // Found at compile time to skip start positions that cannot match.
    std::string prefix_;               // every match starts with these characters
    std::array<bool, 256> firstSet_{}; // the first character of every match is in here
    bool anyStart_ = true;             // a match may start anywhere (or be empty)
    int firstCount_ = 0;
    unsigned char firstOnly_ = 0;
    bool runSkip_ = false; // after a failed attempt, skip the rest of a run...
    int runSkipLead_ = 0;  // ...of runSet_ characters from p + runSkipLead_
    std::array<bool, 256> runSet_{};
};

} // namespace kvx
