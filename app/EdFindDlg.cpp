#include "EdFindDlg.h"

#include "SearchOptionsBox.h"

#include "editor/view/SyntaxMemo.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace kvx {

void CentreOnScreen(QWidget* dialog) {
    dialog->adjustSize();
    QScreen* screen = dialog->screen() ? dialog->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = dialog->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    dialog->move(frame.topLeft());
}

TEdFindDlg::TEdFindDlg(TEdPersistent& store, TSearchState& state, const TSearchPrompts& prompts,
                       QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), state_(state), prompts_(prompts),
      logic_(store) {
    setObjectName(QStringLiteral("EdFindDlg"));
    setWindowTitle(QStringLiteral("Find text..."));
    setModal(true);

    findBox_ = NewHistoryBox(QStringLiteral("FindHistoryBox"));
    auto* label = new QLabel(QStringLiteral("&Text to find"));
    label->setBuddy(findBox_);
    options_ = new TSearchOptionsBox(QStringLiteral("&Whole words only"));

    ok_ = new QPushButton(QStringLiteral("OK"));
    ok_->setObjectName(QStringLiteral("OKButton"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"));
    cancel_->setObjectName(QStringLiteral("CancelButton"));
    help_ = new QPushButton(QStringLiteral("&Help"));
    help_->setObjectName(QStringLiteral("Button3"));
    help_->setAutoDefault(false);
    cancel_->setAutoDefault(false);

    auto* textRow = new QHBoxLayout;
    textRow->addWidget(label);
    textRow->addWidget(findBox_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addWidget(help_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(textRow);
    layout->addWidget(options_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(ok_, &QPushButton::clicked, this, &TEdFindDlg::Ok);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(help_, &QPushButton::clicked, this, [this] { emit helpRequested(kHelpContext); });
}

void TEdFindDlg::Open(TSyntaxMemo* editor) {
    editor_ = editor;
    logic_.Show(state_);
    FillHistoryBox(findBox_, logic_.History(), logic_.SelectedIndex(),
                   QString::fromStdString(state_.Text));
    options_->SetControls(logic_.Controls);
    if (editor)
        editor->Memo().SetHideSelection(false);
    closeBox_ = false;
    CentreOnScreen(this);
    show();
    raise();
    activateWindow();
    findBox_->setFocus();
}

void TEdFindDlg::Ok() {
    TMemoSearch* search = SearchOf ? SearchOf(editor_) : nullptr;
    if (!search)
        return;
    logic_.Controls = options_->Controls();
    const TSearchReport report = logic_.Ok(*search, BoxText(findBox_));
    RefreshHistoryBox(findBox_, logic_.History());
    prompts_.Show(this, report);
}

void TEdFindDlg::FindNext(TSyntaxMemo* editor) {
    TMemoSearch* search = SearchOf ? SearchOf(editor) : nullptr;
    if (!search || state_.Text.empty())
        return;
    editor->Memo().SetHideSelection(false);
    logic_.Controls = options_->Controls();
    prompts_.Show(editor, logic_.FindNext(*search, state_.Text));
}

void TEdFindDlg::closeEvent(QCloseEvent* e) {
    // The close box leaves the main window's search text as it was; Cancel and Escape
    // take the box text.
    closeBox_ = true;
    QDialog::closeEvent(e);
    closeBox_ = false;
}

void TEdFindDlg::done(int result) {
    const bool cancelled = !closeBox_;
    QDialog::done(result);
    if (editor_)
        editor_->Memo().SetHideSelection(true);
    // A history that cannot be written (a read-only data folder) is not worth a box on
    // every close, as with the other settings files; the file on disk stays intact.
    logic_.Close(state_, BoxText(findBox_), cancelled);
    editor_ = nullptr;
}

} // namespace kvx
