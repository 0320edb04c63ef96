// The files a Find in Files looks at: a folder tree walked in a fixed order (names sorted
// byte by byte, each folder's content where its name sorts), the file patterns that pick
// files by name, and reading one file with the care untrusted folders need: never blocking
// on a pipe or device, never reading more than the size limit, no folder entered twice.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

// The six languages' extensions: assembler, C and C++, Pascal, Basic, HTML, text.
std::string DefaultFilePatterns();

// The patterns of a "*.asm; *.inc" text: separated by ";" or ",", blanks around them
// dropped. "*.*" means every file, as it always has on the systems the patterns come from.
std::vector<std::string> SplitFilePatterns(std::string_view text);

// Whether a file name (without its folder) matches one of the patterns: "*" and "?" and
// "[...]" as in the shell, letter case ignored, so "*.asm" finds the upper-case names of old
// projects too. No pattern matches nothing.
bool MatchesFilePattern(std::string_view name, const std::vector<std::string>& patterns);

struct TTreeOptions {
    std::vector<std::string> Patterns;
    bool IncludeHidden = false; // names starting with "." (version-control folders)
};

// A folder or file the walk could not use, and why.
struct TTreeProblem {
    std::string Path;
    std::string Reason;
};

// Walks `folder` depth first and hands each regular file whose name matches to `file` (the
// path is the folder joined with the names below it). Links to files are followed (a file
// and a link to it are both searched, each under its own name), links to folders are not,
// so the walk cannot loop or go through a folder twice. `stop` is
// asked between entries. False when `folder` itself cannot be read (`problem` says why);
// folders below it that cannot be read go to `problem` and the walk goes on.
bool WalkFileTree(const std::string& folder, const TTreeOptions& options,
                  const std::function<void(std::string path)>& file,
                  const std::function<void(TTreeProblem)>& problem,
                  const std::function<bool()>& stop);

enum class TReadStatus {
    Read,     // the bytes are in the buffer
    Vanished, // it is gone (deleted since the walk found it)
    TooLarge, // over the limit
    NotAFile, // a pipe, device or folder now
    Failed,   // could not be opened or read: Error says why
};

// Reads a whole regular file into `buffer` (reused, resized to the file), at most `limit`
// bytes. `size` gets the file's size when it is too large.
TReadStatus ReadSourceFile(const std::string& path, int64_t limit, std::string& buffer,
                           int64_t& size, std::string& error);

} // namespace kvx
