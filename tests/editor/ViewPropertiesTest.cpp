// The control's view properties with their initial values and rules, the option word read
// and written through the option set, the six language slots, and range marks as the text
// is edited around them.
#include "editor/Settings.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace kvx {
namespace {

class ViewProperties : public ::testing::Test {
  protected:
    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};
};

TEST_F(ViewProperties, InitialValuesAndRules) {
    platform.charWidth = 4;
    platform.clientWidth = 400;
    struct TCase {
        const char* name;
        int initial;
        std::function<int()> get;
        std::function<void(int)> set;
        std::vector<int> taken;
        std::vector<int> refused;
    };
    const TCase cases[] = {
        // 0, or 34 and more while the share of the client width in whole percent is 20 at
        // most: 83 is 20.75 % of 400, 84 is 21 %.
        {"Gutter",
         34,
         [&] { return memo.Gutter(); },
         [&](int v) { memo.SetGutter(v); },
         {0, 34, 83},
         {1, 33, 84, -5}},
        {"Margin",
         2,
         [&] { return memo.Margin(); },
         [&](int v) { memo.SetMargin(v); },
         {0, 4},
         {5, -1}},
        {"RightMargin",
         80,
         [&] { return memo.RightMargin(); },
         [&](int v) { memo.SetRightMargin(v); },
         {0, 120},
         {}},
        {"MarginColor",
         0xFFFFFF,
         [&] { return memo.MarginColor(); },
         [&](int v) { memo.SetMarginColor(v); },
         {0x123456},
         {}},
        {"GutterColor",
         clBtnFace,
         [&] { return memo.GutterColor(); },
         [&](int v) { memo.SetGutterColor(v); },
         {0x00FF00},
         {}},
        {"SelTextColor",
         platform.SystemColorValue(scxHighlightText),
         [&] { return memo.SelTextColor(); },
         [&](int v) { memo.SetSelTextColor(v); },
         {1},
         {}},
        {"SelTextBack",
         platform.SystemColorValue(scxHighlight),
         [&] { return memo.SelTextBack(); },
         [&](int v) { memo.SetSelTextBack(v); },
         {2},
         {}},
        {"def_TextColor",
         0,
         [&] { return memo.def_TextColor(); },
         [&](int v) { memo.SetDef_TextColor(v); },
         {0x0000FF},
         {}},
        {"def_BackColor",
         0xFFFFFF,
         [&] { return memo.def_BackColor(); },
         [&](int v) { memo.SetDef_BackColor(v); },
         {0x000080},
         {}},
        {"def_FontStyle",
         0,
         [&] { return int(memo.def_FontStyle()); },
         [&](int v) { memo.SetDef_FontStyle(uint8_t(v)); },
         {1, 15},
         {16, 255}},
        {"FontSize",
         10,
         [&] { return memo.FontSize(); },
         [&](int v) { memo.SetFont("DejaVu Sans Mono", v); },
         {1, 200},
         {0, -3, 201}},
        {"WrapAtColumn",
         0,
         [&] { return memo.WrapAtColumn(); },
         [&](int v) { memo.SetWrapAtColumn(v); },
         {1, 65535},
         {-1, 65536}},
        {"TabDefault",
         4,
         [&] { return memo.TabDefault(); },
         [&](int v) {
             try {
                 memo.SetTabDefault(v);
             } catch (const ESyntaxMemo&) {
             }
         },
         {1, 256},
         {0, 257}},
        {"IndentStep",
         1,
         [&] { return memo.IndentStep(); },
         [&](int v) { memo.SetIndentStep(v); },
         {19},
         {0, 20}},
        {"HideSelection",
         1,
         [&] { return int(memo.HideSelection()); },
         [&](int v) { memo.SetHideSelection(v != 0); },
         {0},
         {}},
        {"ShowFocusLine",
         0,
         [&] { return int(memo.ShowFocusLine()); },
         [&](int v) { memo.SetShowFocusLine(v != 0); },
         {1},
         {}},
        {"HyperCursor",
         0,
         [&] { return memo.HyperCursor(); },
         [&](int v) { memo.SetHyperCursor(v); },
         {3},
         {}},
        {"BorderStyle",
         bsSingle,
         [&] { return int(memo.BorderStyle()); },
         [&](int v) { memo.SetBorderStyle(TBorderStyle(v)); },
         {bsNone},
         {7}},
        {"ScrollBars",
         ssBoth,
         [&] { return int(memo.ScrollBars()); },
         [&](int v) { memo.SetScrollBars(TScrollStyle(v)); },
         {ssNone, ssVertical},
         {-1, 4}},
        {"FlatScrollBars",
         0,
         [&] { return int(memo.FlatScrollBars()); },
         [&](int v) { memo.SetFlatScrollBars(v != 0); },
         {1},
         {}},
        {"FlatScrollBarStyle",
         fssFLAT,
         [&] { return int(memo.FlatScrollBarStyle()); },
         [&](int v) { memo.SetFlatScrollBarStyle(TFlatScrollBarStyle(v)); },
         {fssEncarta},
         {3}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.get(), c.initial);
        for (int v : c.taken) {
            platform.invalidated.clear();
            c.set(v);
            EXPECT_EQ(c.get(), v);
            // Everything the painting depends on is repainted.
            if (std::string(c.name) != "HyperCursor" && std::string(c.name) != "IndentStep") {
                EXPECT_FALSE(platform.invalidated.empty());
            }
            // Setting the same value again changes nothing and repaints nothing.
            platform.invalidated.clear();
            c.set(v);
            EXPECT_TRUE(platform.invalidated.empty());
        }
        const int kept = c.get();
        for (int v : c.refused) {
            c.set(v);
            EXPECT_EQ(c.get(), kept) << "value " << v;
        }
    }
    // Without a window the gutter keeps its width whatever is asked.
    platform.clientWidth = 0;
    memo.SetGutter(40);
    EXPECT_EQ(memo.Gutter(), 83);
    // The font and the gutter font live in the settings in use.
    EXPECT_EQ(memo.FontName(), "DejaVu Sans Mono");
    TGutterFont font = memo.GutterFont();
    font.Size = 9;
    memo.SetGutterFont(font);
    EXPECT_EQ(memo.Settings().GutterFont.Size, 9);
    font.Style = 16;
    memo.SetGutterFont(font);
    EXPECT_EQ(memo.Settings().GutterFont.Style, 0);
}

