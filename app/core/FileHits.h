// One file of a Find in Files: its bytes made into the text a document loaded from it would
// hold, and the hits Find Next would step through in that document from its top, each with
// the line and column the editor shows and the text of its line. A file searched here and
// the same file opened and searched in the editor give the same hits.
#pragma once

#include "regex/TextSearch.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

// The text of a document loaded from a file: a byte-order mark left out when the rest is
// UTF-8, line breaks as single CRs, other control bytes as "."; and its encoding.
struct TDocumentText {
    std::string Text;
    bool Utf8 = true;
};
// Fills `doc` (its buffer is reused from file to file).
void MakeDocumentText(std::string_view fileBytes, TDocumentText& doc);

struct TFileHit {
    TextOffset Offset = 0; // where the hit starts in the document text
    int32_t Bytes = 0;     // its length there
    int32_t Line = 1;      // 1-based row, as the editor numbers lines (a line longer than a
                           // row, 2047 bytes, takes several)
    int32_t Column = 1;    // 1-based, in characters of the row (a TAB counts one)
    int32_t Length = 0;    // characters of the hit; it may go on over line breaks
    std::string LineText;  // the row without its line break, in UTF-8
    int32_t MarkStart = 0; // the hit's part of LineText, in bytes of LineText
    int32_t MarkLength = 0;
};

// Searches documents for one text or pattern. One per thread: it holds the compiled
// pattern in both encodings.
class TFileSearcher {
  public:
    // `text` as the user typed it (UTF-8); options as the find dialog's (the direction is
    // not used: a file is searched from its top).
    TFileSearcher(std::string_view text, unsigned options);

    // False when the pattern does not compile, with the error (message and position) in
    // Error().
    bool Ready();
    const TTextSearch::TError& Error() const { return error_; }

    // Asked while a regular expression searches; true stops it ("Search cancelled").
    void SetCancelCheck(std::function<bool()> check);

    // Appends the hits of `doc` to `out`, at most `maxHits` of them. False when the search
    // stopped with an error (its work budget, a cancel), which Error() then holds; the hits
    // found before it are kept.
    bool Search(const TDocumentText& doc, std::vector<TFileHit>& out, size_t maxHits);

  private:
    struct TPattern {
        bool Usable = false; // false: the text cannot be written in this encoding
        std::string Bytes;
        TTextSearch Engine;
    };
    TPattern& PatternFor(bool utf8) { return utf8 ? utf8_ : single_; }

    unsigned options_;
    TPattern utf8_;
    TPattern single_; // Windows-1252
    TTextSearch::TError error_;
};

} // namespace kvx
