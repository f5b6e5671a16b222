// Main window of the remote station: choose a stored connection, call the host, show the
// outcome and the activity lamps.
#include "frmMain.h"

#include "AudioSettingsMenu.h"
#include "StationImages.h"
#include "TavrinoClient.h"
#include "frmAbout.h"
#include "frmSetup.h"
#include "modConsoleLog.h"
#include "modControlCommon.h"
#include "modControlMessages.h"
#include "modFormCommon.h"
#include "modHelpConst.h"
#include "modHvnRegistry.h"
#include "modMessage.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

bool g_blnConnectionActive = false;

namespace {

using namespace Tavrino;

constexpr int kConnectTimeoutSeconds = 20;
constexpr int kLampIntervalMs = 500;

// The box shown with a status line; empty for the codes that show none.
QString StatusMessage(qint32 code) {
    const QString br = QStringLiteral("\r\n");
    switch (code) {
    case STATUS_TIMEOUT:
        return Tr(QStringLiteral("A network error is detected.") + br + br +
                      QStringLiteral("Possibilities include:") + br +
                      QStringLiteral("The User Name, the Password, IP address or/and the Port "
                                     "number is incorrect.") +
                      br + QStringLiteral("The host station does not operate."),
                  QStringLiteral("ネットワーク・エラーが検出されました。") + br + br +
                      QStringLiteral("考えられる理由:") + br +
                      QStringLiteral("ユーザー名、パスワード、IPアドレス、ポート番号が間違って"
                                     "いる。") +
                      br + QStringLiteral("ホスト・ステーションが稼働していない。"));
    case STATUS_REMOTE_BUSY:
        return Tr(QStringLiteral("The host station Busy") + br +
                      QStringLiteral("The host station is currently being used by another "
                                     "user.") +
                      br + QStringLiteral("Connect to the host station later."),
                  QStringLiteral("ホスト・ステーションがビジー") + br +
                      QStringLiteral("ホスト・ステーションは現在ほかのユーザーによって使用され"
                                     "ています。") +
                      br + QStringLiteral("時間をおいて再度接続してください。"));
    case STATUS_REMOTE_NOT_AVAILABLE:
        return Tr(QStringLiteral("The host station is unavailable") + br +
                      QStringLiteral("Because the administrator has stopped the host station, "
                                     "it is not possible to use it.") +
                      br + QStringLiteral("Please contact the administrator for details."),
                  QStringLiteral("ホスト・ステーションが利用不可能") + br +
                      QStringLiteral("ホスト・ステーションが管理者によって停止されているため、"
                                     "使用できません。") +
                      br + QStringLiteral("詳細は管理者に問い合わせてください。"));
    case STATUS_CALL_REJECTED:
        return Tr(QStringLiteral("Your ID has been temporarily disabled") + br +
                      QStringLiteral("The administrator of the requested host station has "
                                     "temporarily disabled your connection to the host "
                                     "station.") +
                      br + QStringLiteral("Contact the administrator for details."),
                  QStringLiteral("あなたのIDが一時的に無効にされている") + br +
                      QStringLiteral("ホスト・ステーションの管理者があなたの接続を一時的に無効"
                                     "にしています。") +
                      br + QStringLiteral("詳細は管理者に問い合わせてください。"));
    default:
        return {};
    }
}

bool EndsTheCall(qint32 code) {
    switch (code) {
    case STATUS_TIMEOUT:
    case STATUS_CONNECTION_LOST:
    case STATUS_REMOTE_DISCONNECTED:
    case STATUS_REMOTE_BUSY:
    case STATUS_REMOTE_NOT_AVAILABLE:
    case STATUS_CALL_REJECTED:
    case STATUS_ENCRYPTED_DATA:
        return true;
    default:
        return false;
    }
}

QLabel* NewPicture(QWidget* parent, const char* name, const QString& resource) {
    auto* picture = new QLabel(parent);
    picture->setObjectName(QString::fromLatin1(name));
    picture->setPixmap(QPixmap(resource));
    return picture;
}

} // namespace

frmMain::frmMain(const QString& controlPath, QWidget* parent)
    : QMainWindow(parent), m_controlPath(controlPath) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(StationIcon(QStringLiteral("TESSORAR")));
    CreateControls();
    CreateMenus();
    Form_Load();
}

frmMain::~frmMain() = default;

// The lamp pictures live in a static library, whose resources the linker keeps only when
// something names their initialiser; outside any namespace, as the macro requires.
static void LoadLampPictures() {
    static const bool loaded = [] {
        Q_INIT_RESOURCE(remote);
        return true;
    }();
    (void)loaded;
}

