// SPDX-License-Identifier: GPL-3.0-or-later
// CallAdmission: the host's decision on every announced caller.
#include "CallAdmission.h"

#include "NetAddress.h"
#include "modHost.h"
#include "modUserData.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

#include <algorithm>
#include <memory>

namespace {

QString BlockLine(const QString& subject, const AdmissionLimits& limits) {
    return QStringLiteral("%1 not answered for %2 s: %3 failed attempts")
        .arg(subject)
        .arg(limits.blockMs / 1000)
        .arg(limits.failures);
}

AdmissionLimiter::Clock MonotonicUnlessGiven(AdmissionLimiter::Clock clock) {
    if (clock)
        return clock;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    return [started] { return started->elapsed(); };
}

} // namespace

CallAdmission::CallAdmission(AdmissionLimiter::Clock clock)
    : m_clock(MonotonicUnlessGiven(std::move(clock))), m_byAddress(m_clock),
      m_byUser(m_clock, kUserLimits), m_byHome(m_clock) {
    m_decoySecret.resize(32);
    QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(m_decoySecret.data()),
                                         reinterpret_cast<quint32*>(m_decoySecret.data() + 32));
}

QString CallAdmission::Who(const QString& ip, qint32 port) {
    // "10.0.0.7:33550", "[2001:db8::7]:33550": where a call comes from, for the log.
    return QString::fromStdString(Tavrino::AddressWithPort(ip.toStdString(), port));
}

bool CallAdmission::FirstNotice(const QString& ip, qint32 port, const QString& userData) {
    if (m_noticed.size() >= kMaxAttempts * 4)
        m_noticed.clear(); // bounded under a flood; at worst a line is logged twice
    QString& last = m_noticed[Who(ip, port)];
    if (last == userData)
        return false;
    last = userData;
    return true;
}

bool CallAdmission::IsHome(const QString& userName, const QString& ip) const {
    return m_policy.homes.value(userName).contains(AdmissionLimiter::CountedAs(ip));
}

QString CallAdmission::HomeKey(const QString& userName, const QString& ip) const {
    // A line break cannot stand in a user name, so the two parts never run together.
    return userName + QLatin1Char('\n') + AdmissionLimiter::CountedAs(ip);
}

QString CallAdmission::DecoyPassword(const QString& userName) const {
    // The same for every request naming it, so repeats look like a real user's; unknown
    // to anyone, so the caller's confirmation can never verify.
    return QString::fromLatin1(QMessageAuthenticationCode::hash(userName.toUtf8(), m_decoySecret,
                                                                QCryptographicHash::Sha256)
                                   .toHex());
}

CallAdmission::Limit CallAdmission::LimitFor(const QString& userName, bool knownUser,
                                             const QString& ip) {
    // At home the user's own budget decides, before the address block: other users'
    // guesses from that address, and this user's from elsewhere, never lock it out there.
    if (knownUser && IsHome(userName, ip))
        return m_byHome.IsBlocked(HomeKey(userName, ip)) ? Limit::Home : Limit::None;
    if (m_byAddress.IsBlocked(ip))
        return Limit::Address;
    if (knownUser && m_byUser.IsBlocked(userName))
        return Limit::User;
    return Limit::None;
}

void CallAdmission::CountFailure(Decision& decision, const QString& ip, const QString& key) {
    if (decision.knownUser && IsHome(decision.userName, ip)) {
        m_byHome.Fail(HomeKey(decision.userName, ip), key);
        return;
    }
    if (m_byAddress.Fail(ip, key) == AdmissionLimiter::Failure::Blocking) {
        decision.log << BlockLine(QStringLiteral("calls from %1").arg(ip), m_byAddress.Limit());
        decision.addressBlocked = true;
    }
    // A name nobody holds is counted by its address alone: a flood of made-up names
    // must not push real users out of the per-user count.
    if (decision.knownUser &&
        m_byUser.Fail(decision.userName, key) == AdmissionLimiter::Failure::Blocking)
        decision.log << BlockLine(
            QStringLiteral("calls for user %1 from new addresses").arg(decision.userName),
            m_byUser.Limit());
}

