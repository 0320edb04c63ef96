// Objects of the control's settings family copy themselves by writing their state to a
// memory stream and reading it back: one pair of routines serves copying, saving and loading.
#pragma once

#include "Stream.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kvx {

class TSM_Base {
  public:
    virtual ~TSM_Base() = default;

    // The class name that error messages show ("TSM_Base" style).
    virtual const char* ClassName() const = 0;
    // Writes the whole state; LoadFromStream of what was written must restore it exactly.
    virtual void SaveToStream(TStream& stream) const = 0;
    // Replaces the whole state with what the stream holds. A subclass may throw half way:
    // Assign puts the old state back; direct callers get no such promise.
    virtual void LoadFromStream(TStream& stream) = 0;

    // Copies source into this object through a memory stream. Only an object of exactly the
    // same class can be assigned (anything else raises ESyntaxMemo "Cannot assign a <source
    // class> to <target class>"). When reading fails, or reads less than the source wrote,
    // this object is left as it was and the error is raised.
    void Assign(const TSM_Base& source);

  protected:
    // The text of the wrong-class error; the families word it slightly differently.
    virtual std::string AssignError(const char* source) const {
        return std::string("Cannot assign a ") + source + " to " + ClassName();
    }

    TSM_Base() = default;
    TSM_Base(const TSM_Base&) = default;
    TSM_Base& operator=(const TSM_Base&) = default;

    // Helpers for subclasses. The reading ones raise EStreamError naming `what` when the
    // stream ends early or holds a length that cannot be right, instead of returning junk.
    static void WriteInt32(TStream& stream, int32_t value);
    static int32_t ReadInt32(TStream& stream, const char* what);
    static void WriteInt16(TStream& stream, uint16_t value);
    static uint16_t ReadInt16(TStream& stream, const char* what);
    // A long text: a 32-bit length and the bytes.
    static void WriteLongString(TStream& stream, std::string_view value);
    static std::string ReadLongString(TStream& stream, const char* what);
    // A short text: one length byte and the bytes. A longer value is written cut to 255
    // bytes, so the length byte always matches what follows it.
    static void WriteShortString(TStream& stream, std::string_view value);
    static std::string ReadShortString(TStream& stream, const char* what);
    // Raises EStreamError "Bad <what> in stream" for a value read that cannot be right.
    [[noreturn]] static void BadValue(const char* what);
};

} // namespace kvx
