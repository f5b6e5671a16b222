// The host station's main window: online and offline, the listen port,
// call admission from the user list, the status line and the lamps.
#include "frmMain.h"

#include "AudioSettingsMenu.h"

#include "CPortMapper.h"
#include "StationImages.h"
#include "TavrinoClient.h"
#include "frmAbout.h"
#include "frmSetup.h"
#include "modConsoleLog.h"
#include "modControlMessages.h"
#include "modFormCommon.h"
#include "modHelpConst.h"
#include "modHost.h"
#include "modHvnIPAddress.h"
#include "modHvnRegistry.h"
#include "modMessage.h"
#include "modPictures.h"
#include "modRouterPort.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace Tavrino;

namespace {

const QString kDefaultListenPort = QStringLiteral("33550");
constexpr int kAcceptTimeOutSeconds = 20;
constexpr int kLampIntervalMs = 500;
constexpr int kMinListenPort = 1024;
constexpr int kMaxListenPort = 65535;

QString PortRangeMessage() {
    return Tr(QStringLiteral("Please set the listen port number in 1024-65535 ranges."),
              QStringLiteral("リッスン・ポート番号は1024-65535の範囲で設定してください。"));
}

// The port text as a number, or -1 when it is not one made of digits only.
int PortNumber(const QString& text) {
    if (text.isEmpty() || text.size() > 5)
        return -1;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
    return text.toInt();
}

QLabel* NewPeerField(QWidget* parent, const char* name) {
    auto* field = new QLabel(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    field->setTextInteractionFlags(Qt::TextSelectableByMouse);
    field->setMinimumWidth(150);
    return field;
}

QLabel* NewLamp(QWidget* parent, const char* name, const QPixmap& picture) {
    auto* lamp = new QLabel(parent);
    lamp->setObjectName(QString::fromLatin1(name));
    lamp->setPixmap(picture);
    lamp->setFixedSize(picture.size());
    return lamp;
}

} // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(StationIcon(QStringLiteral("TESSORAH")));
    CreateMenus();
    CreateControls();
}

frmMain::~frmMain() = default;

void frmMain::CreateMenus() {
    mnuFile = menuBar()->addMenu(QString());
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFileSetup = mnuFile->addAction(QString());
    mnuFileSetup->setObjectName(QStringLiteral("mnuFileSetup"));
    mnuFileLine = mnuFile->addSeparator();
    mnuFileLine->setObjectName(QStringLiteral("mnuFileLine"));
    mnuFileExit = mnuFile->addAction(QString());
    mnuFileExit->setObjectName(QStringLiteral("mnuFileExit"));

    mnuRun = menuBar()->addMenu(QString());
    mnuRun->setObjectName(QStringLiteral("mnuRun"));
    mnuRunOnline = mnuRun->addAction(QString());
    mnuRunOnline->setObjectName(QStringLiteral("mnuRunOnline"));
    mnuRunOnline->setShortcut(QKeySequence(Qt::Key_F5));
    mnuRunRouterPort = mnuRun->addAction(QString());
    mnuRunRouterPort->setObjectName(QStringLiteral("mnuRunRouterPort"));
    mnuRunRouterPort->setCheckable(true);

    mnuHelp = menuBar()->addMenu(QString());
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpHelp = mnuHelp->addAction(QString());
    mnuHelpHelp->setObjectName(QStringLiteral("mnuHelpHelp"));
    mnuHelpLine = mnuHelp->addSeparator();
    mnuHelpLine->setObjectName(QStringLiteral("mnuHelpLine"));
    mnuHelpAbout = mnuHelp->addAction(QString());
    mnuHelpAbout->setObjectName(QStringLiteral("mnuHelpAbout"));

    connect(mnuFileSetup, &QAction::triggered, this, &frmMain::mnuFileSetup_Click);
    connect(mnuFileExit, &QAction::triggered, this, &frmMain::mnuFileExit_Click);
    // A call stands while a caller's address shows; online without one, the devices
    // are open but idle and are reopened at once.
    m_audioMenu = new AudioSettingsMenu(
        mnuFile, mnuFileLine, this,
        {[this] { return !txtConnectedIpAddress->text().isEmpty(); }, [this] { ReopenAudio(); },
         [this] { return m_helpFile; }});
    connect(mnuRunOnline, &QAction::triggered, this, &frmMain::mnuRunOnline_Click);
    connect(mnuRunRouterPort, &QAction::triggered, this, &frmMain::mnuRunRouterPort_Click);
    connect(mnuHelpHelp, &QAction::triggered, this, &frmMain::mnuHelpHelp_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &frmMain::mnuHelpAbout_Click);
}

