#include "ShellPaths.h"

#include "editor/TextFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvx {
namespace {

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    // A session without HOME (a service, a bare sudo) still has a password entry.
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

// The XDG base folder named by `variable`, or HOME + `fallback`. The XDG base-directory rules
// say a relative value is invalid and must be ignored.
std::string XdgFolder(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    std::string base = value && value[0] == '/' ? std::string(value) : HomeFolder() + fallback;
    return JoinPath(base, "kovex");
}

} // namespace

std::string ConfigFolder() {
    return XdgFolder("XDG_CONFIG_HOME", "/.config");
}

std::string DataFolder() {
    return XdgFolder("XDG_DATA_HOME", "/.local/share");
}

bool EnsureFolder(const std::string& folder) {
    if (folder.empty())
        return false;
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const size_t slash = folder.find_last_of('/', folder.size() - 2);
    if (slash != std::string::npos && slash > 0 && !EnsureFolder(folder.substr(0, slash)))
        return false;
    // Another process may have made it between the test and here; that is success too.
    return ::mkdir(folder.c_str(), 0700) == 0 ||
           (errno == EEXIST && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

bool IsRegularFile(const std::string& name) {
    struct stat st {};
    return !name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

TReadResult ReadSmallFile(const std::string& name, size_t maxSize, std::string& out) {
    out.clear();
    // Non-blocking, so that a FIFO put in the file's place cannot hang the open.
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? TReadResult::Missing : TReadResult::Failed;
    struct stat st {};
    TReadResult result = TReadResult::Ok;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > maxSize) {
        result = TReadResult::Failed;
    } else {
        out.resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                result = TReadResult::Failed;
                break;
            }
            if (n == 0)
                break; // the file shrank while it was read; take what is there
            done += static_cast<size_t>(n);
        }
        out.resize(done);
    }
    ::close(fd);
    return result;
}

bool WriteFileSafely(const std::string& name, std::string_view bytes) {
    if (const std::string folder = FolderOf(name); !folder.empty() && !EnsureFolder(folder))
        return false;
    try {
        TSafeFileStream out(name);
        out.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
        out.Commit();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string FolderOf(const std::string& fileName) {
    const size_t slash = fileName.find_last_of('/');
    return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace kvx
