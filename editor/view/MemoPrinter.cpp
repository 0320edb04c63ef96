#include "MemoPrinter.h"

#include "MemoFonts.h"
#include "MemoPainter.h"
#include "QtPlatform.h"
#include "SyntaxMemo.h"
#include "editor/HeadlessPlatform.h"
#include "editor/PrintLayout.h"
#include "editor/Settings.h"
#include "editor/StyleResolver.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>

namespace kvx {

namespace {

// What the print layout measures with: the printer's fonts. Colours and dates are the
// desktop's, asked of the widget's own platform; the rest a printer does not have.
class TPrinterPlatform : public THeadlessPlatform {
  public:
    TPrinterPlatform(TMemoFonts& fonts, TEditorPlatform& desktop, Pixel pageWidth)
        : fonts_(fonts), desktop_(desktop), pageWidth_(pageWidth) {}

    Pixel CharWidth() override { return fonts_.CharWidth(); }
    Pixel RowHeight() override { return fonts_.RowHeight(); }
    bool FixedPitch() override { return fonts_.FixedPitch(); }
    Pixel ClientWidth() override { return pageWidth_; }
    void MeasureWidths(std::string_view utf8, uint8_t fontStyle,
                       std::span<Pixel> rightEdges) override {
        fonts_.MeasureWidths(utf8, fontStyle, rightEdges);
    }
    int32_t SystemColorValue(int index) override { return desktop_.SystemColorValue(index); }
    std::string ShortDate() override { return desktop_.ShortDate(); }
    std::string LongTime() override { return desktop_.LongTime(); }

