// SPDX-License-Identifier: GPL-3.0-or-later
// A loudspeaker-to-microphone path: bulk delay, a few reflections and the room's noise.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

// Sample by sample, so it serves an offline room and a real-time one alike. Every
// reflection is a delayed, scaled copy of what the loudspeaker played; the noise is
// white and Gaussian.
class EchoPath {
public:
    struct Tap {
        int delay; // samples after the bulk delay
        double gain;
    };
    // A small room: direct sound at `gain`, then reflections over about 65 ms.
    static std::vector<Tap> SmallRoom(double gain);

    // `bulkDelay`: samples from the reference to the first sound at the microphone.
    // `noiseDbfs`: the noise's RMS level against full scale (below -120 dB: none).
    EchoPath(int bulkDelay, std::vector<Tap> taps, double noiseDbfs, uint32_t seed = 1);

    // Takes the next loudspeaker sample and gives the microphone's next echo sample,
    // noise included, unclipped.
    double Next(int16_t played);
    // The last echo without its noise (for measuring what a canceller removed).
    double LastEcho() const { return m_lastEcho; }

private:
    std::vector<Tap> m_taps;
    std::vector<int16_t> m_history; // ring of played samples
    size_t m_head = 0;
    int m_bulkDelay;
    double m_noiseRms;
    std::mt19937 m_random;
    std::normal_distribution<double> m_normal;
    double m_lastEcho = 0;
};

// Clips to 16 bits.
int16_t ToSample(double value);
