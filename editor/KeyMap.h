// The key map: which key, or two-key sequence (a prefix such as Ctrl+K and a second key),
// runs which editor command, with a description for each command.
#pragma once

#include "EdConsts.h"
#include "SMBase.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kvx {

class TKeyboardActionContoller;

// A small tree of bindings: the top-level list holds single keys and prefixes, each prefix
// holds the list of its second keys. While a sequence is being typed the store remembers
// the prefix, so the state belongs to the map, not to the key stroke.
class TKeyStore {
  public:
    explicit TKeyStore(const TKeyboardActionContoller& owner) : owner_(owner) {}
    TKeyStore(const TKeyStore&) = delete;
    TKeyStore& operator=(const TKeyStore&) = delete;

    // Binds `first`, or the sequence `first`, `second` (second's modifiers are ignored), to
    // a command. A clash raises EAmbigiousKeyPair; bindings made before it stay.
    void Bind(TShortcut first, TShortcut second, int32_t command);
    // The n-th binding (0-based, in tree order) of a command; false when there is none.
    bool FindBinding(int32_t command, int occurrence, TShortcut& first, TShortcut& second) const;
    // Removes every binding and ends a pending sequence.
    void Clear();
    // Exchanges the bindings of two stores (each keeps its owner); cannot fail.
    void SwapBindings(TKeyStore& other) noexcept {
        nodes_.swap(other.nodes_);
        std::swap(root_, other.root_);
        std::swap(state_, other.state_);
    }

    enum class TKeyResult {
        Unbound,  // not part of any binding: the key goes on to typing
        Prefix,   // the first key of a sequence: wait for the second
        Complete, // a binding is complete: run `command`
    };
    // Feeds one key (with its modifiers) to the map.
    TKeyResult Key(TShortcut key, int32_t& command);
    bool SequencePending() const { return state_ != kNone; }
    void CancelSequence() { state_ = kNone; }

    struct TBinding {
        TShortcut First = 0;
        TShortcut Second = 0; // 0 for a single key
        int32_t Command = -1;
        bool operator==(const TBinding&) const = default;
    };
    // Every binding, a prefix followed by its sequences, in list order.
    std::vector<TBinding> Bindings() const;

  private:
    static constexpr int32_t kNone = -1;
    struct TNode {
        TShortcut Shortcut = 0;
        int32_t Next = kNone;
        int32_t Child = kNone;
        bool IsBinding = false;
        int32_t Command = -1;
    };
    // Finds `key` in the list that starts at *head, appending a node when it is missing.
    int32_t FindOrAppend(int32_t* head, TShortcut key);
    int32_t Find(int32_t head, TShortcut key) const;
    [[noreturn]] void Clash(int32_t command, int32_t bound) const;

    const TKeyboardActionContoller& owner_;
    std::vector<TNode> nodes_;
    int32_t root_ = kNone;
    int32_t state_ = kNone; // the prefix whose second keys are awaited
};

class TKeyboardActionContoller : public TSM_Base {
  public:
    TKeyboardActionContoller() : keys_(*this) {}
    TKeyboardActionContoller(const TKeyboardActionContoller& other);
    TKeyboardActionContoller& operator=(const TKeyboardActionContoller& other);

    // The map every editor starts from: the descriptions of commands 0-45 and the standard
    // bindings. Built once, on first use.
    static const TKeyboardActionContoller& Default();

    const char* ClassName() const override { return "TKeyboardActionContoller"; }

    // Replaces any description the command had.
    void AddDescription(int32_t command, const std::string& text);
    // The command's description; empty when it has none.
    std::string Description(int32_t command) const;
    const std::map<int32_t, std::string>& Descriptions() const { return descriptions_; }

    TKeyStore& Keys() { return keys_; }
    const TKeyStore& Keys() const { return keys_; }

    // Empties the descriptions and the bindings.
    void Reset();

    // Counts and ids are little-endian 32-bit, shortcuts 16-bit, texts one length byte and
    // the bytes (a description longer than 255 bytes is written cut to 255).
    void SaveToStream(TStream& stream) const override;
    // Reads a whole map; on a bad stream it raises and the map is left as it was.
    void LoadFromStream(TStream& stream) override;

  protected:
    std::string AssignError(const char* source) const override {
        return std::string("Cannot assign a ") + source + " to a " + ClassName();
    }

  private:
    std::map<int32_t, std::string> descriptions_;
    TKeyStore keys_;
};

} // namespace kvx
