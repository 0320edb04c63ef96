#include "ToolRunner.h"

#include "ResultsPanel.h"
#include "app/core/ShellPaths.h"
#include "app/core/ShellStrings.h"
#include "app/core/ToolCommand.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include <cstring>

namespace kvx {
namespace {

// How often a running tool's output is collected: quick enough to feel live, rare
// enough to cost nothing.
constexpr int kPollMs = 30;

QString Quoted(const std::string& arg) {
    const QString s = QString::fromStdString(arg);
    return s.isEmpty() || s.contains(QLatin1Char(' ')) || s.contains(QLatin1Char('"'))
               ? QLatin1Char('\'') + s + QLatin1Char('\'')
               : s;
}

} // namespace

TToolRunner::TToolRunner(TResultsPanel* panel, QObject* parent) : QObject(parent), panel_(panel) {
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, &TToolRunner::Poll);
    error_ = [](const QString& text) {
        QMessageBox::warning(QApplication::activeWindow(), QStringLiteral("Run"), text);
    };
    open_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    if (panel_)
        connect(panel_, &TResultsPanel::stopRequested, this, &TToolRunner::Stop);
}

TToolRunner::~TToolRunner() = default;

void TToolRunner::Fail(const QString& program, const QString& reason) {
    if (status_)
        status_(QString::fromUtf8(kRunStatusPrefix) + program +
                QStringLiteral(" could not start: ") + reason);
    if (error_)
        error_(QStringLiteral("Cannot run \"%1\": %2.").arg(program, reason));
}

bool TToolRunner::Run(const TTool& tool, TToolDocument& document) {
    if (document.IsUnnamed() && (!document.Save() || document.IsUnnamed())) {
        if (status_)
            status_(
                QStringLiteral("Run: the document has to be saved before a tool can work on it"));
        return false;
    }
    const std::string fileName = document.FileName().toStdString();
    const TToolCommand cmd = MakeToolCommand(tool, fileName);
    const QString program = QString::fromStdString(cmd.Program);
    if (status_)
        status_(QString::fromStdString(RunStatusText(cmd)));

    // A program that is a document (or a script without the execute bit) is opened by
    // the desktop, as a double-click in the file manager would.
    const QFileInfo info(QDir(QString::fromStdString(cmd.Folder)).filePath(program));
    if (program.contains(QLatin1Char('/')) && info.isFile() && !info.isExecutable()) {
        if (!open_(QUrl::fromLocalFile(info.absoluteFilePath()))) {
            Fail(program, QStringLiteral("no program is set up to open it"));
            return false;
        }
        return true;
    }

    auto child = std::make_unique<TChildProcess>();
    std::string reason;
    if (!child->Start(cmd.Program, cmd.Arguments, cmd.Folder, reason)) {
        Fail(program, QString::fromStdString(reason));
        return false;
    }
    // A tool from before that still runs is let go; it finishes by itself.
    child_ = std::move(child);
    folder_ = QString::fromStdString(cmd.Folder);
    out_.clear();
    err_.clear();
    if (panel_) {
        panel_->Clear();
        panel_->SetTitle(QString::fromStdString(RunStatusText(cmd)));
        QString line = QStringLiteral("$ ") + Quoted(cmd.Program);
        for (const std::string& a : cmd.Arguments)
            line += QLatin1Char(' ') + Quoted(a);
        panel_->AppendLine(line, TResultKind::Info);
        if (document.IsModified())
            panel_->AppendLine(QStringLiteral("Note: %1 has changes that are not saved; the "
                                              "tool works on the file as last saved.")
                                   .arg(document.FileName()),
                               TResultKind::Info);
        panel_->SetBusy(true);
    }
    timer_.start();
    return true;
}

void TToolRunner::Stop() {
    if (IsRunning())
        child_->Terminate();
}

void TToolRunner::Emit(std::string& pending, bool error, bool final) {
    std::vector<TResultLine> lines;
    size_t pos = 0;
    for (;;) {
        size_t end = pending.find('\n', pos);
        // A line without end that grows too long is shown in pieces.
        if (end == std::string::npos && pending.size() - pos >= kMaxLineLength)
            end = pos + kMaxLineLength;
        if (end == std::string::npos && final && pos < pending.size())
            end = pending.size();
        if (end == std::string::npos)
            break;
        std::string_view raw(pending.data() + pos, end - pos);
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        TResultLine line;
        line.Text = QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size()));
        line.Kind = error ? TResultKind::Error : TResultKind::Normal;
        if (auto target = ParseToolOutputLine(raw)) {
            if (!target->File.empty() && target->File.front() != '/')
                target->File = JoinPath(folder_.toStdString(), target->File);
            line.Target = std::move(target);
        }
        lines.push_back(std::move(line));
        pos = end < pending.size() && pending[end] == '\n' ? end + 1 : end;
    }
    pending.erase(0, pos);
    if (panel_)
        panel_->Append(std::move(lines));
}

void TToolRunner::Poll() {
    if (!child_)
        return;
    // The end is checked before the read, so nothing written just before it is lost.
    // While the tool runs one bounded read per tick keeps the editor responsive; at the
    // end everything left is read.
    const bool ended = child_->Poll();
    for (;;) {
        const bool more = child_->ReadOutput(out_, err_);
        Emit(out_, false, false);
        Emit(err_, true, false);
        if (!ended || !more)
            break;
    }
    if (!ended)
        return;
    Emit(out_, false, true);
    Emit(err_, true, true);
    timer_.stop();
    const int code = child_->ExitCode();
    const int signal = child_->Signal();
    if (panel_) {
        panel_->AppendLine(signal ? QStringLiteral("Ended by signal %1 (%2)")
                                        .arg(signal)
                                        .arg(QString::fromUtf8(strsignal(signal)))
                                  : QStringLiteral("Exit code %1").arg(code),
                           TResultKind::Info);
        panel_->SetBusy(false);
    }
    emit finished(code, signal);
}

} // namespace kvx
