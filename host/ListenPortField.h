// SPDX-License-Identifier: GPL-3.0-or-later
// The host's listen port field (txtListenPortNumber): digits only, the whole text selected
// on focus, and a value outside 1024-65535 refused on leaving the field and on going online,
// with the last accepted value put back.
#pragma once

#include <QObject>
#include <QString>

class QLineEdit;
class QWidget;

class ListenPortField : public QObject {
    Q_OBJECT
public:
    // The field inside `parent`, showing the default port. `lastAccepted` (the window's
    // g_strListenPort) is the value put back after a refusal; the field notes it each time
    // it gains the focus.
    ListenPortField(QWidget* parent, QString& lastAccepted);
    ~ListenPortField() override;

    QLineEdit* Edit() const { return m_edit; }
    void ApplyLanguage();
    // Shows `port`, or the default port when it is empty.
    void ShowPort(const QString& port);
    // The port to go online on. The field may hold pasted text, or a value that never
    // passed its leave-check when F5 is pressed inside it: such a value is refused as the
    // check would, and the result is -1.
    int PortToGoOnline();
    // Forgets the focus handlers: the window's teardown moves the focus out of the field.
    void DropFocusHandlers();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void txtListenPortNumber_GotFocus();
    void txtListenPortNumber_LostFocus();

    QLineEdit* m_edit; // child of the parent widget
    QString& m_lastAccepted;
};