void frmMain::CreateControls() {
    LoadLampPictures();

    TavrinoStandard = new TavrinoClient(this);
    TavrinoStandard->setObjectName(QStringLiteral("TavrinoStandard"));
    if (!TavrinoStandard->Load(m_controlPath))
        std::fprintf(stderr, "TESSORA-R: the voice control could not be loaded: %s\n",
                     qPrintable(TavrinoStandard->LoadError()));
    connect(TavrinoStandard, &TavrinoClient::OnStatusEvent, this,
            &frmMain::TavrinoStandard_OnStatusEvent);
    connect(TavrinoStandard, &TavrinoClient::OnConnectionEvent, this,
            &frmMain::TavrinoStandard_OnConnectionEvent);

    fraMain = new QFrame(this);
    fraMain->setObjectName(QStringLiteral("fraMain"));
    fraMain->setFrameShape(QFrame::StyledPanel);
    setCentralWidget(fraMain);

    fraConnectionSettings = new QGroupBox(fraMain);
    fraConnectionSettings->setObjectName(QStringLiteral("fraConnectionSettings"));
    lblConnectionName = new QLabel(fraConnectionSettings);
    lblConnectionName->setObjectName(QStringLiteral("lblConnectionName"));
    cboConnectionName = new QComboBox(fraConnectionSettings);
    cboConnectionName->setObjectName(QStringLiteral("cboConnectionName"));
    cboConnectionName->setMinimumWidth(200);
    lblConnectionName->setBuddy(cboConnectionName);
    lblPortNumber = new QLabel(fraConnectionSettings);
    lblPortNumber->setObjectName(QStringLiteral("lblPortNumber"));
    txtPortNumber = new QLabel(fraConnectionSettings);
    txtPortNumber->setObjectName(QStringLiteral("txtPortNumber"));
    chkConnect = new QPushButton(fraConnectionSettings);
    chkConnect->setObjectName(QStringLiteral("chkConnect"));
    chkConnect->setCheckable(true);
    chkConnect->setMinimumSize(150, 56);
    auto* settingsGrid = new QGridLayout(fraConnectionSettings);
    settingsGrid->addWidget(lblConnectionName, 0, 0);
    settingsGrid->addWidget(cboConnectionName, 0, 1);
    settingsGrid->addWidget(lblPortNumber, 1, 0);
    settingsGrid->addWidget(txtPortNumber, 1, 1);
    settingsGrid->addWidget(chkConnect, 0, 2, 2, 1);
    settingsGrid->setColumnStretch(1, 1);

    fraConnectionStatus = new QGroupBox(fraMain);
    fraConnectionStatus->setObjectName(QStringLiteral("fraConnectionStatus"));
    lblStatus = new QLabel(fraConnectionStatus);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setMinimumHeight(24);
    lblStatus->setWordWrap(true);
    auto* statusLayout = new QVBoxLayout(fraConnectionStatus);
    statusLayout->addWidget(lblStatus);

    fraVoIp = new QGroupBox(fraMain);
    fraVoIp->setObjectName(QStringLiteral("fraVoIp"));
    lblRx = new QLabel(fraVoIp);
    lblRx->setObjectName(QStringLiteral("lblRx"));
    lblTx = new QLabel(fraVoIp);
    lblTx->setObjectName(QStringLiteral("lblTx"));
    picRx = NewPicture(fraVoIp, "picRx", QStringLiteral(":/remote/lamp-rx.png"));
    picRxBlack = NewPicture(fraVoIp, "picRxBlack", QStringLiteral(":/remote/lamp-dark.png"));
    picTx = NewPicture(fraVoIp, "picTx", QStringLiteral(":/remote/lamp-tx.png"));
    picTxBlack = NewPicture(fraVoIp, "picTxBlack", QStringLiteral(":/remote/lamp-dark.png"));
    auto* lampGrid = new QGridLayout(fraVoIp);
    // Lit and dark lamp share one place; only one of the two is ever visible.
    lampGrid->addWidget(lblRx, 0, 0);
    lampGrid->addWidget(picRx, 0, 1);
    lampGrid->addWidget(picRxBlack, 0, 1);
    lampGrid->addWidget(lblTx, 0, 2);
    lampGrid->addWidget(picTx, 0, 3);
    lampGrid->addWidget(picTxBlack, 0, 3);
    picRx->setVisible(false);
    picTx->setVisible(false);

    imgHalvornLogo = new QLabel(fraMain);
    imgHalvornLogo->setObjectName(QStringLiteral("imgHalvornLogo"));
    imgHalvornLogo->setPixmap(HalvornLogo(28));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(fraVoIp);
    bottom->addStretch();
    bottom->addWidget(imgHalvornLogo, 0, Qt::AlignBottom | Qt::AlignRight);
    auto* mainLayout = new QVBoxLayout(fraMain);
    mainLayout->addWidget(fraConnectionSettings);
    mainLayout->addWidget(fraConnectionStatus);
    mainLayout->addLayout(bottom);

    tmrUpdateVoipStatus = new QTimer(this);
    tmrUpdateVoipStatus->setObjectName(QStringLiteral("tmrUpdateVoipStatus"));
    tmrUpdateVoipStatus->setInterval(kLampIntervalMs);
    connect(tmrUpdateVoipStatus, &QTimer::timeout, this, &frmMain::tmrUpdateVoipStatus_Timer);

    connect(chkConnect, &QPushButton::toggled, this, &frmMain::chkConnect_Click);
}

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
    mnuRunConnect = mnuRun->addAction(QString());
    mnuRunConnect->setObjectName(QStringLiteral("mnuRunConnect"));

    mnuHelp = menuBar()->addMenu(QString());
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpHelp = mnuHelp->addAction(QString());
    mnuHelpHelp->setObjectName(QStringLiteral("mnuHelpHelp"));
    mnuHelpLine = mnuHelp->addSeparator();
    mnuHelpLine->setObjectName(QStringLiteral("mnuHelpLine"));
    mnuHelpAbout = mnuHelp->addAction(QString());
    mnuHelpAbout->setObjectName(QStringLiteral("mnuHelpAbout"));

    connect(mnuFileSetup, &QAction::triggered, this, &frmMain::mnuFileSetup_Click);
    connect(mnuFileExit, &QAction::triggered, this, &QWidget::close);
    // The remote opens its devices per call: a choice made between calls needs no reopening.
    m_audioMenu = new AudioSettingsMenu(mnuFile, mnuFileLine, this,
                                        {[] { return g_blnConnectionActive; }, {}, [this] { return m_helpFile; }});
    m_audioMenu->SetControl(TavrinoStandard); // loaded by CreateControls
    connect(mnuRunConnect, &QAction::triggered, this, &frmMain::mnuRunConnect_Click);
    connect(mnuHelpHelp, &QAction::triggered, this, &frmMain::mnuHelpHelp_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &frmMain::mnuHelpAbout_Click);
}

