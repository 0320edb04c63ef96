// Find in Files from the Search menu: the dialog as the user fills it in, the search
// streaming into the results panel with its hits marked, Stop, and a double-click that
// opens the file and selects exactly the hit, whatever TABs and multi-byte characters
// stand before it.
#include "SearchHostStandIn.h"

#include "app/FindInFilesDlg.h"
#include "app/FindInFilesRun.h"
#include "app/SearchOptionsBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

namespace kvx {
namespace {

using test::TStandInWindow;
using test::WriteAll;
namespace fs = std::filesystem;

std::string Selected(TSyntaxMemo* editor) {
    const TSelectionRange sel = editor->Memo().Selection();
    return editor->Memo().Store().GetText(sel.Start(), sel.End());
}

QStringList PanelTexts(TResultsPanel& panel) {
    QStringList out;
    for (int row = 0; row < panel.Model()->rowCount(); ++row)
        out << panel.Model()->Line(row).Text;
    return out;
}

// A small project: nested folders, a TAB and a two-byte character before a hit, a
// Windows-1252 file with CR LF breaks, a binary file, and a file the patterns leave out.
void MakeTree(const fs::path& root) {
    fs::create_directories(root / "src" / "inc");
    WriteAll(root / "boot.asm", "start:\n\tmov ax, bx\n");
    WriteAll(root / "src" / "main.asm", "; h\xc3\xa9llo\n\t\xc3\xa9 MOV cx, 1\nnop\n");
    WriteAll(root / "src" / "inc" / "old.inc", "caf\xe9 mov dx\r\n\r\nmov\r\n");
    WriteAll(root / "src" / "data.asm", std::string("mov\0\1\2", 6));
    WriteAll(root / "notes.md", "mov here is not searched\n");
}

TEST(FindInFiles, FromTheDialogIntoThePanelAndBackToTheHit) {
    TStandInWindow w;
    const fs::path root = w.dir.Path() / "project";
    MakeTree(root);
    QObject::connect(&w.panel, &TResultsPanel::jumpRequested, &w.commands, &TSearchCommands::GoTo);
    EXPECT_TRUE(w.commands.CanFindInFiles()); // also with no document open

    // The dialog offers the current document's folder and the selected text.
    TSyntaxMemo* doc = w.Add("mov", QString::fromStdString((root / "boot.asm").string()));
    doc->Memo().SetSelection(0, 3);
    w.commands.FindInFiles();
    TFindInFilesDlg* dlg = w.commands.FindInFilesDialog();
    ASSERT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->TextBox()->currentText(), "mov");
    EXPECT_EQ(dlg->FolderEdit()->text(), QString::fromStdString(root.string()));
    EXPECT_TRUE(dlg->PatternsEdit()->text().contains("*.asm"));
    EXPECT_EQ(dlg->SizeLimitBox()->value(), 32);

    // A folder that does not exist: the dialog says so and stays open.
    dlg->FolderEdit()->setText(QString::fromStdString((root / "nowhere").string()));
    QTest::mouseClick(dlg->OKButton(), Qt::LeftButton);
    EXPECT_TRUE(dlg->isVisible());
    ASSERT_EQ(w.errors.size(), 1);

    // Browse picks the folder; OK starts the search and closes the dialog.
    w.browseTo = QString::fromStdString(root.string());
    QTest::mouseClick(dlg->BrowseButton(), Qt::LeftButton);
    EXPECT_EQ(dlg->FolderEdit()->text(), w.browseTo);
    QTest::mouseClick(dlg->OKButton(), Qt::LeftButton);
    EXPECT_FALSE(dlg->isVisible());
    TFindInFilesRun* run = w.commands.FindInFilesRun();
    ASSERT_NE(run, nullptr);
    if (run->Running()) {
        QSignalSpy finished(run, &TFindInFilesRun::finished);
        ASSERT_TRUE(finished.wait(10000));
    }
    EXPECT_FALSE(w.panel.StopButton()->isEnabled());
    const QStringList expected = {
        "boot.asm:2:2: \tmov ax, bx",
        "src/data.asm: skipped: binary file",
        "src/inc/old.inc:1:6: caf\u00e9 mov dx",
        "src/inc/old.inc:3:1: mov",
        "src/main.asm:2:4: \t\u00e9 MOV cx, 1",
        "4 hits in 4 files",
    };
    EXPECT_EQ(PanelTexts(w.panel), expected);
    EXPECT_TRUE(w.panel.Title().contains("4 hits"));
    // The marked part of each hit line is the hit.
    const TResultLine& mainHit = w.panel.Model()->Line(4);
    EXPECT_EQ(mainHit.Text.mid(mainHit.MarkStart, mainHit.MarkLength), "MOV");
    const TResultLine& oldHit = w.panel.Model()->Line(2);
    EXPECT_EQ(oldHit.Text.mid(oldHit.MarkStart, oldHit.MarkLength), "mov");

