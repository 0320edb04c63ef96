// Character classes: sets of byte values, each distinct class kept once by a manager that
// hands out small indexes for the parser's tables to refer to.
#pragma once

#include "StateSet.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kvx {

class TSM_CharGroup {
  public:
    TSM_CharGroup() = default;
    explicit TSM_CharGroup(const TSet256& members, bool negated = false)
        : members_(members), negated_(negated) {}

    const TSet256& Members() const { return members_; }
    void SetMembers(const TSet256& members) { members_ = members; }
    bool Negated() const { return negated_; }
    void SetNegated(bool negated) { negated_ = negated; }
    // Further ranges of members; nothing this program compiles creates them, but stored
    // classes may carry them and they count for membership and equality.
    const std::vector<std::pair<uint16_t, uint16_t>>& ExtraRanges() const { return ranges_; }
    void AddExtraRange(uint16_t low, uint16_t high) { ranges_.emplace_back(low, high); }

    // Lowest and highest member of the set (-1 for none).
    int Lowest() const { return members_.Lowest(); }
    int Highest() const { return members_.Highest(); }

    bool Contains(uint8_t c) const;
    // Nothing is a member: the class that does not restrict anything where it is used.
    bool IsEmpty() const { return !negated_ && members_.Empty() && ranges_.empty(); }
    bool operator==(const TSM_CharGroup&) const = default;

  private:
    TSet256 members_;
    bool negated_ = false;
    std::vector<std::pair<uint16_t, uint16_t>> ranges_;
};

class TSM_CharGroupManager {
  public:
    // The index of an equal class already held, or of a copy of `group` added at the end.
    // More than 65536 distinct classes raise ESyntaxMemo: indexes are 16-bit.
    uint16_t Add(const TSM_CharGroup& group);
    // Raises ESyntaxMemo "Invalid Set ID (<index>)" for an index that holds no class.
    const TSM_CharGroup& At(int index) const;
    int Count() const { return static_cast<int>(groups_.size()); }
    void Clear() {
        groups_.clear();
        byHash_.clear();
    }

  private:
    static size_t Hash(const TSM_CharGroup& group);

    std::vector<TSM_CharGroup> groups_;
    // A stored parser may carry tens of thousands of classes, each entered through Add;
    // finding the equal one by hash keeps loading linear where a search of the whole list
    // would make it quadratic.
    std::unordered_multimap<size_t, uint16_t> byHash_;
};

} // namespace kvx
