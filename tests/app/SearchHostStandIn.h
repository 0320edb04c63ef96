// A stand-in for the main window as the search commands see it: documents in editors, one
// of them current, files opened on request, and a results panel. Each test gets its own
// history file, so no test reads or writes the user's.
#pragma once

#include "TestFiles.h"

#include "app/ResultsPanel.h"
#include "app/SearchCommands.h"

#include "editor/Stream.h"
#include "editor/view/SyntaxMemo.h"

#include <QFileInfo>
#include <QWidget>

#include <map>
#include <memory>
#include <vector>

namespace kvx::test {

class TStandInWindow : public TSearchHost {
  public:
    TStandInWindow() : commands(*this, dir / "frepl.dat") {
        // The boxes answer as a test says; an unexpected one fails the test.
        commands.Prompts.Inform = [this](QWidget*, const QString& text) { informed << text; };
        commands.Prompts.Error = [this](QWidget*, const QString& text) { errors << text; };
        commands.Prompts.Ask = [this](QWidget*, const QString& question, bool offerAll) {
            questions << question;
            offeredAll.push_back(offerAll);
            if (answers.empty())
                return TReplaceAnswer::Cancel;
            const TReplaceAnswer a = answers.front();
            answers.erase(answers.begin());
            return a;
        };
        commands.Prompts.BrowseFolder = [this](QWidget*, const QString&) { return browseTo; };
    }
    ~TStandInWindow() override {
        while (!docs.empty())
            Close(docs.back());
    }

    // A new document holding `bytes`, made current.
    TSyntaxMemo* Add(const std::string& bytes, const QString& file = {}) {
        auto* editor = new TSyntaxMemo(&window);
        TMemoryStream in(bytes);
        editor->Memo().LoadFromStream(in);
        docs.push_back(editor);
        names[editor] = file;
        Activate(editor);
        return editor;
    }
    void Activate(TSyntaxMemo* editor) {
        active = editor;
        commands.ActiveEditorChanged();
    }
    // Closes a document as the main window does: the commands hear of it first.
    void Close(TSyntaxMemo* editor) {
        commands.DocumentClosing(editor);
        std::erase(docs, editor);
        names.erase(editor);
        delete editor;
        active = docs.empty() ? nullptr : docs.back();
        commands.ActiveEditorChanged();
    }

    TSyntaxMemo* ActiveEditor() override { return active; }
    TSyntaxMemo* OpenDocument(const QString& file) override {
        for (const auto& [editor, name] : names)
            if (name == file) {
                Activate(editor);
                return editor;
            }
        opened << file;
        const std::string bytes = ReadAll(file.toStdString());
        return Add(bytes, file);
    }
    TResultsPanel* ShowResultsPanel() override {
        panel.show();
        return &panel;
    }
    QWidget* DialogParent() override { return &window; }
    QString ActiveFileName() override { return active ? names[active] : QString(); }

    TempDir dir;
    QWidget window;
    TResultsPanel panel;
    std::vector<TSyntaxMemo*> docs;
    std::map<TSyntaxMemo*, QString> names;
    TSyntaxMemo* active = nullptr;
    QStringList informed, errors, questions, opened;
    std::vector<bool> offeredAll;
    std::vector<TReplaceAnswer> answers;
    QString browseTo;
    // Last: its dialogs and searches go before the documents and the panel.
    TSearchCommands commands;
};

} // namespace kvx::test
