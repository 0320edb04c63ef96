#include "MDIChild.h"

#include "MainForm.h"
#include "editor/TextStore.h"
#include "editor/UndoStack.h"
#include "editor/view/SyntaxMemo.h"
#include "highlight/languages/Languages.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QStyle>

namespace kvx {

TMDIChild::TMDIChild(TMainForm& owner) : owner_(owner) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(style()->standardIcon(QStyle::SP_FileIcon));
    SM = new TSyntaxMemo(this);
    SM->setObjectName(QStringLiteral("SM"));
    setWidget(SM);
    setFocusProxy(SM);
    // The form's settings: selection white on navy, as the editor always showed it. The
    // language comes with the document; a new one starts as assembler.
    SM->SetLanguage(1);
    // Files of new documents are Linux text files: LF breaks, UTF-8.
    SM->Memo().SaveFormat = sfUNIX;
    connect(SM, &TSyntaxMemo::Changed, this,
            [this](unsigned bits) { owner_.UpdateStatusBar(this, bits); });
}

TMDIChild::~TMDIChild() {
    // The editor is going: the main window must not hear from it again.
    disconnect(SM, nullptr, this, nullptr);
}

void TMDIChild::SetDocumentName(const QString& name, bool unnamed) {
    unnamed_ = unnamed;
    setWindowTitle(name);
    SM->Memo().Title = name.toStdString();
}

void TMDIChild::LoadFile(const QString& fileName) {
    SM->LoadFromFile(fileName);
    SM->SetLanguage(LanguageForFileName(QFileInfo(fileName).fileName().toStdString()));
    SM->Memo().UseLoadedLineBreaks();
}

void TMDIChild::SaveDocument(const QString& fileName) {
    TCustomSyntaxMemo& memo = SM->Memo();
    TTextStore& store = memo.Store();
    // The editor's save empties the undo log; without the log attached it leaves it alone,
    // and the saved point is marked in it afterwards.
    TUndoStack* log = store.UndoLog();
    store.SetUndoLog(nullptr);
    try {
        memo.SaveToFile(QFile::encodeName(fileName).toStdString());
    } catch (...) {
        store.SetUndoLog(log);
        throw;
    }
    store.SetUndoLog(log);
    if (log)
        log->MarkSaved();
    memo.Changed(chText);
    memo.ChangeNotification();
}

bool TMDIChild::IsModified() const {
    return SM->Modified();
}

bool TMDIChild::Save() {
    return owner_.SaveChild(*this);
}

void TMDIChild::closeEvent(QCloseEvent* event) {
    if (!closeAnswered_ && !owner_.QueryCloseChild(*this)) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}

} // namespace kvx
