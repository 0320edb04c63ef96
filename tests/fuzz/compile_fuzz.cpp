// Compiles arbitrary text as a language script. Whatever the text, the compiler either
// builds tables or stops with an error; it never crashes, reads out of bounds or hangs.
// Tables it builds must survive their stored form.
#include "editor/Stream.h"
#include "highlight/SynParse.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvx::TSyntaxMemoParser parser;
    kvx::TMemoryStream script(std::string(reinterpret_cast<const char*>(data), size));
    try {
        parser.CompileFromStream(script);
    } catch (const kvx::ESyntaxMemo&) {
        return 0;
    }
    kvx::TMemoryStream stored;
    try {
        parser.WriteStored(stored);
    } catch (const kvx::ESyntaxMemo&) {
        return 0; // tables that cannot be stored are refused with a message
    }
    stored.Seek(0, kvx::TSeekOrigin::Begin);
    kvx::TSyntaxMemoParser again;
    again.ReadStored(stored);
    kvx::TMemoryStream twice;
    again.WriteStored(twice);
    if (twice.Data() != stored.Data())
        std::abort();
    return 0;
}
