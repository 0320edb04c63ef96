#include "Settings.h"

#include "RowCursor.h"
#include "ScriptStrings.h"
#include "Stream.h"

#include <algorithm>

namespace kvx {

namespace {

constexpr char kRecord[] = "settings";

void WriteByte(TStream& s, uint8_t b) {
    if (s.Write(&b, 1) != 1)
        throw EStreamError(0, "Could not write to stream");
}

uint8_t ReadByte(TStream& s) {
    uint8_t b = 0;
    if (s.Read(&b, 1) != 1)
        throw EStreamError(0, "Unexpected end of stream while reading settings");
    return b;
}

bool ReadFlag(TStream& s, const char* what) {
    const uint8_t b = ReadByte(s);
    if (b > 1)
        throw EStreamError(0, std::string("Bad ") + what + " in settings stream");
    return b != 0;
}

// The class of characters that may follow a table's words: as written, or, when nothing is
// written, anything that cannot continue a word.
TSM_CharGroup FollowClass(const std::string& wordChars) {
    if (wordChars.empty()) {
        TSet256 word;
        for (int c = 0; c < 256; ++c)
            if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                c == '_')
                word.Include(c);
        return TSM_CharGroup(word, true);
    }
    const std::vector<TSM_CharGroup> classes = ScriptSpecifiers(wordChars);
    return classes.front();
}

} // namespace

TSM_Settings::TSM_Settings() {
    ResetDefaults();
}

void TSM_Settings::ResetDefaults() {
    ExampleText.clear();
    LanguageName = "<Custom language>";
    WrapOverride = ">|:";
    OptionWord = static_cast<int32_t>(DefaultOptionWord);
    Margin = 2;
    RightMargin = 80;
    WrapAtColumn = 0;
    Gutter = 34;
    IndentStep = 1;
    MarginColor = clWhiteValue;
    GutterColor = clBtnFace;
    // Settings made without a desktop at hand take the default palette's selection; the
    // control puts the desktop's own into the settings it makes for itself.
    SelTextColor = DefaultSystemColor(scxHighlightText);
    SelTextBack = DefaultSystemColor(scxHighlight);
    TabDefault = 4;
    Styles.fill(TStyleEntry{});
    Styles[0].Defined = 1;
    Map.fill(0);
    EditableStyles.fill(TEditableStyle{});
    TabStops.fill(-1);
    FontName = "Courier New";
    FontSize = 10;
    Charset = 1;
    MarginUsesBackColor = SysSelTextColor = SysSelBackColor = SysGutterColor = false;
    GutterFont = TGutterFont{};
    tables_.clear();
    lookup_.Clear();
    autoReplace_.Clear();
    templates_.Clear();
    templates_.Trigger = scCtrl | 'J';
    templates_.Active = autoReplace_.Active = true;
    keyMap_ = TKeyboardActionContoller::Default();
}

bool TSM_Settings::AddEditableStyle(const std::string& name, uint8_t style) {
    for (TEditableStyle& e : EditableStyles) {
        if (e.Name.empty()) {
            e = {name.substr(0, 25), style};
            return true;
        }
    }
    return false;
}

void TSM_Settings::AddKeywordTable(const TSet256& states, const std::string& wordChars,
                                   bool caseSensitive,
                                   const std::vector<std::pair<std::string, int32_t>>& words) {
    TKeywordTable table{states.Empty() ? TSet256{0} : states, wordChars, caseSensitive, words};
    for (const auto& [word, value] : words)
        if (value < 0 || value > 255 || word.empty() || word.size() > 255)
            throw EKeywords(0, "Bad keyword table entry '" + word.substr(0, 40) + "'");
    FollowClass(wordChars); // a bad class is refused before anything changes
    std::vector<TKeywordTable> tables = tables_;
    auto same = std::find_if(tables.begin(), tables.end(),
                             [&](const TKeywordTable& t) { return t.States == table.States; });
    if (same != tables.end()) {
        *same = std::move(table);
    } else {
        for (const TKeywordTable& t : tables)
            if (t.States.Meets(table.States))
                throw EKeywords(0, "Ambigious key table state definition");
        if (static_cast<int>(tables.size()) >= kKeywordTables)
            throw EKeywords(0, "Too many keyword tables declared");
        tables.push_back(std::move(table));
    }
    // The lookup is built aside, so that a duplicate word leaves the old tables in force.
    std::swap(tables, tables_);
    try {
        RebuildLookup();
    } catch (...) {
        std::swap(tables, tables_);
        RebuildLookup();
        throw;
    }
}

void TSM_Settings::RebuildLookup() {
    TKeywordLookup lookup;
    lookup.CurrentStates = lookup_.CurrentStates;
    for (const TKeywordTable& t : tables_) {
        const TSM_CharGroup follow = FollowClass(t.WordChars);
        TKeywords tree;
        for (const auto& [word, value] : t.Words)
            tree.Add(DecodeScriptString(word), t.CaseSensitive, value, t.States, follow);
        lookup.Add(std::move(tree));
    }
    lookup_ = std::move(lookup);
}

