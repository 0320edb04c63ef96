#include "Keywords.h"

#include "RowCursor.h"

#include "EdStream.h"

#include <cctype>

namespace kvx {

TKeywords::TKeywords() {
    Clear();
}

void TKeywords::Clear() {
    nodes_.clear();
    words_.clear();
    root_ = kNone;
    first_.fill(kNone);
    classes_.Clear();
    // Index 0 is the empty class, which lets any character follow.
    classes_.Add(TSM_CharGroup());
}

unsigned char TKeywords::Fold(unsigned char c) const {
    // Only ASCII letters fold: bytes of multi-byte characters and of the 8-bit code page
    // stay as they are, whatever the C library's locale thinks of them.
    return !caseSensitive_ && c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

int32_t TKeywords::FindChild(int32_t first, unsigned char c) const {
    for (int32_t i = first; i != kNone && nodes_[i].Char <= c; i = nodes_[i].Next)
        if (nodes_[i].Char == c)
            return i;
    return kNone;
}

void TKeywords::Add(std::string_view text, bool caseSensitive, int value) {
    Add(text, caseSensitive, value, DefaultStates, TSM_CharGroup());
}

void TKeywords::Add(std::string_view text, bool caseSensitive, int value, const TSet256& states,
                    const TSM_CharGroup& follow) {
    caseSensitive_ = caseSensitive;
    if (text.empty())
        return;
    if (value < 0 || value > 255)
        throw EKeywords(0, "Token value out of range (" + std::to_string(value) + ")");
    std::string word(text);
    for (char& c : word)
        c = static_cast<char>(Fold(static_cast<unsigned char>(c)));

    // Everything that can refuse the word comes before the first change: a compiler or a
    // stream reader that catches the error goes on with the tree it had.
    int32_t existing = first_[static_cast<unsigned char>(word[0])];
    for (size_t k = 1; existing != kNone && k < word.size(); ++k)
        existing = FindChild(nodes_[existing].Child, static_cast<unsigned char>(word[k]));
    if (existing != kNone)
        for (const TEnding& e : nodes_[existing].Endings)
            if (e.States.Meets(states))
                throw EKeywords(msgDuplicateKeyword,
                                "Duplicate keyword - '" + std::string(text) + "'");
    const uint16_t followIndex = classes_.Add(follow);

    // The list being searched is the root list or the children of `parent`; it is named
    // by index, since adding a node may move the others.
    int32_t parent = kNone;
    int32_t node = kNone;
    for (size_t k = 0; k < word.size(); ++k) {
        const auto c = static_cast<unsigned char>(word[k]);
        int32_t& head = parent == kNone ? root_ : nodes_[parent].Child;
        // Siblings are kept in ascending order of their character.
        int32_t prev = kNone;
        int32_t cur = head;
        while (cur != kNone && nodes_[cur].Char < c) {
            prev = cur;
            cur = nodes_[cur].Next;
        }
        if (cur == kNone || nodes_[cur].Char != c) {
            const auto index = static_cast<int32_t>(nodes_.size());
            const int32_t next = cur;
            if (prev == kNone)
                head = index; // before the push: `head` may live in nodes_
            nodes_.emplace_back();
            nodes_[index].Char = c;
            nodes_[index].Next = next;
            if (prev != kNone)
                nodes_[prev].Next = index;
            cur = index;
            if (k == 0 && first_[c] == kNone)
                first_[c] = index;
            if (parent != kNone)
                nodes_[parent].ChildChars.Include(c);
        }
        nodes_[cur].Union |= states;
        node = parent = cur;
    }
    TSet256 followSet;
    for (int c = 0; c < 256; ++c)
        if (follow.Contains(static_cast<uint8_t>(c)))
            followSet.Include(c);
    nodes_[node].Endings.push_back({states, followSet, followIndex, static_cast<uint8_t>(value)});
    words_.push_back({word, followIndex, states, static_cast<uint8_t>(value)});
}

template <class Cursor>
int TKeywords::Walk(Cursor& in, const TSet256& states, uint8_t& value) const {
    if (in.AtEnd())
        return 0;
    int best = 0;
    int length = 0;
    int32_t node = first_[Fold(in.Current())];
    while (node != kNone && nodes_[node].Union.Meets(states)) {
        in.Advance();
        ++length;
        const bool atEnd = in.AtEnd();
        const unsigned char next = atEnd ? 0 : in.Current();
        for (const TEnding& e : nodes_[node].Endings) {
            if (e.States.Meets(states) && (e.Follow == 0 || e.FollowSet.Has(next))) {
                best = length;
                value = e.Value;
                break;
            }
        }
        const unsigned char folded = Fold(next);
        if (atEnd || !nodes_[node].ChildChars.Has(folded))
            break;
        node = FindChild(nodes_[node].Child, folded);
    }
    return best;
}

template <class Cursor>
TKeywords::TMatch TKeywords::Found(Cursor& in, const TSet256& states) const {
    uint8_t value = 0;
    const int length = Walk(in, states, value);
    return length ? TMatch{true, length, value} : TMatch{};
}

TKeywords::TMatch TKeywords::Match(TCharCursor& in, const TSet256& states) const {
    return Found(in, states);
}

TKeywords::TMatch TKeywords::Match(TStringCursor& in, const TSet256& states) const {
    return Found(in, states);
}

int TKeywords::MatchLength(TRowCursor& in, const TSet256& states, uint8_t& value) const {
    return Walk(in, states, value);
}

namespace {
// The walk asks for the end before it reads a character, and the stream answers 0 there
// anyway, so the stream's own calls serve as they are.
class TStreamCursor {
  public:
    explicit TStreamCursor(TEdStream& s) : s_(s) {}
    unsigned char Current() { return s_.Current(); }
    void Advance() { s_.Next(); }
    bool AtEnd() { return s_.AtEnd(); }

  private:
    TEdStream& s_;
};
} // namespace

TKeywords::TMatch TKeywords::Match(TEdStream& in, const TSet256& states) const {
    const TextOffset start = in.Pos();
    TStreamCursor cursor(in);
    const TMatch m = Found(cursor, states);
    in.SetPosition(start + m.Length);
    return m;
}

} // namespace kvx
