// SPDX-License-Identifier: GPL-3.0-or-later
// What a station shows on the desktop beside its window.
#include "StationDesktop.h"

#include "DesktopNotifier.h"
#include "StationTray.h"
#include "TavrinoStandardApi.h"
#include "modHvnRegistry.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QSystemTrayIcon>

using namespace Tavrino;
using State = StationTray::State;
using Kind = DesktopNotifier::Kind;

StationDesktop::StationDesktop(QMainWindow* window, Station station, QString programBase,
                               QString programTitle, std::function<QString()> peerName)
    : QObject(window), m_window(window), m_station(station), m_programBase(std::move(programBase)),
      m_programTitle(std::move(programTitle)), m_peerName(std::move(peerName)) {}

StationDesktop::~StationDesktop() = default;

void StationDesktop::Create(QAction* toggle, QAction* exit, QMenu* runMenu) {
    if (m_tray != nullptr)
        return;
    m_tray = new StationTray(m_window, m_station, m_programBase, m_programTitle, toggle, exit);
    m_notifier = new DesktopNotifier(m_window, m_programTitle, m_programBase);
    runMenu->addSeparator();
    if (m_station == Station::Host)
        m_notifier->AddSwitches(runMenu, {Kind::CallAdmitted, Kind::CallEnded,
                                          Kind::RouterRefused, Kind::AddressBlocked});
    else
        m_notifier->AddSwitches(runMenu, {Kind::CallEnded});
    runMenu->addAction(m_tray->HideOption());
    // The option means nothing without a tray, and a tray may come or go while running.
    connect(runMenu, &QMenu::aboutToShow, m_tray, [this] {
        m_tray->HideOption()->setVisible(QSystemTrayIcon::isSystemTrayAvailable());
    });
    m_tray->HideOption()->setVisible(QSystemTrayIcon::isSystemTrayAvailable());
}

void StationDesktop::ApplyLanguage() {
    if (m_tray == nullptr)
        return;
    m_tray->ApplyLanguage();
    m_notifier->ApplyLanguage();
}

void StationDesktop::ToggleShown(bool active) {
    if (m_tray == nullptr)
        return;
    if (!active)
        m_tray->SetState(State::Offline);
    else if (m_station == Station::Host)
        m_tray->SetState(State::Waiting);
    else
        m_tray->SetState(State::Calling, m_peerName());
}

void StationDesktop::StatusShown(qint32 statusCode) {
    if (m_tray == nullptr || (statusCode != STATUS_CALLING && statusCode != STATUS_CONNECTED))
        return;
    const QString peer = m_peerName();
    // The host names its caller once the window shows who it is: at a stated acceptance, or
    // at the confirmation of an encrypted one (before it, the attempt may be a guess).
    if (m_station == Station::Host && peer.isEmpty())
        return;
    const State state = m_tray->CurrentState();
    if (m_station == Station::Host && state != State::Calling && state != State::InCall)
        m_notifier->Notify(Kind::CallAdmitted,
                           Tr(QStringLiteral("Call admitted"), QStringLiteral("通話を受け付けました")),
                           Tr(QStringLiteral("User: %1"), QStringLiteral("ユーザー: %1")).arg(peer));
    m_tray->SetState(statusCode == STATUS_CALLING ? State::Calling : State::InCall, peer);
}

void StationDesktop::StatusArrived(qint32 statusCode) {
    if (m_tray == nullptr || statusCode == STATUS_CALLING || statusCode == STATUS_CONNECTED)
        return;
    const State state = m_tray->CurrentState();
    const bool callStood = state == State::Calling || state == State::InCall;
    const QString why = StatusText(statusCode, m_station);
    if (why.isEmpty() || !callStood)
        return;
    // The window has not cleared the peer yet: it handles the status after this.
    m_notifier->Notify(Kind::CallEnded,
                       Tr(QStringLiteral("Call with %1 ended"), QStringLiteral("%1との通話が終了しました"))
                           .arg(m_peerName()),
                       why);
    m_tray->SetState(m_station == Station::Host ? State::Waiting : State::Offline);
}

void StationDesktop::RouterRefused(const QString& text) {
    if (m_notifier != nullptr)
        m_notifier->Notify(Kind::RouterRefused,
                           Tr(QStringLiteral("Port not open on the router"),
                              QStringLiteral("ルーターのポートが開いていません")),
                           text);
}

void StationDesktop::AddressBlocked(const QString& address, int seconds, int failures) {
    if (m_notifier != nullptr)
        m_notifier->Notify(
            Kind::AddressBlocked,
            Tr(QStringLiteral("Caller blocked"), QStringLiteral("発信元をブロックしました")),
            Tr(QStringLiteral("Calls from %1 are not answered for %2 s: %3 failed attempts."),
               QStringLiteral("%1 からの通話に %2 秒間応答しません: %3 回失敗しました。"))
                .arg(address)
                .arg(seconds)
                .arg(failures));
}

void StationDesktop::SetExtraCallLine(const QString& line) {
    if (m_tray != nullptr)
        m_tray->SetExtraLine(line);
}

void StationDesktop::ShowWindowAtStart(bool inTray) {
    if (m_tray != nullptr)
        m_tray->ShowWindowAtStart(inTray);
    else
        m_window->show();
}
