// Code templates and auto-correct: word lists whose words, ending at the caret, are
// replaced by longer texts when a trigger key is pressed.
#pragma once

#include "Keywords.h"
#include "SMBase.h"
#include "SyntaxEd.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kvx {

class TMacroKeywords : public TSM_Base, public TKeyMacros {
  public:
    struct TEntry {
        std::string Description;
        std::string Expansion; // stored form: breaks are CR, control bytes "."
    };

    // Adds an entry, replacing one of the same name (names ignore letter case). Names are
    // 1 to 255 bytes; others raise EKeywords.
    void AddTemplate(const std::string& name, const std::string& description,
                     const std::string& expansion);
    bool RemoveTemplate(const std::string& name);
    // Removes every entry (auto-correct also gets its initial trigger text back).
    virtual void Clear();
    // Entries by lower-case name, in name order.
    const std::map<std::string, TEntry>& Entries() const { return entries_; }

    // The template key (Ctrl+J at first).
    TShortcut Trigger = scCtrl | 'J';
    bool Active = true;
    // Expand a word found before the caret at once.
    bool ExpandNow = true;
    // The partial word before the caret when the key found no entry (lower case).
    const std::string& TypedPrefix() const { return typedPrefix_; }

    // Whether the key (with its modifiers) is this list's trigger.
    virtual bool IsTrigger(uint8_t key, TShiftState shift) const;
    bool KeyDown(TCustomSyntaxMemo& memo, uint8_t key, TShiftState shift) override;

    // Entry count; per entry the name and description (one length byte each) and the
    // expansion (32-bit length); the trigger as text ("Ctrl+J"); Active as 32-bit 0 or 1.
    void SaveToStream(TStream& stream) const override;
    // Reads a whole list; on a bad stream it raises and the list is left as it was.
    void LoadFromStream(TStream& stream) override;

  protected:
    TMacroKeywords(bool consumeKey, bool indentLines, bool caretMarker, bool popup)
        : consumeKey_(consumeKey), indentLines_(indentLines), caretMarker_(caretMarker),
          popup_(popup) {}
    std::string AssignError(const char* source) const override {
        return std::string("Cannot assign ") + source + " to " + ClassName();
    }
    // Replaces `keyword` (ending at the caret) by the entry's expansion; false when the
    // replacement was refused.
    virtual bool Expand(TCustomSyntaxMemo& memo, const std::string& keyword,
                        std::string expansion) = 0;
    // Offers the pick list; true when it was shown.
    virtual bool ShowList(TCustomSyntaxMemo&) { return false; }
    // A short text that follows the common part of the stream (auto-correct's triggers):
    // whether there is one, its value, a check that raises for a bad one, and setting it.
    virtual bool HasExtra() const { return false; }
    virtual std::string Extra() const { return {}; }
    virtual void CheckExtra(const std::string&) const {}
    virtual void SetExtra(const std::string&) {}

    // Fixed by the kind of list (set by the constructors, copied with the list).
    bool consumeKey_;
    bool indentLines_;
    bool caretMarker_;
    bool popup_;

  private:
    void Rebuild();

    std::map<std::string, TEntry> entries_;
    // Every name stored reversed, so the word ending at the caret is found by reading the
    // text backwards from it.
    TKeywords tree_;
    std::string typedPrefix_;
};

class TCodeTemplates : public TMacroKeywords {
  public:
    TCodeTemplates() : TMacroKeywords(true, true, true, true) {}
    const char* ClassName() const override { return "TCodeTemplates"; }

    // The pick list: "description<TAB>name" per template in name order, and the item to
    // select first (the first containing the typed prefix, else 0).
    std::vector<std::pair<std::string, std::string>> ListItems() const;
    int FirstListItem() const;
    // Inserts the template chosen from the list over the selected typed prefix (which stays
    // when it is not part of the chosen name).
    void InsertFromList(TCustomSyntaxMemo& memo, const std::string& name);

  protected:
    bool Expand(TCustomSyntaxMemo& memo, const std::string& keyword,
                std::string expansion) override;
    bool ShowList(TCustomSyntaxMemo& memo) override;
};

class TAutoReplace : public TMacroKeywords {
  public:
    static constexpr const char* kInitialTriggers = ";,:.=()[]\\{Return}\\{Tab}\\{Space}";

    TAutoReplace();
    const char* ClassName() const override { return "TAutoReplace"; }

    void AddReplacement(const std::string& keyword, const std::string& replacement) {
        AddTemplate(keyword, "", replacement);
    }
    void Clear() override;

    const std::string& TriggerText() const { return triggerText_; }
    // Rebuilds the trigger keys; a bad "\{name}" raises 4257 "Bad key specifier" and leaves
    // no triggers. A text over 255 bytes is refused with ESyntaxMemo before anything
    // changes.
    void SetTriggerText(const std::string& text);
    // Trigger keys: virtual key + 256 Shift, 512 Ctrl, 2048 Alt.
    const std::vector<uint16_t>& TriggerKeys() const { return triggers_; }
    bool IsTrigger(uint8_t key, TShiftState shift) const override;

  protected:
    bool Expand(TCustomSyntaxMemo& memo, const std::string& keyword,
                std::string expansion) override;
    bool HasExtra() const override { return true; }
    std::string Extra() const override { return triggerText_; }
    void CheckExtra(const std::string& text) const override { ParseTriggers(text); }
    void SetExtra(const std::string& text) override { SetTriggerText(text); }

  private:
    static std::vector<uint16_t> ParseTriggers(const std::string& text);

    std::string triggerText_;
    std::vector<uint16_t> triggers_;
};

} // namespace kvx
