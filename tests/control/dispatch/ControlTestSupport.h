// SPDX-License-Identifier: GPL-3.0-or-later
// Control test helpers: a station that loads the plugin and records its events; the raw
// peer's datagrams as byte arrays.
#pragma once

#include "RawPeer.h"
#include "TavrinoClient.h"
#include "TavrinoStandardApi.h"
#include "WaitFor.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <gtest/gtest.h>

#include <vector>

// Runs the event loop for `ms`, for checks that nothing happens.
inline void Idle(int ms) {
    QTest::qWait(ms);
}

// One control as a station embeds it: loaded from the build's bin folder through
// TavrinoClient, called by dispatch id, its events recorded in order.
class Station {
public:
    struct Connection {
        QString ip;
        qint32 port = 0;
        QString userData;
    };

    Station() {
        loaded = client.Load();
        EXPECT_TRUE(loaded) << client.LoadError().toStdString();
        QObject::connect(&client, &TavrinoClient::OnStatusEvent,
                         [this](qint32 code) { statuses.push_back(code); });
        QObject::connect(&client, &TavrinoClient::OnTextEvent,
                         [this](const QString& text, const QString& userData) {
                             texts.emplace_back(text, userData);
                         });
        QObject::connect(&client, &TavrinoClient::OnConnectionEvent,
                         [this](const QString& ip, qint32 port, const QString& userData) {
                             connections.push_back(Connection{ip, port, userData});
                         });
    }

    QVariant Invoke(qint32 id, const QVariantList& args, bool* ok) {
        return client.Invoke(id, args, ok);
    }
    bool Bool(qint32 id, const QVariantList& args = {}) {
        bool ok = false;
        const QVariant r = client.Invoke(id, args, &ok);
        EXPECT_TRUE(ok) << "dispid " << id;
        EXPECT_EQ(r.typeId(), QMetaType::Bool) << "dispid " << id;
        return r.toBool();
    }
    qint32 Long(qint32 id, const QVariantList& args = {}) {
        bool ok = false;
        const QVariant r = client.Invoke(id, args, &ok);
        EXPECT_TRUE(ok) << "dispid " << id;
        EXPECT_EQ(r.typeId(), QMetaType::Int) << "dispid " << id;
        return r.toInt();
    }
    void Void(qint32 id, const QVariantList& args = {}) {
        bool ok = false;
        const QVariant r = client.Invoke(id, args, &ok);
        EXPECT_TRUE(ok) << "dispid " << id;
        EXPECT_FALSE(r.isValid()) << "dispid " << id;
    }
    qint32 Error() { return Long(Tavrino::DISPID_GET_OBJECT_ERROR); }

    // Port 0 lets the system choose; `port` is then the one the control was given.
    bool Initialize(int wanted = 0, const QString& key = QStringLiteral("TESSORA key")) {
        if (!Bool(Tavrino::DISPID_INITIALIZE, {wanted, key}))
            return false;
        port = Long(Tavrino::DISPID_GET_LOCAL_PORT);
        return true;
    }
    bool HasStatus(qint32 code) const {
        for (qint32 s : statuses)
            if (s == code)
                return true;
        return false;
    }
    bool WaitStatus(qint32 code, int timeoutMs = 5000) {
        return WaitFor([&] { return HasStatus(code); }, timeoutMs);
    }

    TavrinoClient client;
    bool loaded = false;
    int port = 0;
    std::vector<qint32> statuses;
    std::vector<std::pair<QString, QString>> texts;
    std::vector<Connection> connections;
};

inline void Send(const RawPeer& peer, int toPort, const QByteArray& datagram) {
    EXPECT_TRUE(peer.SendTo(toPort, std::vector<uint8_t>(datagram.begin(), datagram.end())));
}

// Every datagram that reaches `peer` within `ms`, the controls running meanwhile.
inline std::vector<QByteArray> Collect(const RawPeer& peer, int ms) {
    Idle(ms);
    std::vector<QByteArray> out;
    while (const auto datagram = peer.Receive(0))
        out.emplace_back(reinterpret_cast<const char*>(datagram->data()),
                         static_cast<qsizetype>(datagram->size()));
    return out;
}

inline QByteArray TokenBytes(quint32 seconds, quint32 ticks) {
    QByteArray b(8, '\0');
    for (int i = 0; i < 4; ++i) {
        b[i] = static_cast<char>((seconds >> (8 * i)) & 0xff);
        b[4 + i] = static_cast<char>((ticks >> (8 * i)) & 0xff);
    }
    return b;
}

inline QByteArray CallRequest(const QByteArray& userData, const QByteArray& token) {
    return QByteArray(1, '\x01') + userData + QByteArray(1, '\0') + token;
}
