#include "RichExport.h"

#include "Encoding.h"
#include "Settings.h"
#include "Stream.h"
#include "StyleResolver.h"
#include "SyntaxEd.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <vector>

namespace kvx {

namespace {

// Output gathered in memory and handed to the stream in large writes. Without a stream it
// only gathers (the clipboard's copy).
class TOutput {
  public:
    explicit TOutput(TStream* out) : out_(out) {}
    TOutput& operator<<(std::string_view s) {
        buf_.append(s);
        return *this;
    }
    TOutput& operator<<(char c) {
        buf_.push_back(c);
        return *this;
    }
    TOutput& operator<<(int n) {
        char text[16];
        const auto end = std::to_chars(text, text + sizeof text, n).ptr;
        buf_.append(text, static_cast<size_t>(end - text));
        return *this;
    }
    // Called between rows, so that the buffer stays near its flushing size whatever the
    // document's length.
    void Drain() {
        if (out_ && buf_.size() >= (size_t(1) << 16))
            Flush();
    }
    void Flush() {
        if (!out_ || buf_.empty())
            return;
        const auto n = static_cast<int64_t>(buf_.size());
        if (out_->Write(buf_.data(), n) != n)
            throw EFileSaveError(kCouldNotSaveText);
        buf_.clear();
    }
    std::string Take() { return std::move(buf_); }

  private:
    TStream* out_;
    std::string buf_;
};

// One character of document or UTF-8 text at text[i]: its code point and its byte count.
// A byte that starts no valid UTF-8 character stands for U+FFFD on its own. A Windows-1252
// byte above 127 keeps its byte beside its character; a byte the code page leaves
// unassigned is its own code (`Raw`), which is all anyone can say about it.
struct TChar {
    char32_t Code;
    int Bytes;
    unsigned char Byte = 0; // the Windows-1252 byte of a character above 127
    bool Raw = false;
};
TChar CharAt(std::string_view text, size_t i, bool utf8) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80)
        return {b, 1};
    if (!utf8) {
        const char32_t c = Cp1252ToUnicode(b);
        return {c == 0xFFFD ? char32_t(b) : c, 1, b, c == 0xFFFD};
    }
    char32_t c;
    const int n = DecodeUtf8(text, i, c);
    return n > 0 ? TChar{c, n} : TChar{0xFFFD, 1};
}

constexpr char kHexDigits[] = "0123456789abcdef";

// 0x00BBGGRR as the "#rrggbb" of HTML.
void HexColor(TOutput& o, int32_t c) {
    const auto v = static_cast<uint32_t>(c);
    char text[7] = {'#'};
    for (int k = 0; k < 3; ++k) { // red, green, blue
        const uint32_t byte = (v >> (8 * k)) & 0xFF;
        text[1 + 2 * k] = kHexDigits[byte >> 4];
        text[2 + 2 * k] = kHexDigits[byte & 15];
    }
    o << std::string_view(text, 7);
}

// Which bytes a format writes as they are: printable ASCII but for its own special
// characters. Runs of them go out in one piece, which is most of any source text.
struct TPlainBytes {
    std::array<bool, 256> Is{};
    constexpr explicit TPlainBytes(std::string_view special) {
        for (int b = 32; b < 127; ++b)
            Is[static_cast<size_t>(b)] =
                special.find(static_cast<char>(b)) == std::string_view::npos;
    }
    // The number of plain bytes from text[i] on.
    size_t Span(std::string_view text, size_t i) const {
        size_t j = i;
        while (j < text.size() && Is[static_cast<unsigned char>(text[j])])
            ++j;
        return j - i;
    }
};
constexpr TPlainBytes kPlainRtf("\\{}'");
constexpr TPlainBytes kPlainHtml("&<>\"");

