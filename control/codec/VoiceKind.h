// SPDX-License-Identifier: GPL-3.0-or-later
// VoiceKind: the two kinds of voice a call carries, and what each asks of the devices.
#pragma once

#include "VoiceFrame.h"
#include "WidebandFrame.h"

#include <cstdint>

// Narrowband: the stated GSM 06.10 at 8 kHz in 120 ms frames. Wideband: Opus at 16 kHz in
// 20 ms frames, between two of our stations that agreed on it in an encrypted call.
enum class VoiceKind : int32_t { Narrowband = 0, Wideband = 1 };

constexpr int RateOf(VoiceKind kind) {
    return kind == VoiceKind::Wideband ? WidebandFrame::kSampleRate : VoiceFrame::kSampleRate;
}

// The samples of one captured frame.
constexpr int FrameSamplesOf(VoiceKind kind) {
    return kind == VoiceKind::Wideband ? WidebandFrame::kSamples : VoiceFrame::kSamples;
}
