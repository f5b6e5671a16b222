// SPDX-License-Identifier: GPL-3.0-or-later
// Message boxes captioned with the program title, and the timed message window.
#include "modMessage.h"

#include "StoreResult.h"
#include "modHvnFileOperation.h"

#include "LocalText.h"
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

bool& BoxesAlsoToStandardError() {
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

// What the load of one file did not hold, and where its original went.
QString KeptOriginalText(const KeptOriginal& kept) {
    QStringList what;
    auto count = [&what](qsizetype n, const QString& english, const QString& japanese) {
        if (n > 0)
            what << Tr(english, japanese).arg(n);
    };
    count(kept.notHeld.leftOut, QStringLiteral("lines left out: %1"),
          QStringLiteral("読み込めない行: %1"));
    count(kept.notHeld.changed, QStringLiteral("lines written back changed: %1"),
          QStringLiteral("書き換えられる行: %1"));
    count(kept.notHeld.beyondLimit,
          QStringLiteral("entries beyond the limit of %1: %2").arg(kept.limit),
          QStringLiteral("上限 %1 件を超える項目: %2").arg(kept.limit));
    count(kept.undecodableBytes,
          QStringLiteral("bytes not in the system's character encoding (%1), shown as \uFFFD: %2")
              .arg(QString::fromLatin1(Tavrino::LocalTextEncoding())),
          QStringLiteral("システムの文字コード（%1）にないバイト（\uFFFD と表示）: %2")
              .arg(QString::fromLatin1(Tavrino::LocalTextEncoding())));
    const QString headline =
        Tr(QStringLiteral("The file \"%1\" is not entirely in the form this program reads and "
                          "writes (%2)."),
           QStringLiteral("ファイル「%1」には、このプログラムが読み書きする形式に合わない内容が"
                          "あります（%2）。"))
            .arg(kept.path, what.join(Tr(QStringLiteral("; "), QStringLiteral("、"))));
    if (kept.copy.isEmpty())
        return headline + Tr(QStringLiteral("\r\nNo copy of it could be made, so it will not be "
                                            "replaced when the program closes."),
                             QStringLiteral("\r\nコピーを作成できなかったため、プログラムの終了時"
                                            "にこのファイルを置き換えません。"));
    return headline + Tr(QStringLiteral("\r\nThe file as it was has been kept as \"%1\"."),
                         QStringLiteral("\r\n元のファイルを「%1」として残しました。"))
                          .arg(kept.copy);
}

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    if (Hook()) {
        Hook()(icon, ProgramTitle(), text);
        return;
    }
    if (BoxesToStandardError() || BoxesAlsoToStandardError()) {
        QString line = text;
        line.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        std::fprintf(stderr, "%s: %s\n", ProgramTitle().toLocal8Bit().constData(),
                     line.toLocal8Bit().constData());
        if (BoxesToStandardError())
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

bool ShowStoreFailure(QWidget* parent, const StoreResult& result) {
    if (!result.ok)
        ShowErrorBox(parent, result.failure);
    return result.ok;
}

void SetMessageBoxHookForTesting(MessageBoxHook hook) {
    Hook() = std::move(hook);
}

void SetMessageBoxesToStandardError(bool on) {
    BoxesToStandardError() = on;
}

void SetMessageBoxesAlsoToStandardError(bool on) {
    BoxesAlsoToStandardError() = on;
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
    for (const KeptOriginal& kept : TakeKeptOriginals())
        lines << KeptOriginalText(kept);
    if (!lines.isEmpty())
        ShowErrorBox(nullptr, lines.join(QStringLiteral("\r\n")));
}
