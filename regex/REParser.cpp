// The pattern compiler: a sizing pass and an emitting pass over the pattern, after `||` has
// been rewritten on its text, produce the byte program of REOpcodes.h.
#include "REParser.h"
#include "REOpcodes.h"
#include "REVisited.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

namespace kvx {

using namespace re;

namespace {

constexpr int kHasWidth = 1; // cannot match the empty text
constexpr int kSimple = 2;   // one character, usable by opStar / opPlus

// ---- `||` rewriting --------------------------------------------------------------------
// The either-order operator is expanded on the pattern text before compiling: A||B becomes
// ((A B?)|(B A?)). Scanning has to skip the same tokens the parser sees, so that a bar
// inside a class, a quoted literal or after a backslash is left alone.

// The end of the token at s[i]. An escape, a class or a quoted literal is one token, so a
// bar inside it is not an operator; a parenthesis is a token of its own.
size_t SkipToken(std::string_view s, size_t i) {
    const char c = s[i];
    if (c == '\\')
        return std::min(i + 2, s.size());
    if (c == '[' || c == '"') {
        const char close = c == '[' ? ']' : '"';
        ++i;
        while (i < s.size() && s[i] != close)
            i += (s[i] == '\\') ? 2 : 1;
        return std::min(i + 1, s.size());
    }
    return i + 1;
}

// One past the ')' closing the group that opens at s[i], or npos. It counts the depth
// instead of recursing: a pattern may nest parentheses as deeply as it is long.
size_t SkipGroup(std::string_view s, size_t i) {
    size_t depth = 0;
    while (i < s.size()) {
        if (s[i] == '(') {
            ++depth;
            ++i;
        } else if (s[i] == ')') {
            ++i;
            if (--depth == 0)
                return i;
        } else {
            i = SkipToken(s, i);
        }
    }
    return std::string_view::npos;
}

bool IsOneGroup(std::string_view s) {
    return !s.empty() && s[0] == '(' && SkipGroup(s, 0) == s.size();
}

std::string Wrap(const std::string& s) {
    return IsOneGroup(s) ? s : "(" + s + ")";
}

} // namespace

// ---- construction and errors -------------------------------------------------------------

TREParser::TREParser() : code_(256, 0) {
    code_[0] = kMagic + 1;
    positions_.fill(-1);
}

void TREParser::Error(int id) {
    errorCode_ = id;
    errorPos_ = static_cast<int>(std::min<size_t>(pos_, 0x7FFFFFFF));
    throw ERegExpr(id);
}

// ---- compiler ------------------------------------------------------------------------

namespace {
struct TExpander {
    std::string_view p;
    size_t i = 0;
    size_t limit;
    bool overflow = false;

