// The find and replace dialogs and Find Next, driven as a user drives them: keys and clicks
// on the real dialogs, the boxes answered through the commands' prompts, the documents
// checked by their text, selection and undo.
#include "SearchHostStandIn.h"

#include "app/EdFindDlg.h"
#include "app/EdReplDlg.h"
#include "app/SearchOptionsBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace kvx {
namespace {

using test::TStandInWindow;

std::string Selected(TSyntaxMemo* editor) {
    const TSelectionRange sel = editor->Memo().Selection();
    return editor->Memo().Store().GetText(sel.Start(), sel.End());
}

void Type(QComboBox* box, const QString& text) {
    box->setFocus();
    box->lineEdit()->selectAll();
    QTest::keyClick(box->lineEdit(), Qt::Key_Delete);
    QTest::keyClicks(box->lineEdit(), text);
}

// Alt plus the underlined letter, as the user reaches a control from the keyboard. The
// letters belong to the active window, as on a desktop.
void Alt(QWidget* dialog, Qt::Key key) {
    if (!dialog->isActiveWindow()) {
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    }
    QWidget* focus = dialog->focusWidget() ? dialog->focusWidget() : dialog;
    QTest::keyClick(focus, key, Qt::AltModifier);
    // A button reached by its letter takes the focus and clicks itself a moment later, as
    // it shows itself pressed in between.
    if (auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget())) {
        ASSERT_TRUE(QTest::qWaitFor([button] { return !button->isDown(); }));
    }
}

TEST(FindDialog, FindsAsTheUserAsksAndHandsTheTextToFindNext) {
    TStandInWindow w;
    TSyntaxMemo* doc = w.Add("ab AB ab xab\nabc");
    w.window.show();
    TEdFindDlg* dlg = w.commands.FindDialog();
    ASSERT_TRUE(w.commands.CanFind());
    w.commands.Find();
    ASSERT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->isModal());
    EXPECT_TRUE(dlg->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(dlg->windowTitle(), "Find text...");
    EXPECT_FALSE(doc->Memo().HideSelection());

    // Typed into the box, OK (Enter: the default button) steps through the caseless hits.
    Type(dlg->FindHistoryBox(), "ab");
    std::vector<TextOffset> starts;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(dlg->FindHistoryBox()->lineEdit(), Qt::Key_Return);
        starts.push_back(doc->Memo().Selection().Start());
    }
    EXPECT_EQ(starts, (std::vector<TextOffset>{0, 3, 6, 10, 13}));
    EXPECT_EQ(Selected(doc), "ab");
    EXPECT_TRUE(w.informed.isEmpty());
    QTest::mouseClick(dlg->OKButton(), Qt::LeftButton);
    ASSERT_EQ(w.informed, QStringList{"\"ab\" not found"});
    EXPECT_EQ(dlg->FindHistoryBox()->itemText(0), "ab");

    // Back (Alt+B) with Case sensitive (Alt+C) from the end finds only the lower-case ones.
    Alt(dlg, Qt::Key_B);
    Alt(dlg, Qt::Key_C);
    EXPECT_TRUE(dlg->OptionsBox()->BackDirection()->isChecked());
    EXPECT_TRUE(dlg->OptionsBox()->UseCaseBox()->isChecked());
    doc->Memo().SetSelection(doc->Memo().TextLength(), doc->Memo().TextLength());
    starts.clear();
    for (int i = 0; i < 4; ++i) {
        QTest::mouseClick(dlg->OKButton(), Qt::LeftButton);
        starts.push_back(doc->Memo().Selection().Start());
    }
    EXPECT_EQ(starts, (std::vector<TextOffset>{13, 10, 6, 0}));

    // Whole words only (Alt+W), forwards (Alt+D): "xab" and "abc" are not words "ab".
    Alt(dlg, Qt::Key_D);
    Alt(dlg, Qt::Key_W);
    doc->Memo().SetSelection(7, 7);
    QTest::mouseClick(dlg->OKButton(), Qt::LeftButton);
    EXPECT_EQ(w.informed.size(), 2);
    EXPECT_EQ(doc->Memo().Selection().Start(), 7); // nothing selected anew

    // A pattern (Alt+R); whole words and case play no part in it.
    Alt(dlg, Qt::Key_R);
    Alt(dlg, Qt::Key_W);
    Type(dlg->FindHistoryBox(), "x?a[bB]c");
    doc->Memo().SetSelection(0, 0);
    QTest::mouseClick(dlg->OKButton(), Qt::LeftButton);
    EXPECT_EQ(Selected(doc), "abc");
    EXPECT_EQ(dlg->FindHistoryBox()->itemText(0), "x?a[bB]c");
    // A bad pattern: its error box, then the not-found message.
    Type(dlg->FindHistoryBox(), "a**");
    QTest::mouseClick(dlg->OKButton(), Qt::LeftButton);
    ASSERT_EQ(w.errors.size(), 1);
    EXPECT_TRUE(w.errors[0].contains("\na**\n")) << w.errors[0].toStdString();
    EXPECT_TRUE(w.errors[0].endsWith("^"));
    EXPECT_EQ(w.informed.last(), "\"a**\" not found");

    // Help asks for context 10.
    QSignalSpy help(&w.commands, &TSearchCommands::helpRequested);
    Alt(dlg, Qt::Key_H);
    EXPECT_TRUE(QTest::qWaitFor([&] { return help.count() == 1; }));
    QTest::mouseClick(dlg->HelpButton(), Qt::LeftButton);
    ASSERT_EQ(help.count(), 2);
    EXPECT_EQ(help.at(0).at(0).toInt(), 10);

    // Escape closes and hands the box text over; the selection hides again.
    Type(dlg->FindHistoryBox(), "AB");
    Alt(dlg, Qt::Key_R); // plain text again, case sensitive, forwards
    QTest::keyClick(dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(w.commands.State().Text, "AB");
    EXPECT_TRUE(doc->Memo().HideSelection());

    // Find Next, with the dialog closed, uses its options as last left: only "AB" matches.
    doc->Memo().SetSelection(0, 0);
    w.commands.FindNext();
    EXPECT_EQ(doc->Memo().Selection().Start(), 3);
    EXPECT_FALSE(doc->Memo().HideSelection());
    const int before = static_cast<int>(w.informed.size());
    w.commands.FindNext();
    EXPECT_EQ(w.informed.size(), before + 1);
    EXPECT_EQ(w.informed.last(), "\"AB\" not found");
}

