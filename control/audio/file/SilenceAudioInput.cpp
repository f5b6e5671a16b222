// SPDX-License-Identifier: GPL-3.0-or-later
// Capture input that records silence in real time, for machines without a microphone.
#include "SilenceAudioInput.h"

#include <cstring>

SilenceAudioInput::~SilenceAudioInput() {
    Close();
}

bool SilenceAudioInput::StartDevice() {
    m_pacer.Restart(SampleRate());
    return true;
}

int SilenceAudioInput::Capture(uint8_t* buffer, int length) {
    if (!WaitUntil(m_pacer.NextDeadline(length / BYTES_PER_SAMPLE)))
        return 0;
    std::memset(buffer, 0, static_cast<size_t>(length));
    return length;
}
