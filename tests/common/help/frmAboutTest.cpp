// SPDX-License-Identifier: GPL-3.0-or-later
// The about box: captions and labels in both languages, the address line, keys.
#include "frmAbout.h"
#include "HelpExpectations.h"
#include "HelpViewer.h"
#include "modHelpConst.h"
#include "modHvnIPAddress.h"
#include "modHvnRegistry.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QString Text(const frmAbout& box, const char* name) {
    const auto* label = box.findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QStringLiteral("<missing %1>").arg(name);
}

AboutInfo WithAddress(AboutInfo info, QString address) {
    info.localAddress = [address] { return address; };
    return info;
}

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override { g_strLanguage = QStringLiteral("English"); }
    void TearDown() override {
        ShowHelp(QString(), HH_CLOSE_ALL, 0, QString());
        g_strLanguage = QStringLiteral("English");
    }
};

TEST(FormatVersion, MinorHasAtLeastTwoDigits) {
    EXPECT_EQ(FormatVersion(1, 0), "Version 1.00");
    EXPECT_EQ(FormatVersion(1, 5), "Version 1.05");
    EXPECT_EQ(FormatVersion(1, 12), "Version 1.12");
    EXPECT_EQ(FormatVersion(2, 123), "Version 2.123");
}

TEST_F(AboutTest, HostBoxInEnglish) {
    frmAbout box(WithAddress(HostAboutInfo(HelpFilePath("TESSORAH")), "192.168.0.10"));
    box.show();
    EXPECT_EQ(box.objectName(), "frmAbout");
    EXPECT_EQ(box.windowTitle(), "About TESSORA-H");
    EXPECT_EQ(Text(box, "lblModelName"), "TESSORA-H VoIP Program (for Host Station)");
    EXPECT_EQ(Text(box, "lblVersion"), "Version 1.00");
    EXPECT_EQ(Text(box, "lblIpAddress"), "IP Address: 192.168.0.10");
    EXPECT_FALSE(Text(box, "lblCopyright").isEmpty());
    EXPECT_FALSE(Text(box, "lblTavrino").isEmpty());
    auto* ok = box.findChild<QPushButton*>("btnOk");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "&OK");
    EXPECT_EQ(ok->toolTip(), "OK");
    EXPECT_TRUE(ok->isDefault());
    auto* line = box.findChild<QFrame*>("linLine");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->frameShape(), QFrame::HLine);
    // The pictures come from the program's own resources.
    for (const char* name : {"imgIcon", "imgHalvornLogo"}) {
        const auto* picture = box.findChild<QLabel*>(name);
        ASSERT_NE(picture, nullptr) << name;
        EXPECT_FALSE(picture->pixmap().isNull()) << name;
    }
}

TEST_F(AboutTest, HostBoxInJapanese) {
    g_strLanguage = QStringLiteral("Japanese");
    frmAbout box(WithAddress(HostAboutInfo(HelpFilePath("TESSORAH")), "10.0.0.7"));
    box.show();
    EXPECT_EQ(box.windowTitle(), QStringLiteral("TESSORA-Hについて"));
    // The model line is the same in both languages.
    EXPECT_EQ(Text(box, "lblModelName"), "TESSORA-H VoIP Program (for Host Station)");
    EXPECT_EQ(Text(box, "lblVersion"), "Version 1.00");
    EXPECT_EQ(Text(box, "lblIpAddress"), QStringLiteral("IPアドレス: 10.0.0.7"));
    auto* ok = box.findChild<QPushButton*>("btnOk");
    EXPECT_EQ(ok->text(), QStringLiteral("OK(&O)"));
    EXPECT_EQ(ok->toolTip(), "OK");
}

