// Printing to PDF files, read back with poppler's pdftotext as a person would read the paper:
// header, footer, line numbers and long rows where the options put them, pages that always
// come to an end, the frame handler, and failures that are reported instead of half-done.
#include "WidgetFixture.h"
#include "editor/StyleResolver.h"
#include "editor/view/MemoPrinter.h"

#include <QDate>
#include <QLocale>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace kvx {
namespace {

using test::TWidgetFixture;

constexpr uint32_t kPrintOptions = OptionBit(smoPrintWrap) | OptionBit(smoPrintLineNos) |
                                   OptionBit(smoPrintFilename) | OptionBit(smoPrintDate) |
                                   OptionBit(smoPrintPageNos);

class Printing : public TWidgetFixture {
  protected:
    void SetUp() override {
        TWidgetFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A6));
        printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    }

    void SetPrintOptions(uint32_t options) {
        Memo().SetOptionWord((Memo().OptionWord() & ~kPrintOptions) | options);
    }

    // Prints to a new PDF file and gives its pages as pdftotext lays them out.
    QStringList PrintPages(bool selection = false) {
        const QString pdf = dir.filePath(QStringLiteral("out%1.pdf").arg(++jobs));
        lastPdf = pdf;
        printer.setOutputFileName(pdf);
        if (selection)
            widget.PrintSelection(&printer);
        else
            widget.Print(&printer);
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        EXPECT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\f'));
        if (!pages.isEmpty() && pages.back().trimmed().isEmpty())
            pages.removeLast();
        return pages;
    }

    static QStringList Lines(const QString& page) {
        QStringList lines = page.split(QLatin1Char('\n'));
        lines.removeIf([](const QString& l) { return l.trimmed().isEmpty(); });
        return lines;
    }

    void SetLines(int count) {
        std::string text;
        for (int i = 1; i <= count; ++i)
            text += "row " + std::to_string(i) + " mov ax, bx\r";
        Memo().SetWholeText(text);
        Memo().ChangeNotification();
    }

    QTemporaryDir dir;
    QPrinter printer{QPrinter::HighResolution};
    int jobs = 0;
    QString lastPdf;
};

// A line number, then the text ten columns further right.
QRegularExpression Numbered(int line, const char* text) {
    return QRegularExpression(
        QStringLiteral(R"(^\s*%1:\s+%2)").arg(line).arg(QString::fromLatin1(text)));
}

const QRegularExpression kNumbered(QStringLiteral(R"(^\s*(\d+):\s*row (\d+) mov ax, bx\s*$)"));

TEST_F(Printing, ThreePagesWithHeaderFooterAndLineNumbers) {
    SetPrintOptions(kPrintOptions);
    Memo().Title = "demo.asm";
    // How many lines a page holds, from a document longer than a page.
    SetLines(200);
    int perPage = 0;
    for (const QString& line : Lines(PrintPages().front()))
        perPage += kNumbered.match(line).hasMatch();
    ASSERT_GT(perPage, 5);

    const int total = 2 * perPage + perPage / 2;
    SetLines(total);
    const QStringList pages = PrintPages();
    ASSERT_EQ(pages.size(), 3);
    const QString today = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    int expected = 1;
    for (int n = 0; n < 3; ++n) {
        const QStringList lines = Lines(pages[n]);
        ASSERT_GE(lines.size(), 3);
        // The title on the left and the date on the right of the first line, the page
        // number alone on the last, every row between them numbered in order.
        const QString head = lines.front().trimmed();
        EXPECT_TRUE(head.startsWith(QStringLiteral("demo.asm"))) << head.toStdString();
        EXPECT_TRUE(head.contains(today + QStringLiteral(" - "))) << head.toStdString();
        EXPECT_EQ(lines.back().trimmed(), QStringLiteral("- %1 -").arg(n + 1));
        for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
            const auto m = kNumbered.match(lines[i]);
            ASSERT_TRUE(m.hasMatch()) << lines[i].toStdString();
            EXPECT_EQ(m.captured(1).toInt(), expected);
            EXPECT_EQ(m.captured(2).toInt(), expected);
            ++expected;
        }
    }
    EXPECT_EQ(expected, total + 1);
    // The job is named after the title.
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {lastPdf});
    ASSERT_TRUE(info.waitForFinished(60000));
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput())
                    .contains(QRegularExpression(QStringLiteral(R"(Title:\s+demo\.asm\n)"))));

    // Only the footer: no header, no numbers, and the rows start at the page's top.
    SetPrintOptions(OptionBit(smoPrintPageNos));
    const QStringList plain = Lines(PrintPages().front());
    EXPECT_EQ(plain.front().trimmed(), QStringLiteral("row 1 mov ax, bx"));
    EXPECT_EQ(plain.back().trimmed(), QStringLiteral("- 1 -"));
    EXPECT_FALSE(plain.join(QLatin1Char('\n')).contains(QStringLiteral("demo.asm")));

    // The selection's lines, from the middle of line 5 to the start of line 9, keep their
    // numbers.
    SetPrintOptions(OptionBit(smoPrintLineNos));
    const std::string text = Memo().Text();
    size_t line5 = 0;
    for (int i = 1; i < 5; ++i)
        line5 = text.find('\r', line5) + 1;
    size_t line9 = line5;
    for (int i = 5; i < 9; ++i)
        line9 = text.find('\r', line9) + 1;
    Memo().SetSelection(TextOffset(line5 + 3), TextOffset(line9));
    const QStringList selected = Lines(PrintPages(true).join(QString()));
    ASSERT_EQ(selected.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(kNumbered.match(selected[i]).captured(1).toInt(), 5 + i);
}