TEST(FindDialog, SelectionIsTheSearchTextAndTheCloseBoxKeepsTheOldOne) {
    TStandInWindow w;
    TSyntaxMemo* doc = w.Add("one two one");
    TEdFindDlg* dlg = w.commands.FindDialog();
    EXPECT_FALSE(w.commands.FindDialog()->isVisible());
    doc->Memo().SetSelection(4, 7);
    w.commands.Find();
    EXPECT_EQ(dlg->FindHistoryBox()->currentText(), "two");
    QTest::keyClick(dlg->FindHistoryBox()->lineEdit(), Qt::Key_Escape);
    EXPECT_EQ(w.commands.State().Text, "two");

    doc->Memo().SetSelection(0, 0);
    w.commands.Find();
    Type(dlg->FindHistoryBox(), "one");
    dlg->close(); // the window's close box
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(w.commands.State().Text, "two");

    // The history lists what was searched, most recent first, and survives a new session.
    w.commands.Find();
    Type(dlg->FindHistoryBox(), "one");
    QTest::mouseClick(dlg->OKButton(), Qt::LeftButton);
    QTest::mouseClick(dlg->CancelButton(), Qt::LeftButton);
    TEdPersistent again(w.dir / "frepl.dat");
    EXPECT_EQ(again.FindHistory(), (std::vector<std::string>{"one", "two"}));

    // With no document, Find and Find Next do nothing.
    w.Close(doc);
    EXPECT_FALSE(w.commands.CanFind());
    w.commands.Find();
    w.commands.FindNext();
    EXPECT_FALSE(dlg->isVisible());
}

TEST(FindDialog, ClosingTheDocumentClosesTheDialogAndFindNextFollowsTheActiveOne) {
    TStandInWindow w;
    TSyntaxMemo* first = w.Add("xx target");
    w.commands.Find();
    TEdFindDlg* dlg = w.commands.FindDialog();
    Type(dlg->FindHistoryBox(), "target");
    QTest::mouseClick(dlg->OKButton(), Qt::LeftButton);
    EXPECT_EQ(Selected(first), "target");
    w.Close(first);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(w.commands.State().Text, "target");
    TSyntaxMemo* second = w.Add("target here, target there");
    w.commands.FindNext();
    EXPECT_EQ(second->Memo().Selection().Start(), 0);
    w.commands.FindNext();
    EXPECT_EQ(second->Memo().Selection().Start(), 13);
}