TEST_F(ViewProperties, WidthsAreClampedWhereTheyAreUsed) {
    platform.clientWidth = 400;
    platform.charWidth = 8;
    EXPECT_EQ(memo.TextLeft(), 34 + 2);
    // A stored form or a script can carry anything; the view draws what fits.
    memo.Settings().Gutter = 5000;
    memo.Settings().Margin = 50;
    EXPECT_EQ(memo.GutterWidth(), 83);
    EXPECT_EQ(memo.MarginWidth(), 8);
    memo.Settings().Gutter = -7;
    memo.Settings().Margin = -2;
    EXPECT_EQ(memo.TextLeft(), 0);
    // A hidden gutter takes no room, whatever its width.
    memo.Settings().Gutter = 34;
    memo.SetOptions(memo.Options().Exclude(smoShowGutter));
    EXPECT_EQ(memo.TextLeft(), 0);
}

TEST_F(ViewProperties, OptionWordBothWays) {
    const TSyntaxMemoOptions options = memo.Options();
    int set = 0;
    for (int i = 0; i < smoCount; ++i)
        set += options.Has(TSyntaxMemoOption(i)) ? 1 : 0;
    EXPECT_EQ(set, 20);
    for (TSyntaxMemoOption off :
         {smoWordWrap, smoWrapOverride, smoCaretAfterEOL, smoLineNumbers, smoShowAllChars})
        EXPECT_FALSE(options.Has(off));
    EXPECT_EQ(memo.OptionWord(), 0x3FFDBF0u);
    EXPECT_EQ(memo.Settings().OptionWord, 0x3FFDBF0);

    // Each member lands on its own bit of the word and reads back as itself alone.
    const uint32_t bits[smoCount] = {4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                                     17, 18, 19, 20, 21, 22, 23, 24, 25, 27, 0,  26};
    for (int i = 0; i < smoCount; ++i) {
        const auto o = TSyntaxMemoOption(i);
        memo.SetOptions(TSyntaxMemoOptions().Include(o));
        EXPECT_EQ(memo.OptionWord(), 1u << bits[i]) << i;
        memo.SetOptionWord(1u << bits[i]);
        EXPECT_EQ(memo.Options(), TSyntaxMemoOptions().Include(o)) << i;
    }
    // Bits that belong to no member survive a write of the set.
    memo.SetOptionWord(0xF000000Eu);
    memo.SetOptions(TSyntaxMemoOptions().Include(smoLineNumbers));
    EXPECT_EQ(memo.OptionWord(), 0xF000000Fu);

    // Word wrap goes through the option request: bit 10, back to column 0.
    memo.SetFirstColumn(5);
    memo.SetWordWrap(true);
    EXPECT_EQ(memo.OptionWord() & (1u << 10), 1u << 10);
    EXPECT_EQ(memo.FirstColumn(), 0);
    // Request 3073 without a repaint when asked (rows re-cut are repainted in any case).
    memo.SetWordWrap(false);
    platform.invalidated.clear();
    memo.Perform(3073, 3, 0x10);
    EXPECT_EQ(memo.OptionWord(), 0x10u);
    EXPECT_TRUE(platform.invalidated.empty());
    memo.Perform(3073, 1, 0x30);
    EXPECT_FALSE(platform.invalidated.empty());
    EXPECT_EQ(memo.Perform(3073, 0, 0), 0x30);
}

