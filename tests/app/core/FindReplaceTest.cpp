// The find and replace dialogs' logic as the dialogs drive it: what OK, Find Next, Replace
// and Replace All select, change and report, the questions of the replace loop and every
// answer to them, the histories and their file.
#include "app/core/FindReplace.h"
#include "TestFiles.h"

#include "editor/Stream.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

using namespace kvx;
using kvx::test::TempDir;

namespace {

void Load(TCustomSyntaxMemo& memo, const std::string& bytes) {
    TMemoryStream in;
    in.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    in.Seek(0, TSeekOrigin::Begin);
    memo.LoadFromStream(in);
}

// A document with its search entry and a history file of its own.
struct TFixture {
    TempDir dir;
    TEdPersistent store{dir / "frepl.dat"};
    TCustomSyntaxMemo memo;
    TMemoSearch search{memo};
    explicit TFixture(const std::string& text) { Load(memo, text); }
    std::string Selected() {
        return memo.Store().GetText(memo.Selection().Start(), memo.Selection().End());
    }
};

// Answers the replace loop's questions from a script, and records them.
struct TScriptedAnswers {
    std::deque<TReplaceAnswer> script;
    std::vector<std::string> questions;
    std::vector<bool> offeredAll;
    TReplaceDialogLogic::TAsk Ask() {
        return [this](const std::string& q, bool all) {
            questions.push_back(q);
            offeredAll.push_back(all);
            if (script.empty())
                return TReplaceAnswer::Cancel;
            const TReplaceAnswer a = script.front();
            script.pop_front();
            return a;
        };
    }
};

} // namespace

TEST(FindDialogLogic, FindsForwardsBackwardsAndStepsOverTheSelectedHit) {
    TFixture f("ab AB ab xab");
    TFindDialogLogic find(f.store);
    find.Show({"ab", 0});
    EXPECT_EQ(find.Controls, TSearchControls{});
    EXPECT_EQ(find.History().Entries(), std::vector<std::string>{"ab"});

    // Caseless: the first hit, then with "AB" selected the next one, not the same again.
    std::vector<TextOffset> starts;
    for (int i = 0; i < 4; ++i) {
        const TSearchReport r = find.Ok(f.search, "ab");
        ASSERT_EQ(r.Outcome, TSearchReport::Found);
        starts.push_back(r.Hit.Start());
        EXPECT_EQ(f.memo.Selection().Start(), r.Hit.Start());
        EXPECT_EQ(f.memo.Selection().End(), r.Hit.End());
    }
    EXPECT_EQ(starts, (std::vector<TextOffset>{0, 3, 6, 10}));
    TSearchReport r = find.Ok(f.search, "ab");
    EXPECT_EQ(r.Outcome, TSearchReport::NotFound);
    EXPECT_EQ(r.Message, "\"ab\" not found");

    // Case sensitive skips "AB"; whole words skip "xab"; backwards from the last hit.
    find.Controls.MatchCase = true;
    f.memo.SetSelection(0, 0);
    EXPECT_EQ(find.Ok(f.search, "ab").Hit.Start(), 0);
    EXPECT_EQ(find.Ok(f.search, "ab").Hit.Start(), 6);
    find.Controls = {false, true, false, false};
    f.memo.SetSelection(0, 0);
    EXPECT_EQ(find.Ok(f.search, "ab").Hit.Start(), 0);
    EXPECT_EQ(find.Ok(f.search, "ab").Hit.Start(), 3);
    EXPECT_EQ(find.Ok(f.search, "ab").Hit.Start(), 6);
    EXPECT_EQ(find.Ok(f.search, "ab").Outcome, TSearchReport::NotFound);
    find.Controls = {false, false, false, true};
    f.memo.SetSelection(10, 12);
    EXPECT_EQ(find.Ok(f.search, "ab").Hit.Start(), 6);
    EXPECT_EQ(find.Ok(f.search, "AB").Hit.Start(), 3);
    EXPECT_EQ(find.Ok(f.search, "ab").Hit.Start(), 0);
    r = find.Ok(f.search, "ab");
    EXPECT_EQ(r.Outcome, TSearchReport::NotFound);
    EXPECT_EQ(f.memo.Selection().Start(), 0); // the last hit's start: nothing moved

    // Backwards with the caret at the top says not found at once.
    f.memo.SetSelection(0, 0);
    EXPECT_EQ(find.Ok(f.search, "xab").Outcome, TSearchReport::NotFound);

    // A regular expression goes on behind the hit it selected, backwards before it.
    find.Controls = {false, false, true, false};
    f.memo.SetSelection(0, 0);
    EXPECT_EQ(find.Ok(f.search, "[aA][bB]").Hit.Start(), 0);
    EXPECT_EQ(find.Ok(f.search, "[aA][bB]").Hit.Start(), 3);
    find.Controls.Backward = true;
    EXPECT_EQ(find.Ok(f.search, "[aA][bB]").Hit.Start(), 0);
}

