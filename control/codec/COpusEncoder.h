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
    // Wideband audio, a working FEC, and room in a call's 1.5 % of a core. Measured per 20 ms
    // frame on a 2.1 GHz core (bench_opus), and the log-spectral distance from speech input:
    // 0: 46 us, its FEC rebuilds almost nothing; 1: 49 us, mediumband only; 2: 108 us, 8.3 dB;
    // 3: 119 us (0.6 % of a core), 8.2 dB, a finer pitch search than 2; 5: 150 us, 7.5 dB;
    // 8..10: 315 us, 7.2 dB, alone more than the budget. Beside the 16 kHz echo canceller
    // (0.4 %) and the decoder (0.06 %), 3 leaves the rest of the call 0.4 %.
    static constexpr int kComplexity = 3;
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
