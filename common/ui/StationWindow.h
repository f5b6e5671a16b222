// SPDX-License-Identifier: GPL-3.0-or-later
// What the host's and the remote's main windows share: the File, Run and Help
// menus, the activity lamps, the status line, the start and the close on a
// signal, around the call session (StationSession) the window owns. Each
// station derives its window from it and keeps only what differs: admission
// and the user list on the host, the connect flow and the connection list on
// the remote.
//
// Everything runs on the GUI thread, which also owns the control.
//
// Adding an item and its dialog to both stations' File menu is one call in
// StationWindow::CreateMenus (StationWindow.cpp): AddFileMenuItem with the
// item's object name, its two captions and what it opens. The item sits
// between Setup and the separator above Exit, follows the language, and a
// dialog it opens modally is closed by a close signal like every other one.
#pragma once

#include "StationProfile.h"

#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

class CallIndicators;
class CallStatisticsFeed;
class frmCallStatistics;
class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class StationDesktop;
class StationSession;
class TavrinoClient;
struct AboutInfo;

class StationWindow : public QMainWindow {
    Q_OBJECT
public:
    using Words = StationProfile::Words;

    struct LampPictures {
        QPixmap rxLit, rxDark, txLit, txDark;
    };

    ~StationWindow() override;

    // Reads the station's files and the language, sets fonts and captions and
    // loads the voice control. False (after telling the operator) when the
    // station cannot work.
    virtual bool Form_Load() = 0;

    // Ends the program as File > Exit does, for SIGINT and SIGTERM: open
    // dialogs and message boxes are closed first so nothing blocks the close,
    // and what the close reports goes to standard error, not to a box.
    void CloseFromSignal();

    // Shows the window at start; `inTray` (--tray) keeps it hidden in the desktop's tray
    // where there is one.
    void ShowWindowAtStart(bool inTray);
    // The tray icon and the desktop notifications.
    StationDesktop* Desktop() const { return m_desktop; }

    // The number a lamp tick shows when a call on the voice control fails.
    static constexpr int kErrControlUnavailable = 424;

protected:
    StationWindow(Station station, QWidget* parent);

    // Building, from the station's constructor.
    void CreateMenus();
    // Adds an item to the File menu after Setup; `open` runs when it is chosen.
    QAction* AddFileMenuItem(const char* objectName, Words caption, std::function<void()> open);
    // fraMain, the central widget, in the frame style the station shows.
    QFrame* CreateMainFrame(int frameStyle);
    // fraVoIp with the lamps lblRx, picRx, picRxBlack, lblTx, picTx and
    // picTxBlack: Rx above Tx (vertical) or beside it (horizontal).
    QGroupBox* CreateLamps(QWidget* parent, const LampPictures& pictures, Qt::Orientation order);
    // fraConnectionStatus holding the status label, in a vertical layout.
    QGroupBox* CreateStatusFrame(QWidget* parent);
    // imgHalvornLogo, `height` pixels high, described for readers with the language.
    QLabel* CreateLogo(QWidget* parent, int height);
    // The toggle whose state the Run item mirrors; its clicks run ToggleChanged.
    void SetToggle(QPushButton* toggle);

    // Start, once the station has read its files and the language: fonts,
    // captions, help file and context; unreadable files are reported once the
    // event loop runs (not at all when a close signal came first).
    void LoadWindow();
    void StartLamps();
    // The shared captions; a station's override calls this first.
    virtual void ApplyLanguage();
    // Captions of the toggle and the Run item for the idle or active state.
    void ShowToggleState(bool active);

    // Hides the call's lock, then hangs the session up.
    virtual void HangUp();
    // The status line of a code, logged; with the box the station shows for it. At 53
    // it also shows and logs whether the call is encrypted; every code that ends a
    // call hides that again.
    void ShowStatus(qint32 statusCode);
    // The box shown beside the status line of a code; empty for none.
    virtual QString StatusBox(qint32 statusCode) const;
    // The lock and the voice kind of the connected call; SECURITY_NONE hides them.
    void ShowCallIndicators(qint32 security, qint32 voice);

    // What each station does itself.
    virtual void ToggleChanged(bool checked) = 0;
    virtual void TavrinoStandard_OnStatusEvent(qint32 statusCode) = 0;
    virtual void TavrinoStandard_OnConnectionEvent(const QString& ip, qint32 port,
                                                   const QString& userData) = 0;
    virtual void mnuFileSetup_Click() = 0;
    virtual AboutInfo StationAboutInfo() const = 0;
    // Writes the station's files at close; each failure is reported by itself.
    virtual void SaveStationFiles() = 0;
    // Audio Settings: while a call stands the choice waits for the next one; otherwise a
    // station whose devices are open but idle reopens them at once.
    virtual bool CallStands() const;
    // The other side of the call being set up or standing, for the tray and notifications.
    virtual QString CallPeerName() const { return {}; }
    virtual void ReopenAudioDevices() {}

    void closeEvent(QCloseEvent* event) override;

    StationSession* const m_session;      // child of the window
    TavrinoClient* const TavrinoStandard; // the session's control
    QString m_helpFile;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileSetup = nullptr;
    QAction* mnuFileLine = nullptr;
    QAction* mnuFileExit = nullptr;
    QMenu* mnuRun = nullptr;
    QAction* mnuRunToggle = nullptr; // mnuRunOnline / mnuRunConnect
    QAction* mnuRunWidebandVoice = nullptr;
    QAction* mnuRunCallStatistics = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpHelp = nullptr;
    QAction* mnuHelpLine = nullptr;
    QAction* mnuHelpAbout = nullptr;

    QFrame* fraMain = nullptr;
    QGroupBox* fraVoIp = nullptr;
    QLabel* lblRx = nullptr;
    QLabel* picRx = nullptr;
    QLabel* picRxBlack = nullptr;
    QLabel* lblTx = nullptr;
    QLabel* picTx = nullptr;
    QLabel* picTxBlack = nullptr;
    QGroupBox* fraConnectionStatus = nullptr;
    QLabel* m_statusLabel = nullptr;   // lblConnectionStatus / lblStatus
    CallIndicators* m_callIndicators = nullptr; // the lock and the voice kind, while a call stands
    QLabel* imgHalvornLogo = nullptr;

private:
    struct FileMenuItem {
        QAction* action;
        Words caption;
    };

    void LampTimer_Timer();
    void OpenCallStatistics();
    // A connected call ended: the figures stop, and its summary line is logged once.
    void EndCallFigures();
    void OpenAudioSettings();
    bool SetLamp(qint32 dispid, QLabel* lit, QLabel* dark);

    const StationProfile m_profile;
    QPushButton* m_toggle = nullptr;
    QTimer* m_lampTimer = nullptr;
    StationDesktop* m_desktop = nullptr; // child of the window
    CallStatisticsFeed* m_statsFeed = nullptr; // child of the window
    QPointer<frmCallStatistics> m_statsWindow; // child of the window, made when first opened
    std::vector<FileMenuItem> m_fileItems;
    bool m_unloaded = false;
    bool m_lampErrorShowing = false;
};
