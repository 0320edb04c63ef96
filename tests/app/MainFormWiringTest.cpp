// What the main window keeps between runs (placement, font size, recent files) and the
// windows and tools it wires in: the Run menu with its output panel and jumps, the
// calculator, the ASCII table, the about box, the tools dialog and the help page.
#include "ShellFixture.h"
#include "app/AboutBox.h"
#include "app/AsciiTable.h"
#include "app/CalcDlg.h"
#include "app/EdReplDlg.h"
#include "app/OptDlg.h"
#include "app/ResultsPanel.h"
#include "app/SearchCommands.h"
#include "app/ToolRunner.h"
#include "app/core/IniFile.h"
#include "app/core/Placement.h"

#include <QClipboard>
#include <QDockWidget>
#include <QDropEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QUrl>

namespace kvx {
namespace {

using test::ReadAll;
using test::TShell;
using test::WriteAll;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

TEST(MainFormSettings, PlacementFontSizeAndRecentFilesComeBackNextTime) {
    TShell s;
    s.Show();
    s.Form->showNormal();
    s.Form->setGeometry(40, 50, 500, 300);
    QApplication::processEvents();
    // Eleven files saved: the last ten stay, the newest first.
    for (int i = 0; i < 11; ++i) {
        const std::string name = s.File("f" + std::to_string(i) + ".asm");
        WriteAll(name, "x\n");
        s.Open(name);
        s.Type(QStringLiteral("y"));
        s.Trigger("FileSaveItem");
        s.Trigger("FileCloseItem");
    }
    s.Trigger("FileNewItem");
    s.Trigger("Font1"); // 12, which needs a document
    s.Trigger("FileCloseItem");
    // Saving the third again moves it to the top without repeating it.
    s.Open(s.File("f8.asm"));
    s.Trigger("FileSaveItem");
    s.Trigger("FileCloseItem");
    ASSERT_TRUE(s.Close());

    const std::string ini = ReadAll(s.Dir / "config/kovex/kvxl.ini");
    EXPECT_NE(ini.find("Label3_Caption=12"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Label4_Caption=0"), std::string::npos);
    EXPECT_NE(ini.find("NormPos="), std::string::npos);
    EXPECT_NE(ini.find("Item_0=" + s.File("f8.asm")), std::string::npos);
    EXPECT_EQ(ini.find("f0.asm"), std::string::npos);

    s.Destroy();
    s.Create();
    s.Show();
    EXPECT_EQ(s.Form->FontSize(), 12);
    EXPECT_EQ(s.Form->geometry().topLeft(), QPoint(40, 50));
    const QList<QAction*> items = s.Form->ReopenMenu()->actions();
    ASSERT_EQ(items.size(), 10);
    EXPECT_TRUE(s.Form->ReopenMenu()->menuAction()->isEnabled());
    EXPECT_EQ(items[0]->text(), QStringLiteral("&1\t") + Q(s.File("f8.asm")));
    EXPECT_EQ(items[1]->text(), QStringLiteral("&2\t") + Q(s.File("f10.asm")));
    EXPECT_TRUE(items[8]->text().startsWith(QStringLiteral("&9\t")));
    EXPECT_EQ(items[9]->text(), QStringLiteral("&A\t") + Q(s.File("f1.asm")));
    // Reopen opens the file, or the window that already shows it.
    items[1]->trigger();
    ASSERT_NE(s.Active(), nullptr);
    EXPECT_EQ(s.Active()->DocumentName(), Q(s.File("f10.asm")));
    items[1]->trigger();
    EXPECT_EQ(s.Form->Children().size(), 1);
    // A file gone since is reported, not opened as an empty window.
    std::filesystem::remove(s.File("f7.asm"));
    s.Form->ReopenMenu()->actions()[3]->trigger();
    EXPECT_EQ(s.Form->Children().size(), 1);
    EXPECT_EQ(s.Errors.size(), 1u);
}

TEST(MainFormSettings, DamagedOrMissingValuesFallBackAndNeverCrash) {
    TShell s;
    std::filesystem::create_directories(s.Dir.Path() / "config/kovex");
    WriteAll(s.Dir / "config/kovex/kvxl.ini",
             "[Params]\nNormPos=1,2,three,4\nShowCmd=banana\nLabel3_Caption=huge\n"
             "Label4_Caption=7\n[TMainForm.MRU]\nItem_0=\nItem_1=/no/such/file.asm\n"
             "Item_2=/no/such/file.asm\n");
    s.Show();
    EXPECT_EQ(s.Form->FontSize(), 10);
    EXPECT_EQ(s.Form->MaximizedText(), QStringLiteral("0"));
    ASSERT_EQ(s.Form->ReopenMenu()->actions().size(), 1);

    // A placement from a screen that is gone is not restored.
    s.Destroy();
    WriteAll(s.Dir / "config/kovex/kvxl.ini",
             "[Params]\nNormPos=90000,90000,90500,90300\nShowCmd=1\nLabel4_Caption=1\n");
    s.Create();
    s.Show();
    EXPECT_LT(s.Form->geometry().left(), 10000);
    EXPECT_EQ(s.Form->MaximizedText(), QStringLiteral("1"));
    s.Trigger("FileNewItem");
    EXPECT_TRUE(s.Active()->isMaximized());

    // A size that is none of the box's entries is kept as it is; one no font has is not.
    for (const auto& [stored, size] : {std::pair{"22", 22}, {"7", 8}, {"4000", 10}, {"6", 6}}) {
        s.Destroy();
        WriteAll(s.Dir / "config/kovex/kvxl.ini",
                 std::string("[Params]\nLabel3_Caption=") + stored + "\n");
        s.Create();
        s.Show();
        EXPECT_EQ(s.Form->FontSize(), size) << stored;
        s.Trigger("FileNewItem");
        EXPECT_EQ(s.Active()->SM->FontSize(), size) << stored;
    }
}

TEST(MainFormTools, TheRunMenuRunsAToolOnTheActiveDocumentIntoTheDockedPanel) {
    TShell s;
    s.Show();
    QMenu* run = s.Form->RunMenu();
    // No tools set up: "Compile" and four "empty", all off.
    ASSERT_EQ(run->actions().size(), 5);
    EXPECT_EQ(run->actions()[0]->text(), QStringLiteral("Compile"));
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(run->actions()[i]->text(), QStringLiteral("empty"));

    // Set up through System > Options: tool 1 and tool 3.
    s.Exec = [](QDialog& dialog) {
        auto* opt = dynamic_cast<TOptDlg*>(&dialog);
        EXPECT_NE(opt, nullptr);
        opt->findChild<QLineEdit*>(QStringLiteral("FN1"))->setText(QStringLiteral(KVX_TOOL_PROBE));
        opt->findChild<QLineEdit*>(QStringLiteral("FP1"))
            ->setText(QStringLiteral("-x $EDFILW.lst"));
        opt->findChild<QLineEdit*>(QStringLiteral("TN3"))->setText(QStringLiteral("Probe"));
        opt->findChild<QLineEdit*>(QStringLiteral("FN3"))->setText(QStringLiteral(KVX_TOOL_PROBE));
        opt->accept();
        return opt->result();
    };
    s.Trigger("Options1");
    EXPECT_EQ(run->actions()[2]->text(), QStringLiteral("Probe"));
    EXPECT_NE(ReadAll(s.Dir / "config/kovex/kovxl.ini").find("FileName3="), std::string::npos);
    // Still nothing to run them on.
    EXPECT_FALSE(run->actions()[0]->isEnabled());

    WriteAll(s.File("boot.asm"), "mov ax, bx\nnop\nnop\n");
    s.Open(s.File("boot.asm"));
    EXPECT_TRUE(run->actions()[0]->isEnabled());
    EXPECT_TRUE(run->actions()[2]->isEnabled());
    EXPECT_TRUE(s.Form->findChild<QToolButton*>(QStringLiteral("RunBtn"))->isEnabled());

    test::ScopedEnv record("KVX_PROBE_RECORD", s.Dir / "argv");
    test::ScopedEnv talk("KVX_PROBE_TALK", "1");
    test::ScopedEnv exitCode("KVX_PROBE_EXIT", "3");
    QSignalSpy finished(s.Form->ToolRunner(), &TToolRunner::finished);
    QTest::keyClick(s.Active()->SM, Qt::Key_F9);
    ASSERT_TRUE(finished.count() > 0 || finished.wait(10000));
    EXPECT_TRUE(s.Form->ResultsDock()->isVisible());
    EXPECT_TRUE(s.Status(4).startsWith(QStringLiteral("Run: ")));
    const std::vector<std::string> argv = test::ReadNulSeparated(s.Dir / "argv");
    ASSERT_EQ(argv.size(), 3u);
    EXPECT_EQ(argv[0], s.Dir.Path().string());
    EXPECT_EQ(argv[1], "-x");
    EXPECT_EQ(argv[2], s.File("boot.lst"));

    // Both streams and the exit status reached the panel.
    TResultsModel* model = s.Form->ResultsPanel()->Model();
    QStringList lines;
    for (int i = 0; i < model->rowCount(); ++i)
        lines << model->Line(i).Text;
    const QString all = lines.join(QLatin1Char('\n'));
    EXPECT_TRUE(all.contains(QStringLiteral("first line"))) << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("boot.asm:3: error"))) << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("Exit code 3"))) << all.toStdString();

