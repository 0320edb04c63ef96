#include "TextFile.h"

#include "EdConsts.h"
#include "Encoding.h"
#include "TempFiles.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvx {

TTextScan ScanText(std::string_view bytes) {
    TTextScan scan = DetectFormat(bytes);
    if (scan.Bom)
        bytes.remove_prefix(3);
    bool first = true;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 32 || c == '\t')
            continue;
        TLineBreak b;
        if (c == '\r') {
            b = TLineBreak::CR;
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                b = TLineBreak::CRLF;
                ++i;
            }
        } else if (c == '\n') {
            b = TLineBreak::LF;
            if (i + 1 < bytes.size() && bytes[i + 1] == '\r')
                ++i; // LF CR is one break too
        } else {
            scan.HasControlBytes = true;
            continue;
        }
        if (first) {
            scan.Break = b;
            first = false;
        } else if (b != scan.Break) {
            scan.MixedBreaks = true;
        }
    }
    return scan;
}

TTextScan DetectFormat(std::string_view bytes) {
    TTextScan scan;
    // A mark only counts when the rest is UTF-8; otherwise its three bytes are text too.
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF" && IsValidUtf8(bytes.substr(3))) {
        scan.Bom = true;
        bytes.remove_prefix(3);
    }
    scan.Utf8 = scan.Bom || IsValidUtf8(bytes);
    const size_t at = bytes.find_first_of("\r\n");
    if (at != std::string_view::npos) {
        if (bytes[at] == '\n')
            scan.Break = TLineBreak::LF;
        else if (at + 1 < bytes.size() && bytes[at + 1] == '\n')
            scan.Break = TLineBreak::CRLF;
        else
            scan.Break = TLineBreak::CR;
    }
    return scan;
}

std::string CannotOpenMessage(const std::string& name) {
    std::string text = MessageText(msgCannotOpenFile);
    const size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, name);
    return text;
}

// ---- TFileStream -----------------------------------------------------------------------

TFileStream::TFileStream(const std::string& name) : name_(name) {
    fd_ = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    // Only regular files: a FIFO or a device would block or never end.
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        throw EFOpenError(msgCannotOpenFile, CannotOpenMessage(name));
    }
    // Reads of a regular file do not block; the flag only protected the open itself.
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    size_ = st.st_size;
}

TFileStream::~TFileStream() {
    if (fd_ >= 0)
        ::close(fd_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    int64_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n =
            ::read(fd_, out + done, static_cast<size_t>(std::min<int64_t>(count - done, INT_MAX)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw EStreamError(0, "Cannot read '" + name_ + "': " + std::strerror(errno));
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

int64_t TFileStream::Write(const void*, int64_t) {
    throw EStreamError(msgReadOnlyStream);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int whence = origin == TSeekOrigin::Begin     ? SEEK_SET
                       : origin == TSeekOrigin::Current ? SEEK_CUR
                                                        : SEEK_END;
    const off_t at = ::lseek(fd_, offset, whence);
    if (at < 0)
        throw EStreamError(0, "Cannot seek in '" + name_ + "'");
    return at;
}

// ---- TSaveCalls ------------------------------------------------------------------------

namespace {
TSaveCalls gRealSaveCalls;
TSaveCalls* gSaveCalls = &gRealSaveCalls;
} // namespace

long TSaveCalls::Write(int fd, const void* data, size_t count) {
    return ::write(fd, data, count);
}

int TSaveCalls::Fsync(int fd) {
    return ::fsync(fd);
}

int TSaveCalls::Close(int fd) {
    return ::close(fd);
}

int TSaveCalls::Rename(const char* from, const char* to) {
    return ::rename(from, to);
}

TSaveCalls* TSaveCalls::Install(TSaveCalls* calls) {
    TSaveCalls* old = gSaveCalls == &gRealSaveCalls ? nullptr : gSaveCalls;
    gSaveCalls = calls ? calls : &gRealSaveCalls;
    return old;
}

// ---- TSafeFileStream -------------------------------------------------------------------

TSafeFileStream::TSafeFileStream(const std::string& name) : target_(name) {
    struct stat st {};
    const bool exists = ::stat(name.c_str(), &st) == 0;
    if (exists) {
        // Write next to the real file, so that a link stays a link.
        if (char* real = ::realpath(name.c_str(), nullptr)) {
            target_ = real;
            std::free(real);
        }
        if (!S_ISREG(st.st_mode))
            Fail("it is not a regular file", 0);
        if (::access(target_.c_str(), W_OK) != 0)
            Fail("the file is read-only", errno);
        mode_ = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode_ = 0666 & ~mask;
    }
    temp_ = target_ + ".kvx-XXXXXX";
    fd_ = ::mkstemp(temp_.data());
    if (fd_ < 0) {
        const int e = errno;
        temp_.clear();
        Fail("cannot create a file in its folder", e);
    }
    tempSlot_ = RegisterTemporary(temp_.c_str());
}

TSafeFileStream::~TSafeFileStream() {
    ForgetTemporary(tempSlot_);
    if (fd_ >= 0)
        ::close(fd_);
    if (!committed_ && !temp_.empty())
        ::unlink(temp_.c_str());
}

void TSafeFileStream::Fail(const std::string& what, int error) {
    std::string text = std::string(kCouldNotSaveText) + " '" + target_ + "': " + what;
    if (error)
        text += std::string(" (") + std::strerror(error) + ")";
    throw EFileSaveError(text);
}

int64_t TSafeFileStream::Read(void*, int64_t) {
    return 0;
}

int64_t TSafeFileStream::Write(const void* buffer, int64_t count) {
    if (count <= 0)
        return 0;
    buffer_.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
    written_ += count;
    if (buffer_.size() >= (size_t(1) << 16))
        Flush();
    return count;
}

int64_t TSafeFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    if (offset == 0 && origin != TSeekOrigin::Begin)
        return written_;
    if (offset == written_ && origin == TSeekOrigin::Begin)
        return written_;
    throw EStreamError(0, "A file being saved can only be written from start to end");
}

void TSafeFileStream::Flush() {
    size_t done = 0;
    while (done < buffer_.size()) {
        const long n = gSaveCalls->Write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Fail("writing failed", n < 0 ? errno : ENOSPC);
        done += static_cast<size_t>(n);
    }
    buffer_.clear();
}

void TSafeFileStream::Commit() {
    if (committed_)
        return;
    Flush();
    if (::fchmod(fd_, mode_) != 0)
        Fail("cannot set its permissions", errno);
    if (gSaveCalls->Fsync(fd_) != 0)
        Fail("flushing to disk failed", errno);
    const int fd = fd_;
    fd_ = -1;
    if (gSaveCalls->Close(fd) != 0)
        Fail("closing failed", errno);
    if (gSaveCalls->Rename(temp_.c_str(), target_.c_str()) != 0)
        Fail("cannot replace the old file", errno);
    // A signal between the rename and this finds no file under the temporary name.
    ForgetTemporary(tempSlot_);
    tempSlot_ = -1;
    committed_ = true;
}

} // namespace kvx
