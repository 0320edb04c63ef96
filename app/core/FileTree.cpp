#include "FileTree.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvx {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string Join(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (path.empty() || path.back() != '/')
        path += '/';
    path.append(name);
    return path;
}

struct TEntry {
    std::string Path;
    bool Folder = false;
};

// The entries of one folder that the walk goes on with, sorted by name: files that match,
// and folders.
bool ListFolder(const std::string& folder, const TTreeOptions& options,
                std::set<std::pair<dev_t, ino_t>>& seen, std::vector<TEntry>& out,
                std::string& error) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        error = std::strerror(errno);
        return false;
    }
    struct stat self {};
    // A folder met a second time (a bind mount of a parent) is not walked again.
    if (::fstat(::dirfd(dir), &self) == 0 && !seen.insert({self.st_dev, self.st_ino}).second) {
        ::closedir(dir);
        return true;
    }
    std::vector<std::pair<std::string, bool>> names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (name == "." || name == "..")
            continue;
        if (name.front() == '.' && !options.IncludeHidden)
            continue;
        unsigned char type = e->d_type;
        if (type == DT_UNKNOWN || type == DT_LNK) {
            // A link counts as what it points to, but only a link to a file is followed.
            // Some file systems give no types at all: then the entry itself is looked at
            // first, so that their links are told apart too.
            struct stat st {};
            bool link = type == DT_LNK;
            if (!link) {
                if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                link = S_ISLNK(st.st_mode);
            }
            if (link && ::fstatat(::dirfd(dir), e->d_name, &st, 0) != 0)
                continue;
            type = S_ISREG(st.st_mode) ? DT_REG : (S_ISDIR(st.st_mode) && !link) ? DT_DIR : 0;
        }
        if (type == DT_DIR)
            names.emplace_back(name, true);
        else if (type == DT_REG && MatchesFilePattern(name, options.Patterns))
            names.emplace_back(name, false);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (auto& [name, isFolder] : names)
        out.push_back({Join(folder, name), isFolder});
    return true;
}

} // namespace

std::string DefaultFilePatterns() {
    return "*.asm;*.inc;*.lst;*.c;*.cpp;*.h;*.hpp;*.pas;*.bas;*.htm;*.html;*.txt";
}

std::vector<std::string> SplitFilePatterns(std::string_view text) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos <= text.size()) {
        const size_t end = std::min(text.find_first_of(";,", pos), text.size());
        const std::string_view p = Trim(text.substr(pos, end - pos));
        if (!p.empty())
            out.emplace_back(p == "*.*" ? "*" : p);
        pos = end + 1;
    }
    return out;
}

bool MatchesFilePattern(std::string_view name, const std::vector<std::string>& patterns) {
    const std::string n(name);
    for (const std::string& p : patterns)
        if (::fnmatch(p.c_str(), n.c_str(), FNM_CASEFOLD) == 0)
            return true;
    return false;
}

bool WalkFileTree(const std::string& folder, const TTreeOptions& options,
                  const std::function<void(std::string path)>& file,
                  const std::function<void(TTreeProblem)>& problem,
                  const std::function<bool()>& stop) {
    std::set<std::pair<dev_t, ino_t>> seen;
    std::vector<TEntry> pending; // a stack: the next entry to take is at the back
    std::vector<TEntry> listed;
    std::string error;
    if (!ListFolder(folder, options, seen, listed, error)) {
        problem({folder, error});
        return false;
    }
    pending.assign(listed.rbegin(), listed.rend());
    while (!pending.empty()) {
        if (stop && stop())
            break;
        TEntry e = std::move(pending.back());
        pending.pop_back();
        if (!e.Folder) {
            file(std::move(e.Path));
            continue;
        }
        listed.clear();
        if (!ListFolder(e.Path, options, seen, listed, error)) {
            problem({e.Path, error});
            continue;
        }
        pending.insert(pending.end(), std::make_move_iterator(listed.rbegin()),
                       std::make_move_iterator(listed.rend()));
    }
    return true;
}

TReadStatus ReadSourceFile(const std::string& path, int64_t limit, std::string& buffer,
                           int64_t& size, std::string& error) {
    // Non-blocking, so that a file that has become a pipe since the walk saw it cannot hang
    // the search; such a file is refused below anyway.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return TReadStatus::Vanished;
        error = std::strerror(errno);
        return TReadStatus::Failed;
    }
    struct TClose {
        int fd;
        ~TClose() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = std::strerror(errno);
        return TReadStatus::Failed;
    }
    if (!S_ISREG(st.st_mode))
        return TReadStatus::NotAFile;
    size = st.st_size;
    if (size > limit)
        return TReadStatus::TooLarge;
    // The file may grow while it is read: read to its end, but never past the limit.
    size_t got = 0;
    buffer.resize(static_cast<size_t>(size) + 1);
    for (;;) {
        if (got == buffer.size()) {
            if (static_cast<int64_t>(got) > limit) {
                size = static_cast<int64_t>(got);
                return TReadStatus::TooLarge;
            }
            buffer.resize(std::min<size_t>(got * 2 + 4096, static_cast<size_t>(limit) + 1));
        }
        const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = std::strerror(errno);
            return TReadStatus::Failed;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    buffer.resize(got);
    return TReadStatus::Read;
}

} // namespace kvx
