// SPDX-License-Identifier: GPL-3.0-or-later
// The sizes of one wideband voice frame, on every side of the Opus codec.
#pragma once

// 20 ms of 16 kHz mono 16-bit sound is one frame: the capture thread encodes it into one
// Opus packet, one sealed datagram carries it, the jitter buffer plays it.
namespace WidebandFrame {

constexpr int kSampleRate = 16000;
constexpr int kMilliseconds = 20;
constexpr int kSamples = kSampleRate * kMilliseconds / 1000; // 320
constexpr int kPcmBytes = kSamples * 2;                      // 640
constexpr int kMaxOpusBytes = 400;                           // the largest packet on the wire
constexpr int kBitrate = 24000;                              // VBR average, bit/s

} // namespace WidebandFrame
