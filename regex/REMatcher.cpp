// The matcher: one attempt of the program at a start position, backtracking over an explicit
// stack, and the search loops that try every start position forwards or backwards.
//
// An attempt follows the backtracking order exactly: the first alternative first, the
// longest run of a star first. What makes it fast is what it leaves out. Programs without
// counters remember every state they entered (REVisited.h) and give up at once on a state
// entered before, because it has failed: the same (node, position) leads to the same
// outcome whichever path reached it, and whichever start the attempt had. A star's loop is
// remembered by position too, so a start inside a run that an earlier start already looped
// over costs nothing. Programs with counters have more state than that and run under the
// step budget instead.
#include "REOpcodes.h"
#include "REParser.h"
#include "REVisited.h"

#include "editor/EdStream.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace kvx {

using namespace re;

namespace {
enum : uint8_t { kBranchFrame, kStarFrame, kCounterFrame };
// Steps between two calls of the cancel check: a fraction of a millisecond of work.
constexpr int64_t kCheckEvery = int64_t(1) << 18;
constexpr int64_t kUnlimited = INT64_MAX / 4;
// Choices an attempt may keep open at once: 2 million of 28 bytes.
constexpr size_t kMaxFrames = size_t(1) << 21;
// A search turns remembering on when it has spent more than this many steps per position
// it moved through, beyond a first allowance; it looks at that first after the allowance
// and then each time its work has doubled.
constexpr int64_t kStepsPerPosition = 32;
constexpr int64_t kFirstMemoCheck = 4096;
} // namespace

TREParser::~TREParser() = default;

bool TREParser::Accepts(int node, unsigned char c) const {
    switch (code_[node]) {
    case opAnyChar:
        return c != 13;
    case opInSet:
        return c != 0 && code_[node + 3 + c] != 0;
    case opNotInSet:
        return c != 0 && code_[node + 3 + c] == 0;
    case opLiteral:
        return (code_[node + 3] | (code_[node + 4] << 8)) == 1 && code_[node + 5] == c;
    default:
        return true;
    }
}

int32_t TREParser::Position(int index) const {
    if (index < 0 || index >= 256)
        throw ERegExpr(msgREIndexRange);
    return positions_[index];
}

void TREParser::Fail(int id) {
    errorCode_ = id;
    throw ERegExpr(id);
}

// ---- work and its limits -----------------------------------------------------------------

void TREParser::BeginRun() {
    inRun_ = true;
    runStarted_ = false;
    runRemembers_ = false;
}

void TREParser::EndRun() {
    inRun_ = false;
    runStarted_ = false;
    runRemembers_ = false;
}

void TREParser::StartSearch(int32_t length, int32_t start) {
    searchLength_ = length;
    searchStart_ = attemptStart_ = start;
    allowance_ = budgetBase_ + budgetPerChar_ * (int64_t(length) + 1);
    const bool budgeted = mode_ == TMode::Plain || counted_;
    if (!inRun_ || !runStarted_) {
        steps_ = 0;
        nextCheck_ = kCheckEvery;
        budget_ = budgeted ? allowance_ : kUnlimited;
        runStarted_ = inRun_;
    } else if (budgeted && budget_ >= kUnlimited) {
        budget_ = steps_ + allowance_;
    }
    searchSteps_ = steps_;
    memoOn_ = false;
    nextMemoCheck_ = kUnlimited;
    if (!counted_ && memoRows_ > 0 && mode_ != TMode::Plain) {
        if (mode_ == TMode::Remembering || runRemembers_)
            Remember();
        else
            nextMemoCheck_ = steps_ + kFirstMemoCheck;
    }
    limit_ = std::min({budget_, nextCheck_, nextMemoCheck_});
}

// Reached when the steps pass the nearest of the budget, the next cancel check and the next
// look at whether to remember states.
void TREParser::Checkpoint() {
    if (steps_ > budget_)
        Fail(msgRESearchTooLong);
    if (steps_ >= nextCheck_) {
        nextCheck_ = steps_ + kCheckEvery;
        if (cancelCheck_ && cancelCheck_())
            Fail(msgRESearchCancelled);
    }
    if (steps_ >= nextMemoCheck_) {
        const int64_t spent = steps_ - searchSteps_;
        const int64_t covered = std::abs(int64_t(attemptStart_) - searchStart_) + 1;
        if (spent > kStepsPerPosition * covered + kFirstMemoCheck)
            Remember();
        else
            nextMemoCheck_ = steps_ + std::max(kFirstMemoCheck, spent);
    }
    limit_ = std::min({budget_, nextCheck_, nextMemoCheck_});
}

