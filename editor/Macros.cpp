#include "Macros.h"

#include "EdStream.h"
#include "KeyNames.h"
#include "TextStore.h"

#include <algorithm>

namespace kvx {

namespace {

std::string Normalized(const std::string& text) {
    std::string out(text.size(), '\0');
    TTextNormalizer normalizer;
    out.resize(normalizer.Run(text.data(), text.size(), out.data()));
    return out;
}

// Reads the document backwards from just before an offset.
class TBackwardCursor : public TCharCursor {
  public:
    TBackwardCursor(TTextStore& store, TextOffset caret) : store_(store), pos_(caret - 1) {}
    unsigned char Current() override { return pos_ >= 0 ? store_.CharAt(pos_) : 0; }
    void Advance() override {
        if (pos_ >= 0)
            --pos_;
    }
    bool AtEnd() override { return pos_ < 0; }

  private:
    TTextStore& store_;
    TextOffset pos_;
};

bool IsWordChar(TCustomSyntaxMemo& memo, unsigned char c) {
    return c != 0 && (memo.CharStartsWord(c) || memo.CharIsInWord(c));
}

} // namespace

// ---- TMacroKeywords --------------------------------------------------------------------

void TMacroKeywords::Rebuild() {
    tree_.Clear();
    for (const auto& entry : entries_) {
        std::string reversed(entry.first.rbegin(), entry.first.rend());
        tree_.Add(reversed, false, 0);
    }
}

void TMacroKeywords::AddTemplate(const std::string& name, const std::string& description,
                                 const std::string& expansion) {
    if (name.empty() || name.size() > 255)
        throw EKeywords(0, "A template name must be 1 to 255 characters long");
    entries_[AsciiLower(name)] = {description, Normalized(expansion)};
    Rebuild();
}

bool TMacroKeywords::RemoveTemplate(const std::string& name) {
    if (entries_.erase(AsciiLower(name)) == 0)
        return false;
    Rebuild();
    return true;
}

void TMacroKeywords::Clear() {
    entries_.clear();
    tree_.Clear();
}

bool TMacroKeywords::IsTrigger(uint8_t key, TShiftState shift) const {
    return Trigger != 0 && MakeShortcut(key, shift) == Trigger;
}

bool TMacroKeywords::KeyDown(TCustomSyntaxMemo& memo, uint8_t key, TShiftState shift) {
    // A read-only document takes no expansion, and the key goes on as if it were no trigger.
    if (memo.ReadOnly || !IsTrigger(key, shift))
        return false;
    TTextStore& store = memo.Store();
    const TextOffset caret = memo.Selection().Caret;
    typedPrefix_.clear();
    // A caret in virtual space stands after blanks that are not there yet: no word ends at
    // it, and whatever is inserted goes in at its column.
    if (memo.InVirtualSpace())
        return popup_ && !entries_.empty() && ShowList(memo);
    if (ExpandNow && store.TextLength() > 0) {
        TBackwardCursor in(store, caret);
        const TKeywords::TMatch m = tree_.Match(in, tree_.DefaultStates);
        if (m.Found) {
            const std::string keyword = AsciiLower(store.GetText(caret - m.Length, caret));
            const auto it = entries_.find(keyword);
            if (it != entries_.end()) {
                Expand(memo, keyword, it->second.Expansion);
                return consumeKey_;
            }
        }
    }
    TextOffset p = caret;
    while (p > 0 && IsWordChar(memo, store.CharAt(p - 1)))
        --p;
    typedPrefix_ = AsciiLower(store.GetText(p, caret));
    if (popup_ && !entries_.empty())
        return ShowList(memo);
    return false;
}

void TMacroKeywords::SaveToStream(TStream& stream) const {
    WriteInt32(stream, static_cast<int32_t>(entries_.size()));
    for (const auto& [name, entry] : entries_) {
        WriteShortString(stream, name);
        WriteShortString(stream, entry.Description);
        WriteLongString(stream, entry.Expansion);
    }
    WriteLongString(stream, ShortcutToText(Trigger));
    WriteInt32(stream, Active ? 1 : 0);
    if (HasExtra())
        WriteShortString(stream, Extra());
}

void TMacroKeywords::LoadFromStream(TStream& stream) {
    // Everything is read and checked before anything changes.
    const char* what = ClassName();
    const int32_t count = ReadInt32(stream, what);
    // An entry takes at least 6 bytes.
    if (count < 0 || count > (stream.Size() - stream.Position()) / 6)
        BadValue("template count");
    std::map<std::string, TEntry> entries;
    for (int32_t i = 0; i < count; ++i) {
        const std::string name = AsciiLower(ReadShortString(stream, what));
        TEntry entry;
        entry.Description = ReadShortString(stream, what);
        entry.Expansion = Normalized(ReadLongString(stream, what));
        if (name.empty())
            BadValue("template name");
        if (!entries.emplace(name, std::move(entry)).second)
            throw EStreamError(0, "Duplicate template name '" + name + "' in stream");
    }
    const std::string triggerText = ReadLongString(stream, what);
    const TShortcut trigger = TextToShortcut(triggerText);
    if (trigger == 0 && !triggerText.empty())
        BadValue("template key");
    const int32_t active = ReadInt32(stream, what);
    if (active != 0 && active != 1)
        BadValue("template active flag");
    std::string extra;
    if (HasExtra()) {
        extra = ReadShortString(stream, what);
        CheckExtra(extra);
    }
    entries_ = std::move(entries);
    Rebuild();
    Trigger = trigger;
    Active = active != 0;
    if (HasExtra())
        SetExtra(extra);
}

// ---- TCodeTemplates --------------------------------------------------------------------

bool TCodeTemplates::Expand(TCustomSyntaxMemo& memo, const std::string& keyword,
                            std::string expansion) {
    if (memo.OnTemplateEvent)
        memo.OnTemplateEvent(memo, keyword, expansion);
    memo.ExpandKeyword(keyword, std::move(expansion), indentLines_, caretMarker_);
    return true;
}

bool TCodeTemplates::ShowList(TCustomSyntaxMemo& memo) {
    TEditorHooks* hooks = memo.Hooks();
    if (!hooks)
        return false;
    // The typed prefix is selected while the list is up, so that a choice replaces it.
    // Without one the selection stays as it is (and a caret in virtual space where it is).
    if (!TypedPrefix().empty()) {
        const TextOffset caret = memo.Selection().Caret;
        memo.SetSelection(caret - static_cast<TextOffset>(TypedPrefix().size()), caret);
    }
    return hooks->ShowTemplateList(memo, *this);
}

std::vector<std::pair<std::string, std::string>> TCodeTemplates::ListItems() const {
    std::vector<std::pair<std::string, std::string>> items;
    for (const auto& [name, entry] : Entries())
        items.emplace_back(entry.Description, name);
    return items;
}

int TCodeTemplates::FirstListItem() const {
    int i = 0;
    for (const auto& [name, entry] : Entries()) {
        if ((entry.Description + "\t" + name).find(TypedPrefix()) != std::string::npos)
            return i;
        ++i;
    }
    return 0;
}

void TCodeTemplates::InsertFromList(TCustomSyntaxMemo& memo, const std::string& name) {
    const auto it = Entries().find(AsciiLower(name));
    if (it == Entries().end())
        return;
    // A prefix that is not part of the chosen name was not meant as its start: keep it.
    if (it->first.find(TypedPrefix()) == std::string::npos) {
        const TextOffset end = memo.Selection().End();
        memo.SetSelection(end, end);
    }
    Expand(memo, "", it->second.Expansion);
}

// ---- TAutoReplace ----------------------------------------------------------------------

TAutoReplace::TAutoReplace() : TMacroKeywords(false, false, false, false) {
    SetTriggerText(kInitialTriggers);
}

void TAutoReplace::Clear() {
    TMacroKeywords::Clear();
    SetTriggerText(kInitialTriggers);
}

std::vector<uint16_t> TAutoReplace::ParseTriggers(const std::string& text) {
    static const std::pair<const char*, uint8_t> kKeyNames[] = {
        {"backspace", vkBack}, {"delete", vkDelete}, {"down", vkDown},   {"end", vkEnd},
        {"home", vkHome},      {"insert", vkInsert}, {"left", vkLeft},   {"pagedown", vkNext},
        {"pageup", vkPrior},   {"return", vkReturn}, {"right", vkRight}, {"space", vkSpace},
        {"up", vkUp},          {"tab", vkTab},
    };
    std::vector<uint16_t> keys;
    auto add = [&](uint16_t k) {
        if (std::find(keys.begin(), keys.end(), k) == keys.end())
            keys.push_back(k);
    };
    for (size_t i = 0; i < text.size(); ++i) {
        uint8_t key = 0;
        bool shift = false;
        if (text[i] != '\\' || i + 1 == text.size()) {
            if (KeyForChar(text[i], key, shift))
                add(static_cast<uint16_t>(key | (shift ? tkShift : 0)));
            continue;
        }
        const char d = text[++i];
        if (d == 'n' || d == 'r') {
            add(vkReturn);
        } else if (d == 's') {
            add(vkSpace);
        } else if (d == 't') {
            add(vkTab);
        } else if (d == '{') {
            std::string name;
            while (++i < text.size() && std::isalnum(static_cast<unsigned char>(text[i])))
                name.push_back(
                    static_cast<char>(std::tolower(static_cast<unsigned char>(text[i]))));
            if (i >= text.size() || text[i] != '}')
                throw ESyntaxMemo(msgBadKeySpecifier);
            uint16_t named = 0;
            if (name.size() >= 2 && name[0] == 'f' &&
                std::all_of(name.begin() + 1, name.end(), ::isdigit) && name.size() <= 3) {
                const int n = std::stoi(name.substr(1));
                if (n >= 1 && n <= 12)
                    named = static_cast<uint16_t>(vkF1 + n - 1);
            }
            for (const auto& [keyName, code] : kKeyNames)
                if (name == keyName)
                    named = code;
            // An unknown name gives key 0, which no key press matches.
            add(named);
        } else if (KeyForChar(d, key, shift)) {
            add(key); // the character's key without Shift
        }
    }
    return keys;
}

void TAutoReplace::SetTriggerText(const std::string& text) {
    // The settings stream keeps the text behind one length byte: a longer text could not
    // be written whole, and cut short it would no longer load.
    if (text.size() > 255)
        throw ESyntaxMemo(0, "A trigger text may be at most 255 characters long");
    triggers_.clear();
    triggerText_ = text;
    triggers_ = ParseTriggers(text);
}

bool TAutoReplace::IsTrigger(uint8_t key, TShiftState shift) const {
    if (triggerText_.empty())
        return false;
    const auto code =
        static_cast<uint16_t>(key | ((shift & ssShift) ? tkShift : 0) |
                              ((shift & ssCtrl) ? tkCtrl : 0) | ((shift & ssAlt) ? tkAlt : 0));
    return std::find(triggers_.begin(), triggers_.end(), code) != triggers_.end();
}

bool TAutoReplace::Expand(TCustomSyntaxMemo& memo, const std::string& keyword,
                          std::string expansion) {
    TTextStore& store = memo.Store();
    const TextOffset caret = memo.Selection().Caret;
    const TextOffset start = caret - static_cast<TextOffset>(keyword.size());
    bool allow = true;
    // Only part of a longer word: "teh" in "tehx".
    if (!keyword.empty() && IsWordChar(memo, static_cast<unsigned char>(keyword.back())) &&
        IsWordChar(memo, store.CharAt(caret)))
        allow = false;
    // Only the end of a longer word: "xteh".
    if (allow && !expansion.empty() &&
        memo.CharStartsWord(static_cast<unsigned char>(expansion[0])) && start > 0 &&
        IsWordChar(memo, store.CharAt(start - 1)))
        allow = false;
    if (memo.OnAutoReplace) {
        TEdStream at(memo);
        at.SetPosition(start);
        memo.OnAutoReplace(memo, at, allow, expansion, keyword);
    }
    if (!allow)
        return false;
    memo.ExpandKeyword(keyword, std::move(expansion), indentLines_, caretMarker_);
    return true;
}

} // namespace kvx
