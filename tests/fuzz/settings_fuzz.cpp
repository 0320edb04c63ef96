// Reads arbitrary bytes as a settings record (version 50 or 51 by the first byte). A read
// either fails with an error and leaves the settings as they were, or gives settings that
// write out, read back and write out again to the same bytes.
#include "editor/Settings.h"
#include "editor/Stream.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string Bytes(const kvx::TSM_Settings& s, int version) {
    kvx::TMemoryStream out;
    s.Write(out, version);
    return out.Data();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const int version = data[0] & 1 ? 51 : 50;
    kvx::TSM_Settings settings;
    const std::string before = Bytes(settings, version);
    kvx::TFastMemoryStream in(reinterpret_cast<const char*>(data + 1),
                              static_cast<int64_t>(size - 1));
    try {
        settings.Read(in, version);
    } catch (const kvx::ESyntaxMemo&) {
        if (Bytes(settings, version) != before)
            std::abort(); // a failed read changed the settings
        return 0;
    }
    const std::string once = Bytes(settings, version);
    kvx::TMemoryStream again(once);
    kvx::TSM_Settings other;
    other.Read(again, version);
    if (Bytes(other, version) != once)
        std::abort();
    return 0;
}