void frmMain::CreateControls() {
    fraMain = new QFrame(this);
    fraMain->setObjectName(QStringLiteral("fraMain"));
    fraMain->setFrameStyle(QFrame::Box | QFrame::Sunken);
    setCentralWidget(fraMain);

    // Local settings: port, online button, reject switch.
    fraLocalSettings = new QGroupBox(fraMain);
    fraLocalSettings->setObjectName(QStringLiteral("fraLocalSettings"));
    lblListenPortNumber = new QLabel(fraLocalSettings);
    lblListenPortNumber->setObjectName(QStringLiteral("lblListenPortNumber"));
    txtListenPortNumber = new QLineEdit(kDefaultListenPort, fraLocalSettings);
    txtListenPortNumber->setObjectName(QStringLiteral("txtListenPortNumber"));
    txtListenPortNumber->setMaxLength(5);
    txtListenPortNumber->setFixedWidth(80);
    lblListenPortNumber->setBuddy(txtListenPortNumber);
    chkOnline = new QPushButton(fraLocalSettings);
    chkOnline->setObjectName(QStringLiteral("chkOnline"));
    chkOnline->setCheckable(true);
    chkOnline->setMinimumSize(160, 48);
    chkRejectConnectionRequest = new QCheckBox(fraLocalSettings);
    chkRejectConnectionRequest->setObjectName(QStringLiteral("chkRejectConnectionRequest"));
    {
        auto* grid = new QGridLayout(fraLocalSettings);
        grid->addWidget(lblListenPortNumber, 0, 0);
        grid->addWidget(txtListenPortNumber, 0, 1, Qt::AlignLeft);
        grid->addWidget(chkOnline, 0, 2, 2, 1);
        grid->addWidget(chkRejectConnectionRequest, 1, 0, 1, 2);
        grid->setColumnStretch(1, 1);
    }

    // The connected remote station.
    fraConnectedTessora_R = new QGroupBox(fraMain);
    fraConnectedTessora_R->setObjectName(QStringLiteral("fraConnectedTessora_R"));
    lblUserName = new QLabel(fraConnectedTessora_R);
    lblUserName->setObjectName(QStringLiteral("lblUserName"));
    txtUserName = NewPeerField(fraConnectedTessora_R, "txtUserName");
    lblIpAddress = new QLabel(fraConnectedTessora_R);
    lblIpAddress->setObjectName(QStringLiteral("lblIpAddress"));
    txtConnectedIpAddress = NewPeerField(fraConnectedTessora_R, "txtConnectedIpAddress");
    lblForwardingPortNumber = new QLabel(fraConnectedTessora_R);
    lblForwardingPortNumber->setObjectName(QStringLiteral("lblForwardingPortNumber"));
    txtForwardingPort = NewPeerField(fraConnectedTessora_R, "txtForwardingPort");
    {
        auto* grid = new QGridLayout(fraConnectedTessora_R);
        grid->addWidget(lblUserName, 0, 0);
        grid->addWidget(txtUserName, 0, 1);
        grid->addWidget(lblIpAddress, 1, 0);
        grid->addWidget(txtConnectedIpAddress, 1, 1);
        grid->addWidget(lblForwardingPortNumber, 2, 0);
        grid->addWidget(txtForwardingPort, 2, 1);
        grid->setColumnStretch(1, 1);
    }

    // Lamps: the lit and the dark picture share one place, one shown at a time.
    fraVoIp = new QGroupBox(fraMain);
    fraVoIp->setObjectName(QStringLiteral("fraVoIp"));
    lblRx = new QLabel(fraVoIp);
    lblRx->setObjectName(QStringLiteral("lblRx"));
    picRx = NewLamp(fraVoIp, "picRx", LampPixmap(LampColour::Receive, true));
    picRxBlack = NewLamp(fraVoIp, "picRxBlack", LampPixmap(LampColour::Receive, false));
    lblTx = new QLabel(fraVoIp);
    lblTx->setObjectName(QStringLiteral("lblTx"));
    picTx = NewLamp(fraVoIp, "picTx", LampPixmap(LampColour::Transmit, true));
    picTxBlack = NewLamp(fraVoIp, "picTxBlack", LampPixmap(LampColour::Transmit, false));
    picRx->hide();
    picTx->hide();
    {
        auto* grid = new QGridLayout(fraVoIp);
        grid->addWidget(lblRx, 0, 0);
        grid->addWidget(picRx, 0, 1);
        grid->addWidget(picRxBlack, 0, 1);
        grid->addWidget(lblTx, 1, 0);
        grid->addWidget(picTx, 1, 1);
        grid->addWidget(picTxBlack, 1, 1);
    }

    fraConnectionStatus = new QGroupBox(fraMain);
    fraConnectionStatus->setObjectName(QStringLiteral("fraConnectionStatus"));
    lblConnectionStatus = new QLabel(fraConnectionStatus);
    lblConnectionStatus->setObjectName(QStringLiteral("lblConnectionStatus"));
    lblConnectionStatus->setMinimumHeight(36);
    lblConnectionStatus->setWordWrap(true);
    // The router's port on a line of its own, so call statuses never hide it.
    lblRouterStatus = new QLabel(fraConnectionStatus);
    lblRouterStatus->setObjectName(QStringLiteral("lblRouterStatus"));
    lblRouterStatus->setWordWrap(true);
    lblRouterStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    {
        auto* box = new QVBoxLayout(fraConnectionStatus);
        box->addWidget(lblConnectionStatus);
        box->addWidget(lblRouterStatus);
    }

    imgHalvornLogo = new QLabel(fraMain);
    imgHalvornLogo->setObjectName(QStringLiteral("imgHalvornLogo"));
    imgHalvornLogo->setPixmap(HalvornLogo(30));

    {
        auto* middle = new QHBoxLayout;
        middle->addWidget(fraConnectedTessora_R, 1);
        middle->addWidget(fraVoIp);
        auto* bottom = new QHBoxLayout;
        bottom->addStretch(1);
        bottom->addWidget(imgHalvornLogo);
        auto* column = new QVBoxLayout(fraMain);
        column->addWidget(fraLocalSettings);
        column->addLayout(middle);
        column->addWidget(fraConnectionStatus);
        column->addLayout(bottom);
    }

    tmrMessage = new QTimer(this);
    tmrMessage->setObjectName(QStringLiteral("tmrMessage"));
    tmrMessage->setInterval(kLampIntervalMs);

    TavrinoStandard = new TavrinoClient(this);
    TavrinoStandard->setObjectName(QStringLiteral("TavrinoStandard"));

    connect(chkOnline, &QPushButton::toggled, this, &frmMain::chkOnline_Click);
    connect(chkRejectConnectionRequest, &QCheckBox::clicked, this,
            &frmMain::chkRejectConnectionRequest_Click);
    connect(tmrMessage, &QTimer::timeout, this, &frmMain::tmrMessage_Timer);
    connect(TavrinoStandard, &TavrinoClient::OnStatusEvent, this,
            &frmMain::TavrinoStandard_OnStatusEvent);
    connect(TavrinoStandard, &TavrinoClient::OnConnectionEvent, this,
            &frmMain::TavrinoStandard_OnConnectionEvent);

    txtListenPortNumber->installEventFilter(this);
    SelectAllOnFocus(txtListenPortNumber);
    OnGotFocus(txtListenPortNumber, [this] { txtListenPortNumber_GotFocus(); });
    OnLostFocus(txtListenPortNumber, [this] { txtListenPortNumber_LostFocus(); });
}

