// Message boxes captioned with the program title, and the timed message window.
#include "modMessage.h"

#include "modHvnFileOperation.h"

#include "frmMessage.h"
#include "modHvnRegistry.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

constexpr int kTimedMessageMs = 5000;

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

bool& BoxesToStandardError() {
    static bool on = false;
    return on;
}

int& TimedMessageOverrideMs() {
    static int ms = 0;
    return ms;
}

// The one timed message window; it lives only while a call waits.
QPointer<frmMessage>& TimedWindow() {
    static QPointer<frmMessage> window;
    return window;
}

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    if (Hook()) {
        Hook()(icon, ProgramTitle(), text);
        return;
    }
    if (BoxesToStandardError()) {
        QString line = text;
        line.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        std::fprintf(stderr, "%s: %s\n", ProgramTitle().toLocal8Bit().constData(),
                     line.toLocal8Bit().constData());
        return;
    }
    QMessageBox box(icon, ProgramTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

QString ProgramTitle() {
    return QCoreApplication::applicationName();
}

void ShowErrorBox(QWidget* parent, const QString& text) {
    ShowBox(parent, QMessageBox::Critical, text);
}

void ShowWarningBox(QWidget* parent, const QString& text) {
    ShowBox(parent, QMessageBox::Warning, text);
}

void ShowInfoBox(QWidget* parent, const QString& text) {
    ShowBox(parent, QMessageBox::Information, text);
}

void SetMessageBoxHookForTesting(MessageBoxHook hook) {
    Hook() = std::move(hook);
}

void SetMessageBoxesToStandardError(bool on) {
    BoxesToStandardError() = on;
}

void SetTimedMessageDurationForTesting(int milliseconds) {
    TimedMessageOverrideMs() = milliseconds;
}

void ShowTimedMessage(const QString& message, const QString& caption) {
    QPointer<frmMessage>& window = TimedWindow();
    // Owned here while this call waits; a nested call reuses it.
    std::unique_ptr<frmMessage> owned;
    if (!window) {
        owned = std::make_unique<frmMessage>();
        window = owned.get();
    }
    window->ShowMessage(message, caption.isEmpty() ? ProgramTitle() : caption);

    // A timer runs on the monotonic clock, so the wait ends on time also
    // when the time of day jumps or passes midnight.
    const int ms = TimedMessageOverrideMs() > 0 ? TimedMessageOverrideMs() : kTimedMessageMs;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();

    // The outermost call closes the window; a nested one leaves it for its
    // caller, which then closes it when its own time is up.
    if (owned) {
        window = nullptr;
        owned->close();
    }
}

void ReportUnreadableFiles() {
    // One box for all of them: a close signal may come while it is open, and
    // no second box must then wait for a click.
    QStringList lines;
    for (const QString& path : TakeUnreadableFiles())
        lines << Tr(QStringLiteral("The file \"%1\" could not be read.").arg(path),
                    QStringLiteral("ファイル「%1」を読み込めませんでした。").arg(path));
    if (!lines.isEmpty())
        ShowErrorBox(nullptr, lines.join(QStringLiteral("\r\n")));
}
