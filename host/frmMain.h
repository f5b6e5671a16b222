// SPDX-License-Identifier: GPL-3.0-or-later
// The host station's main window: online and offline, the listen port,
// call admission from the user list, the status line and the lamps.
#pragma once

#include "CallAdmission.h"
#include "StationWindow.h"

#include <QString>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class HostRouterPort;
class ListenPortField;
class StartAtLogin;

class frmMain : public StationWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Loads the user list and the settings, reads the language, sets fonts
    // and captions and loads the voice control. False (after telling the
    // operator) when the control cannot be loaded: the program cannot work.
    bool Form_Load() override;

    // Goes online as the operator's click on the online button does.
    void StartOnline();
    // For this run only, whatever the Run menu says: stated requests get no answer.
    void RefuseUnencryptedCalls();

    // The listen port text as loaded from the settings file, and afterwards
    // the last accepted content of the port field; saved at exit.
    QString g_strListenPort;

protected:
    void ApplyLanguage() override;
    void HangUp() override;
    void ToggleChanged(bool checked) override { chkOnline_Click(checked); }
    void TavrinoStandard_OnStatusEvent(qint32 statusCode) override;
    void TavrinoStandard_OnConnectionEvent(const QString& ip, qint32 port,
                                           const QString& userData) override;
    void mnuFileSetup_Click() override;
    AboutInfo StationAboutInfo() const override;
    void SaveStationFiles() override;
    bool CallStands() const override;
    QString CallPeerName() const override;
    void ReopenAudioDevices() override;

private:
    void CreateControls();

    void chkOnline_Click(bool checked);
    void chkRejectConnectionRequest_Click();
    void mnuRunAcceptUnencrypted_Click();
    // The caller shows in the peer fields and the host is busy for others.
    void ShowCaller(const QString& ip, qint32 port, const QString& userName);
    // The caller connected (status 53): its labels, the busy state, its pin.
    void ShowConnectedCaller();
    // Encrypted attempts never confirmed, each logged once (also from tmrAdmission).
    void LogExpiredAttempts();

    bool GoOnline();
    void SetOnlineState(int state);
    void ResetPeer();

    HostRouterPort* m_routerPort = nullptr; // Run > UPnP, child of the window
    QAction* mnuRunAcceptUnencrypted = nullptr;
    bool m_refuseUnencryptedForRun = false;
    StartAtLogin* m_startAtLogin = nullptr; // Run > "Start at Login", child of the window

    // Controls
    QGroupBox* fraLocalSettings = nullptr;
    QLabel* lblListenPortNumber = nullptr;
    ListenPortField* m_listenPort = nullptr;  // child of fraLocalSettings
    QLineEdit* txtListenPortNumber = nullptr; // the field's box
    QPushButton* chkOnline = nullptr;
    QCheckBox* chkRejectConnectionRequest = nullptr;
    QGroupBox* fraConnectedTessora_R = nullptr;
    QLabel* lblUserName = nullptr;
    QLabel* txtUserName = nullptr;
    QLabel* lblIpAddress = nullptr;
    QLabel* txtConnectedIpAddress = nullptr;
    QLabel* lblForwardingPortNumber = nullptr;
    QLabel* txtForwardingPort = nullptr;
    QTimer* tmrAdmission = nullptr; // child of the window

    CallAdmission m_admission;
};
