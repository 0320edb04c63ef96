// kvx: headless command-line access to the editor's document core.
//
// It loads files through the same text store the editor uses, so what it
// reports is what the editor would hold, without a window or a display.

#include "SyntaxEd.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <new>
#include <string>

#ifndef KVX_VERSION
#error "KVX_VERSION must be defined by the build"
#endif

namespace {

// Exit codes: 0 done, 1 the work failed after the input was accepted, 2 bad
// command line or a file that cannot be used.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitBadInput = 2;

void PrintUsage(std::FILE* out) {
    std::fprintf(out, "kvx " KVX_VERSION " - headless tool of the KOVEX Light editor\n"
                      "\n"
                      "Usage:\n"
                      "  kvx --help        show this text\n"
                      "  kvx --version     show the version\n"
                      "  kvx stats FILE    load FILE into a document and report its size:\n"
                      "                    bytes on disk, lines (rows of at most 2047 bytes; a\n"
                      "                    longer line takes several), longest row in bytes,\n"
                      "                    characters held after line breaks are made uniform,\n"
                      "                    the encoding (UTF-8 or Windows-1252) and the\n"
                      "                    line-break style of the first break\n"
                      "\n"
                      "Files must be regular files smaller than 2 GiB.\n"
                      "Exit status: 0 done, 1 loading failed, 2 bad arguments or unusable file.\n");
}

const char* BreakName(kvx::TLineBreak b) {
    switch (b) {
    case kvx::TLineBreak::CRLF:
        return "CR LF";
    case kvx::TLineBreak::CR:
        return "CR";
    default:
        return "LF";
    }
}

int RunStats(const char* path) {
    // The same load the editor does: encoding, byte-order mark and line breaks detected,
    // special files and files of 2 GiB or more refused.
    kvx::TCustomSyntaxMemo memo;
    try {
        memo.LoadFromFile(path);
    } catch (const kvx::EFOpenError& e) {
        std::fprintf(stderr, "kvx: %s\n", e.what());
        return kExitBadInput;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "kvx: not enough memory to load '%s'\n", path);
        return kExitFailed;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kvx: cannot load '%s': %s\n", path, e.what());
        return kExitFailed;
    }
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    kvx::TTextStore& store = memo.Store();
    std::printf("file: %s\n", path);
    std::printf("bytes: %llu\n", ec ? 0ull : static_cast<unsigned long long>(bytes));
    std::printf("lines: %d\n", static_cast<int>(store.RowCount()));
    std::printf("longest row: %d\n", static_cast<int>(store.LongestRow()));
    std::printf("characters: %d\n", static_cast<int>(store.TextLength()));
    std::printf("encoding: %s%s\n", store.Utf8() ? "UTF-8" : "Windows-1252",
                store.Bom ? " with byte-order mark" : "");
    std::printf("line breaks: %s\n", BreakName(store.LineBreak));
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stdout);
        return kExitOk;
    }
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        PrintUsage(stdout);
        return kExitOk;
    }
    if (command == "--version") {
        std::printf("kvx %s\n", KVX_VERSION);
        return kExitOk;
    }
    if (command == "stats") {
        if (argc != 3) {
            std::fprintf(stderr, "kvx: 'stats' takes exactly one FILE (see kvx --help)\n");
            return kExitBadInput;
        }
        return RunStats(argv[2]);
    }
    std::fprintf(stderr, "kvx: unknown command '%s' (see kvx --help)\n", argv[1]);
    return kExitBadInput;
}