TEST_F(AboutTest, RemoteBoxInBothLanguages) {
    frmAbout english(WithAddress(RemoteAboutInfo(HelpFilePath("TESSORAR")), "172.16.0.2"));
    english.show();
    EXPECT_EQ(english.windowTitle(), "About TESSORA-R");
    EXPECT_EQ(Text(english, "lblModelName"), "TESSORA-R VoIP Program (for Remote Station)");
    EXPECT_EQ(Text(english, "lblIpAddress"), "IP Address: 172.16.0.2");

    g_strLanguage = QStringLiteral("Japanese");
    frmAbout japanese(
        WithAddress(RemoteAboutInfo(HelpFilePath("TESSORAR")), QStringLiteral("不明")));
    japanese.show();
    EXPECT_EQ(japanese.windowTitle(), QStringLiteral("TESSORA-Rについて"));
    EXPECT_EQ(Text(japanese, "lblModelName"), "TESSORA-R VoIP Program (for Remote Station)");
    EXPECT_EQ(Text(japanese, "lblIpAddress"), QStringLiteral("IPアドレス: 不明"));
}

TEST_F(AboutTest, AddressIsLookedUpAgainEachTimeTheBoxOpens) {
    int lookups = 0;
    AboutInfo info = HostAboutInfo(HelpFilePath("TESSORAH"));
    info.localAddress = [&lookups] { return QStringLiteral("10.0.0.%1").arg(++lookups); };
    frmAbout box(info);
    box.show();
    EXPECT_EQ(Text(box, "lblIpAddress"), "IP Address: 10.0.0.1");
    box.hide();
    box.show();
    EXPECT_EQ(Text(box, "lblIpAddress"), "IP Address: 10.0.0.2");
    // A new box, as the menu makes each time, looks up once more.
    frmAbout second(info);
    second.show();
    EXPECT_EQ(Text(second, "lblIpAddress"), "IP Address: 10.0.0.3");
    EXPECT_EQ(lookups, 3);
}

TEST_F(AboutTest, WithoutASeamTheBoxShowsTheMachinesAddress) {
    frmAbout box(HostAboutInfo(HelpFilePath("TESSORAH")));
    box.show();
    EXPECT_EQ(Text(box, "lblIpAddress"), "IP Address: " + GetLocalIPAddress());
}

TEST_F(AboutTest, IPv6LineOnlyWhereTheComputerHasAGlobalAddress) {
    g_strLanguage = QStringLiteral("Japanese");
    for (const QString& ipv6 : {QStringLiteral("2001:db8::5"), QString()}) {
        AboutInfo info = WithAddress(HostAboutInfo(HelpFilePath("TESSORAH")), "10.0.0.7");
        info.globalIpv6Address = [ipv6] { return ipv6; };
        frmAbout box(info);
        box.show();
        EXPECT_EQ(box.findChild<QLabel*>("lblIpv6Address")->isVisible(), !ipv6.isEmpty());
        EXPECT_EQ(Text(box, "lblIpv6Address"),
                  ipv6.isEmpty() ? QString() : QStringLiteral("IPv6アドレス: ") + ipv6);
    }
}

TEST_F(AboutTest, EnterAndEscCloseTheBox) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        frmAbout box(WithAddress(RemoteAboutInfo(HelpFilePath("TESSORAR")), "10.0.0.1"));
        box.show();
        box.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
        QTest::keyClick(&box, key);
        EXPECT_FALSE(box.isVisible()) << key;
    }
}

TEST_F(AboutTest, F1OpensTheAboutTopicOfEachProgram) {
    for (const bool host : {true, false}) {
        const QString helpFile = HelpFilePath(host ? "TESSORAH" : "TESSORAR");
        const AboutInfo info = host ? HostAboutInfo(helpFile) : RemoteAboutInfo(helpFile);
        EXPECT_EQ(info.helpContext, host ? 2017 : 2014);
        frmAbout box(WithAddress(info, "10.0.0.1"));
        box.show();
        box.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
        QTest::keyClick(&box, Qt::Key_F1);
        ASSERT_NE(HelpViewer::Existing(), nullptr);
        EXPECT_EQ(HelpViewer::Existing()->OpenFilePath(), helpFile);
        EXPECT_EQ(HelpViewer::Existing()->CurrentPage(), "/about.html");
        EXPECT_EQ(HelpViewer::Existing()->CurrentTitle(),
                  host ? "About TESSORA-H" : "About TESSORA-R");
    }
}

} // namespace
