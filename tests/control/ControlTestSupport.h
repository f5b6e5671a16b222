// Control test helpers: a station that loads the plugin and records its events; a raw UDP peer.
#pragma once

#include "TavrinoClient.h"
#include "TavrinoStandardApi.h"

#include <QByteArray>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QString>
#include <QUdpSocket>
#include <QVariant>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

// Waits for `condition`, running the event loop meanwhile; false on time-out.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    return QTest::qWaitFor(condition, timeoutMs);
}

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

    bool Initialize(int port, const QString& key = QStringLiteral("TESSORA key")) {
        return Bool(Tavrino::DISPID_INITIALIZE, {port, key});
    }
    bool HasStatus(qint32 code) const {
        for (qint32 s : statuses)
            if (s == code)
                return true;
        return false;
    }
    bool WaitStatus(qint32 code, int timeoutMs = 5000) {
        return WaitUntil([&] { return HasStatus(code); }, timeoutMs);
    }

    TavrinoClient client;
    bool loaded = false;
    std::vector<qint32> statuses;
    std::vector<std::pair<QString, QString>> texts;
    std::vector<Connection> connections;
};

// A bare UDP endpoint on loopback that speaks the wire protocol by hand.
class RawPeer {
public:
    explicit RawPeer(quint16 port) {
        bound = socket.bind(QHostAddress::LocalHost, port);
        EXPECT_TRUE(bound) << "port " << port;
    }
    void Send(quint16 toPort, const QByteArray& datagram) {
        socket.writeDatagram(datagram, QHostAddress::LocalHost, toPort);
    }
    // Every datagram that arrives within `ms`.
    std::vector<QByteArray> Collect(int ms) {
        std::vector<QByteArray> out;
        Idle(ms);
        while (socket.hasPendingDatagrams())
            out.push_back(socket.receiveDatagram().data());
        return out;
    }

    QUdpSocket socket;
    bool bound = false;
};

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
