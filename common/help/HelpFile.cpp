// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a compiled help collection: its pages, contents, index and context map.
#include "HelpFile.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QHelpContentModel>
#include <QHelpEngine>
#include <QHelpIndexModel>
#include <QHelpLink>
#include <QTimer>

#include <functional>

namespace {

// The engine builds contents and index on a thread of its own and hands them
// to the model through this thread's event loop, also when the thread has
// finished already; a damaged collection must not keep the viewer waiting.
constexpr int kModelWaitMs = 5000;

template <typename Model, typename Signal>
void WaitFor(Model* model, Signal done) {
    QEventLoop loop;
    QObject::connect(model, done, &loop, &QEventLoop::quit);
    QTimer::singleShot(kModelWaitMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void AddContents(const QHelpContentItem* item, int level, QList<HelpEntry>& out,
                 const std::function<QString(const QUrl&)>& pageOf) {
    out.append({item->title(), pageOf(item->url()), level});
    for (int i = 0; i < item->childCount(); ++i)
        AddContents(item->child(i), level + 1, out, pageOf);
}

} // namespace

std::unique_ptr<HelpFile> HelpFile::Open(const QString& path) {
    if (!QFileInfo(path).isFile())
        return nullptr;
    std::unique_ptr<HelpFile> file(new HelpFile);
    file->m_path = path;
    if (!file->Load())
        return nullptr;
    return file;
}

HelpFile::~HelpFile() = default;

bool HelpFile::Load() {
    m_engine = std::make_unique<QHelpEngine>(m_path);
    m_engine->setReadOnly(true);
    if (!m_engine->setupData())
        return false;
    const QStringList namespaces = m_engine->registeredDocumentations();
    if (namespaces.size() != 1)
        return false;
    m_namespace = namespaces.front();
    // Every page lives under the documentation's one virtual folder.
    const QList<QUrl> files = m_engine->files(m_namespace, QStringList());
    if (files.isEmpty())
        return false;
    m_folder = files.front().path().section(QLatin1Char('/'), 1, 1);

    // Entries name their pages as the sources do, relative: "main.html#x".
    const auto pageOf = [this](const QUrl& url) { return PageOf(url).mid(1); };
    QHelpContentModel* contents = m_engine->contentModel();
    contents->createContents(QString());
    WaitFor(contents, &QHelpContentModel::contentsCreated);
    for (int row = 0; row < contents->rowCount(); ++row)
        if (const QHelpContentItem* item = contents->contentItemAt(contents->index(row, 0)))
            AddContents(item, 0, m_contents, pageOf);

    QHelpIndexModel* index = m_engine->indexModel();
    index->createIndex(QString());
    WaitFor(index, &QHelpIndexModel::indexCreated);
    for (const QString& keyword : index->stringList()) {
        const QList<QHelpLink> links = m_engine->documentsForKeyword(keyword);
        if (!links.isEmpty())
            m_index.append({keyword, pageOf(links.front().url), 0});
    }

    if (!m_contents.isEmpty()) {
        m_title = m_contents.front().name;
        m_defaultTopic = QLatin1Char('/') + m_contents.front().local;
    }
    return !m_defaultTopic.isEmpty();
}

QUrl HelpFile::EngineUrl(const QString& page) const {
    // "x.html#y" taken as a reference relative to the documentation's folder;
    // resolving removes "../", so that PageOf() refuses what would leave it.
    QUrl folder;
    folder.setScheme(QStringLiteral("qthelp"));
    folder.setHost(m_namespace);
    folder.setPath(QLatin1Char('/') + m_folder + QLatin1Char('/'));
    return folder.resolved(QUrl(page.startsWith(QLatin1Char('/')) ? page.mid(1) : page));
}

QString HelpFile::PageOf(const QUrl& url) const {
    const QString prefix = QLatin1Char('/') + m_folder;
    if (url.scheme() != QLatin1String("qthelp") ||
        url.host().compare(m_namespace, Qt::CaseInsensitive) != 0 ||
        !url.path().startsWith(prefix + QLatin1Char('/')))
        return QString();
    QString page = url.path().mid(prefix.size());
    if (url.hasFragment())
        page += QLatin1Char('#') + url.fragment();
    return page;
}

bool HelpFile::Contains(const QString& page) const {
    return !Read(page).isEmpty();
}

QByteArray HelpFile::Read(const QString& page) const {
    const QUrl url = EngineUrl(page);
    if (PageOf(url).isEmpty())
        return {}; // not a page of this documentation
    return m_engine->fileData(url.adjusted(QUrl::RemoveFragment));
}

QString HelpFile::TopicOfContext(qint32 contextNumber) const {
    const QList<QHelpLink> links =
        m_engine->documentsForIdentifier(QStringLiteral("context.%1").arg(contextNumber));
    return links.isEmpty() ? QString() : PageOf(links.front().url);
}

QStringList HelpFile::Pages() const {
    QStringList pages;
    for (const QUrl& url : m_engine->files(m_namespace, QStringList()))
        pages.append(PageOf(url));
    return pages;
}
