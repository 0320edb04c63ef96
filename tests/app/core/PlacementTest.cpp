#include "app/core/Placement.h"
#include "TestFiles.h"
#include "app/core/RecentFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kvx {
namespace {

using test::TempDir;
using test::WriteAll;

TEST(RecentFiles, OrderCapacityAndDuplicates) {
    TRecentFiles mru;
    for (int i = 1; i <= 11; ++i)
        mru.Add("/src/f" + std::to_string(i) + ".asm");
    ASSERT_EQ(mru.Names().size(), 10u);
    EXPECT_EQ(mru.Names().front(), "/src/f11.asm");
    EXPECT_EQ(mru.Names().back(), "/src/f2.asm"); // f1 fell off the end

    mru.Add("/src/f9.asm"); // third in the list: moves to the top, no copy
    EXPECT_EQ(mru.Names()[0], "/src/f9.asm");
    EXPECT_EQ(mru.Names()[1], "/src/f11.asm");
    EXPECT_EQ(std::count(mru.Names().begin(), mru.Names().end(), "/src/f9.asm"), 1);
    EXPECT_EQ(mru.Names().size(), 10u);

    mru.Add("/src/F9.asm"); // another file on a case-sensitive file system
    EXPECT_EQ(mru.Names()[0], "/src/F9.asm");
    EXPECT_EQ(mru.Names()[1], "/src/f9.asm");

    mru.Add("");
    mru.Add("/src/a\nb.asm"); // cannot be stored, so it is not listed either
    mru.Add("/" + std::string(TRecentFiles::kMaxNameLength, 'x')); // longer than any path
    EXPECT_EQ(mru.Names()[0], "/src/F9.asm");
}

TEST(RecentFiles, MenuCaptions) {
    EXPECT_EQ(RecentItemCaption(0, "/src/a.asm"), "&1\t/src/a.asm");
    EXPECT_EQ(RecentItemCaption(8, "/b"), "&9\t/b");
    EXPECT_EQ(RecentItemCaption(9, "/c"), "&A\t/c");
    EXPECT_EQ(RecentItemCaption(1, "/R&D/x.c"), "&2\t/R&&D/x.c");
}

TEST(RecentFiles, StoredListRoundTripsAndDamageIsDropped) {
    TempDir dir;
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    TIniFile ini = TIniFile::FromText("[TMainForm.MRU]\n"
                                      "Item_0=/src/newest.asm\n"
                                      "Item_1=\n"
                                      "Item_2=/src/newest.asm\n" // a repeat: listed once
                                      "Item_3=" +
                                      fifo +
                                      "\n"                       // never opened: would block
                                      "Item_4=/gone/missing.c\n" // may come back: kept
                                      "Item_5=" +
                                      dir.Path().string() +
                                      "\n" // a folder
                                      "Item_10=/beyond/capacity\n"
                                      "item_9=/src/oldest.pas\n");
    TRecentFiles mru;
    mru.Load(ini);
    EXPECT_EQ(mru.Names(),
              (std::vector<std::string>{"/src/newest.asm", "/gone/missing.c", "/src/oldest.pas"}));
    mru.Add("/src/saved.c");
    mru.Store(ini);
    EXPECT_EQ(ini.Text(), "[TMainForm.MRU]\n"
                          "Item_0=/src/saved.c\n"
                          "Item_1=/src/newest.asm\n"
                          "Item_2=/gone/missing.c\n"
                          "Item_3=/src/oldest.pas\n");
    TRecentFiles back;
    back.Load(ini);
    EXPECT_EQ(back.Names(), mru.Names());
    TRecentFiles none;
    none.Load(TIniFile{});
    EXPECT_TRUE(none.Empty());
}

TEST(Placement, KeysAreWrittenTwiceAndReadPerScreen) {
    TIniFile ini;
    TPlacement p;
    p.Flags = 0;
    p.ShowCmd = 1;
    p.MinMaxPos = {-1, -1, -8, -31};
    p.NormPos = {100, 50, 709, 423};
    WritePlacement(ini, p, 1024, 768, false);
    WriteShellSettings(ini, " 12 ", "1");
    EXPECT_EQ(ini.Text(), "[Params]\n"
                          "Flags=0\n"
                          "ShowCmd=1\n"
                          "MinMaxPos(1024x768)=-1,-1,-8,-31\n"
                          "MinMaxPos=-1,-1,-8,-31\n"
                          "NormPos(1024x768)=100,50,709,423\n"
                          "NormPos=100,50,709,423\n"
                          "Visible=0\n"
                          "Label3_Caption=12\n"
                          "Label4_Caption=1\n");

    TStoredPlacement same = ReadPlacement(ini, 1024, 768);
    EXPECT_EQ(same.Flags, 0);
    EXPECT_EQ(same.ShowCmd, 1);
    EXPECT_EQ(same.MinMaxPos, p.MinMaxPos);
    EXPECT_EQ(same.NormPos, p.NormPos);

    // Another resolution, seen before, has its own keys; a new one falls back to the plain
    // keys, which always hold the last placement written.
    ini.WriteString("Params", "NormPos(1920x1080)", "10,20,1010,720");
    EXPECT_EQ(ReadPlacement(ini, 1920, 1080).NormPos, (TRect{10, 20, 1010, 720}));
    EXPECT_EQ(ReadPlacement(ini, 1280, 800).NormPos, p.NormPos);
    // A damaged suffixed value falls back too.
    ini.WriteString("Params", "NormPos(1920x1080)", "10,20");
    EXPECT_EQ(ReadPlacement(ini, 1920, 1080).NormPos, p.NormPos);

    test::ScopedEnv config("XDG_CONFIG_HOME", "/tmp/cfg");
    EXPECT_EQ(PlacementIniFile(), "/tmp/cfg/kovex/kvxl.ini");

    const TShellSettings s = ReadShellSettings(ini);
    EXPECT_EQ(s.FontSizeText, "12");
    EXPECT_EQ(s.FontIndex, 2);
    EXPECT_TRUE(s.DocumentsMaximized);
}

TEST(Placement, DamagedOrMissingValues) {
    const std::pair<const char*, std::optional<std::array<int, 4>>> fours[] = {
        {"1,2,3,4", std::array{1, 2, 3, 4}},
        {" 1 , -2 ,3, 4 ", std::array{1, -2, 3, 4}},
        {"1,2,3", std::nullopt},
        {"1,2,3,4,5", std::nullopt},
        {"1,2,,4", std::nullopt},
        {"1,2,3,x", std::nullopt},
        {"", std::nullopt},
        {"1,2,3,99999999999", std::nullopt},
    };
    for (const auto& [text, expected] : fours)
        EXPECT_EQ(ParseFourInts(text), expected) << text;

    const TIniFile empty;
    const TStoredPlacement none = ReadPlacement(empty, 800, 600);
    EXPECT_FALSE(none.Flags || none.ShowCmd || none.MinMaxPos || none.NormPos);
    // No file at all: the frame opens maximized, font size 10, documents normal.
    EXPECT_EQ(ShowStateFromCommand(none.ShowCmd), TShowState::Maximized);
    const TShellSettings s = ReadShellSettings(empty);
    EXPECT_EQ(s.FontSizeText, "10");
    EXPECT_EQ(s.FontIndex, 1);
    EXPECT_EQ(s.MaximizedText, "0");
    EXPECT_FALSE(s.DocumentsMaximized);

    const std::pair<int, TShowState> commands[] = {
        {1, TShowState::Normal},    {5, TShowState::Normal},    {9, TShowState::Normal},
        {2, TShowState::Minimized}, {6, TShowState::Minimized}, {7, TShowState::Minimized},
        {3, TShowState::Maximized}, {0, TShowState::Maximized}, {-4, TShowState::Maximized},
        {4, TShowState::Maximized}};
    for (const auto& [cmd, state] : commands)
        EXPECT_EQ(ShowStateFromCommand(cmd), state) << cmd;
    for (TShowState st : {TShowState::Normal, TShowState::Minimized, TShowState::Maximized})
        EXPECT_EQ(ShowStateFromCommand(ShowCommandFor(st)), st);

    // The font size and the open-maximized switch as a user may have left them.
    const std::tuple<const char*, const char*, int, const char*> sizes[] = {
        {"10", "10", 1, "0"},
        {"", "10", 1, "0"},
        {"abc", "10", 1, "0"},
        {"7", "7", 0, "0"},
        {"6", "6", -1, "0"},
        {"20", "20", 6, "0"},
        {"22", "22", -1, "0"},
        {"-100", "-100", -1, "0"},
        {"2147483647", "2147483647", -1, "0"},
        {"99999999999", "10", 1, "0"}};
    for (const auto& [stored, text, index, max] : sizes) {
        TIniFile ini;
        if (*stored)
            ini.WriteString("Params", "Label3_Caption", stored);
        ini.WriteString("Params", "Label4_Caption", "2"); // neither 0 nor 1: reads as 0
        const TShellSettings r = ReadShellSettings(ini);
        EXPECT_EQ(r.FontSizeText, text) << stored;
        EXPECT_EQ(r.FontIndex, index) << stored;
        EXPECT_EQ(r.MaximizedText, max) << stored;
    }
    EXPECT_EQ(FontSizeIndex(INT32_MIN), -1);
}

TEST(Placement, RectanglesOffEveryScreenAreNotRestored) {
    const TRect screens[] = {{0, 0, 1920, 1080}, {1920, 200, 3200, 1224}};
    const std::pair<TRect, bool> cases[] = {
        {{100, 100, 700, 500}, true},      {{2000, 300, 2600, 700}, true}, // on the second screen
        {{1800, 300, 2400, 700}, true},                                    // straddles both screens
        {{-550, 100, 50, 500}, true},      // only 50 pixels on screen: still reachable
        {{-600, 100, 40, 500}, false},     // 40 pixels: not enough to take hold of
        {{100, -20, 700, 500}, false},     // title bar above every screen
        {{1950, 100, 2600, 500}, false},   // above the second screen, right of the first
        {{5000, 5000, 5600, 5400}, false}, // a monitor that is gone
        {{100, 1079, 700, 1500}, true},    // title bar at the bottom edge
        {{100, 1080, 700, 1500}, false},
    };
    for (const auto& [rect, on] : cases)
        EXPECT_EQ(IsOnScreen(rect, screens), on)
            << rect.Left << "," << rect.Top << "," << rect.Right << "," << rect.Bottom;

    TStoredPlacement stored;
    EXPECT_FALSE(RestorableRect(stored, screens));
    stored.NormPos = TRect{100, 100, 700, 500};
    EXPECT_EQ(RestorableRect(stored, screens), stored.NormPos);
    stored.NormPos = TRect{700, 100, 100, 500}; // left not less than right
    EXPECT_FALSE(RestorableRect(stored, screens));
    stored.NormPos = TRect{100, 500, 700, 500}; // no height
    EXPECT_FALSE(RestorableRect(stored, screens));
    stored.NormPos = TRect{0, 0, INT32_MAX, INT32_MAX}; // absurd, and no overflow either
    EXPECT_FALSE(RestorableRect(stored, screens));
    stored.NormPos = TRect{INT32_MIN, 0, 100, 500};
    EXPECT_FALSE(RestorableRect(stored, screens));
    EXPECT_FALSE(IsOnScreen({100, 100, 700, 500}, {})); // no screens: nothing restored
}

} // namespace
} // namespace kvx
