// SPDX-License-Identifier: GPL-3.0-or-later
// The capture worker: records 120 ms buffers, cleans and encodes them, runs the detector with
// its timers, and sends the frames it does not call silent.
#include "CMicDeviceThread.h"

#include "AudioInputFactory.h"
#include "CAudioSession.h"
#include "IVoiceFrameSink.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QTimerEvent>

#include <cstring>

namespace {

class BufferFilledEvent : public QEvent {
public:
    BufferFilledEvent(uint8_t* buffer, int bytesRecorded, uint64_t referenceEnd)
        : QEvent(static_cast<QEvent::Type>(CMicDeviceThread::MM_WIM_DATA)), buffer(buffer),
          bytesRecorded(bytesRecorded), referenceEnd(referenceEnd) {}
    uint8_t* buffer;
    int bytesRecorded;
    uint64_t referenceEnd;
};

class CloseEvent : public QEvent {
public:
    explicit CloseEvent(QSemaphore* done)
        : QEvent(static_cast<QEvent::Type>(CMicDeviceThread::WM_MICTHREAD_CLOSE)), done(done) {}
    QSemaphore* done;
};

// The detector's silence period, restarted (silenceMs > 0); the recalibration started
// (0: the device opened on another thread, whose timers this thread cannot start); or
// one tick given by hand (a negative tick kind).
class DetectorEvent : public QEvent {
public:
    explicit DetectorEvent(int silenceMs)
        : QEvent(static_cast<QEvent::Type>(CMicDeviceThread::WM_MICTHREAD_VAD)), silenceMs(silenceMs) {}
    int silenceMs;
};

// postEvent takes ownership of the event.
template <typename Event, typename... Args> void Post(QObject* receiver, Args&&... args) {
    auto event = std::make_unique<Event>(std::forward<Args>(args)...);
    QCoreApplication::postEvent(receiver, event.release());
}

} // namespace

CMicDeviceThread::CMicDeviceThread(IVoiceFrameSink* sink, CAudioSession& session,
                                   const std::atomic<bool>& detecting,
                                   const std::atomic<int>& expectedLoss, VoiceKind kind,
                                   InputFactory inputFactory, int recalibrateMs)
    : m_sink(sink), m_session(session), m_detecting(detecting), m_expectedLoss(expectedLoss),
      m_kind(kind), m_frameBytes(FrameSamplesOf(kind) * AudioInput::BYTES_PER_SAMPLE),
      m_inputFactory(std::move(inputFactory)), m_recalibrateMs(recalibrateMs) {
    if (!m_inputFactory)
        m_inputFactory = [&session] { return CreateSessionAudioInput(session); };
}

CMicDeviceThread::~CMicDeviceThread() {
    // Normally CloseDevice has run; otherwise stop the device thread before the
    // buffers it writes into go away.
    m_deviceOpen.store(0);
    ReleaseDevice();
}

bool CMicDeviceThread::OpenDevice() {
    if (m_deviceOpen.load() != 0)
        return true;
    const bool wideband = m_kind == VoiceKind::Wideband;
    if (!(wideband ? m_opus.Open() : m_encoder.Open(CAcmCodec::DIRECTION_ENCODE)))
        return false;
    m_sequence = 0;
    m_input = m_inputFactory();
    if (m_input != nullptr && !m_input->SetSampleRate(RateOf(m_kind)))
        m_input.reset();
    // The same tail in milliseconds at either rate.
    const int scale = RateOf(m_kind) / CEchoCanceller::RATE;
    if (m_input != nullptr && m_session.EchoWanted(m_input->IsRealDevice()))
        m_canceller = CEchoCanceller::Create(m_session.Reference(), CEchoCanceller::TAIL_SAMPLES * scale,
                                             m_session.NoiseWanted(), RateOf(m_kind)); // null: uncancelled
    // The device thread only hands the buffer over, stamped with how much audio the
    // loudspeakers had been given by then; all work happens on the capture thread.
    const bool opened = m_input != nullptr && m_input->Open([this](uint8_t* buffer, int bytes) {
        Post<BufferFilledEvent>(this, buffer, bytes, m_session.Reference().Position());
    });
    if (!opened) {
        m_lastError = m_input != nullptr ? m_input->LastError() : "no such microphone";
        m_deviceOpen.store(0);
        ReleaseDevice();
        return false;
    }
    m_deviceOpen.store(1);
    for (auto& buffer : m_buffers)
        m_input->AddBuffer(buffer.data(), m_frameBytes);
    if (!m_input->Start()) {
        m_deviceOpen.store(0);
        ReleaseDevice();
        return false;
    }
    Post<DetectorEvent>(this, 0); // the recalibration starts on the capture thread
    return true;
}

