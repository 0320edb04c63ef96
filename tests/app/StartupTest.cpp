// The kovex program as it is started: with a file on the command line it shows the file,
// and a close request (SIGTERM, as a session ending sends) ends it cleanly; --help and
// --version answer without a display.
#include "TestFiles.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

namespace kvx {
namespace {

using test::ReadAll;
using test::TempDir;
using test::WriteAll;

QProcess* Start(QProcess& p, const QStringList& args, const TempDir& dir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir / "config"));
    env.insert(QStringLiteral("KVX_STARTUP_REPORT"), QString::fromStdString(dir / "report"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KVX_KOVEX), args);
    return &p;
}

TEST(Startup, ShowsTheFileGivenAndEndsCleanlyOnACloseRequest) {
    TempDir dir;
    WriteAll(dir / "boot.asm", "mov ax, bx\n");
    QProcess p;
    Start(p, {QString::fromStdString(dir / "boot.asm"), QStringLiteral("ignored")}, dir);
    ASSERT_TRUE(p.waitForStarted(10000));
    // The report comes once the document has been painted.
    bool shown = false;
    for (int i = 0; i < 200 && !shown; ++i) {
        QTest::qWait(50);
        shown = ReadAll(dir / "report").find('\n') != std::string::npos;
    }
    ASSERT_TRUE(shown) << p.readAllStandardError().toStdString();
    const std::string report = ReadAll(dir / "report");
    EXPECT_EQ(report.substr(0, report.find('\t')), dir / "boot.asm");

    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    // Closing stored the settings, and the file is as it was.
    EXPECT_TRUE(std::filesystem::exists(dir / "config/kovex/kvxl.ini"));
    EXPECT_EQ(ReadAll(dir / "boot.asm"), "mov ax, bx\n");
}

TEST(Startup, HelpAndVersionAnswerWithoutADisplay) {
    TempDir dir;
    QProcess p;
    Start(p, {QStringLiteral("--version")}, dir);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(p.readAllStandardOutput().toStdString(), std::string("kovex ") + KVX_VERSION + "\n");
    Start(p, {QStringLiteral("--help")}, dir);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardOutput().startsWith("usage: kovex [FILE]"));
}

} // namespace
} // namespace kvx