    // One alternation level, up to its closing ')' (left in place) or the end. `depth` is
    // the number of groups around it.
    std::string Level(bool inParen, int depth) {
        std::string result, acc, cur;
        bool haveAcc = false;
        bool pendingEither = false;
        auto flush = [&](bool either) {
            if (!haveAcc) {
                acc = cur;
                haveAcc = true;
            } else if (pendingEither) {
                const std::string a = Wrap(acc), b = Wrap(cur);
                if (2 * (a.size() + b.size()) + 10 + result.size() > limit) {
                    overflow = true;
                    return;
                }
                acc = "((" + a + b + "?)|(" + b + a + "?))";
            } else {
                result += acc;
                result += '|';
                acc = cur;
            }
            cur.clear();
            pendingEither = either;
        };
        while (i < p.size() && !overflow) {
            const char c = p[i];
            if (c == ')') {
                if (inParen)
                    break;
                cur += c;
                ++i;
            } else if (c == '(' && depth >= 9) {
                // A group ten deep: the compiler stops with "Too many sub-expressions" at it
                // (or earlier, as rewriting only adds groups), so it is copied as it
                // stands rather than recursed into once per parenthesis.
                const size_t e = SkipGroup(p, i);
                const size_t stop = e == std::string_view::npos ? p.size() : e;
                cur.append(p.substr(i, stop - i));
                i = stop;
            } else if (c == '(') {
                ++i;
                cur += '(';
                cur += Level(true, depth + 1);
                if (i < p.size() && p[i] == ')') {
                    cur += ')';
                    ++i;
                }
            } else if (c == '|') {
                const bool either = i + 1 < p.size() && p[i + 1] == '|';
                i += either ? 2 : 1;
                flush(either);
            } else {
                const size_t e = SkipToken(p, i);
                cur.append(p.substr(i, e - i));
                i = e;
            }
            if (cur.size() + acc.size() + result.size() > limit)
                overflow = true;
        }
        if (!overflow)
            flush(false);
        result += acc;
        return result;
    }
};
} // namespace

bool TREParser::Compile(std::string_view pattern) {
    if (compiled_ && !cache_.empty() && pattern == cache_)
        return true;
    cache_.assign(pattern);
    errorCode_ = msgRENoErrors;
    errorPos_ = 0;
    compiled_ = false;
    try {
        pos_ = 0;
        if (pattern.empty())
            Error(msgREInvalidParameter);
        if (pattern.find("||") != std::string_view::npos) {
            TExpander x{pattern, 0, kMaxExpandedPattern};
            pat_ = x.Level(false, 0);
            if (x.overflow) {
                pos_ = x.i;
                Error(msgREOutOfMemory);
            }
        } else {
            pat_.assign(pattern);
        }
        Pass(true);
        code_.assign(static_cast<size_t>(size_) + 256, 0);
        Pass(false);
        Analyse();
        compiled_ = true;
        return true;
    } catch (const ERegExpr&) {
        cache_.clear();
        code_.assign(256, 0);
        code_[0] = kMagic + 1;
        return false;
    }
}

void TREParser::Pass(bool sizing) {
    sizing_ = sizing;
    depth_ = 1;
    // Each pass allocates the same counters; carrying the count over from the sizing pass
    // would halve the repetitions a pattern may hold.
    counterAlloc_ = 0;
    pos_ = 0;
    if (sizing)
        size_ = 0;
    else
        emit_ = 0;
    Byte(kMagic);
    int flags = 0;
    Reg(false, flags);
}

void TREParser::Byte(uint8_t b) {
    if (sizing_) {
        ++size_;
        return;
    }
    if (emit_ >= static_cast<int>(code_.size()))
        Error(msgREInternalError);
    code_[emit_++] = b;
}

int TREParser::Node(uint8_t op) {
    const int at = sizing_ ? size_ : emit_;
    Byte(op);
    Byte(0);
    Byte(0);
    return at;
}

int TREParser::CounterNode(uint8_t op, int counter, int value) {
    const int at = Node(op);
    Byte(static_cast<uint8_t>(counter));
    Byte(static_cast<uint8_t>(value & 0xFF));
    Byte(static_cast<uint8_t>(value >> 8));
    return at;
}

void TREParser::Insert(uint8_t op, int at, int operandBytes) {
    const int n = 3 + operandBytes;
    if (sizing_) {
        size_ += n;
        return;
    }
    if (emit_ + n > static_cast<int>(code_.size()))
        Error(msgREInternalError);
    std::memmove(&code_[at + n], &code_[at], static_cast<size_t>(emit_ - at));
    std::memset(&code_[at], 0, static_cast<size_t>(n));
    code_[at] = op;
    emit_ += n;
}

void TREParser::SetNext(int node, int target) {
    if (sizing_)
        return;
    const int off = code_[node] == opBack ? node - target : target - node;
    // The link field holds 16 bits: a longer jump would land inside some operand.
    if (off <= 0 || off > 0xFFFF)
        Error(msgREInternalError);
    code_[node + 1] = static_cast<uint8_t>(off >> 8);
    code_[node + 2] = static_cast<uint8_t>(off & 0xFF);
}

void TREParser::Tail(int chain, int target) {
    if (sizing_)
        return;
    int scan = chain;
    for (int next; (next = NextOf(scan)) >= 0;)
        scan = next;
    SetNext(scan, target);
}

void TREParser::OpTail(int node, int target) {
    if (sizing_ || code_[node] != opBranch)
        return;
    Tail(node + 3, target);
}

int TREParser::AllocCounter() {
    if (counterAlloc_ > 255)
        Error(msgREInternalError);
    return counterAlloc_++;
}

int TREParser::Reg(bool paren, int& flags) {
    flags = kHasWidth;
    int ret = -1;
    int depth = 0;
    if (paren) {
        if (depth_ > 9)
            Error(msgRETooManySubExpressions);
        depth = depth_++;
        ret = Node(static_cast<uint8_t>(opOpen1 + depth - 1));
    }
    int f = 0;
    int br = Branch(f);
    if (ret >= 0)
        Tail(ret, br);
    else
        ret = br;
    if (!(f & kHasWidth))
        flags &= ~kHasWidth;
    while (Peek() == '|') {
        ++pos_;
        br = Branch(f);
        Tail(ret, br);
        if (!(f & kHasWidth))
            flags &= ~kHasWidth;
    }
    const int ender = Node(static_cast<uint8_t>(paren ? opClose1 + depth - 1 : int(opEnd)));
    Tail(ret, ender);
    if (!sizing_)
        for (int b = ret; b >= 0 && b != ender; b = NextOf(b))
            OpTail(b, ender);
    if (paren) {
        if (Peek() != ')')
            Error(msgREUnmatchedParenthesis);
        ++pos_;
        --depth_;
    } else if (!AtEnd()) {
        if (Peek() == ')') {
            ++pos_;
            Error(msgREUnmatchedParenthesis);
        }
        Error(msgREInternalError);
    }
    return ret;
}

int TREParser::Branch(int& flags) {
    flags = 0;
    const int ret = Node(opBranch);
    int chain = -1;
    while (!AtEnd() && Peek() != '|' && Peek() != ')') {
        int f = 0;
        const int latest = Piece(f);
        flags |= f & kHasWidth;
        if (chain >= 0)
            Tail(chain, latest);
        chain = latest;
    }
    if (chain < 0)
        Node(opNothing);
    return ret;
}

int TREParser::ReadCount(bool& present) {
    present = false;
    long value = 0;
    while (Peek() >= '0' && Peek() <= '9') {
        present = true;
        value = std::min(value * 10 + (Peek() - '0'), 1'000'000L);
        ++pos_;
    }
    // The count is stored in 16 bits; a larger one must not wrap to a small count.
    if (value > 0xFFFF)
        Error(msgREInvalidRange);
    return static_cast<int>(value);
}

int TREParser::Piece(int& flags) {
    int f = 0;
    const int ret = Atom(f);
    const int op = Peek();
    if (op != '*' && op != '+' && op != '?' && op != '{') {
        flags = f;
        return ret;
    }
    ++pos_;
    if (!(f & kHasWidth) && op != '?')
        Error(msgREInvalidRepeat);
    const bool simple = f & kSimple;
    flags = op == '+' ? kHasWidth : 0;

    auto star = [&] {
        if (simple) {
            Insert(opStar, ret);
            return;
        }
        // x* as (x&|): & loops back to the branch.
        Insert(opBranch, ret);
        OpTail(ret, Node(opBack));
        OpTail(ret, ret);
        Tail(ret, Node(opBranch));
        Tail(ret, Node(opNothing));
    };
    auto operand = [&](int node, int counter, int value) {
        if (sizing_)
            return;
        code_[node + 3] = static_cast<uint8_t>(counter);
        code_[node + 4] = static_cast<uint8_t>(value & 0xFF);
        code_[node + 5] = static_cast<uint8_t>(value >> 8);
    };

    switch (op) {
    case '*':
        star();
        break;
    case '+':
        if (simple) {
            Insert(opPlus, ret);
        } else {
            // x+ as x(&|).
            const int next = Node(opBranch);
            Tail(ret, next);
            Tail(Node(opBack), ret);
            Tail(next, Node(opBranch));
            Tail(ret, Node(opNothing));
        }
        break;
    case '?': {
        Insert(opBranch, ret);
        Tail(ret, Node(opBranch));
        const int nothing = Node(opNothing);
        Tail(ret, nothing);
        OpTail(ret, nothing);
        break;
    }
    default: { // '{'
        bool hasN = false, hasM = false, comma = false;
        const int n = ReadCount(hasN);
        int m = 0;
        if (Peek() == ',') {
            ++pos_;
            comma = true;
            m = ReadCount(hasM);
        }
        if (Peek() != '}')
            Error(msgREInvalidRange);
        ++pos_;
        if ((!comma && !hasN) || (comma && !hasN && !hasM) || (hasN && hasM && m < n))
            Error(msgREInvalidRange);
        const bool zeroMin = !hasN || n == 0;
        // The common start of the counted loops that run n times at least: the counter set
        // to n before the atom x, and its decrement after it.
        auto countFromN = [&] {
            const int c = AllocCounter();
            Insert(opCountSet, ret, 3);
            operand(ret, c, n);
            const int x = ret + 6;
            SetNext(ret, x);
            const int dec = CounterNode(opCountDec, c, 0);
            Tail(x, dec);
            return std::array<int, 3>{c, x, dec};
        };
        if ((!comma && n == 0) || (comma && hasM && m == 0)) {
            // Zero occurrences: step over the atom, which stays behind as dead code.
            Insert(opNothing, ret);
            Tail(ret, Node(opNothing));
        } else if (!comma && n == 1) {
            flags = f & kHasWidth;
        } else if (!comma) {
            // CountSet(c,n) x CountDec(c) CountTest(c) [Back->x] Nothing
            const auto [c, x, dec] = countFromN();
            const int test = CounterNode(opCountTest, c, 0);
            SetNext(dec, test);
            SetNext(Node(opBack), x);
            SetNext(test, Node(opNothing));
            flags = kHasWidth;
        } else if (!hasM && zeroMin) {
            star();
        } else if (!hasM) {
            // CountSet(c,n) x CountDec(c) CountExhausted(c) Branch[Back->x] Branch[Nothing]
            const auto [c, x, dec] = countFromN();
            const int ex = CounterNode(opCountExhausted, c, 0);
            SetNext(dec, ex);
            const int b1 = Node(opBranch);
            SetNext(ex, b1);
            SetNext(Node(opBack), x);
            const int b2 = Node(opBranch);
            SetNext(b1, b2);
            SetNext(b2, Node(opNothing));
            flags = kHasWidth;
        } else if (zeroMin) {
            // CountSet(c,m) IB:Branch[x CountDec(c) CountTest(c) [Back->IB] N1] Branch[N2]
            const int c = AllocCounter();
            Insert(opBranch, ret);
            Insert(opCountSet, ret, 3);
            operand(ret, c, m);
            const int ib = ret + 6, x = ret + 9;
            SetNext(ret, ib);
            const int dec = CounterNode(opCountDec, c, 0);
            Tail(x, dec);
            const int test = CounterNode(opCountTest, c, 0);
            SetNext(dec, test);
            SetNext(Node(opBack), ib);
            const int n1 = Node(opNothing);
            SetNext(test, n1);
            const int ib2 = Node(opBranch);
            SetNext(ib, ib2);
            const int n2 = Node(opNothing);
            SetNext(ib2, n2);
            SetNext(n1, n2);
        } else {
            // CountSet(c,n) CountSet(c+1,m) x CountDec(c+1) CountDec(c) CountTest(c)
            // [Back->x] CountSet(c,1) Branch[CountTest(c+1) [Back->x] Fail] Branch[Nothing]
            const int c = AllocCounter();
            const int c2 = AllocCounter();
            Insert(opCountSet, ret, 3);
            Insert(opCountSet, ret, 3);
            operand(ret, c, n);
            operand(ret + 6, c2, m);
            const int x = ret + 12;
            SetNext(ret, ret + 6);
            SetNext(ret + 6, x);
            const int d1 = CounterNode(opCountDec, c2, 0);
            Tail(x, d1);
            const int d2 = CounterNode(opCountDec, c, 0);
            SetNext(d1, d2);
            const int t1 = CounterNode(opCountTest, c, 0);
            SetNext(d2, t1);
            SetNext(Node(opBack), x);
            const int reset = CounterNode(opCountSet, c, 1);
            SetNext(t1, reset);
            const int b1 = Node(opBranch);
            SetNext(reset, b1);
            const int t2 = CounterNode(opCountTest, c2, 0);
            SetNext(Node(opBack), x);
            const int fail = Node(opFail);
            SetNext(t2, fail);
            const int b2 = Node(opBranch);
            SetNext(b1, b2);
            SetNext(b2, Node(opNothing));
            flags = kHasWidth;
        }
        break;
    }
    }
    const int after = Peek();
    if (after == '?' || after == '*' || after == '+') {
        ++pos_;
        Error(msgRENestedRepeat);
    }
    return ret;
}

unsigned char TREParser::Escape() {
    if (AtEnd())
        Error(msgREUnexpectedEnd);
    const unsigned char c = static_cast<unsigned char>(pat_[pos_++]);
    switch (c) {
    case ' ':
        return 32;
    case 'b':
    case 'B':
        return 8;
    case 'f':
    case 'F':
        return 12;
    // The text holds every line break as 13, so \n must stand for 13; \r is the line feed.
    case 'n':
    case 'N':
        return 13;
    case 'r':
    case 'R':
        return 10;
    case 't':
    case 'T':
        return 9;
    case 'x':
    case 'X': {
        int value = 0, digits = 0;
        while (digits < 2 && std::isxdigit(Peek())) {
            const int d = Peek();
            value = value * 16 + (d <= '9' ? d - '0' : (d | 0x20) - 'a' + 10);
            ++pos_;
            ++digits;
        }
        if (digits == 0)
            Error(msgREHexDigitExpected);
        return static_cast<unsigned char>(value);
    }
    default:
        if (c >= '0' && c <= '7') {
            int value = c - '0';
            for (int digits = 1; digits < 3 && Peek() >= '0' && Peek() <= '7'; ++digits)
                value = value * 8 + (pat_[pos_++] - '0');
            return static_cast<unsigned char>(value & 0xFF);
        }
        return c;
    }
}

int TREParser::Atom(int& flags) {
    flags = 0;
    if (AtEnd())
        Error(msgREInternalError);
    const unsigned char c = static_cast<unsigned char>(pat_[pos_++]);
    auto literal = [&](const std::string& s) {
        if (s.size() > 0xFFFF)
            Error(msgREInternalError);
        const int ret = Node(opLiteral);
        Byte(static_cast<uint8_t>(s.size() & 0xFF));
        Byte(static_cast<uint8_t>(s.size() >> 8));
        for (char ch : s)
            Byte(static_cast<uint8_t>(ch));
        // "" matches the empty text: repeating it would loop without moving on.
        flags = (s.empty() ? 0 : kHasWidth) | (s.size() == 1 ? kSimple : 0);
        return ret;
    };
    auto set = [&](bool negate, const std::array<uint8_t, 256>& members) {
        const int ret = Node(negate ? opNotInSet : opInSet);
        for (uint8_t b : members)
            Byte(b);
        flags = kHasWidth | kSimple;
        return ret;
    };
    switch (c) {
    case '"': {
        std::string s;
        for (;;) {
            if (AtEnd())
                Error(msgREQuoteExpected);
            const char ch = pat_[pos_++];
            if (ch == '"')
                break;
            s += ch == '\\' ? static_cast<char>(Escape()) : ch;
        }
        return literal(s);
    }
    case '$':
        return Node(opLineEnd);
    case '^':
        return Node(opLineStart);
    case '(': {
        int f = 0;
        const int ret = Reg(true, f);
        flags = f & kHasWidth;
        return ret;
    }
    case '.':
        flags = kHasWidth | kSimple;
        return Node(opAnyChar);
    case '[': {
        const bool negate = Peek() == '^';
        if (negate)
            ++pos_;
        std::array<uint8_t, 256> members{};
        int count = 0;
        for (;;) {
            if (AtEnd())
                Error(msgREUnmatchedBracket);
            if (Peek() == ']') {
                ++pos_;
                break;
            }
            unsigned char lo = static_cast<unsigned char>(pat_[pos_++]);
            if (lo == '\\')
                lo = Escape();
            unsigned char hi = lo;
            if (Peek() == '-') {
                ++pos_;
                if (AtEnd() || Peek() == ']')
                    Error(msgREInvalidRange);
                hi = static_cast<unsigned char>(pat_[pos_++]);
                if (hi == '\\')
                    hi = Escape();
                if (hi < lo)
                    Error(msgREInvalidRange);
            }
            for (int v = lo; v <= hi; ++v)
                members[v] = 1;
            ++count;
        }
        if (count == 0)
            Error(msgREUnmatchedBracket);
        return set(negate, members);
    }
    case '\\': {
        if (AtEnd())
            Error(msgREUnexpectedEnd);
        const char s = pat_[pos_];
        const char* chars = nullptr;
        switch (s | 0x20) {
        case 'd':
            chars = "0123456789";
            break;
        case 's':
            chars = "\r \n\f\t\b";
            break;
        case 'w':
            chars = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
            break;
        }
        if (chars) {
            ++pos_;
            std::array<uint8_t, 256> members{};
            for (const char* p = chars; *p; ++p)
                members[static_cast<unsigned char>(*p)] = 1;
            return set(s >= 'A' && s <= 'Z', members);
        }
        return literal(std::string(1, static_cast<char>(Escape())));
    }
    case '*':
    case '+':
    case '?':
        Error(msgREInvalidRepeat);
    case ')':
    case '|':
        Error(msgREInternalError);
    default:
        return literal(std::string(1, static_cast<char>(c)));
    }
}

} // namespace kvx
