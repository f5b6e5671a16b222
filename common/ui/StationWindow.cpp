// SPDX-License-Identifier: GPL-3.0-or-later
// What the host's and the remote's main windows share.
#include "StationWindow.h"

#include "AudioSettings.h"
#include "CallIndicators.h"
#include "CallStatisticsFeed.h"
#include "frmCallStatistics.h"
#include "StationDesktop.h"
#include "StationImages.h"
#include "StationSession.h"
#include "TavrinoClient.h"
#include "frmAbout.h"
#include "frmAudioSettings.h"
#include "modAccessibility.h"
#include "modConsoleLog.h"
#include "modFormCommon.h"
#include "modHelpConst.h"
#include "modHvnRegistry.h"
#include "modMessage.h"
#include "modUserSettings.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace Tavrino;

namespace {

constexpr int kLampIntervalMs = 500;

QLabel* NewLamp(QWidget* parent, const char* name, const QPixmap& picture) {
    auto* lamp = new QLabel(parent);
    lamp->setObjectName(QString::fromLatin1(name));
    lamp->setPixmap(picture);
    lamp->setFixedSize(picture.size());
    return lamp;
}

// Opus at 16 kHz offered to the stations that speak it; on unless the operator turned it off.
const QString kWidebandVoiceKey = QStringLiteral("Voice/Wideband");

QLabel* NewLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

StationWindow::StationWindow(Station station, QWidget* parent)
    : QMainWindow(parent), m_session(new StationSession(station, this)),
      TavrinoStandard(m_session->Control()), m_profile(StationProfile::Of(station)) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(StationIcon(m_profile.programBase));

    m_desktop = new StationDesktop(this, m_profile.station, m_profile.programBase, m_profile.title,
                                   [this] { return CallPeerName(); });
    connect(m_session, &StationSession::StatusEvent, this, [this](qint32 code) {
        m_desktop->StatusArrived(code); // before the station clears what the call showed
        TavrinoStandard_OnStatusEvent(code);
        m_desktop->StatusShown(code); // after it shows who calls
    });
    connect(m_session, &StationSession::ConnectionEvent, this,
            [this](const QString& ip, qint32 port, const QString& userData) {
                TavrinoStandard_OnConnectionEvent(ip, port, userData);
            });

    // What happens to the audio devices goes on the status line as it happens.
    connect(m_session, &StationSession::AudioNotice, this, [this](qint32 notices) {
        const QString notice = AudioNoticeText(notices);
        if (notice.isEmpty())
            return;
        m_statusLabel->setText(notice);
        ConsoleLog(QStringLiteral("audio: %1").arg(notice));
    });

    m_statsFeed = new CallStatisticsFeed(TavrinoStandard, this);
    connect(m_statsFeed, &CallStatisticsFeed::Updated, this, [this] {
        if (!m_statsFeed->Running())
            return; // the call ended: its rating goes with the lock
        const CallFigures& f = m_statsFeed->Latest();
        m_callIndicators->ShowRating(f.Number(QStringLiteral("rating")),
                                     f.Number(QStringLiteral("rating_out")));
    });

    m_lampTimer = new QTimer(this);
    m_lampTimer->setObjectName(QString::fromLatin1(m_profile.lampTimerName));
    m_lampTimer->setInterval(kLampIntervalMs);
    connect(m_lampTimer, &QTimer::timeout, this, &StationWindow::LampTimer_Timer);
}

StationWindow::~StationWindow() = default;

