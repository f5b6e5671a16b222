// SPDX-License-Identifier: GPL-3.0-or-later
// CallAdmission: the host's decision on every announced caller: the user list, the
// brakes on guessing, stated or encrypted acceptance, and the users pinned to
// encrypted calls.
#pragma once

#include "AdmissionLimiter.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <deque>

// The window only carries out what Decide says and reports what came of it (Accepted,
// Connected, Expire); everything that depends on who calls lives here, so it is tested
// without a window or a control.
//
// Guessing. A wrong password counts against its address (five a minute) and against
// its user (eight in ten minutes, however many addresses a guesser has: about 1,150
// guesses a day), on both kinds of request. An encrypted attempt cannot be judged when
// it is answered: the password is proven only by the caller's confirmation. So each
// accepted encrypted attempt counts as failed from its accept on, and only the attempt
// that confirmed (the control names its user) is taken back.
//
// Nothing a request says shows whether its user exists: an encrypted request for a name
// not in the list is accepted with a password nobody knows (a keyed hash of the name
// under a secret drawn at start, so nothing is kept per name), and fails as a wrong
// password would. One kept out by a limit gets a secure reject, never silence: a remote
// cannot tell silence from an older host and might fall back to the stated request.
//
// Home addresses. The per-user bound could lock the user out as well, and guesses for
// other users from a shared address (a carrier's NAT) would block that address for the
// user too. So an address (an IPv6 /64) from which a user has confirmed an encrypted
// call is that user's home: there the user's failures count against a budget of their
// own, checked before the address block, and nothing else counts against it. Homes are
// kept in the host's user configuration, so a restart does not forget them.
//
// Threads: the host's user-interface thread only.
class CallAdmission {
public:
    using Homes = QHash<QString, QStringList>; // user -> home networks (AdmissionLimiter::CountedAs)

    struct Policy {
        bool acceptUnencrypted = true; // Run > Accept Unencrypted Calls
        QSet<QString> pinnedUsers;     // users who once called encrypted
        Homes homes;                   // where each user confirmed from
    };

    enum class Action {
        Ignore,       // no answer at all
        Refuse,       // CancelIncomingCall: the user is disabled, or a limit keeps it out
        AcceptStated, // AcceptIncomingCall
        AcceptSecure, // AcceptSecureCall with `password`
    };
    struct Decision {
        Action action = Action::Ignore;
        QString userName;  // as the list spells it; the request's name for an unknown user
        QString requested; // the name as the request carried it
        QString password;  // for AcceptSecure
        bool knownUser = false;
        QStringList log;   // lines for standard output; none for a repeated copy
        bool addressBlocked = false; // this attempt blocked its address (worth a notification)
    };

    static constexpr AdmissionLimits kUserLimits{8, 600000, 600000, 256};
    static constexpr int kMaxHomesPerUser = 16;
    // What Expire allows an encrypted attempt beyond the accept's time-out, so that the
    // control's own time-out always comes first.
    static constexpr qint64 kExpiryMarginMs = 2000;

    explicit CallAdmission(AdmissionLimiter::Clock clock = {});

    Policy& CurrentPolicy() { return m_policy; }

    // `secure`: the control announced an encrypted request (its user data is then
    // "ID=" and the user name).
    Decision Decide(const QString& ip, qint32 port, const QString& userData, bool secure);

    // The control took the accept Decide asked for, which waits `timeOutSeconds` for
    // its confirmation: counts it where it must, adding to the decision's log and block.
    void Accepted(Decision& decision, const QString& ip, qint32 port, int timeOutSeconds);
    const AdmissionLimits& AddressLimits() const { return m_byAddress.Limit(); }

    struct Caller {
        bool known = false;
        QString userName;
        bool secure = false;
        bool policyChanged = false; // a pin or a home was added: save them
        QStringList log;
    };
    // The call from ip:port connected (status 53); `confirmedUser` is the user the
    // control says the confirming attempt named ("" for a stated call). Only that
    // attempt is credited, pinned, trusted and forgiven.
    Caller Connected(const QString& ip, qint32 port, const QString& confirmedUser);

    // Encrypted attempts that were never confirmed: one log line each, as failed
    // passwords (they were counted so when accepted).
    QStringList Expire();

private:
    struct Attempt {
        QString ip;
        qint32 port = -1;
        QString userName;   // as the decision named it
        QString requested;  // encrypted: the name as the request carried it
        bool secure = false;
        bool knownUser = false;
        QString key;        // what the brakes counted it as
        QString homeKey;    // counted against this home's budget instead, when not empty
        qint64 expiresMs = 0;
    };
    static constexpr int kMaxAttempts = 64;

    // The limit that keeps `user` (known or not) out at `ip` now, or none.
    enum class Limit { None, Address, User, Home };
    Limit LimitFor(const QString& userName, bool knownUser, const QString& ip);
    // A wrong password (stated) or an unknown name: counted, with the log lines it brings.
    void CountFailure(Decision& decision, const QString& ip, const QString& key);
    // True once per ip:port and user data: copies of one request log one line.
    bool FirstNotice(const QString& ip, qint32 port, const QString& userData);
    bool IsHome(const QString& userName, const QString& ip) const;
    QString HomeKey(const QString& userName, const QString& ip) const;
    QString DecoyPassword(const QString& userName) const;
    static QString Who(const QString& ip, qint32 port);

    AdmissionLimiter::Clock m_clock;
    Policy m_policy;
    AdmissionLimiter m_byAddress;
    AdmissionLimiter m_byUser;
    AdmissionLimiter m_byHome;
    std::deque<Attempt> m_attempts;                // accepted, not connected yet
    QHash<QString, QString> m_noticed;             // ip:port -> user data last logged
    quint64 m_secureAttempts = 0;
    QByteArray m_decoySecret;                      // drawn at start, never kept
};