TEST_F(Printing, LongRowsWrapOrAreCut) {
    SetPrintOptions(OptionBit(smoPrintLineNos) | OptionBit(smoPrintWrap));
    std::string row;
    for (int i = 1; i <= 120; ++i)
        row += "w" + std::to_string(1000 + i) + " ";
    Memo().SetWholeText("first\r" + row + "\rlast\r");
    Memo().ChangeNotification();

    // Wrapped: every word once and in order, over several printed rows of which only the
    // first carries the number, no word split.
    QStringList lines = Lines(PrintPages().join(QString()));
    ASSERT_GE(lines.size(), 5);
    EXPECT_TRUE(lines[0].contains(Numbered(1, "first")));
    EXPECT_TRUE(lines[1].contains(Numbered(2, "w1001 ")));
    EXPECT_TRUE(lines.back().contains(Numbered(3, "last")));
    QStringList words;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        if (i > 1) {
            EXPECT_FALSE(lines[i].contains(QLatin1Char(':'))) << lines[i].toStdString();
        }
        QString body = lines[i];
        body.remove(QRegularExpression(QStringLiteral(R"(^\s*\d+:)")));
        words += body.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    ASSERT_EQ(words.size(), 120);
    for (int i = 0; i < 120; ++i)
        EXPECT_EQ(words[i], QStringLiteral("w%1").arg(1001 + i));

    // Cut: one printed row, the start of the row there and its end gone.
    SetPrintOptions(OptionBit(smoPrintLineNos));
    lines = Lines(PrintPages().join(QString()));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].contains(Numbered(2, "w1001 w1002")));
    EXPECT_FALSE(lines[1].contains(QStringLiteral("w1120")));
    EXPECT_TRUE(lines[2].contains(Numbered(3, "last")));
}

TEST_F(Printing, NarrowPagesAndHugeFontsComeToAnEnd) {
    SetPrintOptions(kPrintOptions);
    widget.SetEditorFont(QStringLiteral("DejaVu Sans Mono"), 72);
    Memo().SetWholeText("ab cd\rx\r");
    Memo().ChangeNotification();
    printer.setPageSize(QPageSize(QSizeF(30, 30), QPageSize::Millimeter));
    printer.setPageMargins(QMarginsF(2, 2, 2, 2), QPageLayout::Millimeter);
    // The line numbers alone are wider than the page, and header and footer higher: every
    // page still takes one row, so there are as many pages as one-character rows.
    const QStringList pages = PrintPages();
    EXPECT_GE(pages.size(), 5);
    EXPECT_LE(pages.size(), 8);

    // A frame handler that leaves no room at all.
    int calls = 0;
    widget.OnPrintHeaderFooter = [&](TSyntaxMemo&, QPainter&, QRect& r, bool&) {
        ++calls;
        r = QRect();
    };
    EXPECT_FALSE(PrintPages().isEmpty());
    EXPECT_GE(calls, 2);
}

