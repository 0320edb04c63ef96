#include "ToolCommand.h"

#include "ShellPaths.h"
#include "ShellStrings.h"

namespace kvx {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// One pass of the splitting rules; `inQuote` tells how it ended.
std::vector<std::string> Split(std::string_view command, bool& inQuote) {
    std::vector<std::string> args;
    std::string current;
    int quotes = 0;
    inQuote = false;
    for (char c : command) {
        if (c == '"') {
            // Three quotes in a row are one literal quote character.
            if (++quotes == 3) {
                quotes = 0;
                current += '"';
            }
            continue;
        }
        if (quotes) {
            // One quote opens or closes a quoted part; two are an empty quoted part.
            if (quotes == 1)
                inQuote = !inQuote;
            quotes = 0;
        }
        if (!inQuote && IsSpace(c)) {
            if (!current.empty())
                args.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    if (quotes == 1)
        inQuote = !inQuote;
    if (!current.empty())
        args.push_back(std::move(current));
    return args;
}

} // namespace

std::vector<std::string> SplitCommand(std::string_view command) {
    bool inQuote = false;
    return Split(command, inQuote);
}

bool HasUnclosedQuote(std::string_view command) {
    bool inQuote = false;
    Split(command, inQuote);
    return inQuote;
}

std::string RemoveFinalExtension(std::string_view fileName) {
    const size_t slash = fileName.find_last_of('/');
    const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string_view::npos || dot <= nameStart)
        return std::string(fileName);
    return std::string(fileName.substr(0, dot));
}

std::string SubstituteFileMacro(std::string_view text, std::string_view base) {
    std::string out;
    size_t pos = 0;
    for (;;) {
        const size_t at = FindAsciiNoCase(text, kFileMacro, pos);
        if (at == std::string_view::npos)
            break;
        out.append(text.substr(pos, at - pos));
        out.append(base);
        pos = at + kFileMacro.size();
    }
    out.append(text.substr(pos));
    return out;
}

TToolCommand MakeToolCommand(const TTool& tool, std::string_view fileName) {
    TToolCommand c;
    c.Program = tool.Program;
    c.Folder = FolderOf(std::string(fileName));
    if (tool.Parameter.empty()) {
        c.Arguments.emplace_back(fileName);
        c.ParameterText = std::string(fileName);
        return c;
    }
    const std::string base = RemoveFinalExtension(fileName);
    for (const std::string& arg : SplitCommand(tool.Parameter))
        c.Arguments.push_back(SubstituteFileMacro(arg, base));
    c.ParameterText = SubstituteFileMacro(tool.Parameter, base);
    return c;
}

std::string RunStatusText(const TToolCommand& command) {
    return kRunStatusPrefix + command.Program + " " + command.ParameterText;
}

} // namespace kvx