void StationWindow::CreateMenus() {
    const auto named = [](auto* item, const char* name) {
        item->setObjectName(QString::fromLatin1(name));
        return item;
    };
    mnuFile = named(menuBar()->addMenu(QString()), "mnuFile");
    mnuFileSetup = named(mnuFile->addAction(QString()), "mnuFileSetup");
    mnuFileLine = named(mnuFile->addSeparator(), "mnuFileLine");
    mnuFileExit = named(mnuFile->addAction(QString()), "mnuFileExit");
    mnuRun = named(menuBar()->addMenu(QString()), "mnuRun");
    mnuRunToggle = named(mnuRun->addAction(QString()), m_profile.runActionName);
    mnuRunWidebandVoice = named(mnuRun->addAction(QString()), "mnuRunWidebandVoice");
    mnuRunWidebandVoice->setCheckable(true);
    mnuRunWidebandVoice->setChecked(UserOption(m_profile.title, kWidebandVoiceKey, true));
    m_session->SetWidebandVoice(mnuRunWidebandVoice->isChecked());
    mnuRunCallStatistics = named(mnuRun->addAction(QString()), "mnuRunCallStatistics");
    mnuHelp = named(menuBar()->addMenu(QString()), "mnuHelp");
    mnuHelpHelp = named(mnuHelp->addAction(QString()), "mnuHelpHelp");
    mnuHelpLine = named(mnuHelp->addSeparator(), "mnuHelpLine");
    mnuHelpAbout = named(mnuHelp->addAction(QString()), "mnuHelpAbout");

    connect(mnuFileSetup, &QAction::triggered, this, [this] { mnuFileSetup_Click(); });
    connect(mnuFileExit, &QAction::triggered, this, &QWidget::close);
    connect(mnuRunToggle, &QAction::triggered, this, [this] {
        if (m_toggle)
            m_toggle->setChecked(!m_toggle->isChecked()); // the toggle's handler does the work
    });
    // A call that stands keeps its voice; the choice holds from the next one.
    connect(mnuRunWidebandVoice, &QAction::toggled, this, [this](bool on) {
        SetUserOption(m_profile.title, kWidebandVoiceKey, on);
        m_session->SetWidebandVoice(on);
    });
    connect(mnuRunCallStatistics, &QAction::triggered, this, &StationWindow::OpenCallStatistics);
    connect(mnuHelpHelp, &QAction::triggered, this,
            [this] { ShowHelp(m_helpFile, HH_DISPLAY_TOC, 0, QString()); });
    connect(mnuHelpAbout, &QAction::triggered, this, [this] {
        frmAbout about(StationAboutInfo(), this);
        about.exec();
    });

    // Items both stations show in their File menu go here, one AddFileMenuItem each.
    AddFileMenuItem("mnuFileAudioSettings", {QStringLiteral("&Audio Settings..."), QStringLiteral("音声設定(&A)...")},
                    [this] { OpenAudioSettings(); });
}

QAction* StationWindow::AddFileMenuItem(const char* objectName, Words caption,
                                        std::function<void()> open) {
    auto* action = new QAction(mnuFile);
    action->setObjectName(QString::fromLatin1(objectName));
    mnuFile->insertAction(mnuFileLine, action);
    connect(action, &QAction::triggered, this, std::move(open));
    m_fileItems.push_back({action, std::move(caption)});
    return action;
}

QFrame* StationWindow::CreateMainFrame(int frameStyle) {
    fraMain = new QFrame(this);
    fraMain->setObjectName(QStringLiteral("fraMain"));
    fraMain->setFrameStyle(frameStyle);
    setCentralWidget(fraMain);
    return fraMain;
}

QGroupBox* StationWindow::CreateLamps(QWidget* parent, const LampPictures& pictures,
                                      Qt::Orientation order) {
    fraVoIp = new QGroupBox(parent);
    fraVoIp->setObjectName(QStringLiteral("fraVoIp"));
    lblRx = NewLabel(fraVoIp, "lblRx");
    picRx = NewLamp(fraVoIp, "picRx", pictures.rxLit);
    picRxBlack = NewLamp(fraVoIp, "picRxBlack", pictures.rxDark);
    lblTx = NewLabel(fraVoIp, "lblTx");
    picTx = NewLamp(fraVoIp, "picTx", pictures.txLit);
    picTxBlack = NewLamp(fraVoIp, "picTxBlack", pictures.txDark);
    picRx->hide();
    picTx->hide();
    // The lit and the dark picture share one place, one shown at a time.
    auto* grid = new QGridLayout(fraVoIp);
    const bool vertical = order == Qt::Vertical;
    grid->addWidget(lblRx, 0, 0);
    grid->addWidget(picRx, 0, 1);
    grid->addWidget(picRxBlack, 0, 1);
    grid->addWidget(lblTx, vertical ? 1 : 0, vertical ? 0 : 2);
    grid->addWidget(picTx, vertical ? 1 : 0, vertical ? 1 : 3);
    grid->addWidget(picTxBlack, vertical ? 1 : 0, vertical ? 1 : 3);
    return fraVoIp;
}

QGroupBox* StationWindow::CreateStatusFrame(QWidget* parent) {
    fraConnectionStatus = new QGroupBox(parent);
    fraConnectionStatus->setObjectName(QStringLiteral("fraConnectionStatus"));
    m_statusLabel = NewLabel(fraConnectionStatus, m_profile.statusLabelName);
    m_statusLabel->setWordWrap(true);
    auto* status = new QHBoxLayout;
    status->addWidget(m_statusLabel, 1);
    m_callIndicators = new CallIndicators(fraConnectionStatus, status);
    auto* box = new QVBoxLayout(fraConnectionStatus);
    box->addLayout(status);
    return fraConnectionStatus;
}

