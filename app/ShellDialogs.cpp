#include "ShellDialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>

namespace kvx {

namespace {

QString RunFileDialog(QWidget* parent, QFileDialog::AcceptMode mode, const QString& title,
                      const QString& folder, const QStringList& filters) {
    QFileDialog dialog(parent, title, folder);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    // The descriptions already list their patterns; the dialog must not add them again.
    // There is no overwrite prompt and no default extension, as the editor always had.
    dialog.setOptions(QFileDialog::HideNameFilterDetails | QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

TShellDialogs TShellDialogs::Native() {
    TShellDialogs d;
    d.OpenFileName = [](QWidget* parent, const QString& title, const QString& folder,
                        const QStringList& filters) {
        return RunFileDialog(parent, QFileDialog::AcceptOpen, title, folder, filters);
    };
    d.SaveFileName = [](QWidget* parent, const QString& title, const QString& folder,
                        const QStringList& filters) {
        return RunFileDialog(parent, QFileDialog::AcceptSave, title, folder, filters);
    };
    d.AskSave = [](QWidget* parent, const QString& text) {
        return QMessageBox::question(parent, QString::fromUtf8(kProductName), text,
                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                     QMessageBox::Yes);
    };
    d.AskYesNo = [](QWidget* parent, const QString& text) {
        return QMessageBox::question(parent, QString::fromUtf8(kProductName), text,
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
    d.ShowError = [](QWidget* parent, const QString& text) {
        QMessageBox::warning(parent, QString::fromUtf8(kProductName), text);
    };
    d.InputLine = [](QWidget* parent, const QString& title) -> std::optional<QString> {
        bool ok = false;
        const QString text =
            QInputDialog::getText(parent, title, QString(), QLineEdit::Normal, QString(), &ok);
        if (!ok)
            return std::nullopt;
        return text;
    };
    d.Exec = [](QDialog& dialog) { return dialog.exec(); };
    d.OpenUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return d;
}

QStringList FileDialogFilters(std::span<const TFileFilter> filters) {
    QStringList list;
    for (const TFileFilter& f : filters) {
        QStringList patterns;
        for (const QString& p : QString::fromUtf8(f.Patterns).split(QLatin1Char(';')))
            if (!p.trimmed().isEmpty())
                patterns << p.trimmed();
        list << QString::fromUtf8(f.Description) + QStringLiteral(" (") +
                    patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return list;
}

} // namespace kvx
