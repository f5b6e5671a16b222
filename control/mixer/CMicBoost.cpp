// SPDX-License-Identifier: GPL-3.0-or-later
// Microphone boost: the first mixer element named like a gain or boost, one call at a time.
#include "CMicBoost.h"

#include "MixerElementNames.h"

#include <utility>

CMicBoost::CMicBoost(MixerOpener opener) : m_opener(std::move(opener)) {}

CMicBoost::~CMicBoost() {
    Close();
}

bool CMicBoost::Open() {
    Close();
    if (!m_opener) {
        return false;
    }
    m_device = m_opener();
    if (!m_device) {
        return false;
    }
    m_element = FindBoostElement(m_device->Elements());
    if (m_element < 0) {
        Close();
        return false;
    }
    const MixerElementInfo& info = m_device->Elements()[size_t(m_element)];
    if (info.playbackSwitch || info.captureSwitch) {
        m_kind = Kind::Switch;
        m_direction = info.playbackSwitch ? MixerDirection::Playback : MixerDirection::Capture;
        return true;
    }
    if (info.playbackVolume || info.captureVolume) {
        m_kind = Kind::Volume;
        m_direction = info.playbackVolume ? MixerDirection::Playback : MixerDirection::Capture;
        if (m_device->GetVolumeRange(m_element, m_direction, m_min, m_max)) {
            return true;
        }
    }
    Close();
    return false;
}

bool CMicBoost::Set(bool on) {
    if (!m_device) {
        return false;
    }
    if (m_kind == Kind::Switch) {
        return m_device->SetSwitch(m_element, m_direction, on);
    }
    return m_device->SetVolume(m_element, m_direction, on ? m_max : m_min);
}

bool CMicBoost::Get(bool& on) {
    if (!m_device) {
        return false;
    }
    if (m_kind == Kind::Switch) {
        return m_device->GetSwitch(m_element, m_direction, on);
    }
    long value = 0;
    if (!m_device->GetVolume(m_element, m_direction, value)) {
        return false;
    }
    on = value > m_min;
    return true;
}

void CMicBoost::Close() {
    m_device.reset();
    m_element = -1;
    m_min = m_max = 0;
}
