// How every subcommand reports a failure or a bad command line.
#include "KvxCommands.h"

#include <cstdio>

namespace kvx::tool {

int Fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return kExitFailed;
}

int Usage(const std::string& message) {
    std::fprintf(stderr, "kvx: %s (see kvx --help)\n", message.c_str());
    return kExitUsage;
}

} // namespace kvx::tool
