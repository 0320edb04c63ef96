// Turning a tool and a document into the program, argument list and working folder that
// are started. Nothing here passes through a shell: the parameter is split into
// arguments first (the rules of QProcess::splitCommand: blanks separate, double quotes
// group, three double quotes make one literal quote), and only then is "$EDFILW"
// replaced in each argument, so a file name with blanks, quotes, ";" or "$(...)" stays
// one argument and is never read as a command.
#pragma once

#include "ToolTable.h"

#include <string>
#include <string_view>
#include <vector>

namespace kvx {

inline constexpr std::string_view kFileMacro = "$EDFILW";

// The parameter split into arguments. Empty arguments ("") vanish, as in Qt.
std::vector<std::string> SplitCommand(std::string_view command);
// True when the splitting ends inside a quoted part (an unclosed quote).
bool HasUnclosedQuote(std::string_view command);

// The file name without its final extension: "/src/a.asm/b.asm" gives "/src/a.asm/b".
// Only the name after the last "/" is looked at, and a name that starts with its only
// "." (".profile") has no extension.
std::string RemoveFinalExtension(std::string_view fileName);

// `text` with every "$EDFILW", in any letter case, replaced by `base`; the rest keeps its
// letter case.
std::string SubstituteFileMacro(std::string_view text, std::string_view base);

struct TToolCommand {
    std::string Program;
    std::vector<std::string> Arguments;
    std::string Folder;        // working folder: the document's folder
    std::string ParameterText; // the parameter as the user sees it, macro replaced
};

// The command for `tool` on the document `fileName` (a full path). An empty parameter
// gives the file name as the only argument.
TToolCommand MakeToolCommand(const TTool& tool, std::string_view fileName);

// The status text while a tool starts: "Run: " + program + " " + parameter.
std::string RunStatusText(const TToolCommand& command);

} // namespace kvx
