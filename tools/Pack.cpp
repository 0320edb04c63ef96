// kvx pack / kvx unpack: the compressed container the parser tables are stored in, for any
// file. Both run the compressor in its file mode, so the output file is replaced only when
// everything went well and a failure leaves nothing half-written behind.
#include "KvxCommands.h"
#include "highlight/Compressor.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

namespace kvx::tool {

namespace {

int Run(TCompressor& c, bool pack) {
    try {
        const int64_t written = pack ? c.Compress() : c.Decompress();
        std::printf("%s: %lld bytes written to %s\n", pack ? "packed" : "unpacked",
                    static_cast<long long>(written), c.OutputFileName.c_str());
    } catch (const std::bad_alloc&) {
        return Fail("Not enough memory to " + std::string(pack ? "pack '" : "unpack '") +
                    c.InputFileName + "'");
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    return kExitOk;
}

} // namespace

int RunPack(const TArgs& args) {
    TCompressor c;
    c.Method = TCompressor::cmBlock;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string value;
        if (args[i] == "--method") {
            if (i + 1 == args.size())
                return Usage("'--method' needs a value: block, lzh or advise");
            value = args[++i];
        } else if (args[i].rfind("--method=", 0) == 0) {
            value = args[i].substr(9);
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return Usage("'pack' has no option '" + args[i] + "'");
        } else {
            files.push_back(args[i]);
            continue;
        }
        if (value == "block")
            c.Method = TCompressor::cmBlock;
        else if (value == "lzh")
            c.Method = TCompressor::cmLZH;
        else if (value == "advise")
            c.Method = TCompressor::cmAdvise;
        else
            return Usage("unknown method '" + value + "' (block, lzh or advise)");
    }
    if (files.size() != 2)
        return Usage("'pack' takes an input FILE and an OUTPUT file");
    c.InputFileName = files[0];
    c.OutputFileName = files[1];
    return Run(c, true);
}

int RunUnpack(const TArgs& args) {
    if (args.size() != 2 || (args[0].size() > 1 && args[0][0] == '-') ||
        (args[1].size() > 1 && args[1][0] == '-'))
        return Usage("'unpack' takes a container FILE and an OUTPUT file");
    TCompressor c;
    c.InputFileName = args[0];
    c.OutputFileName = args[1];
    return Run(c, false);
}

} // namespace kvx::tool
