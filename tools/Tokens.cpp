// kvx tokens and kvx highlight: a file highlighted as the editor highlights it, shown as
// token values (for checking a language), as coloured text for a terminal, or written as
// HTML or RTF by the editor's own writers.
#include "KvxCommands.h"
#include "editor/RichExport.h"
#include "editor/Settings.h"
#include "editor/Stream.h"
#include "editor/StyleResolver.h"
#include "editor/SyntaxEd.h"
#include "editor/TextFile.h"
#include "highlight/SynParse.h"
#include "highlight/languages/Languages.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <unistd.h>

namespace kvx::tool {

namespace {

struct TOptions {
    int Language = 0; // 0: by the file's extension
    std::string Script;
    std::string Color = "auto";
    std::string Format = "ansi";
    std::string File;
};

// Reads the options both commands share; `withScript` allows --script, `withColor`
// --color. Returns kExitOk or the usage exit code after reporting.
int ParseOptions(const char* command, const TArgs& args, bool withScript, bool withColor,
                 TOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--lang" || (withScript && a == "--script")) {
            if (i + 1 == args.size())
                return Usage("'" + a + "' needs a value");
            const std::string& v = args[++i];
            if (a == "--script") {
                o.Script = v;
                continue;
            }
            if (v.size() != 1 || v[0] < '1' || v[0] > '0' + kLanguageCount)
                return Usage("'--lang' takes a number from 1 to " + std::to_string(kLanguageCount));
            o.Language = v[0] - '0';
        } else if (withColor && a.rfind("--color=", 0) == 0) {
            o.Color = a.substr(8);
            if (o.Color != "auto" && o.Color != "always" && o.Color != "never")
                return Usage("'--color' is auto, always or never");
        } else if (withColor && (a == "--format" || a.rfind("--format=", 0) == 0)) {
            if (a == "--format" && i + 1 == args.size())
                return Usage("'--format' needs a value");
            o.Format = a == "--format" ? args[++i] : a.substr(9);
            if (o.Format != "ansi" && o.Format != "html" && o.Format != "rtf")
                return Usage("'--format' is ansi, html or rtf");
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage("'" + std::string(command) + "' has no option '" + a + "'");
        } else if (o.File.empty()) {
            o.File = a;
        } else {
            return Usage("'" + std::string(command) + "' takes one FILE");
        }
    }
    if (o.File.empty())
        return Usage("'" + std::string(command) + "' needs a FILE");
    if (o.Language && !o.Script.empty())
        return Usage("'--lang' and '--script' exclude each other");
    return kExitOk;
}

// Loads the file and its language and highlights the whole document.
void Highlight(const TOptions& o, TCustomSyntaxMemo& memo, TSyntaxMemoParser& parser) {
    if (!o.Script.empty()) {
        parser.Script = o.Script;
        try {
            TFileStream script(o.Script);
            parser.CompileFromStream(script);
        } catch (const std::bad_alloc&) {
            // Out of memory while compiling is the script's doing, not the file's.
            throw ESyntaxMemo(0, "Not enough memory to compile '" + o.Script + "'");
        }
    } else {
        LoadLanguage(parser, o.Language ? o.Language : LanguageForFileName(o.File));
    }
    memo.LoadFromFile(o.File);
    memo.SetHighlighter(&parser);
    parser.HighlightAll(memo);
}

// Runs `work` with the failures of loading and compiling turned into messages.
template <class Work> int Guarded(const std::string& file, Work work) {
    try {
        work();
    } catch (const std::bad_alloc&) {
        return Fail("Not enough memory to highlight '" + file + "'");
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    return kExitOk;
}

void Flush(std::string& out) {
    std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear();
}

// Escape sequences for a style as the editor resolves it, in 24-bit colour. A terminal has
// no desktop palette, so colours that come from the desktop are left to the terminal, and
// the background is set only where it differs from the default style's, so the text reads
// on dark and light terminals alike.
std::string StyleEscape(const TResolvedStyle& style, const TResolvedStyle& page) {
    std::string esc = "\x1b[0";
    if (style.FontStyle & 1)
        esc += ";1";
    if (style.FontStyle & 2)
        esc += ";3";
    if (style.FontStyle & 4)
        esc += ";4";
    auto rgb = [&](const char* kind, int32_t c) {
        esc += kind;
        esc += std::to_string(c & 0xFF) + ";" + std::to_string((c >> 8) & 0xFF) + ";" +
               std::to_string((c >> 16) & 0xFF);
    };
    if (!style.TextFromSystem && style.TextColor != page.TextColor)
        rgb(";38;2;", style.TextColor);
    if (!style.BackFromSystem && style.BackColor != page.BackColor)
        rgb(";48;2;", style.BackColor);
    return esc + "m";
}

} // namespace

