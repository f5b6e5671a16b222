// SPDX-License-Identifier: GPL-3.0-or-later
// Shared pieces of the station tests, whichever framework runs them: a
// window's parts by name, a private program folder, the language setting,
// recorded message boxes, modal dialogs driven, waiting on the event loop.
#pragma once

#include "WaitFor.h"

#include "modHvnFileOperation.h"
#include "modHvnRegistry.h"
#include "modMessage.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <QVector>

#include <functional>
#include <ostream>

// Readable QStrings in failure messages, as values and as streamed notes.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline std::ostream& operator<<(std::ostream& os, const QString& text) {
    return os << text.toStdString();
}

// A UDP port free on every local address just now, for a station whose port comes from its
// settings (a station takes no port 0). A control a test drives binds 0 instead.
inline int FreePort() {
    QUdpSocket probe;
    return probe.bind(QHostAddress::AnyIPv4, 0) ? probe.localPort() : 0;
}

// The child of `parent` with that object name; a missing one ends the test run
// with its name, as a broken window must.
template <typename T> T* Find(QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("%s has no %s named %s", qPrintable(parent->objectName()),
               T::staticMetaObject.className(), name);
    return found;
}

struct RecordedBox {
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

// Records every message box instead of showing it.
class MessageBoxRecorder {
public:
    MessageBoxRecorder() {
        SetMessageBoxHookForTesting(
            [this](QMessageBox::Icon icon, const QString& title, const QString& text) {
                boxes.push_back({icon, title, text});
            });
    }
    ~MessageBoxRecorder() { SetMessageBoxHookForTesting({}); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    QStringList Texts() const {
        QStringList texts;
        for (const RecordedBox& b : boxes)
            texts << b.text;
        return texts;
    }

    QVector<RecordedBox> boxes;
};

// The program's files go to a fresh temporary folder, and so does the user's own
// configuration (the options and pins kept there), so no test sees another's.
class TestFolder {
public:
    TestFolder() {
        SetProgramFolderForTesting(dir.path());
        // The variable for programs the test starts; QSettings itself reads it only once.
        qputenv("XDG_CONFIG_HOME", File(QStringLiteral("config")).toLocal8Bit());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           File(QStringLiteral("config")));
    }
    ~TestFolder() {
        SetProgramFolderForTesting({});
        qunsetenv("XDG_CONFIG_HOME");
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    QString File(const QString& name) const { return QDir(dir.path()).filePath(name); }
    QString Path() const { return dir.path(); }

    void Write(const QString& name, const QByteArray& bytes) const {
        QFile f(File(name));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            qFatal("cannot write the test file %s", qPrintable(f.fileName()));
    }
    QByteArray Read(const QString& name) const {
        QFile f(File(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
};

// The machine-wide language value, in a private configuration folder. An
// empty `value` leaves the value out; `rawLine` writes the line as given.
class LanguageSetting {
public:
    explicit LanguageSetting(const QString& value, bool rawLine = false) {
        qputenv("XDG_CONFIG_DIRS", dir.path().toLocal8Bit());
        QDir(dir.path()).mkpath(QStringLiteral("HALVORN Corporation"));
        QFile f(QDir(dir.path()).filePath(QStringLiteral("HALVORN Corporation/TESSORA.conf")));
        if (f.open(QIODevice::WriteOnly)) {
            f.write("[General]\n");
            if (rawLine)
                f.write(value.toUtf8() + "\n");
            else if (!value.isEmpty())
                f.write("Language=" + value.toUtf8() + "\n");
            f.close();
        }
        ReadLanguageSetting();
    }
    ~LanguageSetting() {
        qunsetenv("XDG_CONFIG_DIRS");
        g_strLanguage = QStringLiteral("English");
    }
    LanguageSetting(const LanguageSetting&) = delete;
    LanguageSetting& operator=(const LanguageSetting&) = delete;

    QTemporaryDir dir;
};

// Runs `handle` (when given) on each dialog of type T that opens modally while
// the driver lives, and closes any the handler left open, so no test can hang
// on one. `opened` counts them.
template <typename T> class ModalDriver : public QObject {
public:
    explicit ModalDriver(std::function<void(T*)> handle) : m_handle(std::move(handle)) {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible() || dialog == m_last)
                return;
            m_last = dialog;
            ++opened;
            if (m_handle)
                m_handle(dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        m_timer.start(10);
    }
    int opened = 0;

private:
    QTimer m_timer;
    std::function<void(T*)> m_handle;
    QPointer<T> m_last;
};