// The styles as they are drawn, one per style number, and the part of the document a
// writer walks: rows from the one holding `from`, each with the stretch of its bytes that
// lies in the range.
class TSource {
  public:
    TSource(TCustomSyntaxMemo& memo, TextOffset from, TextOffset to)
        : memo_(memo), settings_(memo.Settings()), from_(from), to_(to) {
        for (int s = 0; s < 256; ++s)
            styles_[s] =
                ResolveStyle(settings_, static_cast<uint8_t>(s), TStyleContext{}, memo.Platform());
    }

    const TResolvedStyle& Style(int s) const { return styles_[s]; }
    const TSM_Settings& Settings() const { return settings_; }
    TCustomSyntaxMemo& Memo() const { return memo_; }
    bool Utf8() const { return memo_.Store().Utf8(); }

    // Calls w.Row(row, begin), w.Run(style, bytes) for each stretch of one style, and
    // w.EndRow(withBreak) after the row, for every row of the range.
    template <class Writer> void Walk(Writer& w, TOutput& o) const {
        TTextStore& s = memo_.Store();
        TRowFinger f = s.RowAt(nullptr, from_);
        const auto& map = settings_.Map;
        const bool utf8 = s.Utf8();
        for (const TLineNode* r = f.Row; r && f.Offset < to_; r = r->Next()) {
            const int begin = std::max(from_ - f.Offset, 0);
            const int end =
                static_cast<int>(std::min<int64_t>(r->Length(), int64_t(to_) - f.Offset));
            const int content = std::min(end, r->ContentLength());
            const uint8_t* tokens = r->Styles();
            w.Row(*r, begin);
            const char* text = r->Text();
            for (int i = begin; i < content;) {
                const uint8_t style = map[tokens ? tokens[i] : 0];
                // A character goes whole into the run its first byte is in, whatever
                // tokens its other bytes carry.
                int j = i + 1;
                while (j < content &&
                       (map[tokens ? tokens[j] : 0] == style ||
                        (utf8 && IsUtf8Continuation(static_cast<unsigned char>(text[j])))))
                    ++j;
                w.Run(style, std::string_view(text + i, static_cast<size_t>(j - i)));
                i = j;
            }
            w.EndRow(end > content);
            o.Drain();
            f.Offset += r->Length();
        }
    }

  private:
    TCustomSyntaxMemo& memo_;
    const TSM_Settings& settings_;
    TextOffset from_, to_;
    std::array<TResolvedStyle, 256> styles_;
};

// ---- RTF -------------------------------------------------------------------------------

class TRtfWriter {
  public:
    TRtfWriter(const TSource& src, TOutput& o) : src_(src), o_(o), utf8_(src.Utf8()) {}

    void Header() {
        const TSM_Settings& s = src_.Settings();
        o_ << "{\\rtf1 \\deff1{\\fonttbl {\\f1 \\fnil ";
        // A ";" would end the font's name early.
        for (size_t i = 0; i < s.FontName.size();) {
            const TChar c = CharAt(s.FontName, i, true);
            if (c.Code == ';')
                o_ << "\\'3b";
            else
                Char(c);
            i += static_cast<size_t>(c.Bytes);
        }
        o_ << ";}}\r\n";
        BuildColorTable();
        o_ << "{\\colortbl";
        for (int32_t c : colors_)
            o_ << "\\red" << (c & 0xFF) << "\\green" << ((c >> 8) & 0xFF) << "\\blue"
               << ((c >> 16) & 0xFF) << ';';
        o_ << "}\r\n";
        // Half-points; a size the settings could not hold is written as 10 points.
        const int size = s.FontSize > 0 && s.FontSize <= 1638 ? s.FontSize : 10;
        o_ << "{\\f1\\fs" << 2 * size << "\\cf0\\cb1 ";
        text_ = colors_[0];
        back_ = colors_[1];
    }

    void Row(const TLineNode& /*row*/, int /*begin*/) {}

