// Printing on Qt: the printer the program's editors share, its setup dialog, and the job
// that draws an editor's pages (TPrintLayout) on a QPrinter with the screen's run drawing,
// measured in the printer's own fonts. A printer set to PDF output writes the file without
// needing a display or a print system.
#pragma once

#include <functional>

class QPrinter;
class QWidget;

namespace kvx {

class TSyntaxMemo;

// The printer every editor prints on, made on first use at the printer's full resolution.
// Printer setup changes it for all editors, as one printer serves the whole desktop.
QPrinter& SharedPrinter();

// The printer setup dialog: the user picks the printer (or a PDF file), the paper and the
// copies for `printer`; true when the choice was taken. The dialog that runs is a seam the
// tests replace; by default it is the desktop's print dialog.
using TPrinterDialog = std::function<bool(QPrinter& printer, QWidget* parent)>;
TPrinterDialog& PrinterDialog();
bool PrinterSetup(QPrinter& printer, QWidget* parent);
inline bool PrinterSetup(QWidget* parent) {
    return PrinterSetup(SharedPrinter(), parent);
}

// One print job of one editor. The document must not change while it prints; a frame
// handler that edits it stops the job with an error.
class TMemoPrinter {
  public:
    TMemoPrinter(TSyntaxMemo& widget, QPrinter& printer) : widget_(widget), printer_(printer) {}

    // The whole document, or the lines the selection touches. Raises ESyntaxMemo when the
    // printer cannot be opened or fails on the way; the job is then aborted.
    void Run(bool selectionOnly);

  private:
    TSyntaxMemo& widget_;
    QPrinter& printer_;
};

} // namespace kvx