// From here on the search remembers the states it enters. Turning it on half way through
// an attempt is sound: only states entered from now on are remembered, and a remembered
// state is given up only once it has failed.
void TREParser::Remember() {
    memoOn_ = true;
    runRemembers_ = inRun_;
    nextMemoCheck_ = kUnlimited;
    visited_->Reset(memoRows_, searchLength_ + 1);
}

// The memory is full: what it holds still prunes, but new states are no longer remembered,
// so from here on the search is limited like one with counters.
void TREParser::MemoryFull() {
    if (budget_ >= kUnlimited) {
        budget_ = steps_ + allowance_;
        limit_ = std::min({budget_, nextCheck_, nextMemoCheck_});
    }
}

// ---- repetition --------------------------------------------------------------------------

// How many characters from `at`, and before `end`, the simple operand of the star or plus
// at `node` takes in a row.
int32_t TREParser::Repeat(const unsigned char* text, int node, int32_t at, int32_t end) {
    const uint8_t* operand = &code_[node + 3];
    const unsigned char* p = text + at;
    const unsigned char* stop = text + end;
    switch (operand[0]) {
    case opAnyChar: {
        const void* cr = std::memchr(p, 13, static_cast<size_t>(stop - p));
        p = cr ? static_cast<const unsigned char*>(cr) : stop;
        break;
    }
    case opInSet: {
        const uint8_t* set = operand + 3;
        while (p < stop && *p && set[*p])
            ++p;
        break;
    }
    case opNotInSet: {
        const uint8_t* set = operand + 3;
        while (p < stop && *p && !set[*p])
            ++p;
        break;
    }
    default: { // one-character literal
        const unsigned char c = operand[5];
        while (p < stop && *p == c)
            ++p;
        break;
    }
    }
    const auto n = static_cast<int32_t>(p - (text + at));
    steps_ += n;
    return n;
}

// The loop of the star or plus at `node`, entered at position x: a loop at position y goes
// on to y + 1 while the operand takes the character at y, and every position it passes is
// one where the continuation is tried. Returns how far the loop goes from x before its run
// ends or it reaches a position whose loop was entered before; those later positions have
// all been tried already. Remembers x up to there.
int32_t TREParser::LoopPositions(const unsigned char* text, int32_t length, int node, int32_t x) {
    const int row = loopRow_[static_cast<size_t>(node)];
    int32_t y = x;
    int32_t chunk = 64; // grows, so a short run costs little and a long one few rounds
    for (;;) {
        const auto bound = static_cast<int32_t>(std::min<int64_t>(length, int64_t(y) + chunk));
        const int32_t seen = visited_->NextSet(row, y + 1, bound + 1);
        y += Repeat(text, node, y, seen - 1);
        if (y < seen - 1 || seen <= bound || y == length)
            break;
        chunk = std::min(chunk * 2, 1 << 16);
    }
    visited_->SetRange(row, x, y);
    if (visited_->Full())
        MemoryFull();
    return y;
}

// Moves y down to the highest position from y to low where the continuation of the star at
// `node` can go on (see TFollow); false when there is none.
bool TREParser::NextLoopPosition(const unsigned char* text, int32_t length, int node, int32_t low,
                                 int32_t& y) {
    const TFollow& f = follow_[static_cast<size_t>(loopRow_[static_cast<size_t>(node)])];
    if (f.Any)
        return y >= low;
    const int32_t from = y;
    while (y >= low && !(y < length && f.Chars[text[y]]))
        --y;
    steps_ += from - y;
    return y >= low;
}

// ---- one attempt -------------------------------------------------------------------------

