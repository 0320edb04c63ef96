// What the matcher learns once per compiled program: where a match can start, so that the
// search loop skips start positions where an attempt would fail at its first node anyway,
// and which states the memory of tried states has to watch.
#include "REOpcodes.h"
#include "REParser.h"
#include "REVisited.h"

#include <vector>

namespace kvx {

using namespace re;

void TREParser::Analyse() {
    AnalyseStarts();
    AnalyseJoins();
}

// ---- first characters ---------------------------------------------------------------------

// The characters with which a path from `from` can consume its first character, found over
// every node reachable without consuming (a work list rather than recursion, as a program
// may hold thousands of alternatives one inside the next). True when such a path can also
// reach the end of the program, or a broken link that raises when it is run: then the path
// may go on anywhere.
bool TREParser::FirstChars(int from, std::array<bool, 256>& chars) const {
    chars.fill(false);
    bool any = false;
    auto addOperand = [&](int n) {
        const uint8_t op = code_[n];
        if (op == opAnyChar) {
            for (int c = 0; c < 256; ++c)
                chars[c] = chars[c] || c != 13;
        } else if (op == opInSet || op == opNotInSet) {
            for (int c = 1; c < 256; ++c)
                if ((code_[n + 3 + c] != 0) == (op == opInSet))
                    chars[c] = true;
        } else if (op == opLiteral) {
            if ((code_[n + 3] | (code_[n + 4] << 8)) > 0)
                chars[code_[n + 5]] = true;
        }
    };
    const int size = static_cast<int>(code_.size());
    std::vector<bool> seen(code_.size(), false);
    std::vector<int> work;
    auto visit = [&](int n) {
        if (n < 0 || n >= size) {
            any = true;
        } else if (!seen[static_cast<size_t>(n)]) {
            seen[static_cast<size_t>(n)] = true;
            work.push_back(n);
        }
    };
    visit(from);
    while (!work.empty() && !any) {
        const int n = work.back();
        work.pop_back();
        const uint8_t op = code_[n];
        switch (op) {
        case opEnd:
            any = true;
            break;
        case opLineStart:
        case opLineEnd:
            chars[13] = true;
            break;
        case opAnyChar:
        case opInSet:
        case opNotInSet:
        case opPlus:
            addOperand(op == opPlus ? n + 3 : n);
            break;
        case opLiteral:
            if ((code_[n + 3] | (code_[n + 4] << 8)) > 0)
                addOperand(n);
            else
                visit(NextOf(n));
            break;
        case opStar:
            addOperand(n + 3);
            visit(NextOf(n));
            break;
        case opBranch: {
            const int next = NextOf(n);
            visit(n + 3);
            if (next >= 0 && code_[next] == opBranch)
                visit(next);
            break;
        }
        case opCountTest:
            visit(n + 6);
            visit(n + 9);
            break;
        case opCountExhausted: {
            const int next = NextOf(n);
            visit(next);
            if (next >= 0)
                visit(next + 3);
            break;
        }
        case opFail:
            break;
        case opBack:
        case opNothing:
        case opCountSet:
        case opCountDec:
            visit(NextOf(n));
            break;
        default:
            if ((op >= opOpen1 && op <= opOpen9) || (op >= opClose1 && op <= opClose9))
                visit(NextOf(n));
            else
                any = true; // an opcode the matcher refuses: let it say so
            break;
        }
    }
    return any;
}

// ---- start positions ---------------------------------------------------------------------
// A literal prefix every match starts with, or else the set of characters a match can start
// with, and whether a match can be empty (then every position is a start). Skipping
// positions changes nothing about what matches: an attempt there would fail before it
// recorded anything that could count.

void TREParser::AnalyseStarts() {
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

    anyStart_ = FirstChars(1, firstSet_);

    // After a failed attempt some starts that follow can be passed over, as they would fail
    // the same way:
    // - a pattern that starts with a star or plus over S: the attempt at p tried the rest of
    //   the pattern after every position of the S run from p, and an attempt later in the
    //   run would try only some of them, so the next start is one past the run's end;
    // - a pattern that starts S1 S2* c... with S1 within S2 and c outside S2 (an identifier
    //   followed by a colon, say): an attempt at p runs over the whole S2 run after p and
    //   can only go on at its end, where a later start in the run arrives the same way.
    runSkip_ = false;
    int head = 1;
    while (head >= 0 &&
           (code_[head] == opNothing || (code_[head] >= opOpen1 && code_[head] <= opOpen9) ||
            (code_[head] == opBranch && !(NextOf(head) >= 0 && code_[NextOf(head)] == opBranch)))) {
        if (code_[head] == opBranch)
            head += 3;
        else
            head = NextOf(head);
    }
    auto skipOver = [&](int star, int lead) {
        runSkip_ = true;
        runSkipLead_ = lead;
        for (int c = 0; c < 256; ++c)
            runSet_[c] = Accepts(star + 3, static_cast<unsigned char>(c));
    };
    if (head >= 0 && (code_[head] == opStar || code_[head] == opPlus)) {
        skipOver(head, 0);
    } else if (head >= 0 && (code_[head] == opInSet || code_[head] == opNotInSet)) {
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
            if (within)
                skipOver(star, 1);
        }
    }
    firstCount_ = 0;
    for (int c = 0; c < 256; ++c)
        if (firstSet_[c]) {
            ++firstCount_;
            firstOnly_ = static_cast<unsigned char>(c);
        }
}

