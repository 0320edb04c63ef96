// The five external tools of the Run menu: name, program and parameter of each, their
// defaults, the rule that enables them, and their place in kovxl.ini, section "Tools".
// Tool 1 has no stored name and is always captioned "Compile".
#pragma once

#include "IniFile.h"

#include <array>
#include <string>
#include <string_view>

namespace kvx {

struct TTool {
    std::string Name = "empty"; // menu caption of tools 2 to 5, at most 10 characters
    std::string Program;        // program file, or a document the desktop opens
    std::string Parameter;      // argument template; "$EDFILW" stands for the file's base
    bool operator==(const TTool&) const = default;
};

class TToolTable {
  public:
    static constexpr int kCount = 5;
    static constexpr size_t kMaxNameLength = 10;
    static constexpr const char* kSection = "Tools";
    static constexpr const char* kUnusedName = "empty";
    static constexpr const char* kFirstCaption = "Compile";

    // Tools are numbered 1 to 5; other numbers are a programming error and clamp to the
    // nearest tool.
    TTool& operator[](int n) { return tools_[Index(n)]; }
    const TTool& operator[](int n) const { return tools_[Index(n)]; }

    // The menu caption: "Compile" for tool 1, the name for the others.
    std::string Caption(int n) const;
    // Tool 1 needs a program; the others also a name that is not exactly "empty".
    bool IsEnabled(int n) const;

    // Name2..Name5 (default "empty", cut to 10 characters), FileName1..5 and
    // FileParam1..5 (default empty). Values that cannot be in the file read as missing.
    void Load(const TIniFile& ini);
    // All fourteen keys. A value that cannot be stored (a line break, blanks at its ends)
    // is not written; the tools dialog refuses such values before they get here.
    void Store(TIniFile& ini) const;

    bool operator==(const TToolTable&) const = default;

  private:
    static size_t Index(int n) {
        return static_cast<size_t>(n < 1 ? 0 : n > kCount ? kCount - 1 : n - 1);
    }
    std::array<TTool, kCount> tools_;
};

// kovxl.ini in the configuration folder.
std::string ToolsIniFile();
// LoadTools at start-up: the table from the file (defaults for a missing file or key).
TToolTable LoadTools(const std::string& iniFile);
// SaveTools after the tools dialog: the fourteen keys are written into the file as it
// is now (its other sections and keys stay). False when it could not be written; the
// table in memory still holds, and the next save tries again.
bool SaveTools(const TToolTable& tools, const std::string& iniFile);

// The menu shortcut of tool n as a portable key text: F9, Ctrl+F9, Shift+F9, Alt+F9,
// Ctrl+Shift+F9.
const char* ToolShortcut(int n);

} // namespace kvx
