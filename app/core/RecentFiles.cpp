#include "RecentFiles.h"

#include "ShellPaths.h"

#include <algorithm>
#include <sys/stat.h>

namespace kvx {
namespace {

std::string ItemKey(size_t index) {
    return "Item_" + std::to_string(index);
}

bool IsSpecialFile(const std::string& name) {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

} // namespace

void TRecentFiles::Add(std::string_view fileName) {
    if (fileName.empty() || fileName.size() > kMaxNameLength || !TIniFile::CanStoreValue(fileName))
        return;
    const std::string name(fileName);
    std::erase(names_, name);
    names_.insert(names_.begin(), name);
    if (names_.size() > kCapacity)
        names_.resize(kCapacity);
}

void TRecentFiles::Load(const TIniFile& ini) {
    names_.clear();
    for (size_t i = kCapacity; i-- > 0;) {
        const std::string name = ini.ReadString(kSection, ItemKey(i), "");
        if (!name.empty() && !IsSpecialFile(name))
            Add(name);
    }
}

void TRecentFiles::Store(TIniFile& ini) const {
    ini.EraseSection(kSection);
    for (size_t i = 0; i < names_.size(); ++i)
        ini.WriteString(kSection, ItemKey(i), names_[i]);
}

std::string RecentItemCaption(size_t index, std::string_view fileName) {
    const char accelerator = index < 9 ? static_cast<char>('1' + index) : 'A';
    std::string caption = {'&', accelerator, '\t'};
    for (char c : fileName) {
        if (c == '&')
            caption += '&';
        caption += c;
    }
    return caption;
}

} // namespace kvx
