// The compiled tables of one language: the token rules, handlers, state tables and state
// sets that the script compiler builds, the stored form keeps and the scanner reads. They are
// one value with its defaults, so that a reset is one assignment of an empty value and taking
// over another parser's tables is one move, and a table added later cannot be forgotten by
// either.
#pragma once

#include "editor/StateSet.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kvx {

// How a token starts, or how its body goes on: a character class, or a function (a
// standard one by number, or the owner's `match` function through OnCustomParse).
struct TStartPart {
    uint8_t Flag = 0;   // body part: the end may match before the first body character
    uint16_t Class = 0; // index into the keyword tree's class manager
    uint8_t IsFunction = 0;
    uint8_t IsMatch = 0;
    int32_t Function = 0;
    bool operator==(const TStartPart&) const = default;
};

// How a token ends: up to four classes in a row, or a function.
struct TEndPart {
    uint8_t Include = 0; // the matched end characters belong to the token
    uint8_t IsFunction = 0;
    uint8_t Count = 0; // classes used, 0 to 4
    std::array<uint16_t, 4> Classes{};
    uint8_t IsMatch = 0;
    int32_t Function = 0;
    bool operator==(const TEndPart&) const = default;
};

struct THandler {
    TStartPart Body;
    TEndPart End;
    bool operator==(const THandler&) const = default;
};

struct TTokenRule {
    TStartPart Start;
    TSet256 Valid;
    TStartPart Body;
    TEndPart End;
    uint8_t Value = 0;
    bool operator==(const TTokenRule&) const = default;
};

struct TRangeEntry {
    uint16_t Low = 0;
    uint16_t High = 0;
    TTokenRule Rule;
    bool operator==(const TRangeEntry&) const = default;
};

// The token rules of one state: by first character, plus ranges of characters.
struct TStateTable {
    std::array<std::optional<TTokenRule>, 256> Rules;
    std::vector<TRangeEntry> Ranges;
};

enum TStackFlag : uint8_t { sfPushBefore = 1, sfPopBefore = 2, sfPushAfter = 4, sfPopAfter = 8 };

struct TTokenInfo {
    TSet256 Valid;
    TSet256 Enter;
    TSet256 Leave;
    uint8_t Container = 0;
    uint8_t NoTransition = 0;
    uint8_t StackFlags = 0;
    bool operator==(const TTokenInfo&) const = default;
};

// Whether a function number names something the scanner can call: 0-2 character
// functions, 3-9 the same standard functions as 10-16, 10-20 standard functions. `match`
// parts carry their owner's number instead and are not limited.
constexpr bool IsKnownFunction(int32_t n) {
    return n >= 0 && n <= 20;
}

struct TParserTables {
    std::array<std::optional<TTokenInfo>, 256> TokenInfo;
    std::array<std::optional<THandler>, 256> Handlers;
    std::array<std::optional<TTokenRule>, 256> TokenRules;
    std::array<std::unique_ptr<TStateTable>, 256> StateTokenRules;
    TSet256 StatesWithRules;
    bool NoStateTables = true;
    std::array<TSet256, 256> ContextStates;
    TSet256 AnchorTokens{0};
    TSet256 BoundStates;
    TSet256 StartStates{0};
    bool UsesMatch = false;
    bool CaseSensitive = false; // for words compiled after it is set; not stored
};

} // namespace kvx