// ---- states worth remembering --------------------------------------------------------------
// Whether an attempt can still succeed from a node depends only on the node and the text
// position, as long as there are no counters (a recorded position never decides success).
// A state needs remembering only where paths meet: a node that two transitions lead to,
// and the node after a star or plus, which the loop enters at many positions. Any other
// node is entered only from its one predecessor, so it is entered at most as often as the
// remembered state before it. A star's own loop is remembered by position in a row of its
// own (see the matcher).
//
// Every loop of a program consumes at least one character per pass (the compiler refuses
// to repeat what can match the empty text), so no state can be entered again while an
// earlier visit of it is still being explored: a remembered state has failed.

void TREParser::AnalyseJoins() {
    const int size = static_cast<int>(code_.size());
    joinRow_.assign(code_.size(), -1);
    loopRow_.assign(code_.size(), -1);
    counted_ = false;
    std::vector<uint8_t> incoming(code_.size(), 0);
    std::vector<int> work{1};
    std::vector<bool> seen(code_.size(), false);
    seen[1] = true;
    int rows = 0;
    int stars = 0; // numbered first, so a star's row is also its index in follow_
    auto edge = [&](int to, uint8_t weight) {
        if (to < 0 || to >= size)
            return;
        const size_t k = static_cast<size_t>(to);
        incoming[k] = static_cast<uint8_t>(std::min(2, incoming[k] + weight));
        if (!seen[k]) {
            seen[k] = true;
            work.push_back(to);
        }
    };
    while (!work.empty()) {
        const int n = work.back();
        work.pop_back();
        const uint8_t op = code_[n];
        switch (op) {
        case opEnd:
        case opFail:
            break;
        case opBranch: {
            const int next = NextOf(n);
            edge(n + 3, 1);
            if (next >= 0 && code_[next] == opBranch)
                edge(next, 1);
            break;
        }
        case opStar:
        case opPlus:
            loopRow_[static_cast<size_t>(n)] = rows++;
            ++stars;
            edge(NextOf(n), 2);
            break;
        case opCountTest:
            counted_ = true;
            edge(n + 6, 1);
            edge(n + 9, 1);
            break;
        case opCountExhausted: {
            counted_ = true;
            const int next = NextOf(n);
            edge(next, 1);
            if (next >= 0)
                edge(next + 3, 1);
            break;
        }
        case opCountSet:
        case opCountDec:
            counted_ = true;
            edge(NextOf(n), 1);
            break;
        default:
            if (op <= opNothing || (op >= opOpen1 && op <= opOpen9) ||
                (op >= opClose1 && op <= opClose9))
                edge(NextOf(n), 1);
            break;
        }
    }
    for (int n = 0; n < size; ++n) {
        const uint8_t op = code_[static_cast<size_t>(n)];
        if (seen[static_cast<size_t>(n)] && incoming[static_cast<size_t>(n)] >= 2 && op != opStar &&
            op != opPlus)
            joinRow_[static_cast<size_t>(n)] = rows++;
    }
    memoRows_ = rows;
    // Where each star's continuation can go on: its loop tries only those positions.
    follow_.assign(static_cast<size_t>(stars), {});
    for (int n = 0; n < size; ++n) {
        const int32_t row = loopRow_[static_cast<size_t>(n)];
        if (row < 0)
            continue;
        TFollow& f = follow_[static_cast<size_t>(row)];
        f.Any = FirstChars(NextOf(n), f.Chars);
        f.RunEndOnly = !f.Any;
        for (int c = 0; c < 256 && f.RunEndOnly; ++c)
            f.RunEndOnly = !(f.Chars[c] && Accepts(n + 3, static_cast<unsigned char>(c)));
    }
    if (!visited_)
        visited_ = std::make_unique<TVisited>();
}

} // namespace kvx