void frmMain::Form_Load() {
    LoadConnectionList();
    LoadSelectItem();
    ReadLanguageSetting();
    SetFormFonts();
    SetConnectionControls(true);
    ApplyLanguage();
    m_helpFile = HelpFilePath(QStringLiteral("TESSORAR"));
    SetHelpContext(this, m_helpFile, HELP_CONTEXT_MAIN);
    FillConnectionNames();
    cboConnectionName->setCurrentIndex(g_strSelectItem.isEmpty() ? -1
                                                                 : FindConnection(g_strSelectItem));
    tmrUpdateVoipStatus->start();
    // Told once the event loop runs, where a closing signal reaches the window and so
    // can end the program while such a box is open.
    QTimer::singleShot(0, this, [this] {
        if (!m_unloaded)
            ReportUnreadableFiles();
    });
}

void frmMain::SetFormFonts() {
    SetMainFormFonts(this, chkConnect);
}

void frmMain::ApplyLanguage() {
    setWindowTitle(ProgramTitle() + QStringLiteral(" VoIP Program (for Remote Station)"));
    mnuFile->setTitle(Tr(QStringLiteral("&File"), QStringLiteral("ファイル(&F)")));
    mnuFileSetup->setText(Tr(QStringLiteral("&Setup..."), QStringLiteral("設定(&S)...")));
    mnuFileExit->setText(Tr(QStringLiteral("E&xit"), QStringLiteral("終了(&X)")));
    m_audioMenu->ApplyLanguage();
    mnuRun->setTitle(Tr(QStringLiteral("&Run"), QStringLiteral("実行(&R)")));
    mnuRunConnect->setText(Tr(QStringLiteral("&Connect"), QStringLiteral("接続(&C)")));
    mnuHelp->setTitle(Tr(QStringLiteral("&Help"), QStringLiteral("ヘルプ(&H)")));
    mnuHelpHelp->setText(Tr(QStringLiteral("&Help..."), QStringLiteral("ヘルプ(&H)...")));
    mnuHelpAbout->setText(
        Tr(QStringLiteral("&About TESSORA-R..."), QStringLiteral("TESSORA-Rについて(&A)...")));
    fraConnectionSettings->setTitle(
        Tr(QStringLiteral("Connection Settings"), QStringLiteral("接続設定")));
    lblConnectionName->setText(
        Tr(QStringLiteral("Connection &Name:"), QStringLiteral("接続名(&N)：")));
    cboConnectionName->setToolTip(Tr(QStringLiteral("Connection Name"), QStringLiteral("接続名")));
    lblPortNumber->setText(Tr(QStringLiteral("Port Number:"), QStringLiteral("ポート番号：")));
    chkConnect->setText(Tr(QStringLiteral("&Connect"), QStringLiteral("接続(&C)")));
    chkConnect->setToolTip(
        Tr(QStringLiteral("Click to Connect"), QStringLiteral("接続はここをクリック")));
    fraVoIp->setTitle(Tr(QStringLiteral("VoIP"), QStringLiteral("VoIP")));
    lblRx->setText(Tr(QStringLiteral("Rx"), QStringLiteral("受信")));
    lblTx->setText(Tr(QStringLiteral("Tx"), QStringLiteral("送信")));
    fraConnectionStatus->setTitle(
        Tr(QStringLiteral("Connection Status"), QStringLiteral("接続状況")));
}