bool TREParser::Attempt(const unsigned char* t, int32_t len, int32_t at) {
    const uint8_t* code = code_.data();
    TVisited& visited = *visited_;
    int count = 0;
    int mark = -1;
    int32_t pos = at;
    int pc = 1;
    stack_.clear();
    auto next = [&](int node) {
        const int n = NextOf(node);
        if (n < 0)
            Fail(msgREInvalidParameter);
        return n;
    };
    // Entries past the 255th are counted but not kept: a path that records too many may
    // still fail or drop them at the end of its outermost group. Only a match that keeps
    // them is an error.
    auto record = [&](int32_t p) {
        if (count < kMaxRecorded)
            positions_[static_cast<size_t>(count)] = p;
        ++count;
    };
    // A path through a repeated group keeps a choice per pass; on a long run of text that
    // is a long stack. Past kMaxFrames the search stops rather than take memory without end.
    auto push = [&](const Frame& f) {
        if (stack_.size() >= kMaxFrames)
            Fail(msgRESearchTooLong);
        stack_.push_back(f);
    };
    // True when the state (pc, pos) was entered before; remembers it otherwise.
    auto enteredBefore = [&] {
        const int32_t row = joinRow_[static_cast<size_t>(pc)];
        if (row < 0)
            return false;
        if (visited.TestAndSet(row, pos))
            return true;
        if (visited.Full())
            MemoryFull();
        return false;
    };
    for (;;) {
        if (++steps_ > limit_)
            Checkpoint();
        const uint8_t op = code[pc];
        bool ok = true;
        if (memoOn_ && enteredBefore()) {
            ok = false;
        } else {
            switch (op) {
            case opEnd:
                if (count > kMaxRecorded)
                    Fail(msgREIndexRange);
                positions_[static_cast<size_t>(count)] = pos;
                positions_[static_cast<size_t>(count) + 1] = pos;
                positions_[static_cast<size_t>(count) + 2] = pos;
                count_ = count;
                return true;
            case opLineStart:
                if (pos < len && t[pos] == 13) {
                    ++pos;
                    pc = next(pc);
                } else {
                    ok = false;
                }
                break;
            case opLineEnd:
                if (pos < len && t[pos] == 13) {
                    record(pos);
                    pc = next(pc);
                } else {
                    ok = false;
                }
                break;
            case opAnyChar:
                if (pos < len && t[pos] != 13) {
                    record(pos++);
                    pc = next(pc);
                } else {
                    ok = false;
                }
                break;
            case opInSet:
            case opNotInSet:
                if (pos < len && t[pos] && (code[pc + 3 + t[pos]] != 0) == (op == opInSet)) {
                    record(pos++);
                    pc = next(pc);
                } else {
                    ok = false;
                }
                break;
            case opBranch: {
                const int alt = next(pc);
                if (code[alt] == opBranch)
                    push({kBranchFrame, alt, pos, count, mark, 0, 0});
                pc += 3;
                break;
            }
            case opBack:
            case opNothing:
                pc = next(pc);
                break;
            case opLiteral: {
                const int n = code[pc + 3] | (code[pc + 4] << 8);
                if (n > len - pos ||
                    std::memcmp(t + pos, code + pc + 5, static_cast<size_t>(n)) != 0) {
                    ok = false;
                    break;
                }
                record(pos);
                pos += n;
                pc = next(pc);
                break;
            }
            case opStar:
            case opPlus: {
                record(pos);
                const int after = next(pc);
                // The continuation is tried at positions low..high, the highest first.
                int32_t low = pos;
                int32_t high;
                if (op == opPlus) {
                    if (!(pos < len && Accepts(pc + 3, t[pos]))) {
                        ok = false;
                        break;
                    }
                    ++low;
                }
                if (memoOn_) {
                    if (visited.Test(loopRow_[static_cast<size_t>(pc)], low)) {
                        ok = false;
                        break;
                    }
                    high = LoopPositions(t, len, pc, low);
                } else {
                    high = low + Repeat(t, pc, low, len);
                }
                if (follow_[static_cast<size_t>(loopRow_[static_cast<size_t>(pc)])].RunEndOnly)
                    low = high;
                int32_t y = high;
                if (!NextLoopPosition(t, len, pc, low, y)) {
                    ok = false;
                    break;
                }
                if (y > low)
                    push({kStarFrame, after, low, count, mark, y - 1, pc});
                pos = y;
                pc = after;
                break;
            }
            case opFail:
                ok = false;
                break;
            case opCountSet:
            case opCountDec: {
                const int c = code[pc + 3];
                push({kCounterFrame, 0, 0, 0, 0, c, counters_[c]});
                counters_[c] =
                    op == opCountSet ? (code[pc + 4] | (code[pc + 5] << 8)) : counters_[c] - 1;
                pc = next(pc);
                break;
            }
            case opCountTest:
                pc = counters_[code[pc + 3]] != 0 ? pc + 6 : pc + 9;
                break;
            case opCountExhausted: {
                const int n = next(pc);
                pc = counters_[code[pc + 3]] < 1 ? n : n + 3;
                break;
            }
            default:
                if (op >= opOpen1 && op <= opOpen9) {
                    record(pos);
                    if (op == opOpen1)
                        mark = count;
                    pc = next(pc);
                } else if (op >= opClose1 && op <= opClose9) {
                    // The outermost group keeps two entries, its start and the first entry
                    // recorded inside it; what its inner nodes recorded after that is
                    // dropped.
                    if (op == opClose1 && mark >= 0) {
                        if (count == mark && mark < kMaxRecorded)
                            positions_[static_cast<size_t>(mark)] = -1;
                        count = mark + 1;
                        mark = -1;
                    }
                    pc = next(pc);
                } else {
                    Fail(msgREInvalidParameter);
                }
                break;
            }
        }
        if (ok)
            continue;

        // Back to the latest choice, undoing the counter changes made since.
        for (;;) {
            if (stack_.empty())
                return false;
            Frame& f = stack_.back();
            if (f.Kind == kCounterFrame) {
                counters_[f.A] = f.B;
                stack_.pop_back();
                continue;
            }
            if (++steps_ > limit_)
                Checkpoint();
            if (f.Kind == kBranchFrame) {
                // The next alternative, which may have one more after it. A remembered one
                // is entered through the loop, which looks it up.
                pos = f.Pos;
                count = f.Count;
                mark = f.Mark;
                const int alt = f.Node;
                stack_.pop_back();
                if (memoOn_ && joinRow_[static_cast<size_t>(alt)] >= 0) {
                    pc = alt;
                    break;
                }
                const int n = next(alt);
                if (code[n] == opBranch)
                    push({kBranchFrame, n, pos, count, mark, 0, 0});
                pc = alt + 3;
                break;
            }
            // A star: the next shorter run whose end can go on.
            int32_t y = f.A;
            if (!NextLoopPosition(t, len, f.B, f.Pos, y)) {
                stack_.pop_back();
                continue;
            }
            pos = y;
            count = f.Count;
            mark = f.Mark;
            pc = f.Node;
            if (y == f.Pos)
                stack_.pop_back();
            else
                f.A = y - 1;
            break;
        }
    }
}

