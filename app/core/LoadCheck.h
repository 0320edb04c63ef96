// What loading a file into the editor would change, found before the file is opened, so
// that the user can be asked first: control bytes (NUL, ^Z and the like) become "." in the
// editor, and a file whose line breaks are of more than one kind is written back with the
// first kind only. One pass over the bytes that the compiler can vectorise, so that asking
// costs little next to the load itself even for files of many megabytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kvx {

struct TLoadChanges {
    size_t ControlBytes = 0; // bytes below 32 other than TAB, LF and CR
    bool MixedBreaks = false;
    bool Any() const { return ControlBytes > 0 || MixedBreaks; }
};

// The bytes of a file in pieces of any size, as they are read.
class TLoadCheck {
  public:
    void Feed(std::string_view bytes);
    TLoadChanges Result() const;

  private:
    size_t control_ = 0, cr_ = 0, lf_ = 0, crlf_ = 0, lfcr_ = 0;
    // The last two bytes fed before this piece, 0 before the first.
    unsigned char last_ = 0, beforeLast_ = 0;
};

TLoadChanges CheckLoadChanges(std::string_view bytes);

// The question shown before such a file opens; empty when nothing would change.
std::string LoadChangesQuestion(std::string_view fileName, const TLoadChanges& changes);

} // namespace kvx
