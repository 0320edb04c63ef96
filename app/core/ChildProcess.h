// A program started for an external tool: with an argument list (never a shell), in a
// working folder, in a session of its own, with no input and its standard output and
// error each going to a file that the editor reads as it grows.
//
// Files rather than pipes because a tool may outlive the editor: closing the editor
// while a build runs must not kill the build, and with a pipe the tool would die of
// SIGPIPE (or fail with a write error) at its next line of output once the reader is
// gone. The files are unlinked at once, so nothing is left behind; a tool that goes on
// after the editor ended writes into them unharmed until it ends. Its own session keeps
// it from the hang-up of a terminal the editor was started from.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace kvx {

class TChildProcess {
  public:
    TChildProcess() = default;
    // Leaves a running program running; only the editor's ends of the files close.
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    // Starts `program` (looked up on PATH when it holds no "/"; a relative path is taken
    // from `folder`) with `arguments` in `folder` (the current folder when empty). False
    // with the reason in `error` when it cannot start: a missing or not executable
    // program, a missing folder.
    bool Start(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& folder, std::string& error);

    // Appends what the program wrote since the last call; true when anything was new.
    bool ReadOutput(std::string& out, std::string& err);
    // Checks (without waiting) whether the program has ended; true once it has.
    bool Poll();
    bool Running() const { return pid_ > 0 && !ended_; }
    bool Ended() const { return ended_; }
    // After the end: the exit code, or the signal that ended it (0 when none did).
    int ExitCode() const { return exitCode_; }
    int Signal() const { return signal_; }
    pid_t Pid() const { return pid_; }

    // Asks the program and everything it started (its session) to end (SIGTERM).
    void Terminate();

  private:
    struct TOutput {
        int Fd = -1;
        off_t Read = 0; // bytes handed out so far
    };
    static bool ReadNew(TOutput& output, std::string& into);

    pid_t pid_ = -1;
    bool ended_ = false;
    int exitCode_ = 0;
    int signal_ = 0;
    TOutput out_, err_;
};

} // namespace kvx
