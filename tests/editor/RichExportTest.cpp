// The RTF and HTML writers byte by byte: the frame of each format, the colour table, the
// escapes, characters beyond ASCII in both encodings, partial rows, long lines, system
// colours and the highlighting pass that runs first. What real readers make of the output
// is checked in export/.
#include "editor/RichExport.h"
#include "editor/EdMessages.h"
#include "editor/Settings.h"
#include "editor/Stream.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kvx {
namespace {

constexpr int32_t kRed = 0x0000FF; // stored as blue-green-red
constexpr int32_t kBlue = 0xFF0000;

class RichExport : public ::testing::Test {
  protected:
    void SetUp() override {
        TSM_Settings& s = memo.Settings();
        s.SetStyle(1, {.FontStyle = 1, .TextColor = kRed, .Defined = 1});  // keyword
        s.SetStyle(2, {.FontStyle = 2, .TextColor = kBlue, .Defined = 1}); // comment
        s.SetStyle(3, {.FontStyle = 3, .TextColor = kRed, .Defined = 1});  // bold italic
        s.SetStyle(4, {.TextColor = clWhiteValue, .BackColor = kRed, .Defined = 1});
        for (int t = 1; t <= 4; ++t)
            s.Map[t] = static_cast<uint8_t>(t);
    }
    // `tokens` has one digit per stored byte (line breaks are one carriage return each).
    void Load(std::string_view text, std::string_view tokens = {}) {
        memo.SetWholeText(text);
        if (tokens.empty())
            return;
        ASSERT_EQ(tokens.size(), size_t(memo.TextLength()));
        std::vector<uint8_t> bytes;
        for (char c : tokens)
            bytes.push_back(static_cast<uint8_t>(c - '0'));
        memo.Perform(smmSETSTYLES, 0, reinterpret_cast<intptr_t>(bytes.data()));
    }
    std::string Rtf(TextOffset from = 0, TextOffset to = INT32_MAX) {
        return RichText(memo, TRichFormat::Rtf, from, to);
    }
    std::string Html(TextOffset from = 0, TextOffset to = INT32_MAX) {
        return RichText(memo, TRichFormat::Html, from, to);
    }
    // The text part of each format.
    std::string RtfBody(TextOffset from = 0, TextOffset to = INT32_MAX) {
        const std::string rtf = Rtf(from, to);
        const size_t at = rtf.find("\\cf0\\cb1 ") + 9;
        EXPECT_EQ(rtf.substr(rtf.size() - 2), "}}");
        return rtf.substr(at, rtf.size() - 2 - at);
    }
    std::string HtmlBody(TextOffset from = 0, TextOffset to = INT32_MAX) {
        const std::string html = Html(from, to);
        const size_t face = html.find("<PRE><FONT FACE=\"");
        const size_t at = html.find("\">", face) + 2;
        const std::string tail = "</FONT></PRE></BODY></HTML>\r\n";
        EXPECT_EQ(html.substr(html.size() - tail.size()), tail);
        return html.substr(at, html.size() - tail.size() - at);
    }

    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};
};

TEST_F(RichExport, RtfFrameColourTableAndStyleCodes) {
    Load("mov a\r; c\rx", "11100022224");
    EXPECT_EQ(Rtf(), "{\\rtf1 \\deff1{\\fonttbl {\\f1 \\fnil Courier New;}}\r\n"
                     "{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;"
                     "\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
                     "{\\f1\\fs20\\cf0\\cb1 \\b1 \\cf2 mov\\b0 \\cf0  a\\line \r\n"
                     "\\i1 \\cf3 ; c\\line \r\n"
                     "\\i0 \\cf1 \\cb2 x\r\n}}");
    // The table holds each colour once: white text reuses entry 1, red back entry 2. A
    // table full to 256 entries sends missing colours to the defaults.
    TSM_Settings& s = memo.Settings();
    for (int k = 5; k < 256; ++k)
        s.SetStyle(k, {.TextColor = k * 0x10101, .BackColor = 0x010000 * k, .Defined = 1});
    s.Map[5] = 250;
    Load("x", "5");
    const std::string rtf = Rtf();
    const size_t at = rtf.find("{\\colortbl");
    const std::string table = rtf.substr(at, rtf.find('}', at) - at);
    EXPECT_EQ(std::count(table.begin(), table.end(), ';'), 256);
    EXPECT_NE(rtf.find("\\cf0 \\cb1 x"), std::string::npos) << rtf.substr(rtf.size() - 40);
    // Font sizes go in half-points.
    s.FontSize = 12;
    EXPECT_NE(Rtf().find("{\\f1\\fs24\\cf0\\cb1 "), std::string::npos);
}

