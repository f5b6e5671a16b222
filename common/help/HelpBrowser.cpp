// SPDX-License-Identifier: GPL-3.0-or-later
// The page pane of the help viewer: shows the pages of one help collection.
#include "HelpBrowser.h"

#include "HelpFile.h"

#include <QStringDecoder>

namespace {

const QString kScheme = QStringLiteral("help");

QString DecodePage(const QByteArray& bytes) {
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    return decoder(bytes);
}

} // namespace

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent) {
    // Links are followed here: the pages' own scheme is not one Qt knows.
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &HelpBrowser::OpenLink);
}

void HelpBrowser::SetHelpFile(const HelpFile* file) {
    m_file = file;
    clearHistory();
    clear();
    m_stale = true;
}

void HelpBrowser::Open(const QUrl& url) {
    if (m_stale && PageOf(url) == PageOf(source())) {
        // setSource ignores the page it believes it shows already.
        reload();
        if (url.hasFragment())
            scrollToAnchor(url.fragment());
    } else {
        setSource(url);
    }
    m_stale = false;
}

void HelpBrowser::ShowText(const QString& html) {
    setHtml(html);
    m_stale = true;
}

QUrl HelpBrowser::PageUrl(const QString& page) {
    QString path = page;
    QString fragment;
    const qsizetype hash = path.indexOf(QLatin1Char('#'));
    if (hash >= 0) {
        fragment = path.mid(hash + 1);
        path.truncate(hash);
    }
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    QUrl url;
    url.setScheme(kScheme);
    url.setPath(path);
    if (!fragment.isEmpty())
        url.setFragment(fragment);
    return url;
}

QString HelpBrowser::PageOf(const QUrl& url) {
    return url.scheme() == kScheme ? url.path() : QString();
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
    const QString page = PageOf(name.isRelative() ? source().resolved(name) : name);
    if (page.isEmpty() || m_file == nullptr)
        return QVariant();
    const QByteArray data = m_file->Read(page);
    if (type == QTextDocument::ImageResource)
        return data;
    if (data.isEmpty() && type == QTextDocument::HtmlResource)
        return QStringLiteral("<html><body><p>%1</p></body></html>")
            .arg(m_missingPageText.arg(page).toHtmlEscaped());
    return DecodePage(data);
}

void HelpBrowser::OpenLink(const QUrl& link) {
    // Only the collection's own pages are shown; any other address is refused.
    const QUrl url = source().isValid() ? source().resolved(link) : link;
    if (url.scheme() == kScheme)
        setSource(url);
}
