// SPDX-License-Identifier: GPL-3.0-or-later
// ShowHelp's commands, the help viewer they drive, and the help file chosen by language.
#include "modHelpConst.h"
#include "HelpExpectations.h"
#include "HelpViewer.h"
#include "modHvnRegistry.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

namespace {

QString HostEnglish() {
    return AllHelpFiles()[0].Path();
}

HelpViewer* Viewer() {
    return HelpViewer::Existing();
}

int CountViewers() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<HelpViewer*>(w) != nullptr)
            ++count;
    return count;
}

class ShowHelpTest : public ::testing::Test {
protected:
    void SetUp() override { g_strLanguage = QStringLiteral("English"); }
    void TearDown() override {
        ShowHelp(QString(), HH_CLOSE_ALL, 0, QString());
        g_strLanguage = QStringLiteral("English");
    }
};

TEST_F(ShowHelpTest, ContentsCommandShowsTheContentsPage) {
    for (const ExpectedHelpFile& file : AllHelpFiles()) {
        EXPECT_EQ(ShowHelp(file.Path(), HH_DISPLAY_TOC, 0, QString()), 1);
        ASSERT_NE(Viewer(), nullptr);
        EXPECT_TRUE(Viewer()->isVisible());
        EXPECT_EQ(Viewer()->OpenFilePath(), file.Path());
        EXPECT_EQ(Viewer()->CurrentPage(), "/overview.html");
        EXPECT_EQ(Viewer()->CurrentTitle(), file.title);
        EXPECT_EQ(Viewer()->windowTitle(), file.title);
        EXPECT_EQ(Viewer()->findChild<QTabWidget*>("tabNavigation")->currentIndex(), 0);
    }
}

TEST_F(ShowHelpTest, ContextCommandOpensEachWindowsTopic) {
    for (const ExpectedHelpFile& file : AllHelpFiles()) {
        for (const ExpectedTopic& topic : file.topics) {
            SCOPED_TRACE(file.Path().toStdString() + " " + std::to_string(topic.context));
            EXPECT_EQ(ShowHelp(file.Path(), HH_HELP_CONTEXT, topic.context, QString()), 1);
            EXPECT_EQ(Viewer()->CurrentPage(), topic.page);
            EXPECT_EQ(Viewer()->CurrentTitle(),
                      file.Japanese() ? topic.japaneseTitle : topic.englishTitle);
            EXPECT_TRUE(Viewer()->CurrentMessage().isEmpty());
            // The contents follow the page.
            const QTreeWidgetItem* item =
                Viewer()->findChild<QTreeWidget*>("tvwContents")->currentItem();
            ASSERT_NE(item, nullptr);
            EXPECT_EQ("/" + item->data(0, Qt::UserRole).toString(), topic.page);
        }
    }
}

TEST_F(ShowHelpTest, ContextNumberOfTheOtherProgramIsReportedNotShown) {
    ASSERT_EQ(ShowHelp(HostEnglish(), HH_HELP_CONTEXT, 2015, QString()), 1);
    // 2012 is the remote's Setup window; the host's file has no such topic.
    EXPECT_EQ(ShowHelp(HostEnglish(), HH_HELP_CONTEXT, 2012, QString()), 0);
    EXPECT_TRUE(Viewer()->isVisible());
    EXPECT_TRUE(Viewer()->CurrentPage().isEmpty());
    EXPECT_TRUE(Viewer()->CurrentMessage().contains("2012"));
    // The same topic as before the message comes back when asked for again.
    EXPECT_EQ(ShowHelp(HostEnglish(), HH_HELP_CONTEXT, 2015, QString()), 1);
    EXPECT_EQ(Viewer()->CurrentPage(), "/setup.html");
    EXPECT_EQ(Viewer()->CurrentTitle(), "Setup");
}

