// The regular-expression engine of the editor's search: a pattern is compiled into a small
// byte program of 3-byte nodes linked by relative offsets and run by a backtracking matcher
// over the document text, in which every line break is the single character 13.
#pragma once

#include "editor/EdConsts.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

class TEdStream;

// A pattern that does not compile or a search that cannot go on. The message number is one
// of msgREInvalidParameter … msgRESearchTooLong.
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

    // Compiles the pattern, or does nothing when it is the pattern compiled last. False on a
    // bad pattern: ErrorCode() and ErrorPosition() then say what and where, and no program
    // is left to run.
    bool Compile(std::string_view pattern);

    // Searches the text from `start` for the first position where the program matches:
    // forwards every position from start to the end of the text (the end included),
    // backwards from start down to 0 (a start at the end steps back one character first).
    // Raises ERegExpr "Invalid parameter" without a compiled program, "Index range error"
    // when a match would record more than 255 positions, and msgRESearchTooLong when the
    // search has used up its work budget.
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

    // Work allowed to one search: base + perChar x the characters it may cover. Tests and
    // the fuzzer lower it; the default ends a runaway search on a large file in seconds.
    void SetStepBudget(int64_t base, int64_t perChar) {
        budgetBase_ = base;
        budgetPerChar_ = perChar;
    }

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
    int NextOf(int node) const;
    void SetNext(int node, int target);
    void Tail(int chain, int target);
    void OpTail(int node, int target);
    int AllocCounter();
    void Analyse();

    // ---- matcher ----
    bool Attempt(const unsigned char* text, int32_t length, int32_t at);
    void Record(int32_t at);
    int32_t Repeat(const unsigned char* text, int32_t length, int node, int32_t at);
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
    int mark_ = -1;
    std::array<int32_t, 256> counters_{};
    std::vector<Frame> stack_;
    int64_t steps_ = 0;
    int64_t budget_ = 0;
    int64_t budgetBase_ = 5'000'000;
    int64_t budgetPerChar_ = 200;
    std::string streamText_;

    // Found at compile time to skip start positions that cannot match.
    std::string prefix_;               // every match starts with these characters
    std::array<bool, 256> firstSet_{}; // the first character of every match is in here
    bool anyStart_ = true;             // a match may start anywhere (or be empty)
    int firstCount_ = 0;
    unsigned char firstOnly_ = 0;
    bool runSkip_ = false; // after a failed attempt, skip the rest of a run
    std::array<bool, 256> runSet_{};
};

} // namespace kvx
