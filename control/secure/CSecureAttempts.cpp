// SPDX-License-Identifier: GPL-3.0-or-later
// CSecureAttempts: the called station's encrypted attempts, each known by its caller's
// address, port and sid together.
#include "CSecureAttempts.h"

#include "NetAddress.h"

#include <algorithm>

namespace {

bool SameSender(const std::string& a, int aPort, const std::string& b, int bPort) {
    // Addresses, not their spellings: an IPv6 address has several.
    return aPort == bPort && Tavrino::SameAddress(a, b);
}

} // namespace

CSecureAttempts::List::iterator CSecureAttempts::Find(const std::string& address, int port,
                                                      const SecureCall::Sid& sid) {
    return std::find_if(m_attempts.begin(), m_attempts.end(), [&](const Attempt& a) {
        return a.sid == sid && SameSender(a.address, a.port, address, port);
    });
}

CSecureAttempts::List::iterator CSecureAttempts::Live(const std::string& address, int port) {
    return std::find_if(m_attempts.begin(), m_attempts.end(), [&](const Attempt& a) {
        return a.state != State::Answered && SameSender(a.address, a.port, address, port);
    });
}

CSecureAttempts::List::const_iterator CSecureAttempts::Live(const std::string& address,
                                                            int port) const {
    return std::find_if(m_attempts.begin(), m_attempts.end(), [&](const Attempt& a) {
        return a.state != State::Answered && SameSender(a.address, a.port, address, port);
    });
}

void CSecureAttempts::MarkAnswered(List::iterator it, int64_t nowMs) {
    it->state = State::Answered;
    it->callee.reset(); // wipes the attempt's keys
    it->request = CSecureCallee::Request();
    it->answeredMs = nowMs;
}

CSecureAttempts::Filed CSecureAttempts::File(const std::string& address, int port,
                                             const CSecureCallee::Request& request,
                                             int64_t nowMs) {
    Filed filed;
    auto it = Find(address, port, request.sid);
    if (it != m_attempts.end()) {
        switch (it->state) {
        case State::Answered:
            return filed;
        case State::Accepted:
            // Its accept may have been lost: one more, to that caller only, metered.
            if (nowMs - it->lastAcceptMs >= kAcceptResendMs) {
                it->lastAcceptMs = nowMs;
                filed.action = Filing::ResendAccept;
                filed.accept = &it->callee->AcceptPayload();
            }
            return filed;
        case State::Pending:
            it->stale = false;
            m_attempts.splice(m_attempts.end(), m_attempts, it); // most recently heard last
            if (!it->dropped)
                return filed;
            // The station never heard of it: its repeat is announced instead.
            it->dropped = false;
            it->serial = ++m_nextSerial;
            filed.action = Filing::Announce;
            filed.serial = it->serial;
            return filed;
        }
    }
    // A new sid from an address and port that has an attempt replaces it.
    if (auto live = Live(address, port); live != m_attempts.end())
        MarkAnswered(live, nowMs);
    Attempt attempt;
    attempt.address = address;
    attempt.port = port;
    attempt.sid = request.sid;
    attempt.request = request;
    attempt.serial = ++m_nextSerial;
    m_attempts.push_back(std::move(attempt));
    Bound();
    filed.action = Filing::Announce;
    filed.serial = m_nextSerial;
    return filed;
}

void CSecureAttempts::Bound() {
    // Within each kind, the least recently heard goes first.
    const auto trim = [this](State state, std::size_t limit) {
        std::size_t count = 0;
        for (const Attempt& a : m_attempts)
            count += a.state == state ? 1 : 0;
        for (auto it = m_attempts.begin(); count > limit && it != m_attempts.end();) {
            if (it->state == state) {
                it = m_attempts.erase(it);
                --count;
            } else {
                ++it;
            }
        }
    };
    trim(State::Pending, kMaxPending);
    trim(State::Accepted, kMaxAccepted);
    trim(State::Answered, kMaxAnswered);
}

void CSecureAttempts::Announced(uint64_t serial, bool delivered) {
    for (Attempt& a : m_attempts) {
        if (a.state == State::Pending && a.serial == serial) {
            a.told = a.told || delivered;
            a.dropped = !delivered && !a.told;
            return;
        }
    }
}

void CSecureAttempts::DropPending(const std::string& address, int port) {
    m_attempts.remove_if([&](const Attempt& a) {
        return a.state == State::Pending && SameSender(a.address, a.port, address, port);
    });
}

