#include "app/core/ChildProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/stat.h>
#include <thread>

namespace kvx {
namespace {

using test::ReadAll;
using test::ScopedEnv;
using test::TempDir;
using test::WriteAll;
using namespace std::chrono_literals;

// Polls until the program ends (or 10 s pass), collecting its output.
void WaitForEnd(TChildProcess& p, std::string& out, std::string& err) {
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (!p.Poll() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(5ms);
    p.ReadOutput(out, err);
}

TEST(ChildProcess, ArgumentsReachTheProgramVerbatimInItsFolder) {
    TempDir dir;
    const std::string folder = dir / "a folder; with $(odd) name";
    test::fs::create_directories(folder);
    ScopedEnv record("KVX_PROBE_RECORD", dir / "argv");
    ScopedEnv talk("KVX_PROBE_TALK", "1");
    ScopedEnv code("KVX_PROBE_EXIT", "3");
    const std::vector<std::string> args = {"plain", "two words",  "a;b", "$(touch x)",
                                           "`id`",  "\"quoted\"", "*",   "~",
                                           "$HOME", "|",          "<x"};
    TChildProcess p;
    std::string error;
    ASSERT_TRUE(p.Start(KVX_TOOL_PROBE, args, folder, error)) << error;
    EXPECT_TRUE(p.Running());
    std::string out, err;
    WaitForEnd(p, out, err);
    ASSERT_TRUE(p.Ended());
    EXPECT_EQ(p.ExitCode(), 3);
    EXPECT_EQ(p.Signal(), 0);
    EXPECT_EQ(out, "first line\nlast line without a break");
    EXPECT_EQ(err, "boot.asm:3: error: bad operand\n");
    std::vector<std::string> expected = {folder};
    expected.insert(expected.end(), args.begin(), args.end());
    EXPECT_EQ(test::ReadNulSeparated(dir / "argv"), expected);
    EXPECT_FALSE(test::fs::exists(test::fs::path(folder) / "x")); // no shell ran anything
    // Nothing is left behind in the temporary folders: the output files had no names.
    std::string more, moreErr;
    EXPECT_FALSE(p.ReadOutput(more, moreErr));
}

TEST(ChildProcess, ProgramsThatCannotStartSayWhy) {
    TempDir dir;
    std::string error;
    TChildProcess missing;
    EXPECT_FALSE(missing.Start(dir / "no-such-program", {}, "", error));
    EXPECT_EQ(error, "No such file or directory");
    EXPECT_FALSE(missing.Running());

    WriteAll(dir / "not-executable", "#!/bin/sh\necho hi\n");
    TChildProcess denied;
    EXPECT_FALSE(denied.Start(dir / "not-executable", {}, "", error));
    EXPECT_EQ(error, "Permission denied");

    TChildProcess noFolder;
    EXPECT_FALSE(noFolder.Start(KVX_TOOL_PROBE, {}, dir / "gone", error));
    EXPECT_EQ(error, "the folder '" + (dir / "gone") + "' does not exist");

    TChildProcess nothing;
    EXPECT_FALSE(nothing.Start("", {}, "", error));
    EXPECT_FALSE(nothing.Poll());
}

TEST(ChildProcess, ARunningProgramOutlivesItsOwner) {
    TempDir dir;
    ScopedEnv sleep("KVX_PROBE_SLEEP_MS", "300");
    ScopedEnv mark("KVX_PROBE_MARK", dir / "mark");
    pid_t pid = -1;
    {
        TChildProcess p;
        std::string error;
        ASSERT_TRUE(p.Start(KVX_TOOL_PROBE, {}, "", error)) << error;
        pid = p.Pid();
    } // the editor closes while the tool runs
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (!test::fs::exists(dir / "mark") && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(50ms); // let the file be written out
    EXPECT_EQ(ReadAll(dir / "mark"), "done");
    // It ran in a session of its own, away from the terminal the tests run in.
    EXPECT_NE(pid, -1);
}

TEST(ChildProcess, TerminateEndsTheProgram) {
    ScopedEnv sleep("KVX_PROBE_SLEEP_MS", "20000");
    TChildProcess p;
    std::string error;
    ASSERT_TRUE(p.Start(KVX_TOOL_PROBE, {}, "", error)) << error;
    EXPECT_EQ(::getsid(p.Pid()), p.Pid()); // its own session, so its own process group
    p.Terminate();
    std::string out, err;
    WaitForEnd(p, out, err);
    ASSERT_TRUE(p.Ended());
    EXPECT_EQ(p.Signal(), SIGTERM);
}

} // namespace
} // namespace kvx
