// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications through the freedesktop notification service (D-Bus
// org.freedesktop.Notifications), each kind switched on or off by the operator.
#pragma once

#include <QObject>
#include <QString>

#include <vector>

class QAction;
class QMenu;
class QWidget;

// Lives on the GUI thread. A notification is one D-Bus call that does not wait for its
// reply, so a missing or hung notification server never holds the window. None is sent
// while the station's window is active and in front: the operator sees it there already.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    enum class Kind { CallAdmitted, CallEnded, RouterRefused, AddressBlocked };

    // `programTitle` ("TESSORA-H") is the sender's name and names the file of the switches;
    // `programBase` ("TESSORAH") the icon and the desktop entry.
    DesktopNotifier(QWidget* window, QString programTitle, QString programBase);
    ~DesktopNotifier() override;

    // Sent unless `kind` is switched off or the window is active and in front; true when sent.
    bool Notify(Kind kind, const QString& summary, const QString& body);
    bool IsOn(Kind kind) const;

    // A submenu of `menu`, "Desktop Notifications", with a check item for each of `kinds`.
    void AddSwitches(QMenu* menu, const std::vector<Kind>& kinds);
    void ApplyLanguage();

private:
    struct Switch {
        Kind kind;
        QAction* action;
    };

    QWidget* m_window;
    QString m_programTitle;
    QString m_programBase;
    QMenu* m_menu = nullptr; // mnuRunNotifications, owned by the menu it sits in
    std::vector<Switch> m_switches;
};
