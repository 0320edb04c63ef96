// The list of recently saved files behind File > Reopen: at most ten names, the newest
// first, kept in kvxl.ini under "TMainForm.MRU" as Item_0 (newest) to Item_9.
#pragma once

#include "IniFile.h"

#include <string>
#include <string_view>
#include <vector>

namespace kvx {

class TRecentFiles {
  public:
    static constexpr size_t kCapacity = 10;
    static constexpr const char* kSection = "TMainForm.MRU";
    // No path on Linux is longer (PATH_MAX); a longer entry is damage.
    static constexpr size_t kMaxNameLength = 4096;

    // Puts a name at the top; a name already listed moves there instead of appearing
    // twice. File names on Linux differ by letter case, so "a.asm" and "A.asm" are two
    // files. Names that cannot be stored (see TIniFile::CanStoreValue) or are longer than
    // any path are not taken.
    void Add(std::string_view fileName);
    void Clear() { names_.clear(); }
    const std::vector<std::string>& Names() const { return names_; }
    bool Empty() const { return names_.empty(); }

    // Replaces the list by the stored one: Item_9 down to Item_0, each non-empty name
    // pushed to the top, so Item_0 ends first. Repeated names are listed once, and a
    // name of something that exists but is not a regular file (a FIFO, a device, a
    // folder) is dropped; a missing file stays, as its drive may only be unmounted.
    void Load(const TIniFile& ini);
    // Erases the stored section and writes Item_0 ... in list order.
    void Store(TIniFile& ini) const;

  private:
    std::vector<std::string> names_;
};

// The caption of the Reopen submenu's item `index` (0-based): "&" + accelerator + TAB +
// file name, accelerators "1" to "9" and then "A". An "&" in the name is doubled so the
// menu shows it instead of taking it for an accelerator.
std::string RecentItemCaption(size_t index, std::string_view fileName);

} // namespace kvx
