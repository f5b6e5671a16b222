// SPDX-License-Identifier: GPL-3.0-or-later
// A station's icon in the desktop's system tray.
#include "StationTray.h"

#include "StationImages.h"
#include "modHvnRegistry.h"
#include "modUserSettings.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

const QString kHideOptionKey = QStringLiteral("Tray/HideWindow");
constexpr int kIconSize = 64;

// The station's icon, greyed while offline, with a dot for a call: amber while it is set
// up, green while it stands.
QIcon StateIcon(const QString& programBase, StationTray::State state) {
    const QIcon base = StationIcon(programBase);
    if (state == StationTray::State::Offline)
        return QIcon(base.pixmap(kIconSize, kIconSize, QIcon::Disabled));
    QPixmap picture = base.pixmap(kIconSize, kIconSize);
    if (state == StationTray::State::Calling || state == StationTray::State::InCall) {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::white, 3));
        painter.setBrush(state == StationTray::State::InCall ? QColor(0x2e, 0xa0, 0x43)
                                                             : QColor(0xf0, 0xa0, 0x20));
        painter.drawEllipse(QRectF(kIconSize * 0.5, kIconSize * 0.5, kIconSize * 0.46,
                                   kIconSize * 0.46));
    }
    return QIcon(picture);
}

} // namespace

StationTray::StationTray(QMainWindow* window, Station station, const QString& programBase,
                         const QString& programTitle, QAction* toggle, QAction* exit)
    : QObject(window), m_window(window), m_station(station), m_programBase(programBase),
      m_programTitle(programTitle), m_menu(new QMenu(window)) {
    m_menu->setObjectName(QStringLiteral("cmsTray"));
    m_showItem = m_menu->addAction(QString());
    m_showItem->setObjectName(QStringLiteral("cmsTrayShowWindow"));
    m_menu->addSeparator();
    m_menu->addAction(toggle);
    m_menu->addSeparator();
    m_hideOption = m_menu->addAction(QString());
    m_hideOption->setObjectName(QStringLiteral("mnuTrayHideWindow"));
    m_hideOption->setCheckable(true);
    m_hideOption->setChecked(UserOption(m_programTitle, kHideOptionKey, false));
    m_menu->addSeparator();
    m_menu->addAction(exit);

    m_icon = new QSystemTrayIcon(this);
    m_icon->setObjectName(QStringLiteral("trayIcon"));
    m_icon->setContextMenu(m_menu);
    connect(m_showItem, &QAction::triggered, this,
            [this] { m_window->isVisible() ? HideWindow() : ShowWindow(); });
    connect(m_hideOption, &QAction::toggled, this,
            [this](bool on) { SetUserOption(m_programTitle, kHideOptionKey, on); });
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger)
            m_showItem->trigger();
    });
    m_window->installEventFilter(this);
    SetState(State::Offline);
    // Shown whenever a tray is or comes to be there; nothing shows without one. The
    // platforms without a desktop have none to come (and Qt warns when asked).
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        m_icon->show();
}

StationTray::~StationTray() = default;

bool StationTray::TrayThere() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void StationTray::ApplyLanguage() {
    m_hideOption->setText(Tr(QStringLiteral("Hide the window while in the tray"),
                             QStringLiteral("トレイにある間はウィンドウを隠す")));
    UpdateShowItem();
    SetState(m_state, m_peer);
}

QString StationTray::StateLine() const {
    switch (m_state) {
    case State::Offline:
        return m_station == Station::Host
                   ? Tr(QStringLiteral("Offline"), QStringLiteral("オフライン"))
                   : Tr(QStringLiteral("Not connected"), QStringLiteral("未接続"));
    case State::Waiting:
        return Tr(QStringLiteral("Online, waiting for calls"),
                  QStringLiteral("オンライン、着信待ち"));
    case State::Calling:
        return Tr(QStringLiteral("Connecting with %1..."), QStringLiteral("%1と接続中..."))
            .arg(m_peer);
    case State::InCall:
        return Tr(QStringLiteral("In a call with %1"), QStringLiteral("%1と通話中")).arg(m_peer);
    }
    return {};
}

void StationTray::SetState(State state, const QString& peer) {
    m_state = state;
    m_peer = peer;
    m_icon->setIcon(StateIcon(m_programBase, state));
    m_icon->setToolTip(ToolTip());
}

void StationTray::SetExtraLine(const QString& line) {
    m_extraLine = line;
    m_icon->setToolTip(ToolTip());
}

QString StationTray::ToolTip() const {
    QString tip = m_programTitle + QLatin1Char('\n') + StateLine();
    if (!m_extraLine.isEmpty())
        tip += QLatin1Char('\n') + m_extraLine;
    return tip;
}

void StationTray::ShowWindowAtStart(bool inTray) {
    if (inTray && TrayThere())
        HideWindow();
    else
        m_window->show();
}

void StationTray::ShowWindow() {
    // Hidden by the tray, the window must not end the program when a box of it closes.
    QApplication::setQuitOnLastWindowClosed(true);
    m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
}

void StationTray::HideWindow() {
    QApplication::setQuitOnLastWindowClosed(false);
    m_window->hide();
}

void StationTray::UpdateShowItem() {
    m_showItem->setText(m_window->isVisible()
                            ? Tr(QStringLiteral("&Hide the Window"), QStringLiteral("ウィンドウを隠す(&H)"))
                            : Tr(QStringLiteral("&Show the Window"), QStringLiteral("ウィンドウを表示(&S)")));
}

bool StationTray::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
        UpdateShowItem();
        break;
    case QEvent::WindowStateChange:
        // Later, once the window system has finished minimising.
        if (m_window->isMinimized() && m_hideOption->isChecked() && TrayThere())
            QTimer::singleShot(0, this, [this] { HideWindow(); });
        break;
    case QEvent::Close:
        // File > Exit of a window hidden in the tray: no last window closes to end the program.
        if (!QApplication::quitOnLastWindowClosed())
            QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
