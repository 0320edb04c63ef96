#include "MacroFixture.h"
#include "editor/EdStream.h"
#include "editor/Stream.h"

#include <gtest/gtest.h>

namespace kvx {
namespace {

using Macros = test::TMacroFixture;

TEST_F(Macros, TemplateExpandsIndentedWithTheCaretAtTheMarker) {
    templates.AddTemplate("beg", "begin block", "begin\r\n|end");
    Type("    beg");
    Press('J', 0, ssCtrl);
    EXPECT_EQ(memo.Text(), "    begin\r    end");
    EXPECT_EQ(memo.Selection().Caret, 14); // before "end"
    memo.ExecuteCommand(caUNDO);
    EXPECT_EQ(memo.Text(), "    beg");
    EXPECT_EQ(memo.Selection().Caret, 7);

    // Names ignore case, the longest name ending at the caret wins, and an expansion
    // without a marker leaves the caret after it.
    templates.AddTemplate("G", "", "gee");
    memo.SetWholeText("xBEG");
    memo.SetSelection(4, 4);
    Press('J', 0, ssCtrl);
    EXPECT_EQ(memo.Text(), "xbegin\r end"); // indented to the keyword's column
    memo.SetWholeText("ag");
    memo.SetSelection(2, 2);
    Press('J', 0, ssCtrl);
    EXPECT_EQ(memo.Text(), "agee");
    EXPECT_EQ(memo.Selection().Caret, 4);
    EXPECT_EQ(listsShown, 0);
}

TEST_F(Macros, TemplateKeyWithoutAMatchOffersTheList) {
    templates.AddTemplate("while", "loop", "while | do");
    templates.AddTemplate("case", "choice", "case | of");
    Type("x wh");
    Press('J', 0, ssCtrl);
    EXPECT_EQ(listsShown, 1);
    EXPECT_EQ(templates.TypedPrefix(), "wh");
    EXPECT_EQ(memo.Selection(), (TSelectionRange{2, 4})); // the prefix is selected
    EXPECT_EQ(templates.ListItems()[templates.FirstListItem()].second, "while");
    // Escape: the list goes and nothing changes; the widget collapses the selection.
    EXPECT_EQ(memo.Text(), "x wh");
    templates.InsertFromList(memo, "while");
    EXPECT_EQ(memo.Text(), "x while  do");
    EXPECT_EQ(memo.Selection().Caret, 8);
    // A prefix that is not part of the chosen name stays in front of it.
    memo.SetWholeText("zz");
    memo.SetSelection(2, 2);
    Press('J', 0, ssCtrl);
    templates.InsertFromList(memo, "case");
    EXPECT_EQ(memo.Text(), "zzcase  of");
}

TEST_F(Macros, AutoCorrectReplacesWholeWordsBeforeTheTrigger) {
    autoReplace.AddReplacement("teh", "the");
    Type("teh ");
    EXPECT_EQ(memo.Text(), "the ");
    Type("tehx ");
    EXPECT_EQ(memo.Text(), "the tehx ");
    Type("xteh;");
    EXPECT_EQ(memo.Text(), "the tehx xteh;");
    Type(" Teh(");
    EXPECT_EQ(memo.Text(), "the tehx xteh; the(");
    // Part of a word: the caret inside "tehx".
    memo.SetSelection(7, 7);
    Press(vkSpace, ' ');
    EXPECT_EQ(memo.Text(), "the teh x xteh; the(");
    // The handler may refuse or change the replacement.
    memo.OnAutoReplace = [](TCustomSyntaxMemo&, TEdStream& at, bool& allow, std::string& with,
                            const std::string& keyword) {
        EXPECT_EQ(keyword, "teh");
        EXPECT_EQ(at.Current(), 't');
        with = "THE";
        allow = true;
    };
    memo.SetWholeText("teh");
    memo.SetSelection(3, 3);
    Press(vkReturn, '\r');
    EXPECT_EQ(memo.Text(), "THE\r");
    // Undo takes back the typed break, then the replacement as one step.
    memo.ExecuteCommand(caUNDO);
    memo.ExecuteCommand(caUNDO);
    EXPECT_EQ(memo.Text(), "teh");
}

TEST_F(Macros, TriggerTexts) {
    auto has = [&](uint16_t k) {
        const auto& t = autoReplace.TriggerKeys();
        return std::find(t.begin(), t.end(), k) != t.end();
    };
    EXPECT_EQ(autoReplace.TriggerText(), ";,:.=()[]\\{Return}\\{Tab}\\{Space}");
    EXPECT_TRUE(has(vkOem1) && has(vkOem1 | tkShift) && has('9' | tkShift) && has(vkReturn) &&
                has(vkTab) && has(vkSpace) && has(vkOem4));
    EXPECT_EQ(autoReplace.TriggerKeys().size(), 12u);
    EXPECT_TRUE(autoReplace.IsTrigger(vkOem1, ssShift));
    EXPECT_FALSE(autoReplace.IsTrigger(vkOem1, ssCtrl));

    autoReplace.SetTriggerText("\\n\\r\\s\\t\\:\\{F5}\\{nosuch}aA");
    EXPECT_EQ(autoReplace.TriggerKeys(), (std::vector<uint16_t>{vkReturn, vkSpace, vkTab, vkOem1,
                                                                vkF1 + 4, 0, 'A', 'A' | tkShift}));
    for (const char* bad : {"\\{return", "\\{ret urn}", "x\\{"}) {
        try {
            autoReplace.SetTriggerText(bad);
            ADD_FAILURE() << bad;
        } catch (const ESyntaxMemo& e) {
            EXPECT_EQ(e.MessageId(), msgBadKeySpecifier);
        }
        EXPECT_TRUE(autoReplace.TriggerKeys().empty());
    }
    autoReplace.SetTriggerText("");
    EXPECT_FALSE(autoReplace.IsTrigger(0, 0));
    autoReplace.Clear();
    EXPECT_EQ(autoReplace.TriggerText(), TAutoReplace::kInitialTriggers);

    // The stored form gives a trigger text one length byte: a longer one is refused when it
    // is set, and the triggers in use stay, instead of being cut on saving (perhaps inside
    // a "\{name}") so that the settings no longer load.
    std::string longest;
    while (longest.size() + 8 <= 255)
        longest += "\\{Space}";
    longest.resize(255, ';');
    autoReplace.SetTriggerText(longest);
    for (const std::string& tooLong :
         {longest + ";", std::string(70, ';') + "\\{Return}" + std::string(200, ',')}) {
        EXPECT_THROW(autoReplace.SetTriggerText(tooLong), ESyntaxMemo);
        EXPECT_EQ(autoReplace.TriggerText(), longest);
        EXPECT_TRUE(autoReplace.IsTrigger(vkSpace, 0));
    }
    TMemoryStream saved;
    autoReplace.SaveToStream(saved);
    saved.Seek(0, TSeekOrigin::Begin);
    TAutoReplace loaded;
    loaded.LoadFromStream(saved);
    EXPECT_EQ(loaded.TriggerText(), longest);
}

TEST_F(Macros, ListsGoThroughStreamsWholeOrNotAtAll) {
    templates.AddTemplate("Beg", std::string(300, 'd'), "begin\n|end");
    templates.AddTemplate("x", "", "");
    templates.Trigger = scCtrl | scShift | vkSpace;
    TMemoryStream first;
    templates.SaveToStream(first);
    first.Seek(0, TSeekOrigin::Begin);
    TCodeTemplates loaded;
    loaded.LoadFromStream(first);
    EXPECT_EQ(first.Position(), first.Size());
    ASSERT_EQ(loaded.Entries().size(), 2u);
    EXPECT_EQ(loaded.Entries().at("beg").Expansion, "begin\r|end");
    EXPECT_EQ(loaded.Entries().at("beg").Description, std::string(255, 'd'));
    EXPECT_EQ(loaded.Trigger, scCtrl | scShift | vkSpace);
    TMemoryStream second;
    loaded.SaveToStream(second);
    EXPECT_EQ(second.Data(), first.Data());

    const std::string bytes = first.Data();
    auto refused = [&](std::string data) {
        TFastMemoryStream in(data.data(), static_cast<int64_t>(data.size()));
        try {
            loaded.LoadFromStream(in);
        } catch (const EStreamError&) {
            return loaded.Entries().size() == 2 && loaded.Trigger == templates.Trigger;
        }
        return false;
    };
    for (size_t cut = 0; cut < bytes.size(); cut += 5)
        EXPECT_TRUE(refused(bytes.substr(0, cut))) << cut;
    std::string bad = bytes;
    bad[bad.size() - 4] = 2; // the active flag
    EXPECT_TRUE(refused(bad));
    bad = bytes;
    bad[bad.size() - 5] = 'Q'; // the trigger text "Ctrl+Shift+Space" becomes "...Spacq"
    EXPECT_TRUE(refused(bad));

    // Auto-correct carries its trigger text, checked before anything changes.
    autoReplace.AddReplacement("teh", "the");
    autoReplace.SetTriggerText(";\\{Tab}");
    TMemoryStream a;
    autoReplace.SaveToStream(a);
    TAutoReplace other;
    other.Assign(autoReplace);
    EXPECT_EQ(other.TriggerText(), ";\\{Tab}");
    EXPECT_EQ(other.Entries().count("teh"), 1u);
    std::string broken = a.Data();
    broken.replace(broken.size() - 7, 7, "\\{Tab ");
    TFastMemoryStream in(broken.data(), static_cast<int64_t>(broken.size()));
    EXPECT_THROW(other.LoadFromStream(in), ESyntaxMemo);
    EXPECT_EQ(other.TriggerText(), ";\\{Tab}");
    try {
        templates.Assign(other);
        ADD_FAILURE();
    } catch (const ESyntaxMemo& e) {
        EXPECT_STREQ(e.what(), "Cannot assign TAutoReplace to TCodeTemplates");
    }
    EXPECT_THROW(templates.AddTemplate(std::string(256, 'n'), "", ""), EKeywords);
}

} // namespace
} // namespace kvx
