// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a compiled help collection: its pages, contents, index and context map.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <memory>

class QHelpEngine;

// One line of the contents or of the index: its text, the page it opens
// ("main.html", possibly with a "#fragment") and its nesting depth from 0.
struct HelpEntry {
    QString name;
    QString local;
    int level = 0;
};

// A Qt help collection (.qhc) with the one compressed help file (.qch) it
// registers, opened read-only through Qt's help engine: an installed
// collection lives in a folder the user cannot write.
class HelpFile {
public:
    // nullptr when the file is missing or is not a help collection with a
    // readable documentation set.
    static std::unique_ptr<HelpFile> Open(const QString& path);
    ~HelpFile();
    HelpFile(const HelpFile&) = delete;
    HelpFile& operator=(const HelpFile&) = delete;

    const QString& Path() const { return m_path; }
    // The title of the top entry of the contents.
    const QString& Title() const { return m_title; }
    // The page shown first ("/overview.html").
    const QString& DefaultTopic() const { return m_defaultTopic; }
    const QList<HelpEntry>& Contents() const { return m_contents; }
    const QList<HelpEntry>& Index() const { return m_index; }

    // Whether the collection holds a page of that path (leading "/" optional).
    bool Contains(const QString& page) const;
    // The bytes of a page; empty when it is missing.
    QByteArray Read(const QString& page) const;
    // The page of a help context number, or empty when the file maps none.
    QString TopicOfContext(qint32 contextNumber) const;
    // Every page path the collection holds.
    QStringList Pages() const;

private:
    HelpFile() = default;
    bool Load();
    // The engine's address of a page and back ("/x.html" <-> qthelp://ns/help/x.html).
    QUrl EngineUrl(const QString& page) const;
    QString PageOf(const QUrl& url) const;

    QString m_path;
    std::unique_ptr<QHelpEngine> m_engine;
    QString m_namespace;
    QString m_folder;
    QString m_title;
    QString m_defaultTopic;
    QList<HelpEntry> m_contents;
    QList<HelpEntry> m_index;
};
