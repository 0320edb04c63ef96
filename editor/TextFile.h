// Files and what their bytes look like: encoding, line-break style, bytes that loading would
// change; reading a whole file, and writing one so that a failure never harms the old file.
#pragma once

#include "Stream.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace kvx {

enum class TLineBreak { CRLF, LF, CR };

struct TTextScan {
    bool Utf8 = true;                  // valid UTF-8 (else Windows-1252)
    bool Bom = false;                  // starts with the UTF-8 byte-order mark
    TLineBreak Break = TLineBreak::LF; // style of the first break; LF when there is none
    bool MixedBreaks = false;          // some break differs from the first one
    bool HasControlBytes = false;      // NUL or other control bytes that loading turns into "."
};

// Everything about the bytes, for asking the user before a load changes anything.
TTextScan ScanText(std::string_view bytes);
// Only what loading needs (encoding, mark, first break); the other fields stay false.
TTextScan DetectFormat(std::string_view bytes);

// A read-only stream over a regular file. A missing, unreadable or special file raises
// EFOpenError with the "cannot be opened for reading" message.
class TFileStream : public TStream {
  public:
    explicit TFileStream(const std::string& name);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return size_; }

  private:
    int fd_ = -1;
    int64_t size_ = 0;
    std::string name_;
};

// The system calls that a save depends on for its safety. Tests install one that fails at a
// chosen call, to see that a failure at any step leaves the old file and the document as
// they were; everything else uses the real calls.
class TSaveCalls {
  public:
    virtual ~TSaveCalls() = default;
    virtual long Write(int fd, const void* data, size_t count);
    virtual int Fsync(int fd);
    virtual int Close(int fd);
    virtual int Rename(const char* from, const char* to);
    // Used by every save from now on (null: the real calls); returns the one it replaces.
    static TSaveCalls* Install(TSaveCalls* calls);
};

// Writes a file through a temporary file in the same folder that replaces the target only
// when everything was written, flushed and closed. Until Commit nothing of the target is
// touched; a failure anywhere raises EFileSaveError and removes the temporary file.
class TSafeFileStream : public TStream {
  public:
    explicit TSafeFileStream(const std::string& name);
    ~TSafeFileStream() override;
    TSafeFileStream(const TSafeFileStream&) = delete;
    TSafeFileStream& operator=(const TSafeFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return written_; }
    void Commit();

  private:
    [[noreturn]] void Fail(const std::string& what, int error);
    void Flush();

    std::string target_;
    std::string temp_;
    int tempSlot_ = -1; // registered for removal should a signal stop the program
    int fd_ = -1;
    unsigned mode_ = 0;
    bool committed_ = false;
    int64_t written_ = 0;
    std::string buffer_;
};

// The message of a failed open: "File '<name>' cannot be opened for reading".
std::string CannotOpenMessage(const std::string& name);

} // namespace kvx
