// Reads arbitrary bytes as the shell's INI files, the way the program reads kvxl.ini and
// kovxl.ini: every stored setting is looked up, a key is written and read back, and the
// text written out reads back to the same text.
#include "app/core/IniFile.h"
#include "app/core/Placement.h"
#include "app/core/RecentFiles.h"
#include "app/core/ToolTable.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    kvx::TIniFile ini = kvx::TIniFile::FromText(bytes);

    kvx::ReadPlacement(ini, 1024, 768);
    kvx::ReadShellSettings(ini);
    kvx::TToolTable tools;
    tools.Load(ini);
    for (int n = 1; n <= kvx::TToolTable::kCount; ++n)
        if (tools[n].Name.size() > 4 * kvx::TToolTable::kMaxNameLength)
            std::abort(); // names are cut to ten characters
    kvx::TRecentFiles recent;
    recent.Load(ini);
    if (recent.Names().size() > kvx::TRecentFiles::kCapacity)
        std::abort();

    // Writing out and reading back changes nothing more.
    const std::string once = ini.Text();
    if (kvx::TIniFile::FromText(once).Text() != once)
        std::abort();

    // A key taken from the input is written and read back as written, and survives the
    // text round trip; what cannot be stored is refused without a change.
    const size_t cut = size / 3;
    const std::string_view key = bytes.substr(0, cut);
    const std::string_view value = bytes.substr(cut, cut);
    if (ini.WriteString("Fuzz", key, value)) {
        if (ini.ReadString("fuzz", key) != std::string(value))
            std::abort();
        if (kvx::TIniFile::FromText(ini.Text()).ReadString("FUZZ", key) != std::string(value))
            std::abort();
    } else if (ini.Text() != once) {
        std::abort();
    }
    tools.Store(ini);
    recent.Store(ini);
    kvx::TToolTable back;
    back.Load(kvx::TIniFile::FromText(ini.Text()));
    if (!(back[2] == tools[2]))
        std::abort();
    ini.EraseSection("Tools");
    if (ini.SectionExists("tools"))
        std::abort();
    return 0;
}