bool frmMain::Form_Load() {
    LoadUserList();
    LoadHostSettings(g_strListenPort);
    ReadLanguageSetting();
    SetFormFonts();
    ApplyLanguage();
    m_helpFile = HelpFilePath(QStringLiteral("TESSORAH"));
    SetHelpContext(this, m_helpFile, HELP_CONTEXT_MAIN);
    txtListenPortNumber->setText(g_strListenPort.isEmpty() ? kDefaultListenPort : g_strListenPort);
    // Once the event loop runs, so that a close signal is already heard; not
    // at all when such a signal closed the window first.
    QTimer::singleShot(0, this, [this] {
        if (!m_unloaded)
            ReportUnreadableFiles();
    });

    if (!TavrinoStandard->Load()) {
        // Also on stderr, for hosts that run unattended.
        qWarning("TESSORA-H: cannot load the voice control: %s",
                 qPrintable(TavrinoStandard->LoadError()));
        ShowErrorBox(this,
                     Tr(QStringLiteral("The voice control \"%1\" could not be loaded.\r\n%2"),
                        QStringLiteral("音声コントロール「%1」を読み込めませんでした。\r\n%2"))
                         .arg(QString::fromLatin1(kPluginFileName), TavrinoStandard->LoadError()));
        return false;
    }
    m_audioMenu->SetControl(TavrinoStandard);
    tmrMessage->start();
    mnuRunRouterPort->setChecked(RouterPortOptionOn());
    mnuRunRouterPort->setEnabled(RouterPortAllowedByEnvironment());
    return true;
}

