// Replace All in one edit: the same text as replacing hit after hit, one undo step that
// gives back the exact bytes, cancelling, failing searches and the undo budget.
#include "regex/ReplaceAll.h"
#include "support/StoreInvariants.h"

#include "editor/Stream.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace kvx;

namespace {

void Load(TCustomSyntaxMemo& memo, const std::string& bytes) {
    TMemoryStream in;
    in.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    in.Seek(0, TSeekOrigin::Begin);
    memo.LoadFromStream(in);
}

// The replace loop taken literally, one edit per hit through the selection: search from
// the end of the last replacement, replace, go on; an empty match found again where the
// last one was replaced moves on by one character.
std::string HitByHit(const std::string& doc, const std::string& pattern, const std::string& templ,
                     unsigned options) {
    TCustomSyntaxMemo memo;
    Load(memo, doc);
    TMemoSearch search(memo);
    TextOffset pos = 0, emptyAt = -1, at = 0;
    for (int guard = 0; guard < 100000; ++guard) {
        if (!search.SearchFrom({pos, pos}, pattern, options | soNoDialog, at))
            break;
        const TSelectionRange hit = search.Hit();
        if (hit.Empty() && hit.Start() == emptyAt) {
            pos = hit.Start() + 1;
            if (pos > memo.TextLength())
                break;
            continue;
        }
        const std::string r = search.Replacement(templ, options);
        memo.SetSelection(hit.Start(), hit.End());
        memo.ReplaceSelection(r);
        pos = memo.Selection().Caret;
        emptyAt = hit.Empty() ? pos : -1;
    }
    return memo.Text();
}

TReplaceAllResult RunAll(TMemoSearch& search, const std::string& pattern, const std::string& templ,
                         unsigned options) {
    TReplaceAllRequest request;
    request.Pattern = pattern;
    request.Replacement = templ;
    request.Options = options;
    return ReplaceAll(search, request);
}

} // namespace

// The batch must come out exactly as the loop does, including the cases where a hit's
// whole-word test sees the replacement in front of it, adjacent and empty matches, and
// templates that make line breaks and control bytes.
TEST(ReplaceAll, SameTextAsReplacingHitByHit) {
    std::mt19937 rng(2024);
    const char alphabet[] = "ab x-\r'";
    const char* const plain[] = {"a", "b", "ab", "a a", "x", "aa", "\r", "b\ra", "-"};
    const char* const regex[] = {"a",      "ab",    "a*",    "x*",   "$", "^a", "a|b",
                                 "(a)(b)", "[ab]+", "b\\na", "\\w+", ".", "a?", "(a|ab)(c|bcd)?",
                                 "^",      "\\n",   "x*$",   "(a*)b"};
    const char* const templates[] = {"",   "X",      "%1",     "[%1%2%3]",  "\\n", "\\r",
                                     "%%", "a\\x0a", "\\r\\n", "\\t|\\x01", "xx",  "%9"};
    for (int round = 0; round < 4000; ++round) {
        std::string doc;
        const int length = static_cast<int>(rng() % 40);
        for (int i = 0; i < length; ++i)
            doc += alphabet[rng() % (sizeof alphabet - 1)];
        const bool re = rng() % 2;
        unsigned options = re ? unsigned(soRegExpr) : 0u;
        if (rng() % 2)
            options |= soMatchCase;
        if (rng() % 2)
            options |= soWholeWord;
        const std::string pattern =
            re ? regex[rng() % std::size(regex)] : plain[rng() % std::size(plain)];
        const std::string templ = templates[rng() % std::size(templates)];
        SCOPED_TRACE("doc \"" + doc + "\" pattern \"" + pattern + "\" template \"" + templ +
                     "\" options " + std::to_string(options));

        TCustomSyntaxMemo memo;
        Load(memo, doc);
        TMemoSearch search(memo);
        const TReplaceAllResult result = RunAll(search, pattern, templ, options);
        ASSERT_EQ(result.Error.Code, 0);
        ASSERT_EQ(memo.Text(), HitByHit(doc, pattern, templ, options));
        ASSERT_EQ(test::CheckStore(memo.Store()), "");
        if (result.Count > 0) {
            memo.Undo();
            ASSERT_EQ(memo.Text(), doc);
            ASSERT_EQ(test::CheckStore(memo.Store()), "");
        }
    }
}

