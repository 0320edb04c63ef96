#include "AboutBox.h"

#include "AppInfo.h"
#include "app/core/ShellStrings.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>

namespace kvx {
namespace {

// The addresses shown by the two link buttons.
constexpr const char* kAuthorMail = "kovex@example.org";
constexpr const char* kHomePage = "https://kovex.example.org/";
constexpr const char* kNotice = "A source editor for assembler, C, Pascal, Basic and HTML.";

// The product name as the box has always shown it: large, bold, italic and underlined
// purple letters with an aqua shadow to the lower right.
class TShadowLabel : public QWidget {
  public:
    explicit TShadowLabel(const QString& text, QWidget* parent = nullptr)
        : QWidget(parent), text_(text) {
        QFont f = font();
        f.setPointSizeF(f.pointSizeF() * 2.2);
        f.setBold(true);
        f.setItalic(true);
        f.setUnderline(true);
        setFont(f);
        setAccessibleName(text);
    }
    QSize sizeHint() const override {
        const QFontMetrics fm(font());
        return {fm.horizontalAdvance(text_) + kShadow + fm.averageCharWidth(),
                fm.height() + kShadow};
    }
    QString Text() const { return text_; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const int baseline = QFontMetrics(font()).ascent();
        p.setPen(QColor(0x00, 0xFF, 0xFF)); // aqua
        p.drawText(kShadow, baseline + kShadow, text_);
        p.setPen(QColor(0x80, 0x00, 0x80)); // purple
        p.drawText(0, baseline, text_);
    }

  private:
    static constexpr int kShadow = 2;
    QString text_;
};

// A button that looks like a link: flat, pointing-hand cursor.
QPushButton* LinkButton(const QString& text, const QString& hint) {
    auto* b = new QPushButton(text);
    b->setFlat(true);
    b->setToolTip(hint);
    b->setStatusTip(hint);
    b->setCursor(Qt::PointingHandCursor);
    b->setAutoDefault(false);
    QFont f = b->font();
    f.setUnderline(true);
    b->setFont(f);
    QPalette pal = b->palette();
    pal.setColor(QPalette::ButtonText, pal.color(QPalette::Link));
    b->setPalette(pal);
    return b;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    open_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

    auto* panel = new QFrame;
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);

    icon_ = new QLabel;
    icon_->setObjectName(QStringLiteral("ProgramIcon"));
    QIcon appIcon = QApplication::windowIcon();
    if (appIcon.isNull())
        appIcon = style()->standardIcon(QStyle::SP_FileDialogDetailedView);
    icon_->setPixmap(appIcon.pixmap(48, 48));
    icon_->setToolTip(QString::fromUtf8(kHomePage));
    icon_->installEventFilter(this);

    auto* product = new TShadowLabel(QString::fromUtf8(kProductName));
    product->setObjectName(QStringLiteral("RxLabel1"));

    auto* version = new QLabel(QStringLiteral("Version"));
    label1_ = new QLabel(VersionText());
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* notice = new QLabel(QString::fromUtf8(kNotice));
    notice->setWordWrap(true);
    mail_ = LinkButton(QString::fromUtf8(kAuthorMail), QStringLiteral("Send Mail"));
    mail_->setObjectName(QStringLiteral("RxSpeedButton1"));
    auto* seeAlso = new QLabel(QStringLiteral("See also full KOVEX version at:"));
    web_ = LinkButton(QString::fromUtf8(kHomePage), QStringLiteral("Goto my home page"));
    web_->setObjectName(QStringLiteral("RxSpeedButton2"));

    auto* grid = new QGridLayout(panel);
    grid->addWidget(icon_, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(product, 0, 1, 1, 2);
    grid->addWidget(version, 1, 1);
    grid->addWidget(label1_, 1, 2);
    grid->addWidget(notice, 2, 1, 1, 2);
    grid->addWidget(mail_, 3, 1, 1, 2, Qt::AlignLeft);
    grid->addWidget(seeAlso, 4, 1, 1, 2);
    grid->addWidget(web_, 5, 1, 1, 2, Qt::AlignLeft);
    grid->setColumnStretch(2, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("OKButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize); // a fixed dialog border
    ok->setDefault(true); // only now that it is inside the dialog does this take

    connect(mail_, &QPushButton::clicked, this, &TAboutBox::OpenMail);
    connect(web_, &QPushButton::clicked, this, &TAboutBox::OpenWeb);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { emit helpRequested(kHelpContext); });
    ok->setFocus();
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == icon_ && event->type() == QEvent::MouseButtonDblClick) {
        OpenWeb();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::OpenMail() {
    // The old form put a space after "mailto:"; a URL may not hold one there.
    open_(QUrl(QStringLiteral("mailto:") + mail_->text()));
}

void TAboutBox::OpenWeb() {
    open_(QUrl(web_->text()));
}

} // namespace kvx