// A highlighter that only answers for its settings and counts what it is asked.
class TFakeLanguage : public THighlighter {
  public:
    ~TFakeLanguage() override {
        for (TCustomSyntaxMemo* m : std::vector<TCustomSyntaxMemo*>(held))
            m->HighlighterGone(this);
    }
    void Rehighlight(TCustomSyntaxMemo& memo) override {
        ++passes;
        memo.ForgetRescan();
    }
    void Attach(TCustomSyntaxMemo& memo) override {
        if (std::find(held.begin(), held.end(), &memo) == held.end())
            held.push_back(&memo);
    }
    void Detach(TCustomSyntaxMemo& memo) override { std::erase(held, &memo); }
    TSM_Settings* LanguageSettings() override { return &settings; }
    TSM_Settings settings;
    std::vector<TCustomSyntaxMemo*> held;
    int passes = 0;
};

TEST_F(ViewProperties, LanguagesLendTheirSettings) {
    memo.SetWholeText("\tx\r");
    TFakeLanguage asm_, pascal;
    asm_.settings.TabDefault = 8;
    asm_.settings.OptionWord = static_cast<int32_t>(DefaultOptionWord | 1u); // line numbers
    asm_.settings.Templates().AddTemplate("beg", "", "begin");
    pascal.settings.IndentStep = 3;
    pascal.settings.KeyMap().Keys().Clear();
    pascal.settings.KeyMap().Keys().Bind(scCtrl | 'W', 0, caDOCEND);

    EXPECT_EQ(memo.ActiveParser(), 1);
    EXPECT_THROW(memo.SetParser(0, &asm_), ESyntaxMemo);
    EXPECT_THROW(memo.SetActiveParser(7), ESyntaxMemo);
    try {
        memo.SetActiveParser(-1);
    } catch (const ESyntaxMemo& e) {
        EXPECT_STREQ(e.what(), "Parser index out of range");
    }

    memo.SetParser(1, &asm_);
    memo.SetParser(3, &pascal);
    EXPECT_EQ(memo.Highlighter(), &asm_);
    EXPECT_EQ(&memo.Settings(), &asm_.settings);
    EXPECT_EQ(memo.TabDefault(), 8);
    EXPECT_EQ(memo.ColumnOf(1), 8);
    EXPECT_TRUE(memo.HasOption(smoLineNumbers));
    EXPECT_GT(asm_.passes, 0); // highlighted afresh
    // The language's templates answer its key.
    memo.SetSelection(3, 3);
    memo.KeyChar(U'b'), memo.KeyChar(U'e'), memo.KeyChar(U'g');
    EXPECT_TRUE(memo.KeyDown('J', ssCtrl));
    EXPECT_EQ(memo.Text(), "\tx\rbegin");

    // Switching takes the other language's options, tabs, step and key map with it...
    memo.SetActiveParser(3);
    EXPECT_EQ(memo.Highlighter(), &pascal);
    EXPECT_EQ(memo.TabDefault(), 4);
    EXPECT_EQ(memo.IndentStep(), 3);
    EXPECT_FALSE(memo.HasOption(smoLineNumbers));
    memo.SetSelection(0, 0);
    EXPECT_TRUE(memo.KeyDown('W', ssCtrl));
    EXPECT_EQ(memo.Selection().Caret, memo.TextLength());
    EXPECT_FALSE(memo.KeyDown(vkEnd, 0)); // not bound in this language
    // ...and a property set now stays with that language.
    memo.SetRightMargin(60);
    EXPECT_EQ(pascal.settings.RightMargin, 60);
    EXPECT_EQ(asm_.settings.RightMargin, 80);
    // An empty slot: the control's own settings and no highlighting.
    memo.SetActiveParser(2);
    EXPECT_EQ(memo.Highlighter(), nullptr);
    EXPECT_EQ(&memo.Settings(), &memo.OwnSettings());
    EXPECT_EQ(memo.TabDefault(), 4);
    // Both parsers are still held by their slots; one that goes away leaves them.
    EXPECT_EQ(asm_.held.size(), 1u);
    memo.SetActiveParser(1);
    {
        TFakeLanguage passing;
        memo.SetParser(1, &passing);
        EXPECT_TRUE(asm_.held.empty()); // no slot holds it any more
    }
    EXPECT_EQ(memo.Parser(1), nullptr);
    EXPECT_EQ(memo.Highlighter(), nullptr);
    EXPECT_EQ(&memo.Settings(), &memo.OwnSettings());
}

