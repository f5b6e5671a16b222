// SPDX-License-Identifier: GPL-3.0-or-later
// A station's icon in the desktop's system tray: its picture and tooltip tell the call's
// state, its menu shows or hides the window, starts or ends the station's side and exits.
#pragma once

#include "modControlMessages.h"

#include <QObject>
#include <QString>

class QAction;
class QMainWindow;
class QMenu;
class QSystemTrayIcon;

// Lives on the GUI thread, a child of the station's window. Without a tray on the desktop
// nothing of it shows and the window behaves as it always did: it is shown at start and
// minimises to the task bar.
class StationTray : public QObject {
    Q_OBJECT
public:
    enum class State { Offline, Waiting, Calling, InCall };

    // `toggle` and `exit` are the window's own Run toggle and File > Exit, so the tray's
    // items do exactly what the menu items do.
    StationTray(QMainWindow* window, Station station, const QString& programBase,
                const QString& programTitle, QAction* toggle, QAction* exit);
    ~StationTray() override;

    void ApplyLanguage();
    // `peer` names the other side while calling or in a call: the host shows the caller's
    // user name, the remote the connection's name.
    void SetState(State state, const QString& peer = {});
    State CurrentState() const { return m_state; }
    // One more line of call state under the state line (empty for none).
    void SetExtraLine(const QString& line);
    QString ToolTip() const;

    // "Hide the window while in the tray": with it on, minimising hides the window into the
    // tray. The same item sits in the window's Run menu, shown while a tray is there.
    QAction* HideOption() const { return m_hideOption; }
    // Shows the window at start, or, for `--tray` on a desktop with a tray, keeps it hidden
    // there.
    void ShowWindowAtStart(bool inTray);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static bool TrayThere();
    void ShowWindow();
    void HideWindow();
    void UpdateShowItem();
    QString StateLine() const;

    QMainWindow* m_window;
    const Station m_station;
    const QString m_programBase;
    const QString m_programTitle;
    QMenu* m_menu = nullptr; // a popup, child of the window
    QSystemTrayIcon* m_icon = nullptr;
    QAction* m_showItem = nullptr;
    QAction* m_hideOption = nullptr;
    State m_state = State::Offline;
    QString m_peer;
    QString m_extraLine;
};