TEST(ReplaceDialog, EachAnswerOfTheQuestion) {
    TStandInWindow w;
    TSyntaxMemo* doc = w.Add("a a a a");
    w.commands.Replace();
    TEdReplDlg* dlg = w.commands.ReplaceDialog();
    ASSERT_TRUE(dlg->isVisible());
    EXPECT_FALSE(dlg->isModal());
    EXPECT_EQ(dlg->windowTitle(), "Find and replace text...");
    Type(dlg->FindHistoryBox(), "a");
    Type(dlg->ReplHistoryBox(), "bb");
    Alt(dlg, Qt::Key_P);
    ASSERT_TRUE(dlg->PromptOnReplBox()->isChecked());

    // OK: Yes replaces, No and Cancel leave the hit selected.
    w.answers = {TReplaceAnswer::Yes, TReplaceAnswer::No, TReplaceAnswer::Cancel};
    QTest::mouseClick(dlg->OKButton(), Qt::LeftButton);
    EXPECT_EQ(doc->Memo().Text(), "bb a a a");
    QTest::mouseClick(dlg->OKButton(), Qt::LeftButton);
    EXPECT_EQ(doc->Memo().Text(), "bb a a a");
    EXPECT_EQ(doc->Memo().Selection().Start(), 3);
    QTest::mouseClick(dlg->OKButton(), Qt::LeftButton);
    EXPECT_EQ(doc->Memo().Selection().Start(), 5);
    EXPECT_EQ(Selected(doc), "a");
    ASSERT_EQ(w.questions.size(), 3);
    EXPECT_EQ(w.questions[0], "Replace this instance of \"a\" with \"bb\" ?");
    EXPECT_EQ(w.offeredAll, (std::vector<bool>{false, false, false}));

    // Replace All asks from the top: No, Yes, then All replaces the rest without asking.
    w.questions.clear();
    w.offeredAll.clear();
    w.answers = {TReplaceAnswer::No, TReplaceAnswer::All};
    QTest::mouseClick(dlg->ReplaceAllButton(), Qt::LeftButton);
    EXPECT_EQ(doc->Memo().Text(), "bb a bb bb");
    EXPECT_EQ(w.questions.size(), 2);
    EXPECT_EQ(w.offeredAll, (std::vector<bool>{true, true}));
    EXPECT_TRUE(dlg->PromptOnReplBox()->isEnabled());

    // Cancel ends a Replace All where it is; what was replaced stays, as one undo step.
    w.answers = {TReplaceAnswer::Yes, TReplaceAnswer::Cancel};
    Type(dlg->FindHistoryBox(), "bb");
    Type(dlg->ReplHistoryBox(), "c");
    QTest::mouseClick(dlg->ReplaceAllButton(), Qt::LeftButton);
    EXPECT_EQ(doc->Memo().Text(), "c a bb bb");
    doc->Memo().Undo();
    EXPECT_EQ(doc->Memo().Text(), "bb a bb bb");

    // Without prompting Replace (OK) replaces the next hit at once; nothing found says so.
    Alt(dlg, Qt::Key_P);
    Type(dlg->FindHistoryBox(), "a");
    Type(dlg->ReplHistoryBox(), "z");
    doc->Memo().SetSelection(0, 0);
    QTest::mouseClick(dlg->OKButton(), Qt::LeftButton);
    EXPECT_EQ(doc->Memo().Text(), "bb z bb bb");
    QTest::mouseClick(dlg->OKButton(), Qt::LeftButton);
    EXPECT_EQ(w.informed.last(), "\"a\" not found");

    // Both histories are kept, most recent first, when the dialog closes.
    QTest::keyClick(dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(doc->Memo().HideSelection());
    TEdPersistent again(w.dir / "frepl.dat");
    // A text listed already keeps its place.
    EXPECT_EQ(again.FindHistory(), (std::vector<std::string>{"bb", "a"}));
    EXPECT_EQ(again.ReplaceHistory(), (std::vector<std::string>{"z", "c", "bb"}));
}

TEST(ReplaceDialog, ReplaceAllWithATemplateIsOneUndoStep) {
    TStandInWindow w;
    const std::string text = "mov ax\nmov bx\n  movs\nmov cx";
    TSyntaxMemo* doc = w.Add(text);
    const std::string stored = doc->Memo().Text();
    w.commands.Replace();
    TEdReplDlg* dlg = w.commands.ReplaceDialog();
    Alt(dlg, Qt::Key_R);
    // Each element of the pattern is an item: 1 to 4 are "m", "o", "v" and the blank, 5 is
    // the empty item where the group opens and 6 the group's text.
    Type(dlg->FindHistoryBox(), "mov ([a-z]+)");
    Type(dlg->ReplHistoryBox(), "ld %6,%1%2%3\\t%%");
    // The direction does not matter: Replace All always starts at the top.
    Alt(dlg, Qt::Key_B);
    doc->Memo().SetSelection(doc->Memo().TextLength(), doc->Memo().TextLength());
    QTest::mouseClick(dlg->ReplaceAllButton(), Qt::LeftButton);
    EXPECT_EQ(doc->Memo().Text(), "ld ax,mov\t%\rld bx,mov\t%\r  movs\rld cx,mov\t%");
    EXPECT_TRUE(w.errors.isEmpty());
    EXPECT_TRUE(w.questions.isEmpty());
    doc->Memo().Undo();
    EXPECT_EQ(doc->Memo().Text(), stored);
    EXPECT_FALSE(doc->Memo().CanUndo());

    // A pattern that matches the empty text ends, having put the text in at each place once.
    Type(dlg->FindHistoryBox(), "x*");
    Type(dlg->ReplHistoryBox(), "-");
    doc->Memo().SetWholeText("ab");
    QTest::mouseClick(dlg->ReplaceAllButton(), Qt::LeftButton);
    EXPECT_EQ(doc->Memo().Text(), "-a-b-");
}

TEST(ReplaceDialog, LongReplaceAllShowsProgressAndEscapeStopsIt) {
    TStandInWindow w;
    std::string text;
    for (int i = 0; i < 1000000; ++i)
        text += "push ax\n";
    TSyntaxMemo* doc = w.Add(text);
    const std::string stored = doc->Memo().Text();
    w.commands.Replace();
    TEdReplDlg* dlg = w.commands.ReplaceDialog();
    Type(dlg->FindHistoryBox(), "ax");
    Type(dlg->ReplHistoryBox(), "bx");
    // At once instead of after half a second; the user presses Escape in the box.
    dlg->ProgressDelay = 0;
    int shown = 0;
    dlg->OnProgressShown = [&](QProgressDialog& progress) {
        ++shown;
        EXPECT_TRUE(progress.isVisible());
        progress.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&progress));
        QTest::keyClick(&progress, Qt::Key_Escape);
    };
    QTest::mouseClick(dlg->ReplaceAllButton(), Qt::LeftButton);
    EXPECT_EQ(shown, 1);
    const std::string after = doc->Memo().Text();
    // Stopped early: some replaced from the top, the rest as it was.
    EXPECT_NE(after, stored);
    EXPECT_EQ(after.size(), stored.size());
    EXPECT_EQ(after.substr(0, 8), "push bx\r");
    EXPECT_EQ(after.substr(after.size() - 8), "push ax\r");
    doc->Memo().Undo();
    EXPECT_EQ(doc->Memo().Text(), stored);

    // Left alone it finishes, and no box is left behind.
    dlg->OnProgressShown = [&](QProgressDialog&) { ++shown; };
    QTest::mouseClick(dlg->ReplaceAllButton(), Qt::LeftButton);
    EXPECT_EQ(doc->Memo().Text().find("ax"), std::string::npos);
    EXPECT_EQ(dlg->findChildren<QProgressDialog*>().size(), 0);
}

