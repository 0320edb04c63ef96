// How every subcommand reports a failure or a bad command line.
#include "KvxCommands.h"

#include <cstdio>

namespace kvx::tool {

std::string OneLine(const std::string& message) {
    // Some messages carry a line break of their own ("Duplicate key sequence definition
    // for\r\n..."); whoever reads stderr line by line gets each message as one line.
    std::string line;
    for (size_t i = 0; i < message.size(); ++i) {
        const char c = message[i];
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (c == '\r' && i + 1 < message.size() && message[i + 1] == '\n')
            ++i;
        line += ' ';
    }
    return line;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", OneLine(message).c_str());
    return kExitFailed;
}

int Usage(const std::string& message) {
    std::fprintf(stderr, "kvx: %s (see kvx --help)\n", OneLine(message).c_str());
    return kExitUsage;
}

} // namespace kvx::tool