TKeywords::TMatch TKeywordLookup::Match(TStringCursor& in, const TSet256& states) const {
    TKeywords::TMatch best;
    TStringCursor after = in;
    for (const TKeywords& tree : trees_) {
        TStringCursor c = in;
        const TKeywords::TMatch m = tree.Match(c, states);
        if (m.Found && (!best.Found || m.Length > best.Length)) {
            best = m;
            after = c;
        }
    }
    in = after;
    return best;
}

int TKeywordLookup::MatchLength(TRowCursor& in, const TSet256& states, uint8_t& value) const {
    const TextOffset start = in.Pos();
    int best = 0;
    for (const TKeywords& tree : trees_) {
        in.SetPos(start);
        uint8_t v = 0;
        const int length = tree.MatchLength(in, states, v);
        if (length > best) {
            best = length;
            value = v;
        }
    }
    return best;
}

void TSM_Settings::Write(TStream& s, int version) const {
    WriteLongString(s, ExampleText);
    WriteLongString(s, LanguageName);
    WriteLongString(s, WrapOverride);
    for (const int32_t v : {OptionWord, Margin, RightMargin, WrapAtColumn, Gutter, IndentStep,
                            MarginColor, GutterColor, SelTextColor, SelTextBack, TabDefault})
        WriteInt32(s, v);
    int32_t defined = 0;
    for (const TStyleEntry& e : Styles)
        defined += e.Defined != 0 ? 1 : 0;
    WriteInt32(s, defined);
    for (int i = 0; i < 256; ++i) {
        const TStyleEntry& e = Styles[i];
        if (e.Defined == 0)
            continue;
        WriteByte(s, static_cast<uint8_t>(i));
        WriteByte(s, e.FontStyle);
        WriteInt32(s, e.TextColor);
        WriteInt32(s, e.BackColor);
        WriteByte(s, e.UseDefaultText);
        WriteByte(s, e.UseDefaultBack);
        WriteByte(s, e.IsHyperlink);
        WriteInt32(s, e.Defined);
    }
    WriteInt32(s, static_cast<int32_t>(256 - std::count(Map.begin(), Map.end(), 0)));
    for (int i = 0; i < 256; ++i) {
        if (Map[i] == 0)
            continue;
        WriteByte(s, static_cast<uint8_t>(i));
        WriteByte(s, Map[i]);
    }
    int32_t editable = 0;
    while (editable < kEditableStyles && !EditableStyles[editable].Name.empty())
        ++editable;
    WriteInt32(s, editable);
    for (int i = 0; i < editable; ++i) {
        WriteLongString(s, EditableStyles[i].Name);
        WriteByte(s, EditableStyles[i].Style);
    }
    for (const int32_t stop : TabStops)
        WriteInt32(s, stop);
    WriteLongString(s, FontName);
    WriteInt32(s, FontSize);
    WriteByte(s, Charset);
    for (const bool flag : {MarginUsesBackColor, SysSelTextColor, SysSelBackColor, SysGutterColor})
        WriteByte(s, flag ? 1 : 0);
    WriteInt32(s, static_cast<int32_t>(tables_.size()));
    for (const TKeywordTable& t : tables_) {
        const std::array<uint8_t, 32> set = t.States.Bytes();
        if (s.Write(set.data(), 32) != 32)
            throw EStreamError(0, "Could not write to stream");
        WriteLongString(s, t.WordChars);
        WriteInt32(s, t.CaseSensitive ? 1 : 0);
        WriteInt32(s, static_cast<int32_t>(t.Words.size()));
        for (const auto& [word, value] : t.Words) {
            WriteLongString(s, word);
            WriteInt32(s, value);
        }
    }
    autoReplace_.SaveToStream(s);
    templates_.SaveToStream(s);
    keyMap_.SaveToStream(s);
    if (version > 50) {
        WriteLongString(s, GutterFont.Name);
        WriteInt32(s, GutterFont.Size);
        WriteByte(s, GutterFont.Charset);
        WriteInt32(s, GutterFont.Color);
        WriteByte(s, GutterFont.Style);
    }
}

