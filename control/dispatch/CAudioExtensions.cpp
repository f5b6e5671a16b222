// SPDX-License-Identifier: GPL-3.0-or-later
// The control's audio extensions: device list and choice, input level, device tests.
#include "CAudioExtensions.h"

#include "TavrinoStandardApi.h"
#include "AudioDeviceList.h"
#include "AudioInputFactory.h"
#include "AudioOutput.h"
#include "AudioOutputBuffer.h"
#include "AudioOutputFactory.h"
#include "CAudioSession.h"
#include "MeteredAudioInput.h"

#include <QString>

#include <cmath>
#include <numbers>

using namespace Tavrino;

namespace {

// "" stands for the default device.
std::string Resolve(const std::string& setting) {
    return setting.empty() ? DefaultAudioSetting() : setting;
}

bool IsInputSetting(const std::string& setting) {
    return setting.empty() || CreateAudioInput(setting) != nullptr;
}

bool IsOutputSetting(const std::string& setting) {
    return setting.empty() || CreateAudioOutput(setting, nullptr) != nullptr;
}

} // namespace

CAudioExtensions::CAudioExtensions(CAudioSession& session, QObject* parent)
    : QObject(parent), m_session(session) {
    m_toneTimer.setSingleShot(true);
    connect(&m_toneTimer, &QTimer::timeout, this, &CAudioExtensions::StopTestTone);
}

CAudioExtensions::~CAudioExtensions() {
    StopInputTest();
    StopTestTone();
}

QString CAudioExtensions::GetAudioDevices() {
    return QString::fromStdString(FormatAudioDevices(ListAudioDevices()));
}

bool CAudioExtensions::SetCaptureDevice(const std::string& setting) {
    if (!IsInputSetting(setting))
        return false;
    m_session.ChooseCapture(setting);
    return true;
}

bool CAudioExtensions::SetPlaybackDevice(const std::string& setting) {
    if (!IsOutputSetting(setting))
        return false;
    m_session.ChoosePlayback(setting);
    return true;
}

int32_t CAudioExtensions::GetInputLevel() {
    return m_session.Level();
}

bool CAudioExtensions::SetAudioProcessing(int32_t echo, int32_t noise) {
    const auto valid = [](int32_t value) {
        return value >= CAudioSession::AUTOMATIC && value <= CAudioSession::ON;
    };
    if (!valid(echo) || !valid(noise))
        return false;
    m_session.SetEcho(echo);
    m_session.SetNoise(noise);
    return true;
}

int32_t CAudioExtensions::GetAudioNotices() {
    return m_session.TakeNotices();
}

bool CAudioExtensions::StartInputTest(const std::string& setting) {
    StopInputTest();
    auto inner = CreateAudioInput(Resolve(setting));
    if (inner == nullptr)
        return false;
    m_testInput = std::make_unique<MeteredAudioInput>(std::move(inner), m_session);
    AudioInput* input = m_testInput.get();
    // Each filled buffer goes straight back: only the meter wants the audio.
    const bool opened = input->Open([input](uint8_t* buffer, int bytes) {
        if (bytes > 0)
            input->AddBuffer(buffer, TEST_BUFFER_BYTES);
    });
    if (opened) {
        for (auto& buffer : m_testBuffers)
            input->AddBuffer(buffer.data(), TEST_BUFFER_BYTES);
        if (input->Start())
            return true;
    }
    StopInputTest();
    return false;
}

void CAudioExtensions::StopInputTest() {
    if (m_testInput == nullptr)
        return;
    m_testInput->Stop();
    m_testInput->Close();
    m_testInput.reset();
}

bool CAudioExtensions::PlayTestTone(const std::string& setting) {
    StopTestTone();
    m_toneOutput = CreateAudioOutput(Resolve(setting), nullptr);
    if (m_toneOutput == nullptr || !m_toneOutput->Open()) {
        StopTestTone();
        return false;
    }
    // A second of buffer: the tone, then silence until the timer stops it.
    constexpr uint32_t bytes = 2 * 8000;
    m_toneBuffer = m_toneOutput->CreateBuffer(bytes);
    uint8_t* region1 = nullptr;
    uint8_t* region2 = nullptr;
    uint32_t length1 = 0;
    uint32_t length2 = 0;
    if (m_toneBuffer == nullptr || !m_toneBuffer->Lock(0, bytes, &region1, &length1, &region2, &length2)) {
        StopTestTone();
        return false;
    }
    auto* samples = reinterpret_cast<int16_t*>(region1);
    const int toneSamples = 8000 * TONE_MS / 1000;
    const int fade = 160; // 20 ms ramps: no clicks
    for (uint32_t i = 0; i < length1 / 2; ++i) {
        const int n = static_cast<int>(i);
        double value = 0.0;
        if (n < toneSamples) {
            const double ramp = std::min({1.0, n / double(fade), (toneSamples - n) / double(fade)});
            // -12 dBFS: clearly heard, never harsh.
            value = 8192.0 * ramp * std::sin(2.0 * std::numbers::pi * TONE_HZ * n / 8000.0);
        }
        samples[i] = static_cast<int16_t>(std::lround(value));
    }
    m_toneBuffer->Unlock(region1, length1, region2, length2);
    if (!m_toneBuffer->Play()) {
        StopTestTone();
        return false;
    }
    m_toneTimer.start(TONE_MS + 100);
    return true;
}

void CAudioExtensions::StopTestTone() {
    m_toneTimer.stop();
    if (m_toneBuffer != nullptr)
        m_toneBuffer->Stop();
    m_toneBuffer.reset();
    if (m_toneOutput != nullptr)
        m_toneOutput->Close();
    m_toneOutput.reset();
}
