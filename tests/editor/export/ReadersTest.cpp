// What the RTF and HTML writers produce, as real readers see it: a highlighted assembler
// source written as HTML and read back by Qt's HTML reader, and written as RTF, turned
// into HTML by unrtf and read back the same way. The text must come back as the document
// holds it, and a keyword's and a comment's colour and weight as their styles say.
#include "editor/RichExport.h"
#include "editor/Settings.h"
#include "editor/StyleResolver.h"
#include "editor/SyntaxEd.h"
#include "highlight/SynParse.h"
#include "highlight/languages/Languages.h"
#include "support/FakePlatform.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include <gtest/gtest.h>

#include <string>

namespace kvx {
namespace {

class TGuiEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "export_reader_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QGuiApplication(argc, argv);
    }
    void TearDown() override { delete app_; }

  private:
    QGuiApplication* app_ = nullptr;
};
[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new TGuiEnvironment);

// A source with everything the writers must escape, characters beyond ASCII, TABs, and an
// empty line.
const std::string kSource = "; note: <tag> & {braces} \\back 'q' \"dq\" \xC3\xA9\xE2\x82\xAC"
                            "\xF0\x9F\x98\x80\r\n"
                            "start:\tmov\ta, #12h\t; load <it>\r\n"
                            "\r\n"
                            "\tnop\r\n";

struct TRun {
    QString Text;
    QTextCharFormat Format;
};

class Readers : public ::testing::Test {
  protected:
    void Open(std::string_view text) {
        LoadLanguage(parser, 1);
        memo.SetWholeText(text);
        memo.UseSettings(&parser.Settings());
        memo.SetHighlighter(&parser);
        parser.HighlightAll(memo);
    }
    std::string Write(TRichFormat format) { return RichText(memo, format, 0, memo.TextLength()); }
    // The document's text as a reader shows it: LF breaks, TABs out to their stops.
    std::string Shown() {
        std::string out;
        int column = 0;
        for (char c : memo.Text()) {
            if (c == '\t') {
                for (const int stop = memo.NextTabStop(column); column < stop; ++column)
                    out += ' ';
            } else {
                out += c == '\r' ? '\n' : c;
                column = c == '\r' ? 0
                                   : ((static_cast<unsigned char>(c) & 0xC0) == 0x80 ? column
                                                                                     : column + 1);
            }
        }
        return out;
    }
    // The style the character at the first `word` of the document is drawn in.
    TResolvedStyle StyleOf(std::string_view word) {
        const std::string text = memo.Text();
        const size_t at = text.find(word);
        EXPECT_NE(at, std::string::npos) << word;
        const TCustomSyntaxMemo::TCaretRow row = memo.Locate(static_cast<TextOffset>(at));
        const uint8_t token = row.Row->Styles()[row.InRow];
        return ResolveTokenStyle(memo.Settings(), token, {}, memo.Platform());
    }
    static QColor Color(int32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
    // The formatted run a reader made of the text that holds `word`.
    static TRun RunWith(QTextDocument& doc, const QString& word) {
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it)
                if (it.fragment().text().contains(word))
                    return {it.fragment().text(), it.fragment().charFormat()};
        ADD_FAILURE() << "no run holds " << word.toStdString();
        return {};
    }
    // The keyword is bold, the comment italic and coloured, each as its style says.
    void ExpectStyles(QTextDocument& doc) {
        const TResolvedStyle keyword = StyleOf("mov");
        const TResolvedStyle comment = StyleOf("; load");
        ASSERT_TRUE(keyword.FontStyle & 1);
        ASSERT_TRUE(comment.FontStyle & 2);
        ASSERT_NE(comment.TextColor, 0);
        const TRun mov = RunWith(doc, "mov");
        EXPECT_EQ(mov.Text, "mov");
        EXPECT_EQ(mov.Format.fontWeight() >= QFont::Bold, true);
        EXPECT_FALSE(mov.Format.fontItalic());
        EXPECT_EQ(mov.Format.foreground().color(), Color(keyword.TextColor));
        const TRun load = RunWith(doc, "; load");
        EXPECT_TRUE(load.Format.fontItalic());
        EXPECT_LT(load.Format.fontWeight(), QFont::Bold);
        EXPECT_EQ(load.Format.foreground().color(), Color(comment.TextColor));
    }

    TSyntaxMemoParser parser; // outlives the control that uses it
    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};
};

// QTextDocument keeps text after </HTML> as a paragraph, which browsers do not: the final
// line break of the file is left out before reading.
void ReadHtml(QTextDocument& doc, const std::string& html) {
    ASSERT_EQ(html.substr(html.size() - 2), "\r\n");
    doc.setHtml(QString::fromUtf8(html.data(), static_cast<qsizetype>(html.size() - 2)));
}

