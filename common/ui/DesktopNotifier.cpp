// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications through the freedesktop notification service.
#include "DesktopNotifier.h"

#include "modHvnRegistry.h"
#include "modStationEnvironment.h"
#include "modUserSettings.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QMenu>
#include <QVariantMap>
#include <QWidget>

namespace {

struct KindText {
    const char* key;       // under "Notifications/" in the user's settings
    const char* name;      // of the check item
    QString english;
    QString japanese;
};

KindText TextOf(DesktopNotifier::Kind kind) {
    switch (kind) {
    case DesktopNotifier::Kind::CallAdmitted:
        return {"CallAdmitted", "mnuNotifyCallAdmitted", QStringLiteral("A Caller &Admitted"),
                QStringLiteral("着信の受け付け(&A)")};
    case DesktopNotifier::Kind::CallEnded:
        return {"CallEnded", "mnuNotifyCallEnded", QStringLiteral("A Call &Ended"),
                QStringLiteral("通話の終了(&E)")};
    case DesktopNotifier::Kind::RouterRefused:
        return {"RouterRefused", "mnuNotifyRouterRefused",
                QStringLiteral("The Router &Refusing the Port"),
                QStringLiteral("ルーターによるポートの拒否(&R)")};
    case DesktopNotifier::Kind::AddressBlocked:
        return {"AddressBlocked", "mnuNotifyAddressBlocked",
                QStringLiteral("An Address &Blocked for Guessing"),
                QStringLiteral("パスワード推測によるアドレスのブロック(&B)")};
    }
    return {};
}

QString KeyOf(DesktopNotifier::Kind kind) {
    return QStringLiteral("Notifications/") + QLatin1String(TextOf(kind).key);
}

} // namespace

DesktopNotifier::DesktopNotifier(QWidget* window, QString programTitle, QString programBase)
    : QObject(window), m_window(window), m_programTitle(std::move(programTitle)),
      m_programBase(std::move(programBase)) {}

DesktopNotifier::~DesktopNotifier() = default;

bool DesktopNotifier::IsOn(Kind kind) const {
    return UserOption(m_programTitle, KeyOf(kind), true);
}

bool DesktopNotifier::Notify(Kind kind, const QString& summary, const QString& body) {
    if (!IsOn(kind))
        return false;
    if (m_window->isVisible() && !m_window->isMinimized() && m_window->isActiveWindow())
        return false;
    // Without a session bus to name (a console, a service, the test suite) there is no
    // desktop to tell, and asking Qt for one would only start its bus thread for nothing.
    if (!SessionBusNamed())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), m_programBase}};
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the
    // server's own).
    call << m_programTitle << quint32(0) << m_programBase << summary << body << QStringList()
         << hints << qint32(-1);
    return bus.send(call);
}

void DesktopNotifier::AddSwitches(QMenu* menu, const std::vector<Kind>& kinds) {
    m_menu = menu->addMenu(QString());
    m_menu->setObjectName(QStringLiteral("mnuRunNotifications"));
    for (const Kind kind : kinds) {
        auto* action = m_menu->addAction(QString());
        action->setObjectName(QLatin1String(TextOf(kind).name));
        action->setCheckable(true);
        action->setChecked(IsOn(kind));
        connect(action, &QAction::toggled, this,
                [this, kind](bool on) { SetUserOption(m_programTitle, KeyOf(kind), on); });
        m_switches.push_back({kind, action});
    }
}

void DesktopNotifier::ApplyLanguage() {
    if (m_menu == nullptr)
        return;
    m_menu->setTitle(
        Tr(QStringLiteral("Desktop &Notifications"), QStringLiteral("デスクトップ通知(&N)")));
    for (const Switch& s : m_switches) {
        const KindText text = TextOf(s.kind);
        s.action->setText(Tr(text.english, text.japanese));
    }
}
