// Running an external tool on a document: the command is built from the tool and the
// document's file (see ToolCommand.h), the status bar says "Run: ...", and the program
// runs in the document's folder as a child process whose standard output and error
// stream into the results panel as they come, with the exit status at the end. A line of
// output that names a place (FILE:LINE:, FILE(LINE)) can be double-clicked to go there.
// A program that cannot start says why, in the status bar and a message box. A tool
// still running when the editor closes is left running (see ChildProcess.h).
#pragma once

#include "app/core/ChildProcess.h"
#include "app/core/ToolTable.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

namespace kvx {

class TResultsPanel;

// What the runner needs of a document; the main window's document window provides it.
class TToolDocument {
  public:
    virtual ~TToolDocument() = default;
    virtual QString FileName() const = 0; // the full path of the file
    virtual bool IsUnnamed() const = 0;   // never saved: there is no file yet
    virtual bool IsModified() const = 0;
    // Saves as the Save command does (Save As for an unnamed document). False when the
    // user cancelled or the save failed (the document then says why itself).
    virtual bool Save() = 0;
};

class TToolRunner : public QObject {
    Q_OBJECT
  public:
    // Lines longer than this are cut into pieces of this length in the panel.
    static constexpr int kMaxLineLength = 4096;

    explicit TToolRunner(TResultsPanel* panel, QObject* parent = nullptr);
    // Leaves a running tool running.
    ~TToolRunner() override;

    // Status bar panel 4.
    void SetShowStatus(std::function<void(const QString&)> show) { status_ = std::move(show); }
    // Why a tool could not start (a warning box by default).
    void SetShowError(std::function<void(const QString&)> show) { error_ = std::move(show); }
    // Opens a program that is a document, not an executable (the desktop by default).
    void SetOpenUrl(std::function<bool(const QUrl&)> open) { open_ = std::move(open); }

    // Runs `tool` on `document`. The document is not saved first, as the tool works on
    // the file as last saved (the panel notes unsaved changes); only a document that has
    // never been saved is saved first, since before that there is no file to run on.
    // False when nothing was started. A tool still running from before goes on by
    // itself; the panel turns to the new one.
    bool Run(const TTool& tool, TToolDocument& document);
    bool IsRunning() const { return child_ && child_->Running(); }
    // Asks the running tool to end (the panel's Stop button).
    void Stop();

  signals:
    void finished(int exitCode, int signal);

  private:
    void Poll();
    void Emit(std::string& pending, bool error, bool final);
    void Fail(const QString& program, const QString& reason);

    QPointer<TResultsPanel> panel_;
    std::unique_ptr<TChildProcess> child_;
    QTimer timer_;
    QString folder_;
    std::string out_, err_;
    std::function<void(const QString&)> status_;
    std::function<void(const QString&)> error_;
    std::function<bool(const QUrl&)> open_;
};

} // namespace kvx
