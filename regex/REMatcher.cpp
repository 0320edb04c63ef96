// The matcher: one attempt of the program at a start position, backtracking over an explicit
// stack, and the search loops that try every start position forwards or backwards.
#include "REOpcodes.h"
#include "REParser.h"

#include "EdStream.h"

#include <algorithm>
#include <cstring>

namespace kvx {

using namespace re;

namespace {
enum : uint8_t { kBranchFrame, kStarFrame, kCounterFrame };
} // namespace

// ---- matcher -------------------------------------------------------------------------

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

int32_t TREParser::Repeat(const unsigned char* text, int32_t length, int node, int32_t at) {
    const uint8_t* operand = &code_[node + 3];
    const unsigned char* p = text + at;
    const unsigned char* end = text + length;
    switch (operand[0]) {
    case opAnyChar: {
        const void* cr = std::memchr(p, 13, static_cast<size_t>(end - p));
        p = cr ? static_cast<const unsigned char*>(cr) : end;
        break;
    }
    case opInSet: {
        const uint8_t* set = operand + 3;
        while (p < end && *p && set[*p])
            ++p;
        break;
    }
    case opNotInSet: {
        const uint8_t* set = operand + 3;
        while (p < end && *p && !set[*p])
            ++p;
        break;
    }
    default: { // one-character literal
        const unsigned char c = operand[5];
        while (p < end && *p == c)
            ++p;
        break;
    }
    }
    const int32_t n = static_cast<int32_t>(p - (text + at));
    steps_ += n >> 4;
    return n;
}

bool TREParser::Attempt(const unsigned char* t, int32_t len, int32_t at) {
    const uint8_t* code = code_.data();
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
    auto record = [&](int32_t p) {
        if (count >= kMaxRecorded)
            Fail(msgREIndexRange);
        positions_[count++] = p;
    };
    for (;;) {
        if (++steps_ > budget_)
            Fail(msgRESearchTooLong);
        const uint8_t op = code[pc];
        bool ok = true;
        switch (op) {
        case opEnd:
            positions_[count] = positions_[count + 1] = positions_[count + 2] = pos;
            count_ = count;
            mark_ = mark;
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
                stack_.push_back({kBranchFrame, alt, pos, count, mark, 0, 0});
            pc += 3;
            break;
        }
        case opBack:
            pc = next(pc);
            break;
        case opLiteral: {
            const int n = code[pc + 3] | (code[pc + 4] << 8);
            if (n > len - pos || std::memcmp(t + pos, code + pc + 5, static_cast<size_t>(n)) != 0) {
                ok = false;
                break;
            }
            record(pos);
            pos += n;
            pc = next(pc);
            break;
        }
        case opNothing:
            pc = next(pc);
            break;
        case opStar:
        case opPlus: {
            record(pos);
            const int32_t min = op == opPlus ? 1 : 0;
            int32_t k = Repeat(t, len, pc, pos);
            const int after = next(pc);
            int first = -1;
            if (code[after] == opLiteral && (code[after + 3] | (code[after + 4] << 8)) > 0)
                first = code[after + 5];
            // When the following literal's first character cannot be part of the run, only
            // the longest run can be followed: there is nothing to come back to.
            bool onlyLongest = false;
            if (first >= 0) {
                onlyLongest = !Accepts(pc + 3, static_cast<unsigned char>(first));
                if (onlyLongest && !(pos + k < len && t[pos + k] == first))
                    k = -1;
                while (k >= min && !(pos + k < len && t[pos + k] == first))
                    --k;
            }
            if (k < min) {
                ok = false;
                break;
            }
            if (!onlyLongest)
                stack_.push_back(
                    {kStarFrame, after, pos, count, mark, k - 1, min | ((first + 1) << 8)});
            pos += k;
            pc = after;
            break;
        }
        case opFail:
            ok = false;
            break;
        case opCountSet:
        case opCountDec: {
            const int c = code[pc + 3];
            stack_.push_back({kCounterFrame, 0, 0, 0, 0, c, counters_[c]});
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
                // recorded inside it; what its inner nodes recorded after that is dropped.
                if (op == opClose1 && mark >= 0) {
                    if (mark + 1 > kMaxRecorded)
                        Fail(msgREIndexRange);
                    if (count == mark)
                        positions_[mark] = -1;
                    count = mark + 1;
                    mark = -1;
                }
                pc = next(pc);
            } else {
                Fail(msgREInvalidParameter);
            }
            break;
        }
        if (ok)
            continue;

        // Backtrack to the latest choice, undoing counter changes made since.
        for (;;) {
            if (stack_.empty())
                return false;
            Frame& f = stack_.back();
            if (f.Kind == kCounterFrame) {
                counters_[f.A] = f.B;
                stack_.pop_back();
                continue;
            }
            if (++steps_ > budget_)
                Fail(msgRESearchTooLong);
            if (f.Kind == kBranchFrame) {
                const int alt = f.Node;
                pos = f.Pos;
                count = f.Count;
                mark = f.Mark;
                stack_.pop_back();
                const int n = NextOf(alt);
                if (n >= 0 && code[n] == opBranch)
                    stack_.push_back({kBranchFrame, n, pos, count, mark, 0, 0});
                pc = alt + 3;
                break;
            }
            // Star frame: the next shorter run that can be followed.
            const int32_t min = f.B & 0xFF;
            const int first = (f.B >> 8) - 1;
            int32_t k = f.A;
            if (first >= 0)
                while (k >= min && !(f.Pos + k < len && t[f.Pos + k] == first))
                    --k;
            if (k < min) {
                stack_.pop_back();
                continue;
            }
            f.A = k - 1;
            pos = f.Pos + k;
            count = f.Count;
            mark = f.Mark;
            pc = f.Node;
            break;
        }
    }
}

bool TREParser::Exec(std::string_view text, int64_t start, bool forward) {
    errorCode_ = 0;
    if (!compiled_ || text.size() > 0x7FFFFFF0u)
        Fail(msgREInvalidParameter);
    const int32_t len = static_cast<int32_t>(text.size());
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    int32_t p = static_cast<int32_t>(std::clamp<int64_t>(start, 0, len));
    const int64_t range = forward ? int64_t(len) - p + 1 : int64_t(p) + 1;
    budget_ = budgetBase_ + budgetPerChar_ * range;
    steps_ = 0;
    bool found = false;
    if (forward) {
        while (p <= len) {
            if (!prefix_.empty()) {
                const void* hit =
                    memmem(t + p, static_cast<size_t>(len - p), prefix_.data(), prefix_.size());
                if (!hit)
                    break;
                p = static_cast<int32_t>(static_cast<const unsigned char*>(hit) - t);
            } else if (!anyStart_) {
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
            if (Attempt(t, len, p)) {
                found = true;
                break;
            }
            if (runSkip_) {
                // Every later start inside the same run fails the same way (see Analyse).
                ++p;
                while (p < len && t[p] && runSet_[t[p]])
                    ++p;
                continue;
            }
            ++p;
        }
    } else {
        if (p == len) {
            if (p == 0)
                return false;
            --p;
        }
        for (; p >= 0; --p) {
            if (!anyStart_) {
                while (p >= 0 && !firstSet_[t[p]])
                    --p;
                if (p < 0)
                    break;
            }
            if (Attempt(t, len, p)) {
                found = true;
                break;
            }
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
