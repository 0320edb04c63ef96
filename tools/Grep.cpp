// kvx grep: finds every match of a pattern in a file the way the editor's Find Next would,
// one after another from the start, and prints where each one is.
#include "KvxCommands.h"
#include "editor/SyntaxEd.h"
#include "regex/MemoSearch.h"

#include <cstdio>
#include <exception>
#include <new>

namespace kvx::tool {

namespace {
// grep's own exit codes: 1 is "nothing matched", so every failure is 2.
constexpr int kGrepNoMatch = 1;
constexpr int kGrepTrouble = 2;

int Trouble(const std::string& message) {
    std::fprintf(stderr, "%s\n", OneLine(message).c_str());
    return kGrepTrouble;
}
} // namespace

int RunGrep(const TArgs& args) {
    unsigned options = soNoDialog;
    size_t i = 0;
    for (; i < args.size() && args[i].starts_with("--"); ++i) {
        // "--" ends the options, as for other tools, so a PATTERN may start with "--".
        if (args[i] == "--") {
            ++i;
            break;
        }
        if (args[i] == "--case")
            options |= soMatchCase;
        else if (args[i] == "--word")
            options |= soWholeWord;
        else if (args[i] == "--regex")
            options |= soRegExpr;
        else
            return Usage("'grep' does not know the option " + args[i]);
    }
    if (args.size() - i != 2)
        return Usage("'grep' takes options, a PATTERN and a FILE");
    const std::string& pattern = args[i];
    const std::string& path = args[i + 1];
    if (pattern.empty())
        return Usage("'grep' needs a PATTERN that is not empty");

    TCustomSyntaxMemo memo;
    try {
        memo.LoadFromFile(path);
    } catch (const std::bad_alloc&) {
        return Trouble("Not enough memory to load '" + path + "'");
    } catch (const std::exception& e) {
        return Trouble(e.what());
    }
    const bool utf8 = memo.Store().Utf8();
    TMemoSearch search(memo);
    // One work budget for the whole file: a pattern that needs too much work stops the
    // grep, however many matches it finds on the way.
    TMemoSearch::TRun run(search);
    const std::string_view text = search.Text();
    // Columns and lengths count characters: in UTF-8 the continuation bytes are not counted.
    auto isChar = [&](TextOffset k) {
        return !utf8 || (static_cast<unsigned char>(text[static_cast<size_t>(k)]) & 0xC0) != 0x80;
    };
    auto chars = [&](TextOffset from, TextOffset to) {
        long n = 0;
        for (TextOffset k = from; k < to; ++k)
            n += isChar(k);
        return n;
    };

    // Line and column are carried along from one match to the next, never counted again
    // from the line's start: a file of one long line may hold a great many matches.
    long line = 1, column = 0;
    TextOffset counted = 0;
    int matches = 0;
    TextOffset from = 0;
    for (;;) {
        // From an exact offset rather than the selection: in a UTF-8 document the control
        // keeps its selection on character boundaries, and a byte-level pattern can match
        // inside a character.
        TextOffset pos = -1;
        if (!search.SearchFrom({from, from}, pattern, options, pos)) {
            const auto& error = search.Error();
            if (error.Code != 0)
                return Trouble(error.Message);
            break;
        }
        const TextOffset start = search.Hit().Start();
        const TextOffset end = search.Hit().End();
        for (; counted < start; ++counted) {
            if (text[static_cast<size_t>(counted)] == '\r') {
                ++line;
                column = 0;
            } else {
                column += isChar(counted);
            }
        }
        std::string shown;
        for (TextOffset k = start; k < end; ++k) {
            const char c = text[static_cast<size_t>(k)];
            if (c == '\r')
                shown += "\\n";
            else
                shown += c;
        }
        std::printf("%ld:%ld:%ld:%s\n", line, column + 1, chars(start, end), shown.c_str());
        ++matches;
        // The next search starts at the match's end, one further after an empty match.
        from = end > start ? end : end + 1;
        if (from > memo.TextLength())
            break;
    }
    return matches > 0 ? kExitOk : kGrepNoMatch;
}

} // namespace kvx::tool
