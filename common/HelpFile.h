// Reads a compiled HTML help file: its pages, contents, index and context map.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <memory>

struct chmFile;

// One line of the contents or of the index: its text, the page it opens
// ("/main.html", possibly with a "#fragment") and its nesting depth from 0.
struct HelpEntry {
    QString name;
    QString local;
    int level = 0;
};

class HelpFile {
public:
    // nullptr when the file is missing or is not a compiled help file.
    static std::unique_ptr<HelpFile> Open(const QString& path);
    ~HelpFile();
    HelpFile(const HelpFile&) = delete;
    HelpFile& operator=(const HelpFile&) = delete;

    const QString& Path() const { return m_path; }
    const QString& Title() const { return m_title; }
    // The page shown first ("/overview.html").
    const QString& DefaultTopic() const { return m_defaultTopic; }
    const QList<HelpEntry>& Contents() const { return m_contents; }
    const QList<HelpEntry>& Index() const { return m_index; }

    // Whether the file holds a page of that path (leading "/" optional,
    // letter case ignored as the format does).
    bool Contains(const QString& page) const;
    // The bytes of a page; empty when it is missing.
    QByteArray Read(const QString& page) const;
    // The page of a help context number, or empty when the file maps none.
    QString TopicOfContext(qint32 contextNumber) const;
    // Every context number the file maps.
    QList<qint32> ContextNumbers() const { return m_contexts.keys(); }
    // Every page path the file holds.
    QStringList Pages() const;

    // "/main.html#x" -> "/main.html": the stored name of a page, or empty.
    QString StoredName(const QString& page) const;

private:
    HelpFile() = default;
    bool Load();
    QByteArray ReadRaw(const QString& storedName) const;
    void ReadSystem();
    void ReadContextMap();
    QString ResolveCompiledPath(const QByteArray& path) const;

    QString m_path;
    chmFile* m_chm = nullptr;
    QHash<QString, QString> m_files; // lower-cased path -> stored path
    QString m_title;
    QString m_defaultTopic;
    QString m_contentsFile;
    QString m_indexFile;
    QList<HelpEntry> m_contents;
    QList<HelpEntry> m_index;
    QHash<qint32, QString> m_contexts;
};
