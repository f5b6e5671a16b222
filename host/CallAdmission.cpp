// SPDX-License-Identifier: GPL-3.0-or-later
// CallAdmission: the host's decision on every announced caller.
#include "CallAdmission.h"

#include "NetAddress.h"
#include "modHost.h"
#include "modUserData.h"

namespace {

// "10.0.0.7:33550", "[2001:db8::7]:33550": where a call comes from, for the log.
QString Who(const QString& ip, qint32 port) {
    return QString::fromStdString(Tavrino::AddressWithPort(ip.toStdString(), port));
}

QString BlockLine(const QString& subject, const AdmissionLimits& limits) {
    return QStringLiteral("%1 not answered for %2 s: %3 failed attempts")
        .arg(subject)
        .arg(limits.blockMs / 1000)
        .arg(limits.failures);
}

} // namespace

CallAdmission::CallAdmission(AdmissionLimiter::Clock clock)
    : m_byAddress(clock), m_byUser(clock, kUserLimits) {}

bool CallAdmission::FirstNotice(const QString& ip, qint32 port, const QString& userData) {
    if (m_noticed.size() >= kMaxAttempts * 4)
        m_noticed.clear(); // bounded under a flood; at worst a line is logged twice
    QString& last = m_noticed[Who(ip, port)];
    if (last == userData)
        return false;
    last = userData;
    return true;
}

bool CallAdmission::Trusted(const QString& userName, const QString& ip) const {
    return m_trusted.value(userName).contains(ip);
}

CallAdmission::Decision CallAdmission::Unknown(const QString& ip, qint32 port,
                                               const QString& userData) {
    // No answer. Logged once per attempt, not for each copy of its request: a flood of
    // guesses must not flood the log as well.
    Decision decision;
    const AdmissionLimiter::Failure failure = m_byAddress.Fail(ip, userData);
    if (failure == AdmissionLimiter::Failure::Repeated)
        return decision;
    decision.log << QStringLiteral("call from %1 not answered: unknown user").arg(Who(ip, port));
    if (failure == AdmissionLimiter::Failure::Blocking) {
        decision.log << BlockLine(QStringLiteral("calls from %1").arg(ip), m_byAddress.Limit());
        decision.addressBlocked = true;
    }
    return decision;
}

CallAdmission::Decision CallAdmission::Decide(const QString& ip, qint32 port,
                                              const QString& userData, bool secure) {
    // Whoever it claims to be: the right password must not show through a block.
    if (m_byAddress.IsBlocked(ip))
        return {};

    Decision decision;
    qint16 index = -1;
    if (secure) {
        // "ID=" and the name, as the control announces it; the password is proven later.
        decision.userName = userData.mid(userData.indexOf(QLatin1Char('=')) + 1);
        index = FindUserByName(decision.userName);
        if (index != -1 && m_byUser.IsBlocked(decision.userName) &&
            !Trusted(decision.userName, ip))
            return {};
    } else {
        // A stated request carries the password in clear: from a user pinned to encrypted
        // calls it is a downgrade or a stolen password, and it gets no answer.
        QString password;
        const bool parsed = ParseUserData(userData, &decision.userName, &password);
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
        index = parsed ? FindUser(decision.userName, password) : qint16(-1);
    }
    if (index == -1)
        return Unknown(ip, port, userData);

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

void CallAdmission::Accepted(Decision& decision, const QString& ip, qint32 port) {
    Attempt attempt{ip, port, decision.userName, decision.action == Action::AcceptSecure, {}};
    QStringList& log = decision.log;
    log << QStringLiteral("call from %1 accepted: user %2%3")
               .arg(Who(ip, port), decision.userName,
                    attempt.secure ? QStringLiteral(" (encrypted)") : QString());
    if (attempt.secure) {
        // Failed until its confirmation says otherwise; a key of its own, so every
        // attempt counts, although all of a user's requests carry the same user data.
        attempt.key = QStringLiteral("encrypted attempt %1").arg(++m_secureAttempts);
        if (m_byAddress.Fail(ip, attempt.key) == AdmissionLimiter::Failure::Blocking) {
            log << BlockLine(QStringLiteral("calls from %1").arg(ip), m_byAddress.Limit());
            decision.addressBlocked = true;
        }
        if (m_byUser.Fail(decision.userName, attempt.key) == AdmissionLimiter::Failure::Blocking)
            log << BlockLine(QStringLiteral("calls for user %1 from new addresses")
                                 .arg(decision.userName),
                             m_byUser.Limit());
    }
    if (m_attempts.size() >= kMaxAttempts)
        m_attempts.pop_front();
    m_attempts.push_back(std::move(attempt));
}

CallAdmission::Caller CallAdmission::Connected(const QString& ip, qint32 port) {
    Caller caller;
    // The newest attempt from that address and port is the one that connected.
    for (auto it = m_attempts.rbegin(); it != m_attempts.rend(); ++it) {
        if (it->ip != ip || it->port != port)
            continue;
        caller = Caller{true, it->userName, it->secure, false};
        if (it->secure) {
            m_byAddress.Forgive(ip, it->key);
            m_byUser.Forgive(it->userName, it->key);
            QStringList& addresses = m_trusted[it->userName];
            if (!addresses.contains(ip)) {
                if (addresses.size() >= kMaxTrustedAddresses)
                    addresses.removeFirst();
                addresses << ip;
            }
            if (!m_policy.pinnedUsers.contains(it->userName)) {
                m_policy.pinnedUsers.insert(it->userName);
                caller.newlyPinned = true;
            }
        }
        break;
    }
    m_attempts.clear(); // the others lost the race, or were guesses
    return caller;
}
