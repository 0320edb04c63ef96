// kvx: headless command-line access to the editor's engine: the document core, and the
// other Qt-free libraries as they come, without a window or a display.
#include "KvxCommands.h"
#include "editor/TempFiles.h"

#include <cstdio>
#include <string_view>

#ifndef KVX_VERSION
#error "KVX_VERSION must be defined by the build"
#endif

namespace kvx::tool {

namespace {

const TCommand kCommands[] = {
    {"stats",
     "stats FILE\n"
     "      load FILE into a document and report its size: bytes on disk, lines\n"
     "      (rows of at most 2047 bytes; a longer line takes several), longest row\n"
     "      in bytes, characters held after line breaks are made uniform, the\n"
     "      encoding (UTF-8 or Windows-1252) and the style of the first line break",
     RunStats},
    {"pack",
     "pack [--method block|lzh|advise] FILE OUTPUT\n"
     "      compress FILE into the container the editor stores its language tables\n"
     "      in: the block method (the default, fast), the LZH method (smaller), or\n"
     "      the one advise picks after sampling FILE",
     RunPack},
    {"unpack",
     "unpack FILE OUTPUT\n"
     "      expand a container of either method; a damaged one is refused and\n"
     "      OUTPUT is left as it was. Damage to the header, to the frame of the\n"
     "      blocks, to the sizes or data after the container's end is found; bytes\n"
     "      changed inside a block are not, as the format holds no checksum",
     RunUnpack},
    {"compile",
     "compile SCRIPT [-o STORED]\n"
     "      compile a language script and print a summary (language name, words,\n"
     "      token rules, handlers, styles); with -o, write the stored tables the\n"
     "      editor embeds. A compile error is printed alone and exits 1",
     RunCompile},
    {"grep",
     "grep [--case] [--word] [--regex] [--] PATTERN FILE\n"
     "      search FILE as the editor holds it, from the start, with the editor's\n"
     "      Find Next: match case, whole words only, PATTERN a regular expression\n"
     "      (after --, PATTERN may start with --).\n"
     "      Prints LINE:COLUMN:LENGTH:TEXT for each match (line breaks in TEXT as\n"
     "      \\n). Exit status 0 something matched, 1 nothing did, 2 a bad pattern\n"
     "      or another error (the message on stderr)",
     RunGrep},
#ifndef KVX_STAGE1
    {"tokens",
     "tokens [--lang N | --script SCRIPT] FILE\n"
     "      highlight FILE as the editor does and print, for each row, its token\n"
     "      values as runs VALUE*COUNT covering every byte of the row and its\n"
     "      break. N is 1 assembler, 2 C, 3 Pascal, 4 Basic, 5 HTML, 6 text; by\n"
     "      default the language comes from FILE's extension",
     RunTokens},
    {"highlight",
     "highlight [--lang N] [--format ansi|html|rtf] [--color=auto|always|never] FILE\n"
     "      write FILE to standard output coloured by its language's styles. ansi\n"
     "      (the default): 24-bit colour, bold, italic, underline for a terminal;\n"
     "      plain text when standard output is not a terminal, unless\n"
     "      --color=always. html and rtf: a page as the editor saves and copies it,\n"
     "      dated today (or by SOURCE_DATE_EPOCH), for publishing from scripts",
     RunHighlight},
#endif
};

void PrintUsage(std::FILE* out) {
    std::fprintf(out, "kvx " KVX_VERSION " - headless tool of the KOVEX Light editor\n"
                      "\n"
                      "Usage:\n"
                      "  kvx --help | --version\n");
    for (const TCommand& c : kCommands)
        std::fprintf(out, "  kvx %s\n", c.Synopsis);
    std::fprintf(out, "\n"
                      "Files must be regular files smaller than 2 GiB.\n"
                      "Exit status: 0 done, 1 the work failed (the reason on stderr),\n"
                      "2 bad usage.\n");
}

} // namespace

} // namespace kvx::tool

int main(int argc, char** argv) {
    using namespace kvx::tool;
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
    // A temporary file of pack, unpack or compile -o goes when the program is stopped.
    kvx::RemoveTemporariesOnSignals();
    for (const TCommand& c : kCommands) {
        if (command != c.Name)
            continue;
        const TArgs args(argv + 2, argv + argc);
        if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
            std::printf("Usage:\n  kvx %s\n", c.Synopsis);
            return kExitOk;
        }
        return c.Run(args);
    }
    return Usage("unknown command '" + std::string(command) + "'");
}