TEST_F(Printing, RowsArePrintedInTheirStyles) {
    widget.SetLanguage(1); // options are the language's
    SetPrintOptions(0);
    Memo().SetWholeText("mov ax, 1 ; a comment\r");
    Memo().ChangeNotification();
    Memo().HighlightTo(Memo().TextLength());
    const TLineNode* row = Memo().Store().FirstRow();
    ASSERT_NE(row->Styles(), nullptr);
    TStyleContext printing;
    printing.Printing = true;
    const TResolvedStyle comment =
        ResolveTokenStyle(Memo().Settings(), row->Styles()[14], printing, Memo().Platform());
    const TResolvedStyle keyword =
        ResolveTokenStyle(Memo().Settings(), row->Styles()[0], printing, Memo().Platform());
    ASSERT_NE(comment.TextColor, 0);
    ASSERT_TRUE(keyword.FontStyle & 1);

    // The page as paper shows it (every pixel of a glyph in its colour): the comment's colour is
    // there, and gone when the highlighting is off (black on white then).
    const auto pixelsOf = [&](QColor color) {
        const QString pdf = dir.filePath(QStringLiteral("styles%1.pdf").arg(++jobs));
        printer.setOutputFileName(pdf);
        widget.Print(&printer);
        QProcess p;
        p.start(QStringLiteral("pdftoppm"),
                {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-aa"),
                 QStringLiteral("no"), QStringLiteral("-aaVector"), QStringLiteral("no"),
                 QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, pdf});
        EXPECT_TRUE(p.waitForFinished(60000));
        const QImage image(pdf + QStringLiteral(".png"));
        EXPECT_FALSE(image.isNull());
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += QColor(image.pixel(x, y)) == color;
        return count;
    };
    const QColor blue = test::ToQColor(comment.TextColor);
    EXPECT_GT(pixelsOf(blue), 20);
    Memo().SetOptionWord(Memo().OptionWord() & ~OptionBit(smoSyntaxHighlight));
    EXPECT_EQ(pixelsOf(blue), 0);
}

TEST_F(Printing, TheFrameHandlerDrawsItsOwnHeader) {
    SetPrintOptions(kPrintOptions);
    Memo().Title = "not.shown";
    SetLines(3);
    std::vector<int> tops;
    widget.OnPrintHeaderFooter = [&](TSyntaxMemo& w, QPainter& canvas, QRect& r,
                                     bool& transparent) {
        EXPECT_EQ(&w, &widget);
        tops.push_back(r.top());
        canvas.drawText(r.topLeft() + QPoint(0, canvas.fontMetrics().ascent()),
                        QStringLiteral("OWN HEADER"));
        r.setTop(r.top() + 3 * canvas.fontMetrics().height());
        transparent = true;
    };
    const QStringList lines = Lines(PrintPages().join(QString()));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0].trimmed(), QStringLiteral("OWN HEADER"));
    EXPECT_TRUE(kNumbered.match(lines[1]).hasMatch()) << lines[1].toStdString();
    EXPECT_EQ(tops, std::vector<int>{0});
    EXPECT_FALSE(lines.join(QString()).contains(QStringLiteral("not.shown")));
}

TEST_F(Printing, FailuresAreReportedAndNothingIsLeftOpen) {
    SetLines(3);
    printer.setOutputFileName(dir.filePath(QStringLiteral("missing/folder/out.pdf")));
    EXPECT_THROW(widget.Print(&printer), ESyntaxMemo);
    // A PDF printer without a file is no printer at all.
    printer.setOutputFileName(QString());
    EXPECT_THROW(widget.Print(&printer), ESyntaxMemo);
    // A handler that edits the document stops the job; the editor goes on working.
    printer.setOutputFileName(dir.filePath(QStringLiteral("edited.pdf")));
    widget.OnPrintHeaderFooter = [&](TSyntaxMemo&, QPainter&, QRect&, bool&) {
        Memo().SetWholeText("x\r");
    };
    EXPECT_THROW(widget.Print(&printer), ESyntaxMemo);
    widget.OnPrintHeaderFooter = nullptr;
    widget.Print(&printer);
    EXPECT_GT(QFileInfo(printer.outputFileName()).size(), 0);

    // Printer setup goes through its dialog, and Print through the key binding reaches
    // the shared printer; a failure there is a message, not a crash.
    QPrinter* seen = nullptr;
    PrinterDialog() = [&](QPrinter& p, QWidget*) {
        seen = &p;
        return true;
    };
    EXPECT_TRUE(PrinterSetup(&widget));
    EXPECT_EQ(seen, &SharedPrinter());
    SharedPrinter().setOutputFormat(QPrinter::PdfFormat);
    SharedPrinter().setOutputFileName(dir.filePath(QStringLiteral("shared.pdf")));
    Memo().ExecuteCommand(caPRINTSEL);
    EXPECT_GT(QFileInfo(SharedPrinter().outputFileName()).size(), 0);
    PrinterDialog() = nullptr;
    EXPECT_FALSE(PrinterSetup(&widget));
}

} // namespace
} // namespace kvx
