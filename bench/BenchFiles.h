// What the benchmarks that work on files share: a scratch folder of their own, wall-clock
// seconds, the process's memory, and a main that removes the folder when the benchmarks
// are done.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <system_error>
#include <time.h>
#include <unistd.h>

namespace kvx::bench {

using Clock = std::chrono::steady_clock;
constexpr double kMB = 1000.0 * 1000.0;

inline double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// CPU seconds of the calling thread, of the whole process, and of the child processes
// waited for: on a machine shared with other work they say what wall-clock times cannot.
inline double CpuSeconds(clockid_t clock) {
    timespec ts{};
    ::clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
inline double ThreadCpuSeconds() {
    return CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}
inline double ProcessCpuSeconds() {
    return CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
}
inline double ChildrenCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_CHILDREN, &u);
    const auto s = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return s(u.ru_utime) + s(u.ru_stime);
}

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM"); -1 when it cannot be read.
inline int64_t StatusBytes(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t len = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, len, field) == 0 && line.size() > len && line[len] == ':')
            return std::stoll(line.substr(len + 1)) * 1024;
    return -1;
}

// Starts the peak-memory record afresh from the memory in use now (Linux 4.0 and later).
inline bool ResetPeak() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    return static_cast<bool>(out.flush());
}

// A folder under $TMPDIR (or /tmp) named for this process, made on first use.
inline const std::filesystem::path& Folder() {
    static const std::filesystem::path dir = [] {
        std::filesystem::path d =
            std::filesystem::temp_directory_path() / ("kvx-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

// Runs the benchmarks the command line selects, then removes the scratch folder.
inline int RunBenchmarks(int argc, char** argv) {
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(Folder(), ec);
    return 0;
}

} // namespace kvx::bench
