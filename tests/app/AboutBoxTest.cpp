#include "app/AboutBox.h"
#include "app/AppInfo.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace kvx {
namespace {

TEST(AboutBox, ShowsTheBuildVersion) {
    SetApplicationInfo();
    EXPECT_EQ(QCoreApplication::applicationVersion(), QStringLiteral(KVX_VERSION));
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), "About");
    EXPECT_EQ(box.VersionLabel()->text(), QStringLiteral(KVX_VERSION));
    EXPECT_FALSE(box.VersionLabel()->text().isEmpty());

    QCoreApplication::setApplicationVersion(QString());
    TAboutBox unknown;
    EXPECT_EQ(unknown.VersionLabel()->text(), "?");
    SetApplicationInfo();
}

TEST(AboutBox, LinksGoThroughTheDesktop) {
    TAboutBox box;
    std::vector<QUrl> opened;
    box.SetUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_EQ(box.MailButton()->toolTip(), "Send Mail");
    EXPECT_EQ(box.WebButton()->toolTip(), "Goto my home page");
    QTest::mouseClick(box.MailButton(), Qt::LeftButton);
    QTest::mouseClick(box.WebButton(), Qt::LeftButton);
    QTest::mouseDClick(box.ProgramIcon(), Qt::LeftButton);
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0].scheme(), "mailto");
    EXPECT_EQ(opened[0].toString(), "mailto:" + box.MailButton()->text()); // no blank after ":"
    EXPECT_EQ(opened[1], QUrl(box.WebButton()->text()));
    EXPECT_EQ(opened[2], opened[1]);
    EXPECT_TRUE(opened[1].isValid());

    QSignalSpy help(&box, &TAboutBox::helpRequested);
    QTest::keyClick(&box, Qt::Key_F1);
    ASSERT_EQ(help.count(), 1);
    EXPECT_EQ(help.at(0).at(0).toInt(), 2000);

    // Enter is OK, and OK closes the box.
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

} // namespace
} // namespace kvx
