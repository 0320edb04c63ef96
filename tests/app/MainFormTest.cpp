// The main window driven as a user drives it: documents opened, typed into, saved and
// closed; the questions answered through the window's dialog seam; files checked on disk.
#include "ShellFixture.h"
#include "app/core/RecentFiles.h"
#include "app/core/ShellStrings.h"
#include "editor/EdConsts.h"

#include <QComboBox>
#include <QMdiArea>
#include <QMenu>
#include <QStatusTipEvent>
#include <QToolButton>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace kvx {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::TShell;
using test::WriteAll;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QString SelectorText(const TShell& s) {
    return s.Form->findChild<QComboBox*>(QStringLiteral("Parser"))->currentText();
}

TEST(MainForm, EachFileOpensInTheLanguageOfItsExtensionAndTheSelectorFollows) {
    TShell s;
    s.Show();
    const std::pair<const char*, const char*> cases[] = {
        {"prog.inc", "Assembler"},
        {"boot.ASM", "Assembler"},
        {"list.lst", "Assembler"},
        {"a.Htm", "HTML"},
        {"x.html5", "HTML"},
        {"readme", "Text"},
        {"my.file.c", "C"},
        {"x.asmx", "Text"},
        {"unit.pas", "Pascal"},
        {"prog.bas", "Basic"},
        {"k.hpp", "C"},
    };
    for (const auto& [name, language] : cases) {
        WriteAll(s.File(name), "x\n");
        TMDIChild* child = s.Open(s.File(name));
        ASSERT_NE(child, nullptr) << name;
        EXPECT_EQ(child->DocumentName(), Q(s.File(name)));
        EXPECT_EQ(SelectorText(s), QString::fromUtf8(language)) << name;
        EXPECT_EQ(child->SM->ActiveParser(),
                  s.Form->findChild<QComboBox*>(QStringLiteral("Parser"))->currentIndex() + 1);
    }
    // Going back to an earlier window brings its language back to the selector.
    s.Form->Workspace()->setActiveSubWindow(s.Form->Children().first());
    QApplication::processEvents();
    EXPECT_EQ(SelectorText(s), QStringLiteral("Assembler"));

    // A file inside a folder named NONAME is an ordinary file: it loads, and Save writes it
    // without asking for a name.
    fs::create_directories(s.Dir.Path() / "NONAME");
    WriteAll(s.File("NONAME/a.asm"), "old\n");
    TMDIChild* child = s.Open(s.File("NONAME/a.asm"));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(s.Text(), "old\r");
    s.Type(QStringLiteral("new "));
    s.Trigger("FileSaveItem");
    EXPECT_EQ(s.SaveDialogs, 0);
    EXPECT_EQ(ReadAll(s.File("NONAME/a.asm")), "new old\n");

    // Choosing another language changes the active document's.
    auto* selector = s.Form->findChild<QComboBox*>(QStringLiteral("Parser"));
    selector->setCurrentIndex(1);
    emit selector->activated(1);
    EXPECT_EQ(child->SM->ActiveParser(), 2);
}

TEST(MainForm, SavingKeepsEachFilesBreaksAndEncodingAndTheUndoHistory) {
    TShell s;
    s.Show();
    const std::pair<const char*, std::string> files[] = {
        {"crlf.asm", "a\r\nb\r\n"},     {"lf.asm", "a\nb\n"},
        {"cr.asm", "a\rb\r"},           {"latin.txt", "caf\xE9\n"}, // not UTF-8: stays Windows-1252
        {"bom.txt", "\xEF\xBB\xBFx\n"},
    };
    for (const auto& [name, bytes] : files) {
        WriteAll(s.File(name), bytes);
        ASSERT_NE(s.Open(s.File(name)), nullptr);
        s.Type(QStringLiteral("X"));
        EXPECT_EQ(s.Status(2), QStringLiteral("Mod"));
        QTest::keyClick(s.Active()->SM, Qt::Key_F3);
        QApplication::processEvents();
        const std::string expected =
            std::string(bytes).insert(name == std::string("bom.txt") ? 3 : 0, "X");
        EXPECT_EQ(ReadAll(s.File(name)), expected) << name;
        // Saved: no "Mod", no question on close; the history survives and undoing past the
        // save makes the document modified again, redoing to it unmodified.
        EXPECT_EQ(s.Status(2), QString()) << name;
        EXPECT_FALSE(s.Active()->IsModified());
        ASSERT_TRUE(s.Form->Action("Undo1")->isEnabled());
        s.Trigger("Undo1");
        EXPECT_TRUE(s.Active()->IsModified());
        EXPECT_EQ(s.Status(2), QStringLiteral("Mod"));
        s.Trigger("Redo1");
        EXPECT_FALSE(s.Active()->IsModified());
        s.Trigger("FileCloseItem");
        EXPECT_TRUE(s.SaveQuestions.empty()) << name;
    }
    EXPECT_EQ(s.Form->Children().size(), 0);
    // Saving fed the recent list, the newest first.
    ASSERT_EQ(s.Form->RecentFiles().Names().size(), 5u);
    EXPECT_EQ(s.Form->RecentFiles().Names()[0], s.File("bom.txt"));
}

