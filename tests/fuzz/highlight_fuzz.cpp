// Highlights arbitrary text: with one of the built-in languages (first byte even), or with
// arbitrary stored tables followed by the text (first byte odd: two bytes of table length,
// the tables, then the text). A pass must end, give every row its token bytes, and give the
// same bytes when run again; then an edit in the middle is re-highlighted the same way.
#include "editor/Stream.h"
#include "editor/SyntaxEd.h"
#include "highlight/SynParse.h"
#include "highlight/languages/Languages.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

namespace {

std::string Bytes(kvx::TCustomSyntaxMemo& memo) {
    std::string out;
    for (const kvx::TLineNode* row = memo.Store().FirstRow(); row; row = row->Next()) {
        if (!row->Styles())
            std::abort(); // a row the pass never reached
        out.append(reinterpret_cast<const char*>(row->Styles()), size_t(row->Length()));
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    kvx::TSyntaxMemoParser p;
    size_t at = 1;
    if (data[0] & 1) {
        if (size < 3)
            return 0;
        const size_t n = std::min<size_t>(size - 3, size_t(data[1]) | size_t(data[2]) << 8);
        kvx::TFastMemoryStream in(reinterpret_cast<const char*>(data + 3), int64_t(n));
        try {
            p.ReadStored(in);
        } catch (const std::exception&) {
            return 0;
        }
        at = 3 + n;
    } else {
        kvx::LoadLanguage(p, data[0] / 2 % kvx::kLanguageCount + 1);
    }
    const std::string text(reinterpret_cast<const char*>(data + at), size - at);
    try {
        kvx::TCustomSyntaxMemo memo;
        memo.SetWholeText(text);
        memo.SetHighlighter(&p);
        p.HighlightAll(memo);
        const std::string first = Bytes(memo);
        p.HighlightAll(memo);
        if (Bytes(memo) != first)
            std::abort();
        // An edit in the middle, re-highlighted from its row.
        const kvx::TextOffset middle = memo.TextLength() / 2;
        memo.SetSelection(middle, middle);
        memo.ReplaceSelection(text.substr(0, 8));
        memo.ChangeNotification();
        (void)Bytes(memo);
    } catch (const std::exception&) {
        // Arbitrary tables may name classes that do not exist: that is refused with an
        // error, never read out of bounds.
    }
    return 0;
}
