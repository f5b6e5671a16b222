// SPDX-License-Identifier: GPL-3.0-or-later
// Message boxes captioned with the program title, and the timed message window.
#pragma once

#include <QMessageBox>
#include <QString>

struct StoreResult;

#include <functional>

class QWidget;

// The program title, the caption of every message box: "TESSORA-H" or
// "TESSORA-R", as each station's main sets the application name.
QString ProgramTitle();

// Modal box with an OK button and the program title as caption.
void ShowErrorBox(QWidget* parent, const QString& text);   // error (stop) icon
void ShowWarningBox(QWidget* parent, const QString& text); // exclamation icon
void ShowInfoBox(QWidget* parent, const QString& text);    // information icon

// The error box of a store operation that failed; nothing when it succeeded. Its result.
bool ShowStoreFailure(QWidget* parent, const StoreResult& result);

// One error box naming every file found unreadable since the last call, and
// every file whose load did not hold all of it, with the copy of its original;
// shown once the language is known, since the files are read before it is.
void ReportUnreadableFiles();

// While on, no box is shown: the program title and the text go to standard
// error instead. A station that closes on SIGINT or SIGTERM turns it on for
// the close, since nobody may be there to answer a box and the program must end.
void SetMessageBoxesToStandardError(bool on);

// While on, every box is shown and its text also goes to standard error: what a
// station started from a script (--online, --connect) cannot do must reach the log
// of an unattended run, not only a screen nobody may watch.
void SetMessageBoxesAlsoToStandardError(bool on);

// Test seam: while a hook is set, no box is shown; the hook receives what
// would have been shown. An empty hook restores the real boxes.
using MessageBoxHook =
    std::function<void(QMessageBox::Icon icon, const QString& title, const QString& text)>;
void SetMessageBoxHookForTesting(MessageBoxHook hook);

// Shows `message` in a top-most, modeless window for five seconds while the
// program keeps handling its events, and returns once the window has closed.
// An empty `caption` means the program title. A call made while another one
// waits reuses the same window.
void ShowTimedMessage(const QString& message, const QString& caption = {});

// Test seam: how long ShowTimedMessage waits, in milliseconds (0 restores
// the five seconds).
void SetTimedMessageDurationForTesting(int milliseconds);
