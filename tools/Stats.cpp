// kvx stats: loads a file through the same text store the editor uses, so what it reports
// is what the editor would hold.
#include "KvxCommands.h"
#include "editor/SyntaxEd.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <new>

namespace kvx::tool {

namespace {
const char* BreakName(TLineBreak b) {
    switch (b) {
    case TLineBreak::CRLF:
        return "CR LF";
    case TLineBreak::CR:
        return "CR";
    default:
        return "LF";
    }
}
} // namespace

int RunStats(const TArgs& args) {
    if (args.size() != 1)
        return Usage("'stats' takes exactly one FILE");
    const std::string& path = args[0];
    // The same load the editor does: encoding, byte-order mark and line breaks detected,
    // special files and files of 2 GiB or more refused.
    TCustomSyntaxMemo memo;
    try {
        memo.LoadFromFile(path);
    } catch (const std::bad_alloc&) {
        return Fail("Not enough memory to load '" + path + "'");
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    TTextStore& store = memo.Store();
    std::printf("file: %s\n", path.c_str());
    std::printf("bytes: %llu\n", ec ? 0ull : static_cast<unsigned long long>(bytes));
    std::printf("lines: %d\n", static_cast<int>(store.RowCount()));
    std::printf("longest row: %d\n", static_cast<int>(store.LongestRow()));
    std::printf("characters: %d\n", static_cast<int>(store.TextLength()));
    std::printf("encoding: %s%s\n", store.Utf8() ? "UTF-8" : "Windows-1252",
                store.Bom ? " with byte-order mark" : "");
    std::printf("line breaks: %s\n", BreakName(store.LineBreak));
    return kExitOk;
}

} // namespace kvx::tool
