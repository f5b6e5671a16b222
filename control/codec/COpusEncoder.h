// SPDX-License-Identifier: GPL-3.0-or-later
// One Opus encoder for wideband voice: 20 ms of 16 kHz mono PCM to one packet.
#pragma once

#include <cstdint>
#include <memory>

struct OpusEncoder;

// Threads: Open runs on the thread that starts the call; from then on the capture thread
// alone calls Encode, SetExpectedLoss, ExpectedLoss and Close (the destructor closes too).
class COpusEncoder {
public:
    // Lower complexities cost less CPU per frame and sound no different to the ear on a
    // voice link of 24 kbit/s; see the benchmark bench_opus for the figures.
    static constexpr int kComplexity = 5;
    static constexpr int kInitialLossPercent = 10; // until the far end reports its loss
    static constexpr int kMinLossPercent = 2;
    static constexpr int kMaxLossPercent = 30;

    COpusEncoder();
    ~COpusEncoder();
    COpusEncoder(const COpusEncoder&) = delete;
    COpusEncoder& operator=(const COpusEncoder&) = delete;

    // VOIP, VBR about 24 kbit/s, in-band FEC on, 10 % expected loss. Open while open starts
    // afresh. FALSE when libopus refuses.
    bool Open();
    // One packet of at most min(capacity, 400) bytes from 320 samples: its length, or -1.
    int Encode(const int16_t* pcm320, uint8_t* out, int capacity);
    // How much redundancy to spend, from the far end's reports; clamped to 2..30 %. Taken
    // by the next Encode; FALSE when closed or libopus refuses (the last value stays).
    bool SetExpectedLoss(int percent);
    int ExpectedLoss() const { return m_lossPercent; }
    void Close(); // safe twice
    bool IsOpen() const { return m_encoder != nullptr; }

private:
    struct Destroy {
        void operator()(OpusEncoder* encoder) const;
    };
    std::unique_ptr<OpusEncoder, Destroy> m_encoder;
    int m_lossPercent = kInitialLossPercent;
};
