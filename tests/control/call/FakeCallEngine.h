// SPDX-License-Identifier: GPL-3.0-or-later
// FakeCallEngine: a call engine on a fake platform (socket, task window, media, clock) driven
// by a test clock.
#pragma once

#include "CCallEngine.h"
#include "CUdpSocket.h"
#include "IVoiceReceiver.h"
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

// What the fakes record and what they are told to do, shared by all of them.
struct FakePlatformState {
    bool taskWndWorks = true;
    bool socketWorks = true;
    int32_t mediaError = 0;
    std::vector<int32_t> statuses;
    std::vector<std::pair<std::string, std::string>> texts;
    std::vector<Announcement> announcements;
    std::vector<std::vector<uint8_t>> played;
    bool taskWndExists = false;
    std::function<void(uint8_t type)> afterSend;           // runs after each recorded packet
    std::map<std::string, std::vector<std::string>> names; // what a name resolves to
    std::atomic<bool> socketOpen{false}; // read by Send on the capture thread
    int socketPort = -1;
    bool holdAnnouncements = false;
    std::deque<std::tuple<Announcement, uint64_t>> held;
    ICallTaskWindow::AnnouncementDelivery delivered;

    struct Timer {
        int period = 0;
        int64_t due = 0;
    };
    std::map<int, Timer> timers;
    int64_t now = 0;
    mutable std::mutex sentMutex; // the guard sends voice on other threads in some tests
    std::vector<SentPacket> sent;
};

class FakeSocket : public ICallSocket {
public:
    explicit FakeSocket(FakePlatformState& s) : m_s(s) {}
    bool Open(int port, const std::string&, DatagramHandler) override {
        if (!m_s.socketWorks)
            return false;
        m_s.socketOpen = true;
        m_s.socketPort = port;
        return true;
    }
    void Close() override {
        m_s.socketOpen = false;
        m_s.socketPort = -1;
    }
    void Send(uint8_t type, const uint8_t* payload, int length, const std::string& address,
              int port) override {
        {
            std::lock_guard lock(m_s.sentMutex);
            if (!m_s.socketOpen)
                return; // a closed socket drops what it is given
            std::vector<uint8_t> bytes;
            if (payload && length > 0)
                bytes.assign(payload, payload + length);
            m_s.sent.push_back(SentPacket{type, std::move(bytes), address, port});
        }
        if (m_s.afterSend)
            m_s.afterSend(type);
    }
    int LocalPort() const override { return m_s.socketPort; }
    std::vector<std::string> AddressesOf(const std::string& address) override {
        const auto it = m_s.names.find(address);
        static const CUdpSocket literals; // never opened: only its reading of literals
        return it != m_s.names.end() ? it->second : literals.AddressesOf(address);
    }
    Traffic Counters() const override { return {}; }
    void ClosePeriod() override {}

private:
    FakePlatformState& m_s;
};

// Reports are recorded when posted (a real task window fires them later, in the same
// order), announcements delivered at once unless held.
class FakeTaskWindow : public ICallTaskWindow {
public:
    explicit FakeTaskWindow(FakePlatformState& s) : m_s(s) {}
    bool Create(TimerTick onTick, ICallEventSink*, AnnouncementDelivery onDelivery) override {
        if (!m_s.taskWndWorks)
            return false;
        m_s.taskWndExists = true;
        tick = std::move(onTick);
        m_s.delivered = std::move(onDelivery);
        StartTimer(TIMER_PENDING_AGE, 30000);
        StartTimer(TIMER_RATE, 1000);
        return true;
    }
    void Destroy() override {
        m_s.taskWndExists = false;
        m_s.timers.clear();
    }
    void StartTimer(int id, int periodMs) override {
        if (m_s.taskWndExists)
            m_s.timers[id] = FakePlatformState::Timer{periodMs, m_s.now + periodMs};
    }
    void StopTimer(int id) override { m_s.timers.erase(id); }
    void PostStatus(int32_t code) override {
        if (m_s.taskWndExists)
            m_s.statuses.push_back(code);
    }
    void PostText(const std::string& text, const std::string& userData) override {
        if (m_s.taskWndExists)
            m_s.texts.emplace_back(text, userData);
    }
    void PostConnection(const std::string& address, int32_t port, const std::string& userData,
                        uint64_t attempt) override {
        if (!m_s.taskWndExists)
            return;
        m_s.held.emplace_back(Announcement{address, port, userData}, attempt);
        while (!m_s.holdAnnouncements && !m_s.held.empty())
            DeliverNext(m_s);
    }
    static void DeliverNext(FakePlatformState& s) {
        if (s.held.empty())
            return;
        const auto [announcement, attempt] = s.held.front();
        s.held.pop_front();
        if (attempt != 0 && s.delivered)
            s.delivered(attempt, true);
        s.announcements.push_back(announcement);
    }
    TimerTick tick;

private:
    FakePlatformState& m_s;
};

