// The main window as the tests drive it: a configuration folder of its own, the window
// shown and active, and every question it asks answered from queues the test fills. A
// question nobody expected fails the test and is answered with Cancel.
#pragma once

#include "TestFiles.h"
#include "app/MDIChild.h"
#include "app/MainForm.h"
#include "editor/view/SyntaxMemo.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace kvx::test {

template <typename T> T Next(std::deque<T>& answers, const char* what, T none) {
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected " << what;
        return none;
    }
    T value = answers.front();
    answers.pop_front();
    return value;
}

class TShell {
  public:
    TempDir Dir;
    ScopedEnv Config{"XDG_CONFIG_HOME", Dir / "config"};
    std::unique_ptr<TMainForm> Form;

    std::deque<QString> OpenNames, SaveNames;
    std::deque<QMessageBox::StandardButton> SaveAnswers;
    std::deque<bool> YesNo;
    // Answers of the input box; a null string is a cancelled box.
    std::deque<QString> Lines;
    std::vector<QString> Errors, SaveQuestions, Questions;
    std::vector<QUrl> Urls;
    std::function<int(QDialog&)> Exec;
    int SaveDialogs = 0;

    TShell() { Create(); }
    ~TShell() { Destroy(); }

    void Create() {
        Form = std::make_unique<TMainForm>();
        TShellDialogs& d = Form->Dialogs();
        d.OpenFileName = [this](QWidget*, const QString&, const QString&, const QStringList&) {
            return Next(OpenNames, "open dialog", QString());
        };
        d.SaveFileName = [this](QWidget*, const QString&, const QString&, const QStringList&) {
            ++SaveDialogs;
            return Next(SaveNames, "save dialog", QString());
        };
        d.AskSave = [this](QWidget*, const QString& text) {
            SaveQuestions.push_back(text);
            return Next(SaveAnswers, "save question", QMessageBox::Cancel);
        };
        d.AskYesNo = [this](QWidget*, const QString& text) {
            Questions.push_back(text);
            return Next(YesNo, "question", false);
        };
        d.ShowError = [this](QWidget*, const QString& text) { Errors.push_back(text); };
        d.InputLine = [this](QWidget*, const QString&) -> std::optional<QString> {
            const QString answer = Next(Lines, "input box", QString());
            if (answer.isNull())
                return std::nullopt;
            return answer;
        };
        d.Exec = [this](QDialog& dialog) {
            if (!Exec) {
                ADD_FAILURE() << "unexpected dialog " << dialog.windowTitle().toStdString();
                return int(QDialog::Rejected);
            }
            return Exec(dialog);
        };
        d.OpenUrl = [this](const QUrl& url) {
            Urls.push_back(url);
            return true;
        };
    }

    // Shows the window as the program does, with its stored settings.
    void Show() {
        Form->ShowRestored();
        Form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    }

    // Closes the window (the user's Exit); true when it closed.
    bool Close() { return Form->close(); }

    void Destroy() {
        if (!Form)
            return;
        // Whatever the test left modified is dropped without asking.
        for (TMDIChild* child : Form->Children())
            child->SetCloseAnswered(true);
        Form->Dialogs().AskSave = [](QWidget*, const QString&) { return QMessageBox::No; };
        Form->close();
        Form.reset();
        QApplication::processEvents();
    }

    void Trigger(const char* action) {
        QAction* a = Form->Action(action);
        ASSERT_NE(a, nullptr) << action;
        a->trigger();
        QApplication::processEvents();
    }

    TMDIChild* Open(const std::string& file) {
        TMDIChild* child = Form->OpenDocument(QString::fromStdString(file));
        QApplication::processEvents();
        return child;
    }

    TMDIChild* Active() const { return Form->ActiveChild(); }

    void Type(const QString& text) {
        ASSERT_NE(Active(), nullptr);
        QTest::keyClicks(Active()->SM, text);
        QApplication::processEvents();
    }

    std::string Text() const { return Active()->SM->Memo().Text(); }
    QString Status(int panel) const { return Form->StatusText(panel); }
    std::string File(const std::string& name) const { return Dir / name; }
};

} // namespace kvx::test