TEST(FindDialogLogic, ReportsBadPatternsAndStoppedSearches) {
    TFixture f(std::string(200000, 'a') + "b");
    TFindDialogLogic find(f.store);
    find.Show({});
    find.Controls.RegExpr = true;
    // A pattern that does not compile: its error with a caret line, then not found.
    TSearchReport r = find.Ok(f.search, "a**");
    EXPECT_EQ(r.Outcome, TSearchReport::NotFound);
    EXPECT_NE(r.ErrorBox.find("a**\r\n"), std::string::npos) << r.ErrorBox;
    EXPECT_NE(r.ErrorBox.find('^'), std::string::npos);
    EXPECT_EQ(r.Message, "\"a**\" not found");
    // A search that runs out of its work budget: only its error, the text may be there.
    f.memo.SetSelection(0, 0);
    r = find.Ok(f.search, "(a{1,3}){2,}c|b");
    EXPECT_EQ(r.Outcome, TSearchReport::Failed);
    EXPECT_FALSE(r.ErrorBox.empty());
    EXPECT_TRUE(r.Message.empty());
    EXPECT_TRUE(f.memo.Selection().Empty());
    // An empty text does nothing and is not remembered.
    const size_t listed = find.History().Entries().size();
    EXPECT_EQ(find.Ok(f.search, "").Outcome, TSearchReport::Nothing);
    EXPECT_EQ(find.History().Entries().size(), listed);
}

// Find Next after the dialog closed: the text the dialog left, with its controls as they
// were; closing through Cancel takes the box text, the close box does not.
TEST(FindDialogLogic, FindNextAndClosingCarryTheSearchState) {
    TFixture f("one two One two");
    TFindDialogLogic find(f.store);
    TSearchState state;
    find.Show(state);
    find.Controls.MatchCase = true;
    EXPECT_EQ(find.Ok(f.search, "two").Hit.Start(), 4);
    EXPECT_TRUE(find.Close(state, "two", false));
    EXPECT_EQ(state.Text, "");
    EXPECT_TRUE(find.Close(state, "One", true));
    EXPECT_EQ(state.Text, "One");
    EXPECT_EQ(find.FindNext(f.search, state.Text).Hit.Start(), 8);
    EXPECT_EQ(find.FindNext(f.search, state.Text).Outcome, TSearchReport::NotFound);
    EXPECT_EQ(find.FindNext(f.search, "").Outcome, TSearchReport::Nothing);
    // Find Next does not touch the history; the next show lists what OK stored.
    find.Show(state);
    EXPECT_EQ(find.History().Entries(), (std::vector<std::string>{"two", "One"}));
    EXPECT_EQ(find.SelectedIndex(), 1);
    EXPECT_EQ(find.Controls, TSearchControls{});
}

// The selection as a search text: CR LF pairs become the one CR the search sees, and a
// Windows-1252 document's text comes out as UTF-8.
TEST(FindDialogLogic, SearchTextFromTheSelection) {
    TCustomSyntaxMemo memo;
    Load(memo, "caf\xe9 x\r\ny");
    ASSERT_FALSE(memo.Store().Utf8());
    memo.SetSelection(0, 4);
    EXPECT_EQ(SearchTextFromSelection(memo), "caf\xc3\xa9");
    memo.SetSelection(5, 8);
    EXPECT_EQ(SearchTextFromSelection(memo), "x\ry");
    TMemoSearch search(memo);
    TempDir dir;
    TEdPersistent store(dir / "frepl.dat");
    TFindDialogLogic find(store);
    find.Show({SearchTextFromSelection(memo), 0});
    memo.SetSelection(0, 0);
    EXPECT_EQ(find.Ok(search, "x\ry").Hit.Start(), 5);
    // Typed as UTF-8, found in the single-byte document.
    EXPECT_EQ(find.Ok(search, "CAF\xc3\xa9").Outcome,
              TSearchReport::NotFound); // caseless is a-z only
    memo.SetSelection(0, 0);
    EXPECT_EQ(find.Ok(search, "caf\xc3\xa9").Hit.Start(), 0);
    // A character Windows-1252 cannot hold is simply not there.
    EXPECT_EQ(find.Ok(search, "\xe2\x82\xac\xe2\x86\x92").Outcome, TSearchReport::NotFound);
}

