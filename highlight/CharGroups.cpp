#include "CharGroups.h"

#include "EdConsts.h"

#include <string>

namespace kvx {

bool TSM_CharGroup::Contains(uint8_t c) const {
    bool in = members_.Has(c);
    for (const auto& [low, high] : ranges_)
        in = in || (c >= low && c <= high);
    return in != negated_;
}

uint16_t TSM_CharGroupManager::Add(const TSM_CharGroup& group) {
    for (size_t i = 0; i < groups_.size(); ++i)
        if (groups_[i] == group)
            return static_cast<uint16_t>(i);
    if (groups_.size() > 0xFFFF)
        throw ESyntaxMemo(0, "Too many character classes (at most 65536)");
    if (groups_.size() == groups_.capacity())
        groups_.reserve(groups_.size() + 16);
    groups_.push_back(group);
    return static_cast<uint16_t>(groups_.size() - 1);
}

const TSM_CharGroup& TSM_CharGroupManager::At(int index) const {
    if (index < 0 || index >= Count())
        throw ESyntaxMemo(0, "Invalid Set ID (" + std::to_string(index) + ")");
    return groups_[static_cast<size_t>(index)];
}

} // namespace kvx