int RunTokens(const TArgs& args) {
    TOptions o;
    if (const int rc = ParseOptions("tokens", args, true, false, o))
        return rc;
    TCustomSyntaxMemo memo;
    TSyntaxMemoParser parser;
    return Guarded(o.File, [&] {
        Highlight(o, memo, parser);
        std::string out;
        for (const TLineNode* row = memo.Store().FirstRow(); row; row = row->Next()) {
            const uint8_t* bytes = row->Styles();
            for (int i = 0; i < row->Length();) {
                const uint8_t v = bytes ? bytes[i] : 0;
                int n = 1;
                while (i + n < row->Length() && (bytes ? bytes[i + n] : 0) == v)
                    ++n;
                if (i > 0)
                    out += ' ';
                out += std::to_string(v) + "*" + std::to_string(n);
                i += n;
            }
            out += '\n';
            if (out.size() > (1 << 16))
                Flush(out);
        }
        Flush(out);
    });
}

// Standard output as a stream for the writers; a failed write is a failed export.
class TStdoutStream : public TStream {
  public:
    int64_t Read(void* /*buffer*/, int64_t /*count*/) override { return 0; }
    int64_t Write(const void* buffer, int64_t count) override {
        const size_t n = std::fwrite(buffer, 1, static_cast<size_t>(count), stdout);
        written_ += static_cast<int64_t>(n);
        return static_cast<int64_t>(n);
    }
    int64_t Seek(int64_t /*offset*/, TSeekOrigin /*origin*/) override { return written_; }
    int64_t Size() override { return written_; }

  private:
    int64_t written_ = 0;
};

int RunHighlight(const TArgs& args) {
    TOptions o;
    if (const int rc = ParseOptions("highlight", args, false, true, o))
        return rc;
    const bool color = o.Color == "always" || (o.Color == "auto" && isatty(STDOUT_FILENO));
    TCustomSyntaxMemo memo;
    TSyntaxMemoParser parser;
    if (o.Format != "ansi") {
        return Guarded(o.File, [&] {
            Highlight(o, memo, parser);
            // The language's styles and font, and the file's name as the page's title.
            memo.UseSettings(&parser.Settings());
            memo.Title = o.File;
            TStdoutStream out;
            try {
                WriteRich(memo, o.Format == "rtf" ? TRichFormat::Rtf : TRichFormat::Html, 0,
                          memo.TextLength(), out);
            } catch (const EFileSaveError&) {
                throw ESyntaxMemo(0, "Cannot write to standard output");
            }
            if (std::fflush(stdout) != 0)
                throw ESyntaxMemo(0, "Cannot write to standard output");
        });
    }
    return Guarded(o.File, [&] {
        Highlight(o, memo, parser);
        const TSM_Settings& s = parser.Settings();
        const TStyleContext plain;
        const TResolvedStyle page = ResolveStyle(s, 0, plain, memo.Platform());
        std::string escapes[256];
        std::string out;
        int current = -1;
        for (const TLineNode* row = memo.Store().FirstRow(); row; row = row->Next()) {
            const uint8_t* bytes = row->Styles();
            for (int i = 0; i < row->Length(); ++i) {
                const char c = row->Text()[i];
                if (color && c != '\r') {
                    const uint8_t style = s.Map[bytes ? bytes[i] : 0];
                    if (style != current) {
                        if (escapes[style].empty())
                            escapes[style] =
                                StyleEscape(ResolveStyle(s, style, plain, memo.Platform()), page);
                        out += escapes[style];
                        current = style;
                    }
                }
                if (c == '\r') {
                    // Styles end with the line, so that a pager or a cut line shows
                    // nothing left over.
                    if (color && current >= 0) {
                        out += "\x1b[0m";
                        current = -1;
                    }
                    out += '\n';
                } else {
                    out += c;
                }
            }
            if (out.size() > (1 << 16))
                Flush(out);
        }
        if (color && current >= 0)
            out += "\x1b[0m";
        Flush(out);
    });
}

} // namespace kvx::tool