// ---- the search loops --------------------------------------------------------------------

bool TREParser::Exec(std::string_view text, int64_t start, bool forward) {
    errorCode_ = 0;
    if (!compiled_ || text.size() > 0x7FFFFFF0u)
        Fail(msgREInvalidParameter);
    const auto len = static_cast<int32_t>(text.size());
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    auto p = static_cast<int32_t>(std::clamp<int64_t>(start, 0, len));
    StartSearch(len, p);
    // The plain order tries every start; the others skip starts where the first node of
    // the program cannot match.
    const bool skip = mode_ != TMode::Plain;
    bool found = false;
    if (forward) {
        while (p <= len) {
            if (skip && !prefix_.empty()) {
                const void* hit =
                    memmem(t + p, static_cast<size_t>(len - p), prefix_.data(), prefix_.size());
                if (!hit)
                    break;
                p = static_cast<int32_t>(static_cast<const unsigned char*>(hit) - t);
            } else if (skip && !anyStart_) {
                if (firstCount_ == 1) {
                    const void* hit = std::memchr(t + p, firstOnly_, static_cast<size_t>(len - p));
                    if (!hit)
                        break;
                    p = static_cast<int32_t>(static_cast<const unsigned char*>(hit) - t);
                } else {
                    while (p < len && !firstSet_[t[p]])
                        ++p;
                    if (p == len)
                        break;
                }
            }
            attemptStart_ = p;
            if (Attempt(t, len, p)) {
                found = true;
                break;
            }
            if (skip && runSkip_) {
                // Later starts inside the same run fail the same way (see AnalyseStarts).
                int32_t q = p + runSkipLead_;
                while (q < len && runSet_[t[q]])
                    ++q;
                steps_ += q - p;
                p = runSkipLead_ ? q : q + 1;
            } else {
                ++p;
            }
            // A long run or a long skip is work too: the budget and the cancel check see it.
            if (steps_ > limit_)
                Checkpoint();
        }
    } else {
        if (p == len) {
            if (p == 0)
                return false;
            --p;
        }
        for (; p >= 0; --p) {
            if (skip && !anyStart_) {
                while (p >= 0 && !firstSet_[t[p]])
                    --p;
                if (p < 0)
                    break;
            }
            attemptStart_ = p;
            if (Attempt(t, len, p)) {
                found = true;
                break;
            }
            if (steps_ > limit_)
                Checkpoint();
        }
    }
    if (found)
        std::fill(positions_.begin() + count_ + 3, positions_.end(), -1);
    return found;
}

bool TREParser::Search(TEdStream& stream, bool forward) {
    errorCode_ = 0;
    if (!compiled_)
        Fail(msgREInvalidParameter);
    const TextOffset from = stream.Pos();
    const int64_t size = stream.Size();
    streamText_.resize(static_cast<size_t>(size));
    stream.SetPosition(0);
    stream.Read(streamText_.data(), size);
    const bool found = Exec(streamText_, from, forward);
    stream.SetPosition(found ? MatchEnd() : from);
    return found;
}

} // namespace kvx
