// SPDX-License-Identifier: GPL-3.0-or-later
// AdmissionLimiter: the host's brake on password guessing, by the caller's address (or
// by any other key: the host also keeps one by user name).
#pragma once

#include <QHash>
#include <QString>

#include <array>
#include <cstddef>
#include <functional>

// The numbers. A person waits out the remote's 20 s time-out before trying again, so
// makes three attempts a minute at most, and a retry of the same password counts once:
// five new ones within a minute is a program. Blocked for a minute after every five, a
// guesser gets through five passwords a minute, 7,200 a day from one address, where
// the host used to check thousands a second; a user who mistyped and retried too
// fast waits a minute. 1024 addresses cost about 250 KB.
struct AdmissionLimits {
    int failures = 5;
    qint64 windowMs = 60000;
    qint64 blockMs = 60000;
    int addresses = 1024;
};

// Counts failed admissions (an unknown user, a wrong password, user data that names
// nobody) per source address. After `failures` distinct attempts within `windowMs`,
// the address is blocked for `blockMs`: its calls get no answer, not even with the
// right password, so a guesser learns nothing more while it lasts.
//
// A caller repeats one request every 3 s until it is answered or gives up, and the
// program sees each copy; the copies of one attempt carry the same user data, so an
// attempt is known by its user data: a copy or a retry of the same wrong password
// counts once, every new guess counts. An address is compared as an address, not as
// text; an IPv6 caller is counted by its /64, the block one computer is handed and can
// pick any of its 2^64 addresses from, which would otherwise give a guesser a fresh
// count per attempt (its neighbours on that link share its count, as a NAT's users do
// for IPv4). At most `addresses` addresses are followed, so
// a flood from spoofed addresses cannot grow it; when full, those with nothing left to
// count go first, then the one heard from longest ago.
//
// Threads: the host's user-interface thread only.
class AdmissionLimiter {
public:
    using Limits = AdmissionLimits;
    using Clock = std::function<qint64()>; // milliseconds, never going back

    // `clock` defaults to the monotonic clock.
    explicit AdmissionLimiter(Clock clock = {}, Limits limits = {});

    bool IsBlocked(const QString& caller);

    enum class Failure {
        Repeated, // a copy of an attempt already counted
        Counted,  // a new attempt
        Blocking, // a new attempt that blocks the address from now on
    };
    Failure Fail(const QString& caller, const QString& userData);
    // Takes back an attempt counted by Fail that turned out well (an encrypted call
    // counts from its accept until its confirmation arrives).
    void Forgive(const QString& address, const QString& userData);

    const Limits& Limit() const { return m_limits; }
    int Followed() const { return static_cast<int>(m_records.size()); }

    // What an address is counted under: its one text, an IPv6 address's /64 (any other
    // key as it is).
    static QString CountedAs(const QString& address);

private:
    static constexpr int kMaxFailures = 8; // room for the attempts of one window
    struct Record {
        std::array<size_t, kMaxFailures> attempts{}; // hashes of their user data
        std::array<qint64, kMaxFailures> at{};
        int count = 0;
        qint64 blockedUntil = 0;
        qint64 lastSeen = 0;
    };
    void Forget(Record& record, qint64 now) const; // attempts older than the window
    bool Live(Record& record, qint64 now) const;
    void MakeRoom(qint64 now);

    Clock m_clock;
    Limits m_limits;
    size_t m_seed;
    QHash<QString, Record> m_records;
};