void TSM_Settings::Read(TStream& s, int version) {
    // Everything goes into fresh settings first: a bad value anywhere leaves these as they
    // were.
    TSM_Settings r;
    auto left = [&] { return s.Size() - s.Position(); };
    auto bad = [](const char* what) -> void {
        throw EStreamError(0, std::string("Bad ") + what + " in settings stream");
    };
    r.ExampleText = ReadLongString(s, kRecord);
    r.LanguageName = ReadLongString(s, kRecord);
    r.WrapOverride = ReadLongString(s, kRecord);
    for (int32_t* v :
         {&r.OptionWord, &r.Margin, &r.RightMargin, &r.WrapAtColumn, &r.Gutter, &r.IndentStep,
          &r.MarginColor, &r.GutterColor, &r.SelTextColor, &r.SelTextBack, &r.TabDefault})
        *v = ReadInt32(s, kRecord);
    // A tab width of 0 would divide by zero, a huge one would blow up every line.
    if (r.TabDefault < 1 || r.TabDefault > kMaxTabDefault)
        throw EStreamError(msgIllegalTabDefault, MessageText(msgIllegalTabDefault));
    if (r.IndentStep < 0 || r.IndentStep > 255)
        bad("indent step");

    const int32_t styles = ReadInt32(s, kRecord);
    if (styles < 0 || styles > 256 || styles > left() / 17)
        bad("style count");
    r.Styles.fill(TStyleEntry{});
    int last = -1;
    for (int32_t i = 0; i < styles; ++i) {
        const int n = ReadByte(s);
        if (n <= last)
            bad("style number");
        last = n;
        TStyleEntry& e = r.Styles[n];
        e.FontStyle = ReadByte(s);
        e.TextColor = ReadInt32(s, kRecord);
        e.BackColor = ReadInt32(s, kRecord);
        e.UseDefaultText = ReadFlag(s, "style flag");
        e.UseDefaultBack = ReadFlag(s, "style flag");
        e.IsHyperlink = ReadFlag(s, "style flag");
        e.Defined = ReadInt32(s, kRecord);
        if (e.FontStyle > 15 || e.Defined == 0)
            bad("style entry");
    }
    const int32_t mapped = ReadInt32(s, kRecord);
    if (mapped < 0 || mapped > 256 || mapped > left() / 2)
        bad("map count");
    last = -1;
    for (int32_t i = 0; i < mapped; ++i) {
        const int token = ReadByte(s);
        const uint8_t style = ReadByte(s);
        if (token <= last || style == 0)
            bad("token-to-style map");
        last = token;
        r.Map[token] = style;
    }
    // The record has room for 25 named styles; more cannot come from this program.
    const int32_t editable = ReadInt32(s, kRecord);
    if (editable < 0 || editable > kEditableStyles || editable > left() / 5)
        bad("editable style count");
    for (int32_t i = 0; i < editable; ++i) {
        std::string name = ReadLongString(s, kRecord);
        if (name.empty())
            bad("editable style name");
        r.EditableStyles[i] = {name.substr(0, 25), ReadByte(s)};
    }
    int32_t previous = 0;
    bool ended = false;
    for (int32_t& stop : r.TabStops) {
        stop = ReadInt32(s, kRecord);
        if (stop == -1) {
            ended = true;
            continue;
        }
        // Used stops come first, ascending, each past column 1 and within reach.
        if (ended || stop < 1 || stop > kMaxTabColumn)
            throw EStreamError(msgTabColumnTooSmall, "Bad tab stop in settings stream");
        if (stop <= previous)
            throw EStreamError(msgTabColumnsOrder, MessageText(msgTabColumnsOrder));
        previous = stop;
    }
    r.FontName = ReadLongString(s, kRecord);
    r.FontSize = ReadInt32(s, kRecord);
    r.Charset = ReadByte(s);
    r.MarginUsesBackColor = ReadFlag(s, "colour flag");
    r.SysSelTextColor = ReadFlag(s, "colour flag");
    r.SysSelBackColor = ReadFlag(s, "colour flag");
    r.SysGutterColor = ReadFlag(s, "colour flag");

    const int32_t tables = ReadInt32(s, kRecord);
    if (tables < 0 || tables > kKeywordTables || tables > left() / 44)
        bad("keyword table count");
    for (int32_t t = 0; t < tables; ++t) {
        uint8_t set[32];
        if (s.Read(set, 32) != 32)
            bad("keyword table");
        const TSet256 states = TSet256::FromBytes(set);
        const std::string wordChars = ReadLongString(s, kRecord);
        const int32_t caseFlag = ReadInt32(s, kRecord);
        if (caseFlag != 0 && caseFlag != 1)
            bad("keyword table case flag");
        const int32_t count = ReadInt32(s, kRecord);
        if (count < 0 || count > left() / 8)
            bad("keyword count");
        std::vector<std::pair<std::string, int32_t>> words;
        for (int32_t k = 0; k < count; ++k) {
            std::string word = ReadLongString(s, kRecord);
            words.emplace_back(std::move(word), ReadInt32(s, kRecord));
        }
        r.AddKeywordTable(states, wordChars, caseFlag != 0, words);
    }
    r.autoReplace_.LoadFromStream(s);
    r.templates_.LoadFromStream(s);
    r.keyMap_.LoadFromStream(s);
    if (version > 50) {
        r.GutterFont.Name = ReadLongString(s, kRecord);
        r.GutterFont.Size = ReadInt32(s, kRecord);
        r.GutterFont.Charset = ReadByte(s);
        r.GutterFont.Color = ReadInt32(s, kRecord);
        r.GutterFont.Style = ReadByte(s);
        if (r.GutterFont.Style > 15)
            bad("gutter font style");
    }
    *this = r;
}

} // namespace kvx