void frmMain::FillConnectionNames() {
    cboConnectionName->clear();
    for (int i = 0; i <= g_intLastConnectionIndex; ++i)
        cboConnectionName->addItem(g_udtConnections[static_cast<size_t>(i)].ConnectName);
    cboConnectionName->setCurrentIndex(-1);
}

void frmMain::SetConnectionControls(bool idle) {
    cboConnectionName->setEnabled(idle);
    txtPortNumber->setEnabled(idle);
}

bool frmMain::IsConnectionSelected() const {
    return cboConnectionName->currentIndex() >= 0;
}

bool frmMain::OpenConnection() {
    if (!IsConnectionSelected()) {
        ShowErrorBox(this, Tr(QStringLiteral("Please select Connection Name."),
                              QStringLiteral("接続名を選択してください。")));
        return false;
    }
    const ConnectionRecord record =
        g_udtConnections[static_cast<size_t>(cboConnectionName->currentIndex())];
    txtPortNumber->setText(record.PortNo);
    const QString userData =
        QStringLiteral("ID=") + record.UserName + QStringLiteral("&Password=") + record.Password;
    const qint32 port = record.PortNo.toInt();

    // The remote listens on the same port number as the host port it calls.
    if (!TavrinoStandard->CallBool(DISPID_INITIALIZE, {port, kStationCryptographyKey})) {
        ShowObjectError();
        return false;
    }
    if (!TavrinoStandard->CallBool(DISPID_DISABLE_CRYPTOGRAPHY)) {
        ShowObjectError();
        return false;
    }
    if (!TavrinoStandard->CallBool(DISPID_CONNECT,
                                   {record.IpAddress, port, userData, kConnectTimeoutSeconds})) {
        ShowObjectError();
        return false;
    }
    return true;
}

void frmMain::ShowObjectError() {
    if (!TavrinoStandard->IsLoaded()) {
        // Without the control every call fails with no object error to tell why.
        ShowErrorBox(this, Tr(QStringLiteral("The voice control could not be loaded.\r\n%1"),
                              QStringLiteral("音声コントロールを読み込めませんでした。\r\n%1"))
                               .arg(TavrinoStandard->LoadError()));
        return;
    }
    const QString text =
        ObjectErrorText(TavrinoStandard->CallLong(DISPID_GET_OBJECT_ERROR), Station::Remote);
    if (!text.isEmpty())
        ShowErrorBox(this, text);
}

