// What the search loop learns once per compiled program to skip start positions where an
// attempt cannot succeed.
#include "REOpcodes.h"
#include "REParser.h"

#include <vector>

namespace kvx {

using namespace re;

// ---- start-position analysis --------------------------------------------------------------
// Found once per compile: a literal prefix every match starts with, or else the set of
// characters a match can start with. The search loop uses them to skip positions where an
// attempt would fail at its first node anyway, so what matches does not change.

void TREParser::Analyse() {
    prefix_.clear();
    int node = 1;
    for (;;) {
        const uint8_t op = code_[node];
        if (op == opBranch) {
            const int next = NextOf(node);
            if (next >= 0 && code_[next] == opBranch)
                break;
            node += 3;
        } else if (op == opLiteral) {
            const int len = code_[node + 3] | (code_[node + 4] << 8);
            prefix_.append(reinterpret_cast<const char*>(&code_[node + 5]), len);
            node = NextOf(node);
        } else if ((op >= opOpen1 && op <= opOpen9) || op == opNothing) {
            node = NextOf(node);
        } else {
            break;
        }
        if (node < 0)
            break;
    }

    firstSet_.fill(false);
    std::vector<bool> visited(code_.size(), false);
    auto addOperand = [&](int node) {
        const uint8_t op = code_[node];
        if (op == opAnyChar) {
            for (int c = 0; c < 256; ++c)
                firstSet_[c] = firstSet_[c] || c != 13;
        } else if (op == opInSet || op == opNotInSet) {
            for (int c = 1; c < 256; ++c)
                if ((code_[node + 3 + c] != 0) == (op == opInSet))
                    firstSet_[c] = true;
        } else if (op == opLiteral) {
            if ((code_[node + 3] | (code_[node + 4] << 8)) > 0)
                firstSet_[code_[node + 5]] = true;
        }
    };
    // True when a path from `node` may reach the end of the program without consuming.
    auto nullable = [&](auto&& self, int node) -> bool {
        for (;;) {
            if (node < 0 || node >= static_cast<int>(code_.size()))
                return true;
            if (visited[node])
                return false;
            visited[node] = true;
            const uint8_t op = code_[node];
            switch (op) {
            case opEnd:
                return true;
            case opLineStart:
            case opLineEnd:
                firstSet_[13] = true;
                return false;
            case opAnyChar:
            case opInSet:
            case opNotInSet:
                addOperand(node);
                return false;
            case opLiteral:
                if ((code_[node + 3] | (code_[node + 4] << 8)) > 0) {
                    addOperand(node);
                    return false;
                }
                node = NextOf(node);
                break;
            case opBranch: {
                const int next = NextOf(node);
                if (next < 0 || code_[next] != opBranch) {
                    node += 3;
                    break;
                }
                bool any = false;
                for (int b = node; b >= 0 && code_[b] == opBranch; b = NextOf(b))
                    any = self(self, b + 3) || any;
                return any;
            }
            case opStar:
                addOperand(node + 3);
                node = NextOf(node);
                break;
            case opPlus:
                addOperand(node + 3);
                return false;
            case opCountTest: {
                // Both ways must be walked: no short cut on the first result.
                const bool more = self(self, node + 6);
                const bool done = self(self, node + 9);
                return more || done;
            }
            case opCountExhausted: {
                const int next = NextOf(node);
                if (next < 0)
                    return true;
                const bool loop = self(self, next);
                const bool more = self(self, next + 3);
                return loop || more;
            }
            case opFail:
                return false;
            case opBack:
            case opNothing:
            case opCountSet:
            case opCountDec:
                node = NextOf(node);
                break;
            default:
                if ((op >= opOpen1 && op <= opOpen9) || (op >= opClose1 && op <= opClose9)) {
                    node = NextOf(node);
                    break;
                }
                return true;
            }
        }
    };
    anyStart_ = nullable(nullable, 1);

    // A pattern that starts S1 S2* c... with S1 within S2 and c outside S2 (an identifier
    // followed by a colon, say): an attempt at p runs over the whole S2 run after p and can
    // only go on at its end. A start later in that run reaches the same place with the same
    // state, so after a failed attempt the search may skip to the end of the run.
    runSkip_ = false;
    const int top = NextOf(1);
    const int head = code_[1] == opBranch && top >= 0 && code_[top] != opBranch ? 4 : -1;
    if (head > 0 && (code_[head] == opInSet || code_[head] == opNotInSet)) {
        const int star = NextOf(head);
        const int lit = star >= 0 ? NextOf(star) : -1;
        if (star >= 0 && code_[star] == opStar &&
            (code_[star + 3] == opInSet || code_[star + 3] == opNotInSet) && lit >= 0 &&
            code_[lit] == opLiteral && (code_[lit + 3] | (code_[lit + 4] << 8)) > 0 &&
            !Accepts(star + 3, code_[lit + 5])) {
            bool within = true;
            for (int c = 1; c < 256 && within; ++c)
                within = !Accepts(head, static_cast<unsigned char>(c)) ||
                         Accepts(star + 3, static_cast<unsigned char>(c));
            if (within) {
                runSkip_ = true;
                for (int c = 0; c < 256; ++c)
                    runSet_[c] = c != 0 && Accepts(star + 3, static_cast<unsigned char>(c));
            }
        }
    }
    firstCount_ = 0;
    for (int c = 0; c < 256; ++c)
        if (firstSet_[c]) {
            ++firstCount_;
            firstOnly_ = static_cast<unsigned char>(c);
        }
}

} // namespace kvx
