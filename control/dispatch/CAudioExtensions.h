// SPDX-License-Identifier: GPL-3.0-or-later
// The control's audio extensions: device list and choice, input level, device tests.
#pragma once

#include <QObject>
#include <QTimer>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AudioInput;
class AudioOutput;
class AudioOutputBuffer;
class CAudioSession;

// The methods at dispatch ids 101-109, on the control's audio session: its device choice,
// switches, notices and level meter.
//
// Threads: lives and is called on the control's thread. The input test's device thread
// only hands buffers back to its input and moves the level meter.
class CAudioExtensions : public QObject {
public:
    static constexpr int TONE_HZ = 440;
    static constexpr int TONE_MS = 600;

    explicit CAudioExtensions(CAudioSession& session, QObject* parent = nullptr);
    ~CAudioExtensions() override;

    QString GetAudioDevices();
    bool SetCaptureDevice(const std::string& setting);
    bool SetPlaybackDevice(const std::string& setting);
    int32_t GetInputLevel();
    bool StartInputTest(const std::string& setting);
    void StopInputTest();
    bool PlayTestTone(const std::string& setting);
    bool SetAudioProcessing(int32_t echo, int32_t noise);
    int32_t GetAudioNotices();

    void StopTestTone();

private:
    static constexpr int TEST_BUFFER_BYTES = 800; // 50 ms: the meter moves smoothly

    CAudioSession& m_session;
    std::unique_ptr<AudioInput> m_testInput;
    std::array<std::array<uint8_t, TEST_BUFFER_BYTES>, 4> m_testBuffers{};
    std::unique_ptr<AudioOutput> m_toneOutput;
    std::unique_ptr<AudioOutputBuffer> m_toneBuffer;
    QTimer m_toneTimer;
};
