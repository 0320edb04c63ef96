// The results panel: a list of lines, each of which may name a place in a file (and a
// range there to select). Double-click or Enter on such a line asks the main window to
// go there. Tool output and Find in Files fill it; the main window docks it. A list
// model with one small record per line keeps a hundred thousand lines cheap.
#pragma once

#include "app/core/JumpTarget.h"

#include <QAbstractListModel>
#include <QWidget>

#include <optional>
#include <vector>

class QLabel;
class QListView;
class QToolButton;

namespace kvx {

enum class TResultKind : quint8 {
    Normal, // a line of output or a hit
    Error,  // a line of a tool's standard error
    Info,   // the panel's own words: what ran, how it ended
};

struct TResultLine {
    QString Text;
    TResultKind Kind = TResultKind::Normal;
    std::optional<TJumpTarget> Target; // File is an absolute path by the time it gets here
    int MarkStart = 0;                 // characters of Text to show marked (a hit)
    int MarkLength = 0;
};

class TResultsModel : public QAbstractListModel {
    Q_OBJECT
  public:
    enum Role { KindRole = Qt::UserRole + 1, MarkStartRole, MarkLengthRole, HasTargetRole };

    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void Append(std::vector<TResultLine> lines);
    void Clear();
    const TResultLine& Line(int row) const { return lines_[static_cast<size_t>(row)]; }

  private:
    std::vector<TResultLine> lines_;
};

class TResultsPanel : public QWidget {
    Q_OBJECT
  public:
    explicit TResultsPanel(QWidget* parent = nullptr);

    void Clear();
    void SetTitle(const QString& title);
    QString Title() const;
    void Append(std::vector<TResultLine> lines);
    void AppendLine(const QString& text, TResultKind kind = TResultKind::Normal,
                    std::optional<TJumpTarget> target = std::nullopt);
    // While busy, the Stop button is enabled.
    void SetBusy(bool busy);

    TResultsModel* Model() const { return model_; }
    QListView* View() const { return view_; }
    QToolButton* StopButton() const { return stop_; }

  signals:
    // A line with a place was activated: open `file`, select `length` characters from
    // `column` of `line` (both 1-based; column 0 means the line's start).
    void jumpRequested(const QString& file, int line, int column, int length);
    void stopRequested();

  private:
    void Activate(const QModelIndex& index);

    TResultsModel* model_;
    QListView* view_;
    QLabel* title_;
    QToolButton* stop_;
    QToolButton* clear_;
};

} // namespace kvx