TEST_F(RichExport, RtfEscapesEveryCharacterAndNamesSafely) {
    Load("{a}\\b\t'c");
    EXPECT_EQ(RtfBody(), "\\{a\\}\\\\b\\tab \\'27c\r\n");
    // UTF-8: \uN (signed, surrogates beyond U+FFFF) with a "?" stand-in as a hex escape.
    Load("\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBF\xF0\x9F\x98\x80.");
    EXPECT_EQ(RtfBody(), "\\u233\\'3f\\u8364\\'3f\\u-1\\'3f\\u-10179\\'3f\\u-8704\\'3f.\r\n");
    // Windows-1252: the Unicode character with the original byte as its stand-in; a byte
    // the code page leaves unassigned goes as itself.
    memo.SetWholeText("\xE9.\x80\x81");
    ASSERT_FALSE(memo.Store().Utf8());
    EXPECT_EQ(RtfBody(), "\\u233\\'e9.\\u8364\\'80\\'81\r\n");
    // A font name cannot break out of its table entry.
    memo.Settings().FontName = "A;B}{\\";
    const std::string rtf = Rtf();
    EXPECT_EQ(rtf.substr(0, rtf.find("\r\n")),
              "{\\rtf1 \\deff1{\\fonttbl {\\f1 \\fnil A\\'3bB\\}\\{\\\\;}}");
}

TEST_F(RichExport, HtmlFrameEscapesAndNames) {
    memo.Title = "x<y>&\"z\".asm";
    memo.Settings().FontName = "F\"><script>";
    Load("<a & b> \"q\"\xC2\xA0\xC3\xA9\xF0\x9F\x98\x80.");
    EXPECT_EQ(Html(),
              "<HTML><HEAD>\r\n"
              "<META NAME=\"Generator\" CONTENT=\" KOVEX                              \">\r\n"
              "<TITLE>x&lt;y&gt;&amp;&quot;z&quot;.asm</TITLE>\r\n"
              "<META NAME=\"Date\" CONTENT=\"17/05/2024\">\r\n"
              "</HEAD>\r\n"
              "<BODY TEXT=\"#000000\" BGCOLOR=\"#ffffff\">\r\n"
              "<PRE><FONT FACE=\"F&quot;&gt;&lt;script&gt;\">"
              "&lt;a &amp; b&gt; &quot;q&quot;&nbsp;&#233;&#128512;.</FONT></PRE>"
              "</BODY></HTML>\r\n");
    memo.SetWholeText("\x80\xA0\x81\xE9");
    ASSERT_FALSE(memo.Store().Utf8());
    EXPECT_EQ(HtmlBody(), "&#8364;&nbsp;&#129;&#233;");
    // A character whose bytes carry different tokens goes whole with its first byte.
    Load("a\xC3\xA9", "012");
    EXPECT_EQ(HtmlBody(), "a<FONT COLOR=\"#ff0000\"><B>&#233;</B></FONT>");
    EXPECT_EQ(RtfBody(), "a\\b1 \\cf2 \\u233\\'3f\r\n");
}

TEST_F(RichExport, HtmlTagsStayNested) {
    // A change closes the tags inside the one that changes, and only those.
    memo.Settings().SetStyle(5, {.FontStyle = 2, .TextColor = kRed, .Defined = 1});
    memo.Settings().Map[5] = 5;
    Load("ab\rcd", "01032"); // plain, bold red, (break), bold italic red, italic blue
    EXPECT_EQ(HtmlBody(), "a<FONT COLOR=\"#ff0000\"><B>b\r\n<I>c</I></B></FONT>"
                          "<FONT COLOR=\"#0000ff\"><I>d</I></FONT>");
    Load("abcde", "13540"); // ..., italic red, white, plain
    EXPECT_EQ(HtmlBody(), "<FONT COLOR=\"#ff0000\"><B>a<I>b</I></B><I>c</I></FONT>"
                          "<FONT COLOR=\"#ffffff\">d</FONT>e");
}

