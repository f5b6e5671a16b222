// SPDX-License-Identifier: GPL-3.0-or-later
// The sizes of one voice frame, on every side of the codec.
#pragma once

// 120 ms of 8 kHz mono 16-bit sound is one frame: the capture thread encodes it, one
// datagram carries it, the playback queues it. Encrypted, the GSM bytes are padded to
// whole 8-byte cipher blocks.
namespace VoiceFrame {

constexpr int kSampleRate = 8000;
constexpr int kMilliseconds = 120;
constexpr int kSamples = kSampleRate * kMilliseconds / 1000; // 960
constexpr int kPcmBytes = kSamples * 2;                      // 1920
constexpr int kGsmBytes = 195;                               // 3 WAV49 blocks of 65 bytes
constexpr int kEncryptedBytes = (kGsmBytes + 7) / 8 * 8;     // 200

} // namespace VoiceFrame