// Texts that could not be read back as one entry never reach the list or the file; the
// two dialogs' copies no longer overwrite what the other stored.
TEST(HistoryList, KeepsEveryTypedEntryAndNothingThatWouldSplitTheFile) {
    TempDir dir;
    TEdPersistent store(dir / "frepl.dat");
    TFindDialogLogic find(store);
    TReplaceDialogLogic replace(store);
    find.Show({});
    replace.Show({});

    TFixture f("text");
    TSearchState state;
    find.Ok(f.search, "line one\rline two");
    find.Ok(f.search, "[ReplaceHistory]");
    find.Ok(f.search, "Alpha");
    find.Ok(f.search, "alpha"); // the same ignoring case: not listed again
    EXPECT_EQ(find.History().Entries(), std::vector<std::string>{"Alpha"});
    EXPECT_EQ(find.History().Show("a\nb"), -1);
    EXPECT_EQ(find.History().Show(std::string(5000, 'x')), -1);

    replace.Replace(f.search, "beta", "gamma", false, {});
    ASSERT_TRUE(replace.Close());
    ASSERT_TRUE(find.Close(state, "", false));
    EXPECT_EQ(store.FindHistory(), (std::vector<std::string>{"Alpha", "beta"}));
    EXPECT_EQ(store.ReplaceHistory(), std::vector<std::string>{"gamma"});

    // Twenty-five searches keep the newest twenty, most recent first.
    find.Show({});
    for (int i = 0; i < 25; ++i)
        find.Ok(f.search, "w" + std::to_string(i));
    ASSERT_TRUE(find.Close(state, "", false));
    const std::vector<std::string> stored = store.FindHistory();
    ASSERT_EQ(stored.size(), 20u);
    EXPECT_EQ(stored.front(), "w24");
    EXPECT_EQ(stored.back(), "w5");
    // A text shown but not searched for goes to the end of the list.
    find.Show({"zeta", 0});
    EXPECT_EQ(find.SelectedIndex(), 20);
}

TEST(ReplaceDialogLogic, ReplaceAsksAndActsOnEachAnswer) {
    TFixture f("cat Cat cat");
    TReplaceDialogLogic repl(f.store);
    repl.Show({"cat", 0});
    EXPECT_EQ(repl.SelectedIndex(), 0);
    TScriptedAnswers answers;
    answers.script = {TReplaceAnswer::No, TReplaceAnswer::Cancel, TReplaceAnswer::Yes};

    // No and Cancel leave the hit selected and the text as it was; the next Replace
    // steps over the selected hit.
    TSearchReport r = repl.Replace(f.search, "cat", "dog", true, answers.Ask());
    EXPECT_EQ(r.Outcome, TSearchReport::Found);
    EXPECT_EQ(r.Replaced, 0);
    EXPECT_EQ(f.Selected(), "cat");
    r = repl.Replace(f.search, "cat", "dog", true, answers.Ask());
    EXPECT_EQ(r.Hit.Start(), 4);
    EXPECT_EQ(f.Selected(), "Cat");
    r = repl.Replace(f.search, "cat", "dog", true, answers.Ask());
    EXPECT_EQ(r.Replaced, 1);
    EXPECT_EQ(f.memo.Text(), "cat Cat dog");
    EXPECT_EQ(answers.questions.front(), "Replace this instance of \"cat\" with \"dog\" ?");
    EXPECT_EQ(answers.offeredAll, (std::vector<bool>{false, false, false}));
    // Without the prompt it replaces at once; at the end, not found.
    f.memo.SetSelection(0, 0);
    EXPECT_EQ(repl.Replace(f.search, "cat", "dog", false, {}).Replaced, 1);
    EXPECT_EQ(f.memo.Text(), "dog Cat dog");
    f.memo.Undo();
    EXPECT_EQ(f.memo.Text(), "cat Cat dog");
    f.memo.SetSelection(11, 11);
    r = repl.Replace(f.search, "cat", "dog", false, {});
    EXPECT_EQ(r.Outcome, TSearchReport::NotFound);
    EXPECT_EQ(r.Message, "\"cat\" not found");

    // The question shows the expanded template.
    repl.Controls.RegExpr = true;
    f.memo.SetSelection(0, 0);
    answers.script = {TReplaceAnswer::Yes};
    answers.questions.clear();
    repl.Replace(f.search, "c(a)t", "%3%3-%2-%%", true, answers.Ask());
    EXPECT_EQ(answers.questions.back(), "Replace this instance of \"c(a)t\" with \"aa--%\" ?");
    EXPECT_EQ(f.memo.Text(), "aa--% Cat dog");

    // A read-only document is searched but never changed.
    f.memo.ReadOnly = true;
    f.memo.SetSelection(0, 0);
    r = repl.Replace(f.search, "dog", "cat", false, {});
    EXPECT_EQ(r.Outcome, TSearchReport::Found);
    EXPECT_EQ(r.Replaced, 0);
    EXPECT_EQ(f.memo.Text(), "aa--% Cat dog");
}

