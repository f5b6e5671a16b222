// SPDX-License-Identifier: GPL-3.0-or-later
// Wraps a capture input so that every filled buffer also moves the input level meter.
#include "MeteredAudioInput.h"

#include "CAudioSession.h"

bool MeteredAudioInput::Open(FilledCallback onFilled) {
    if (!onFilled)
        return false;
    return m_inner->Open([this, next = std::move(onFilled)](uint8_t* buffer, int bytes) {
        if (bytes > 0)
            m_session.ReportLevel(reinterpret_cast<const int16_t*>(buffer), bytes / BYTES_PER_SAMPLE);
        next(buffer, bytes);
    });
}
