// One Find in Files at a time, shown in the results panel: the panel is cleared and
// titled, the hits stream in as the search threads hand them out (each line marked where
// the hit is, and holding the place a double-click goes to), the title counts the hits and
// files as they come, and the panel's Stop button cancels. The interface thread only takes
// what the threads have found, so a big tree never freezes the window.
#pragma once

#include "app/core/FindInFiles.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <memory>

namespace kvx {

class TResultsPanel;

class TFindInFilesRun : public QObject {
    Q_OBJECT
  public:
    explicit TFindInFilesRun(QObject* parent = nullptr);
    // Cancels a search still running and waits for its threads.
    ~TFindInFilesRun() override;

    // Starts a search into `panel`, cancelling one still running. False when it cannot
    // start; ErrorText() says why.
    bool Start(TFindInFilesRequest request, TResultsPanel* panel);
    const QString& ErrorText() const { return error_; }
    void Cancel();
    bool Running() const { return running_; }
    // The search's figures as last shown.
    const TFindInFilesProgress& Progress() const { return progress_; }

  signals:
    void finished();

  private:
    void Post();
    void Drain();
    QString Title() const;

    QPointer<TResultsPanel> panel_;
    QString error_;
    QString text_;
    std::string folder_;
    TFindInFilesProgress progress_;
    bool running_ = false;
    std::atomic<bool> posted_{false};
    // Last, so that its threads are stopped before anything they post to goes.
    std::unique_ptr<TFindInFiles> search_;
};

} // namespace kvx