// Replace All with questions: Yes, No, All and Cancel, each an exact text and one undo step.
TEST(ReplaceDialogLogic, ReplaceAllFollowsEveryAnswerAsOneUndoStep) {
    const std::string doc = "a1 a2 a3 a4 a5 a6";
    struct TCase {
        std::deque<TReplaceAnswer> answers;
        std::string expect;
        size_t asked;
    };
    using A = TReplaceAnswer;
    const TCase cases[] = {
        {{A::Yes, A::No, A::Yes, A::Cancel}, "b1 a2 b3 a4 a5 a6", 4},
        {{A::No, A::All}, "a1 b2 b3 b4 b5 b6", 2},
        {{A::Cancel}, doc, 1},
        {{A::No, A::No, A::No, A::No, A::No, A::No}, doc, 6},
        {{A::Yes, A::Yes, A::Yes, A::Yes, A::Yes, A::Yes}, "b1 b2 b3 b4 b5 b6", 6},
    };
    for (const TCase& c : cases) {
        TFixture f(doc);
        f.memo.SetSelection(9, 9); // Replace All starts at the top wherever the caret is
        TReplaceDialogLogic repl(f.store);
        repl.Show({});
        repl.Controls.RegExpr = true;
        repl.Controls.Backward = true; // and whatever the direction
        TScriptedAnswers answers;
        answers.script = c.answers;
        const TSearchReport r = repl.ReplaceAll(f.search, "a([0-9])", "b%3", true, answers.Ask());
        EXPECT_EQ(f.memo.Text(), c.expect);
        EXPECT_EQ(answers.questions.size(), c.asked);
        EXPECT_TRUE(answers.offeredAll.front());
        EXPECT_TRUE(r.ErrorBox.empty());
        EXPECT_TRUE(r.Message.empty()); // no count or end message
        if (c.expect != doc) {
            f.memo.Undo();
            EXPECT_EQ(f.memo.Text(), doc);
        }
        EXPECT_FALSE(f.memo.CanUndo());
    }
}

