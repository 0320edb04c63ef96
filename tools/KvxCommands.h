// The subcommands of kvx. Each one lives in its own file and is listed once in the table
// in kvx.cpp; they share the exit codes and the error reporting below.
#pragma once

#include <string>
#include <vector>

namespace kvx::tool {

// 0 done; 1 the work failed (the message alone on one line on stderr); 2 bad usage.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

using TArgs = std::vector<std::string>;

struct TCommand {
    const char* Name;
    const char* Synopsis;          // the usage line(s) shown by --help, without "kvx "
    int (*Run)(const TArgs& args); // args: what follows the command name
};

// A message with its line breaks turned into spaces.
std::string OneLine(const std::string& message);
// Prints the message on one line on stderr and gives kExitFailed.
int Fail(const std::string& message);
// Prints "kvx: <message> (see kvx --help)" on stderr and gives kExitUsage.
int Usage(const std::string& message);

int RunStats(const TArgs& args);
int RunPack(const TArgs& args);
int RunUnpack(const TArgs& args);
int RunCompile(const TArgs& args);
// Exits 0 matched, 1 nothing matched, 2 on any error, like grep(1).
int RunGrep(const TArgs& args);
int RunTokens(const TArgs& args);
int RunHighlight(const TArgs& args);

} // namespace kvx::tool