CallAdmission::Decision CallAdmission::Decide(const QString& ip, qint32 port,
                                              const QString& userData, bool secure) {
    Decision decision;
    QString password;
    bool parsed = true;
    if (secure) {
        // "ID=" and the name, as the control announces it; the password is proven later.
        decision.userName = userData.mid(userData.indexOf(QLatin1Char('=')) + 1);
        decision.requested = decision.userName;
    } else {
        parsed = ParseUserData(userData, &decision.userName, &password);
        // A stated request carries the password in clear: from a user pinned to encrypted
        // calls it is a downgrade or a stolen password, and it gets no answer.
        if (parsed && m_policy.pinnedUsers.contains(decision.userName)) {
            if (FirstNotice(ip, port, userData))
                decision.log << QStringLiteral("call from %1 not answered: user %2 calls "
                                               "encrypted only")
                                    .arg(Who(ip, port), decision.userName);
            return decision;
        }
        if (!m_policy.acceptUnencrypted) {
            if (FirstNotice(ip, port, userData))
                decision.log << QStringLiteral("call from %1 not answered: unencrypted calls "
                                               "are not accepted")
                                    .arg(Who(ip, port));
            return decision;
        }
    }
    const qint16 byName = parsed ? FindUserByName(decision.userName) : qint16(-1);
    decision.knownUser = byName != -1;

    // Whoever it claims to be: the right password must not show through a block.
    if (const Limit limit = LimitFor(decision.userName, decision.knownUser, ip);
        limit != Limit::None) {
        if (secure)
            decision.action = Action::Refuse;
        if (FirstNotice(ip, port, userData))
            decision.log << QStringLiteral("call from %1 %2: calls %3 are held back after failed "
                                           "attempts")
                                .arg(Who(ip, port),
                                     secure ? QStringLiteral("refused")
                                            : QStringLiteral("not answered"),
                                     limit == Limit::Address
                                         ? QStringLiteral("from this address")
                                     : limit == Limit::User
                                         ? QStringLiteral("for user %1 from new addresses")
                                               .arg(decision.userName)
                                         : QStringLiteral("for user %1 from this home address")
                                               .arg(decision.userName));
        return decision;
    }

    if (secure && !decision.knownUser) {
        decision.action = Action::AcceptSecure;
        decision.password = DecoyPassword(decision.userName);
        return decision;
    }
    const qint16 index = secure ? byName : (parsed ? FindUser(decision.userName, password) : -1);
    if (index == -1) {
        // No answer. Counted once per attempt, not for each copy of its request: a
        // flood of guesses must not flood the log as well.
        const bool first = FirstNotice(ip, port, userData);
        CountFailure(decision, ip, userData);
        if (first)
            decision.log.prepend(decision.knownUser
                                     ? QStringLiteral("call from %1 not answered: wrong password "
                                                      "for user %2")
                                           .arg(Who(ip, port), decision.userName)
                                     : QStringLiteral("call from %1 not answered: unknown user")
                                           .arg(Who(ip, port)));
        return decision;
    }

    decision.userName = g_udtUsers[static_cast<size_t>(index)].UserName;
    if (IsUserDisabled(index)) {
        decision.action = Action::Refuse;
        decision.log << QStringLiteral("call from %1 refused: user %2 is disabled")
                            .arg(Who(ip, port), decision.userName);
        return decision;
    }
    if (secure) {
        decision.action = Action::AcceptSecure;
        decision.password = g_udtUsers[static_cast<size_t>(index)].Password;
    } else {
        decision.action = Action::AcceptStated;
    }
    return decision;
}

