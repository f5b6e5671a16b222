// SPDX-License-Identifier: GPL-3.0-or-later
// The control's audio extensions: device list and choice, input level, device tests.
#pragma once

#include <QObject>
#include <QTimer>
#include <QVariant>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AudioInput;
class AudioOutput;
class AudioOutputBuffer;

// Threads: lives and is called on the control's thread. The input test's device thread
// only hands buffers back to its input and moves the level meter.
class CAudioExtensions : public QObject {
public:
    static constexpr int TONE_HZ = 440;
    static constexpr int TONE_MS = 600;

    explicit CAudioExtensions(QObject* parent = nullptr);
    ~CAudioExtensions() override;

    // One extension method; `numbers` and `texts` hold each argument as the method's
    // parameter letters coerced it. The result follows the method's result letter.
    QVariant Call(qint32 dispid, const std::vector<int32_t>& numbers, const std::vector<std::string>& texts);

    bool StartInputTest(const std::string& setting);
    void StopInputTest();
    bool PlayTestTone(const std::string& setting);
    void StopTestTone();

private:
    static constexpr int TEST_BUFFER_BYTES = 800; // 50 ms: the meter moves smoothly

    std::unique_ptr<AudioInput> m_testInput;
    std::array<std::array<uint8_t, TEST_BUFFER_BYTES>, 4> m_testBuffers{};
    std::unique_ptr<AudioOutput> m_toneOutput;
    std::unique_ptr<AudioOutputBuffer> m_toneBuffer;
    QTimer m_toneTimer;
};
