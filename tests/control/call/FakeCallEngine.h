// SPDX-License-Identifier: GPL-3.0-or-later
// FakeCallEngine: a call engine whose socket, timers and reports are fakes driven by a test clock.
#pragma once

#include "CCallEngine.h"
#include "Packets.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

struct SentPacket {
    uint8_t type = 0;
    std::vector<uint8_t> payload;
    std::string address;
    int port = 0;
};

struct Announcement {
    std::string address;
    int32_t port = 0;
    std::string userData;
};

// Reports are recorded when posted (a real task window fires them later, in the same
// order). Timers run on a virtual clock: Advance(ms) fires every tick that falls due,
// in time order, exactly as a task window would over that stretch of real time.
class FakeCallEngine : public CCallEngine {
public:
    FakeCallEngine() = default;
    ~FakeCallEngine() override { UnInitialize(); }

    // What the fake platform does when the engine brings itself up.
    bool taskWndWorks = true;
    bool socketWorks = true;
    int32_t mediaError = 0;

    // Record of everything that left the engine.
    std::vector<SentPacket> Sent() const {
        std::lock_guard lock(m_sentMutex);
        return m_sent;
    }
    std::vector<SentPacket> SentOfType(uint8_t type) const {
        std::vector<SentPacket> out;
        for (const auto& p : Sent())
            if (p.type == type)
                out.push_back(p);
        return out;
    }
    void ClearSent() {
        std::lock_guard lock(m_sentMutex);
        m_sent.clear();
    }
    std::vector<int32_t> statuses;
    std::vector<std::pair<std::string, std::string>> texts;
    std::vector<Announcement> announcements;
    std::vector<std::vector<uint8_t>> played;
    bool taskWndExists = false;
    std::function<void(uint8_t type)> afterSend;           // runs after each recorded packet
    std::map<std::string, std::vector<std::string>> names; // what a name resolves to
    std::atomic<bool> socketOpen{false}; // read by SendPacket on the capture thread
    int socketPort = -1;

    bool TimerActive(int id) const { return m_timers.count(id) != 0; }
    int TimerPeriod(int id) const {
        const auto it = m_timers.find(id);
        return it == m_timers.end() ? -1 : it->second.period;
    }
    int64_t Now() const { return m_now; }

    void Advance(int64_t ms) {
        const int64_t end = m_now + ms;
        for (;;) {
            int nextId = -1;
            int64_t nextDue = end + 1;
            for (const auto& [id, t] : m_timers)
                if (t.due < nextDue) {
                    nextDue = t.due;
                    nextId = id;
                }
            if (nextId < 0)
                break;
            m_now = nextDue;
            m_timers[nextId].due += m_timers[nextId].period;
            OnTimerTick(nextId);
        }
        m_now = end;
    }

    // A datagram from `address`:`port` with the type byte and payload given.
    void Receive(const std::string& address, int port, uint8_t type,
                 const std::vector<uint8_t>& payload = {}) {
        OnPacket(address, port, type, payload.data(), static_cast<int>(payload.size()));
    }

protected:
    bool CreateTaskWindow() override {
        if (!taskWndWorks)
            return false;
        taskWndExists = true;
        StartTimer(TIMER_PENDING_AGE, 30000);
        StartTimer(TIMER_RATE, 1000);
        StartTimer(TIMER_VAD_LEVEL, 1000);
        return true;
    }
    void DestroyTaskWindow() override {
        taskWndExists = false;
        m_timers.clear();
    }
    bool OpenSocket(int port) override {
        if (!socketWorks)
            return false;
        socketOpen = true;
        socketPort = port;
        return true;
    }
    void CloseSocket() override {
        socketOpen = false;
        socketPort = -1;
    }
    int32_t StartMedia() override { return mediaError; }
    void SendPacket(uint8_t type, const uint8_t* payload, int length, const std::string& address,
                    int port) override {
        {
            std::lock_guard lock(m_sentMutex);
            if (!socketOpen)
                return; // a closed socket drops what it is given
            std::vector<uint8_t> bytes;
            if (payload && length > 0)
                bytes.assign(payload, payload + length);
            m_sent.push_back(SentPacket{type, std::move(bytes), address, port});
        }
        if (afterSend)
            afterSend(type);
    }
    void StartTimer(int id, int periodMs) override {
        if (!taskWndExists)
            return;
        m_timers[id] = Timer{periodMs, m_now + periodMs};
    }
    void StopTimer(int id) override { m_timers.erase(id); }
    void PostStatus(int32_t code) override {
        if (taskWndExists)
            statuses.push_back(code);
    }
    void PostText(const std::string& text, const std::string& userData) override {
        if (taskWndExists)
            texts.emplace_back(text, userData);
    }
    // Delivered at once, as a task window would with nothing queued before it, unless
    // announcements are held (then DeliverNext hands them over one by one).
    void PostConnection(const std::string& address, int32_t port, const std::string& userData,
                        uint64_t attempt) override {
        if (taskWndExists)
            held.push_back({Announcement{address, port, userData}, attempt});
        while (!holdAnnouncements && !held.empty())
            DeliverNext();
    }

public:
    bool holdAnnouncements = false;
    std::deque<std::pair<Announcement, uint64_t>> held;
    void DeliverNext() {
        if (held.empty())
            return;
        AnnouncementDelivered(held.front().second, true);
        announcements.push_back(held.front().first);
        held.pop_front();
    }

protected:
    std::vector<std::string> AddressesOf(const std::string& address) override {
        const auto it = names.find(address);
        return it != names.end() ? it->second : CCallEngine::AddressesOf(address);
    }
    void PlayVoiceFrame(const uint8_t* frame) override {
        played.emplace_back(frame, frame + VOICE_FRAME_BYTES);
    }
    int64_t NowMs() const override { return m_now; }

private:
    struct Timer {
        int period = 0;
        int64_t due = 0;
    };
    std::map<int, Timer> m_timers;
    int64_t m_now = 0;
    mutable std::mutex m_sentMutex; // SendVoiceFrame runs on other threads in some tests
    std::vector<SentPacket> m_sent;
};

// Carries what two engines send to each other's address, both ways, until quiet.
inline void Pump(FakeCallEngine& a, const std::string& aIp, int aPort, FakeCallEngine& b,
                 const std::string& bIp, int bPort) {
    for (bool moved = true; moved;) {
        moved = false;
        for (auto [from, fromIp, fromPort, to, toIp, toPort] :
             {std::tuple{&a, aIp, aPort, &b, bIp, bPort},
              std::tuple{&b, bIp, bPort, &a, aIp, aPort}}) {
            const auto sent = from->Sent();
            from->ClearSent();
            for (const auto& p : sent) {
                if (p.address == toIp && p.port == toPort) {
                    to->Receive(fromIp, fromPort, p.type, p.payload);
                    moved = true;
                }
            }
        }
    }
}
