// The shell's INI files (kvxl.ini, kovxl.ini): a reader and writer that keeps every byte
// it was not asked to change. Section and key names are looked up without regard to ASCII
// letter case but written back exactly as they stand (MinMaxPos(1024x768) stays as it
// is); unknown sections, keys, comments and odd lines survive a rewrite; a value that
// does not parse reads as absent. Any input is read without a crash, since a user may
// edit the file by hand or it may be damaged.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

class TIniFile {
  public:
    // Files larger than this are not read (and not overwritten): nothing the shell
    // writes comes near it, so such a file is not one of ours.
    static constexpr size_t kMaxFileSize = 4 << 20;

    TIniFile() = default;
    // Reads text as found in a file: LF, CR LF or CR breaks; the first break's style is
    // kept for writing.
    static TIniFile FromText(std::string_view text);
    // Reads a file. A missing file gives an empty one; a file that cannot be read (or is
    // too large) gives an empty one that refuses to be saved over what it could not read.
    static TIniFile Load(const std::string& fileName);

    std::optional<std::string> ReadString(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;
    // A decimal integer that fits 32 bits, blanks around it allowed; anything else is
    // absent.
    std::optional<int> ReadInteger(std::string_view section, std::string_view key) const;
    bool SectionExists(std::string_view section) const;
    bool KeyExists(std::string_view section, std::string_view key) const;
    // Keys of a section in file order (first occurrence of each).
    std::vector<std::string> Keys(std::string_view section) const;

    // Sets a key, adding the section or key where needed. False, and nothing changed, when
    // the name or value cannot be stored so that it reads back the same (see CanStore*).
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInteger(std::string_view section, std::string_view key, int value);
    // Removes the section with everything under it (every copy, when it is repeated).
    void EraseSection(std::string_view section);
    void DeleteKey(std::string_view section, std::string_view key);

    // A value reads back the same when it holds no line break or NUL and does not start
    // or end with a blank (blanks around values are not part of them when reading).
    static bool CanStoreValue(std::string_view value);
    // A section or key name also may not be empty, and a key may not hold "=" or start
    // with "[" or ";"; a section name may not hold "]".
    static bool CanStoreKey(std::string_view key);
    static bool CanStoreSection(std::string_view section);

    // The file's bytes: untouched lines as read, in the file's break style.
    std::string Text() const;
    // Writes through a temporary file that replaces the old one only when complete,
    // creating the folder when needed. False on any failure; the old file is then intact.
    bool Save(const std::string& fileName) const;
    // False for a file that could not be read: saving it would destroy what it holds.
    bool Writable() const { return writable_; }

  private:
    struct TLine {
        std::string Raw;   // the line as read or as generated, without its break
        std::string Key;   // trimmed key of a key line, empty for other lines
        std::string Value; // trimmed value of a key line
        bool IsKey = false;
    };
    struct TSection {
        std::string Name; // empty for the lines before the first header
        bool HasHeader = false;
        std::vector<TLine> Lines;
    };

    TSection* FindSection(std::string_view name);
    const TSection* FindSection(std::string_view name) const;
    static const TLine* FindKey(const TSection& section, std::string_view key);

    std::vector<TSection> sections_;
    std::string break_ = "\n";
    bool finalBreak_ = true; // the last line ended with a break
    bool writable_ = true;
};

// ASCII-only letter-case comparison, as profile files compare names.
bool SameTextAscii(std::string_view a, std::string_view b);

} // namespace kvx
