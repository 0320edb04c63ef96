#include "app/ToolRunner.h"
#include "TestFiles.h"
#include "app/ResultsPanel.h"
#include "app/core/ToolCommand.h"

#include <QListView>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace kvx {
namespace {

using test::ScopedEnv;
using test::TempDir;

class TFakeDocument : public TToolDocument {
  public:
    QString Name;
    bool Unnamed = false;
    bool Modified = false;
    bool SaveSucceeds = true;
    QString NameAfterSave;
    int Saves = 0;

    QString FileName() const override { return Name; }
    bool IsUnnamed() const override { return Unnamed; }
    bool IsModified() const override { return Modified; }
    bool Save() override {
        ++Saves;
        if (!SaveSucceeds)
            return false;
        if (Unnamed && !NameAfterSave.isEmpty()) {
            Name = NameAfterSave;
            Unnamed = false;
        }
        Modified = false;
        return true;
    }
};

// A runner on a panel, with the status text, message boxes and desktop openings recorded.
struct TRunFixture {
    TResultsPanel panel;
    TToolRunner runner{&panel};
    std::vector<QString> status, errors;
    std::vector<QUrl> opened;
    TRunFixture() {
        runner.SetShowStatus([this](const QString& s) { status.push_back(s); });
        runner.SetShowError([this](const QString& s) { errors.push_back(s); });
        runner.SetOpenUrl([this](const QUrl& u) {
            opened.push_back(u);
            return true;
        });
    }
    std::vector<QString> Lines() const {
        std::vector<QString> lines;
        for (int i = 0; i < panel.Model()->rowCount(); ++i)
            lines.push_back(panel.Model()->Line(i).Text);
        return lines;
    }
    bool WaitForEnd(QSignalSpy& spy) { return spy.count() > 0 || spy.wait(10000); }
};

// Our splitting is Qt's: the same arguments for the same parameter text.
TEST(ToolRunner, SplittingAgreesWithQProcess) {
    const char* commands[] = {
        "",
        "a",
        "  a  b ",
        "\"a b\" c",
        "x\"a b\"y",
        "\"\"\"q\"\"\"",
        "\"\"\"\"",
        "a \"\" b",
        "\"unclosed part",
        "\"a\"\"b\"",
        "\"\"\"\"\"",
        "-l $EDFILW.lst \"-DX=1 2\"",
        "tab\there",
        "'single' quotes",
        "a\\\"b",
    };
    for (const char* c : commands) {
        std::vector<std::string> ours = SplitCommand(c);
        const QStringList qt = QProcess::splitCommand(QString::fromUtf8(c));
        std::vector<std::string> theirs;
        for (const QString& s : qt)
            theirs.push_back(s.toStdString());
        EXPECT_EQ(ours, theirs) << c;
    }
}

TEST(ToolRunner, RunsInTheDocumentsFolderWithVerbatimArguments) {
    TempDir dir;
    const std::string folder = dir / "src dir";
    test::fs::create_directories(folder);
    ScopedEnv record("KVX_PROBE_RECORD", dir / "argv");
    ScopedEnv talk("KVX_PROBE_TALK", "1");
    ScopedEnv code("KVX_PROBE_EXIT", "3");
    TRunFixture f;
    TFakeDocument doc;
    // A file name made to break a shell command line in every way.
    doc.Name = QString::fromStdString(folder + "/a b;$(touch pwned)`id`'\".asm");
    doc.Modified = true;
    QSignalSpy finished(&f.runner, &TToolRunner::finished);
    const TTool tool{"Asm", KVX_TOOL_PROBE, "-l $edfilw.lst \"-D NAME=$EDFILW\" -v"};
    ASSERT_TRUE(f.runner.Run(tool, doc));
    EXPECT_EQ(doc.Saves, 0); // a named document is not saved first
    EXPECT_TRUE(f.panel.StopButton()->isEnabled());
    ASSERT_TRUE(f.WaitForEnd(finished));
    EXPECT_EQ(finished.at(0).at(0).toInt(), 3);

    const std::string base = folder + "/a b;$(touch pwned)`id`'\"";
    EXPECT_EQ(test::ReadNulSeparated(dir / "argv"),
              (std::vector<std::string>{folder, "-l", base + ".lst", "-D NAME=" + base, "-v"}));
    EXPECT_FALSE(test::fs::exists(test::fs::path(folder) / "pwned"));
    ASSERT_FALSE(f.status.empty());
    EXPECT_EQ(f.status.front(), QString::fromStdString("Run: " KVX_TOOL_PROBE " -l " + base +
                                                       ".lst \"-D NAME=" + base + "\" -v"));
    EXPECT_TRUE(f.errors.empty());

    // Both streams, the note about unsaved changes, and the end.
    const std::vector<QString> lines = f.Lines();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_TRUE(lines[0].startsWith("$ " KVX_TOOL_PROBE " -l"));
    EXPECT_TRUE(lines[1].startsWith("Note: ")) << lines[1].toStdString();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "first line"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "last line without a break"), lines.end());
    EXPECT_EQ(lines.back(), "Exit code 3");
    EXPECT_FALSE(f.panel.StopButton()->isEnabled());

    // The error line names a place: relative to the tool's folder, it can be jumped to.
    int row = -1;
    for (int i = 0; i < f.panel.Model()->rowCount(); ++i)
        if (f.panel.Model()->Line(i).Text == "boot.asm:3: error: bad operand")
            row = i;
    ASSERT_GE(row, 0);
    EXPECT_EQ(f.panel.Model()->Line(row).Kind, TResultKind::Error);
    QSignalSpy jumps(&f.panel, &TResultsPanel::jumpRequested);
    f.panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.panel));
    const QPoint at = f.panel.View()->visualRect(f.panel.Model()->index(row)).center();
    QTest::mouseClick(f.panel.View()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(f.panel.View()->viewport(), Qt::LeftButton, {}, at);
    ASSERT_EQ(jumps.count(), 1);
    EXPECT_EQ(jumps.at(0).at(0).toString().toStdString(), folder + "/boot.asm");
    EXPECT_EQ(jumps.at(0).at(1).toInt(), 3);
}

