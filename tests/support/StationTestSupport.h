// What the station tests share, whichever framework runs them: a window's
// parts found by name, message boxes recorded instead of shown, a private
// program folder and language setting, and waiting on the event loop.
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

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

// Records every message box from construction to destruction.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    QStringList Texts() const;

    QList<RecordedBox> boxes;
};

// The program's files go to a fresh temporary folder until destruction.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    QString Path() const { return m_dir.path(); }
    QString File(const QString& name) const;
    void Write(const QString& name, const QByteArray& bytes) const;
    // The file's bytes; empty when it cannot be read.
    QByteArray Read(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

// The machine-wide language value, in a private configuration folder, read
// as a station reads it at start. An empty `value` leaves the value out;
// `rawLine` writes the line as given. Destruction restores English.
class LanguageSetting {
public:
    explicit LanguageSetting(const QString& value = QStringLiteral("English"),
                             bool rawLine = false);
    ~LanguageSetting();
    LanguageSetting(const LanguageSetting&) = delete;
    LanguageSetting& operator=(const LanguageSetting&) = delete;

    void Set(const QString& value, bool rawLine = false);

private:
    QTemporaryDir m_dir;
    QByteArray m_oldConfigDirs;
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

// Runs the event loop until `condition` holds or `timeoutMs` passed.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs);