bool CSecureAttempts::HasPending(const std::string& address, int port) const {
    const auto it = Live(address, port);
    return it != m_attempts.end() && it->state == State::Pending;
}

CSecureAttempts::Answer CSecureAttempts::Accept(const std::string& address, int port,
                                                const std::string& password, uint8_t flags,
                                                int64_t deadlineMs, int64_t nowMs,
                                                std::vector<uint8_t>* accept) {
    const auto it = Live(address, port);
    if (it == m_attempts.end() || it->state != State::Pending || !it->told)
        return Answer::NoSuchCall;
    auto callee = std::make_unique<CSecureCallee>();
    if (!callee->Start(it->request, password, flags))
        return Answer::Failed;
    *accept = callee->AcceptPayload();
    it->callee = std::move(callee);
    it->request = CSecureCallee::Request();
    it->state = State::Accepted;
    it->deadlineMs = deadlineMs;
    it->lastAcceptMs = nowMs;
    Bound(); // a flood of accepted guesses cannot grow it: the oldest goes
    return Answer::Done;
}

bool CSecureAttempts::RejectAllowed(const std::string& address, int64_t nowMs) {
    while (!m_rejects.empty() && nowMs - m_rejects.front().atMs >= kRejectSpacingMs)
        m_rejects.pop_front();
    const bool recent = std::any_of(m_rejects.begin(), m_rejects.end(), [&](const Reject& r) {
        return Tavrino::SameAddress(r.address, address);
    });
    if (recent)
        return false;
    if (m_rejects.size() >= kMaxPending)
        m_rejects.pop_front();
    m_rejects.push_back(Reject{address, nowMs});
    return true;
}

CSecureAttempts::Answer CSecureAttempts::Refuse(const std::string& address, int port,
                                                int64_t nowMs, SecureCall::Sid* sid, bool* send) {
    const auto it = Live(address, port);
    if (it == m_attempts.end() || it->state != State::Pending || !it->told)
        return Answer::NoSuchCall;
    *sid = it->sid;
    *send = RejectAllowed(address, nowMs);
    if (*send)
        MarkAnswered(it, nowMs);
    else
        m_attempts.erase(it);
    return Answer::Done;
}

std::unique_ptr<CSecureChannel> CSecureAttempts::Confirm(const std::string& address, int port,
                                                         const uint8_t* payload, int length,
                                                         int64_t nowMs, std::string* user,
                                                         uint8_t* flags) {
    const auto it = Live(address, port);
    if (it == m_attempts.end() || it->state != State::Accepted ||
        !it->callee->CheckConfirm(payload, length))
        return nullptr;
    *user = it->callee->User();
    *flags = it->callee->AgreedFlags();
    std::unique_ptr<CSecureChannel> channel = it->callee->TakeChannel();
    MarkAnswered(it, nowMs);
    return channel;
}

int CSecureAttempts::Expire(int64_t nowMs) {
    int expired = 0;
    for (auto it = m_attempts.begin(); it != m_attempts.end(); ++it) {
        if (it->state == State::Accepted && nowMs >= it->deadlineMs) {
            MarkAnswered(it, nowMs);
            ++expired;
        }
    }
    return expired;
}

void CSecureAttempts::Age(int64_t nowMs) {
    for (auto it = m_attempts.begin(); it != m_attempts.end();) {
        const bool gone = (it->state == State::Pending && it->stale) ||
                          (it->state == State::Answered && nowMs - it->answeredMs >= kAnsweredKeptMs);
        if (gone) {
            it = m_attempts.erase(it);
            continue;
        }
        if (it->state == State::Pending)
            it->stale = true;
        ++it;
    }
}

void CSecureAttempts::ClearLive() {
    m_attempts.remove_if([](const Attempt& a) { return a.state != State::Answered; });
}

void CSecureAttempts::Reset() {
    m_attempts.clear();
    m_rejects.clear();
}

std::size_t CSecureAttempts::AcceptedCount() const {
    return static_cast<std::size_t>(std::count_if(
        m_attempts.begin(), m_attempts.end(),
        [](const Attempt& a) { return a.state == State::Accepted; }));
}

std::size_t CSecureAttempts::PendingCount() const {
    return static_cast<std::size_t>(std::count_if(
        m_attempts.begin(), m_attempts.end(),
        [](const Attempt& a) { return a.state == State::Pending; }));
}
