// The keyword tree: words stored character by character, each ending carrying the scanner
// states it is valid in, a token value and a class of characters that may follow it. A
// lookup finds the longest stored word at a position of a text.
#pragma once

#include "CharGroups.h"
#include "EdConsts.h"
#include "StateSet.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

class TEdStream;
class TRowCursor;

// Letter case as the keyword lists ignore it: ASCII letters only, so the bytes of other
// characters (UTF-8 sequences, the 8-bit code page) are never changed.
inline std::string AsciiLower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return s;
}

// A duplicate word (4202) and other failures of the keyword lists.
class EKeywords : public ESyntaxMemo {
  public:
    using ESyntaxMemo::ESyntaxMemo;
};

// Where a lookup reads from: the character at the current place (0 past the end, as the
// document's stream answers) and a step to the next one. Templates read the document
// backwards through the same interface. The end is asked for separately because 0 is a
// character a word may hold: a lookup that took the 0 past the end for one would report
// a word longer than the text.
class TCharCursor {
  public:
    virtual ~TCharCursor() = default;
    virtual unsigned char Current() = 0;
    virtual void Advance() = 0;
    virtual bool AtEnd() = 0;
};

class TStringCursor final : public TCharCursor {
  public:
    explicit TStringCursor(std::string_view text, size_t pos = 0) : text_(text), pos_(pos) {}
    unsigned char Current() override {
        return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : 0;
    }
    void Advance() override {
        if (pos_ < text_.size())
            ++pos_;
    }
    bool AtEnd() override { return pos_ >= text_.size(); }
    size_t Pos() const { return pos_; }

  private:
    std::string_view text_;
    size_t pos_;
};

class TKeywords {
  public:
    // One stored word, as entered (lower-cased when the tree ignores case).
    struct TWord {
        std::string Text;
        uint16_t Follow = 0; // class index; 0 is the empty class: anything may follow
        TSet256 States;
        uint8_t Value = 0;
    };

    TKeywords();
    virtual ~TKeywords() = default;
    TKeywords(const TKeywords&) = default;
    TKeywords& operator=(const TKeywords&) = default;
    TKeywords(TKeywords&&) = default;
    TKeywords& operator=(TKeywords&&) = default;

    // Stores a word. The tree's case flag becomes `caseSensitive`; without it the word is
    // lower-cased. An empty text adds nothing. A word already stored with a state set that
    // meets `states` raises EKeywords 4202 "Duplicate keyword - '<word>'". Values are 0-255.
    // A word that is refused leaves the tree and its classes as they were.
    void Add(std::string_view text, bool caseSensitive, int value, const TSet256& states,
             const TSM_CharGroup& follow);
    // Stores a word valid in the default states, with the empty following class.
    void Add(std::string_view text, bool caseSensitive, int value);

    struct TMatch {
        bool Found = false;
        int Length = 1; // characters of the word; 1 when none was found
        uint8_t Value = 0;
    };
    // The longest word at the cursor valid in `states` whose following class admits the
    // character after it (0 at the end of the text). The cursor is left wherever the search
    // stopped reading, never past the end: a found word lies wholly inside the text.
    TMatch Match(TCharCursor& in, const TSet256& states) const;
    TMatch Match(TCharCursor& in) const { return Match(in, CurrentStates); }
    TMatch Match(TStringCursor& in, const TSet256& states) const;
    // Over the document: the stream ends after the word, or one character past the start.
    TMatch Match(TEdStream& in, const TSet256& states) const;
    // Over rows, for the scanner: the length of the word found (0 for none) and its value.
    // The cursor is left wherever the search stopped reading. A length and a value in
    // registers cost the scanner less than a result built in memory, once per token.
    int MatchLength(TRowCursor& in, const TSet256& states, uint8_t& value) const;

    void Clear();

    bool CaseSensitive() const { return caseSensitive_; }
    void SetCaseSensitive(bool on) { caseSensitive_ = on; }
    TSM_CharGroupManager& Classes() { return classes_; }
    const TSM_CharGroupManager& Classes() const { return classes_; }
    // Words in the order they were added.
    const std::vector<TWord>& Words() const { return words_; }

    TSet256 DefaultStates{0};
    TSet256 CurrentStates{0};

  private:
    static constexpr int32_t kNone = -1;
    struct TEnding {
        TSet256 States;
        TSet256 FollowSet; // the following class as a plain set: one test per lookup
        uint16_t Follow = 0;
        uint8_t Value = 0;
    };
    struct TNode {
        uint8_t Char = 0;
        int32_t Next = kNone;
        int32_t Child = kNone;
        std::vector<TEnding> Endings;
        TSet256 Union;
        TSet256 ChildChars; // the characters of the children: most walks end on a miss
    };
    unsigned char Fold(unsigned char c) const;
    int32_t FindChild(int32_t first, unsigned char c) const;
    // The walk itself, once per kind of cursor, so that a known cursor costs no virtual
    // call per character.
    template <class Cursor> int Walk(Cursor& in, const TSet256& states, uint8_t& value) const;
    template <class Cursor> TMatch Found(Cursor& in, const TSet256& states) const;

    std::vector<TNode> nodes_;
    int32_t root_ = kNone;
    std::array<int32_t, 256> first_;
    bool caseSensitive_ = false;
    TSM_CharGroupManager classes_;
    std::vector<TWord> words_;
};

} // namespace kvx