TEST_F(ShowHelpTest, IndexCommandLooksUpTheKeyword) {
    ASSERT_EQ(ShowHelp(HostEnglish(), HH_HELP_CONTEXT, 2017, QString()), 1);
    EXPECT_EQ(ShowHelp(HostEnglish(), HH_DISPLAY_INDEX, 0, "listen port number"), 1);
    auto* tabs = Viewer()->findChild<QTabWidget*>("tabNavigation");
    auto* keyword = Viewer()->findChild<QLineEdit*>("txtKeyword");
    auto* keywords = Viewer()->findChild<QListWidget*>("lstKeywords");
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(keyword->text(), "listen port number");
    ASSERT_NE(keywords->currentItem(), nullptr);
    EXPECT_EQ(keywords->currentItem()->text(), "Listen Port Number");
    // A whole keyword opens its topic at once.
    EXPECT_EQ(Viewer()->CurrentPage(), "/main_window.html");

    // The start of a keyword only selects it; the page stays.
    ASSERT_EQ(ShowHelp(HostEnglish(), HH_HELP_CONTEXT, 2017, QString()), 1);
    EXPECT_EQ(ShowHelp(HostEnglish(), HH_DISPLAY_INDEX, 0, "Retype"), 1);
    EXPECT_EQ(keywords->currentItem()->text(), "Retype Password");
    EXPECT_EQ(Viewer()->CurrentPage(), "/about.html");

    const ExpectedHelpFile japanese = AllHelpFiles()[1];
    EXPECT_EQ(
        ShowHelp(japanese.Path(), HH_DISPLAY_INDEX, 0, QStringLiteral("リッスン・ポート番号")), 1);
    EXPECT_EQ(Viewer()->CurrentPage(), "/main_window.html");
}

TEST_F(ShowHelpTest, CloseAllHidesTheViewerAndOtherCommandsDoNothing) {
    ASSERT_EQ(ShowHelp(HostEnglish(), HH_HELP_CONTEXT, 1001, QString()), 1);
    HelpViewer* viewer = Viewer();
    EXPECT_EQ(ShowHelp(HostEnglish(), HH_CLOSE_ALL, 0, QString()), 0);
    EXPECT_FALSE(viewer->isVisible());

    for (const qint32 command : {0, 3, 14, 16, 17, 19, -1, 0x7fffffff}) {
        EXPECT_EQ(ShowHelp(HostEnglish(), command, 2015, "Setup"), 0) << command;
        EXPECT_FALSE(viewer->isVisible()) << command;
        EXPECT_EQ(viewer->CurrentPage(), "/main_window.html") << command;
    }
    // The one viewer is reused, never a second one made.
    ASSERT_EQ(ShowHelp(HostEnglish(), HH_DISPLAY_TOC, 0, QString()), 1);
    EXPECT_EQ(Viewer(), viewer);
    EXPECT_EQ(CountViewers(), 1);
}

TEST_F(ShowHelpTest, MissingOrDamagedFileIsReportedInTheViewer) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("TESSORAH(English).qhc"));
    for (const qint32 command : {HH_DISPLAY_TOC, HH_DISPLAY_INDEX, HH_HELP_CONTEXT}) {
        EXPECT_EQ(ShowHelp(missing, command, 1001, "Online"), 0) << command;
        EXPECT_TRUE(Viewer()->isVisible());
        EXPECT_TRUE(Viewer()->CurrentPage().isEmpty());
        EXPECT_TRUE(Viewer()->OpenFilePath().isEmpty());
        EXPECT_TRUE(Viewer()->CurrentMessage().contains(missing)) << command;
    }
    EXPECT_EQ(ShowHelp(missing, HH_CLOSE_ALL, 0, QString()), 0);
    EXPECT_FALSE(Viewer()->isVisible());

    QFile damaged(dir.filePath(QStringLiteral("TESSORAR(English).qhc")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(4096, 'x'));
    damaged.close();
    EXPECT_EQ(ShowHelp(damaged.fileName(), HH_HELP_CONTEXT, 1001, QString()), 0);
    EXPECT_TRUE(Viewer()->CurrentMessage().contains(damaged.fileName()));

    // A good file afterwards is shown as usual.
    EXPECT_EQ(ShowHelp(HostEnglish(), HH_HELP_CONTEXT, 2016, QString()), 1);
    EXPECT_EQ(Viewer()->CurrentPage(), "/detailed_setup.html");
}

