#include "CharGroups.h"

#include "EdConsts.h"

#include <string>
#include <string_view>

namespace kvx {

bool TSM_CharGroup::Contains(uint8_t c) const {
    bool in = members_.Has(c);
    for (const auto& [low, high] : ranges_)
        in = in || (c >= low && c <= high);
    return in != negated_;
}

size_t TSM_CharGroupManager::Hash(const TSM_CharGroup& group) {
    std::string key;
    const std::array<uint8_t, 32> bytes = group.Members().Bytes();
    key.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    key.push_back(group.Negated() ? 1 : 0);
    for (const auto& [low, high] : group.ExtraRanges())
        for (uint16_t v : {low, high}) {
            key.push_back(static_cast<char>(v & 0xFF));
            key.push_back(static_cast<char>(v >> 8));
        }
    return std::hash<std::string_view>{}(key);
}

uint16_t TSM_CharGroupManager::Add(const TSM_CharGroup& group) {
    const size_t hash = Hash(group);
    const auto [from, to] = byHash_.equal_range(hash);
    for (auto it = from; it != to; ++it)
        if (groups_[it->second] == group)
            return it->second;
    if (groups_.size() > 0xFFFF)
        throw ESyntaxMemo(0, "Too many character classes (at most 65536)");
    groups_.push_back(group);
    const auto index = static_cast<uint16_t>(groups_.size() - 1);
    byHash_.emplace(hash, index);
    return index;
}

const TSM_CharGroup& TSM_CharGroupManager::At(int index) const {
    if (index < 0 || index >= Count())
        throw ESyntaxMemo(0, "Invalid Set ID (" + std::to_string(index) + ")");
    return groups_[static_cast<size_t>(index)];
}

} // namespace kvx