TEST(ReplaceAll, TemplatesAndEmptyMatchesGiveTheExpectedText) {
    struct Case {
        const char* Doc;
        const char* Pattern;
        const char* Template;
        unsigned Options;
        const char* Expect;
        int64_t Count;
    };
    const Case cases[] = {
        // Items of a(b)c: a, the group's empty start, b, c.
        {"xx abc abc", "a(b)c", "[%3|%2|%1%4]", soRegExpr, "xx [b||ac] [b||ac]", 2},
        {"mov ax, bx\rmov cx, dx", "mov (\\w+), (\\w+)", "mov %10, %6", soRegExpr,
         "mov bx, ax\rmov dx, cx", 2},
        // An empty match is replaced once where it is, also right behind a longer one.
        {"abc", "x*", "-", soRegExpr, "-a-b-c-", 4},
        {"axxb", "x*", "-", soRegExpr, "-a--b-", 4},
        {"ab\rcd\r", "$", ";", soRegExpr, "ab;\rcd;\r", 2},
        // A pattern over a line break, replaced by one that makes a break of its own.
        {"a\rb\ra\rb", "a\\nb", "ab\\n", soRegExpr, "ab\r\rab\r", 2},
        // Plain: no overlaps, the replacement is not searched again.
        {"aaaa", "aa", "a", 0, "aa", 2},
        {"aaa", "a", "aa", 0, "aaaaaa", 3},
        // Whole words see the replaced text in front: after "..", "." is no longer alone.
        {". .", ".", "a", soWholeWord, "a a", 2},
        {"..", ".", "a", soWholeWord, "a.", 1},
        // Case folds a-z only.
        {"Mov MOV mov", "mov", "x", 0, "x x x", 3},
        {"Mov MOV mov", "mov", "x", soMatchCase, "Mov MOV x", 1},
        // Control bytes the template makes are stored as the editor stores them.
        {"a", "a", "\\x01\\r\\n", soRegExpr, ".\r", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Doc + std::string(" / ") + c.Pattern);
        TCustomSyntaxMemo memo;
        Load(memo, c.Doc);
        TMemoSearch search(memo);
        const TReplaceAllResult r = RunAll(search, c.Pattern, c.Template, c.Options);
        EXPECT_EQ(memo.Text(), c.Expect);
        EXPECT_EQ(r.Count, c.Count);
        EXPECT_EQ(memo.Text(), HitByHit(c.Doc, c.Pattern, c.Template, c.Options));
    }
}

// A large document with long lines and UTF-8 text: one undo step gives back every byte and
// the rows as loading cut them; redo gives the replaced text again.
TEST(ReplaceAll, OneUndoStepRestoresTheExactBytes) {
    std::string doc;
    for (int i = 0; i < 20000; ++i) {
        doc += "\tmov eax, [ebx+" + std::to_string(i) + "] ; \xc3\xa9t\xc3\xa9 step\r\n";
        if (i % 1000 == 0)
            doc += std::string(5000, 'a') + "\xe2\x82\xac step " + std::string(3000, 'b') + "\n";
    }
    TCustomSyntaxMemo memo;
    Load(memo, doc);
    const std::string before = memo.Text();
    TMemoSearch search(memo);
    const TReplaceAllResult r = RunAll(search, "step", "stage", 0);
    EXPECT_EQ(r.Count, 20020);
    std::string expect = before;
    for (size_t at = 0; (at = expect.find("step", at)) != std::string::npos; at += 5)
        expect.replace(at, 4, "stage");
    EXPECT_EQ(memo.Text(), expect);
    EXPECT_EQ(test::CheckStore(memo.Store()), "");
    EXPECT_EQ(test::CheckUndoLog(*memo.Store().UndoLog()), "");
    EXPECT_EQ(static_cast<size_t>(memo.Selection().Caret), memo.Text().rfind("stage") + 5);

    memo.Undo();
    EXPECT_EQ(memo.Text(), before);
    EXPECT_FALSE(memo.CanUndo());
    EXPECT_FALSE(memo.Modified());
    EXPECT_EQ(test::CheckStore(memo.Store()), "");
    memo.Redo();
    EXPECT_EQ(memo.Text(), expect);
    EXPECT_EQ(test::CheckStore(memo.Store()), "");

    // With a template that refers to the match.
    memo.Undo();
    const TReplaceAllResult t =
        RunAll(search, "\\[(e[a-d]x)\\+([0-9]+)\\]", "[%3*4+%6]", soRegExpr);
    EXPECT_EQ(t.Count, 20000);
    EXPECT_NE(memo.Text().find("[ebx*4+1234]"), std::string::npos);
    memo.Undo();
    EXPECT_EQ(memo.Text(), before);
}

