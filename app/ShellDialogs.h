// Everything the main window asks of the user or of the desktop goes through this one
// set of calls: the open and save dialogs, the questions, the error box, the one-line
// input box, running a modal dialog, and opening a URL. The program uses the native ones;
// the tests set answers here instead of clicking in dialogs that block.
#pragma once

#include "app/core/ShellStrings.h"

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>
#include <span>

class QDialog;
class QWidget;

namespace kvx {

struct TShellDialogs {
    // A file to open or to save to; empty when the user cancelled. `folder` is where the
    // dialog starts, `filters` the entries of the type list.
    std::function<QString(QWidget*parent, const QString&title, const QString&folder,
                          const QStringList&filters)>
        OpenFileName, SaveFileName;
    // "Save changes to %s?": Yes, No or Cancel.
    std::function<QMessageBox::StandardButton(QWidget* parent, const QString& text)> AskSave;
    // A yes/no question; true for yes.
    std::function<bool(QWidget* parent, const QString& text)> AskYesNo;
    // Why something failed.
    std::function<void(QWidget* parent, const QString& text)> ShowError;
    // The one-line input box; nullopt when cancelled.
    std::function<std::optional<QString>(QWidget* parent, const QString& title)> InputLine;
    // Runs a modal dialog and returns its result (QDialog::Accepted or Rejected).
    std::function<int(QDialog& dialog)> Exec;
    // The help page, the about box's links and tool documents.
    std::function<bool(const QUrl& url)> OpenUrl;

    // The desktop's own dialogs and message boxes.
    static TShellDialogs Native();
};

// The entries of a dialog's type list in Qt's form: the description as the user sees it,
// then the patterns in brackets (which the native dialogs are told not to repeat).
QStringList FileDialogFilters(std::span<const TFileFilter> filters);

} // namespace kvx
