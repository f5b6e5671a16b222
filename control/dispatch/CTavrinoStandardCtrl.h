// SPDX-License-Identifier: GPL-3.0-or-later
// CTavrinoStandardCtrl: the control as a host sees it: late-bound methods and three events.
#pragma once

#include "TavrinoStandardApi.h"

#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>

class CAudioExtensions;
class CAudioSession;
class CCallEngine;
class CEventSink;
class CMixerMethods;

// Threads: created, called and destroyed on the owner's thread; the events are emitted
// on that thread from its event loop (the engine's task window, or a queued call for the
// audio notices device threads raise), never from inside Invoke. The capture thread
// never touches this object.
class CTavrinoStandardCtrl : public QObject, public ITavrinoStandardDispatch {
    Q_OBJECT
    Q_INTERFACES(ITavrinoStandardDispatch)
public:
    explicit CTavrinoStandardCtrl(QObject* parent = nullptr);
    // Uninitialises the engine: the socket, the capture thread and the devices close.
    ~CTavrinoStandardCtrl() override;

    // Coerces `args` as a dispatch call would and runs the method `dispid`. A wrong id,
    // a wrong argument count or an argument that cannot be coerced gives an invalid
    // result and *ok = false; nothing is called then.
    QVariant Invoke(qint32 dispid, const QVariantList& args, bool* ok = nullptr) override;

    CCallEngine& Engine() const;

signals:
    void OnStatusEvent(qint32 statusCode);
    void OnTextEvent(const QString& textMsg, const QString& userData);
    void OnConnectionEvent(const QString& ip, qint32 port, const QString& userData);
    // Beyond the three events: what happened to the devices (Tavrino::AudioNotice bits), as
    // it happens; DISPID_GET_AUDIO_NOTICES still gathers the same bits.
    void OnAudioNotice(qint32 notices);

private:
    QVariant Dispatch(qint32 dispid, const QVariantList& args, bool* ok);

    std::unique_ptr<CEventSink> m_sink;       // before the engine, which reports to it
    std::unique_ptr<CAudioSession> m_session; // before everything that plays or records
    std::unique_ptr<CCallEngine> m_engine;    // disconnects and closes everything when destroyed
    std::unique_ptr<CMixerMethods> m_mixer;
    std::unique_ptr<CAudioExtensions> m_audio; // the device methods beyond the fixed ones
};