    // The error line names boot.asm line 3: activating it goes there, in the open window.
    int row = -1;
    for (int i = 0; i < model->rowCount(); ++i)
        if (model->Line(i).Target)
            row = i;
    ASSERT_GE(row, 0);
    s.Trigger("FileNewItem"); // another window is active now
    QListView* view = s.Form->ResultsPanel()->View();
    view->setCurrentIndex(model->index(row));
    emit view->activated(model->index(row));
    QApplication::processEvents();
    EXPECT_EQ(s.Active()->DocumentName(), Q(s.File("boot.asm")));
    EXPECT_EQ(s.Active()->SM->CaretLine(), 3);
    EXPECT_EQ(s.Form->Children().size(), 2);

    // A jump to a file not open opens it.
    WriteAll(s.File("other.asm"), "a\nb\nc\nd\n");
    EXPECT_TRUE(s.Form->JumpTo(Q(s.File("other.asm")), 4, 1, 1));
    EXPECT_EQ(s.Active()->DocumentName(), Q(s.File("other.asm")));
    EXPECT_EQ(s.Active()->SM->CaretLine(), 4);
    EXPECT_EQ(s.Active()->SM->Memo().SelText(), "d");
}

TEST(MainFormTools, CalculatorAsciiTableAboutAndHelp) {
    TShell s;
    s.Show();
    // Without a document the calculator's OK inserts nothing and leaves the clipboard.
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    s.Exec = [](QDialog& dialog) {
        auto* calc = dynamic_cast<TCalculatorDlg*>(&dialog);
        EXPECT_NE(calc, nullptr);
        QTest::keyClicks(calc, QStringLiteral("6*7="));
        calc->accept();
        return int(QDialog::Accepted);
    };
    s.Trigger("Calculator1");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

    s.Trigger("FileNewItem");
    s.Type(QStringLiteral("x="));
    s.Trigger("Calculator1");
    EXPECT_EQ(s.Text(), "x=42");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("42"));

    s.Trigger("ASCIITable1");
    EXPECT_TRUE(s.Form->AsciiTable()->isVisible());

    // The about box, and F1 in it asks for its own page.
    s.Exec = [](QDialog& dialog) {
        auto* about = dynamic_cast<TAboutBox*>(&dialog);
        EXPECT_NE(about, nullptr);
        emit about->helpRequested(TAboutBox::kHelpContext);
        return int(QDialog::Accepted);
    };
    s.Trigger("HelpAboutItem");
    s.Trigger("Help2");
    const QString help = TMainForm::HelpFile();
    ASSERT_FALSE(help.isEmpty()) << "the help page is written beside the program";
    ASSERT_EQ(s.Urls.size(), 2u);
    EXPECT_EQ(s.Urls[0].fragment(), QStringLiteral("ctx-2000"));
    EXPECT_EQ(s.Urls[1].fragment(), QStringLiteral("ctx-10"));
    EXPECT_EQ(s.Urls[1].toLocalFile(), help);
    // F1 in the text: the document window's page.
    s.Form->AsciiTable()->hide();
    s.Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(s.Form.get()));
    s.Active()->SM->setFocus();
    QApplication::processEvents();
    QTest::keyClick(s.Active()->SM, Qt::Key_F1);
    ASSERT_EQ(s.Urls.size(), 3u);
    EXPECT_EQ(s.Urls[2].fragment(), QStringLiteral("ctx-20"));
    // Every context has its anchor in the page, and the keys were filled in.
    const std::string page = ReadAll(help.toStdString());
    for (const char* anchor : {"id=\"ctx-10\"", "id=\"ctx-20\"", "id=\"ctx-2000\""})
        EXPECT_NE(page.find(anchor), std::string::npos) << anchor;
    EXPECT_EQ(page.find("@KEYS@"), std::string::npos);
    EXPECT_NE(page.find("<kbd>Ctrl+Home</kbd>"), std::string::npos);
}

