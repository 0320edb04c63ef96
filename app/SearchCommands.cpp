#include "SearchCommands.h"

#include "EdFindDlg.h"
#include "EdReplDlg.h"
#include "FindInFilesDlg.h"
#include "FindInFilesRun.h"
#include "ResultsPanel.h"

#include "editor/Encoding.h"
#include "editor/view/SyntaxMemo.h"

#include <QDir>
#include <QFileInfo>

namespace kvx {

namespace {

// The offset `count` characters on from `from`; a line break is one character.
TextOffset AdvanceCharacters(TTextStore& store, TextOffset from, int count) {
    if (!store.Utf8())
        return std::min<TextOffset>(from + std::max(count, 0), store.TextLength());
    TextOffset at = from;
    const TextOffset end = store.TextLength();
    while (count > 0 && at < end) {
        // A character takes at most four bytes: read enough for what is left.
        const TextOffset chunkEnd =
            std::min<TextOffset>(end, at + std::min<int64_t>(int64_t(count) * 4, 1 << 16));
        const std::string piece = store.GetText(at, chunkEnd);
        size_t i = 0;
        while (count > 0 && i < piece.size()) {
            ++i;
            while (i < piece.size() && IsUtf8Continuation(static_cast<unsigned char>(piece[i])))
                ++i;
            --count;
        }
        at += static_cast<TextOffset>(i);
    }
    return at;
}

} // namespace

void SelectPlace(TCustomSyntaxMemo& memo, int line, int column, int length) {
    TTextStore& store = memo.Store();
    if (store.RowCount() == 0) {
        memo.SetSelection(0, 0);
        return;
    }
    const TRowFinger row = store.RowByIndex(std::max(line, 1) - 1);
    // The column stays within its row: a line shorter than the place (the file changed
    // since it was searched) gets the caret at its end.
    TextOffset rowEnd = row.Index + 1 < store.RowCount() ? store.RowByIndex(row.Index + 1).Offset
                                                         : store.TextLength();
    // The row's text ends before its line break; a row cut from a long line has none.
    if (rowEnd > row.Offset && store.GetText(rowEnd - 1, rowEnd) == "\r")
        --rowEnd;
    TextOffset start = AdvanceCharacters(store, row.Offset, std::max(column, 1) - 1);
    start = std::min(start, rowEnd);
    const TextOffset end = AdvanceCharacters(store, start, length);
    memo.SetSelection(start, end);
    memo.ScrollCaretIntoView();
}

TSearchCommands::TSearchCommands(TSearchHost& host, const std::string& historyFile, QObject* parent)
    : QObject(parent), host_(host),
      store_(historyFile.empty() ? TEdPersistent() : TEdPersistent(historyFile)) {
    QWidget* window = host_.DialogParent();
    const auto searchOf = [this](TSyntaxMemo* editor) { return SearchOf(editor); };
    find_ = new TEdFindDlg(store_, state_, Prompts, window);
    find_->SearchOf = searchOf;
    connect(find_, &TEdFindDlg::helpRequested, this, &TSearchCommands::helpRequested);
    replace_ = new TEdReplDlg(store_, state_, Prompts, window);
    replace_->SearchOf = searchOf;
    files_ = new TFindInFilesDlg(store_, Prompts, window);
    files_->Starter = [this](const TFindInFilesRequest& request) {
        TResultsPanel* panel = host_.ShowResultsPanel();
        if (!run_)
            run_ = std::make_unique<TFindInFilesRun>();
        if (run_->Start(request, panel))
            return true;
        if (Prompts.Error)
            Prompts.Error(files_, run_->ErrorText());
        return false;
    };
}

TSearchCommands::~TSearchCommands() {
    // The threads of a search still running stop before the rest goes.
    run_.reset();
    // The dialogs belong to the main window for their placement, but to this object for
    // their life: they point into it.
    delete files_.data();
    delete replace_.data();
    delete find_.data();
}

TMemoSearch* TSearchCommands::SearchOf(TSyntaxMemo* editor) {
    if (!editor)
        return nullptr;
    std::unique_ptr<TMemoSearch>& search = searches_[editor];
    if (!search) {
        search = std::make_unique<TMemoSearch>(editor->Memo());
        // Only a safety net: the window says DocumentClosing first. An editor destroyed
        // without it has taken the text its search listens to along, so the search can no
        // longer be taken down cleanly; it is let go rather than touch freed memory.
        connect(editor, &QObject::destroyed, this, [this, editor] {
            if (auto it = searches_.find(editor); it != searches_.end()) {
                qWarning("A document was destroyed without DocumentClosing");
                (void)it->second.release();
                searches_.erase(it);
            }
        });
    }
    return search.get();
}

bool TSearchCommands::CanFind() const {
    return host_.ActiveEditor() != nullptr;
}

TSyntaxMemo* TSearchCommands::TakeSelection() {
    TSyntaxMemo* editor = host_.ActiveEditor();
    if (!editor)
        return nullptr;
    if (std::string selected = SearchTextFromSelection(editor->Memo()); !selected.empty())
        state_.Text = std::move(selected);
    return editor;
}

void TSearchCommands::Find() {
    if (TSyntaxMemo* editor = TakeSelection())
        find_->Open(editor);
}

void TSearchCommands::Replace() {
    if (TSyntaxMemo* editor = TakeSelection())
        replace_->Open(editor);
}

void TSearchCommands::FindNext() {
    // Always the active document: the one the find dialog was last opened for may be gone.
    if (TSyntaxMemo* editor = host_.ActiveEditor())
        find_->FindNext(editor);
}

void TSearchCommands::FindInFiles() {
    // The folder of the active document, else the working folder, is where a search of a
    // project most likely starts.
    QString folder = QDir::currentPath();
    QString text;
    if (const QString name = host_.ActiveFileName(); !name.isEmpty()) {
        const QFileInfo file(name);
        if (file.absoluteDir().exists())
            folder = file.absolutePath();
    }
    if (TSyntaxMemo* editor = host_.ActiveEditor()) {
        text = QString::fromStdString(SearchTextFromSelection(editor->Memo()));
        if (text.contains(QLatin1Char('\r')))
            text.clear();
    }
    if (text.isEmpty())
        text = QString::fromStdString(state_.Text);
    files_->Open(text, folder);
}

void TSearchCommands::GoTo(const QString& file, int line, int column, int length) {
    if (TSyntaxMemo* editor = host_.OpenDocument(file)) {
        SelectPlace(editor->Memo(), line, column, length);
        editor->setFocus();
    }
}

void TSearchCommands::ActiveEditorChanged() {
    replace_->SetEditor(host_.ActiveEditor());
}

void TSearchCommands::DocumentClosing(TSyntaxMemo* editor) {
    if (!editor)
        return;
    if (find_->isVisible() && find_->Editor() == editor)
        find_->reject();
    if (replace_->Editor() == editor)
        replace_->SetEditor(nullptr);
    searches_.erase(editor);
}

} // namespace kvx