void frmMain::chkConnect_Click(bool checked) {
    if (checked) {
        if (OpenConnection()) {
            chkConnect->setText(Tr(QStringLiteral("&Disconnect"), QStringLiteral("切断(&D)")));
            chkConnect->setToolTip(
                Tr(QStringLiteral("Click to Disconnect"), QStringLiteral("切断はここをクリック")));
            SetConnectionControls(false);
            g_blnConnectionActive = true;
            m_callPlaced = true;
            mnuRunConnect->setText(Tr(QStringLiteral("&Disconnect"), QStringLiteral("切断(&D)")));
        } else {
            chkConnect->setChecked(false); // runs the unchecked branch
        }
        return;
    }
    chkConnect->setText(Tr(QStringLiteral("&Connect"), QStringLiteral("接続(&C)")));
    chkConnect->setToolTip(
        Tr(QStringLiteral("Click to Connect"), QStringLiteral("接続はここをクリック")));
    LogTraffic();
    TavrinoStandard->CallBool(DISPID_DISCONNECT);
    TavrinoStandard->CallVoid(DISPID_UNINITIALIZE);
    SetConnectionControls(true);
    // A call ended by a status keeps its status line: the handler cleared the flag first.
    if (g_blnConnectionActive) {
        lblStatus->clear();
        txtPortNumber->clear();
    }
    mnuRunConnect->setText(Tr(QStringLiteral("&Connect"), QStringLiteral("接続(&C)")));
}

void frmMain::TavrinoStandard_OnStatusEvent(qint32 statusCode) {
    if (EndsTheCall(statusCode)) {
        g_blnConnectionActive = false;
        chkConnect->setChecked(false);
    }
    const QString line = StatusText(statusCode, Station::Remote);
    if (line.isEmpty())
        return;
    lblStatus->setText(line);
    ConsoleLog(QStringLiteral("status %1: %2").arg(statusCode).arg(line));
    const QString message = StatusMessage(statusCode);
    if (!message.isEmpty())
        ShowWarningBox(this, message);
}

void frmMain::TavrinoStandard_OnConnectionEvent(const QString& ip, qint32 port,
                                                const QString& /*userData*/) {
    // The remote station never takes calls.
    if (!TavrinoStandard->CallBool(DISPID_CANCEL_INCOMING_CALL, {ip, port}))
        ShowObjectError();
}

void frmMain::tmrUpdateVoipStatus_Timer() {
    m_audioMenu->ShowNotices(lblStatus);
    const bool receiving = TavrinoStandard->CallLong(DISPID_GET_INBOUND_DATA_RATE) != 0;
    picRx->setVisible(receiving);
    picRxBlack->setVisible(!receiving);
    const bool sending = TavrinoStandard->CallLong(DISPID_GET_OUTBOUND_DATA_RATE) != 0;
    picTx->setVisible(sending);
    picTxBlack->setVisible(!sending);
}

void frmMain::mnuFileSetup_Click() {
    const QString selected = IsConnectionSelected() ? cboConnectionName->currentText() : QString();
    {
        frmSetup setup(this);
        setup.exec();
    }
    FillConnectionNames();
    cboConnectionName->setCurrentIndex(FindConnection(selected));
}

void frmMain::mnuRunConnect_Click() {
    chkConnect->setChecked(!chkConnect->isChecked());
}

void frmMain::mnuHelpHelp_Click() {
    ShowHelp(m_helpFile, HH_DISPLAY_TOC, 0, QString());
}

void frmMain::mnuHelpAbout_Click() {
    frmAbout about(RemoteAboutInfo(m_helpFile), this);
    about.exec();
}

bool frmMain::ConnectTo(const QString& name) {
    const int index = FindConnection(name);
    if (index < 0)
        return false;
    cboConnectionName->setCurrentIndex(index);
    chkConnect->setChecked(true);
    return true;
}

void frmMain::CloseFromSignal() {
    // What the close reports (a file that cannot be saved) must not wait for a click.
    SetMessageBoxesToStandardError(true);
    close();
    // Leaves every event loop, those of message boxes still open included.
    QCoreApplication::quit();
    SetMessageBoxesToStandardError(false);
}

void frmMain::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    tmrUpdateVoipStatus->stop();
    LogTraffic();
    TavrinoStandard->CallBool(DISPID_DISCONNECT);
    TavrinoStandard->CallVoid(DISPID_UNINITIALIZE);
    SaveConnectionList();
    g_strSelectItem = cboConnectionName->currentText();
    SaveSelectItem();
}

void frmMain::LogTraffic() {
    // Once per placed call; the totals count from Initialize, so they are read before the
    // control is torn down.
    if (!m_callPlaced)
        return;
    m_callPlaced = false;
    ConsoleLog(QStringLiteral("traffic: sent %1 bytes, received %2 bytes")
                   .arg(TavrinoStandard->CallLong(DISPID_GET_OUTBOUND_TOTAL_BYTES))
                   .arg(TavrinoStandard->CallLong(DISPID_GET_INBOUND_TOTAL_BYTES)));
}