void frmMain::StartOnline() {
    if (!chkOnline->isChecked())
        chkOnline->click();
}

void frmMain::CloseFromSignal() {
    // What the close reports (a file that cannot be saved) must not wait for a click.
    SetMessageBoxesToStandardError(true);
    while (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
        if (QApplication::activeModalWidget() == modal)
            break; // it refused to close; the main window closes anyway
    }
    close();
    // Also leaves a wait that is no modal window: the timed message's.
    QCoreApplication::quit();
    SetMessageBoxesToStandardError(false);
}

void frmMain::SetFormFonts() {
    SetMainFormFonts(this, chkOnline);
}

void frmMain::ApplyLanguage() {
    setWindowTitle(ProgramTitle() + QLatin1Char(' ') +
                   Tr(QStringLiteral("VoIP Program (for Host Station)"),
                      QStringLiteral("VoIP Program (for Host Station)")));
    mnuFile->setTitle(Tr(QStringLiteral("&File"), QStringLiteral("ファイル(&F)")));
    mnuFileSetup->setText(Tr(QStringLiteral("&Setup..."), QStringLiteral("設定(&S)...")));
    mnuFileExit->setText(Tr(QStringLiteral("E&xit"), QStringLiteral("終了(&X)")));
    m_audioMenu->ApplyLanguage();
    mnuRun->setTitle(Tr(QStringLiteral("&Run"), QStringLiteral("実行(&R)")));
    mnuRunOnline->setText(Tr(QStringLiteral("&Online"), QStringLiteral("オンライン(&O)")));
    mnuRunRouterPort->setText(Tr(QStringLiteral("Open the Port on the Router by &UPnP"),
                                 QStringLiteral("UPnPでルーターのポートを開く(&U)")));
    mnuHelp->setTitle(Tr(QStringLiteral("&Help"), QStringLiteral("ヘルプ(&H)")));
    mnuHelpHelp->setText(Tr(QStringLiteral("&Help..."), QStringLiteral("ヘルプ(&H)...")));
    mnuHelpAbout->setText(
        Tr(QStringLiteral("&About TESSORA-H..."), QStringLiteral("TESSORA-Hについて(&A)...")));
    fraLocalSettings->setTitle(
        Tr(QStringLiteral("Local Settings"), QStringLiteral("ローカル設定")));
    lblListenPortNumber->setText(
        Tr(QStringLiteral("&Listen Port Number:"), QStringLiteral("リッスン・ポート番号(&L):")));
    txtListenPortNumber->setToolTip(
        Tr(QStringLiteral("Listen Port Number"), QStringLiteral("リッスン・ポート番号")));
    chkOnline->setText(Tr(QStringLiteral("&Online"), QStringLiteral("オンライン(&O)")));
    chkOnline->setToolTip(
        Tr(QStringLiteral("Click to Online"), QStringLiteral("オンラインはここをクリック")));
    fraConnectedTessora_R->setTitle(
        Tr(QStringLiteral("Connected TESSORA-R"), QStringLiteral("接続しているTESSORA-R")));
    lblUserName->setText(Tr(QStringLiteral("User Name:"), QStringLiteral("ユーザー名:")));
    lblIpAddress->setText(Tr(QStringLiteral("IP Address:"), QStringLiteral("IPアドレス:")));
    lblForwardingPortNumber->setText(
        Tr(QStringLiteral("Forwarding Port Number:"), QStringLiteral("転送先ポート番号:")));
    fraVoIp->setTitle(Tr(QStringLiteral("VoIP"), QStringLiteral("VoIP")));
    lblRx->setText(Tr(QStringLiteral("Rx"), QStringLiteral("受信")));
    lblTx->setText(Tr(QStringLiteral("Tx"), QStringLiteral("送信")));
    fraConnectionStatus->setTitle(
        Tr(QStringLiteral("Connection Status"), QStringLiteral("接続状況")));
    chkRejectConnectionRequest->setText(
        Tr(QStringLiteral("Reject &Connection Request"), QStringLiteral("接続要求を拒否する(&C)")));
    chkRejectConnectionRequest->setToolTip(
        Tr(QStringLiteral("Reject Connection Request"), QStringLiteral("接続要求を拒否する")));
}

