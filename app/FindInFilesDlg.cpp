#include "FindInFilesDlg.h"

#include "EdFindDlg.h"
#include "SearchOptionsBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kvx {

TFindInFilesDlg::TFindInFilesDlg(TEdPersistent& store, const TSearchPrompts& prompts,
                                 QWidget* parent)
    : QDialog(parent), store_(store), prompts_(prompts) {
    setObjectName(QStringLiteral("FindInFilesDlg"));
    setWindowTitle(QStringLiteral("Find in Files"));
    setModal(true);

    text_ = NewHistoryBox(QStringLiteral("TextBox"));
    options_ = new TSearchOptionsBox(QStringLiteral("&Whole words only"));
    // A file is always searched from its top.
    options_->DirectionGroup()->hide();

    folder_ = new QLineEdit;
    folder_->setObjectName(QStringLiteral("FolderEdit"));
    folder_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
    connect(folder_, &QLineEdit::textEdited, this, [this] { folderChosen_ = true; });
    browse_ = new QPushButton(QStringLiteral("B&rowse..."));
    browse_->setObjectName(QStringLiteral("BrowseButton"));
    browse_->setAutoDefault(false);
    connect(browse_, &QPushButton::clicked, this, [this] {
        if (!prompts_.BrowseFolder)
            return;
        const QString chosen = prompts_.BrowseFolder(this, folder_->text());
        if (!chosen.isEmpty()) {
            folder_->setText(QDir::toNativeSeparators(chosen));
            folderChosen_ = true;
        }
    });
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(browse_);

    patterns_ = new QLineEdit(QString::fromStdString(DefaultFilePatterns()));
    patterns_->setObjectName(QStringLiteral("PatternsEdit"));
    patterns_->setMinimumWidth(
        fontMetrics().horizontalAdvance(patterns_->text() + QStringLiteral("xxxx")));
    patterns_->setToolTip(QStringLiteral("Names to search, separated by \";\"; *.* for all"));

    sizeLimit_ = new QSpinBox;
    sizeLimit_->setObjectName(QStringLiteral("SizeLimitBox"));
    sizeLimit_->setRange(1, 2047);
    sizeLimit_->setValue(static_cast<int>(TFindInFilesRequest{}.MaxFileSize >> 20));
    sizeLimit_->setSuffix(QStringLiteral(" MB"));
    hidden_ = new QCheckBox(QStringLiteral("Search &hidden files and folders"));
    hidden_->setObjectName(QStringLiteral("HiddenBox"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Text to find"), text_);
    // A row holding a layout gets no buddy of its own.
    auto* folderLabel = new QLabel(QStringLiteral("&Folder"));
    folderLabel->setBuddy(folder_);
    form->addRow(folderLabel, folderRow);
    form->addRow(QStringLiteral("File &patterns"), patterns_);
    form->addRow(QStringLiteral("&Skip files over"), sizeLimit_);
    form->addRow(QString(), hidden_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName(QStringLiteral("OKButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(options_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFindInFilesDlg::Open(const QString& text, const QString& folder) {
    history_.Load(store_.FindHistory());
    const std::string typed = text.toStdString();
    const int at = typed.empty() ? -1 : history_.Show(typed);
    FillHistoryBox(text_, history_, at, text.isEmpty() ? text_->currentText() : text);
    if (!folderChosen_ || folder_->text().isEmpty())
        folder_->setText(QDir::toNativeSeparators(folder));
    CentreOnScreen(this);
    show();
    raise();
    activateWindow();
    text_->setFocus();
}

TFindInFilesRequest TFindInFilesDlg::Request() const {
    TFindInFilesRequest r;
    r.Text = BoxText(text_);
    r.Options = OptionsOf(options_->Controls()) & ~soBackward;
    r.Folder = QFileInfo(folder_->text().trimmed()).absoluteFilePath().toStdString();
    r.Patterns = patterns_->text().toStdString();
    r.MaxFileSize = int64_t(sizeLimit_->value()) << 20;
    r.IncludeHidden = hidden_->isChecked();
    return r;
}

void TFindInFilesDlg::accept() {
    const TFindInFilesRequest request = Request();
    if (request.Text.empty()) {
        text_->setFocus();
        return;
    }
    if (folder_->text().trimmed().isEmpty()) {
        folder_->setFocus();
        return;
    }
    history_.AddAtTop(request.Text);
    RefreshHistoryBox(text_, history_);
    store_.StoreFindHistory(history_.Merged(store_.FindHistory()));
    if (Starter && !Starter(request))
        return;
    QDialog::accept();
}

} // namespace kvx
