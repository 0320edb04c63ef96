// Loads arbitrary bytes as a document, checks the store, saves with the detected line
// breaks, loads the result again and expects the same stored text.
#include "editor/Stream.h"
#include "editor/SyntaxEd.h"
#include "support/StoreInvariants.h"

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    kvx::TCustomSyntaxMemo memo;
    memo.SetWholeText(bytes);
    const std::string broken = kvx::test::CheckStore(memo.Store());
    if (!broken.empty()) {
        std::fprintf(stderr, "store broken after load: %s\n", broken.c_str());
        std::abort();
    }
    const std::string stored = memo.Text();
    memo.UseLoadedLineBreaks();
    kvx::TMemoryStream saved;
    memo.SaveToStream(&saved);

    kvx::TCustomSyntaxMemo again;
    again.SetWholeText(saved.Data());
    if (again.Text() != stored || again.Store().Utf8() != memo.Store().Utf8()) {
        std::fprintf(stderr, "reload differs\n");
        std::abort();
    }
    return 0;
}