TEST(MainFormSearch, FindNextAndTheReplaceDialogFollowTheDocuments) {
    TShell s;
    s.Show();
    TSearchCommands* search = s.Form->SearchCommands();
    ASSERT_NE(search, nullptr);
    std::vector<QString> told;
    search->Prompts.Inform = [&](QWidget*, const QString& text) { told.push_back(text); };

    s.Trigger("FileNewItem");
    s.Type(QStringLiteral("abc x abc"));
    TCustomSyntaxMemo& memo = s.Active()->SM->Memo();
    memo.SetSelection(0, 0);
    search->State().Text = "abc";
    s.Trigger("FindNext1");
    EXPECT_EQ(memo.Selection().Start(), 0);
    EXPECT_EQ(memo.Selection().End(), 3);
    s.Trigger("FindNext1");
    EXPECT_EQ(memo.Selection().Start(), 6);
    s.Trigger("FindNext1");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], QStringLiteral("\"abc\" not found"));

    // The replace dialog acts on the current document and lets go of it when it closes.
    s.Trigger("Repla1");
    ASSERT_TRUE(search->ReplaceDialog()->isVisible());
    EXPECT_EQ(search->ReplaceDialog()->Editor(), s.Active()->SM);
    s.SaveAnswers.push_back(QMessageBox::No);
    s.Trigger("FileCloseItem");
    EXPECT_TRUE(s.Form->Children().isEmpty());
    EXPECT_EQ(search->ReplaceDialog()->Editor(), nullptr);
    EXPECT_FALSE(s.Form->Action("FindNext1")->isEnabled());
    EXPECT_TRUE(s.Form->Action("FindinFiles1")->isEnabled());
    search->ReplaceDialog()->close();
}

TEST(MainFormDrops, FilesDroppedOnAnEditorOpenAsDocuments) {
    TShell s;
    s.Show();
    WriteAll(s.File("dropped.c"), "int x;\n");
    s.Trigger("FileNewItem");
    TSyntaxMemo* editor = s.Active()->SM;
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Q(s.File("dropped.c"))),
                  QUrl::fromLocalFile(Q(s.Dir.Path().string()))}); // a folder is no document
    const QPoint at(editor->Memo().TextLeft() + 4, 4);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor->viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor->viewport(), &drop);
    QApplication::processEvents();
    ASSERT_EQ(s.Form->Children().size(), 2);
    EXPECT_EQ(s.Text(), "int x;\r"); // lines end in CR inside the editor
    EXPECT_EQ(s.Active()->FileName(), Q(s.File("dropped.c")));
    // The names were not typed into the document they were dropped on.
    EXPECT_EQ(editor->Memo().Text(), "");
}

} // namespace
} // namespace kvx
