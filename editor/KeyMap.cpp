#include "KeyMap.h"

#include <utility>

namespace kvx {

// ---- TKeyStore -------------------------------------------------------------------------

int32_t TKeyStore::Find(int32_t head, TShortcut key) const {
    for (int32_t i = head; i != kNone; i = nodes_[i].Next)
        if (nodes_[i].Shortcut == key)
            return i;
    return kNone;
}

int32_t TKeyStore::FindOrAppend(int32_t* head, TShortcut key) {
    int32_t last = kNone;
    for (int32_t i = *head; i != kNone; i = nodes_[i].Next) {
        if (nodes_[i].Shortcut == key)
            return i;
        last = i;
    }
    TNode n;
    n.Shortcut = key;
    const auto index = static_cast<int32_t>(nodes_.size());
    nodes_.push_back(n);
    if (last == kNone)
        *head = index;
    else
        nodes_[last].Next = index;
    return index;
}

void TKeyStore::Clash(int32_t command, int32_t bound) const {
    std::string text = "Duplicate key sequence definition for\r\n\"";
    text += owner_.Description(command);
    text += "\" and \"";
    text += owner_.Description(bound);
    text += "\"";
    throw EAmbigiousKeyPair(text);
}

void TKeyStore::Bind(TShortcut first, TShortcut second, int32_t command) {
    if (second != 0 && (second & 0xFF) == 0)
        throw ESyntaxMemo(0, "The second key of a key sequence has no key code");
    int32_t target;
    if (second == 0) {
        target = FindOrAppend(&root_, first);
        // A prefix cannot also complete a binding: its second key would never be reached.
        if (const int32_t child = nodes_[target].Child; child != kNone)
            Clash(command, nodes_[child].Command);
    } else {
        const int32_t prefix = FindOrAppend(&root_, first);
        if (nodes_[prefix].IsBinding)
            Clash(command, nodes_[prefix].Command);
        // Only the key code of the second key counts: Ctrl+K, I and Ctrl+K, Ctrl+I are one.
        int32_t head = nodes_[prefix].Child;
        target = FindOrAppend(&head, static_cast<TShortcut>(second & 0xFF));
        nodes_[prefix].Child = head;
    }
    if (nodes_[target].IsBinding)
        Clash(command, nodes_[target].Command);
    nodes_[target].IsBinding = true;
    nodes_[target].Command = command;
}

bool TKeyStore::FindBinding(int32_t command, int occurrence, TShortcut& first,
                            TShortcut& second) const {
    first = second = 0;
    for (const TBinding& b : Bindings()) {
        if (b.Command != command)
            continue;
        if (occurrence-- == 0) {
            first = b.First;
            second = b.Second;
            return true;
        }
    }
    return false;
}

void TKeyStore::Clear() {
    nodes_.clear();
    root_ = state_ = kNone;
}

TKeyStore::TKeyResult TKeyStore::Key(TShortcut key, int32_t& command) {
    const int32_t found =
        state_ == kNone ? Find(root_, key) : Find(nodes_[state_].Child, key & 0xFF);
    state_ = kNone;
    if (found == kNone)
        return TKeyResult::Unbound;
    const TNode& n = nodes_[found];
    if (n.Child != kNone) {
        state_ = found;
        return TKeyResult::Prefix;
    }
    // A node left behind by a binding that clashed completes nothing.
    if (!n.IsBinding)
        return TKeyResult::Unbound;
    command = n.Command;
    return TKeyResult::Complete;
}

std::vector<TKeyStore::TBinding> TKeyStore::Bindings() const {
    // Each prefix is followed by its sequences, so that reading the list back rebuilds the
    // top-level list in the same order and a second save gives the same bytes.
    std::vector<TBinding> out;
    for (int32_t i = root_; i != kNone; i = nodes_[i].Next) {
        const TNode& n = nodes_[i];
        if (n.IsBinding)
            out.push_back({n.Shortcut, 0, n.Command});
        for (int32_t c = n.Child; c != kNone; c = nodes_[c].Next)
            if (nodes_[c].IsBinding)
                out.push_back({n.Shortcut, nodes_[c].Shortcut, nodes_[c].Command});
    }
    return out;
}

// ---- TKeyboardActionContoller ----------------------------------------------------------

TKeyboardActionContoller::TKeyboardActionContoller(const TKeyboardActionContoller& other)
    : TSM_Base(other), descriptions_(other.descriptions_), keys_(*this) {
    for (const TKeyStore::TBinding& b : other.keys_.Bindings())
        keys_.Bind(b.First, b.Second, b.Command);
}

TKeyboardActionContoller&
TKeyboardActionContoller::operator=(const TKeyboardActionContoller& other) {
    if (this != &other) {
        TKeyboardActionContoller copy(other);
        descriptions_.swap(copy.descriptions_);
        keys_.SwapBindings(copy.keys_);
    }
    return *this;
}

namespace {

TKeyboardActionContoller MakeDefault() {
    TKeyboardActionContoller map;
    for (int id = 0; id < caCommandCount; ++id)
        map.AddDescription(id, MessageText(msgFirstCommandDescription + id));
    struct TEntry {
        TShortcut First;
        TShortcut Second;
        int32_t Command;
    };
    const TShortcut ctrl = scCtrl;
    const TShortcut ctrlK = ctrl | 'K';
    const TShortcut ctrlQ = ctrl | 'Q';
    const TEntry single[] = {
        {vkLeft, 0, caLEFT},
        {vkRight, 0, caRIGHT},
        {vkHome, 0, caLINEHOME},
        {vkEnd, 0, caLINEEND},
        {vkUp, 0, caUP},
        {vkDown, 0, caDOWN},
        {vkPrior, 0, caPAGEUP},
        {vkNext, 0, caPAGEDOWN},
        {TShortcut(ctrl | vkLeft), 0, caWORDLEFT},
        {TShortcut(ctrl | vkRight), 0, caWORDRIGHT},
        {TShortcut(ctrl | vkHome), 0, caDOCSTART},
        {TShortcut(ctrl | vkEnd), 0, caDOCEND},
        {TShortcut(ctrl | 'X'), 0, caCUT},
        {TShortcut(ctrl | 'C'), 0, caCOPY},
        {TShortcut(ctrl | 'V'), 0, caPASTE},
        {vkDelete, 0, caDELETE},
        {vkBack, 0, caBACKSPACE},
        {ctrlK, 'I', caBLOCKIND},
        {ctrlK, 'U', caBLOCKUND},
        {vkInsert, 0, caINSTOGGLE},
    };
    for (const TEntry& e : single)
        map.Keys().Bind(e.First, e.Second, e.Command);
    for (int d = 0; d < 10; ++d)
        map.Keys().Bind(ctrlK, TShortcut('0' + d), caSETBOOKMARK0 + d);
    for (int d = 0; d < 10; ++d)
        map.Keys().Bind(ctrlQ, TShortcut('0' + d), caGOTOBOOKMARK0 + d);
    const TEntry rest[] = {
        {TShortcut(ctrl | 'Y'), 0, caDELETELINE},
        {TShortcut(ctrl | 'Z'), 0, caUNDO},
        {TShortcut(ctrl | scShift | 'Z'), 0, caREDO},
        {TShortcut(ctrl | vkBack), 0, caDELPREVWORD},
        {TShortcut(ctrl | vkDelete), 0, caDELNEXTWORD},
        {ctrlK, 'P', caPRINTSEL},
    };
    for (const TEntry& e : rest)
        map.Keys().Bind(e.First, e.Second, e.Command);
    return map;
}

} // namespace

const TKeyboardActionContoller& TKeyboardActionContoller::Default() {
    static const TKeyboardActionContoller map = MakeDefault();
    return map;
}

void TKeyboardActionContoller::AddDescription(int32_t command, const std::string& text) {
    descriptions_[command] = text;
}

std::string TKeyboardActionContoller::Description(int32_t command) const {
    const auto it = descriptions_.find(command);
    return it == descriptions_.end() ? std::string() : it->second;
}

void TKeyboardActionContoller::Reset() {
    descriptions_.clear();
    keys_.Clear();
}

void TKeyboardActionContoller::SaveToStream(TStream& stream) const {
    WriteInt32(stream, static_cast<int32_t>(descriptions_.size()));
    for (const auto& [id, text] : descriptions_) {
        WriteInt32(stream, id);
        WriteShortString(stream, text);
    }
    const std::vector<TKeyStore::TBinding> bindings = keys_.Bindings();
    WriteInt32(stream, static_cast<int32_t>(bindings.size()));
    for (const TKeyStore::TBinding& b : bindings) {
        WriteInt16(stream, b.First);
        WriteInt16(stream, b.Second);
        WriteInt32(stream, b.Command);
    }
}

void TKeyboardActionContoller::LoadFromStream(TStream& stream) {
    // Everything is read into a fresh map first: a stream that breaks off, or bindings that
    // clash, leave this one as it was.
    TKeyboardActionContoller read;
    auto left = [&] { return stream.Size() - stream.Position(); };
    const int32_t descriptions = ReadInt32(stream, "key map");
    // Each description takes at least 5 bytes, each binding 8.
    if (descriptions < 0 || descriptions > left() / 5)
        BadValue("key map description count");
    for (int32_t i = 0; i < descriptions; ++i) {
        const int32_t id = ReadInt32(stream, "key map");
        if (!IsCommandId(id))
            BadValue("key map command id");
        read.AddDescription(id, ReadShortString(stream, "key map"));
    }
    const int32_t bindings = ReadInt32(stream, "key map");
    if (bindings < 0 || bindings > left() / 8)
        BadValue("key map binding count");
    for (int32_t i = 0; i < bindings; ++i) {
        const TShortcut first = ReadInt16(stream, "key map");
        const TShortcut second = ReadInt16(stream, "key map");
        const int32_t command = ReadInt32(stream, "key map");
        if (!IsCommandId(command))
            BadValue("key map command id");
        // A second key must name a key: one of code 0 would read back as a single key.
        if (first == 0 || (second != 0 && (second & 0xFF) == 0))
            BadValue("key map shortcut");
        read.keys_.Bind(first, second, command);
    }
    descriptions_.swap(read.descriptions_);
    keys_.SwapBindings(read.keys_);
}

} // namespace kvx