TEST(ReplaceAll, CancelKeepsTheReplacementsSoFarAsOneStep) {
    std::string doc;
    for (int i = 0; i < 100000; ++i)
        doc += "ab ";
    for (const unsigned options : {0u, unsigned(soRegExpr)}) {
        TCustomSyntaxMemo memo;
        Load(memo, doc);
        TMemoSearch search(memo);
        TReplaceAllRequest request;
        request.Pattern = "ab";
        request.Replacement = "X";
        request.Options = options;
        int64_t reported = -1, total = -1;
        request.Progress = [&](int64_t done, int64_t all) {
            reported = done;
            total = all;
        };
        request.Cancel = [] { return true; };
        const TReplaceAllResult r = ReplaceAll(search, request);
        EXPECT_TRUE(r.Cancelled);
        ASSERT_GT(r.Count, 0);
        ASSERT_LT(r.Count, 100000);
        EXPECT_EQ(total, static_cast<int64_t>(doc.size()) + (options ? 1 : 0));
        EXPECT_GT(reported, 0);
        std::string expect;
        for (int i = 0; i < 100000; ++i)
            expect += i < r.Count ? "X " : "ab ";
        EXPECT_EQ(memo.Text(), expect);
        memo.Undo();
        EXPECT_EQ(memo.Text(), doc);
    }
}

TEST(ReplaceAll, AFailingSearchChangesNothing) {
    TCustomSyntaxMemo memo;
    Load(memo, std::string(200000, 'a') + "b");
    TMemoSearch search(memo);
    // A bad pattern, and a counted pattern that runs out of its work budget on this text.
    TReplaceAllResult r = RunAll(search, "a**", "x", soRegExpr);
    EXPECT_EQ(r.Error.Code, msgRENestedRepeat);
    r = RunAll(search, "(a{1,3}){2,}c|b", "x", soRegExpr);
    EXPECT_EQ(r.Error.Code, msgRESearchTooLong);
    EXPECT_EQ(r.Count, 0);
    TReplaceAllRequest request;
    request.Pattern = "(a{1,3}){2,}c|b";
    request.Replacement = "x";
    request.Options = soRegExpr;
    TTextSearch engine;
    engine.Parser().SetStepBudget(100000, 1);
    const TReplacePlan plan = PlanReplaceAll(engine, memo.Text(), request, true);
    EXPECT_TRUE(plan.Failed());
    EXPECT_EQ(plan.Error.Code, msgRESearchTooLong);
    EXPECT_EQ(memo.TextLength(), 200001);
    EXPECT_FALSE(memo.CanUndo());

    // An edit while the run waits in a callback: the plan no longer fits, nothing is put in;
    // a Find Next after the edit, which copies the text afresh, does not pull the text from
    // under the run either.
    TReplaceAllRequest edit;
    edit.Pattern = "a";
    edit.Replacement = "b";
    edit.Progress = [&](int64_t, int64_t) {
        memo.SelectAll();
        memo.ReplaceSelection(std::string(300000, 'z')); // larger: the copy must move
        TextOffset at = 0;
        memo.SetSelection(0, 0);
        EXPECT_TRUE(search.FindNext("z", 0, at));
    };
    memo.SetSelection(0, 0);
    r = ReplaceAll(search, edit);
    EXPECT_TRUE(r.DocumentChanged);
    EXPECT_EQ(r.Count, 0);
    EXPECT_EQ(memo.Text(), std::string(300000, 'z'));
}

// A Replace All larger than the whole undo budget stays undoable as the newest step; the
// next edit lets the budget take it.
TEST(ReplaceAll, StaysUndoableBeyondTheUndoBudget) {
    TCustomSyntaxMemo memo;
    Load(memo, std::string(10000, 'a'));
    memo.Store().UndoLog()->SetBudget(1000);
    memo.SetSelection(0, 0);
    memo.KeyChar(U'x');
    TMemoSearch search(memo);
    EXPECT_EQ(RunAll(search, "a", "b", 0).Count, 10000);
    EXPECT_EQ(test::CheckUndoLog(*memo.Store().UndoLog()), "");
    memo.Undo();
    EXPECT_EQ(memo.Text(), "x" + std::string(10000, 'a'));
    memo.Redo();
    memo.SetSelection(0, 0);
    memo.KeyChar(U'y');
    memo.Undo();
    EXPECT_FALSE(memo.CanUndo());
    EXPECT_EQ(memo.Text(), "x" + std::string(10000, 'b'));
}
