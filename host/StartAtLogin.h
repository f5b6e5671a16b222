// SPDX-License-Identifier: GPL-3.0-or-later
// Run > "Start at Login": an XDG autostart entry that starts the host online in the tray
// when its user logs in to the desktop.
#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QWidget;

// Lives on the GUI thread, a child of the host's window. The entry itself is the setting:
// "$XDG_CONFIG_HOME/autostart/TESSORAH.desktop" (~/.config/autostart), running this very
// program with --online --tray; switching the item off removes it.
class StartAtLogin : public QObject {
    Q_OBJECT
public:
    // Adds the check item (mnuRunStartAtLogin) to `menu`; failures are told in boxes over `window`.
    StartAtLogin(QMenu* menu, QWidget* window);
    ~StartAtLogin() override;

    void ApplyLanguage();

    static QString EntryPath();
    // The entry for the program at `program`.
    static QByteArray Entry(const QString& program);

private:
    void mnuRunStartAtLogin_Click(bool on);

    QWidget* m_window;
    QAction* m_item = nullptr;
};