TEST(ReplaceDialog, FollowsTheActiveDocumentAndNeverTouchesAClosedOne) {
    TStandInWindow w;
    TSyntaxMemo* first = w.Add("a a");
    w.commands.Replace();
    TEdReplDlg* dlg = w.commands.ReplaceDialog();
    Type(dlg->FindHistoryBox(), "a");
    Type(dlg->ReplHistoryBox(), "b");
    TSyntaxMemo* second = w.Add("a a a");
    EXPECT_EQ(dlg->Editor(), second);
    EXPECT_TRUE(first->Memo().HideSelection());
    EXPECT_FALSE(second->Memo().HideSelection());
    QTest::mouseClick(dlg->ReplaceAllButton(), Qt::LeftButton);
    EXPECT_EQ(second->Memo().Text(), "b b b");
    EXPECT_EQ(first->Memo().Text(), "a a");

    // The document it acts on closes while it is open: it goes on with the next one.
    w.Close(second);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->Editor(), first);
    QTest::mouseClick(dlg->OKButton(), Qt::LeftButton);
    EXPECT_EQ(first->Memo().Text(), "b a");

    // The last one closes: the buttons are disabled and clicking them does nothing.
    w.Close(first);
    EXPECT_EQ(dlg->Editor(), nullptr);
    EXPECT_FALSE(dlg->OKButton()->isEnabled());
    EXPECT_FALSE(dlg->ReplaceAllButton()->isEnabled());
    dlg->OKButton()->click();
    EXPECT_TRUE(w.informed.isEmpty());
    TSyntaxMemo* third = w.Add("a");
    EXPECT_TRUE(dlg->OKButton()->isEnabled());
    QTest::mouseClick(dlg->OKButton(), Qt::LeftButton);
    EXPECT_EQ(third->Memo().Text(), "b");
}

} // namespace
} // namespace kvx
