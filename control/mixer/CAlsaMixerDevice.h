// SPDX-License-Identifier: GPL-3.0-or-later
// ALSA simple-mixer device: the elements of one control device, opened per lookup.
#pragma once

#include "IMixerDevice.h"

#include <alsa/asoundlib.h>

#include <memory>
#include <string>
#include <vector>

// Threads: opened, used and closed by one lookup on the control's thread.
class CAlsaMixerDevice : public IMixerDevice {
public:
    // nullptr when the control device cannot be opened or loaded.
    static std::unique_ptr<CAlsaMixerDevice> Open(const std::string& device);
    // `configured` (the control's TAVRINO_MIXER), or "default" when empty.
    static std::string DeviceName(const std::string& configured = {});

    ~CAlsaMixerDevice() override;
    CAlsaMixerDevice(const CAlsaMixerDevice&) = delete;
    CAlsaMixerDevice& operator=(const CAlsaMixerDevice&) = delete;

    void Close(); // safe twice; every later call fails

    const std::vector<MixerElementInfo>& Elements() const override { return m_infos; }
    bool GetVolumeRange(int element, MixerDirection dir, long& min, long& max) override;
    bool GetVolume(int element, MixerDirection dir, long& value) override;
    bool SetVolume(int element, MixerDirection dir, long value) override;
    bool GetSwitch(int element, MixerDirection dir, bool& on) override;
    bool SetSwitch(int element, MixerDirection dir, bool on) override;

private:
    struct HandleCloser {
        void operator()(snd_mixer_t* handle) const { snd_mixer_close(handle); }
    };

    CAlsaMixerDevice() = default;
    snd_mixer_elem_t* Element(int element) const;

    std::unique_ptr<snd_mixer_t, HandleCloser> m_handle;
    // Owned by m_handle; cleared with it.
    std::vector<snd_mixer_elem_t*> m_elements;
    std::vector<MixerElementInfo> m_infos;
};
