// Keyword lookups the way the highlighter makes them: one lookup at the start of every
// token of an assembler-like document, against a tree of a few hundred words (mnemonics,
// registers, directives and operators). Identifiers that are no word are skipped whole, as
// the identifier rule would take them, so the lookups per second are lookups per token.
//
//     bench_keywords                        over a string and over the editor's document

#include "editor/EdStream.h"
#include "editor/Keywords.h"
#include "editor/SyntaxEd.h"

#include "AsmSource.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace kvx;

constexpr size_t kSourceBytes = size_t(1) * 1000 * 1000;

const std::vector<std::string>& Mnemonics() {
    static const std::vector<std::string> words = [] {
        const char* base[] = {
            "aaa",   "aad",    "aam",   "aas",  "adc",  "add",  "and",   "arpl",  "bound", "bsf",
            "bsr",   "bswap",  "bt",    "btc",  "btr",  "bts",  "call",  "cbw",   "cdq",   "clc",
            "cld",   "cli",    "clts",  "cmc",  "cmp",  "cmps", "cwd",   "cwde",  "daa",   "das",
            "dec",   "div",    "enter", "hlt",  "idiv", "imul", "in",    "inc",   "ins",   "int",
            "into",  "invd",   "iret",  "ja",   "jae",  "jb",   "jbe",   "jc",    "jcxz",  "je",
            "jg",    "jge",    "jl",    "jle",  "jmp",  "jna",  "jnae",  "jnb",   "jnbe",  "jnc",
            "jne",   "jng",    "jnge",  "jnl",  "jnle", "jno",  "jnp",   "jns",   "jnz",   "jo",
            "jp",    "jpe",    "jpo",   "js",   "jz",   "lahf", "lar",   "lds",   "lea",   "leave",
            "les",   "lfs",    "lgdt",  "lgs",  "lidt", "lldt", "lmsw",  "lock",  "lods",  "loop",
            "loope", "loopne", "lsl",   "lss",  "ltr",  "mov",  "movs",  "movsx", "movzx", "mul",
            "neg",   "nop",    "not",   "or",   "out",  "outs", "pop",   "popa",  "popf",  "push",
            "pusha", "pushf",  "rcl",   "rcr",  "rep",  "repe", "repne", "ret",   "retf",  "rol",
            "ror",   "sahf",   "sal",   "sar",  "sbb",  "scas", "seta",  "setb",  "sete",  "setg",
            "setl",  "setne",  "sgdt",  "shl",  "shld", "shr",  "shrd",  "sidt",  "sldt",  "smsw",
            "stc",   "std",    "sti",   "stos", "str",  "sub",  "test",  "verr",  "verw",  "wait",
            "xchg",  "xlat",   "xor",
        };
        std::vector<std::string> w(std::begin(base), std::end(base));
        // String instructions and a few others come with operand-size suffixes.
        for (const char* s : {"cmps", "ins", "lods", "movs", "outs", "scas", "stos"})
            for (const char* size : {"b", "w", "d"})
                w.push_back(std::string(s) + size);
        return w;
    }();
    return words;
}

// The tree a language script for this document would compile, with the usual following
// classes: alphabetic words must not run on into an identifier, operators may touch anything.
TKeywords& Tree() {
    static TKeywords tree = [] {
        TKeywords k;
        TSet256 ident;
        for (int c = 0; c < 256; ++c)
            if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                c == '_')
                ident.Include(c);
        const TSM_CharGroup wordEnd(ident, true);
        int value = 10;
        auto add = [&](const std::string& w, const TSM_CharGroup& follow) {
            k.Add(w, false, value++ % 200 + 10, {0}, follow);
        };
        for (const std::string& m : Mnemonics())
            add(m, wordEnd);
        for (const char* r :
             {"al",  "ah",  "ax",  "eax", "bl",  "bh",  "bx",  "ebx", "cl",  "ch",  "cx",
              "ecx", "dl",  "dh",  "dx",  "edx", "si",  "esi", "di",  "edi", "bp",  "ebp",
              "sp",  "esp", "cs",  "ds",  "es",  "fs",  "gs",  "ss",  "cr0", "cr2", "cr3",
              "dr0", "dr1", "dr2", "dr3", "dr6", "dr7", "tr6", "tr7"})
            add(r, wordEnd);
        for (const char* d :
             {"db",    "dw",      "dd",    "dq",     "dt",     "equ",   "org",     "proc",
              "endp",  "segment", "ends",  "assume", "public", "extrn", "include", "macro",
              "endm",  "if",      "ifdef", "ifndef", "else",   "endif", "byte",    "word",
              "dword", "qword",   "ptr",   "offset", "near",   "far",   "short",   "struc",
              "model", "stack",   "data",  "code",   "end",    "align", "even",    "label",
              "local", "repeat",  "while", "for",    "exitm",  "purge", "title",   "page",
              "dup",   "seg",     "type",  "length", "size",   "high",  "low",     "shr"})
            try {
                add(d, wordEnd);
            } catch (const EKeywords&) {
                // "shr" is a mnemonic as well
            }
        for (const char* op : {",", "[", "]", "+", "-", "*", ":", "(", ")", "<", ">",
                               "<=", ">=", "==", "!=", "<<", ">>", "&&", "||"})
            add(op, TSM_CharGroup());
        return k;
    }();
    return tree;
}

const std::string& Source() {
    static const std::string text =
        bench::AsmSource(kSourceBytes, {"\r", "proc", "step", Mnemonics()}, false);
    return text;
}

bool IsIdent(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

void BM_LookupsOverString(benchmark::State& state) {
    const TKeywords& tree = Tree();
    const std::string& text = Source();
    int64_t lookups = 0;
    int64_t found = 0;
    for (auto _ : state) {
        size_t pos = 0;
        while (pos < text.size()) {
            TStringCursor in(text, pos);
            const TKeywords::TMatch m = tree.Match(in, {0});
            ++lookups;
            found += m.Found;
            pos += size_t(m.Length);
            if (!m.Found && IsIdent(static_cast<unsigned char>(text[pos - 1])))
                while (pos < text.size() && IsIdent(static_cast<unsigned char>(text[pos])))
                    ++pos;
        }
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(lookups);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.counters["words"] = double(tree.Words().size());
    state.counters["hits%"] = 100.0 * double(found) / double(lookups);
}
BENCHMARK(BM_LookupsOverString)->Unit(benchmark::kMillisecond);

void BM_LookupsOverDocument(benchmark::State& state) {
    const TKeywords& tree = Tree();
    TCustomSyntaxMemo memo;
    memo.SetWholeText(Source());
    TEdStream in(memo);
    int64_t lookups = 0;
    int64_t found = 0;
    for (auto _ : state) {
        in.SetPosition(0);
        while (!in.AtEnd()) {
            const TKeywords::TMatch m = tree.Match(in, {0});
            ++lookups;
            found += m.Found;
            if (!m.Found && IsIdent(in.Prev())) {
                while (IsIdent(in.Next()))
                    ;
            } else if (!m.Found) {
                in.Next();
            }
        }
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(lookups);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Source().size()));
}
BENCHMARK(BM_LookupsOverDocument)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
