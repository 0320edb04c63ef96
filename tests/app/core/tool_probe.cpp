// A stand-in for an external tool in the tests: records what it was started with and
// talks on both output streams, as the environment asks it to.
//   KVX_PROBE_RECORD=FILE   write the working folder and each argument, NUL-terminated
//   KVX_PROBE_TALK=1        print two lines on standard output and one on standard error
//   KVX_PROBE_SLEEP_MS=N    wait N milliseconds before going on
//   KVX_PROBE_MARK=FILE     after the wait, print a line and then write "done" to FILE
//   KVX_PROBE_EXIT=N        the exit code (0 by default)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv) {
    if (const char* record = std::getenv("KVX_PROBE_RECORD")) {
        std::ofstream out(record, std::ios::binary);
        char cwd[4096] = {};
        if (!::getcwd(cwd, sizeof cwd))
            return 100;
        out << cwd << '\0';
        for (int i = 1; i < argc; ++i)
            out << argv[i] << '\0';
    }
    if (std::getenv("KVX_PROBE_TALK")) {
        std::printf("first line\n");
        std::fflush(stdout);
        std::fprintf(stderr, "boot.asm:3: error: bad operand\n");
        std::printf("last line without a break");
        std::fflush(stdout);
    }
    if (const char* ms = std::getenv("KVX_PROBE_SLEEP_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(ms)));
    if (const char* mark = std::getenv("KVX_PROBE_MARK")) {
        // Output after the reader is gone must not end the program.
        std::printf("still here\n");
        std::fflush(stdout);
        std::ofstream(mark) << "done";
    }
    const char* code = std::getenv("KVX_PROBE_EXIT");
    return code ? std::atoi(code) : 0;
}
