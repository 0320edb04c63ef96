#include "editor/UndoStack.h"
#include "support/StoreInvariants.h"

#include <gtest/gtest.h>

#include <string>

namespace kvx {
namespace {

TEST(UndoStack, CursorPushDiscardsRedoAndUnderflows) {
    TUndoStack s;
    EXPECT_THROW(s.StepDown(), ESyntaxMemo);
    EXPECT_THROW(s.StepUp(), ESyntaxMemo);
    EXPECT_THROW(s.Pop(), ESyntaxMemo);
    s.PushReplacement(0, 0, "", "a", 1, 1);
    s.PushReplacement(1, 1, "", "b", 2, 2);
    EXPECT_EQ(s.Count(), 12);
    EXPECT_TRUE(s.AtTop());
    for (int i = 0; i < 6; ++i)
        s.StepDown();
    EXPECT_EQ(s.Count(), 6);
    EXPECT_TRUE(s.CanRedo());
    s.PushReplacement(1, 1, "", "c", 2, 2); // a new edit drops what could be redone
    EXPECT_FALSE(s.CanRedo());
    EXPECT_EQ(s.Size(), 12);
    try {
        s.StepUp();
        FAIL();
    } catch (const ESyntaxMemo& e) {
        EXPECT_EQ(e.MessageId(), msgStackUnderflow);
        EXPECT_STREQ(e.what(), "Stack underflow");
    }
}

TEST(UndoStack, GroupsNestByAbsorption) {
    TUndoStack s;
    EXPECT_TRUE(s.BeginGroup(15, 0, 3));
    EXPECT_FALSE(s.BeginGroup(22, 0, 3)); // the inner command joins the outer group
    EXPECT_FALSE(s.EndGroup(22, 0, 0));
    EXPECT_TRUE(s.GroupOpen());
    s.PushReplacement(0, 3, "abc", "", 0, 0);
    EXPECT_TRUE(s.EndGroup(15, 0, 0));
    EXPECT_FALSE(s.GroupOpen());
    EXPECT_EQ(s.Size(), 12);

    // A group that recorded nothing leaves no undo step behind.
    EXPECT_TRUE(s.BeginGroup(14, 0, 0));
    EXPECT_TRUE(s.EndGroup(14, 0, 0));
    EXPECT_EQ(s.Size(), 12);
    EXPECT_FALSE(s.GroupOpen());
}

TEST(UndoStack, TrimsWholeBracketsAndStops) {
    TUndoStack s;
    s.SetBudget(10 * TUndoStack::EntryOverhead);
    for (int i = 0; i < 5; ++i)
        s.PushReplacement(i, i, "", "x", i + 1, i + 1);
    // Only whole six-record brackets go, and the byte total ends within the budget.
    EXPECT_EQ(s.Size() % 6, 0);
    EXPECT_LE(s.ByteTotal(), s.Budget());
    EXPECT_EQ(s.Count(), s.Size());

    // A single bracket larger than the whole budget empties the log instead of looping.
    TUndoStack tiny;
    tiny.SetBudget(1);
    tiny.PushReplacement(0, 0, "", std::string(100, 'y'), 100, 100);
    EXPECT_EQ(tiny.Size(), 0);
    EXPECT_EQ(tiny.Count(), 0);
    EXPECT_EQ(tiny.ByteTotal(), 0);
}

TEST(UndoStack, SavePointDecidesModified) {
    TUndoStack s;
    EXPECT_FALSE(s.Modified());
    s.PushReplacement(0, 0, "", "a", 1, 1);
    EXPECT_TRUE(s.Modified());
    s.MarkSaved();
    EXPECT_FALSE(s.Modified());
    EXPECT_TRUE(s.CanUndo()); // saving keeps the history
    for (int i = 0; i < 6; ++i)
        s.StepDown();
    EXPECT_TRUE(s.Modified()); // undone past the save
    for (int i = 0; i < 6; ++i)
        s.StepUp();
    EXPECT_FALSE(s.Modified()); // and back at it

    // Undo past the save point, then edit: the saved state cannot come back.
    for (int i = 0; i < 6; ++i)
        s.StepDown();
    s.PushReplacement(0, 0, "", "b", 1, 1);
    for (int i = 0; i < 6; ++i)
        s.StepDown();
    EXPECT_TRUE(s.Modified());

    // Emptying the log of a modified document keeps it modified; the explicit form does not.
    s.Clear();
    EXPECT_TRUE(s.Modified());
    EXPECT_FALSE(s.CanUndo());
    s.ClearAndMarkSaved();
    EXPECT_FALSE(s.Modified());

    // Trimming below the save point does not make an edited document look saved.
    TUndoStack t;
    t.SetBudget(20 * TUndoStack::EntryOverhead);
    t.PushReplacement(0, 0, "", "a", 1, 1);
    t.MarkSaved();
    for (int i = 0; i < 6; ++i)
        t.PushReplacement(i, i, "", "b", i + 1, i + 1);
    EXPECT_TRUE(t.Modified());
}

// Commands record groups of replacements of every size while the budget forces trimming
// at every push. Whatever the budget, the log must stay a list of whole undo steps: no
// group loses its begin boundary, no closing of a group eats records of the replacement
// just pushed, and the newest command is either undoable as a whole or gone as a whole.
TEST(UndoStack, GroupsAndTrimmingKeepTheLogWholeUnderAnyBudget) {
    for (int32_t budget = 0; budget <= 60 * TUndoStack::EntryOverhead; budget += 7) {
        SCOPED_TRACE("budget " + std::to_string(budget));
        TUndoStack s;
        s.SetBudget(budget);
        int32_t lastGroup = 0;
        for (int command = 0; command < 40; ++command) {
            const int32_t code = 12 + command % 9;
            const int replacements = command % 4; // an empty group leaves nothing
            const bool grouped = command % 5 != 4;
            const int32_t before = s.Count();
            if (grouped)
                s.BeginGroup(code, command, command);
            for (int k = 0; k < replacements; ++k) {
                s.PushReplacement(k, k, "", std::string(size_t(1 + (command * 7 + k) % 23), 'r'),
                                  k + 1, k + 1);
                ASSERT_EQ(test::CheckUndoLog(s), "") << "command " << command;
            }
            if (grouped)
                s.EndGroup(code, command + 1, command + 1);
            ASSERT_EQ(test::CheckUndoLog(s), "") << "command " << command;
            ASSERT_FALSE(s.GroupOpen());
            EXPECT_LE(s.ByteTotal(), budget);
            lastGroup = grouped && replacements > 0 ? code : 0;
            // The top step is the whole command just recorded, or the log lost it whole.
            if (s.Count() == 0 || replacements == 0)
                continue;
            const int32_t records = grouped ? 6 * replacements + 6 : 6;
            if (grouped) {
                const TUndoRecord& end = s.StepDown();
                EXPECT_EQ(end.A, lastGroup);
                EXPECT_EQ(end.B, TUndoRecord::GroupEnd);
                for (int i = 1; i < records; ++i)
                    s.StepDown();
                // What is below the step is a step boundary too.
                EXPECT_LE(s.Count(), before);
                for (int i = 0; i < records; ++i)
                    s.StepUp();
            }
        }
    }
}

} // namespace
} // namespace kvx
