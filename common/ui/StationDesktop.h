// SPDX-License-Identifier: GPL-3.0-or-later
// What a station shows on the desktop beside its window: the tray icon and the desktop
// notifications, both kept in step with the call.
#pragma once

#include "modControlMessages.h"

#include <QObject>
#include <QString>

#include <functional>

class DesktopNotifier;
class QAction;
class QMainWindow;
class QMenu;
class StationTray;

// Lives on the GUI thread, a child of the station's window, which tells it what happens:
// the toggle's state, each status code before the station handles it, and (the host) the
// router's refusals and blocked addresses. It owns no call state of the window's; what it
// keeps is only what the tray shows.
class StationDesktop : public QObject {
    Q_OBJECT
public:
    // `peerName` gives the other side's name when a call is set up: the host's user name
    // field, the remote's connection name.
    StationDesktop(QMainWindow* window, Station station, QString programBase, QString programTitle,
                   std::function<QString()> peerName);
    ~StationDesktop() override;

    // Once the window's menus exist: the tray with the Run toggle and File > Exit; the
    // notification switches and the tray's hide option at the end of the Run menu.
    void Create(QAction* toggle, QAction* exit, QMenu* runMenu);
    void ApplyLanguage();

    void ToggleShown(bool active);
    // A status code before the station handles it (a call's end, while its peer still
    // shows), and after (a call's start, once the station shows its peer).
    void StatusArrived(qint32 statusCode);
    void StatusShown(qint32 statusCode);
    // The host's router notices: the status text of a port the router would not open, and
    // an address blocked after `failures` wrong attempts, for `seconds`.
    void RouterRefused(const QString& text);
    void AddressBlocked(const QString& address, int seconds, int failures);

    // One more line of call state in the tray's tooltip (empty for none).
    void SetExtraCallLine(const QString& line);
    void ShowWindowAtStart(bool inTray);

private:
    QMainWindow* m_window;
    const Station m_station;
    const QString m_programBase;
    const QString m_programTitle;
    std::function<QString()> m_peerName;
    StationTray* m_tray = nullptr;         // child of the window
    DesktopNotifier* m_notifier = nullptr; // child of the window
};