    // A double-click opens the file and selects the hit, past the TAB and the "é".
    QListView* view = w.panel.View();
    const QPoint at = view->visualRect(w.panel.Model()->index(4)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    ASSERT_EQ(w.opened.size(), 1);
    EXPECT_TRUE(w.opened[0].endsWith("src/main.asm"));
    EXPECT_EQ(Selected(w.active), "MOV");
    // The single-byte file: its "é" is one byte.
    w.panel.View()->setFocus();
    w.panel.View()->setCurrentIndex(w.panel.Model()->index(2));
    QTest::keyClick(w.panel.View(), Qt::Key_Return);
    EXPECT_EQ(Selected(w.active), "mov");
    EXPECT_EQ(w.active->Memo().Selection().Start(), 5);
    // An open file is activated, not opened again.
    w.panel.View()->setCurrentIndex(w.panel.Model()->index(0));
    QTest::keyClick(w.panel.View(), Qt::Key_Return);
    EXPECT_EQ(w.active, doc);
    EXPECT_EQ(w.opened.size(), 2);
}

// A file changed since it was searched: the place is clamped to what is there now.
TEST(FindInFiles, APlacePastTheTextIsClampedToIt) {
    TStandInWindow w;
    TSyntaxMemo* doc = w.Add("ab\n\tx\xc3\xa9y\nlast");
    TCustomSyntaxMemo& memo = doc->Memo();
    SelectPlace(memo, 2, 3, 2); // after the TAB and "x": the two-byte "é" and "y"
    EXPECT_EQ(Selected(doc), "\xc3\xa9y");
    SelectPlace(memo, 1, 40, 5); // past the end of line 1: its end, then on over the break
    EXPECT_EQ(memo.Selection().Start(), 2);
    EXPECT_EQ(Selected(doc), "\r\tx\xc3\xa9y");
    SelectPlace(memo, 99, 1, 99); // past the last line: the last line, to the end
    EXPECT_EQ(Selected(doc), "last");
    SelectPlace(memo, 0, 0, 0); // no line and no column: the start
    EXPECT_EQ(memo.Selection().Start(), 0);
    EXPECT_TRUE(memo.Selection().Empty());
    TSyntaxMemo* empty = w.Add("");
    SelectPlace(empty->Memo(), 3, 3, 3);
    EXPECT_TRUE(empty->Memo().Selection().Empty());
}

TEST(FindInFiles, StopEndsTheSearchAndSaysSo) {
    TStandInWindow w;
    const fs::path root = w.dir.Path() / "many";
    fs::create_directories(root);
    for (int i = 0; i < 50; ++i)
        WriteAll(root / ("f" + std::to_string(100 + i) + ".asm"), "mov ax, bx\n");

    // The search threads wait at the first file until the user has pressed Stop.
    std::atomic<bool> stopped{false};
    TFindInFilesRequest request;
    request.Folder = root.string();
    request.Text = "mov";
    request.Threads = 1;
    request.BeforeOpen = [&](const std::string&) {
        while (!stopped)
            std::this_thread::yield();
    };
    TFindInFilesRun run;
    QSignalSpy finished(&run, &TFindInFilesRun::finished);
    ASSERT_TRUE(run.Start(request, w.ShowResultsPanel()));
    EXPECT_TRUE(w.panel.StopButton()->isEnabled());
    QTest::mouseClick(w.panel.StopButton(), Qt::LeftButton);
    stopped = true;
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(run.Running());
    EXPECT_LT(run.Progress().Hits, 50);
    EXPECT_TRUE(run.Progress().Cancelled);
    EXPECT_TRUE(PanelTexts(w.panel).last().startsWith("Search stopped: "));
    EXPECT_FALSE(w.panel.StopButton()->isEnabled());

    // A bad pattern does not start, and says why with its caret line.
    request.BeforeOpen = {};
    request.Text = "a**";
    request.Options = soRegExpr;
    EXPECT_FALSE(run.Start(request, &w.panel));
    EXPECT_TRUE(run.ErrorText().contains("a**")) << run.ErrorText().toStdString();
}

} // namespace
} // namespace kvx
