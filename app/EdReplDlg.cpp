#include "EdReplDlg.h"

#include "EdFindDlg.h"
#include "SearchOptionsBox.h"

#include "editor/view/SyntaxMemo.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressDialog>
#include <QRadioButton>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace kvx {

TEdReplDlg::TEdReplDlg(TEdPersistent& store, const TSearchState& state,
                       const TSearchPrompts& prompts, QWidget* parent)
    : QDialog(parent), state_(state), prompts_(prompts), logic_(store) {
    setObjectName(QStringLiteral("EdReplDlg"));
    setWindowTitle(QStringLiteral("Find and replace text..."));
    setModal(false);

    findBox_ = NewHistoryBox(QStringLiteral("FindHistoryBox"));
    replBox_ = NewHistoryBox(QStringLiteral("ReplHistoryBox"));
    auto* findLabel = new QLabel(QStringLiteral("&Text to find"));
    findLabel->setBuddy(findBox_);
    auto* replLabel = new QLabel(QStringLiteral("Replace with"));
    replLabel->setBuddy(replBox_);
    options_ = new TSearchOptionsBox(QStringLiteral("&Whole words"));
    prompt_ = new QCheckBox(QStringLiteral("&Prompt on Replace"));
    prompt_->setObjectName(QStringLiteral("PromptOnReplBox"));
    options_->OptionsGroup()->layout()->addWidget(prompt_);
    // Tab goes down the options before it crosses to the direction.
    setTabOrder(options_->RegExBox(), prompt_);
    setTabOrder(prompt_, options_->FwdDirection());

    ok_ = new QPushButton(QStringLiteral("OK"));
    ok_->setObjectName(QStringLiteral("OKButton"));
    ok_->setDefault(true);
    all_ = new QPushButton(QStringLiteral("Replace All"));
    all_->setObjectName(QStringLiteral("ReplaceAllButton"));
    all_->setAutoDefault(false);
    cancel_ = new QPushButton(QStringLiteral("Cancel"));
    cancel_->setObjectName(QStringLiteral("CancelButton"));
    cancel_->setAutoDefault(false);

    auto* texts = new QGridLayout;
    texts->addWidget(findLabel, 0, 0);
    texts->addWidget(findBox_, 0, 1);
    texts->addWidget(replLabel, 1, 0);
    texts->addWidget(replBox_, 1, 1);
    texts->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(all_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(texts);
    layout->addWidget(options_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(ok_, &QPushButton::clicked, this, &TEdReplDlg::Replace);
    connect(all_, &QPushButton::clicked, this, &TEdReplDlg::ReplaceAll);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    SetEditor(nullptr);
}

void TEdReplDlg::Open(TSyntaxMemo* editor) {
    if (!isVisible()) {
        logic_.Show(state_);
        FillHistoryBox(findBox_, logic_.FindHistory(), logic_.SelectedIndex(),
                       QString::fromStdString(state_.Text));
        FillHistoryBox(replBox_, logic_.ReplaceHistory(), -1, QString());
        if (!logic_.ReplaceHistory().Entries().empty())
            replBox_->setCurrentIndex(0);
        options_->SetControls(logic_.Controls);
        CentreOnScreen(this);
    } else if (!state_.Text.empty()) {
        // Chosen again while open: the new search text goes into the field, the rest stays
        // as the user left it.
        const int at = logic_.FindHistory().Show(state_.Text);
        FillHistoryBox(findBox_, logic_.FindHistory(), at, QString::fromStdString(state_.Text));
    }
    SetEditor(editor);
    if (editor)
        editor->Memo().SetHideSelection(false);
    show();
    raise();
    activateWindow();
    findBox_->setFocus();
}

void TEdReplDlg::SetEditor(TSyntaxMemo* editor) {
    // Only the document the dialog acts on shows its selection while the dialog has the
    // focus.
    if (editor_ != editor) {
        if (editor_ && isVisible())
            editor_->Memo().SetHideSelection(true);
        editor_ = editor;
        if (editor_ && isVisible())
            editor_->Memo().SetHideSelection(false);
    }
    ok_->setEnabled(editor_ != nullptr);
    all_->setEnabled(editor_ != nullptr);
}

TMemoSearch* TEdReplDlg::Search() {
    return editor_ && SearchOf ? SearchOf(editor_) : nullptr;
}

TReplaceDialogLogic::TAsk TEdReplDlg::Asker() {
    return [this](const std::string& question, bool offerAll) {
        return prompts_.Ask ? prompts_.Ask(this, QString::fromStdString(question), offerAll)
                            : TReplaceAnswer::Cancel;
    };
}

void TEdReplDlg::Replace() {
    TMemoSearch* search = Search();
    if (!search)
        return;
    editor_->Memo().SetHideSelection(false);
    logic_.Controls = options_->Controls();
    const TSearchReport report = logic_.Replace(*search, BoxText(findBox_), BoxText(replBox_),
                                                prompt_->isChecked(), Asker());
    RefreshHistoryBox(findBox_, logic_.FindHistory());
    RefreshHistoryBox(replBox_, logic_.ReplaceHistory());
    prompts_.Show(this, report);
}

void TEdReplDlg::ReplaceAll() {
    TMemoSearch* search = Search();
    if (!search)
        return;
    QPointer<TSyntaxMemo> editor = editor_;
    editor->Memo().SetHideSelection(false);
    logic_.Controls = options_->Controls();

    // The progress box is modal: while it lets events through, no other window can edit
    // the document or close it under the run.
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QProgressDialog> progress;
    constexpr int kSteps = 1000;
    const auto onProgress = [&](int64_t done, int64_t total) {
        if (!progress) {
            if (clock.elapsed() < ProgressDelay)
                return;
            progress = std::make_unique<QProgressDialog>(QStringLiteral("Replacing..."),
                                                         QStringLiteral("Cancel"), 0, kSteps, this);
            progress->setWindowTitle(windowTitle());
            progress->setWindowModality(Qt::ApplicationModal);
            progress->setMinimumDuration(0);
            progress->setAutoClose(false);
            progress->setAutoReset(false);
            progress->show();
            if (OnProgressShown)
                OnProgressShown(*progress);
        }
        progress->setValue(total > 0 ? static_cast<int>(done * kSteps / total) : 0);
        QApplication::processEvents();
    };
    const auto cancel = [&] { return progress && progress->wasCanceled(); };

    prompt_->setEnabled(false);
    const TSearchReport report =
        logic_.ReplaceAll(*search, BoxText(findBox_), BoxText(replBox_), prompt_->isChecked(),
                          Asker(), onProgress, cancel);
    progress.reset();
    prompt_->setEnabled(true);
    RefreshHistoryBox(findBox_, logic_.FindHistory());
    RefreshHistoryBox(replBox_, logic_.ReplaceHistory());
    if (editor)
        editor->Memo().ScrollCaretIntoView();
    prompts_.Show(this, report);
}

void TEdReplDlg::done(int result) {
    QDialog::done(result);
    if (editor_)
        editor_->Memo().SetHideSelection(true);
    // As with the find dialog, a history that cannot be written is not reported.
    logic_.Close();
}

} // namespace kvx