void CallAdmission::Accepted(Decision& decision, const QString& ip, qint32 port,
                             int timeOutSeconds) {
    const bool secure = decision.action == Action::AcceptSecure;
    Attempt attempt;
    attempt.ip = ip;
    attempt.port = port;
    attempt.userName = decision.userName;
    attempt.requested = decision.requested;
    attempt.secure = secure;
    attempt.knownUser = decision.knownUser;
    attempt.expiresMs = m_clock() + qint64{timeOutSeconds} * 1000 + kExpiryMarginMs;
    QStringList& log = decision.log;
    if (secure) {
        log << (decision.knownUser
                    ? QStringLiteral("call from %1 answered: user %2 (encrypted), awaiting its "
                                     "confirmation")
                          .arg(Who(ip, port), decision.userName)
                    : QStringLiteral("call from %1 answered: unknown user (encrypted), awaiting "
                                     "its confirmation")
                          .arg(Who(ip, port)));
        // Failed until its confirmation says otherwise; a key of its own, so every
        // attempt counts, although all of a user's requests carry the same user data.
        attempt.key = QStringLiteral("encrypted attempt %1").arg(++m_secureAttempts);
        if (decision.knownUser && IsHome(decision.userName, ip))
            attempt.homeKey = HomeKey(decision.userName, ip);
        CountFailure(decision, ip, attempt.key);
    } else {
        log << QStringLiteral("call from %1 accepted: user %2").arg(Who(ip, port), decision.userName);
    }
    if (m_attempts.size() >= kMaxAttempts)
        m_attempts.pop_front();
    m_attempts.push_back(std::move(attempt));
}

CallAdmission::Caller CallAdmission::Connected(const QString& ip, qint32 port,
                                               const QString& confirmedUser) {
    Caller caller;
    const bool secure = !confirmedUser.isEmpty();
    // The newest attempt of that address and port that names the user who confirmed: a
    // caller with two attempts from one socket is credited for the one that proved its
    // password, never for another user's.
    auto it = std::find_if(m_attempts.rbegin(), m_attempts.rend(), [&](const Attempt& a) {
        return a.port == port && Tavrino::SameAddress(a.ip.toStdString(), ip.toStdString()) &&
               a.secure == secure && (!secure || a.requested == confirmedUser);
    });
    if (it != m_attempts.rend()) {
        caller = Caller{it->knownUser, it->userName, secure, false, {}};
        if (secure && it->knownUser) {
            caller.log << QStringLiteral("call from %1 accepted: user %2 (encrypted)")
                              .arg(Who(ip, port), it->userName);
            if (it->homeKey.isEmpty()) {
                m_byAddress.Forgive(ip, it->key);
                m_byUser.Forgive(it->userName, it->key);
            } else {
                m_byHome.Forgive(it->homeKey, it->key);
            }
            QStringList& homes = m_policy.homes[it->userName];
            const QString home = AdmissionLimiter::CountedAs(ip);
            if (!homes.contains(home)) {
                if (homes.size() >= kMaxHomesPerUser)
                    homes.removeFirst();
                homes << home;
                caller.policyChanged = true;
            }
            if (!m_policy.pinnedUsers.contains(it->userName)) {
                m_policy.pinnedUsers.insert(it->userName);
                caller.policyChanged = true;
            }
        }
        m_attempts.erase(std::next(it).base());
    }
    // The others lost the race, or were guesses: the control dropped them.
    caller.log << Expire();
    for (const Attempt& a : m_attempts)
        if (a.secure)
            caller.log << QStringLiteral("call from %1 not confirmed: %2, counted as a failed "
                                         "password")
                              .arg(Who(a.ip, a.port),
                                   a.knownUser ? QStringLiteral("user %1").arg(a.userName)
                                               : QStringLiteral("unknown user"));
    m_attempts.clear();
    return caller;
}

QStringList CallAdmission::Expire() {
    QStringList log;
    const qint64 now = m_clock();
    std::erase_if(m_attempts, [&](const Attempt& a) {
        if (now < a.expiresMs)
            return false;
        if (a.secure)
            log << QStringLiteral("call from %1 not confirmed in time: %2, counted as a failed "
                                  "password")
                       .arg(Who(a.ip, a.port), a.knownUser ? QStringLiteral("user %1").arg(a.userName)
                                                           : QStringLiteral("unknown user"));
        return true;
    });
    return log;
}