    void Run(uint8_t style, std::string_view bytes) {
        const TResolvedStyle& st = src_.Style(style);
        Toggle(st.FontStyle, 1, "\\b");
        Toggle(st.FontStyle, 2, "\\i");
        Toggle(st.FontStyle, 4, "\\ul");
        if (st.TextColor != text_) {
            const int k = IndexOf(st.TextColor);
            o_ << "\\cf" << std::max(k, 0) << ' ';
            text_ = colors_[static_cast<size_t>(std::max(k, 0))];
        }
        if (st.BackColor != back_) {
            const int k = IndexOf(st.BackColor);
            o_ << "\\cb" << (k < 0 ? 1 : k) << ' ';
            back_ = colors_[static_cast<size_t>(k < 0 ? 1 : k)];
        }
        for (size_t i = 0; i < bytes.size();) {
            if (const size_t n = kPlainRtf.Span(bytes, i)) {
                o_ << bytes.substr(i, n);
                i += n;
                continue;
            }
            const TChar c = CharAt(bytes, i, utf8_);
            Char(c);
            i += static_cast<size_t>(c.Bytes);
        }
    }

    void EndRow(bool withBreak) { o_ << (withBreak ? "\\line \r\n" : "\r\n"); }

    void Footer() { o_ << "}}"; }

  private:
    // Entries 0 and 1 are style 0's colours, the document's default; then the colours of
    // every style that is defined or that a token is drawn in, each colour once, at most
    // 256 in all. A colour left out is written as entry 0 or 1.
    void BuildColorTable() {
        const TSM_Settings& s = src_.Settings();
        colors_ = {src_.Style(0).TextColor, src_.Style(0).BackColor};
        std::array<bool, 256> used{};
        for (uint8_t style : s.Map)
            used[style] = true;
        for (int k = 0; k < 256; ++k) {
            if (!used[k] && !s.Styles[k].Defined)
                continue;
            for (int32_t c : {src_.Style(k).TextColor, src_.Style(k).BackColor})
                if (colors_.size() < 256 && IndexOf(c) < 0)
                    colors_.push_back(c);
        }
    }
    int IndexOf(int32_t c) const {
        const auto it = std::find(colors_.begin(), colors_.end(), c);
        return it == colors_.end() ? -1 : static_cast<int>(it - colors_.begin());
    }
    void Toggle(uint8_t fontStyle, uint8_t bit, std::string_view word) {
        const bool on = fontStyle & bit;
        if (on != ((on_ & bit) != 0)) {
            o_ << word << (on ? "1 " : "0 ");
            on_ ^= bit;
        }
    }
    // A character as RTF text. Anything outside ASCII goes as \uN (a signed 16-bit number,
    // a pair of surrogates beyond U+FFFF) followed by the one character that readers
    // without Unicode show instead: the original byte of a Windows-1252 document, which
    // such readers take in that code page, else "?". The stand-in is always written as a
    // \'hh escape, as Word writes it: some readers skip the whole word after \uN when the
    // stand-in is a plain character.
    void Char(const TChar& c) {
        const char32_t ch = c.Code;
        if (c.Raw) {
            Hex(static_cast<unsigned char>(ch));
            return;
        }
        switch (ch) {
        case 0:
            return;
        case '\t':
            o_ << "\\tab ";
            return;
        case 12:
            o_ << "\\page ";
            return;
        case '\r':
            o_ << "\\line ";
            return;
        case '\'':
            o_ << "\\'27";
            return;
        case '\\':
        case '{':
        case '}':
            o_ << '\\' << static_cast<char>(ch);
            return;
        default:
            break;
        }
        if (ch < 32) {
            Hex(static_cast<unsigned char>(ch));
        } else if (ch < 128) {
            o_ << static_cast<char>(ch);
        } else if (ch < 0x10000) {
            Unicode(ch);
            Hex(c.Byte ? c.Byte : '?');
        } else {
            const char32_t v = ch - 0x10000;
            Unicode(0xD800 + (v >> 10));
            Hex('?');
            Unicode(0xDC00 + (v & 0x3FF));
            Hex('?');
        }
    }
    void Unicode(char32_t ch) { o_ << "\\u" << static_cast<int>(static_cast<int16_t>(ch)); }
    void Hex(unsigned char b) { o_ << "\\'" << kHexDigits[b >> 4] << kHexDigits[b & 15]; }

