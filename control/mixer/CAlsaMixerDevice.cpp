// SPDX-License-Identifier: GPL-3.0-or-later
// ALSA simple-mixer device: the elements of one control device, opened per lookup.
#include "CAlsaMixerDevice.h"

#include <utility>

namespace {
// Reads look at one channel; on a mono element ALSA maps it to the mono value.
constexpr snd_mixer_selem_channel_id_t kReadChannel = SND_MIXER_SCHN_FRONT_LEFT;
} // namespace

MixerOpener AlsaMixerOpener(const std::string& device) {
    return [name = CAlsaMixerDevice::DeviceName(device)]() -> std::unique_ptr<IMixerDevice> {
        return CAlsaMixerDevice::Open(name);
    };
}

std::string CAlsaMixerDevice::DeviceName(const std::string& configured) {
    return configured.empty() ? std::string("default") : configured;
}

std::unique_ptr<CAlsaMixerDevice> CAlsaMixerDevice::Open(const std::string& device) {
    snd_mixer_t* raw = nullptr;
    if (snd_mixer_open(&raw, 0) < 0 || raw == nullptr) {
        return nullptr;
    }
    std::unique_ptr<CAlsaMixerDevice> mixer(new CAlsaMixerDevice());
    mixer->m_handle.reset(raw);
    if (snd_mixer_attach(raw, device.c_str()) < 0 ||
        snd_mixer_selem_register(raw, nullptr, nullptr) < 0 || snd_mixer_load(raw) < 0) {
        return nullptr;
    }
    for (snd_mixer_elem_t* elem = snd_mixer_first_elem(raw); elem != nullptr;
         elem = snd_mixer_elem_next(elem)) {
        MixerElementInfo info;
        const char* name = snd_mixer_selem_get_name(elem);
        info.name = name != nullptr ? name : "";
        info.playbackVolume = snd_mixer_selem_has_playback_volume(elem) != 0;
        info.captureVolume = snd_mixer_selem_has_capture_volume(elem) != 0;
        info.playbackSwitch = snd_mixer_selem_has_playback_switch(elem) != 0;
        info.captureSwitch = snd_mixer_selem_has_capture_switch(elem) != 0;
        mixer->m_elements.push_back(elem);
        mixer->m_infos.push_back(std::move(info));
    }
    return mixer;
}

CAlsaMixerDevice::~CAlsaMixerDevice() {
    Close();
}

void CAlsaMixerDevice::Close() {
    m_elements.clear();
    m_infos.clear();
    m_handle.reset();
}

snd_mixer_elem_t* CAlsaMixerDevice::Element(int element) const {
    if (element < 0 || size_t(element) >= m_elements.size()) {
        return nullptr;
    }
    // ALSA keeps a copy of each value and skips a write that equals it, so
    // take in changes made through other handles first.
    snd_mixer_handle_events(m_handle.get());
    return m_elements[size_t(element)];
}

bool CAlsaMixerDevice::GetVolumeRange(int element, MixerDirection dir, long& min, long& max) {
    snd_mixer_elem_t* elem = Element(element);
    if (elem == nullptr) {
        return false;
    }
    const int rc = dir == MixerDirection::Playback
                       ? snd_mixer_selem_get_playback_volume_range(elem, &min, &max)
                       : snd_mixer_selem_get_capture_volume_range(elem, &min, &max);
    return rc >= 0 && min <= max;
}

bool CAlsaMixerDevice::GetVolume(int element, MixerDirection dir, long& value) {
    snd_mixer_elem_t* elem = Element(element);
    if (elem == nullptr) {
        return false;
    }
    const int rc = dir == MixerDirection::Playback
                       ? snd_mixer_selem_get_playback_volume(elem, kReadChannel, &value)
                       : snd_mixer_selem_get_capture_volume(elem, kReadChannel, &value);
    return rc >= 0;
}

bool CAlsaMixerDevice::SetVolume(int element, MixerDirection dir, long value) {
    snd_mixer_elem_t* elem = Element(element);
    if (elem == nullptr) {
        return false;
    }
    const int rc = dir == MixerDirection::Playback
                       ? snd_mixer_selem_set_playback_volume_all(elem, value)
                       : snd_mixer_selem_set_capture_volume_all(elem, value);
    return rc >= 0;
}

bool CAlsaMixerDevice::GetSwitch(int element, MixerDirection dir, bool& on) {
    snd_mixer_elem_t* elem = Element(element);
    if (elem == nullptr) {
        return false;
    }
    int value = 0;
    const int rc = dir == MixerDirection::Playback
                       ? snd_mixer_selem_get_playback_switch(elem, kReadChannel, &value)
                       : snd_mixer_selem_get_capture_switch(elem, kReadChannel, &value);
    on = value != 0;
    return rc >= 0;
}

bool CAlsaMixerDevice::SetSwitch(int element, MixerDirection dir, bool on) {
    snd_mixer_elem_t* elem = Element(element);
    if (elem == nullptr) {
        return false;
    }
    const int rc = dir == MixerDirection::Playback
                       ? snd_mixer_selem_set_playback_switch_all(elem, on ? 1 : 0)
                       : snd_mixer_selem_set_capture_switch_all(elem, on ? 1 : 0);
    return rc >= 0;
}
