#include "ToolTable.h"

#include "ShellPaths.h"
#include "ShellStrings.h"

namespace kvx {

std::string TToolTable::Caption(int n) const {
    return n <= 1 ? kFirstCaption : (*this)[n].Name;
}

bool TToolTable::IsEnabled(int n) const {
    const TTool& t = (*this)[n];
    if (t.Program.empty())
        return false;
    return n <= 1 || t.Name != kUnusedName;
}

void TToolTable::Load(const TIniFile& ini) {
    for (int n = 1; n <= kCount; ++n) {
        const std::string k = std::to_string(n);
        TTool& t = (*this)[n];
        if (n > 1)
            t.Name =
                CutCharacters(ini.ReadString(kSection, "Name" + k, kUnusedName), kMaxNameLength);
        t.Program = ini.ReadString(kSection, "FileName" + k, "");
        t.Parameter = ini.ReadString(kSection, "FileParam" + k, "");
    }
}

void TToolTable::Store(TIniFile& ini) const {
    for (int n = 1; n <= kCount; ++n) {
        const std::string k = std::to_string(n);
        const TTool& t = (*this)[n];
        if (n > 1)
            ini.WriteString(kSection, "Name" + k, t.Name);
        ini.WriteString(kSection, "FileName" + k, t.Program);
        ini.WriteString(kSection, "FileParam" + k, t.Parameter);
    }
}

std::string ToolsIniFile() {
    return JoinPath(ConfigFolder(), kToolsIniName);
}

TToolTable LoadTools(const std::string& iniFile) {
    TToolTable tools;
    tools.Load(TIniFile::Load(iniFile));
    return tools;
}

bool SaveTools(const TToolTable& tools, const std::string& iniFile) {
    TIniFile ini = TIniFile::Load(iniFile);
    tools.Store(ini);
    return ini.Save(iniFile);
}

const char* ToolShortcut(int n) {
    static constexpr const char* kShortcuts[TToolTable::kCount] = {"F9", "Ctrl+F9", "Shift+F9",
                                                                   "Alt+F9", "Ctrl+Shift+F9"};
    return kShortcuts[n < 1 ? 0 : n > TToolTable::kCount ? TToolTable::kCount - 1 : n - 1];
}

} // namespace kvx
