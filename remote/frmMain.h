// Main window of the remote station: choose a stored connection, call the host, show the
// outcome and the activity lamps.
#pragma once

#include <QMainWindow>
#include <QString>

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class AudioSettingsMenu;
class TavrinoClient;

// True once a call request was placed; cleared by every status that ends the attempt.
extern bool g_blnConnectionActive;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // Loads the voice control from `controlPath`, by default from the program's folder.
    explicit frmMain(const QString& controlPath = {}, QWidget* parent = nullptr);
    ~frmMain() override;

    // Selects the first stored connection called `name` and presses Connect. False, and
    // nothing pressed, when no connection has that name.
    bool ConnectTo(const QString& name);

    // Closes as Exit does, also from inside a message box left open.
    void CloseFromSignal();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void Form_Load();
    void Form_Unload();
    void SetFormFonts();
    void ApplyLanguage();
    void FillConnectionNames();
    void SetConnectionControls(bool idle);
    bool IsConnectionSelected() const;
    bool OpenConnection();
    void ShowObjectError();
    void LogTraffic();

    void chkConnect_Click(bool checked);
    void TavrinoStandard_OnStatusEvent(qint32 statusCode);
    void TavrinoStandard_OnConnectionEvent(const QString& ip, qint32 port, const QString& userData);
    void tmrUpdateVoipStatus_Timer();
    void mnuFileSetup_Click();
    void mnuRunConnect_Click();
    void mnuHelpHelp_Click();
    void mnuHelpAbout_Click();

    bool m_unloaded = false;
    bool m_callPlaced = false; // a call request went out and its traffic is not logged yet
    QString m_controlPath;
    QString m_helpFile;

    TavrinoClient* TavrinoStandard = nullptr;
    AudioSettingsMenu* m_audioMenu = nullptr; // File > Audio Settings... and the device status
    QFrame* fraMain = nullptr;
    QGroupBox* fraConnectionSettings = nullptr;
    QLabel* lblConnectionName = nullptr;
    QComboBox* cboConnectionName = nullptr;
    QLabel* lblPortNumber = nullptr;
    QLabel* txtPortNumber = nullptr;
    QPushButton* chkConnect = nullptr;
    QGroupBox* fraConnectionStatus = nullptr;
    QLabel* lblStatus = nullptr;
    QGroupBox* fraVoIp = nullptr;
    QLabel* picTx = nullptr;
    QLabel* picTxBlack = nullptr;
    QLabel* picRx = nullptr;
    QLabel* picRxBlack = nullptr;
    QLabel* lblTx = nullptr;
    QLabel* lblRx = nullptr;
    QLabel* imgHalvornLogo = nullptr;
    QTimer* tmrUpdateVoipStatus = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileSetup = nullptr;
    QAction* mnuFileLine = nullptr;
    QAction* mnuFileExit = nullptr;
    QMenu* mnuRun = nullptr;
    QAction* mnuRunConnect = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpHelp = nullptr;
    QAction* mnuHelpLine = nullptr;
    QAction* mnuHelpAbout = nullptr;
};