    const TSource& src_;
    TOutput& o_;
    bool utf8_;
    std::vector<int32_t> colors_;
    int32_t text_ = 0, back_ = 0;
    uint8_t on_ = 0; // bold 1, italic 2, underline 4 as last written
};

// ---- HTML ------------------------------------------------------------------------------

class THtmlWriter {
  public:
    THtmlWriter(const TSource& src, TOutput& o)
        : src_(src), o_(o), utf8_(src.Utf8()), tabs_(src.Memo().TabSettings()) {}

    void Header() {
        TCustomSyntaxMemo& memo = src_.Memo();
        const TResolvedStyle& page = src_.Style(0);
        o_ << "<HTML><HEAD>\r\n"
              "<META NAME=\"Generator\" CONTENT=\" KOVEX                              \">\r\n"
              "<TITLE>";
        Text(memo.Title);
        o_ << "</TITLE>\r\n<META NAME=\"Date\" CONTENT=\"";
        Text(memo.Platform().ShortDate());
        o_ << "\">\r\n</HEAD>\r\n<BODY TEXT=\"";
        HexColor(o_, page.TextColor);
        o_ << "\" BGCOLOR=\"";
        HexColor(o_, page.BackColor);
        // No line break after the opening tags: one there would be the first line of the
        // text in readers that keep it.
        o_ << "\">\r\n<PRE><FONT FACE=\"";
        Text(src_.Settings().FontName);
        o_ << "\">";
        base_ = page.TextColor;
        color_ = base_;
    }

    void Row(const TLineNode& row, int begin) {
        column_ = begin > 0 ? src_.Memo().Store().ColumnOfIndex(&row, begin, tabs_) : 0;
    }

    // Tags are kept nested, colour outermost, then bold, italic, underline: a change closes
    // the tags inside the one that changes and opens them again, so that no reader has to
    // repair the markup (and none loses the font face or a weight while doing so).
    void Run(uint8_t style, std::string_view bytes) {
        const TResolvedStyle& st = src_.Style(style);
        // The levels, from the outside, that are already as this run wants them.
        int keep = 0;
        if (st.TextColor == color_)
            for (keep = 1; keep < 4 && ((st.FontStyle ^ open_) & LevelBit(keep)) == 0; ++keep) {
            }
        if (keep < 4) {
            Close(keep);
            if (keep == 0 && st.TextColor != base_) {
                color_ = st.TextColor;
                o_ << "<FONT COLOR=\"";
                HexColor(o_, color_);
                o_ << "\">";
            }
            for (int level = std::max(keep, 1); level < 4; ++level)
                if (st.FontStyle & LevelBit(level)) {
                    o_ << kOpen[level - 1];
                    open_ |= LevelBit(level);
                }
        }
        for (size_t i = 0; i < bytes.size();) {
            if (const size_t n = kPlainHtml.Span(bytes, i)) {
                o_ << bytes.substr(i, n);
                column_ += static_cast<DisplayColumn>(n);
                i += n;
                continue;
            }
            const TChar c = CharAt(bytes, i, utf8_);
            Char(c);
            i += static_cast<size_t>(c.Bytes);
        }
    }

    void EndRow(bool withBreak) {
        if (withBreak)
            o_ << "\r\n";
    }

    void Footer() {
        Close(0);
        o_ << "</FONT></PRE></BODY></HTML>\r\n";
    }

  private:
    static constexpr std::string_view kOpen[] = {"<B>", "<I>", "<U>"};
    static constexpr std::string_view kClose[] = {"</B>", "</I>", "</U>"};
    // Levels 1 to 3 are bold, italic and underline, the font style's bits 1, 2 and 4.
    static constexpr uint8_t LevelBit(int level) { return static_cast<uint8_t>(1u << (level - 1)); }

