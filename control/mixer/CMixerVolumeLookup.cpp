// SPDX-License-Identifier: GPL-3.0-or-later
// Finds one volume element on a freshly opened mixer and reads or writes it on the 0..255 scale.
#include "CMixerVolumeLookup.h"

#include "MixerScale.h"

#include <utility>

CMixerVolumeLookup::CMixerVolumeLookup(MixerOpener opener, Finder finder, MixerDirection direction)
    : m_opener(std::move(opener)), m_finder(finder), m_direction(direction) {}

CMixerVolumeLookup::~CMixerVolumeLookup() {
    Close();
}

bool CMixerVolumeLookup::Open() {
    Close();
    if (!m_opener) {
        return false;
    }
    m_device = m_opener();
    if (!m_device) {
        return false;
    }
    const auto& elements = m_device->Elements();
    m_element = m_finder(elements);
    if (m_element < 0 || !m_device->GetVolumeRange(m_element, m_direction, m_min, m_max)) {
        Close();
        return false;
    }
    return true;
}

bool CMixerVolumeLookup::Set(int volume) {
    if (!m_device) {
        return false;
    }
    return m_device->SetVolume(m_element, m_direction, MixerVolumeToElement(volume, m_min, m_max));
}

bool CMixerVolumeLookup::Get(int& volume) {
    long value = 0;
    if (!m_device || !m_device->GetVolume(m_element, m_direction, value)) {
        return false;
    }
    volume = MixerVolumeFromElement(value, m_min, m_max);
    return true;
}

void CMixerVolumeLookup::Close() {
    m_device.reset();
    m_element = -1;
    m_min = m_max = 0;
}
