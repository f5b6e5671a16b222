// SPDX-License-Identifier: GPL-3.0-or-later
// A mixer device in memory, with failures on demand, for the lookup tests.
#pragma once

#include "IMixerDevice.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The state outlives each opened device, as a sound card's does.
struct FakeMixerState {
    std::vector<MixerElementInfo> elements;
    std::map<std::pair<int, MixerDirection>, std::pair<long, long>> ranges;
    std::map<std::pair<int, MixerDirection>, long> volumes;
    std::map<std::pair<int, MixerDirection>, bool> switches;
    bool failOpen = false;
    bool failReads = false;
    bool failWrites = false;
    int opens = 0;
    int live = 0; // devices currently open

    static std::pair<int, MixerDirection> Key(int element, MixerDirection dir) {
        return {element, dir};
    }
    long& Volume(int element, MixerDirection dir) { return volumes[Key(element, dir)]; }
    bool& Switch(int element, MixerDirection dir) { return switches[Key(element, dir)]; }
    std::pair<long, long>& Range(int element, MixerDirection dir) {
        return ranges[Key(element, dir)];
    }
    int Add(MixerElementInfo info) {
        elements.push_back(std::move(info));
        return int(elements.size()) - 1;
    }
    MixerOpener Opener();
};

class FakeMixerDevice : public IMixerDevice {
public:
    explicit FakeMixerDevice(FakeMixerState& state) : m_state(state) { ++m_state.live; }
    ~FakeMixerDevice() override { --m_state.live; }

    const std::vector<MixerElementInfo>& Elements() const override { return m_state.elements; }
    bool GetVolumeRange(int element, MixerDirection dir, long& min, long& max) override {
        auto it = m_state.ranges.find({element, dir});
        if (it == m_state.ranges.end()) {
            return false;
        }
        min = it->second.first;
        max = it->second.second;
        return true;
    }
    bool GetVolume(int element, MixerDirection dir, long& value) override {
        auto it = m_state.volumes.find({element, dir});
        if (m_state.failReads || it == m_state.volumes.end()) {
            return false;
        }
        value = it->second;
        return true;
    }
    bool SetVolume(int element, MixerDirection dir, long value) override {
        if (m_state.failWrites || !m_state.ranges.count({element, dir})) {
            return false;
        }
        m_state.volumes[{element, dir}] = value;
        return true;
    }
    bool GetSwitch(int element, MixerDirection dir, bool& on) override {
        auto it = m_state.switches.find({element, dir});
        if (m_state.failReads || it == m_state.switches.end()) {
            return false;
        }
        on = it->second;
        return true;
    }
    bool SetSwitch(int element, MixerDirection dir, bool on) override {
        if (m_state.failWrites || !m_state.switches.count({element, dir})) {
            return false;
        }
        m_state.switches[{element, dir}] = on;
        return true;
    }

private:
    FakeMixerState& m_state;
};

inline MixerOpener FakeMixerState::Opener() {
    return [this]() -> std::unique_ptr<IMixerDevice> {
        ++opens;
        if (failOpen) {
            return nullptr;
        }
        return std::make_unique<FakeMixerDevice>(*this);
    };
}
