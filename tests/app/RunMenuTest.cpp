#include "app/RunMenu.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

namespace kvx {
namespace {

TEST(RunMenu, CaptionsShortcutsAndEnabling) {
    TToolTable tools;
    tools[1].Program = "nasm";
    tools[2] = {"R&D", "make", ""};
    tools[3] = {"empty", "make", ""};
    tools[4] = {"NoProgram", "", ""};

    struct TExpect {
        const char* Caption;
        const char* Shortcut;
        bool EnabledWithDocument;
    };
    const TExpect expected[] = {{"Compile", "F9", true},
                                {"R&&D", "Ctrl+F9", true},
                                {"empty", "Shift+F9", false},
                                {"NoProgram", "Alt+F9", false},
                                {"empty", "Ctrl+Shift+F9", false}};
    QMenu menu(QStringLiteral("&Run"));
    std::vector<int> ran;
    for (bool documentOpen : {false, true}) {
        BuildRunMenu(menu, tools, documentOpen, [&](int n) { ran.push_back(n); });
        EXPECT_EQ(menu.menuAction()->isEnabled(), documentOpen);
        ASSERT_EQ(menu.actions().size(), 5) << "rebuilding adds nothing";
        for (int n = 1; n <= 5; ++n) {
            QAction* a = RunMenuAction(menu, n);
            ASSERT_NE(a, nullptr);
            EXPECT_EQ(a->objectName(), QStringLiteral("T%1").arg(n));
            EXPECT_EQ(a->text(), expected[n - 1].Caption);
            EXPECT_EQ(a->shortcut().toString(QKeySequence::PortableText), expected[n - 1].Shortcut);
            EXPECT_EQ(a->isEnabled(), documentOpen && expected[n - 1].EnabledWithDocument) << n;
            EXPECT_EQ(a->data().toInt(), n);
        }
        EXPECT_EQ(RunButtonEnabled(tools, documentOpen), documentOpen);
    }
    RunMenuAction(menu, 2)->trigger();
    RunMenuAction(menu, 1)->trigger();
    EXPECT_EQ(ran, (std::vector<int>{2, 1})); // once each: the rebuild replaced the callback

    // After the tools dialog: new captions in the same actions.
    QAction* before = RunMenuAction(menu, 3);
    tools[3] = {"Link", "ld", ""};
    tools[1].Program.clear();
    BuildRunMenu(menu, tools, true, [&](int n) { ran.push_back(10 + n); });
    EXPECT_EQ(RunMenuAction(menu, 3), before);
    EXPECT_EQ(before->text(), "Link");
    EXPECT_TRUE(before->isEnabled());
    EXPECT_FALSE(RunMenuAction(menu, 1)->isEnabled());
    EXPECT_FALSE(RunButtonEnabled(tools, true));
    before->trigger();
    EXPECT_EQ(ran.back(), 13);
}

} // namespace
} // namespace kvx
