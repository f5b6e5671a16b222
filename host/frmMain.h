// The host station's main window: online and offline, the listen port,
// call admission from the user list, the status line and the lamps.
#pragma once

#include "AdmissionLimiter.h"

#include <QMainWindow>
#include <QString>

#include <memory>

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class TavrinoClient;
class AudioSettingsMenu;
class CPortMapper;
struct PortMapReport;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Loads the user list and the settings, reads the language, sets fonts
    // and captions and creates the voice control. False (after telling the
    // operator) when the control cannot be loaded: the program cannot work.
    bool Form_Load();

    // Goes online as the operator's click on the online button does.
    void StartOnline();

    // Ends the program as File > Exit does, for SIGINT and SIGTERM: open
    // dialogs and message boxes are closed first so nothing blocks the close.
    void CloseFromSignal();

    // The listen port text as loaded from the settings file, and afterwards
    // the last accepted content of the port field; saved at exit.
    QString g_strListenPort;

    // The number a lamp tick shows when a call on the voice control fails.
    static constexpr int kErrControlUnavailable = 424;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void SetFormFonts();
    void ApplyLanguage();

    void chkOnline_Click();
    void mnuRunOnline_Click();
    void chkRejectConnectionRequest_Click();
    void txtListenPortNumber_GotFocus();
    void txtListenPortNumber_LostFocus();
    void tmrMessage_Timer();
    void ReopenAudio();
    void mnuFileSetup_Click();
    void mnuFileExit_Click();
    void mnuHelpHelp_Click();
    void mnuHelpAbout_Click();
    void TavrinoStandard_OnStatusEvent(qint32 statusCode);
    void TavrinoStandard_OnConnectionEvent(const QString& ip, qint32 port, const QString& userData);
    // The listen port on the home router (UPnP): opened while online when
    // the operator's option is on.
    void mnuRunRouterPort_Click();
    void RouterPort_Changed(const PortMapReport& report);
    void OpenRouterPort();

    bool GoOnline();
    void SetOnlineState(int state);
    void ShowObjectError();
    void LogTraffic();
    void ResetPeer();
    bool SetLamp(qint32 dispid, QLabel* lit, QLabel* dark);
    void RefuseUnknownCaller(const QString& ip, qint32 port, const QString& userData);

    // Menus
    QMenu* mnuFile = nullptr;
    QAction* mnuFileSetup = nullptr;
    QAction* mnuFileLine = nullptr;
    QAction* mnuFileExit = nullptr;
    QMenu* mnuRun = nullptr;
    QAction* mnuRunOnline = nullptr;
    QAction* mnuRunRouterPort = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpHelp = nullptr;
    QAction* mnuHelpLine = nullptr;
    QAction* mnuHelpAbout = nullptr;

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
    QGroupBox* fraVoIp = nullptr;
    QLabel* lblRx = nullptr;
    QLabel* picRx = nullptr;
    QLabel* picRxBlack = nullptr;
    QLabel* lblTx = nullptr;
    QLabel* picTx = nullptr;
    QLabel* picTxBlack = nullptr;
    QGroupBox* fraConnectionStatus = nullptr;
    QLabel* lblConnectionStatus = nullptr;
    QLabel* lblRouterStatus = nullptr;
    QLabel* imgHalvornLogo = nullptr;
    QTimer* tmrMessage = nullptr;
    TavrinoClient* TavrinoStandard = nullptr;
    AudioSettingsMenu* m_audioMenu = nullptr; // File > Audio Settings... and the device status
    std::unique_ptr<CPortMapper> m_router;

    QString m_helpFile;
    AdmissionLimiter m_admissions;
    bool m_unloaded = false;
    bool m_lampErrorShowing = false;
};