TEST_F(ShowHelpTest, HelpFromAModalDialogCanBeUsed) {
    auto dialog = std::make_unique<QDialog>();
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
    ASSERT_EQ(QApplication::activeModalWidget(), dialog.get());
    ASSERT_EQ(ShowHelp(HostEnglish(), HH_DISPLAY_INDEX, 0, QString()), 1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Viewer()));
    // The dialog blocks every window but its own transient children.
    ASSERT_NE(Viewer()->windowHandle(), nullptr);
    EXPECT_EQ(Viewer()->windowHandle()->transientParent(), dialog->windowHandle());

    // Typed keys reach the viewer through the window system, as the user's do.
    auto* keyword = Viewer()->findChild<QLineEdit*>("txtKeyword");
    Viewer()->activateWindow();
    keyword->setFocus();
    QTest::keyClick(Viewer()->windowHandle(), Qt::Key_O);
    EXPECT_EQ(keyword->text(), "o");

    // The viewer outlives the dialog it was attached to, and stays usable.
    dialog.reset();
    EXPECT_TRUE(Viewer()->isVisible());
    QTest::keyClick(Viewer()->windowHandle(), Qt::Key_K);
    EXPECT_EQ(keyword->text(), "ok");
}

// The language setting, as the installation writes it, picks the file.
class HelpLanguageTest : public ShowHelpTest {
protected:
    void SetLanguageValue(const QByteArray& conf) {
        ASSERT_TRUE(m_dir.isValid());
        QDir(m_dir.path()).mkpath(QStringLiteral("HALVORN Corporation"));
        QFile file(m_dir.filePath(QStringLiteral("HALVORN Corporation/TESSORA.conf")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(conf);
        file.close();
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(m_dir.path()));
        ReadLanguageSetting();
    }
    void TearDown() override {
        qunsetenv("XDG_CONFIG_DIRS");
        ShowHelpTest::TearDown();
    }
    QTemporaryDir m_dir;
};

TEST_F(HelpLanguageTest, JapaneseSettingPicksTheJapaneseFile) {
    SetLanguageValue("[General]\nLanguage=Japanese\n");
    ASSERT_EQ(g_strLanguage, "Japanese");
    const QString dir = QCoreApplication::applicationDirPath();
    EXPECT_EQ(HelpFilePath("TESSORAH"), QDir(dir).filePath("TESSORAH(Japanese).qhc"));
    EXPECT_EQ(HelpFilePath("TESSORAR"), QDir(dir).filePath("TESSORAR(Japanese).qhc"));
    // The help menu's command opens that file: its pages are the Japanese ones.
    EXPECT_EQ(ShowHelp(HelpFilePath("TESSORAR"), HH_DISPLAY_TOC, 0, QString()), 1);
    EXPECT_EQ(Viewer()->windowTitle(), QStringLiteral("TESSORA-R ヘルプ"));
    EXPECT_EQ(Viewer()->findChild<QTabWidget*>("tabNavigation")->tabText(0),
              QStringLiteral("目次(&C)"));
}

TEST_F(HelpLanguageTest, AnyOtherSettingPicksTheEnglishFile) {
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QByteArray& conf :
         {QByteArray("[General]\nLanguage=English\n"), QByteArray("[General]\nLanguage=japanese\n"),
          QByteArray("[General]\nLanguage=\" Japanese\"\n"), QByteArray("[General]\n")}) {
        SetLanguageValue(conf);
        EXPECT_EQ(HelpFilePath("TESSORAH"), QDir(dir).filePath("TESSORAH(English).qhc"))
            << conf.constData();
        EXPECT_EQ(HelpFilePath("TESSORAR"), QDir(dir).filePath("TESSORAR(English).qhc"))
            << conf.constData();
    }
    EXPECT_EQ(ShowHelp(HelpFilePath("TESSORAH"), HH_DISPLAY_TOC, 0, QString()), 1);
    EXPECT_EQ(Viewer()->windowTitle(), "TESSORA-H Help");
}

TEST_F(ShowHelpTest, F1OpensTheTopicGivenToTheWindow) {
    QWidget window;
    SetHelpContext(&window, HostEnglish(), 2015);
    // Setting it again changes the topic; one shortcut serves both.
    SetHelpContext(&window, HostEnglish(), 2016);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_F1);
    ASSERT_NE(Viewer(), nullptr);
    EXPECT_TRUE(Viewer()->isVisible());
    EXPECT_EQ(Viewer()->CurrentPage(), "/detailed_setup.html");
}

} // namespace
