// SPDX-License-Identifier: GPL-3.0-or-later
// CallAdmission: the host's decision on every announced caller: the user list, the
// brakes on guessing, stated or encrypted acceptance, and the users pinned to
// encrypted calls.
#pragma once

#include "AdmissionLimiter.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <deque>

// The window only carries out what Decide says and reports what came of it (Accepted,
// Connected); everything that depends on who calls lives here, so it is tested without
// a window or a control.
//
// Guessing. The stated brake counts failed attempts by address (AdmissionLimiter). An
// encrypted attempt cannot be judged when it is answered: the password is proven only
// by the caller's confirmation. So each accepted encrypted attempt counts as failed
// from its accept on, and its confirmation takes that back; a guesser gets no more
// answers than the stated limit allows, while the control stays free for other callers
// until someone confirms.
//
// A guesser with many addresses would get five tries a minute from each. So the
// failures are also counted by user name: 8 within 10 minutes stop the answers for
// that user for 10 minutes, about 1,150 guesses a day however many addresses a guesser
// has. That bound could lock the user out as well, so it spares the addresses the user
// has connected from during this run: at home the user still gets in, and only a new
// address waits out an attack.
//
// Threads: the host's user-interface thread only.
class CallAdmission {
public:
    struct Policy {
        bool acceptUnencrypted = true; // Run > Accept Unencrypted Calls
        QSet<QString> pinnedUsers;     // users who once called encrypted
    };

    enum class Action {
        Ignore,       // no answer at all
        Refuse,       // CancelIncomingCall: the user is disabled
        AcceptStated, // AcceptIncomingCall
        AcceptSecure, // AcceptSecureCall with `password`
    };
    struct Decision {
        Action action = Action::Ignore;
        QString userName;
        QString password; // for AcceptSecure
        QStringList log;  // lines for standard output; none for a repeated copy
        bool addressBlocked = false; // this attempt blocked its address (worth a notification)
    };

    static constexpr AdmissionLimits kUserLimits{8, 600000, 600000, 256};

    explicit CallAdmission(AdmissionLimiter::Clock clock = {});

    Policy& CurrentPolicy() { return m_policy; }

    // `secure`: the control announced an encrypted request (its user data is then
    // "ID=" and the user name).
    Decision Decide(const QString& ip, qint32 port, const QString& userData, bool secure);

    // The control took the accept Decide asked for: counts it where it must, adding to
    // the decision's log and block.
    void Accepted(Decision& decision, const QString& ip, qint32 port);
    const AdmissionLimits& AddressLimits() const { return m_byAddress.Limit(); }

    struct Caller {
        bool known = false;
        QString userName;
        bool secure = false;
        bool newlyPinned = false; // the policy's pins changed: save them
    };
    // The call from ip:port connected (status 53): who it is. An encrypted caller's
    // attempt is taken back from the brakes and the user is pinned.
    Caller Connected(const QString& ip, qint32 port);

private:
    struct Attempt {
        QString ip;
        qint32 port = -1;
        QString userName;
        bool secure = false;
        QString key; // what the brakes counted it as
    };
    static constexpr int kMaxAttempts = 64;
    static constexpr int kMaxTrustedAddresses = 16;

    Decision Unknown(const QString& ip, qint32 port, const QString& userData);
    // True once per ip:port and user data: copies of one request log one line.
    bool FirstNotice(const QString& ip, qint32 port, const QString& userData);
    bool Trusted(const QString& userName, const QString& ip) const;

    Policy m_policy;
    AdmissionLimiter m_byAddress;
    AdmissionLimiter m_byUser;
    std::deque<Attempt> m_attempts;                // accepted, not connected yet
    QHash<QString, QStringList> m_trusted;         // user -> addresses connected from
    QHash<QString, QString> m_noticed;             // ip:port -> user data last logged
    quint64 m_secureAttempts = 0;
};