TEST_F(Readers, HtmlReadsBackAsTheDocumentWithItsStyles) {
    Open(kSource);
    memo.Title = "a<b>&c\".asm";
    parser.Settings().FontName = "Mono \"Pro\" & <Co>";
    const std::string html = Write(TRichFormat::Html);
    QTextDocument doc;
    ReadHtml(doc, html);
    EXPECT_EQ(doc.toPlainText().toStdString(), Shown());
    EXPECT_EQ(doc.metaInformation(QTextDocument::DocumentTitle), "a<b>&c\".asm");
    ExpectStyles(doc);
    EXPECT_EQ(RunWith(doc, "start").Format.fontFamilies().toStringList(),
              QStringList{"Mono \"Pro\" & <Co>"});

    // A Windows-1252 document: its characters, not its bytes.
    Open("caf\xE9 \x80 ; \x93q\x94\r\n");
    ASSERT_FALSE(memo.Store().Utf8());
    ReadHtml(doc, Write(TRichFormat::Html));
    EXPECT_EQ(doc.toPlainText().toStdString(),
              "caf\xC3\xA9 \xE2\x82\xAC ; \xE2\x80\x9Cq\xE2\x80\x9D\n");
}

// unrtf's reading of an RTF file, as HTML.
QString Unrtf(const std::string& rtf) {
    QTemporaryDir dir;
    const QString path = dir.filePath("export.rtf");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(rtf.data(), static_cast<qint64>(rtf.size())) != qint64(rtf.size()))
        return {};
    file.close();
    QProcess unrtf;
    unrtf.start(KVX_UNRTF, {"--html", path});
    if (!unrtf.waitForFinished(30000) || unrtf.exitCode() != 0)
        return {};
    return QString::fromUtf8(unrtf.readAllStandardOutput());
}

// unrtf turns a TAB into spaces of its own and runs of spaces into one, and an HTML reader
// drops blanks at the start of a line: only the blanks between words can be compared, as
// one space each.
std::string Words(QString text) {
    text.replace(QChar::Nbsp, ' ');
    QStringList lines = text.split('\n');
    for (QString& line : lines)
        line = line.simplified();
    while (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines.join('\n').toStdString();
}

TEST_F(Readers, RtfReadsBackAsTheDocumentWithItsColourTable) {
    if (!QFileInfo(KVX_UNRTF).isExecutable())
        GTEST_SKIP() << "unrtf is not installed (scripts/setup.sh installs it)";
    Open(kSource);
    const std::string rtf = Write(TRichFormat::Rtf);
    const QString html = Unrtf(rtf);
    ASSERT_FALSE(html.isEmpty()) << "unrtf could not read:\n" << rtf;
    QTextDocument doc;
    doc.setHtml(html);
    EXPECT_EQ(Words(doc.toPlainText()), Words(QString::fromStdString(Shown())));
    ExpectStyles(doc);

    // The table starts with the page's colours, and has every colour a token is drawn in.
    const TSM_Settings& s = memo.Settings();
    const QRegularExpression entry(R"(\\red(\d+)\\green(\d+)\\blue(\d+);)");
    const size_t from = rtf.find("{\\colortbl"), to = rtf.find('}', from);
    QList<QColor> table;
    for (const auto& m : entry.globalMatch(QString::fromStdString(rtf.substr(from, to - from))))
        table.push_back(
            QColor(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()));
    ASSERT_GE(table.size(), 2);
    EXPECT_EQ(table[0], Color(ResolveStyle(s, 0, {}, memo.Platform()).TextColor));
    EXPECT_EQ(table[1], Color(ResolveStyle(s, 0, {}, memo.Platform()).BackColor));
    for (int token = 0; token < 256; ++token) {
        const TResolvedStyle st =
            ResolveTokenStyle(s, static_cast<uint8_t>(token), {}, memo.Platform());
        EXPECT_TRUE(table.contains(Color(st.TextColor))) << "token " << token;
        EXPECT_TRUE(table.contains(Color(st.BackColor))) << "token " << token;
    }

    // A Windows-1252 document: its characters, not its bytes.
    Open("caf\xE9 \x80 ; \x93q\x94\r\n");
    doc.setHtml(Unrtf(Write(TRichFormat::Rtf)));
    EXPECT_EQ(Words(doc.toPlainText()), "caf\xC3\xA9 \xE2\x82\xAC ; \xE2\x80\x9Cq\xE2\x80\x9D");
}

} // namespace
} // namespace kvx
