// The about box (System > About): the product name, the version of this build, a notice,
// and two links, the author's mail address and the home page, opened by the desktop.
#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>

class QLabel;
class QPushButton;

namespace kvx {

class TAboutBox : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kHelpContext = 2000;

    explicit TAboutBox(QWidget* parent = nullptr);

    // How a link is opened; QDesktopServices::openUrl unless a test puts its own here.
    void SetUrlOpener(std::function<bool(const QUrl&)> open) { open_ = std::move(open); }

    QLabel* VersionLabel() const { return label1_; }
    QPushButton* MailButton() const { return mail_; }
    QPushButton* WebButton() const { return web_; }
    QLabel* ProgramIcon() const { return icon_; }

  signals:
    // F1: the main window opens the help at this context.
    void helpRequested(int context);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OpenMail();
    void OpenWeb();

    std::function<bool(const QUrl&)> open_;
    QLabel* icon_;
    QLabel* label1_;
    QPushButton* mail_;
    QPushButton* web_;
};

} // namespace kvx
