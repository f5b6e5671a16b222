// Helpers shared by the remote station's tests: a private program folder and language, and
// message boxes recorded instead of shown.
#pragma once

#include "modControlCommon.h"

#include <QByteArray>
#include <QList>
#include <QMessageBox>
#include <QString>
#include <QTemporaryDir>

#include <memory>

struct RecordedBox {
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

// Records every message box from construction to destruction.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    QList<RecordedBox> boxes;
};

// A fresh program folder and machine settings folder for one test; the in-memory store is
// emptied and the language set. Everything is undone on destruction.
class RemoteSandbox {
public:
    explicit RemoteSandbox(const QString& language = QStringLiteral("English"));
    ~RemoteSandbox();

    QString Folder() const { return m_folder.path(); }
    QString File(const QString& name) const;
    void WriteFile(const QString& name, const QByteArray& bytes) const;
    QByteArray ReadFile(const QString& name) const;
    // Writes the language value the stations read at start, and sets it for this run.
    void SetLanguage(const QString& language);

private:
    QTemporaryDir m_folder;
    QTemporaryDir m_config;
    QByteArray m_oldConfigDirs;
};

ConnectionRecord MakeRecord(const QString& name, const QString& password = QStringLiteral("pw"),
                            const QString& port = QStringLiteral("33550"),
                            const QString& address = QStringLiteral("127.0.0.2"),
                            const QString& user = QStringLiteral("user"));
// Empties the store.
void ClearConnections();
