// SPDX-License-Identifier: GPL-3.0-or-later
// The call session of a station's main window.
#include "StationSession.h"

#include "AudioSettings.h"
#include "TavrinoClient.h"
#include "modConsoleLog.h"
#include "modHvnRegistry.h"
#include "modMessage.h"

#include <QWidget>

using namespace Tavrino;

StationSession::StationSession(Station station, QWidget* window)
    : QObject(window), m_station(station), m_window(window), m_control(new TavrinoClient(this)) {
    m_control->setObjectName(QStringLiteral("TavrinoStandard"));
    connect(m_control, &TavrinoClient::OnStatusEvent, this, &StationSession::StatusEvent);
    connect(m_control, &TavrinoClient::OnConnectionEvent, this, &StationSession::ConnectionEvent);
    connect(m_control, &TavrinoClient::OnAudioNotice, this, &StationSession::AudioNotice);
}

StationSession::~StationSession() = default;

bool StationSession::Load(const QString& path) {
    m_loaded = m_control->Load(path);
    if (m_loaded) {
        ApplyAudioSettings(m_control);
        m_control->CallBool(DISPID_SET_WIDEBAND_VOICE, {m_wideband});
    }
    return m_loaded;
}

void StationSession::SetWidebandVoice(bool on) {
    m_wideband = on;
    if (m_loaded)
        m_control->CallBool(DISPID_SET_WIDEBAND_VOICE, {on});
}

bool StationSession::Initialize(qint32 port) {
    if (m_control->CallBool(DISPID_INITIALIZE, {port, kStationCryptographyKey}) &&
        m_control->CallBool(DISPID_DISABLE_CRYPTOGRAPHY))
        return true;
    ShowObjectError();
    return false;
}

void StationSession::HangUp() {
    // The totals count from Initialize, so they are read before the control is torn down.
    if (m_started) {
        m_started = false;
        ConsoleLog(QStringLiteral("traffic: sent %1 bytes, received %2 bytes")
                       .arg(m_control->CallLong(DISPID_GET_OUTBOUND_TOTAL_BYTES))
                       .arg(m_control->CallLong(DISPID_GET_INBOUND_TOTAL_BYTES)));
    }
    m_control->CallBool(DISPID_DISCONNECT);
    m_control->CallVoid(DISPID_UNINITIALIZE);
}

void StationSession::ShowObjectError() {
    if (!m_control->IsLoaded()) {
        // Without the control every call fails with no object error to tell why.
        ShowErrorBox(m_window, Tr(QStringLiteral("The voice control could not be loaded.\r\n%1"),
                                  QStringLiteral("音声コントロールを読み込めませんでした。\r\n%1"))
                                   .arg(m_control->LoadError()));
        return;
    }
    const qint32 error = m_control->CallLong(DISPID_GET_OBJECT_ERROR);
    const QString text = ObjectErrorText(error, m_station);
    if (text.isEmpty())
        return;
    if (m_station == Station::Host && (error == ERR_ALREADY_CONNECTED || error == ERR_CALL_PENDING))
        ShowTimedMessage(text, QString());
    else
        ShowErrorBox(m_window, text);
}
