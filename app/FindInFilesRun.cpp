#include "FindInFilesRun.h"

#include "ResultsPanel.h"

#include <QLocale>
#include <QMetaObject>

namespace kvx {

TFindInFilesRun::TFindInFilesRun(QObject* parent) : QObject(parent) {}

TFindInFilesRun::~TFindInFilesRun() {
    search_.reset();
}

bool TFindInFilesRun::Start(TFindInFilesRequest request, TResultsPanel* panel) {
    search_.reset();
    running_ = false;
    posted_ = false;
    progress_ = {};
    if (panel_ && panel_ != panel)
        disconnect(panel_, nullptr, this, nullptr);
    panel_ = panel;
    text_ = QString::fromStdString(request.Text);
    folder_ = request.Folder;

    search_ = std::make_unique<TFindInFiles>(std::move(request));
    // Called on a search thread: only an event goes to the interface thread, and only one
    // at a time, however fast the hits come.
    search_->OnAvailable = [this] { Post(); };
    if (!search_->Start()) {
        error_ = QString::fromStdString(search_->ErrorText());
        search_.reset();
        return false;
    }
    error_.clear();
    running_ = true;
    if (panel_) {
        panel_->Clear();
        panel_->SetTitle(Title());
        panel_->SetBusy(true);
        connect(panel_, &TResultsPanel::stopRequested, this, &TFindInFilesRun::Cancel,
                Qt::UniqueConnection);
    }
    return true;
}

void TFindInFilesRun::Cancel() {
    if (search_ && running_)
        search_->Cancel();
}

void TFindInFilesRun::Post() {
    if (!posted_.exchange(true))
        QMetaObject::invokeMethod(this, &TFindInFilesRun::Drain, Qt::QueuedConnection);
}

QString TFindInFilesRun::Title() const {
    const QLocale locale;
    QString title = QStringLiteral("Find in Files: \"%1\"").arg(text_);
    if (progress_.Hits > 0 || progress_.FilesSearched > 0)
        title += QStringLiteral(" - %1 hits in %2 of %3 files")
                     .arg(locale.toString(qlonglong(progress_.Hits)),
                          locale.toString(qlonglong(progress_.FilesSearched)),
                          locale.toString(qlonglong(progress_.FilesFound)));
    return title;
}

void TFindInFilesRun::Drain() {
    posted_ = false;
    if (!search_ || !running_)
        return;
    // The figures first: once they say finished, everything found is there to take.
    progress_ = search_->Progress();
    std::vector<TFindInFilesItem> items = search_->Take();
    if (!panel_)
        return;
    std::vector<TResultLine> lines;
    lines.reserve(items.size());
    for (const TFindInFilesItem& item : items) {
        const TResultText r = FormatResult(item, folder_);
        TResultLine line;
        line.Text = QString::fromStdString(r.Text);
        line.Kind = item.Kind == TFindInFilesItem::Hit       ? TResultKind::Normal
                    : item.Kind == TFindInFilesItem::Skipped ? TResultKind::Info
                                                             : TResultKind::Error;
        line.Target = r.Target;
        // The mark is counted in bytes of the UTF-8 line; the panel counts characters of
        // its text.
        const auto chars = [&](int32_t bytes) {
            return static_cast<int>(QString::fromUtf8(r.Text.data(), bytes).size());
        };
        line.MarkStart = chars(r.MarkStart);
        line.MarkLength = chars(r.MarkStart + r.MarkLength) - line.MarkStart;
        lines.push_back(std::move(line));
    }
    if (!lines.empty())
        panel_->Append(std::move(lines));
    panel_->SetTitle(Title());
    if (!progress_.Finished)
        return;
    running_ = false;
    const QLocale locale;
    QString end = QStringLiteral("%1 hits in %2 files")
                      .arg(locale.toString(qlonglong(progress_.Hits)),
                           locale.toString(qlonglong(progress_.FilesSearched)));
    if (progress_.Cancelled)
        end = QStringLiteral("Search stopped: ") + end;
    else if (progress_.HitLimitReached)
        end += QStringLiteral("; the search stopped at the hit limit");
    panel_->AppendLine(end, TResultKind::Info);
    panel_->SetBusy(false);
    emit finished();
}

} // namespace kvx
