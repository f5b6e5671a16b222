// SPDX-License-Identifier: GPL-3.0-or-later
// The built help files: context map, contents, index, links and language.
#include "HelpBrowser.h"
#include "HelpFile.h"
#include "HelpExpectations.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QString PageText(const HelpFile& file, const QString& page) {
    return QStringDecoder(QStringDecoder::Utf8)(file.Read(page));
}

QString PageTitle(const QString& html) {
    static const QRegularExpression title(QStringLiteral("<title>([^<]*)</title>"),
                                          QRegularExpression::CaseInsensitiveOption);
    return title.match(html).captured(1).trimmed();
}

bool HasJapanese(const QString& text) {
    for (const QChar c : text)
        if ((c.unicode() >= 0x3040 && c.unicode() <= 0x30FF) ||
            (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF))
            return true;
    return false;
}

// "page.html#name" exists and, when it names an anchor, the page holds it.
void ExpectTarget(const HelpFile& file, const QString& from, const QString& target) {
    const QString page = target.section(QLatin1Char('#'), 0, 0);
    const QString anchor = target.section(QLatin1Char('#'), 1);
    const QString resolved = page.isEmpty() ? from : page;
    ASSERT_TRUE(file.Contains(resolved)) << file.Path().toStdString() << ": " << from.toStdString()
                                         << " -> " << target.toStdString();
    if (!anchor.isEmpty()) {
        EXPECT_TRUE(PageText(file, resolved).contains(QStringLiteral("name=\"%1\"").arg(anchor)))
            << file.Path().toStdString() << ": no anchor " << target.toStdString();
    }
}

class HelpFileTest : public ::testing::TestWithParam<ExpectedHelpFile> {};

TEST_P(HelpFileTest, OpensWithTitleAndContentsPage) {
    const ExpectedHelpFile& expected = GetParam();
    const auto file = HelpFile::Open(expected.Path());
    ASSERT_NE(file, nullptr) << expected.Path().toStdString();
    EXPECT_EQ(file->Title(), expected.title);
    EXPECT_TRUE(file->Contains(file->DefaultTopic())) << file->DefaultTopic().toStdString();
    EXPECT_FALSE(file->Contents().isEmpty());
    EXPECT_FALSE(file->Index().isEmpty());
    EXPECT_EQ(file->Contents().first().level, 0);
}

TEST_P(HelpFileTest, EveryContextNumberOpensTheTopicOfItsWindow) {
    const ExpectedHelpFile& expected = GetParam();
    const auto file = HelpFile::Open(expected.Path());
    ASSERT_NE(file, nullptr);
    QSet<qint32> wanted;
    for (const ExpectedTopic& topic : expected.topics) {
        wanted.insert(topic.context);
        const QString page = file->TopicOfContext(topic.context);
        EXPECT_EQ(page, topic.page) << "context " << topic.context;
        const QString html = PageText(*file, page);
        ASSERT_FALSE(html.isEmpty()) << "context " << topic.context;
        EXPECT_EQ(PageTitle(html), expected.Japanese() ? topic.japaneseTitle : topic.englishTitle)
            << "context " << topic.context;
    }
    // Nothing else is mapped: no context number of the other program slipped in.
    for (const qint32 other : {0, 2012, 2013, 2014, 2015, 2016, 2017, 2018})
        EXPECT_EQ(file->TopicOfContext(other).isEmpty(), !wanted.contains(other)) << other;
}

TEST_P(HelpFileTest, ContentsIndexAndLinksLeadToPagesOfTheFile) {
    const ExpectedHelpFile& expected = GetParam();
    const auto file = HelpFile::Open(expected.Path());
    ASSERT_NE(file, nullptr);
    for (const HelpEntry& entry : file->Contents())
        ExpectTarget(*file, QStringLiteral("contents"), entry.local);
    for (const HelpEntry& entry : file->Index())
        ExpectTarget(*file, QStringLiteral("index"), entry.local);

    static const QRegularExpression link(QStringLiteral("<a\\s+href=\"([^\"]+)\""),
                                         QRegularExpression::CaseInsensitiveOption);
    int pages = 0;
    for (const QString& page : file->Pages()) {
        if (!page.endsWith(QLatin1String(".html")))
            continue;
        ++pages;
        const QString html = PageText(*file, page);
        EXPECT_FALSE(PageTitle(html).isEmpty()) << page.toStdString();
        auto it = link.globalMatch(html);
        while (it.hasNext()) {
            const QString target = it.next().captured(1);
            if (!target.contains(QLatin1String("://")))
                ExpectTarget(*file, page, target);
        }
    }
    EXPECT_GE(pages, 6);
}

TEST_P(HelpFileTest, PagesAreWrittenInTheFilesLanguage) {
    const ExpectedHelpFile& expected = GetParam();
    const auto file = HelpFile::Open(expected.Path());
    ASSERT_NE(file, nullptr);
    for (const QString& page : file->Pages()) {
        if (!page.endsWith(QLatin1String(".html")))
            continue;
        // Body text, not the markup, decides.
        QString text = PageText(*file, page);
        text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
        EXPECT_EQ(HasJapanese(text), expected.Japanese()) << page.toStdString();
    }
    for (const HelpEntry& entry : file->Contents())
        EXPECT_EQ(HasJapanese(entry.name), expected.Japanese()) << entry.name.toStdString();
}

INSTANTIATE_TEST_SUITE_P(AllFour, HelpFileTest, ::testing::ValuesIn(AllHelpFiles()),
                         [](const ::testing::TestParamInfo<ExpectedHelpFile>& info) {
                             return (info.param.program + info.param.language).toStdString();
                         });

TEST(HelpFileOpen, RefusesWhatIsNotAHelpFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(HelpFile::Open(dir.filePath(QStringLiteral("missing.chm"))), nullptr);
    EXPECT_EQ(HelpFile::Open(dir.path()), nullptr);

    QFile text(dir.filePath(QStringLiteral("text.chm")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("<html><body>not compiled</body></html>\n");
    text.close();
    EXPECT_EQ(HelpFile::Open(text.fileName()), nullptr);

    // A file cut short after its header.
    QFile whole(AllHelpFiles().front().Path());
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    QFile cut(dir.filePath(QStringLiteral("cut.chm")));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(whole.read(200));
    cut.close();
    EXPECT_EQ(HelpFile::Open(cut.fileName()), nullptr);
}

TEST(HelpBrowserTest, LoadsNothingButThePagesOfItsCollection) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo"), fifoUrl = QUrl::fromLocalFile(fifo).toString();
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const auto file = HelpFile::Open(AllHelpFiles().front().Path());
    HelpBrowser browser;
    browser.SetHelpFile(file.get());
    // Opening a FIFO waits for a writer: were it loaded, this would hang.
    browser.setHtml(QStringLiteral("<img src=\"%1\"><img src=\"%2\">").arg(fifoUrl, fifo));
    for (const QString& url : {fifoUrl, QStringLiteral("http://127.0.0.1/x.png"),
                               QStringLiteral("qthelp://com.halvorn.tessora.host.english/help/setup.html"),
                               QStringLiteral("help:/../../../etc/passwd")})
        EXPECT_TRUE(browser.loadResource(QTextDocument::ImageResource, url).toByteArray().isEmpty())
            << url.toStdString();
    EXPECT_TRUE(browser.loadResource(QTextDocument::HtmlResource, QUrl("help:/setup.html"))
                    .toString().contains("<title>Setup</title>"));
}

} // namespace