QLabel* StationWindow::CreateLogo(QWidget* parent, int height) {
    imgHalvornLogo = NewLabel(parent, "imgHalvornLogo");
    imgHalvornLogo->setPixmap(HalvornLogo(height));
    return imgHalvornLogo;
}

void StationWindow::SetToggle(QPushButton* toggle) {
    m_toggle = toggle;
    connect(toggle, &QPushButton::toggled, this, [this](bool checked) { ToggleChanged(checked); });
}

void StationWindow::LoadWindow() {
    m_desktop->Create(mnuRunToggle, mnuFileExit, mnuRun);
    SetMainFormFonts(this, m_toggle);
    ApplyLanguage();
    m_helpFile = HelpFilePath(m_profile.programBase);
    SetHelpContext(this, m_helpFile, HELP_CONTEXT_MAIN);
    QTimer::singleShot(0, this, [this] {
        if (!m_unloaded)
            ReportUnreadableFiles();
    });
}

void StationWindow::StartLamps() {
    m_lampTimer->start();
}

void StationWindow::ApplyLanguage() {
    setWindowTitle(ProgramTitle() + QLatin1Char(' ') + m_profile.windowTitle);
    mnuFile->setTitle(Tr(QStringLiteral("&File"), QStringLiteral("ファイル(&F)")));
    mnuFileSetup->setText(Tr(QStringLiteral("&Setup..."), QStringLiteral("設定(&S)...")));
    for (const FileMenuItem& item : m_fileItems)
        item.action->setText(item.caption.Text());
    mnuFileExit->setText(Tr(QStringLiteral("E&xit"), QStringLiteral("終了(&X)")));
    mnuRun->setTitle(Tr(QStringLiteral("&Run"), QStringLiteral("実行(&R)")));
    mnuRunWidebandVoice->setText(Tr(QStringLiteral("&Wideband Voice"), QStringLiteral("広帯域音声(&W)")));
    mnuRunCallStatistics->setText(Tr(QStringLiteral("Call S&tatistics..."), QStringLiteral("通話の統計(&T)...")));
    if (m_statsWindow)
        m_statsWindow->ApplyLanguage();
    mnuHelp->setTitle(Tr(QStringLiteral("&Help"), QStringLiteral("ヘルプ(&H)")));
    mnuHelpHelp->setText(Tr(QStringLiteral("&Help..."), QStringLiteral("ヘルプ(&H)...")));
    mnuHelpAbout->setText(Tr(QStringLiteral("&About %1...").arg(m_profile.title),
                             QStringLiteral("%1について(&A)...").arg(m_profile.title)));
    ShowToggleState(false);
    fraVoIp->setTitle(Tr(QStringLiteral("VoIP"), QStringLiteral("VoIP")));
    lblRx->setText(Tr(QStringLiteral("Rx"), QStringLiteral("受信")));
    lblTx->setText(Tr(QStringLiteral("Tx"), QStringLiteral("送信")));
    DescribeLamp(Lamp::Receive, picRx, picRxBlack, !picRx->isHidden());
    DescribeLamp(Lamp::Transmit, picTx, picTxBlack, !picTx->isHidden());
    fraConnectionStatus->setTitle(
        Tr(QStringLiteral("Connection Status"), QStringLiteral("接続状況")));
    m_callIndicators->ApplyLanguage();
    m_desktop->SetExtraCallLine(m_callIndicators->SummaryLine());
    if (imgHalvornLogo)
        DescribeLogo(imgHalvornLogo);
    m_desktop->ApplyLanguage();
}

void StationWindow::ShowCallIndicators(qint32 security, qint32 voice) {
    m_callIndicators->Show(security, voice);
    m_desktop->SetExtraCallLine(m_callIndicators->SummaryLine()); // the tray's tooltip says it too
}

void StationWindow::ShowToggleState(bool active) {
    const StationProfile::ToggleTexts& texts = active ? m_profile.active : m_profile.idle;
    m_toggle->setText(texts.caption.Text());
    m_toggle->setToolTip(texts.toolTip.Text());
    mnuRunToggle->setText(texts.caption.Text());
    m_desktop->ToggleShown(active);
}