void frmMain::chkOnline_Click() {
    if (chkOnline->isChecked()) {
        if (g_intUserCount < 1) {
            ShowErrorBox(this,
                         Tr(QStringLiteral("No user is registered.\r\nPlease register a user."),
                            QStringLiteral("ユーザーが登録されていません。\r\n"
                                           "ユーザーを登録してください。")));
            chkOnline->setChecked(false);
            return;
        }
        if (!GoOnline()) {
            chkOnline->setChecked(false);
            return;
        }
        SetOnlineState(1);
        ConsoleLog(QStringLiteral("online on port %1").arg(txtListenPortNumber->text()));
        chkOnline->setText(Tr(QStringLiteral("&Offline"), QStringLiteral("オフライン(&O)")));
        chkOnline->setToolTip(
            Tr(QStringLiteral("Click to Offline"), QStringLiteral("オフラインはここをクリック")));
        mnuRunOnline->setText(Tr(QStringLiteral("&Offline"), QStringLiteral("オフライン(&O)")));
        chkRejectConnectionRequest_Click();
        OpenRouterPort();
        return;
    }

    if (m_router)
        m_router->Stop();
    LogTraffic();
    TavrinoStandard->CallBool(DISPID_DISCONNECT);
    TavrinoStandard->CallVoid(DISPID_UNINITIALIZE);
    SetOnlineState(2);
    chkOnline->setText(Tr(QStringLiteral("&Online"), QStringLiteral("オンライン(&O)")));
    chkOnline->setToolTip(
        Tr(QStringLiteral("Click to Online"), QStringLiteral("オンラインはここをクリック")));
    mnuRunOnline->setText(Tr(QStringLiteral("&Online"), QStringLiteral("オンライン(&O)")));
    chkRejectConnectionRequest->setEnabled(true);
    TavrinoStandard->CallVoid(DISPID_DISABLE_BUSY_STATE);
}

bool frmMain::GoOnline() {
    // The field may hold pasted text, or a value that never passed its
    // leave-check when F5 is pressed inside it: refuse it as the check would.
    const int port = PortNumber(txtListenPortNumber->text());
    if (port < kMinListenPort || port > kMaxListenPort) {
        ShowErrorBox(this, PortRangeMessage());
        if (!g_strListenPort.isEmpty())
            txtListenPortNumber->setText(g_strListenPort);
        return false;
    }
    if (!TavrinoStandard->CallBool(DISPID_INITIALIZE, {port, kStationCryptographyKey}) ||
        !TavrinoStandard->CallBool(DISPID_DISABLE_CRYPTOGRAPHY)) {
        ShowObjectError();
        return false;
    }
    return true;
}

void frmMain::SetOnlineState(int state) {
    if (state == 1) {
        txtListenPortNumber->setEnabled(false);
    } else if (state == 2) {
        txtListenPortNumber->setEnabled(true);
        txtUserName->clear();
        txtConnectedIpAddress->clear();
        txtForwardingPort->clear();
    }
}

void frmMain::mnuRunOnline_Click() {
    chkOnline->setChecked(!chkOnline->isChecked());
}