class FakeMedia : public ICallMedia, public IVoiceReceiver {
public:
    explicit FakeMedia(FakePlatformState& s) : m_s(s) {}
    void ApplySettings(const ControlSettings&) override {}
    int32_t Start(IVoiceFrameSink*) override { return m_s.mediaError; }
    void Stop() override {}
    void BeginCall(VoiceKind kind) override { calls.push_back(kind); }
    void EndCall() override { calls.push_back(VoiceKind::Narrowband); }
    IVoiceReceiver& Voice() override { return *this; }
    IVoiceReceiver& WidebandVoice() override { return *this; }
    void SetExpectedLoss(int percent) override { expectedLoss = percent; }
    std::optional<ReceivedVoice> ReceivedVoiceFigures() const override { return received; }
    std::optional<ReceivedVoice> received; // what the jitter buffer would say
    std::vector<VoiceKind> calls; // each BeginCall's kind, and Narrowband for each EndCall
    int expectedLoss = -1;
    void Receive(const uint8_t* frame, int length) override { m_s.played.emplace_back(frame, frame + length); }
    bool MuteMic(bool) override { return false; } // no capture thread runs
    void MuteSpk(bool) override {}
    void Tick() override {}
    void EnableDetection(int sensitivity, int silenceMs) override {
        detecting = true;
        this->sensitivity = sensitivity;
        this->silenceMs = silenceMs;
    }
    void DisableDetection() override { detecting = false; }
    bool IsDetecting() const override { return detecting; }
    bool detecting = false;
    int sensitivity = -1;
    int silenceMs = -1;

private:
    FakePlatformState& m_s;
};

class FakeClock : public ICallClock {
public:
    explicit FakeClock(FakePlatformState& s) : m_s(s) {}
    int64_t NowMs() const override { return m_s.now; }

private:
    FakePlatformState& m_s;
};

// The fakes are made first, so the engine can take them over.
struct FakePlatformParts {
    FakePlatformState fake;
    FakeTaskWindow* window = nullptr;
    FakeMedia* media = nullptr;
    CallPlatform Make() {
        CallPlatform platform;
        platform.socket = std::make_unique<FakeSocket>(fake);
        auto w = std::make_unique<FakeTaskWindow>(fake);
        window = w.get();
        platform.taskWindow = std::move(w);
        auto m = std::make_unique<FakeMedia>(fake);
        media = m.get();
        platform.media = std::move(m);
        platform.clock = std::make_unique<FakeClock>(fake);
        return platform;
    }
};

// The engine itself, unchanged, on the fakes; with what the tests look at.
class FakeCallEngine : private FakePlatformParts, public CCallEngine {
public:
    FakeCallEngine() : CCallEngine(nullptr, Make()) {}

    using FakePlatformParts::fake;
    FakeMedia& Media() { return *media; }
    // What the fakes recorded and are told, by the names the tests use.
    bool& taskWndWorks = fake.taskWndWorks;
    bool& socketWorks = fake.socketWorks;
    int32_t& mediaError = fake.mediaError;
    std::vector<int32_t>& statuses = fake.statuses;
    std::vector<std::pair<std::string, std::string>>& texts = fake.texts;
    std::vector<Announcement>& announcements = fake.announcements;
    std::vector<std::vector<uint8_t>>& played = fake.played;
    bool& taskWndExists = fake.taskWndExists;
    std::function<void(uint8_t)>& afterSend = fake.afterSend;
    std::map<std::string, std::vector<std::string>>& names = fake.names;
    std::atomic<bool>& socketOpen = fake.socketOpen;
    int& socketPort = fake.socketPort;
    bool& holdAnnouncements = fake.holdAnnouncements;
    std::deque<std::tuple<Announcement, uint64_t>>& held = fake.held;

    std::vector<SentPacket> Sent() const {
        std::lock_guard lock(fake.sentMutex);
        return fake.sent;
    }
    std::vector<SentPacket> SentOfType(uint8_t type) const {
        std::vector<SentPacket> out;
        for (const auto& p : Sent())
            if (p.type == type)
                out.push_back(p);
        return out;
    }
    void ClearSent() {
        std::lock_guard lock(fake.sentMutex);
        fake.sent.clear();
    }
    bool TimerActive(int id) const { return fake.timers.count(id) != 0; }
    int TimerPeriod(int id) const {
        const auto it = fake.timers.find(id);
        return it == fake.timers.end() ? -1 : it->second.period;
    }
    int64_t Now() const { return fake.now; }

    // Fires every tick that falls due, in time order, exactly as a task window would over
    // that stretch of real time.
    void Advance(int64_t ms) {
        const int64_t end = fake.now + ms;
        for (;;) {
            int nextId = -1;
            int64_t nextDue = end + 1;
            for (const auto& [id, t] : fake.timers)
                if (t.due < nextDue) {
                    nextDue = t.due;
                    nextId = id;
                }
            if (nextId < 0)
                break;
            fake.now = nextDue;
            fake.timers[nextId].due += fake.timers[nextId].period;
            OnTimerTick(nextId);
        }
        fake.now = end;
    }

    // A datagram from `address`:`port` with the type byte and payload given.
    void Receive(const std::string& address, int port, uint8_t type,
                 const std::vector<uint8_t>& payload = {}) {
        OnPacket(address, port, type, payload.data(), static_cast<int>(payload.size()));
    }
    // A captured frame, as the capture thread hands it over.
    void SendVoiceFrame(const std::vector<uint8_t>& frame) {
        Guard().SendVoiceFrame(frame.data(), static_cast<int>(frame.size()));
    }
    void SendWidebandFrame(uint16_t seq, const std::vector<uint8_t>& packet) {
        Guard().SendWidebandFrame(seq, packet.data(), static_cast<int>(packet.size()));
    }
    void DeliverNext() { FakeTaskWindow::DeliverNext(fake); }
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
