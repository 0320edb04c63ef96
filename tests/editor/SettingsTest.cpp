#include "editor/Settings.h"
#include "editor/Stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kvx {
namespace {

std::string Bytes(const TSM_Settings& s, int version = 51) {
    TMemoryStream out;
    s.Write(out, version);
    return out.Data();
}

int32_t Int(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return static_cast<int32_t>(v);
}

TEST(Settings, FreshSettingsWriteTheDefaultRecord) {
    TSM_Settings s;
    const std::string b = Bytes(s);
    size_t at = 0;
    EXPECT_EQ(Int(b, at), 0); // example text
    at += 4;
    ASSERT_EQ(Int(b, at), 17);
    EXPECT_EQ(b.substr(at + 4, 17), "<Custom language>");
    at += 4 + 17;
    EXPECT_EQ(b.substr(at, 7), std::string("\x03\0\0\0>|:", 7));
    at += 7;
    const int32_t ints[] = {0x3FFDBF0, 2, 80, 0, 34, 1, 0xFFFFFF, clBtnFace};
    for (int32_t v : ints) {
        EXPECT_EQ(Int(b, at), v);
        at += 4;
    }
    at += 8;                  // the two selection colours, taken from the desktop
    EXPECT_EQ(Int(b, at), 4); // TabDefault
    at += 4;
    EXPECT_EQ(Int(b, at), 1); // one defined style: style 0
    EXPECT_EQ(b[at + 4], 0);
    EXPECT_EQ(Int(b, at + 4 + 1 + 1 + 4), 0xFFFFFF); // its background
    EXPECT_EQ(Int(b, at + 4 + 13), 1);               // Defined
    at += 4 + 17;
    EXPECT_EQ(Int(b, at), 0);     // map count
    EXPECT_EQ(Int(b, at + 4), 0); // editable styles
    at += 8;
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(Int(b, at + 4 * i), -1);
    at += 128;
    EXPECT_EQ(b.substr(at, 15), std::string("\x0B\0\0\0Courier New", 15));
    at += 15;
    EXPECT_EQ(Int(b, at), 10);
    EXPECT_EQ(b[at + 4], 1); // character set
    EXPECT_EQ(b.substr(at + 5, 4), std::string(4, '\0'));
    EXPECT_EQ(Int(b, at + 9), 0); // keyword tables
    // Version 50 differs only by the gutter font at the end.
    const std::string old = Bytes(s, 50);
    EXPECT_EQ(b.substr(0, old.size()), old);
    EXPECT_EQ(b.size() - old.size(), 4 + std::strlen("Sans Serif") + 4 + 1 + 4 + 1);
}

TSM_Settings Filled() {
    TSM_Settings s;
    s.ExampleText = "mov ax, 1 ; example";
    s.LanguageName = "Assembler";
    s.OptionWord = 123;
    s.TabDefault = 8;
    TStyleEntry e;
    e.FontStyle = 3;
    e.TextColor = 255;
    e.UseDefaultBack = 1;
    e.IsHyperlink = 1;
    e.Defined = 1;
    s.SetStyle(7, e);
    s.Map[3] = 7;
    s.AddEditableStyle("Comment", 7);
    s.TabStops[0] = 8;
    s.TabStops[1] = 16;
    s.FontName = "DejaVu Sans Mono";
    s.SysGutterColor = true;
    s.GutterFont.Name = "Mono";
    s.GutterFont.Style = 1;
    s.AddKeywordTable({1}, "[^a-z]", false, {{"eax", 5}, {"ebx", 5}});
    s.AutoReplace().AddReplacement("teh", "the");
    s.Templates().AddTemplate("beg", "begin", "begin|end");
    s.KeyMap().Keys().Bind(scAlt | 'U', 0, caUNDO);
    return s;
}

TEST(Settings, RecordsComeBackFieldByField) {
    const TSM_Settings s = Filled();
    const std::string bytes = Bytes(s);
    TSM_Settings r;
    TMemoryStream in(bytes);
    r.Read(in, 51);
    EXPECT_EQ(in.Position(), in.Size());
    EXPECT_EQ(r.ExampleText, s.ExampleText);
    EXPECT_EQ(r.LanguageName, "Assembler");
    EXPECT_EQ(r.OptionWord, 123);
    EXPECT_EQ(r.TabDefault, 8);
    EXPECT_EQ(r.Styles, s.Styles);
    EXPECT_EQ(r.Map, s.Map);
    EXPECT_EQ(r.EditableStyles, s.EditableStyles);
    EXPECT_EQ(r.TabStops, s.TabStops);
    EXPECT_EQ(r.FontName, s.FontName);
    EXPECT_TRUE(r.SysGutterColor);
    EXPECT_EQ(r.GutterFont, s.GutterFont);
    EXPECT_EQ(r.KeywordTables(), s.KeywordTables());
    EXPECT_EQ(r.AutoReplace().Entries().count("teh"), 1u);
    EXPECT_EQ(r.Templates().Entries().count("beg"), 1u);
    EXPECT_EQ(r.KeyMap().Keys().Bindings(), s.KeyMap().Keys().Bindings());
    EXPECT_EQ(Bytes(r), bytes);
    // The additional keyword tables answer through their lookup.
    TStringCursor eax("EAX,");
    EXPECT_EQ(r.KeywordLookup().Match(eax, {1}).Value, 5);
    TStringCursor inside("eaxe");
    EXPECT_FALSE(r.KeywordLookup().Match(inside, {1}).Found);

    TSM_Settings copy;
    copy.Assign(s);
    EXPECT_EQ(Bytes(copy), bytes);
}

TEST(Settings, KeywordTablesReplaceRefuseAndLimit) {
    TSM_Settings s;
    s.AddKeywordTable({}, "", false, {{"a", 1}}); // no states: the default state
    EXPECT_EQ(s.KeywordTables()[0].States, TSet256{0});
    s.AddKeywordTable({0}, "", false, {{"b", 2}}); // the same states: replaced
    ASSERT_EQ(s.KeywordTables().size(), 1u);
    EXPECT_EQ(s.KeywordTables()[0].Words[0].first, "b");
    try {
        s.AddKeywordTable({0, 1}, "", false, {{"c", 3}});
        ADD_FAILURE();
    } catch (const EKeywords& e) {
        EXPECT_STREQ(e.what(), "Ambigious key table state definition");
    }
    for (int t = 1; t < 20; ++t)
        s.AddKeywordTable({t}, "", false, {{"w", t}});
    try {
        s.AddKeywordTable({200}, "", false, {{"w", 1}});
        ADD_FAILURE();
    } catch (const EKeywords& e) {
        EXPECT_STREQ(e.what(), "Too many keyword tables declared");
    }
    EXPECT_EQ(s.KeywordTables().size(), 20u);
    // A word twice in overlapping states leaves the tables as they were.
    EXPECT_THROW(s.AddKeywordTable({3}, "", false, {{"x", 1}, {"X", 2}}), EKeywords);
    EXPECT_EQ(s.KeywordTables()[3].Words[0].first, "w");
}

TEST(Settings, BadRecordsAreRefusedAndChangeNothing) {
    const std::string bytes = Bytes(Filled());
    TSM_Settings target;
    target.LanguageName = "kept";
    const std::string before = Bytes(target);
    auto refused = [&](const std::string& data) {
        TFastMemoryStream in(data.data(), static_cast<int64_t>(data.size()));
        try {
            target.Read(in, 51);
        } catch (const ESyntaxMemo&) {
            return Bytes(target) == before;
        }
        return false;
    };
    for (size_t cut = 0; cut < bytes.size(); ++cut)
        ASSERT_TRUE(refused(bytes.substr(0, cut))) << "cut at " << cut;
    // TabDefault is the 11th number after the three texts.
    const size_t tabDefault = 4 + 19 + 4 + 9 + 4 + 3 + 10 * 4;
    ASSERT_EQ(Int(bytes, tabDefault), 8);
    std::string bad = bytes;
    bad[tabDefault] = 0;
    TFastMemoryStream in(bad.data(), static_cast<int64_t>(bad.size()));
    try {
        target.Read(in, 51);
        ADD_FAILURE();
    } catch (const ESyntaxMemo& e) {
        EXPECT_EQ(e.MessageId(), msgIllegalTabDefault);
    }
    bad = bytes;
    bad[tabDefault + 5] = 1; // 257 styles
    EXPECT_TRUE(refused(bad));
    bad = bytes;
    bad[tabDefault + 8 + 1 + 1 + 8] = 2; // style 0's first flag byte
    EXPECT_TRUE(refused(bad));
    EXPECT_EQ(target.LanguageName, "kept");
}

} // namespace
} // namespace kvx