void frmMain::chkRejectConnectionRequest_Click() {
    TavrinoStandard->CallVoid(chkRejectConnectionRequest->isChecked()
                                  ? DISPID_ENABLE_NOT_AVAILABLE_STATE
                                  : DISPID_DISABLE_NOT_AVAILABLE_STATE);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtListenPortNumber && event->type() == QEvent::KeyPress) {
        // Only digits and backspace may type into the port; keys that type
        // nothing (arrows, Delete, Tab, function keys) keep their work.
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.isEmpty() || key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete ||
            key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            return false;
        const bool digit =
            text.size() == 1 && text.at(0) >= QLatin1Char('0') && text.at(0) <= QLatin1Char('9');
        return !digit;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::txtListenPortNumber_GotFocus() {
    // Select-all is installed with the field; here the fallback is noted.
    g_strListenPort = txtListenPortNumber->text();
}

void frmMain::txtListenPortNumber_LostFocus() {
    const QString text = txtListenPortNumber->text();
    const int port = text.isEmpty() ? 0 : PortNumber(text);
    if (port < kMinListenPort || port > kMaxListenPort) {
        ShowErrorBox(this, PortRangeMessage());
        txtListenPortNumber->setText(g_strListenPort);
    }
}

bool frmMain::SetLamp(qint32 dispid, QLabel* lit, QLabel* dark) {
    bool ok = false;
    const QVariant rate = TavrinoStandard->Invoke(dispid, {}, &ok);
    if (!ok)
        return false;
    const bool on = rate.toInt() != 0;
    lit->setVisible(on);
    dark->setVisible(!on);
    return true;
}

void frmMain::ReopenAudio() {
    if (!chkOnline->isChecked())
        return; // offline: the next Initialize takes the choice
    TavrinoStandard->CallVoid(DISPID_UNINITIALIZE);
    if (!GoOnline()) {
        chkOnline->setChecked(false); // runs the offline branch
        return;
    }
    chkRejectConnectionRequest_Click();
}

void frmMain::tmrMessage_Timer() {
    m_audioMenu->ShowNotices(lblConnectionStatus);
    if (m_lampErrorShowing)
        return; // one report at a time; the timer keeps running
    if (SetLamp(DISPID_GET_INBOUND_DATA_RATE, picRx, picRxBlack) &&
        SetLamp(DISPID_GET_OUTBOUND_DATA_RATE, picTx, picTxBlack))
        return;
    m_lampErrorShowing = true;
    ShowErrorBox(this, QString::number(kErrControlUnavailable));
    m_lampErrorShowing = false;
}

void frmMain::ResetPeer() {
    txtUserName->clear();
    txtConnectedIpAddress->clear();
    txtForwardingPort->clear();
    chkRejectConnectionRequest->setEnabled(true);
    TavrinoStandard->CallVoid(DISPID_DISABLE_BUSY_STATE);
}

void frmMain::TavrinoStandard_OnStatusEvent(qint32 statusCode) {
    const QString text = StatusText(statusCode, Station::Host);
    if (!text.isEmpty()) {
        lblConnectionStatus->setText(text);
        ConsoleLog(QStringLiteral("status %1: %2").arg(statusCode).arg(text));
    }
    if (statusCode != STATUS_CALLING && statusCode != STATUS_CONNECTED)
        ResetPeer();
}

void frmMain::RefuseUnknownCaller(const QString& ip, qint32 port, const QString& userData) {
    // No answer. Logged once per attempt, not for each copy of its request: a flood of
    // guesses must not flood the log as well.
    const AdmissionLimiter::Failure failure = m_admissions.Fail(ip, userData);
    if (failure == AdmissionLimiter::Failure::Repeated)
        return;
    ConsoleLog(QStringLiteral("call from %1:%2 not answered: unknown user").arg(ip).arg(port));
    if (failure == AdmissionLimiter::Failure::Blocking)
        ConsoleLog(QStringLiteral("calls from %1 not answered for %2 s: %3 failed attempts")
                       .arg(ip)
                       .arg(m_admissions.Limit().blockMs / 1000)
                       .arg(m_admissions.Limit().failures));
}

void frmMain::TavrinoStandard_OnConnectionEvent(const QString& ip, qint32 port,
                                                const QString& userData) {
    // Whoever it claims to be: the right password must not show through a block.
    if (m_admissions.IsBlocked(ip))
        return;
    // "ID=<name>&Password=<password>": the name is the value before the
    // first "&", the password everything after it. Data without that shape
    // names nobody and, like an unknown caller, gets no answer.
    const qsizetype amp = userData.indexOf(QLatin1Char('&'));
    bool hasName = false;
    bool hasPassword = false;
    const QString userName = amp < 0 ? QString() : ValueOfPart(userData.left(amp), &hasName);
    const QString password = amp < 0 ? QString() : ValueOfPart(userData.mid(amp + 1), &hasPassword);
    const qint16 index = hasName && hasPassword ? FindUser(userName, password) : qint16(-1);
    if (index == -1) {
        RefuseUnknownCaller(ip, port, userData);
        return;
    }

    if (IsUserDisabled(index)) {
        if (TavrinoStandard->CallBool(DISPID_CANCEL_INCOMING_CALL, {ip, port})) {
            ConsoleLog(QStringLiteral("call from %1:%2 refused: user %3 is disabled")
                           .arg(ip)
                           .arg(port)
                           .arg(userName));
            txtConnectedIpAddress->clear();
            txtForwardingPort->clear();
        } else {
            ShowObjectError();
        }
        return;
    }

    if (TavrinoStandard->CallBool(DISPID_ACCEPT_INCOMING_CALL, {ip, port, kAcceptTimeOutSeconds})) {
        ConsoleLog(
            QStringLiteral("call from %1:%2 accepted: user %3").arg(ip).arg(port).arg(userName));
        txtConnectedIpAddress->setText(ip);
        txtForwardingPort->setText(QString::number(port));
        txtUserName->setText(g_udtUsers[static_cast<size_t>(index)].UserName);
        chkRejectConnectionRequest->setEnabled(false);
        TavrinoStandard->CallVoid(DISPID_ENABLE_BUSY_STATE);
    } else {
        ShowObjectError();
    }
}

void frmMain::ShowObjectError() {
    const qint32 error = TavrinoStandard->CallLong(DISPID_GET_OBJECT_ERROR);
    const QString text = ObjectErrorText(error, Station::Host);
    if (text.isEmpty())
        return;
    // Already connected or connecting: a reminder that goes away by itself.
    if (error == ERR_ALREADY_CONNECTED || error == ERR_CALL_PENDING)
        ShowTimedMessage(text, QString());
    else
        ShowErrorBox(this, text);
}

void frmMain::mnuFileSetup_Click() {
    frmSetup setup(this);
    setup.exec();
}

void frmMain::mnuFileExit_Click() {
    close();
}

void frmMain::mnuHelpHelp_Click() {
    ShowHelp(m_helpFile, HH_DISPLAY_TOC, 0, QString());
}

void frmMain::mnuHelpAbout_Click() {
    AboutInfo info = HostAboutInfo(m_helpFile);
    // Remotes on the Internet call the router's public address while the port stands open.
    info.localAddress = [this] {
        const QString address = m_router ? m_router->PublicAddress() : QString();
        return address.isEmpty() ? GetLocalIPAddress() : address;
    };
    frmAbout about(info, this);
    about.exec();
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (!m_unloaded) {
        m_unloaded = true;
        tmrMessage->stop();
        // Removed by the mapper's worker; its destructor waits a bounded time for it.
        if (m_router)
            m_router->Stop();
        LogTraffic();
        TavrinoStandard->CallBool(DISPID_DISCONNECT);
        TavrinoStandard->CallVoid(DISPID_UNINITIALIZE);
        // Both files are written even if the first fails; each failure has
        // been reported to the operator, and the old files stay whole.
        SaveUserList();
        g_strListenPort = txtListenPortNumber->text();
        SaveHostSettings(g_strListenPort);
    }
    event->accept();
}

void frmMain::LogTraffic() {
    // The totals count from going online, so they are read before the control is torn down.
    // The port field is disabled exactly while online.
    if (txtListenPortNumber->isEnabled())
        return;
    ConsoleLog(QStringLiteral("traffic: sent %1 bytes, received %2 bytes")
                   .arg(TavrinoStandard->CallLong(DISPID_GET_OUTBOUND_TOTAL_BYTES))
                   .arg(TavrinoStandard->CallLong(DISPID_GET_INBOUND_TOTAL_BYTES)));
}

void frmMain::OpenRouterPort() {
    if (!mnuRunRouterPort->isChecked() || !RouterPortAllowedByEnvironment() ||
        txtListenPortNumber->isEnabled())
        return;
    if (!m_router) {
        m_router = NewRouterPortMapper();
        connect(m_router.get(), &CPortMapper::Changed, this, &frmMain::RouterPort_Changed);
    }
    m_router->Start(static_cast<quint16>(txtListenPortNumber->text().toUInt()));
}

void frmMain::mnuRunRouterPort_Click() {
    SetRouterPortOption(mnuRunRouterPort->isChecked());
    if (mnuRunRouterPort->isChecked())
        OpenRouterPort();
    else if (m_router)
        m_router->Stop();
}

void frmMain::RouterPort_Changed(const PortMapReport& report) {
    const QString text = RouterPortText(report);
    lblRouterStatus->setText(text);
    if (!text.isEmpty())
        ConsoleLog(QStringLiteral("router: ") + text);
}
