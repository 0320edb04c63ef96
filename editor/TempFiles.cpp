#include "TempFiles.h"

#include <atomic>
#include <csignal>
#include <unistd.h>

namespace kvx {

namespace {

// A handler may run at any moment: the table is plain atomic pointers, and the handler
// calls nothing but unlink, signal and raise, which are safe there.
constexpr int kSlots = 16;
std::atomic<const char*> gTemporaries[kSlots];

void RemoveAndStop(int sig) {
    for (auto& slot : gTemporaries)
        if (const char* path = slot.load())
            ::unlink(path);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

} // namespace

void RemoveTemporariesOnSignals() {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        action.sa_handler = RemoveAndStop;
        sigemptyset(&action.sa_mask);
        ::sigaction(sig, &action, nullptr);
    }
}

int RegisterTemporary(const char* path) {
    for (int i = 0; i < kSlots; ++i) {
        const char* none = nullptr;
        if (gTemporaries[i].compare_exchange_strong(none, path))
            return i;
    }
    return -1;
}

void ForgetTemporary(int slot) {
    if (slot >= 0 && slot < kSlots)
        gTemporaries[slot].store(nullptr);
}

} // namespace kvx
