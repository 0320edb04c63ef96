#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace kvx {
namespace {

// An anonymous file: created in the runtime or temporary folder and unlinked at once.
int AnonymousFile() {
    const char* base = std::getenv("XDG_RUNTIME_DIR");
    if (!base || base[0] != '/')
        base = std::getenv("TMPDIR");
    if (!base || base[0] != '/')
        base = "/tmp";
    std::string name = std::string(base) + "/kovex-tool-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(name.c_str());
    return fd;
}

// Frees everything posix_spawn needed, whatever way Start leaves.
struct TSpawnSetup {
    posix_spawn_file_actions_t Actions;
    posix_spawnattr_t Attributes;
    TSpawnSetup() {
        posix_spawn_file_actions_init(&Actions);
        posix_spawnattr_init(&Attributes);
    }
    ~TSpawnSetup() {
        posix_spawn_file_actions_destroy(&Actions);
        posix_spawnattr_destroy(&Attributes);
    }
};

} // namespace

TChildProcess::~TChildProcess() {
    if (out_.Fd >= 0)
        ::close(out_.Fd);
    if (err_.Fd >= 0)
        ::close(err_.Fd);
    if (Running()) {
        // Nobody will ask for the status any more; reap it when it ends so it does not
        // linger as a zombie while the editor runs on. If the editor ends first, the
        // system adopts the program and the thread simply ends with the process.
        std::thread([pid = pid_] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }
}

bool TChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& folder, std::string& error) {
    if (pid_ > 0) {
        error = "a program is already running";
        return false;
    }
    if (program.empty()) {
        error = "no program is given";
        return false;
    }
    struct stat st {};
    if (!folder.empty() && (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
        error = "the folder '" + folder + "' does not exist";
        return false;
    }
    out_.Fd = AnonymousFile();
    err_.Fd = AnonymousFile();
    if (out_.Fd < 0 || err_.Fd < 0) {
        error = std::string("no file for its output: ") + std::strerror(errno);
        return false;
    }

    TSpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.Actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.Actions, out_.Fd, 1);
    posix_spawn_file_actions_adddup2(&setup.Actions, err_.Fd, 2);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&setup.Actions, folder.c_str());
    // A clean signal state: the editor's blocked or ignored signals are not the tool's.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&setup.Attributes, &none);
    posix_spawnattr_setsigdefault(&setup.Attributes, &all);
    posix_spawnattr_setflags(&setup.Attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, program.c_str(), &setup.Actions, &setup.Attributes,
                                  argv.data(), environ);
    if (rc != 0) {
        error = std::strerror(rc);
        return false;
    }
    pid_ = pid;
    return true;
}

bool TChildProcess::ReadNew(TOutput& output, std::string& into) {
    if (output.Fd < 0)
        return false;
    bool any = false;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::pread(output.Fd, buffer, sizeof buffer, output.Read);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        into.append(buffer, static_cast<size_t>(n));
        output.Read += n;
        any = true;
        // Hand over a large burst in pieces, so the caller stays responsive.
        if (into.size() >= (size_t(1) << 20))
            break;
    }
    return any;
}

bool TChildProcess::ReadOutput(std::string& out, std::string& err) {
    const bool a = ReadNew(out_, out);
    const bool b = ReadNew(err_, err);
    return a || b;
}

bool TChildProcess::Poll() {
    if (pid_ <= 0 || ended_)
        return ended_;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid_, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0)
        return false;
    ended_ = true;
    if (r == pid_ && WIFEXITED(status))
        exitCode_ = WEXITSTATUS(status);
    else if (r == pid_ && WIFSIGNALED(status))
        signal_ = WTERMSIG(status);
    return true;
}

void TChildProcess::Terminate() {
    if (Running())
        ::kill(-pid_, SIGTERM);
}

} // namespace kvx