TEST(MainForm, ANewDocumentIsSavedThroughSaveAsWithLinuxBreaks) {
    TShell s;
    s.Show();
    s.Trigger("FileNewItem");
    ASSERT_NE(s.Active(), nullptr);
    EXPECT_EQ(s.Active()->DocumentName(), QStringLiteral("NONAME1"));
    EXPECT_TRUE(s.Active()->IsUnnamed());
    s.Type(QStringLiteral("a"));
    QTest::keyClick(s.Active()->SM, Qt::Key_Return);
    s.Type(QStringLiteral("b"));

    // Cancelled: still unnamed and modified.
    s.SaveNames = {QString()};
    s.Trigger("FileSaveItem");
    EXPECT_EQ(s.SaveDialogs, 1);
    EXPECT_TRUE(s.Active()->IsUnnamed());
    EXPECT_TRUE(s.Active()->IsModified());

    s.SaveNames = {Q(s.File("new.asm"))};
    s.Trigger("FileSaveItem");
    EXPECT_EQ(ReadAll(s.File("new.asm")), "a\nb");
    EXPECT_EQ(s.Active()->DocumentName(), Q(s.File("new.asm")));
    EXPECT_FALSE(s.Active()->IsUnnamed());
    EXPECT_FALSE(s.Active()->IsModified());
    // Only Save feeds the recent list, not Save As.
    EXPECT_TRUE(s.Form->RecentFiles().Empty());

    // The next Save goes to the file without a dialog.
    s.Type(QStringLiteral("c"));
    s.Trigger("FileSaveItem");
    EXPECT_EQ(s.SaveDialogs, 2);
    EXPECT_EQ(ReadAll(s.File("new.asm")), "a\nbc");

    // New counts the open windows: after closing, a number can come again.
    s.Trigger("FileNewItem");
    EXPECT_EQ(s.Active()->DocumentName(), QStringLiteral("NONAME2"));
}

TEST(MainForm, ClosingAModifiedDocumentAsksAndEachAnswerDoesWhatItSays) {
    TShell s;
    s.Show();
    WriteAll(s.File("a.asm"), "a\n");
    s.Open(s.File("a.asm"));
    s.Type(QStringLiteral("1"));

    s.SaveAnswers = {QMessageBox::Cancel};
    s.Trigger("FileCloseItem");
    ASSERT_EQ(s.SaveQuestions.size(), 1u);
    EXPECT_EQ(s.SaveQuestions[0], QStringLiteral("Save changes to %1?").arg(Q(s.File("a.asm"))));
    EXPECT_EQ(s.Form->Children().size(), 1);

    s.SaveAnswers = {QMessageBox::No};
    s.Trigger("FileCloseItem");
    EXPECT_EQ(s.Form->Children().size(), 0);
    EXPECT_EQ(ReadAll(s.File("a.asm")), "a\n");

    s.Open(s.File("a.asm"));
    s.Type(QStringLiteral("2"));
    s.SaveAnswers = {QMessageBox::Yes};
    s.Trigger("FileCloseItem");
    EXPECT_EQ(s.Form->Children().size(), 0);
    EXPECT_EQ(ReadAll(s.File("a.asm")), "2a\n");

    // Yes on an unnamed document whose Save As is cancelled keeps the window: closing it
    // would lose the text the user asked to keep.
    s.Trigger("FileNewItem");
    s.Type(QStringLiteral("keep me"));
    s.SaveAnswers = {QMessageBox::Yes};
    s.SaveNames = {QString()};
    s.Trigger("FileCloseItem");
    ASSERT_EQ(s.Form->Children().size(), 1);
    EXPECT_EQ(s.Text(), "keep me");

    // Close All asks from the last window to the first and stops at Cancel.
    s.Open(s.File("a.asm"));
    s.Type(QStringLiteral("3"));
    s.SaveAnswers = {QMessageBox::No, QMessageBox::Cancel};
    s.Trigger("CloseAll1");
    ASSERT_EQ(s.Form->Children().size(), 1);
    EXPECT_TRUE(s.Active()->IsUnnamed());
}

