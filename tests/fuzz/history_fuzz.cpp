// Reads arbitrary bytes as the find and replace history file, then stores both sections
// from the entries found (and from the input's own lines) and checks that what is read
// back is exactly what could be stored, at most 20 entries, none split or lost.
#include "app/core/EdPersistent.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Storable(const std::vector<std::string>& entries) {
    std::vector<std::string> kept;
    for (const std::string& e : entries)
        if (kept.size() < kvx::THistoryLines::kMaxEntries && kvx::THistoryLines::CanStore(e))
            kept.push_back(e);
    return kept;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    kvx::THistoryLines lines(bytes);
    const auto find = lines.Section(kvx::THistoryLines::kFindHeader);
    const auto replace = lines.Section(kvx::THistoryLines::kReplaceHeader);
    if (find.size() > kvx::THistoryLines::kMaxEntries ||
        replace.size() > kvx::THistoryLines::kMaxEntries)
        std::abort();

    // Entries as a dialog might hand them over: pieces of the input, line breaks and all.
    std::vector<std::string> typed;
    for (size_t pos = 0; pos < size; pos += 7)
        typed.push_back(bytes.substr(pos, 11));

    lines.StoreSection(kvx::THistoryLines::kFindHeader, typed);
    lines.StoreSection(kvx::THistoryLines::kReplaceHeader, find);
    const kvx::THistoryLines back(lines.Text());
    if (back.Section(kvx::THistoryLines::kFindHeader) != Storable(typed))
        std::abort();
    if (back.Section(kvx::THistoryLines::kReplaceHeader) != Storable(find))
        std::abort();
    return 0;
}
