// Reads a compiled HTML help file: its pages, contents, index and context map.
#include "HelpFile.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include <chm_lib.h>

#include <cstring>

namespace {

// No page of ours comes near this; a larger size means a damaged file.
constexpr quint64 kMaxObjectSize = 16u * 1024u * 1024u;

quint32 ReadLe32(const QByteArray& data, qsizetype offset) {
    if (offset < 0 || offset + 4 > data.size())
        return 0;
    const auto* p = reinterpret_cast<const uchar*>(data.constData() + offset);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 ReadLe16(const QByteArray& data, qsizetype offset) {
    if (offset < 0 || offset + 2 > data.size())
        return 0;
    const auto* p = reinterpret_cast<const uchar*>(data.constData() + offset);
    return quint16(p[0] | p[1] << 8);
}

// Text up to the first NUL.
QByteArray CString(const QByteArray& data, qsizetype offset = 0) {
    if (offset < 0 || offset >= data.size())
        return {};
    const qsizetype end = data.indexOf('\0', offset);
    return data.mid(offset, end < 0 ? -1 : end - offset);
}

// Pages are named with forward slashes from the root of the file.
QString NormalisePage(QString page) {
    page.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const qsizetype hash = page.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        page.truncate(hash);
    if (!page.startsWith(QLatin1Char('/')))
        page.prepend(QLatin1Char('/'));
    return page;
}

QString DecodeEntities(QString text) {
    static const QRegularExpression entity(QStringLiteral("&(#x[0-9a-fA-F]+|#[0-9]+|[a-zA-Z]+);"));
    QString out;
    qsizetype last = 0;
    auto it = entity.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(text).mid(last, m.capturedStart() - last);
        const QString name = m.captured(1);
        char32_t code = 0;
        if (name.startsWith(QLatin1String("#x")))
            code = name.mid(2).toUInt(nullptr, 16);
        else if (name.startsWith(QLatin1Char('#')))
            code = name.mid(1).toUInt();
        else if (name == QLatin1String("amp"))
            code = '&';
        else if (name == QLatin1String("lt"))
            code = '<';
        else if (name == QLatin1String("gt"))
            code = '>';
        else if (name == QLatin1String("quot"))
            code = '"';
        else if (name == QLatin1String("apos"))
            code = '\'';
        else if (name == QLatin1String("nbsp"))
            code = 0xA0;
        if (code != 0 && code <= 0x10FFFF)
            out += QString::fromUcs4(&code, 1);
        else
            out += m.captured(0);
        last = m.capturedEnd();
    }
    out += QStringView(text).mid(last);
    return out;
}

// The contents (.hhc) and the index (.hhk) are "sitemap" HTML: nested <UL>
// lists whose <OBJECT type="text/sitemap"> items carry Name and Local params.
QList<HelpEntry> ParseSitemap(const QString& html) {
    static const QRegularExpression tag(QStringLiteral("<\\s*(/?)\\s*(ul|object|param)\\b([^>]*)>"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression attribute(
        QStringLiteral("([A-Za-z_:-]+)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"));

    QList<HelpEntry> entries;
    int depth = 0;
    bool inObject = false;
    HelpEntry current;
    auto it = tag.globalMatch(html);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const bool closing = !m.captured(1).isEmpty();
        const QString kind = m.captured(2).toLower();
        if (kind == QLatin1String("ul")) {
            depth += closing ? -1 : 1;
            if (depth < 0)
                depth = 0;
        } else if (kind == QLatin1String("object")) {
            if (!closing) {
                inObject = true;
                current = HelpEntry{};
                current.level = depth > 0 ? depth - 1 : 0;
            } else if (inObject) {
                inObject = false;
                if (!current.name.isEmpty())
                    entries.append(current);
            }
        } else if (inObject && !closing) {
            QString name, value;
            auto attrs = attribute.globalMatch(m.captured(3));
            while (attrs.hasNext()) {
                const QRegularExpressionMatch a = attrs.next();
                const QString key = a.captured(1).toLower();
                QString v = a.captured(2);
                if (v.isNull())
                    v = a.captured(3);
                if (v.isNull())
                    v = a.captured(4);
                if (key == QLatin1String("name"))
                    name = v.toLower();
                else if (key == QLatin1String("value"))
                    value = DecodeEntities(v);
            }
            // An index keyword may list several pages; the first one opens.
            if (name == QLatin1String("name") && current.name.isEmpty())
                current.name = value;
            else if (name == QLatin1String("local") && current.local.isEmpty())
                current.local = value;
        }
    }
    return entries;
}

// The pages are written in UTF-8; a page that says otherwise is decoded as
// it says.
QString DecodeText(const QByteArray& bytes) {
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    return decoder(bytes);
}

int CollectFile(chmFile*, chmUnitInfo* ui, void* context) {
    auto* files = static_cast<QHash<QString, QString>*>(context);
    const QString path = QString::fromUtf8(ui->path, qsizetype(strnlen(ui->path, sizeof ui->path)));
    if (!path.endsWith(QLatin1Char('/')))
        files->insert(path.toLower(), path);
    return CHM_ENUMERATOR_CONTINUE;
}

} // namespace

std::unique_ptr<HelpFile> HelpFile::Open(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return nullptr;
    std::unique_ptr<HelpFile> file(new HelpFile);
    file->m_path = path;
    file->m_chm = chm_open(QFile::encodeName(path).constData());
    if (file->m_chm == nullptr || !file->Load())
        return nullptr;
    return file;
}

HelpFile::~HelpFile() {
    if (m_chm != nullptr)
        chm_close(m_chm);
}

bool HelpFile::Load() {
    chm_enumerate(m_chm, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, &CollectFile, &m_files);
    if (m_files.isEmpty())
        return false;
    ReadSystem();
    ReadContextMap();
    if (!m_contentsFile.isEmpty())
        m_contents = ParseSitemap(DecodeText(Read(m_contentsFile)));
    if (!m_indexFile.isEmpty())
        m_index = ParseSitemap(DecodeText(Read(m_indexFile)));
    if (m_defaultTopic.isEmpty() && !m_contents.isEmpty())
        m_defaultTopic = NormalisePage(m_contents.first().local);
    return true;
}

QByteArray HelpFile::ReadRaw(const QString& storedName) const {
    chmUnitInfo ui{};
    if (chm_resolve_object(m_chm, storedName.toUtf8().constData(), &ui) != CHM_RESOLVE_SUCCESS)
        return {};
    if (ui.length == 0 || ui.length > kMaxObjectSize)
        return {};
    QByteArray data(qsizetype(ui.length), Qt::Uninitialized);
    const LONGINT64 got = chm_retrieve_object(
        m_chm, &ui, reinterpret_cast<unsigned char*>(data.data()), 0, LONGINT64(ui.length));
    if (got <= 0)
        return {};
    data.truncate(qsizetype(got));
    return data;
}

// #SYSTEM: a version word, then records of (code, length, data); 0 names the
// contents file, 1 the index, 2 the default page and 3 the title.
void HelpFile::ReadSystem() {
    const QByteArray system = ReadRaw(QStringLiteral("/#SYSTEM"));
    qsizetype offset = 4;
    while (offset + 4 <= system.size()) {
        const quint16 code = ReadLe16(system, offset);
        const quint16 length = ReadLe16(system, offset + 2);
        offset += 4;
        if (offset + length > system.size())
            break;
        const QByteArray data = CString(system.mid(offset, length));
        switch (code) {
        case 0:
            m_contentsFile = NormalisePage(QString::fromUtf8(data));
            break;
        case 1:
            m_indexFile = NormalisePage(QString::fromUtf8(data));
            break;
        case 2:
            m_defaultTopic = NormalisePage(QString::fromUtf8(data));
            break;
        case 3:
            m_title = QString::fromUtf8(data);
            break;
        default:
            break;
        }
        offset += length;
    }
}

// #IVB: a byte count, then pairs of (context number, offset into #STRINGS of
// the page's path).
void HelpFile::ReadContextMap() {
    const QByteArray ivb = ReadRaw(QStringLiteral("/#IVB"));
    const QByteArray strings = ReadRaw(QStringLiteral("/#STRINGS"));
    const qsizetype count = qMin<qsizetype>(ReadLe32(ivb, 0), ivb.size() - 4) / 8;
    for (qsizetype i = 0; i < count; ++i) {
        const auto number = static_cast<qint32>(ReadLe32(ivb, 4 + i * 8));
        const QString page = ResolveCompiledPath(CString(strings, ReadLe32(ivb, 8 + i * 8)));
        if (!page.isEmpty() && !m_contexts.contains(number))
            m_contexts.insert(number, page);
    }
}

// chmcmd records an alias with the folder it was compiled in
// ("/build/help/TESSORAH-English/main.html"): the page is the longest tail
// of that path which the file holds.
QString HelpFile::ResolveCompiledPath(const QByteArray& path) const {
    QString page = NormalisePage(QString::fromUtf8(path));
    while (page.size() > 1) {
        const QString stored = StoredName(page);
        if (!stored.isEmpty())
            return stored;
        const qsizetype next = page.indexOf(QLatin1Char('/'), 1);
        if (next < 0)
            break;
        page = page.mid(next);
    }
    return {};
}

QString HelpFile::StoredName(const QString& page) const {
    return m_files.value(NormalisePage(page).toLower());
}

bool HelpFile::Contains(const QString& page) const {
    return !StoredName(page).isEmpty();
}

QByteArray HelpFile::Read(const QString& page) const {
    const QString stored = StoredName(page);
    return stored.isEmpty() ? QByteArray() : ReadRaw(stored);
}

QString HelpFile::TopicOfContext(qint32 contextNumber) const {
    return m_contexts.value(contextNumber);
}

QStringList HelpFile::Pages() const {
    QStringList pages = m_files.values();
    pages.sort();
    return pages;
}