TEST_F(RichExport, PartialRowsTabsAndLongLines) {
    // From the middle of a row to the middle of another, in all four writers.
    Load("abc\rdef\rghi");
    memo.SetSelection(1, 9);
    TMemoryStream crlf, lf, stored;
    memo.Perform(smmWRITESTREAM, wfCRLF, reinterpret_cast<intptr_t>(&crlf));
    memo.Perform(smmWRITESTREAM, wfLF, reinterpret_cast<intptr_t>(&lf));
    memo.Perform(smmWRITESTREAM, 0, reinterpret_cast<intptr_t>(&stored));
    EXPECT_EQ(crlf.Data(), "bc\r\ndef\r\ng");
    EXPECT_EQ(lf.Data(), "bc\ndef\ng");
    EXPECT_EQ(stored.Data(), "bc\rdef\rg");
    EXPECT_EQ(RtfBody(1, 9), "bc\\line \r\ndef\\line \r\ng\r\n");
    EXPECT_EQ(HtmlBody(1, 9), "bc\r\ndef\r\ng");
    EXPECT_EQ(HtmlBody(9, 1), "bc\r\ndef\r\ng"); // either order
    EXPECT_EQ(HtmlBody(4, 4), "");

    // TABs reach their stops, counted from the row's start also when it is cut.
    Load("ab\tc\r\td");
    EXPECT_EQ(HtmlBody(), "ab  c\r\n    d");
    EXPECT_EQ(HtmlBody(1, 4), "b  c");
    memo.SetTabColumnsText("7");
    EXPECT_EQ(HtmlBody(), "ab    c\r\n      d");

    // A line longer than a row is stored in several rows but written as the one line it
    // is; RTF ends every row with CR LF, which readers ignore.
    const std::string longLine(3000, 'x');
    Load(longLine + "\ry");
    ASSERT_GT(memo.Store().RowCount(), 2);
    EXPECT_EQ(HtmlBody(), longLine + "\r\ny");
    const std::string rtf = RtfBody();
    EXPECT_EQ(rtf, longLine.substr(0, 2047) + "\r\n" + longLine.substr(2047) + "\\line \r\ny\r\n");
}

TEST_F(RichExport, SystemColoursAreResolvedInBothFormats) {
    platform.systemColors = [](int index) {
        return index == scxWindow ? 0x563412 : index == scxWindowText ? 0x0A0B0C : 0x445566;
    };
    TSM_Settings& s = memo.Settings();
    s.Styles[0].UseDefaultBack = 1;       // the desktop's window colour
    s.Styles[0].TextColor = clWindowText; // a system colour stored as such
    s.SetStyle(1, {.TextColor = SystemColor(scxHighlight), .Defined = 1});
    Load("ab", "01");
    const std::string html = Html();
    EXPECT_NE(html.find("<BODY TEXT=\"#0c0b0a\" BGCOLOR=\"#123456\">"), std::string::npos);
    EXPECT_NE(html.find("a<FONT COLOR=\"#665544\">b</FONT>"), std::string::npos);
    EXPECT_NE(Rtf().find("{\\colortbl\\red12\\green11\\blue10;\\red18\\green52\\blue86;"
                         "\\red102\\green85\\blue68;"),
              std::string::npos);
}

// Writes token 1 on every "k", as a language would mark its keywords.
class TKeywordHighlighter : public THighlighter {
  public:
    void Rehighlight(TCustomSyntaxMemo& memo) override {
        ++passes;
        for (TLineNode* r = memo.Store().FirstRow(); r; r = r->Next()) {
            uint8_t* bytes = r->Styles() ? r->Styles() : r->AllocStyles();
            for (int i = 0; i < r->Length(); ++i)
                bytes[i] = r->Text()[i] == 'k' ? 1 : 0;
        }
        memo.ForgetRescan();
    }
    void Attach(TCustomSyntaxMemo&) override {}
    void Detach(TCustomSyntaxMemo&) override {}
    int passes = 0;
};

TEST_F(RichExport, RowsAreHighlightedBeforeTheyAreWritten) {
    TKeywordHighlighter h;
    memo.SetHighlighter(&h);
    memo.SetWholeText("ak");
    memo.SelectAll();
    memo.ExecuteCommand(caCOPY); // the control's own notification may run the pass
    EXPECT_NE(platform.html.find("a<FONT COLOR=\"#ff0000\"><B>k</B></FONT>"), std::string::npos);
    // Nothing due: no pass of its own.
    const int passes = h.passes;
    EXPECT_NE(Html().find("<B>k</B>"), std::string::npos);
    EXPECT_EQ(h.passes, passes);
    memo.SetHighlighter(nullptr);
}

// Takes nothing it is given.
class TFullDisk : public TMemoryStream {
  public:
    int64_t Write(const void*, int64_t) override { return 0; }
};

TEST_F(RichExport, AStreamThatFailsIsReportedAndSavingRichFormatsWritesTheWholeDocument) {
    Load(std::string(100000, 'z') + "\r<&>");
    TFullDisk disk;
    for (TRichFormat f : {TRichFormat::Rtf, TRichFormat::Html})
        EXPECT_THROW(WriteRich(memo, f, 0, memo.TextLength(), disk), EFileSaveError);

    memo.SetSelection(3, 5); // a save ignores the selection and keeps it
    memo.SaveFormat = sfHTML;
    TMemoryStream html;
    memo.SaveToStream(&html);
    EXPECT_EQ(html.Data(), Html());
    EXPECT_EQ(memo.Selection(), (TSelectionRange{3, 5}));
    memo.SaveFormat = sfRTF;
    TMemoryStream rtf;
    memo.SaveToStream(&rtf);
    EXPECT_EQ(rtf.Data(), Rtf());
}

} // namespace
} // namespace kvx