void CMicDeviceThread::CloseDevice() {
    if (m_deviceOpen.load() == 0)
        return;
    // Cleared first, so the buffers Reset hands back are neither encoded nor re-queued.
    m_deviceOpen.store(0);
    m_recalibrate.stop();
    m_silence.stop();
    m_input->Reset();
    m_input->Stop();
    ReleaseDevice();
}

void CMicDeviceThread::ReleaseDevice() {
    if (m_input != nullptr) {
        m_input->Close();
        m_input.reset();
    }
    m_canceller.reset();
    m_encoder.Close();
    m_opus.Close();
}

void CMicDeviceThread::PostClose(QSemaphore* done) {
    Post<CloseEvent>(this, done);
}

void CMicDeviceThread::PostSilencePeriod(int silenceMs) {
    Post<DetectorEvent>(this, silenceMs > 0 ? silenceMs : 1);
}

void CMicDeviceThread::PostDetectorTick(int kind) {
    Post<DetectorEvent>(this, -kind);
}

void CMicDeviceThread::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_recalibrate.timerId())
        m_detector.Tick(CVoiceActivityDetector::TICK_RECALIBRATE);
    else if (event->timerId() == m_silence.timerId())
        m_detector.Tick(CVoiceActivityDetector::TICK_SILENCE);
    else
        QObject::timerEvent(event);
}

bool CMicDeviceThread::event(QEvent* event) {
    switch (static_cast<int>(event->type())) {
    case MM_WIM_DATA: {
        const auto* filled = static_cast<BufferFilledEvent*>(event);
        OnBufferFilled(filled->buffer, filled->bytesRecorded, filled->referenceEnd);
        return true;
    }
    case WM_MICTHREAD_CLOSE:
        CloseDevice();
        static_cast<CloseEvent*>(event)->done->release();
        return true;
    case WM_MICTHREAD_VAD: {
        if (m_deviceOpen.load() == 0)
            return true;
        const int silenceMs = static_cast<DetectorEvent*>(event)->silenceMs;
        if (silenceMs < 0)
            m_detector.Tick(-silenceMs);
        else if (silenceMs == 0)
            m_recalibrate.start(m_recalibrateMs, this);
        else
            m_silence.start(silenceMs, this); // starting a running timer restarts it
        return true;
    }
    default:
        return QObject::event(event);
    }
}

void CMicDeviceThread::OnBufferFilled(uint8_t* buffer, int bytesRecorded,
                                      uint64_t referenceEnd) {
    if (buffer == nullptr)
        return;
    if (m_deviceOpen.load() != 0) {
        // A short buffer is still encoded whole, but its unrecorded tail would hold audio
        // from five buffers ago: silence it.
        if (bytesRecorded >= 0 && bytesRecorded < m_frameBytes)
            std::memset(buffer + bytesRecorded, 0, static_cast<size_t>(m_frameBytes - bytesRecorded));
        // Muted buffers are cleaned too, so the filter keeps up with the room.
        if (m_canceller != nullptr) {
            std::memcpy(m_samples.data(), buffer, static_cast<size_t>(m_frameBytes));
            m_canceller->Process(m_samples.data(), m_frameBytes / AudioInput::BYTES_PER_SAMPLE,
                                 referenceEnd);
            std::memcpy(buffer, m_samples.data(), static_cast<size_t>(m_frameBytes));
        }
        Encode(buffer);
        m_input->AddBuffer(buffer, m_frameBytes);
    }
}

void CMicDeviceThread::Encode(uint8_t* buffer) {
    const uint16_t seq = m_sequence++;
    if (m_mute.load() != 0)
        return;
    const int samples = m_frameBytes / AudioInput::BYTES_PER_SAMPLE;
    int length = 0;
    if (m_kind == VoiceKind::Wideband) {
        if (m_expectedLoss.load() != m_opus.ExpectedLoss())
            m_opus.SetExpectedLoss(m_expectedLoss.load());
        int16_t pcm[WidebandFrame::kSamples];
        std::memcpy(pcm, buffer, sizeof pcm);
        length = m_opus.Encode(pcm, m_frame.data(), static_cast<int>(m_frame.size()));
    } else if (m_encoder.Convert(m_frame.data(), buffer)) {
        length = CAcmCodec::GSM_FRAME_SIZE;
    }
    if (length <= 0)
        return;
    m_detector.UpdateFrame(buffer, samples);
    // What the detector calls silence is not sent while detection is on: the far end's
    // playback runs dry and stops.
    if (m_sink == nullptr || (m_detecting.load() && m_detector.Silent() != 0))
        return;
    if (m_kind == VoiceKind::Wideband)
        m_sink->SendWidebandFrame(seq, m_frame.data(), length);
    else
        m_sink->SendVoiceFrame(m_frame.data(), length);
}
