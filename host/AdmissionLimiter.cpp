// SPDX-License-Identifier: GPL-3.0-or-later
// AdmissionLimiter: the host's brake on password guessing, by the caller's address.
#include "AdmissionLimiter.h"

#include "NetAddress.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <memory>

AdmissionLimiter::AdmissionLimiter(Clock clock, Limits limits)
    : m_clock(std::move(clock)), m_limits(limits),
      // A seed of its own, so nobody can pick user data whose hashes collide.
      m_seed(static_cast<size_t>(QRandomGenerator::system()->generate64())) {
    m_limits.failures = std::clamp(m_limits.failures, 1, kMaxFailures);
    m_limits.addresses = std::max(m_limits.addresses, 1);
    if (!m_clock) {
        auto started = std::make_shared<QElapsedTimer>();
        started->start();
        m_clock = [started] { return started->elapsed(); };
    }
}

void AdmissionLimiter::Forget(Record& record, qint64 now) const {
    int kept = 0;
    for (int i = 0; i < record.count; ++i) {
        if (now - record.at[i] < m_limits.windowMs) {
            record.attempts[kept] = record.attempts[i];
            record.at[kept++] = record.at[i];
        }
    }
    record.count = kept;
}

bool AdmissionLimiter::Live(Record& record, qint64 now) const {
    Forget(record, now);
    return record.count > 0 || now < record.blockedUntil;
}

QString AdmissionLimiter::CountedAs(const QString& address) {
    std::optional<Tavrino::IpAddress> parsed = Tavrino::ParseIpAddress(address.toStdString());
    if (!parsed)
        return address;
    if (parsed->family == Tavrino::IpAddress::V4)
        return QString::fromStdString(Tavrino::AddressText(*parsed));
    std::fill(parsed->bytes.begin() + 8, parsed->bytes.end(), 0);
    parsed->scope = 0;
    return QString::fromStdString(Tavrino::AddressText(*parsed)) + QStringLiteral("/64");
}

bool AdmissionLimiter::IsBlocked(const QString& caller) {
    const auto it = m_records.find(CountedAs(caller));
    if (it == m_records.end())
        return false;
    it->lastSeen = m_clock(); // a blocked caller who keeps calling stays followed
    return it->lastSeen < it->blockedUntil;
}

AdmissionLimiter::Failure AdmissionLimiter::Fail(const QString& caller, const QString& userData) {
    const QString address = CountedAs(caller);
    const qint64 now = m_clock();
    if (!m_records.contains(address) && m_records.size() >= m_limits.addresses)
        MakeRoom(now);
    Record& record = m_records[address];
    record.lastSeen = now;
    Forget(record, now);
    const size_t attempt = qHash(userData, m_seed);
    if (std::find(record.attempts.begin(), record.attempts.begin() + record.count, attempt) !=
        record.attempts.begin() + record.count)
        return Failure::Repeated;
    if (now < record.blockedUntil)
        return Failure::Repeated; // nothing counts while a block lasts
    record.attempts[record.count] = attempt;
    record.at[record.count++] = now;
    if (record.count < m_limits.failures)
        return Failure::Counted;
    // The block starts afresh: what led to it is paid for.
    record.count = 0;
    record.blockedUntil = now + m_limits.blockMs;
    return Failure::Blocking;
}

void AdmissionLimiter::Forgive(const QString& caller, const QString& userData) {
    const auto it = m_records.find(CountedAs(caller));
    if (it == m_records.end())
        return;
    const size_t attempt = qHash(userData, m_seed);
    Record& record = *it;
    const auto end = record.attempts.begin() + record.count;
    const auto found = std::find(record.attempts.begin(), end, attempt);
    if (found == end)
        return;
    const auto at = found - record.attempts.begin();
    std::move(found + 1, end, found);
    std::move(record.at.begin() + at + 1, record.at.begin() + record.count, record.at.begin() + at);
    --record.count;
}

void AdmissionLimiter::MakeRoom(qint64 now) {
    for (auto it = m_records.begin(); it != m_records.end();)
        it = Live(*it, now) ? std::next(it) : m_records.erase(it);
    if (m_records.size() < m_limits.addresses)
        return;
    const auto oldest =
        std::min_element(m_records.begin(), m_records.end(),
                         [](const Record& a, const Record& b) { return a.lastSeen < b.lastSeen; });
    m_records.erase(oldest);
}
