// Arbitrary documents written as RTF and HTML, arbitrary HTML pasted and dropped with
// arbitrary source-type bits, and arbitrary documents laid out on pages of arbitrary size.
// The writers must give pure ASCII with balanced RTF groups and nested HTML tags, pastes
// must leave a sound store, and the page layout must end and print every character once.
#include "editor/PrintLayout.h"
#include "editor/RichExport.h"
#include "editor/Settings.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"
#include "support/StoreInvariants.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace kvx;

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "%s\n%s\n", what, detail.substr(0, 2000).c_str());
    std::abort();
}

void CheckAscii(const std::string& out, const char* format) {
    for (char c : out)
        if (static_cast<unsigned char>(c) >= 128 || (c < 32 && c != '\r' && c != '\n'))
            Fail(format, "a byte that is not printable ASCII");
}

void CheckRtf(const std::string& rtf) {
    CheckAscii(rtf, "RTF");
    int depth = 0;
    for (size_t i = 0; i < rtf.size(); ++i) {
        const char c = rtf[i];
        if (c == '\\')
            ++i; // an escaped character or the first letter of a control word
        else if (c == '{')
            ++depth;
        else if (c == '}' && --depth < 0)
            Fail("RTF closes a group it never opened", rtf);
    }
    if (depth != 0 || rtf.substr(rtf.size() - 2) != "}}")
        Fail("RTF groups do not close", rtf);
}

void CheckHtml(const std::string& html) {
    CheckAscii(html, "HTML");
    const size_t body = html.find("\">", html.find("<PRE><FONT FACE=\"")) + 2;
    std::vector<std::string> open = {"FONT"};
    for (size_t i = body; i < html.size(); ++i) {
        if (html[i] == '>' || html[i] == '"')
            Fail("HTML text holds markup", html.substr(i > 40 ? i - 40 : 0, 80));
        if (html[i] != '<')
            continue;
        const size_t end = html.find('>', i);
        const std::string tag = html.substr(i + 1, end - i - 1);
        i = end;
        if (tag[0] != '/') {
            open.push_back(tag.rfind("FONT COLOR=\"#", 0) == 0 ? "FONT" : tag);
            continue;
        }
        if (open.empty()) {
            if (tag != "/PRE" && tag != "/BODY" && tag != "/HTML")
                Fail("HTML closes a tag it never opened", tag);
        } else if (tag.substr(1) != open.back()) {
            Fail("HTML tags overlap", tag + " closes " + open.back());
        } else {
            open.pop_back();
        }
    }
    if (!open.empty())
        Fail("HTML leaves tags open", open.back());
}

void CheckPages(TCustomSyntaxMemo& memo, test::TFakePlatform& printer, const uint8_t* p) {
    printer.charWidth = 1 + p[0] % 40;
    printer.rowHeight = 1 + p[1] % 60;
    const TPrintRect page{0, 0, p[2] * 4, p[3] * 4};
    TPrintLayout layout(memo, printer, {page, (p[4] & 1) != 0, {}});
    // Every page prints a row, and every print row a character (or an empty line), so the
    // pages are bounded by the characters and rows of the document.
    const int64_t bound = int64_t(memo.TextLength()) + memo.Store().RowCount() + 1;
    TextOffset next = -1;
    int64_t pages = 0, printed = 0;
    while (!layout.Done()) {
        if (++pages > bound)
            Fail("the pages do not end");
        for (const TPrintRow& row : layout.NextPage().Rows) {
            // Each print row goes on where the last one stopped, or starts a later row.
            if (next >= 0 && row.Offset < next)
                Fail("a character printed twice");
            next = row.Offset + row.Layout.Length();
            printed += row.Layout.Length();
        }
    }
    // The whole document: every character but the line breaks.
    const std::string text = memo.Text();
    if (!(p[4] & 1) && printed != int64_t(text.size()) - std::count(text.begin(), text.end(), '\r'))
        Fail("characters left unprinted");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8)
        return 0;
    const uint8_t* p = data;
    const std::string_view rest(reinterpret_cast<const char*>(data + 8), size - 8);
    const size_t split = rest.size() * p[5] / 256;

    test::TFakePlatform platform;
    test::TFakePlatform printer;
    TCustomSyntaxMemo memo{&platform};
    TSM_Settings& s = memo.Settings();
    // Styles with every font style, and a font name that needs escaping.
    for (int k = 1; k < 16; ++k)
        s.SetStyle(k, {.FontStyle = static_cast<uint8_t>(k),
                       .TextColor = k * 0x111111 % 0x1000000,
                       .BackColor = k * 0x010203,
                       .Defined = 1});
    for (int t = 0; t < 256; ++t)
        s.Map[t] = static_cast<uint8_t>(t % 16);
    s.FontName = "F{\\}<&\">;";
    memo.Title = std::string(rest.substr(0, std::min<size_t>(split, 40)));
    memo.SetWholeText(rest.substr(0, split));
    // Token bytes from the input, so runs change anywhere.
    uint8_t seed = p[6];
    for (TLineNode* r = memo.Store().FirstRow(); r; r = r->Next()) {
        uint8_t* bytes = r->AllocStyles();
        for (int i = 0; i < r->Length(); ++i) {
            seed = static_cast<uint8_t>(seed * 33 + static_cast<uint8_t>(r->Text()[i]));
            bytes[i] = (seed & 7) ? bytes[i > 0 ? i - 1 : 0] : seed;
        }
    }
    const TextOffset length = memo.TextLength();
    const TextOffset from = length ? p[7] % (length + 1) : 0;
    CheckRtf(RichText(memo, TRichFormat::Rtf, from, length));
    CheckHtml(RichText(memo, TRichFormat::Html, from, length));
    memo.SetOptionWord((memo.OptionWord() & ~0x3E0u) | ((p[4] & 0x3E) << 4));
    memo.SetSelection(from, length - from / 2);
    CheckPages(memo, printer, p);

    // The rest pasted as HTML, and dropped, with source types of the input's choosing.
    const std::string incoming(rest.substr(split));
    memo.OnDataDrop = [&](TCustomSyntaxMemo&, TSourceTypes& types) {
        types = static_cast<TSourceTypes>(types ^ (p[4] << 8) ^ p[2]);
    };
    platform.SetClipboardHtml(incoming);
    memo.PasteFromClipboard();
    TDropData drop{stHTML | stText, incoming, incoming, {incoming, incoming}};
    memo.Drop(drop, memo.TextLength() / 2, {}, p[3] & 1);
    const std::string broken = test::CheckStore(memo.Store());
    if (!broken.empty())
        Fail("store broken after a paste or drop", broken);
    return 0;
}
