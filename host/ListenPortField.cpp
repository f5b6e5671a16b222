// SPDX-License-Identifier: GPL-3.0-or-later
// The host's listen port field.
#include "ListenPortField.h"

#include "NamedChild.h"
#include "modFormCommon.h"
#include "modHvnRegistry.h"
#include "modMessage.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace {

const QString kDefaultListenPort = QStringLiteral("33550");
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

bool InRange(int port) {
    return port >= kMinListenPort && port <= kMaxListenPort;
}

} // namespace

ListenPortField::ListenPortField(QWidget* parent, QString& lastAccepted)
    : QObject(parent),
      m_edit(NewNamed<QLineEdit>(parent, "txtListenPortNumber", kDefaultListenPort)),
      m_lastAccepted(lastAccepted) {
    m_edit->setMaxLength(5);
    m_edit->setFixedWidth(80);
    m_edit->installEventFilter(this);
    SelectAllOnFocus(m_edit);
    OnGotFocus(m_edit, [this] { txtListenPortNumber_GotFocus(); });
    OnLostFocus(m_edit, [this] { txtListenPortNumber_LostFocus(); });
}

ListenPortField::~ListenPortField() = default;

void ListenPortField::ApplyLanguage() {
    m_edit->setToolTip(
        Tr(QStringLiteral("Listen Port Number"), QStringLiteral("リッスン・ポート番号")));
}

void ListenPortField::ShowPort(const QString& port) {
    m_edit->setText(port.isEmpty() ? kDefaultListenPort : port);
}

int ListenPortField::PortToGoOnline() {
    const int port = PortNumber(m_edit->text());
    if (InRange(port))
        return port;
    ShowErrorBox(m_edit->window(), PortRangeMessage());
    if (!m_lastAccepted.isEmpty())
        m_edit->setText(m_lastAccepted);
    return -1;
}

void ListenPortField::DropFocusHandlers() {
    ::DropFocusHandlers(m_edit);
}

bool ListenPortField::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        // Only digits and backspace may type into the port; keys that type nothing
        // (arrows, Delete, Tab, function keys) keep their work.
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.isEmpty() || key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete ||
            key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            return false;
        const bool digit =
            text.size() == 1 && text.at(0) >= QLatin1Char('0') && text.at(0) <= QLatin1Char('9');
        return !digit;
    }
    return QObject::eventFilter(watched, event);
}

void ListenPortField::txtListenPortNumber_GotFocus() {
    // Select-all is installed with the field; here the fallback is noted.
    m_lastAccepted = m_edit->text();
}

void ListenPortField::txtListenPortNumber_LostFocus() {
    const QString text = m_edit->text();
    if (!InRange(text.isEmpty() ? 0 : PortNumber(text))) {
        ShowErrorBox(m_edit->window(), PortRangeMessage());
        m_edit->setText(m_lastAccepted);
    }
}
