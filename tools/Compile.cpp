// kvx compile: compiles a language script with the editor's own compiler, reports what it
// built and, with -o, writes the stored parser tables the editor embeds.
#include "KvxCommands.h"
#include "editor/TextFile.h"
#include "highlight/SynParse.h"

#include <cstdio>
#include <exception>
#include <new>

namespace kvx::tool {

namespace {

int CountRules(const TSyntaxMemoParser& p) {
    int rules = 0;
    for (const auto& r : p.Tables.TokenRules)
        rules += r ? 1 : 0;
    for (const auto& table : p.Tables.StateTokenRules) {
        if (!table)
            continue;
        for (const auto& r : table->Rules)
            rules += r ? 1 : 0;
        rules += static_cast<int>(table->Ranges.size());
    }
    return rules;
}

} // namespace

int RunCompile(const TArgs& args) {
    std::string script;
    std::string output;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (i + 1 == args.size())
                return Usage("'-o' needs a file name");
            output = args[++i];
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return Usage("'compile' has no option '" + args[i] + "'");
        } else if (script.empty()) {
            script = args[i];
        } else {
            return Usage("'compile' takes one SCRIPT");
        }
    }
    if (script.empty())
        return Usage("'compile' needs a SCRIPT");
    TSyntaxMemoParser parser;
    parser.Script = script;
    try {
        TFileStream in(script);
        parser.CompileFromStream(in);
        if (!output.empty()) {
            TSafeFileStream out(output);
            parser.WriteStored(out);
            out.Commit();
        }
    } catch (const std::bad_alloc&) {
        return Fail("Not enough memory to compile '" + script + "'");
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    int handlers = 0;
    for (const auto& h : parser.Tables.Handlers)
        handlers += h ? 1 : 0;
    int styles = 0;
    for (int i = 0; i < 256; ++i)
        styles += parser.Settings().Styles[i].Defined ? 1 : 0;
    std::printf("%s: %zu words, %d rules, %d handlers, %d styles\n",
                parser.Settings().LanguageName.c_str(), parser.Keywords().Words().size(),
                CountRules(parser), handlers, styles);
    return kExitOk;
}

} // namespace kvx::tool
