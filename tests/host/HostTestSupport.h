// Shared pieces of the host tests: a private program folder, the language
// setting, recorded message boxes, waiting on the event loop.
#pragma once

#include "LocalText.h"
#include "modHost.h"
#include "modHvnFileOperation.h"
#include "modHvnRegistry.h"
#include "modMessage.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QVector>
#include <gtest/gtest.h>

#include <functional>

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

struct RecordedBox {
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

// Records every message box instead of showing it.
class MessageRecorder {
public:
    MessageRecorder() {
        SetMessageBoxHookForTesting(
            [this](QMessageBox::Icon icon, const QString& title, const QString& text) {
                boxes.push_back({icon, title, text});
            });
    }
    ~MessageRecorder() { SetMessageBoxHookForTesting({}); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    QStringList Texts() const {
        QStringList texts;
        for (const RecordedBox& b : boxes)
            texts << b.text;
        return texts;
    }

    QVector<RecordedBox> boxes;
};

// The program's files go to a fresh temporary folder.
class TestFolder {
public:
    TestFolder() { SetProgramFolderForTesting(dir.path()); }
    ~TestFolder() { SetProgramFolderForTesting({}); }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    QString File(const QString& name) const { return QDir(dir.path()).filePath(name); }
    QString Path() const { return dir.path(); }

    void Write(const QString& name, const QByteArray& bytes) const {
        QFile f(File(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
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

inline void ClearUsers() {
    g_udtUsers.assign(1, UserRecord{});
    g_intUserCount = 0;
}

inline UserRecord User(const QString& name, const QString& password, qint16 disabled = 0,
                       const QString& description = {}) {
    return UserRecord{name, password, disabled, description};
}

inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    return QTest::qWaitFor(condition, timeoutMs);
}

// A QApplication for GoogleTest executables that drive widgets.
inline int RunHostTests(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TESSORA-H"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
