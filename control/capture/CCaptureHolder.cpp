// SPDX-License-Identifier: GPL-3.0-or-later
// Starts and stops the capture thread and hands it mute, sensitivity and the detector's switch.
#include "CCaptureHolder.h"

#include "CMicDeviceThread.h"
#include "AudioInput.h"

#include <QSemaphore>
#include <QThread>

CCaptureHolder::CCaptureHolder(CAudioSession& session)
    : m_session(session), m_recalibrateMs(CMicDeviceThread::RECALIBRATE_MS) {}

CCaptureHolder::~CCaptureHolder() {
    Stop();
}

bool CCaptureHolder::Start(IVoiceFrameSink* sink, VoiceKind kind) {
    // A second Start would orphan the running thread; end it first.
    Stop();
    auto thread = std::make_unique<QThread>();
    thread->setObjectName(QStringLiteral("CMicDeviceThread"));
    m_kind = kind;
    m_lastError.clear();
    auto worker = std::make_unique<CMicDeviceThread>(sink, m_session, m_detecting, m_expectedLoss,
                                                     kind, m_inputFactory, m_recalibrateMs);
    worker->moveToThread(thread.get());
    thread->start();
    if (!thread->isRunning())
        return false; // the worker never reached its thread; both die here
    m_thread = std::move(thread);
    m_worker = std::move(worker);
    if (m_worker->OpenDevice())
        return true;
    m_lastError = m_worker->LastError();
    return false;
}

void CCaptureHolder::Stop() {
    if (m_thread == nullptr)
        return;
    QSemaphore closed;
    m_worker->PostClose(&closed);
    closed.acquire();
    // Not a posted quit event: Qt wakes a thread's dispatcher after queueing an event, and
    // a thread that took the event meanwhile may already have ended and freed it.
    m_thread->quit();
    m_thread->wait();
    // The thread has ended, so its worker may be destroyed here; events still queued
    // for it are dropped with it.
    m_worker.reset();
    m_thread.reset();
}

bool CCaptureHolder::SetMute(bool mute) {
    if (m_worker == nullptr)
        return false;
    m_worker->SetMute(mute);
    return true;
}

void CCaptureHolder::PostDetectorTick(int kind) {
    if (m_worker != nullptr)
        m_worker->PostDetectorTick(kind);
}

void CCaptureHolder::EnableDetection(int sensitivity, int silenceMs) {
    if (m_worker != nullptr) {
        m_worker->SetSensitivity(sensitivity);
        m_worker->PostSilencePeriod(silenceMs);
    }
    m_detecting = true;
}

bool CCaptureHolder::IsRunning() const {
    return m_thread != nullptr;
}

void CCaptureHolder::SetInputFactory(InputFactory factory) {
    m_inputFactory = std::move(factory);
}
