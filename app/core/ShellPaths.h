// Where the shell keeps its files, and the few file-system questions it asks before it
// opens a name the user or a stored list gave it.
#pragma once

#include <string>
#include <string_view>

namespace kvx {

// The folder of the INI files: $XDG_CONFIG_HOME/kovex, or ~/.config/kovex when that is
// unset or not an absolute path (the XDG rule). Nothing is created here.
std::string ConfigFolder();

// The folder of the search histories: $XDG_DATA_HOME/kovex, or ~/.local/share/kovex.
std::string DataFolder();

// Creates `folder` and any missing parents (mode 0700, as the XDG folders are private).
// False when it cannot be made or something that is not a folder is in the way.
bool EnsureFolder(const std::string& folder);

// True for a regular file (after following links). A FIFO or a device would block the
// program or never end, and a folder cannot be loaded, so only these are opened.
bool IsRegularFile(const std::string& name);

enum class TReadResult { Ok, Missing, Failed };

// Reads a whole regular file of at most `maxSize` bytes. Missing when there is no such
// file; Failed when it cannot be read, is not a regular file or is larger.
TReadResult ReadSmallFile(const std::string& name, size_t maxSize, std::string& out);

// Writes `bytes` through a temporary file in the same folder that replaces `name` only
// when complete, creating the folder first. False on any failure; the old file is then
// as it was. The shell's settings and histories are written this way and a failure is
// not worth a message: the next write tries again.
bool WriteFileSafely(const std::string& name, std::string_view bytes);

// The folder part of a file name, with its final "/" ("" when there is none).
std::string FolderOf(const std::string& fileName);

// `folder` + "/" + `name`, without doubling a "/" that is already there.
std::string JoinPath(const std::string& folder, const std::string& name);

} // namespace kvx
