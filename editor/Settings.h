// Everything that describes how documents of one language are shown and edited: options,
// margins, colours, tabs, the 256 styles and the token-to-style map, the additional keyword
// tables, the auto-correct list, the code templates and the key map. Stored as one record
// inside the language's stored parser tables.
#pragma once

#include "Colors.h"
#include "EdConsts.h"
#include "KeyMap.h"
#include "Keywords.h"
#include "Macros.h"
#include "SMBase.h"
#include "StateSet.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kvx {

struct TStyleEntry {
    uint8_t FontStyle = 0; // bold 1, italic 2, underline 4, strike-out 8
    int32_t TextColor = 0;
    int32_t BackColor = clWhiteValue;
    uint8_t UseDefaultText = 0;
    uint8_t UseDefaultBack = 0;
    uint8_t IsHyperlink = 0;
    int32_t Defined = 0;
    bool operator==(const TStyleEntry&) const = default;
};

struct TEditableStyle {
    std::string Name; // at most 25 characters; empty: unused
    uint8_t Style = 0;
    bool operator==(const TEditableStyle&) const = default;
};

struct TGutterFont {
    std::string Name = "Sans Serif";
    int32_t Size = 8;
    uint8_t Charset = 1;
    int32_t Color = 0;
    uint8_t Style = 0;
    bool operator==(const TGutterFont&) const = default;
};

// One additional keyword table: the words the scanner looks up when the parser's own tree
// finds nothing, in the states of the table.
struct TKeywordTable {
    TSet256 States;
    std::string WordChars; // the class of characters that may follow a word, as written
    bool CaseSensitive = false;
    std::vector<std::pair<std::string, int32_t>> Words;
    bool operator==(const TKeywordTable&) const = default;
};

// The words of the additional keyword tables, one tree per table so that each keeps the
// case rule it was declared with, searched together as one: the longest word valid in the
// states wins, the earlier table on a tie.
class TKeywordLookup {
  public:
    TSet256 CurrentStates{0};

    void Clear() { trees_.clear(); }
    void Add(TKeywords tree) { trees_.push_back(std::move(tree)); }
    TKeywords::TMatch Match(TStringCursor& in, const TSet256& states) const;
    // The scanner's lookup: the length of the word found (0 for none) and its value. The
    // cursor is left wherever a search stopped reading.
    int MatchLength(TRowCursor& in, const TSet256& states, uint8_t& value) const;

  private:
    std::vector<TKeywords> trees_;
};

class TSM_Settings : public TSM_Base {
  public:
    static constexpr int kEditableStyles = 25;
    // 21 places exist in the record, but only 20 are ever searched for a free or matching
    // one; a 21st table is "Too many keyword tables declared".
    static constexpr int kKeywordTables = 20;
    static constexpr int kMaxTabDefault = 256;
    static constexpr int kMaxTabColumn = 65535; // as far as the tab-stop text can reach

    TSM_Settings();
    const char* ClassName() const override { return "TSM_Settings"; }

    // Every field back to its initial value, the default key map, empty word lists.
    void ResetDefaults();

    // The record with the version in force: a version above 50 has the gutter font.
    void Write(TStream& s, int version) const;
    // Reads a record; any bad value raises and leaves the settings as they were.
    void Read(TStream& s, int version);
    void SaveToStream(TStream& s) const override { Write(s, 51); }
    void LoadFromStream(TStream& s) override { Read(s, 51); }

    // ---- Fields, in the order the record keeps them ---------------------------------------
    std::string ExampleText;
    std::string LanguageName;
    std::string WrapOverride;
    int32_t OptionWord;
    int32_t Margin;
    int32_t RightMargin;
    int32_t WrapAtColumn;
    int32_t Gutter;
    int32_t IndentStep;
    int32_t MarginColor;
    int32_t GutterColor;
    int32_t SelTextColor;
    int32_t SelTextBack;
    int32_t TabDefault;
    std::array<TStyleEntry, 256> Styles;
    std::array<uint8_t, 256> Map;
    std::array<TEditableStyle, kEditableStyles> EditableStyles;
    std::array<int32_t, MaxTabColumns> TabStops; // zero-based columns, -1 unused
    std::string FontName;
    int32_t FontSize;
    uint8_t Charset;
    bool MarginUsesBackColor;
    bool SysSelTextColor;
    bool SysSelBackColor;
    bool SysGutterColor;
    TGutterFont GutterFont;

    // Replaces a style entry.
    void SetStyle(int index, const TStyleEntry& entry) { Styles[index & 0xFF] = entry; }
    // Fills the next unused editable-style slot; false when all 25 are taken.
    bool AddEditableStyle(const std::string& name, uint8_t style);

    // Adds a keyword table, or replaces the one with the same states. States that overlap
    // another table's without being equal raise EKeywords "Ambigious key table state
    // definition"; a table beyond the 20th raises "Too many keyword tables declared". An
    // empty state set stands for the default state. The lookup is rebuilt.
    void AddKeywordTable(const TSet256& states, const std::string& wordChars, bool caseSensitive,
                         const std::vector<std::pair<std::string, int32_t>>& words);
    const std::vector<TKeywordTable>& KeywordTables() const { return tables_; }
    // The words of every table, which the scanner searches after the parser's own.
    TKeywordLookup& KeywordLookup() { return lookup_; }

    TKeyboardActionContoller& KeyMap() { return keyMap_; }
    const TKeyboardActionContoller& KeyMap() const { return keyMap_; }
    TCodeTemplates& Templates() { return templates_; }
    const TCodeTemplates& Templates() const { return templates_; }
    TAutoReplace& AutoReplace() { return autoReplace_; }
    const TAutoReplace& AutoReplace() const { return autoReplace_; }

  private:
    void RebuildLookup();

    std::vector<TKeywordTable> tables_;
    TKeywordLookup lookup_;
    TAutoReplace autoReplace_;
    TCodeTemplates templates_;
    TKeyboardActionContoller keyMap_;
};

} // namespace kvx
