// Reads arbitrary bytes as a parser's stored form (first byte odd) or as its inner table
// stream (first byte even). A read either fails with an error and leaves the parser as it
// was, or gives tables that write out, read back and write out again to the same bytes.
#include "editor/Stream.h"
#include "highlight/SynParse.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string Inner(const kvx::TSyntaxMemoParser& p) {
    kvx::TMemoryStream s;
    p.WriteTables(s, kvx::TSyntaxMemoParser::kStoredVersion);
    return s.Data();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const bool stored = data[0] & 1;
    kvx::TFastMemoryStream in(reinterpret_cast<const char*>(data + 1),
                              static_cast<int64_t>(size - 1));
    kvx::TSyntaxMemoParser p;
    try {
        if (stored) {
            const std::string before = Inner(p);
            try {
                p.ReadStored(in);
            } catch (const kvx::ESyntaxMemo&) {
                if (Inner(p) != before)
                    std::abort(); // a failed read changed the parser
                return 0;
            }
        } else {
            p.ReadTables(in, kvx::TSyntaxMemoParser::kStoredVersion);
        }
    } catch (const kvx::ESyntaxMemo&) {
        return 0;
    }
    const std::string once = Inner(p);
    kvx::TMemoryStream again(once);
    kvx::TSyntaxMemoParser q;
    q.ReadTables(again, kvx::TSyntaxMemoParser::kStoredVersion);
    if (Inner(q) != once)
        std::abort();
    return 0;
}
