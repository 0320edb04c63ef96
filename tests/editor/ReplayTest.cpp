// Undo and redo when something else fails on the way: a text-change handler, the
// highlighting between the steps of a group, or the text store itself. The history must
// survive what is not the log's own fault, and the log must keep matching the text.
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"
#include "support/StoreInvariants.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

namespace kvx {
namespace {

// A highlighter that fails on demand.
class TFailingHighlighter : public THighlighter {
  public:
    void Rehighlight(TCustomSyntaxMemo&) override {
        ++passes;
        if (fail)
            throw std::runtime_error("highlighting failed");
    }
    void Attach(TCustomSyntaxMemo&) override {}
    void Detach(TCustomSyntaxMemo&) override {}
    bool fail = false;
    int passes = 0;
};

// A control whose text store fails after it changed the text, as a store that runs out of
// memory while re-cutting rows would.
class TFailingStoreMemo : public TCustomSyntaxMemo {
  public:
    using TCustomSyntaxMemo::TCustomSyntaxMemo;
    bool fail = false;
    void RewrapAfterEdit(TLineNode*, TLineNode*) override {
        if (fail)
            throw std::bad_alloc();
    }
};

class Replay : public ::testing::Test {
  protected:
    test::TFakePlatform platform;
    TFailingStoreMemo memo{&platform};
    std::string Text() { return memo.Text(); }
    void Type(std::string_view text) {
        for (char c : text)
            memo.KeyChar(static_cast<unsigned char>(c));
    }
};

TEST_F(Replay, AFailingTextHandlerDoesNotCostTheHistory) {
    Type("ab");
    memo.SetSelection(0, 2);
    memo.ReplaceSelection("xyz"); // a replacement: a deletion and an insertion
    bool fail = true;
    int calls = 0;
    memo.OnTextChange = [&](TCustomSyntaxMemo&, TextOffset, int32_t) {
        ++calls;
        if (fail)
            throw std::runtime_error("handler failed");
    };
    // The handler's failure reaches the caller, but only after the whole step: the text
    // is fully back and the step can be redone.
    EXPECT_THROW(memo.Undo(), std::runtime_error);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(Text(), "ab");
    EXPECT_EQ(memo.Selection(), (TSelectionRange{0, 2}));
    EXPECT_TRUE(memo.CanUndo());
    EXPECT_TRUE(memo.CanRedo());
    EXPECT_FALSE(memo.PaintLocked());
    EXPECT_TRUE(memo.RecordingEnabled());

    EXPECT_THROW(memo.Redo(), std::runtime_error);
    EXPECT_EQ(Text(), "xyz");
    fail = false;
    memo.Undo();
    memo.Undo();
    memo.Undo();
    EXPECT_EQ(Text(), "");
    EXPECT_FALSE(memo.CanUndo());
    memo.Redo();
    memo.Redo();
    memo.Redo();
    EXPECT_EQ(Text(), "xyz");
    // Editing still records.
    Type("!");
    memo.Undo();
    EXPECT_EQ(Text(), "xyz");
    EXPECT_EQ(test::CheckStore(memo.Store()), "");
}

TEST_F(Replay, AGroupIsReplayedWholeWhenHighlightingBetweenItsStepsFails) {
    memo.SetWholeText("one\rtwo\rthree\r");
    TFailingHighlighter highlighter;
    memo.SetHighlighter(&highlighter);
    memo.SelectAll();
    memo.IndentBlock(2, false); // one group of three insertions
    EXPECT_EQ(Text(), "  one\r  two\r  three\r");
    // Every step of the group marks rows for rescanning; the pass between two steps fails.
    highlighter.fail = true;
    EXPECT_THROW(memo.Undo(), std::runtime_error);
    EXPECT_GT(highlighter.passes, 0);
    EXPECT_EQ(Text(), "one\rtwo\rthree\r");
    EXPECT_FALSE(memo.CanUndo());
    highlighter.fail = false;
    memo.Redo();
    EXPECT_EQ(Text(), "  one\r  two\r  three\r");
    memo.SetHighlighter(nullptr);
}

TEST_F(Replay, AStoreThatFailsHalfWayLeavesNoLogThatNoLongerFitsTheText) {
    Type("abc");
    memo.SetSelection(0, 3);
    memo.ReplaceSelection("XY");
    ASSERT_EQ(Text(), "XY");
    memo.fail = true;
    // The deletion went through before the store failed: neither side of the log fits the
    // text now, so the log goes, and the failure is reported.
    EXPECT_THROW(memo.Undo(), std::bad_alloc);
    memo.fail = false;
    EXPECT_FALSE(memo.CanUndo());
    EXPECT_FALSE(memo.CanRedo());
    EXPECT_FALSE(memo.PaintLocked());
    EXPECT_TRUE(memo.RecordingEnabled());
    const std::string now = Text();
    Type("z");
    memo.Undo();
    EXPECT_EQ(Text(), now);
    EXPECT_EQ(test::CheckStore(memo.Store()), "");
}

TEST_F(Replay, PaintingIsUnlockedOnEveryWayOutOfAnEdit) {
    memo.SetWholeText("one\rtwo\r");
    auto failing = [](TCustomSyntaxMemo&, TextOffset, int32_t) {
        throw std::runtime_error("handler failed");
    };
    memo.OnTextChange = failing;
    memo.SelectAll();
    EXPECT_THROW(memo.IndentBlock(1, false), std::runtime_error);
    EXPECT_FALSE(memo.PaintLocked());
    EXPECT_THROW(memo.UnindentBlock(1), std::runtime_error);
    EXPECT_FALSE(memo.PaintLocked());
    platform.SetClipboardText("pasted");
    EXPECT_THROW(memo.PasteFromClipboard(), std::runtime_error);
    EXPECT_FALSE(memo.PaintLocked());
    memo.OnTextChange = nullptr;
    memo.SetWholeText("left over");
    memo.OnTextChange = failing;
    EXPECT_THROW(memo.Clear(), std::runtime_error);
    EXPECT_FALSE(memo.PaintLocked());
    memo.OnTextChange = nullptr;
    // A lock taken by hand is left alone.
    memo.LockPaint();
    {
        TPaintLock inner(memo);
        EXPECT_TRUE(memo.PaintLocked());
    }
    EXPECT_TRUE(memo.PaintLocked());
    memo.UnlockPaint();
    EXPECT_FALSE(memo.PaintLocked());
}

} // namespace
} // namespace kvx
