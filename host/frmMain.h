// SPDX-License-Identifier: GPL-3.0-or-later
// The host station's main window: online and offline, the listen port,
// call admission from the user list, the status line and the lamps.
#pragma once

#include "CallAdmission.h"
#include "StationWindow.h"

#include <QString>

#include <memory>

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class CPortMapper;
class StartAtLogin;
struct PortMapReport;

class frmMain : public StationWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Loads the user list and the settings, reads the language, sets fonts
    // and captions and loads the voice control. False (after telling the
    // operator) when the control cannot be loaded: the program cannot work.
    bool Form_Load();

    // Goes online as the operator's click on the online button does.
    void StartOnline();
    // For this run only, whatever the Run menu says: stated requests get no answer.
    void RefuseUnencryptedCalls();

    // The listen port text as loaded from the settings file, and afterwards
    // the last accepted content of the port field; saved at exit.
    QString g_strListenPort;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
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
    void txtListenPortNumber_GotFocus();
    void txtListenPortNumber_LostFocus();
    // The listen port on the home router (UPnP): opened while online when
    // the operator's option is on.
    void mnuRunRouterPort_Click();
    void RouterPort_Changed(const PortMapReport& report);
    void OpenRouterPort();
    void mnuRunAcceptUnencrypted_Click();
    // The caller connected (status 53): its labels, the busy state, its pin.
    void ShowConnectedCaller();
    // Encrypted attempts never confirmed, each logged once (also from tmrAdmission).
    void LogExpiredAttempts();

    bool GoOnline();
    void SetOnlineState(int state);
    void ResetPeer();

    QAction* mnuRunRouterPort = nullptr;
    QAction* mnuRunAcceptUnencrypted = nullptr;
    bool m_refuseUnencryptedForRun = false;
    StartAtLogin* m_startAtLogin = nullptr; // Run > "Start at Login", child of the window

    // Controls
    QFrame* fraMain = nullptr;
    QGroupBox* fraLocalSettings = nullptr;
    QLabel* lblListenPortNumber = nullptr;
    QLineEdit* txtListenPortNumber = nullptr;
    QPushButton* chkOnline = nullptr;
    QCheckBox* chkRejectConnectionRequest = nullptr;
    QGroupBox* fraConnectedTessora_R = nullptr;
    QLabel* lblUserName = nullptr;
    QLabel* txtUserName = nullptr;
    QLabel* lblIpAddress = nullptr;
    QLabel* txtConnectedIpAddress = nullptr;
    QLabel* lblForwardingPortNumber = nullptr;
    QLabel* txtForwardingPort = nullptr;
    QLabel* lblRouterStatus = nullptr;
    QLabel* imgHalvornLogo = nullptr;
    std::unique_ptr<CPortMapper> m_router;
    QTimer* tmrAdmission = nullptr; // child of the window

    CallAdmission m_admission;
};