// Where the loop goes on after a No: at the end of the skipped hit, even when it spans line
// breaks that a CR LF selection length counts twice; and an empty match never makes the loop
// ask about the same place again.
TEST(ReplaceLoop, GoesOnBehindMultiLineHitsAndNeverRepeatsAnEmptyMatch) {
    {
        TCustomSyntaxMemo memo;
        Load(memo, "x\r\ny\r\nx\r\ny\r\nx\r\ny\r\n");
        memo.SelLineStyle = lsCRLF;
        TMemoSearch search(memo);
        TReplaceLoop loop(search, "x\\ny", "Z", soRegExpr, true);
        std::vector<TextOffset> asked;
        while (loop.Next()) {
            asked.push_back(loop.Hit().Start());
            EXPECT_EQ(memo.SelLength(), 4); // what a continue at SelStart + SelLength would add
            loop.Answer(asked.size() == 2 ? TReplaceAnswer::Yes : TReplaceAnswer::No);
        }
        EXPECT_EQ(asked, (std::vector<TextOffset>{0, 4, 6}));
        EXPECT_EQ(memo.Text(), "x\ry\rZ\rx\ry\r");
        EXPECT_EQ(loop.Result().Count, 1);
    }
    struct TCase {
        const char* pattern;
        const char* doc;
        TReplaceAnswer answer;
        const char* expect;
    };
    const TCase cases[] = {
        {"x*", "axxb", TReplaceAnswer::Yes, "-a--b-"},
        {"x*", "axxb", TReplaceAnswer::No, "axxb"},
        // "^" needs a line break before it, "$" one after it.
        {"^", "ab\rcd\r", TReplaceAnswer::Yes, "ab\r>cd\r>"},
        {"$", "ab\rcd", TReplaceAnswer::Yes, "ab-\rcd"},
        {"a?", "ba", TReplaceAnswer::Yes, "-b--"},
        {"\\n*", "a\r\rb", TReplaceAnswer::No, "a\r\rb"},
    };
    for (const TCase& c : cases) {
        TCustomSyntaxMemo memo;
        Load(memo, c.doc);
        TMemoSearch search(memo);
        const std::string with = std::string(c.pattern) == "^" ? ">" : "-";
        TReplaceLoop loop(search, c.pattern, with, soRegExpr, true);
        int questions = 0;
        while (loop.Next() && questions < 100) {
            ++questions;
            loop.Answer(c.answer);
        }
        EXPECT_LT(questions, 20) << c.pattern;
        EXPECT_TRUE(loop.Done()) << c.pattern;
        EXPECT_EQ(memo.Text(), c.expect) << c.pattern << " on " << c.doc;
        // Without questions the one-edit run gives the same text as answering Yes to all.
        if (c.answer == TReplaceAnswer::Yes) {
            TCustomSyntaxMemo other;
            Load(other, c.doc);
            TMemoSearch otherSearch(other);
            TReplaceLoop all(otherSearch, c.pattern, with, soRegExpr, false);
            EXPECT_FALSE(all.Next());
            EXPECT_EQ(other.Text(), c.expect) << c.pattern;
        }
    }
}

// A failing search changes nothing: a bad pattern, a search over its work budget, with or
// without questions; a cancel keeps what was replaced.
TEST(ReplaceDialogLogic, AFailedReplaceAllChangesNothing) {
    const std::string doc = std::string(200000, 'a') + "b";
    for (const bool prompt : {false, true}) {
        TFixture f(doc);
        TReplaceDialogLogic repl(f.store);
        repl.Show({});
        repl.Controls.RegExpr = true;
        TScriptedAnswers answers;
        answers.script = {TReplaceAnswer::Yes};
        TSearchReport r = repl.ReplaceAll(f.search, "(a{1,3}){2,}c|b", "x", prompt, answers.Ask());
        EXPECT_EQ(r.Outcome, TSearchReport::Failed);
        EXPECT_NE(r.ErrorBox.find("(a{1,3}){2,}c|b"), std::string::npos);
        EXPECT_EQ(r.Replaced, 0);
        EXPECT_EQ(f.memo.TextLength(), 200001);
        EXPECT_FALSE(f.memo.CanUndo());
        r = repl.ReplaceAll(f.search, "a**", "x", prompt, answers.Ask());
        EXPECT_EQ(r.Outcome, TSearchReport::Failed);
        EXPECT_FALSE(f.memo.CanUndo());
        EXPECT_TRUE(answers.questions.empty());
    }
    // Cancel through the check the widget wires to Escape.
    TFixture f(doc);
    TReplaceDialogLogic repl(f.store);
    repl.Show({});
    const TSearchReport r = repl.ReplaceAll(f.search, "a", "c", false, {}, {}, [] { return true; });
    ASSERT_GT(r.Replaced, 0);
    ASSERT_LT(r.Replaced, 200000);
    EXPECT_EQ(f.memo.Text().substr(0, size_t(r.Replaced) + 1),
              std::string(size_t(r.Replaced), 'c') + "a");
    f.memo.Undo();
    EXPECT_EQ(f.memo.Text(), doc);
    // A replacement the document's encoding cannot hold is refused before anything changes.
    TFixture single("caf\xe9");
    TReplaceDialogLogic r2(single.store);
    r2.Show({});
    const TSearchReport refused = r2.ReplaceAll(single.search, "caf", "\xe2\x86\x92", false, {});
    EXPECT_EQ(refused.Outcome, TSearchReport::Failed);
    EXPECT_EQ(single.memo.Text(), "caf\xe9");
}