TEST_F(ViewProperties, RangeMarksFollowTheText) {
    memo.SetWholeText("0123456789abcdef");
    std::vector<uint32_t> changed, freed;
    memo.OnMarkChange = [&](TCustomSyntaxMemo&, uint32_t h) { changed.push_back(h); };
    memo.OnMarkFree = [&](TCustomSyntaxMemo&, uint32_t h) { freed.push_back(h); };
    const uint32_t a = memo.AddMark(2, 3, 7);  // [2, 5)
    const uint32_t b = memo.AddMark(10, 4, 8); // [10, 14)
    const uint32_t c = memo.AddMark(6, 1, 9);  // [6, 7)
    auto range = [&](uint32_t h) {
        const TRangeMark* m = memo.Marks().Find(h);
        return m ? std::make_pair(m->Start, m->End) : std::make_pair(-1, -1);
    };
    TRangeMark found;
    ASSERT_TRUE(memo.FindMark(5, 5, found)); // touching counts, ends included
    EXPECT_EQ(found.Handle, a);
    EXPECT_EQ(found.User, 7);
    EXPECT_FALSE(memo.FindMark(15, 16, found));

    // Typing before a mark moves it; inside widens it; right after it leaves it alone.
    memo.SetSelection(0, 0);
    memo.KeyChar(U'x');
    EXPECT_EQ(range(a), std::make_pair(3, 6));
    memo.SetSelection(4, 4);
    memo.KeyChar(U'y');
    EXPECT_EQ(range(a), std::make_pair(3, 7));
    memo.SetSelection(7, 7);
    memo.KeyChar(U'z');
    EXPECT_EQ(range(a), std::make_pair(3, 7));
    EXPECT_EQ(range(c), std::make_pair(9, 10));
    EXPECT_TRUE(changed.empty());

    // A deletion that swallows a mark frees it; one that overlaps shortens it.
    memo.SetSelection(8, 11); // covers c [9, 10)
    memo.DeleteSelection();
    EXPECT_EQ(freed, std::vector<uint32_t>{c});
    EXPECT_EQ(range(c), std::make_pair(-1, -1));
    EXPECT_EQ(range(b), std::make_pair(10, 14));
    memo.SetSelection(12, 16);
    memo.DeleteSelection();
    EXPECT_EQ(range(b), std::make_pair(10, 12));
    EXPECT_EQ(changed, std::vector<uint32_t>{b});

    // Moving an end past the other swaps them.
    EXPECT_TRUE(memo.MoveMarkEnd(a, 1));
    EXPECT_EQ(range(a), std::make_pair(1, 3));
    EXPECT_TRUE(memo.MoveMarkStart(a, 5));
    EXPECT_EQ(range(a), std::make_pair(3, 5));
    EXPECT_FALSE(memo.MoveMarkStart(c, 1));
    // A new document takes the marks with the old one.
    freed.clear();
    memo.Clear();
    EXPECT_EQ(freed.size(), 2u);
    EXPECT_TRUE(memo.Marks().Empty());
}

} // namespace
} // namespace kvx