void StationWindow::ShowWindowAtStart(bool inTray) {
    m_desktop->ShowWindowAtStart(inTray);
}

void StationWindow::OpenAudioSettings() {
    const bool callStands = CallStands();
    frmAudioSettings dialog(TavrinoStandard, callStands, m_helpFile, this);
    if (dialog.exec() == QDialog::Accepted && !callStands)
        ReopenAudioDevices();
}

bool StationWindow::CallStands() const {
    return m_session->Standing();
}

void StationWindow::HangUp() {
    m_session->HangUp();
    EndCallFigures();
    ShowCallIndicators(SECURITY_NONE, VOICE_NONE);
}

void StationWindow::OpenCallStatistics() {
    if (!m_statsWindow)
        m_statsWindow = new frmCallStatistics(m_statsFeed, this); // a child: closes with the window
    m_statsWindow->show();
    m_statsWindow->raise();
    m_statsWindow->activateWindow();
}

void StationWindow::EndCallFigures() {
    if (!m_statsFeed->Running())
        return;
    m_statsFeed->Stop();
    // The control keeps the call's figures after it ended, so the line tells the whole call.
    const QString summary = TavrinoStandard->CallString(DISPID_GET_CALL_SUMMARY);
    if (summary.startsWith(QLatin1String("call: ")))
        ConsoleLog(summary);
}

QString StationWindow::StatusBox(qint32 statusCode) const {
    return StatusBoxText(statusCode, m_profile.station);
}

void StationWindow::ShowStatus(qint32 statusCode) {
    const QString line = StatusText(statusCode, m_profile.station);
    if (line.isEmpty())
        return;
    m_statusLabel->setText(line);
    ConsoleLog(QStringLiteral("status %1: %2").arg(statusCode).arg(line));
    if (statusCode == STATUS_CONNECTED) {
        const qint32 security = TavrinoStandard->CallLong(DISPID_GET_CALL_SECURITY);
        const qint32 voice = TavrinoStandard->CallLong(DISPID_GET_CALL_VOICE);
        ShowCallIndicators(security, voice);
        ConsoleLog(security == SECURITY_ENCRYPTED ? QStringLiteral("security: encrypted")
                                                  : QStringLiteral("security: not encrypted"));
        ConsoleLog(voice == VOICE_WIDEBAND ? QStringLiteral("voice: wideband opus 16 kHz")
                                           : QStringLiteral("voice: narrowband gsm 8 kHz"));
        m_statsFeed->Start();
    } else if (statusCode != STATUS_CALLING) {
        EndCallFigures();
        ShowCallIndicators(SECURITY_NONE, VOICE_NONE);
    }
    const QString box = StatusBox(statusCode);
    if (!box.isEmpty())
        ShowWarningBox(this, box);
}

bool StationWindow::SetLamp(qint32 dispid, QLabel* lit, QLabel* dark) {
    bool ok = false;
    const QVariant rate = TavrinoStandard->Invoke(dispid, {}, &ok);
    // A window that never had its control (reported when the operator uses it) shows dark lamps.
    if (!ok && m_session->Loaded())
        return false;
    const bool on = ok && rate.toInt() != 0;
    lit->setVisible(on);
    dark->setVisible(!on);
    DescribeLamp(lit == picRx ? Lamp::Receive : Lamp::Transmit, lit, dark, on);
    return true;
}

void StationWindow::LampTimer_Timer() {
    if (m_lampErrorShowing)
        return; // one report at a time; the timer keeps running
    if (SetLamp(DISPID_GET_INBOUND_DATA_RATE, picRx, picRxBlack) &&
        SetLamp(DISPID_GET_OUTBOUND_DATA_RATE, picTx, picTxBlack))
        return;
    m_lampErrorShowing = true;
    ShowErrorBox(this, QString::number(kErrControlUnavailable));
    m_lampErrorShowing = false;
}

void StationWindow::CloseFromSignal() {
    // What the close reports (a file that cannot be saved) must not wait for a click.
    SetMessageBoxesToStandardError(true);
    while (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
        if (QApplication::activeModalWidget() == modal)
            break; // it refused to close; the main window closes anyway
    }
    close();
    // Also leaves every wait that is no modal window: the timed message's, a box's.
    QCoreApplication::quit();
    SetMessageBoxesToStandardError(false);
}

void StationWindow::closeEvent(QCloseEvent* event) {
    if (!m_unloaded) {
        m_unloaded = true;
        m_lampTimer->stop();
        HangUp();
        SaveStationFiles();
    }
    event->accept();
}
