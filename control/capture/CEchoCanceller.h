// SPDX-License-Identifier: GPL-3.0-or-later
// Removes the loudspeaker's echo and steady noise from captured buffers, before they are encoded.
#pragma once

#include <cstdint>
#include <memory>

class EchoReference;
struct SpeexEchoState_;
struct SpeexPreprocessState_;

// speexdsp's echo canceller (a frequency-domain adaptive filter) followed by its
// preprocessor, which suppresses the residual echo and stationary noise. Each capture
// buffer is paired with what the output devices had handed over by the time the buffer
// was filled: the echo in it can only stem from that audio or earlier, so the filter
// stays causal whatever the device delays, as long as the round trip fits the tail.
//
// Threads: created and destroyed while no buffer circulates, used only by the capture
// thread; the reference it reads guards itself.
class CEchoCanceller {
public:
    // The figures below are at 8 kHz. At 16 kHz (wideband calls) the step keeps its 160
    // samples (10 ms: the suppressor's lag halves), and everything else keeps its length
    // in milliseconds.
    static constexpr int RATE = 8000;
    static constexpr int STEP_SAMPLES = 160; // the library's frame: 20 ms
    // The suppressor's overlap-add hands each step back one step late.
    static constexpr int DELAY_SAMPLES = STEP_SAMPLES;
    // 340 ms: a device round trip of up to 250 ms, the reference window's 20 ms margin
    // (below) and 70 ms of room reflections. A longer tail converges more slowly
    // (measured: 27 dB after 3 s at 320 ms, 21.5 dB at 400 ms, for a 250 ms round trip).
    static constexpr int TAIL_SAMPLES = 2720;
    // The window of reference paired with a buffer ends this far before the buffer's
    // stamp: one output period, so a stamp taken just before the output thread's next
    // period still finds the whole window handed over.
    static constexpr int MARGIN_SAMPLES = 160;
    // The window moves forward only when it has lagged behind its place by more than
    // this for SETTLE_BUFFERS buffers in a row (a playback device opened, clocks that
    // drifted apart); a late capture wake-up alone never moves it.
    static constexpr int RESYNC_SAMPLES = 320;
    static constexpr int SETTLE_BUFFERS = 16; // about 2 s of 120 ms buffers
    static constexpr int SETTLE_SAMPLES = SETTLE_BUFFERS * 960;
    // Far-end audio whose peaks stay within this (about -60 dBFS) counts as silence.
    static constexpr int16_t QUIET_PEAK = 32;

    // Null when the library cannot start or `tailSamples` is not a positive whole number
    // of steps; the first failure in a process is logged, and the caller goes on without.
    // `denoise`: the preprocessor suppresses steady noise as well as the residual echo.
    // `rate`: 8000 or 16000, the microphone's and the reference's (the loudspeakers').
    static std::unique_ptr<CEchoCanceller> Create(EchoReference& reference,
                                                  int tailSamples = TAIL_SAMPLES,
                                                  bool denoise = true, int rate = RATE);
    ~CEchoCanceller();
    CEchoCanceller(const CEchoCanceller&) = delete;
    CEchoCanceller& operator=(const CEchoCanceller&) = delete;

    // Cleans `count` samples (a whole number of steps) in place. `referenceEnd` is the
    // reference position when the input filled them.
    void Process(int16_t* samples, int count, uint64_t referenceEnd);
    // How often the reference window had to move (the first buffer included).
    int Resyncs() const { return m_resyncs; }

private:
    CEchoCanceller(EchoReference& reference, SpeexEchoState_* echo, SpeexPreprocessState_* pre,
                   int tailSteps, int scale);
    // Places the window for a buffer of `count` samples whose place is `target`.
    void Align(uint64_t target, uint64_t count);
    void MoveTo(uint64_t cursor);

    EchoReference& m_reference;
    SpeexEchoState_* m_echo;
    SpeexPreprocessState_* m_pre;
    bool m_started = false;
    uint64_t m_cursor = 0;  // next reference sample to pair with the microphone
    uint64_t m_fedUpTo = 0; // reference before this was used already; never used twice
    int m_resyncs = 0;
    uint64_t m_handedBefore = 0; // the reference's end at the previous buffer
    const int m_tailSteps;
    const int m_scale; // the rate over 8000: the figures above in this rate's samples
    int m_quietSteps = 0; // steps of far-end silence fed in a row
    bool m_skipping = false; // the filter is skipped and detached from the suppressor
    int64_t m_leastLag = 0; // how far the window trailed its place, least of this run
    int m_lagRun = 0;       // samples in that run
};
