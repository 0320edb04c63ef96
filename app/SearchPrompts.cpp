#include "SearchPrompts.h"

#include "app/core/ShellStrings.h"

#include <QFileDialog>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPushButton>

namespace kvx {

TSearchPrompts TSearchPrompts::Boxes() {
    TSearchPrompts p;
    p.Inform = [](QWidget* owner, const QString& text) {
        QMessageBox::information(owner, QString::fromUtf8(kApplicationTitle), text);
    };
    p.Error = [](QWidget* owner, const QString& text) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok,
                        owner);
        // The caret line points at a character of the pattern above it, which only lines
        // up in a fixed-pitch font.
        box.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        box.setTextFormat(Qt::PlainText);
        box.exec();
    };
    p.Ask = [](QWidget* owner, const QString& question, bool offerAll) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), question,
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, owner);
        box.setTextFormat(Qt::PlainText);
        QPushButton* all = nullptr;
        if (offerAll)
            all = box.addButton(QStringLiteral("&All"), QMessageBox::YesRole);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        const int result = box.exec();
        if (all && box.clickedButton() == all)
            return TReplaceAnswer::All;
        switch (result) {
        case QMessageBox::Yes:
            return TReplaceAnswer::Yes;
        case QMessageBox::No:
            return TReplaceAnswer::No;
        default:
            return TReplaceAnswer::Cancel;
        }
    };
    p.BrowseFolder = [](QWidget* owner, const QString& current) {
        return QFileDialog::getExistingDirectory(owner, QStringLiteral("Folder to search"),
                                                 current);
    };
    return p;
}

void TSearchPrompts::Show(QWidget* owner, const TSearchReport& report) const {
    if (!report.ErrorBox.empty() && Error) {
        // The box's lines come with CR LF, which a label would show as an extra break.
        QString text = QString::fromStdString(report.ErrorBox);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        Error(owner, text);
    }
    if (!report.Message.empty() && Inform)
        Inform(owner, QString::fromStdString(report.Message));
}

} // namespace kvx
