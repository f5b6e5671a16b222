// SPDX-License-Identifier: GPL-3.0-or-later
// The call session of a station's main window: the voice control loaded through
// TavrinoClient, Initialize and hang-up, the events the control raises, the traffic log and
// the object-error reports. The window owns it as a child, so the control is found below
// the window as "TavrinoStandard".
#pragma once

#include "modControlMessages.h"

#include <QObject>
#include <QString>

class QWidget;
class TavrinoClient;

class StationSession : public QObject {
    Q_OBJECT
public:
    // `window` is the parent of the session and of its boxes.
    StationSession(Station station, QWidget* window);
    ~StationSession() override;

    TavrinoClient* Control() const { return m_control; }

    // Loads the control module (default folder when `path` is empty) and hands it the
    // user's audio devices for the first Initialize.
    bool Load(const QString& path = {});
    // A load succeeded: a call that fails is then a fault, not a missing control.
    bool Loaded() const { return m_loaded; }
    // Initialize on `port` with the stations' key, then DisableCryptography; on failure
    // the object error is shown and the result is false.
    bool Initialize(qint32 port);
    // Whether this station offers wideband voice in its encrypted calls; kept for every
    // control loaded later too.
    void SetWidebandVoice(bool on);
    // The traffic totals count from here, until the hang-up logs them.
    void Started() { m_started = true; }
    bool Standing() const { return m_started; }
    // Logs the traffic once, then sends Disconnect and UnInitialize (results ignored, safe
    // when never started).
    void HangUp();
    // Why the last call on the control failed, in a box; the host's reminders that it is
    // already connected or connecting go away by themselves.
    void ShowObjectError();

signals:
    void StatusEvent(qint32 statusCode);
    void ConnectionEvent(const QString& ip, qint32 port, const QString& userData);
    void AudioNotice(qint32 notices);

private:
    const Station m_station;
    QWidget* const m_window;
    TavrinoClient* m_control; // child of the session
    bool m_loaded = false;
    bool m_started = false; // traffic not logged yet
    bool m_wideband = false;
};