    // Closes the open tags from the innermost down to level `keep` (0: the colour too).
    void Close(int keep) {
        for (int level = 3; level >= std::max(keep, 1); --level)
            if (open_ & LevelBit(level)) {
                o_ << kClose[level - 1];
                open_ &= static_cast<uint8_t>(~LevelBit(level));
            }
        if (keep == 0 && color_ != base_) {
            o_ << "</FONT>";
            color_ = base_;
        }
    }
    // Text of the page head (title, date, font name), given in UTF-8.
    void Text(std::string_view utf8) {
        for (size_t i = 0; i < utf8.size();) {
            const TChar c = CharAt(utf8, i, true);
            if (c.Code != '\t')
                Char(c);
            i += static_cast<size_t>(c.Bytes);
        }
    }
    void Char(const TChar& c) {
        const char32_t ch = c.Code;
        if (ch == '\t') {
            const DisplayColumn stop = tabs_.NextTabStop(column_);
            for (; column_ < stop; ++column_)
                o_ << ' ';
            return;
        }
        ++column_;
        switch (ch) {
        case '&':
            o_ << "&amp;";
            return;
        case '<':
            o_ << "&lt;";
            return;
        case '>':
            o_ << "&gt;";
            return;
        case '"':
            o_ << "&quot;";
            return;
        case 0xA0:
            o_ << "&nbsp;";
            return;
        default:
            break;
        }
        if (ch < 32)
            return;
        if (ch < 128)
            o_ << static_cast<char>(ch);
        else
            o_ << "&#" << static_cast<int>(ch) << ';';
    }

    const TSource& src_;
    TOutput& o_;
    bool utf8_;
    const TTabSettings& tabs_;
    DisplayColumn column_ = 0;
    int32_t base_ = 0;  // style 0's text colour: the page's, needing no tag
    int32_t color_ = 0; // the colour in force
    uint8_t open_ = 0;  // open tags: bold 1, italic 2, underline 4
};

template <class Writer> void Export(const TSource& src, TOutput& o) {
    Writer w(src, o);
    w.Header();
    src.Walk(w, o);
    w.Footer();
    o.Flush();
}

void Write(TCustomSyntaxMemo& memo, TRichFormat format, TextOffset from, TextOffset to,
           TOutput& o) {
    const TextOffset length = memo.TextLength();
    from = std::clamp(from, 0, length);
    to = std::clamp(to, 0, length);
    if (from > to)
        std::swap(from, to);
    // Rows the highlighting has not reached yet (an edit not yet scanned, or background
    // highlighting still on its way) would come out in style 0.
    memo.HighlightTo(to);
    const TSource src(memo, from, to);
    if (format == TRichFormat::Rtf)
        Export<TRtfWriter>(src, o);
    else
        Export<THtmlWriter>(src, o);
}

} // namespace

void WriteRich(TCustomSyntaxMemo& memo, TRichFormat format, TextOffset from, TextOffset to,
               TStream& out) {
    TOutput o(&out);
    Write(memo, format, from, to, o);
}

std::string RichText(TCustomSyntaxMemo& memo, TRichFormat format, TextOffset from, TextOffset to) {
    TOutput o(nullptr);
    Write(memo, format, from, to, o);
    return o.Take();
}

void AddRichFormats(TCustomSyntaxMemo& memo, TClipboardData& data) {
    const TSelectionRange sel = memo.Selection();
    if (memo.ClipCopyFormats & smRTF)
        data.Rtf = RichText(memo, TRichFormat::Rtf, sel.Start(), sel.End());
    if (memo.ClipCopyFormats & smHTML)
        data.Html = RichText(memo, TRichFormat::Html, sel.Start(), sel.End());
}

} // namespace kvx