TEST(MainForm, ExitAsksAboutEveryModifiedDocumentAndCancelKeepsThemAll) {
    TShell s;
    s.Show();
    WriteAll(s.File("a.asm"), "a\n");
    WriteAll(s.File("b.asm"), "b\n");
    s.Open(s.File("a.asm"));
    s.Type(QStringLiteral("1"));
    s.Open(s.File("b.asm"));
    s.Type(QStringLiteral("2"));

    s.SaveAnswers = {QMessageBox::No, QMessageBox::Cancel};
    EXPECT_FALSE(s.Close());
    EXPECT_EQ(s.SaveQuestions.size(), 2u);
    EXPECT_TRUE(s.Form->isVisible());
    ASSERT_EQ(s.Form->Children().size(), 2);
    // The document answered No is still there and still modified.
    EXPECT_TRUE(s.Form->Children()[0]->IsModified());
    EXPECT_TRUE(s.Form->Children()[1]->IsModified());

    s.SaveAnswers = {QMessageBox::Yes, QMessageBox::No};
    EXPECT_TRUE(s.Close());
    EXPECT_EQ(ReadAll(s.File("b.asm")), "2b\n");
    EXPECT_EQ(ReadAll(s.File("a.asm")), "a\n");
}

TEST(MainForm, AFailedSaveKeepsTheDocumentAndTheOldFile) {
    TShell s;
    s.Show();
    fs::create_directories(s.Dir.Path() / "gone");
    WriteAll(s.File("gone/a.asm"), "a\n");
    s.Open(s.File("gone/a.asm"));
    s.Type(QStringLiteral("1"));
    // The folder goes away under the document: nothing can be written there.
    fs::remove_all(s.Dir.Path() / "gone");
    s.Trigger("FileSaveItem");
    ASSERT_EQ(s.Errors.size(), 1u);
    EXPECT_TRUE(s.Errors[0].contains(Q(s.File("gone/a.asm")))) << s.Errors[0].toStdString();
    EXPECT_TRUE(s.Active()->IsModified());
    EXPECT_EQ(s.Status(2), QStringLiteral("Mod"));
    EXPECT_FALSE(fs::exists(s.File("gone/a.asm")));
    EXPECT_TRUE(s.Form->RecentFiles().Empty());

    // Yes on close with a failing save keeps the window.
    s.SaveAnswers = {QMessageBox::Yes};
    s.Trigger("FileCloseItem");
    EXPECT_EQ(s.Form->Children().size(), 1);
    EXPECT_EQ(s.Errors.size(), 2u);

    // A read-only folder (which root may write all the same).
    if (::geteuid() != 0) {
        fs::create_directories(s.Dir.Path() / "ro");
        WriteAll(s.File("ro/b.asm"), "b\n");
        s.Open(s.File("ro/b.asm"));
        s.Type(QStringLiteral("1"));
        fs::permissions(s.Dir.Path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
        s.Trigger("FileSaveItem");
        EXPECT_EQ(s.Errors.size(), 3u);
        EXPECT_EQ(ReadAll(s.File("ro/b.asm")), "b\n");
        EXPECT_TRUE(s.Active()->IsModified());
        fs::permissions(s.Dir.Path() / "ro", fs::perms::owner_all);
    }
}

TEST(MainForm, FilesThatCannotLoadOrThatLoadingWouldChange) {
    TShell s;
    s.Show();
    // Missing, a folder, a FIFO from the command line: a message or nothing, never a window.
    s.Form->OpenDocument(Q(s.File("missing.asm")));
    ASSERT_EQ(s.Errors.size(), 1u);
    EXPECT_TRUE(s.Errors[0].contains(QStringLiteral("missing.asm")));
    s.Form->OpenDocument(Q(s.Dir / ""));
    EXPECT_EQ(s.Errors.size(), 2u);
    EXPECT_EQ(s.Form->Children().size(), 0);
    ASSERT_EQ(::mkfifo((s.Dir / "fifo").c_str(), 0600), 0);
    s.Form->OpenCommandLine({Q(s.File("fifo")), Q(s.File("ignored"))});
    s.Form->OpenCommandLine({Q(s.File("missing.asm"))});
    EXPECT_EQ(s.Errors.size(), 2u);
    EXPECT_EQ(s.Form->Children().size(), 0);

    // Control characters: asked first; No opens nothing.
    WriteAll(s.File("nul.asm"), std::string("a\0b\n", 4));
    s.YesNo = {false};
    EXPECT_EQ(s.Form->OpenDocument(Q(s.File("nul.asm"))), nullptr);
    ASSERT_EQ(s.Questions.size(), 1u);
    EXPECT_TRUE(s.Questions[0].contains(QStringLiteral("1 control character")));
    EXPECT_EQ(s.Form->Children().size(), 0);
    s.YesNo = {true};
    ASSERT_NE(s.Form->OpenDocument(Q(s.File("nul.asm"))), nullptr);
    EXPECT_EQ(s.Text(), "a.b\r");

    // Mixed breaks are asked about too; a clean file is not.
    WriteAll(s.File("mixed.txt"), "a\r\nb\nc\r\n");
    s.YesNo = {true};
    ASSERT_NE(s.Open(s.File("mixed.txt")), nullptr);
    ASSERT_EQ(s.Questions.size(), 3u);
    EXPECT_TRUE(s.Questions[2].contains(QStringLiteral("mixes line-break styles")));
    WriteAll(s.File("clean.txt"), "a\r\nb\r\n");
    ASSERT_NE(s.Open(s.File("clean.txt")), nullptr);
    EXPECT_EQ(s.Questions.size(), 3u);

    // The command line opens its first argument.
    s.Form->OpenCommandLine({Q(s.File("clean.txt")), Q(s.File("nul.asm"))});
    EXPECT_EQ(s.Active()->DocumentName(), Q(s.File("clean.txt")));
}

TEST(MainForm, GotoLineTakesAWholeNumberAndIgnoresTheRest) {
    TShell s;
    s.Show();
    // Without a document the box still asks and nothing happens.
    s.Lines = {QStringLiteral("3")};
    s.Trigger("Goto1");
    EXPECT_TRUE(s.Lines.empty());

    std::string text;
    for (int i = 1; i <= 20; ++i)
        text += "line " + std::to_string(i) + "\n";
    WriteAll(s.File("a.asm"), text);
    s.Open(s.File("a.asm"));
    s.Lines = {QStringLiteral(" 12 ")};
    s.Trigger("Goto1");
    EXPECT_EQ(s.Status(1), QStringLiteral("  12:   1"));
    for (const QString& bad : {QString(), QStringLiteral("abc"), QStringLiteral("0"),
                               QStringLiteral("-3"), QStringLiteral("")}) {
        s.Lines = {bad};
        s.Trigger("Goto1");
        EXPECT_EQ(s.Status(1), QStringLiteral("  12:   1"));
    }
    // Past the end: the last line.
    s.Lines = {QStringLiteral("99999999999")};
    s.Trigger("Goto1");
    EXPECT_EQ(s.Active()->SM->CaretLine(), 21);
    EXPECT_TRUE(s.Errors.empty());
}

TEST(MainForm, FontSizeStepsWithinItsLimitsAndAppliesToEveryDocument) {
    TShell s;
    s.Show();
    EXPECT_EQ(s.Form->FontSize(), 10); // no settings yet
    s.Trigger("FileNewItem");
    s.Trigger("FileNewItem");
    for (int i = 0; i < 8; ++i)
        s.Trigger("Font1");
    EXPECT_EQ(s.Form->FontSize(), 20);
    for (TMDIChild* child : s.Form->Children())
        EXPECT_EQ(child->SM->FontSize(), 20);
    for (int i = 0; i < 8; ++i)
        QTest::keyClick(s.Active()->SM, Qt::Key_BracketLeft, Qt::ControlModifier);
    EXPECT_EQ(s.Form->FontSize(), 8);
    for (TMDIChild* child : s.Form->Children())
        EXPECT_EQ(child->SM->FontSize(), 8);
    // The spin's arrows do the same.
    s.Form->findChild<QToolButton*>(QStringLiteral("FSpinUp"))->click();
    EXPECT_EQ(s.Form->FontSize(), 10);
    // A document opened later gets the size too.
    s.Trigger("FileNewItem");
    EXPECT_EQ(s.Active()->SM->FontSize(), 10);
    s.Close();
    EXPECT_NE(ReadAll(s.Dir / "config/kovex/kvxl.ini").find("Label3_Caption=10"),
              std::string::npos);
}

TEST(MainForm, ZoomSwitchesBetweenNormalAndMaximizedAndNewWindowsFollow) {
    TShell s;
    s.Show();
    s.Trigger("FileNewItem");
    TMDIChild* first = s.Active();
    ASSERT_FALSE(first->isMaximized());
    QTest::keyClick(first->SM, Qt::Key_F5);
    EXPECT_TRUE(first->isMaximized());
    EXPECT_EQ(s.Form->MaximizedText(), QStringLiteral("1"));
    s.Trigger("FileNewItem");
    EXPECT_TRUE(s.Active()->isMaximized());
    s.Trigger("Zoom1");
    EXPECT_FALSE(s.Active()->isMaximized());
    EXPECT_EQ(s.Form->MaximizedText(), QStringLiteral("0"));

    // Minimized stays minimized, and so does the next new window.
    s.Active()->showMinimized();
    QApplication::processEvents();
    s.Form->Workspace()->setActiveSubWindow(s.Active());
    s.Trigger("Zoom1");
    EXPECT_TRUE(s.Active()->isMinimized());
    EXPECT_EQ(s.Form->MaximizedText(), QStringLiteral("0"));
    s.Trigger("FileNewItem");
    EXPECT_TRUE(s.Active()->isMinimized());

    // Minimize All, Next and Prev.
    s.Trigger("WindowMinimizeItem");
    for (TMDIChild* child : s.Form->Children())
        EXPECT_TRUE(child->isMinimized());
    TMDIChild* before = s.Active();
    s.Trigger("Next1");
    EXPECT_NE(s.Active(), before);
    s.Trigger("Prev1");
    EXPECT_EQ(s.Active(), before);
}

TEST(MainForm, CommandsAreEnabledByTheRulesOfTheMenuTable) {
    TShell s;
    s.Show();
    struct TRule {
        const char* Name;
        bool WithoutDocument;
        bool WithDocument; // a fresh document: no selection, nothing to undo
    };
    const TRule rules[] = {
        {"FileNewItem", true, true},
        {"FileOpenItem", true, true},
        {"FileSaveItem", false, true},
        {"FileSaveAsItem", false, true},
        {"FileCloseItem", false, true},
        {"CloseAll1", false, true},
        {"PrintSetup1", true, true},
        {"FileExitItem", true, true},
        {"Undo1", false, false},
        {"Redo1", false, false},
        {"CutItem", false, false},
        {"CopyItem", false, false},
        {"Delete1", false, false},
        {"SelectAll1", false, true},
        {"FindinFiles1", false, false},
        {"Goto1", true, true},
        {"Font1", false, true},
        {"Font2", false, true},
        {"WindowCascadeItem", false, true},
        {"WindowTileItem", false, true},
        {"WindowArrangeItem", false, true},
        {"WindowMinimizeItem", false, true},
        {"Zoom1", false, true},
        {"Next1", false, true},
        {"Prev1", false, true},
        {"Help2", true, true},
        {"Options1", true, true},
        {"Calculator1", true, true},
        {"ASCIITable1", true, true},
        {"HelpAboutItem", true, true},
    };
    for (const TRule& r : rules)
        EXPECT_EQ(s.Form->Action(r.Name)->isEnabled(), r.WithoutDocument) << r.Name;
    EXPECT_FALSE(s.Form->ReopenMenu()->menuAction()->isEnabled());
    EXPECT_FALSE(s.Form->RunMenu()->menuAction()->isEnabled());
    EXPECT_FALSE(s.Form->findChild<QToolButton*>(QStringLiteral("RunBtn"))->isEnabled());
    for (const char* b : {"SaveBtn", "CutBtn", "CopyBtn", "PasteBtn"})
        EXPECT_FALSE(s.Form->findChild<QToolButton*>(QString::fromUtf8(b))->isEnabled()) << b;

    s.Trigger("FileNewItem");
    for (const TRule& r : rules)
        EXPECT_EQ(s.Form->Action(r.Name)->isEnabled(), r.WithDocument) << r.Name;
    EXPECT_TRUE(s.Form->RunMenu()->menuAction()->isEnabled());
    EXPECT_TRUE(s.Form->findChild<QToolButton*>(QStringLiteral("SaveBtn"))->isEnabled());

    // A selection enables cut, copy and delete; typing enables undo; the clipboard paste.
    s.Type(QStringLiteral("abc"));
    EXPECT_TRUE(s.Form->Action("Undo1")->isEnabled());
    EXPECT_FALSE(s.Form->Action("CopyItem")->isEnabled());
    s.Trigger("SelectAll1");
    for (const char* name : {"CutItem", "CopyItem", "Delete1"})
        EXPECT_TRUE(s.Form->Action(name)->isEnabled()) << name;
    s.Trigger("CopyItem");
    EXPECT_TRUE(s.Form->Action("PasteItem")->isEnabled());
    s.Trigger("Delete1");
    EXPECT_EQ(s.Text(), "");
    EXPECT_FALSE(s.Form->Action("CutItem")->isEnabled());
    s.Trigger("PasteItem");
    s.Trigger("PasteItem");
    EXPECT_EQ(s.Text(), "abcabc");
    s.Trigger("Undo1");
    EXPECT_EQ(s.Text(), "abc");
    EXPECT_TRUE(s.Form->Action("Redo1")->isEnabled());
}

TEST(MainForm, TheStatusBarShowsCaretModifiedAndTypingMode) {
    TShell s;
    s.Show();
    EXPECT_EQ(s.Status(1), QString());
    s.Trigger("FileNewItem");
    EXPECT_EQ(s.Status(0), QString());
    EXPECT_EQ(s.Status(1), QStringLiteral("   1:   1"));
    EXPECT_EQ(s.Status(2), QString());
    EXPECT_EQ(s.Status(3), QStringLiteral("Insert"));
    s.Type(QStringLiteral("ab"));
    QTest::keyClick(s.Active()->SM, Qt::Key_Return);
    s.Type(QStringLiteral("c"));
    EXPECT_EQ(s.Status(1), QStringLiteral("   2:   2"));
    EXPECT_EQ(s.Status(2), QStringLiteral("Mod"));
    QTest::keyClick(s.Active()->SM, Qt::Key_Insert);
    EXPECT_EQ(s.Status(3), QStringLiteral("Overwrite"));
    // A menu item's hint shows in the last panel.
    QStatusTipEvent tip(QStringLiteral("Create a new file"));
    QApplication::sendEvent(s.Form.get(), &tip);
    EXPECT_EQ(s.Status(4), QStringLiteral("Create a new file"));
    // The last document gone, the panels empty.
    s.SaveAnswers = {QMessageBox::No};
    s.Trigger("FileCloseItem");
    QApplication::processEvents();
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(s.Status(i), QString()) << i;
}

} // namespace
} // namespace kvx