TEST(ToolRunner, AnEmptyParameterIsTheFileName) {
    TempDir dir;
    ScopedEnv record("KVX_PROBE_RECORD", dir / "argv");
    TRunFixture f;
    TFakeDocument doc;
    doc.Name = QString::fromStdString(dir / "my file.asm");
    QSignalSpy finished(&f.runner, &TToolRunner::finished);
    ASSERT_TRUE(f.runner.Run({"x", KVX_TOOL_PROBE, ""}, doc));
    ASSERT_TRUE(f.WaitForEnd(finished));
    EXPECT_EQ(test::ReadNulSeparated(dir / "argv"),
              (std::vector<std::string>{dir.Path().string(), dir / "my file.asm"}));
    EXPECT_EQ(f.Lines().back(), "Exit code 0");
}

TEST(ToolRunner, ProgramsThatCannotStartAreReported) {
    TempDir dir;
    TRunFixture f;
    TFakeDocument doc;
    doc.Name = QString::fromStdString(dir / "a.asm");
    EXPECT_FALSE(f.runner.Run({"x", "no-such-assembler-here", ""}, doc));
    ASSERT_EQ(f.errors.size(), 1u);
    EXPECT_EQ(f.errors[0], "Cannot run \"no-such-assembler-here\": No such file or directory.");
    EXPECT_EQ(f.status.back(),
              "Run: no-such-assembler-here could not start: No such file or directory");
    EXPECT_FALSE(f.runner.IsRunning());

    // A program that is a document goes to the desktop.
    test::WriteAll(dir / "notes.txt", "text");
    EXPECT_TRUE(f.runner.Run({"x", dir / "notes.txt", ""}, doc));
    ASSERT_EQ(f.opened.size(), 1u);
    EXPECT_EQ(f.opened[0], QUrl::fromLocalFile(QString::fromStdString(dir / "notes.txt")));
}

TEST(ToolRunner, AnUnnamedDocumentIsSavedFirst) {
    TempDir dir;
    TRunFixture f;
    TFakeDocument doc;
    doc.Name = "NONAME1";
    doc.Unnamed = true;
    doc.SaveSucceeds = false; // the user cancels Save As
    EXPECT_FALSE(f.runner.Run({"x", KVX_TOOL_PROBE, ""}, doc));
    EXPECT_EQ(doc.Saves, 1);
    EXPECT_FALSE(f.runner.IsRunning());
    EXPECT_TRUE(f.errors.empty());
    EXPECT_TRUE(f.status.back().startsWith("Run: the document has to be saved"));

    ScopedEnv record("KVX_PROBE_RECORD", dir / "argv");
    doc.SaveSucceeds = true;
    doc.NameAfterSave = QString::fromStdString(dir / "saved.asm");
    QSignalSpy finished(&f.runner, &TToolRunner::finished);
    ASSERT_TRUE(f.runner.Run({"x", KVX_TOOL_PROBE, "$EDFILW.o"}, doc));
    ASSERT_TRUE(f.WaitForEnd(finished));
    EXPECT_EQ(test::ReadNulSeparated(dir / "argv"),
              (std::vector<std::string>{dir.Path().string(), dir / "saved.o"}));
}

TEST(ToolRunner, StopAndLeavingRunning) {
    TempDir dir;
    TFakeDocument doc;
    doc.Name = QString::fromStdString(dir / "a.asm");
    {
        ScopedEnv sleep("KVX_PROBE_SLEEP_MS", "20000");
        TRunFixture f;
        QSignalSpy finished(&f.runner, &TToolRunner::finished);
        ASSERT_TRUE(f.runner.Run({"x", KVX_TOOL_PROBE, ""}, doc));
        EXPECT_TRUE(f.runner.IsRunning());
        QTest::mouseClick(f.panel.StopButton(), Qt::LeftButton);
        ASSERT_TRUE(f.WaitForEnd(finished));
        EXPECT_EQ(finished.at(0).at(1).toInt(), SIGTERM);
        EXPECT_TRUE(f.Lines().back().startsWith("Ended by signal 15"));
    }
    {
        // The editor closes while the tool runs: the tool goes on and finishes its work.
        ScopedEnv sleep("KVX_PROBE_SLEEP_MS", "300");
        ScopedEnv mark("KVX_PROBE_MARK", dir / "mark");
        {
            TRunFixture f;
            ASSERT_TRUE(f.runner.Run({"x", KVX_TOOL_PROBE, ""}, doc));
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (test::ReadAll(dir / "mark") != "done" && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(test::ReadAll(dir / "mark"), "done");
    }
}

} // namespace
} // namespace kvx