  private:
    TMemoFonts& fonts_;
    TEditorPlatform& desktop_;
    Pixel pageWidth_;
};

QRect ToQRect(const TPrintRect& r) {
    return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

TPrintRect FromQRect(const QRect& r) {
    return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

// Draws the pages the layout gives on an open painter.
class TPageDrawer {
  public:
    TPageDrawer(QPainter& p, TCustomSyntaxMemo& memo, TMemoFonts& fonts, TEditorPlatform& platform,
                const TPrintRect& page)
        : p_(p), memo_(memo), fonts_(fonts), platform_(platform), painter_(fonts), page_(page) {
        context_.Printing = true;
        context_.SyntaxHighlight = memo.HasOption(smoSyntaxHighlight);
        // Header, footer and line numbers are in style 0's font, black on white.
        plainFont_ = fonts.Font(ResolveStyle(memo.Settings(), 0, context_, platform).FontStyle);
        // A hairline on paper: a point wide, whatever the printer's resolution.
        rule_ = QPen(Qt::black, std::max(1, p.device()->logicalDpiY() / 72));
    }

    void Draw(const TPrintPage& page) {
        p_.setFont(plainFont_);
        p_.setPen(Qt::black);
        p_.setBackground(Qt::white);
        p_.setBackgroundMode(Qt::OpaqueMode);
        for (const TPrintText& t : page.Texts) {
            const Qt::Alignment align = t.Align == TPrintAlign::Left    ? Qt::AlignLeft
                                        : t.Align == TPrintAlign::Right ? Qt::AlignRight
                                                                        : Qt::AlignHCenter;
            p_.drawText(ToQRect(t.Box), int(align | Qt::AlignTop | Qt::TextSingleLine),
                        QString::fromStdString(t.Utf8));
        }
        p_.setPen(rule_);
        for (const Pixel y : page.Rules)
            p_.drawLine(page_.Left, y, page_.Right, y);
        for (const TPrintRow& row : page.Rows)
            DrawRow(page, row);
    }

  private:
    void DrawRow(const TPrintPage& page, const TPrintRow& row) {
        const Pixel height = fonts_.RowHeight();
        const Qt::BGMode mode = page.TransparentText ? Qt::TransparentMode : Qt::OpaqueMode;
        if (!row.LineNumber.empty()) {
            p_.save();
            p_.setClipRect(QRect(page.Body.Left, row.Y, row.X - page.Body.Left, height));
            p_.setFont(plainFont_);
            p_.setPen(Qt::black);
            p_.setBackgroundMode(mode);
            p_.drawText(QPointF(page.Body.Left, row.Y + fonts_.Ascent()),
                        QString::fromStdString(row.LineNumber));
            p_.restore();
        }
        plan_.Top = row.Y;
        plan_.Text = row.Layout.DisplayText();
        plan_.Runs.clear();
        for (const TLayoutRun& run : row.Layout.Runs()) {
            // What lies beyond the right edge is cut off; it is not even sent to the printer.
            if (row.X + run.X >= page.Body.Right)
                break;
            const TResolvedStyle s =
                ResolveTokenStyle(memo_.Settings(), run.Token, context_, platform_);
            plan_.Runs.push_back({row.X + run.X, run.Width, run.Text, run.TextBytes, s.FontStyle,
                                  s.TextColor, s.BackColor});
        }
        p_.save();
        p_.setClipRect(QRect(row.X, row.Y, page.Body.Right - row.X, height));
        for (const TPaintRun& run : plan_.Runs)
            painter_.PaintRun(p_, plan_, run, !page.TransparentText);
        p_.restore();
    }

    QPainter& p_;
    TCustomSyntaxMemo& memo_;
    TMemoFonts& fonts_;
    TEditorPlatform& platform_;
    TMemoPainter painter_;
    TPrintRect page_;
    TStyleContext context_;
    QFont plainFont_;
    QPen rule_;
    TRowPlan plan_;
};

} // namespace

QPrinter& SharedPrinter() {
    // Let go of while the application still exists: a native printer's engine talks to the
    // print system through the application's plugins.
    static QPrinter* printer = nullptr;
    if (!printer) {
        printer = new QPrinter(QPrinter::HighResolution);
        qAddPostRoutine([] {
            delete printer;
            printer = nullptr;
        });
    }
    return *printer;
}

TPrinterDialog& PrinterDialog() {
    static TPrinterDialog dialog = [](QPrinter& printer, QWidget* parent) {
        QPrintDialog d(&printer, parent);
        d.setWindowTitle(QStringLiteral("Printer Setup"));
        // Print prints the whole document (or, from the keys, the selection's lines): a page
        // range chosen here would be ignored, so it is not offered.
        d.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize |
                     QAbstractPrintDialog::PrintCollateCopies);
        return d.exec() == QDialog::Accepted;
    };
    return dialog;
}

bool PrinterSetup(QPrinter& printer, QWidget* parent) {
    return PrinterDialog() && PrinterDialog()(printer, parent);
}

void TMemoPrinter::Run(bool selectionOnly) {
    TCustomSyntaxMemo& memo = widget_.Memo();
    // Every printed row carries its colours.
    memo.HighlightTo(memo.TextLength());

    if (printer_.outputFormat() == QPrinter::PdfFormat && printer_.outputFileName().isEmpty())
        throw ESyntaxMemo(0, "No printer is set up: choose a printer or a PDF file in Printer "
                             "Setup first");
    printer_.setDocName(memo.Title.empty() ? QStringLiteral("Untitled")
                                           : QString::fromStdString(memo.Title));
    // The fonts of the screen are left alone: the printer gets its own, in its pixels.
    TMemoFonts fonts(printer_.resolution());
    fonts.SetFont(memo.FontName(), memo.FontSize());
    const QRect paper = printer_.pageLayout().paintRectPixels(printer_.resolution());
    TPrintLayout::TSetup setup;
    setup.Page = {0, 0, paper.width(), paper.height()};
    setup.SelectionOnly = selectionOnly;

    QPainter p;
    if (!p.begin(&printer_))
        throw ESyntaxMemo(0, "The printer could not be opened: " +
                                 (printer_.outputFileName().isEmpty()
                                      ? printer_.printerName().toStdString()
                                      : printer_.outputFileName().toStdString()));
    try {
        TPrinterPlatform platform(fonts, widget_.Platform(), setup.Page.Right);
        if (widget_.OnPrintHeaderFooter)
            setup.OnFrame = [&](int, TPrintRect& body, bool& transparent) {
                QRect r = ToQRect(body);
                p.save();
                widget_.OnPrintHeaderFooter(widget_, p, r, transparent);
                p.restore();
                body = FromQRect(r);
            };
        TPrintLayout layout(memo, platform, setup);
        TPageDrawer drawer(p, memo, fonts, platform, setup.Page);
        for (bool first = true; !layout.Done(); first = false) {
            // The frame handler draws on the page the layout is about to fill.
            if (!first && !printer_.newPage())
                throw ESyntaxMemo(0, "The printer did not take another page");
            drawer.Draw(layout.NextPage());
        }
    } catch (...) {
        printer_.abort();
        p.end();
        throw;
    }
    if (!p.end())
        throw ESyntaxMemo(0, "The printer did not finish the job");
}

void TSyntaxMemo::Print(QPrinter* printer) {
    TMemoPrinter(*this, printer ? *printer : SharedPrinter()).Run(false);
}

void TSyntaxMemo::PrintSelection(QPrinter* printer) {
    TMemoPrinter(*this, printer ? *printer : SharedPrinter()).Run(true);
}

void TSyntaxMemo::PrintSelection(TCustomSyntaxMemo&) {
    PrintSelection(nullptr);
}

} // namespace kvx
