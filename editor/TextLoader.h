// Builds a document's rows straight from a file's bytes. Loading is the one place where
// hundreds of megabytes pass through the store at once: the bytes are normalised, cut into
// rows and checked for UTF-8 in one pass over each block as it is read, and every row is
// written once, into its final place, instead of going through the general insertion.
#pragma once

#include "Encoding.h"
#include "TextFile.h"
#include "TextStore.h"

#include <cstddef>

namespace kvx {

// The rows come out exactly as inserting the whole text would make them: breaks normalised
// (CR LF, LF CR and a lone LF each one CR, other control bytes "."), every line cut at the
// row limit without splitting a UTF-8 sequence, a leading byte-order mark left out when the
// rest is UTF-8.
class TTextLoader {
  public:
    // `store` must be empty and shown by no view (it is swapped in when all went well).
    explicit TTextLoader(TTextStore& store);
    TTextLoader(const TTextLoader&) = delete;
    TTextLoader& operator=(const TTextLoader&) = delete;

    // The next bytes of the file, in any pieces.
    void Feed(const char* data, size_t count);
    // Ends the text and sets the store's encoding; returns what the bytes showed: UTF-8 or
    // not, the mark, the style of the first line break.
    TTextScan Finish();

  private:
    void Take(const char* data, size_t count);
    // Remembers the style of the first line break: byte `c`, followed by p[next] if
    // next < count.
    void NoteBreak(unsigned char c, const unsigned char* p, size_t next, size_t count);
    void AddByte(char c);
    void EndRow();
    void CutFullRow(unsigned char next);

    TTextStore& store_;
    char row_[MaxRowLength + 1]; // room for a look at the byte after a full row
    int length_ = 0;
    // A CR or LF just stored, whose partner (LF or CR) is to be dropped.
    enum { kNone, kAfterCR, kAfterLF } pair_ = kNone;
    TUtf8Validator utf8_;
    // The first bytes, held until they show whether the file starts with a byte-order mark.
    char head_[3];
    int headLength_ = 0;
    bool started_ = false;
    bool bom_ = false;
    // The first line break: none yet, a CR whose next byte decides, or known.
    enum { kNoBreak, kFirstCR, kKnown } breakState_ = kNoBreak;
    TLineBreak break_ = TLineBreak::LF;
    // A row was cut short so as not to split a UTF-8 sequence: if the file turns out not to
    // be UTF-8 its long lines are cut again by the single-byte rule.
    bool cutShort_ = false;
};

} // namespace kvx
