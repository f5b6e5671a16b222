// SPDX-License-Identifier: GPL-3.0-or-later
// Control tests: two plugin-loaded controls talking on loopback through the dispatch interface.
#include "ControlTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QPluginLoader>

#include <sndfile.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>

using namespace Tavrino;

namespace {

// The loudest sample of a 16-bit WAV (what a speaker heard).
int PeakOf(const QString& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_READ, &info);
    if (file == nullptr)
        return -1;
    std::vector<short> samples(static_cast<size_t>(info.frames));
    sf_read_short(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
    int peak = 0;
    for (short v : samples)
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    return peak;
}

const QString kLoopback = QStringLiteral("127.0.0.1");
const QString kUserData = QStringLiteral("ID=alice&Password=pw");

// Places a call from `caller` to `host` and answers it; both end connected.
void EstablishCall(Station& caller, Station& host) {
    ASSERT_TRUE(caller.Bool(DISPID_CONNECT, {kLoopback, host.port, kUserData, 20}));
    ASSERT_TRUE(WaitFor([&] { return !host.connections.empty(); }));
    const auto& c = host.connections.back();
    EXPECT_EQ(c.ip, kLoopback);
    EXPECT_EQ(c.port, caller.port);
    EXPECT_EQ(c.userData, kUserData);
    ASSERT_TRUE(host.Bool(DISPID_ACCEPT_INCOMING_CALL, {c.ip, c.port, 20}));
    ASSERT_TRUE(caller.WaitStatus(STATUS_CONNECTED));
    ASSERT_TRUE(host.WaitStatus(STATUS_CONNECTED));
}

} // namespace

TEST(ControlCallTest, NormalCallBothWaysWithTextVoiceAndHangup) {
    Station remote;
    Station host;
    ASSERT_TRUE(remote.loaded && host.loaded);
    ASSERT_TRUE(host.Initialize());
    ASSERT_TRUE(host.Bool(DISPID_DISABLE_CRYPTOGRAPHY));
    ASSERT_TRUE(remote.Initialize());
    ASSERT_TRUE(remote.Bool(DISPID_DISABLE_CRYPTOGRAPHY));
    EXPECT_EQ(host.Long(DISPID_GET_INBOUND_TOTAL_BYTES), 0);
    EXPECT_EQ(remote.Long(DISPID_GET_OUTBOUND_TOTAL_BYTES), 0);

    EstablishCall(remote, host);
    EXPECT_EQ(remote.statuses, (std::vector<qint32>{STATUS_CALLING, STATUS_CONNECTED}));
    EXPECT_EQ(host.statuses, (std::vector<qint32>{STATUS_CALLING, STATUS_CONNECTED}));
    EXPECT_EQ(host.connections.size(), 1u);

    // Text both ways, with non-ASCII text through the locale's 8-bit encoding.
    ASSERT_TRUE(remote.Bool(DISPID_SEND_TEXT_MSG, {QStringLiteral("hello"), QStringLiteral("ud")}));
    ASSERT_TRUE(host.Bool(DISPID_SEND_TEXT_MSG, {QStringLiteral("こんにちは"), QString()}));
    ASSERT_TRUE(WaitFor([&] { return !host.texts.empty() && !remote.texts.empty(); }));
    EXPECT_EQ(host.texts[0], (std::pair<QString, QString>{"hello", "ud"}));
    EXPECT_EQ(remote.texts[0], (std::pair<QString, QString>{QStringLiteral("こんにちは"), ""}));

    // Voice flows both ways: the silence input still sends a 196-byte packet per frame.
    const qint32 hostIn = host.Long(DISPID_GET_INBOUND_TOTAL_BYTES);
    const qint32 remoteIn = remote.Long(DISPID_GET_INBOUND_TOTAL_BYTES);
    EXPECT_TRUE(WaitFor([&] {
        return host.Long(DISPID_GET_INBOUND_TOTAL_BYTES) >= hostIn + 3 * 196 &&
               remote.Long(DISPID_GET_INBOUND_TOTAL_BYTES) >= remoteIn + 3 * 196;
    }));
    EXPECT_GT(remote.Long(DISPID_GET_OUTBOUND_TOTAL_BYTES), 0);
    EXPECT_TRUE(WaitFor([&] { return host.Long(DISPID_GET_INBOUND_DATA_RATE) > 0; }));

    // The host hangs up; the remote hears 54 and ends its side as a station does.
    ASSERT_TRUE(host.Bool(DISPID_DISCONNECT));
    ASSERT_TRUE(remote.WaitStatus(STATUS_REMOTE_DISCONNECTED));
    ASSERT_TRUE(remote.Bool(DISPID_DISCONNECT));
    remote.Void(DISPID_UNINITIALIZE);
    EXPECT_EQ(remote.Long(DISPID_GET_INBOUND_TOTAL_BYTES), 0);
    EXPECT_EQ(host.statuses.size(), 2u); // Disconnect itself reports nothing

    // And the other way round: the former host calls, the former remote answers and hangs up.
    ASSERT_TRUE(remote.Initialize());
    host.connections.clear();
    remote.statuses.clear();
    host.statuses.clear();
    EstablishCall(host, remote);
    ASSERT_TRUE(remote.Bool(DISPID_DISCONNECT));
    ASSERT_TRUE(host.WaitStatus(STATUS_REMOTE_DISCONNECTED));
    EXPECT_FALSE(remote.HasStatus(STATUS_REMOTE_DISCONNECTED));
}

TEST(ControlCallTest, EncryptedCallCarriesTextAndReportsEncryptedDataWhenOff) {
    Station a;
    Station b;
    ASSERT_TRUE(a.Initialize(0, QStringLiteral("shared")));
    ASSERT_TRUE(b.Initialize(0, QStringLiteral("shared")));
    ASSERT_TRUE(a.Bool(DISPID_ENABLE_CRYPTOGRAPHY));
    EstablishCall(a, b);
    // b has encryption off: every encrypted voice packet and text is reported, not used.
    ASSERT_TRUE(a.Bool(DISPID_SEND_TEXT_MSG, {QStringLiteral("secret"), QStringLiteral("x")}));
    ASSERT_TRUE(b.WaitStatus(STATUS_ENCRYPTED_DATA));
    Idle(300);
    EXPECT_TRUE(b.texts.empty());
    ASSERT_TRUE(b.Bool(DISPID_ENABLE_CRYPTOGRAPHY));
    ASSERT_TRUE(a.Bool(DISPID_SEND_TEXT_MSG, {QStringLiteral("secret"), QStringLiteral("x")}));
    ASSERT_TRUE(WaitFor([&] { return !b.texts.empty(); }));
    EXPECT_EQ(b.texts[0], (std::pair<QString, QString>{"secret", "x"}));
}

TEST(ControlCallTest, RejectedCallerHears57AndTheTokenIsRemembered) {
    Station host;
    RawPeer caller;
    ASSERT_TRUE(host.Initialize());
    const QByteArray token = TokenBytes(0x11223344, 0x55667788);
    Send(caller, host.port, CallRequest("ID=bob", token));
    ASSERT_TRUE(WaitFor([&] { return host.connections.size() == 1; }));
    ASSERT_TRUE(host.Bool(DISPID_CANCEL_INCOMING_CALL, {kLoopback, caller.Port()}));
    const auto answers = Collect(caller, 300);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0], QByteArray(1, '\x0d') + token);

    // Further copies of the rejected request are ignored; a new token is announced.
    Send(caller, host.port, CallRequest("ID=bob", token));
    Idle(300);
    EXPECT_EQ(host.connections.size(), 1u);
    EXPECT_FALSE(host.Bool(DISPID_ACCEPT_INCOMING_CALL, {kLoopback, caller.Port(), 20}));
    EXPECT_EQ(host.Error(), ERR_NO_SUCH_CALL);
    Send(caller, host.port, CallRequest("ID=bob", TokenBytes(1, 2)));
    ASSERT_TRUE(WaitFor([&] { return host.connections.size() == 2; }));

    // A real caller that is rejected ends with 57.
    Station remote;
    ASSERT_TRUE(remote.Initialize());
    ASSERT_TRUE(remote.Bool(DISPID_CONNECT, {kLoopback, host.port, kUserData, 20}));
    ASSERT_TRUE(WaitFor([&] { return host.connections.size() == 3; }));
    ASSERT_TRUE(host.Bool(DISPID_CANCEL_INCOMING_CALL, {kLoopback, remote.port}));
    ASSERT_TRUE(remote.WaitStatus(STATUS_CALL_REJECTED));
    EXPECT_EQ(remote.statuses, (std::vector<qint32>{STATUS_CALLING, STATUS_CALL_REJECTED}));
    EXPECT_TRUE(remote.Bool(DISPID_CONNECT, {kLoopback, host.port, kUserData, 20})); // idle again
}

TEST(ControlCallTest, AcceptedRequestIsIgnoredAfterwardsAndANewTokenIsAnnounced) {
    Station host;
    RawPeer caller;
    ASSERT_TRUE(host.Initialize());
    const QByteArray token = TokenBytes(7, 8);
    for (int i = 1; i <= 3; ++i) {
        Send(caller, host.port, CallRequest("ID=carol", token));
        ASSERT_TRUE(WaitFor([&] { return host.connections.size() == static_cast<size_t>(i); }));
    }
    ASSERT_TRUE(host.Bool(DISPID_ACCEPT_INCOMING_CALL, {kLoopback, caller.Port(), 20}));
    const auto accepts = Collect(caller, 300);
    ASSERT_EQ(accepts.size(), 5u);
    for (const auto& a : accepts)
        EXPECT_EQ(a, QByteArray(1, '\x0c') + token);
    Send(caller, host.port, CallRequest("ID=carol", token));
    Idle(300);
    EXPECT_EQ(host.connections.size(), 3u);
    Send(caller, host.port, CallRequest("ID=carol", TokenBytes(7, 9)));
    ASSERT_TRUE(WaitFor([&] { return host.connections.size() == 4; }));

    // Confirmation from the caller connects the host with it.
    Send(caller, host.port, QByteArray(1, '\x0b'));
    ASSERT_TRUE(host.WaitStatus(STATUS_CONNECTED));
}

TEST(ControlCallTest, CallerRepetitionsAreAnnouncedEveryThreeSeconds) {
    Station host;
    Station remote;
    ASSERT_TRUE(host.Initialize());
    ASSERT_TRUE(remote.Initialize());
    ASSERT_TRUE(remote.Bool(DISPID_CONNECT, {kLoopback, host.port, kUserData, 20}));
    ASSERT_TRUE(WaitFor([&] { return host.connections.size() == 1; }));
    // The second copy comes with the caller's 3 s resend timer.
    ASSERT_TRUE(WaitFor([&] { return host.connections.size() == 2; }, 8000));
    EXPECT_EQ(host.connections[1].port, remote.port);
    ASSERT_TRUE(host.Bool(DISPID_ACCEPT_INCOMING_CALL, {kLoopback, remote.port, 20}));
    ASSERT_TRUE(remote.WaitStatus(STATUS_CONNECTED));
    ASSERT_TRUE(host.WaitStatus(STATUS_CONNECTED));
}

TEST(ControlCallTest, BusyWinsOverNotAvailable) {
    Station host;
    Station remote;
    // Set before Initialize: cleared by it.
    host.Void(DISPID_ENABLE_BUSY_STATE);
    ASSERT_TRUE(host.Initialize());
    ASSERT_TRUE(remote.Initialize());
    ASSERT_TRUE(remote.Bool(DISPID_CONNECT, {kLoopback, host.port, kUserData, 20}));
    ASSERT_TRUE(WaitFor([&] { return host.connections.size() == 1; }));
    ASSERT_TRUE(remote.Bool(DISPID_DISCONNECT));

    host.Void(DISPID_ENABLE_NOT_AVAILABLE_STATE);
    host.Void(DISPID_ENABLE_BUSY_STATE);
    ASSERT_TRUE(remote.Bool(DISPID_CONNECT, {kLoopback, host.port, kUserData, 20}));
    ASSERT_TRUE(remote.WaitStatus(STATUS_REMOTE_BUSY));
    host.Void(DISPID_DISABLE_BUSY_STATE);
    ASSERT_TRUE(remote.Bool(DISPID_CONNECT, {kLoopback, host.port, kUserData, 20}));
    ASSERT_TRUE(remote.WaitStatus(STATUS_REMOTE_NOT_AVAILABLE));
    EXPECT_EQ(remote.statuses,
              (std::vector<qint32>{STATUS_CALLING, STATUS_CALLING, STATUS_REMOTE_BUSY,
                                   STATUS_CALLING, STATUS_REMOTE_NOT_AVAILABLE}));
    EXPECT_EQ(host.connections.size(), 1u);
    host.Void(DISPID_DISABLE_NOT_AVAILABLE_STATE);
    ASSERT_TRUE(remote.Bool(DISPID_CONNECT, {kLoopback, host.port, kUserData, 20}));
    ASSERT_TRUE(WaitFor([&] { return host.connections.size() == 2; }));
}

TEST(ControlCallTest, ZeroTokensAndOutOfStateSignallingChangeNothing) {
    Station host;
    RawPeer peer;
    ASSERT_TRUE(host.Initialize());
    Send(peer, host.port, CallRequest("ID=zero", TokenBytes(0, 0)));
    Send(peer, host.port, QByteArray("\x01"
                                "abc",
                                4));                            // no terminator: zero token
    Send(peer, host.port, QByteArray(1, '\x0b'));                    // confirm while idle
    Send(peer, host.port, QByteArray(1, '\x0c') + TokenBytes(0, 0)); // accept while idle
    Send(peer, host.port, QByteArray(1, '\x0d') + TokenBytes(0, 0)); // reject while idle
    Send(peer, host.port, QByteArray(195, '\x0a'));                  // type 10 with a 194-byte payload
    Send(peer, host.port, QByteArray(1, '\x00'));                    // types that are never sent
    Send(peer, host.port, QByteArray(1, '\x02'));
    Send(peer, host.port, QByteArray(40, '\xff'));
    const auto answers = Collect(peer, 400);
    EXPECT_TRUE(answers.empty());
    EXPECT_TRUE(host.connections.empty());
    EXPECT_TRUE(host.statuses.empty());
    // Still idle: a call can be placed.
    EXPECT_TRUE(host.Bool(DISPID_CONNECT, {kLoopback, peer.Port(), QString(), 20}));
}

TEST(ControlCallTest, InitializeOnAConnectedControlHangsUpFirst) {
    Station a;
    Station b;
    ASSERT_TRUE(a.Initialize());
    ASSERT_TRUE(b.Initialize());
    EstablishCall(a, b);
    ASSERT_TRUE(b.Initialize(b.port));
    ASSERT_TRUE(a.WaitStatus(STATUS_REMOTE_DISCONNECTED));
}

TEST(ControlAudioTest, TwoControlsInOneProcessKeepTheirOwnDevicesSwitchesAndMeters) {
    // The stations' choices, not the environment's, pick the devices here.
    const QByteArray capture = qgetenv("TAVRINO_CAPTURE"), playback = qgetenv("TAVRINO_PLAYBACK");
    qunsetenv("TAVRINO_CAPTURE");
    qunsetenv("TAVRINO_PLAYBACK");
    const QString heard = QDir::temp().filePath(QStringLiteral("tessora-two-%1.wav")
                                                    .arg(QCoreApplication::applicationPid()));
    Station speaking, quiet;
    ASSERT_TRUE(speaking.Bool(DISPID_SET_CAPTURE_DEVICE,
                              {QStringLiteral("file:" TESSORA_DATA_DIR "/speech-host.wav")}));
    ASSERT_TRUE(speaking.Bool(DISPID_SET_PLAYBACK_DEVICE, {QStringLiteral("null")}));
    ASSERT_TRUE(speaking.Bool(DISPID_SET_AUDIO_PROCESSING, {1, 1}));
    ASSERT_TRUE(quiet.Bool(DISPID_SET_CAPTURE_DEVICE, {QStringLiteral("silence")}));
    ASSERT_TRUE(quiet.Bool(DISPID_SET_PLAYBACK_DEVICE, {QStringLiteral("file:") + heard}));
    ASSERT_TRUE(quiet.Bool(DISPID_SET_AUDIO_PROCESSING, {0, 0}));
    ASSERT_TRUE(speaking.Initialize() && speaking.Bool(DISPID_DISABLE_CRYPTOGRAPHY));
    ASSERT_TRUE(quiet.Initialize() && quiet.Bool(DISPID_DISABLE_CRYPTOGRAPHY));
    qputenv("TAVRINO_CAPTURE", capture);
    qputenv("TAVRINO_PLAYBACK", playback);
    // Each meter moves with its own microphone only.
    EXPECT_TRUE(WaitFor([&] { return speaking.Long(DISPID_GET_INPUT_LEVEL) > 30; }));
    EXPECT_EQ(quiet.Long(DISPID_GET_INPUT_LEVEL), 0);
    // In a call the quiet one's speaker hears the other's microphone, and nothing else.
    EstablishCall(speaking, quiet);
    QTest::qWait(1500);
    quiet.Void(DISPID_UNINITIALIZE);
    speaking.Void(DISPID_UNINITIALIZE);
    EXPECT_GT(PeakOf(heard), 3000);
    EXPECT_EQ(speaking.Long(DISPID_GET_AUDIO_NOTICES), 0);
    QFile::remove(heard);
}

TEST(ControlErrorTest, ObjectErrorsFollowTheTable) {
    qputenv("TAVRINO_MIXER", "hw:97"); // a mixer that does not exist
    Station s;
    RawPeer silent; // a peer that never answers
    EXPECT_EQ(s.Error(), 0);
    EXPECT_FALSE(s.Bool(DISPID_DISCONNECT));
    EXPECT_EQ(s.Error(), ERR_NOT_INITIALIZED);

    struct Call {
        qint32 id;
        QVariantList args;
    };
    for (const Call& c :
         {Call{DISPID_ACCEPT_INCOMING_CALL, {kLoopback, 1, 20}},
          Call{DISPID_CANCEL_INCOMING_CALL, {kLoopback, 1}}, Call{DISPID_MUTE_MIC, {true}},
          Call{DISPID_MUTE_SPK, {true}}, Call{DISPID_ENABLE_CRYPTOGRAPHY, {}},
          Call{DISPID_DISABLE_CRYPTOGRAPHY, {}}, Call{DISPID_CONNECT, {kLoopback, 1, "", 20}},
          Call{DISPID_SEND_TEXT_MSG, {"a", "b"}},
          Call{DISPID_ENABLE_VOICE_ACTIVITY_DETECTION, {100, 2}}}) {
        s.Void(DISPID_DISABLE_BUSY_STATE); // nothing to do with the error
        EXPECT_FALSE(s.Bool(c.id, c.args)) << c.id;
        EXPECT_EQ(s.Error(), ERR_NOT_INITIALIZED) << c.id;
    }
    EXPECT_EQ(s.Long(DISPID_GET_OUTBOUND_TOTAL_BYTES), 0);
    EXPECT_EQ(s.Long(DISPID_GET_INBOUND_DATA_RATE), 0);

    // Mixer failures: 20 for the speaker, 19 for the microphone, none for the boost.
    EXPECT_FALSE(s.Bool(DISPID_SET_SPK_VOLUME, {100}));
    EXPECT_EQ(s.Error(), ERR_SPK_MIXER);
    EXPECT_EQ(s.Long(DISPID_GET_SPK_VOLUME), 0);
    EXPECT_EQ(s.Error(), ERR_SPK_MIXER);
    EXPECT_FALSE(s.Bool(DISPID_SET_MIC_VOLUME, {100}));
    EXPECT_EQ(s.Error(), ERR_MIC_MIXER);
    EXPECT_EQ(s.Long(DISPID_GET_MIC_VOLUME), -1);
    EXPECT_FALSE(s.Bool(DISPID_DISCONNECT));
    EXPECT_FALSE(s.Bool(DISPID_ENABLE_MIC_BOOST));
    EXPECT_FALSE(s.Bool(DISPID_DISABLE_MIC_BOOST));
    EXPECT_FALSE(s.Bool(DISPID_IS_MIC_BOOST_ENABLE));
    EXPECT_EQ(s.Error(), ERR_NOT_INITIALIZED); // untouched by the boost methods

    // A port in use, or outside the port range, is a socket error.
    RawPeer blocker;
    EXPECT_FALSE(s.Initialize(blocker.Port()));
    EXPECT_EQ(s.Error(), ERR_SOCKET);
    EXPECT_FALSE(s.Initialize(70000));
    EXPECT_EQ(s.Error(), ERR_SOCKET);

    EXPECT_TRUE(s.Bool(DISPID_INITIALIZE, {0, QString()}));
    EXPECT_EQ(s.Error(), ERR_NOT_INITIALIZED); // the clean-up step's disconnect
    EXPECT_FALSE(s.Bool(DISPID_ENABLE_CRYPTOGRAPHY));
    EXPECT_EQ(s.Error(), ERR_NO_CRYPTO_KEY);
    EXPECT_TRUE(s.Bool(DISPID_MUTE_MIC, {true})); // the capture thread runs
    EXPECT_TRUE(s.Bool(DISPID_MUTE_SPK, {true}));
    EXPECT_FALSE(s.Bool(DISPID_CANCEL_INCOMING_CALL, {kLoopback, silent.Port()}));
    EXPECT_EQ(s.Error(), ERR_NO_SUCH_CALL);
    ASSERT_TRUE(s.Bool(DISPID_CONNECT, {kLoopback, silent.Port(), QString(), 20}));
    EXPECT_FALSE(s.Bool(DISPID_CONNECT, {kLoopback, silent.Port(), QString(), 20}));
    EXPECT_EQ(s.Error(), ERR_CALL_PENDING);
    EXPECT_FALSE(s.Bool(DISPID_ACCEPT_INCOMING_CALL, {kLoopback, silent.Port(), 20}));
    EXPECT_EQ(s.Error(), ERR_CALL_PENDING);
    EXPECT_TRUE(s.Bool(DISPID_ENABLE_VOICE_ACTIVITY_DETECTION, {500, 0}));
    s.Void(DISPID_UNINITIALIZE);
    EXPECT_EQ(s.Error(), ERR_CALL_PENDING); // a successful teardown leaves it
    s.Void(DISPID_UNINITIALIZE);
    EXPECT_EQ(s.Error(), ERR_NOT_INITIALIZED);
    qunsetenv("TAVRINO_MIXER");
}

TEST(ControlDispatchTest, WrongIdsAndArgumentListsAreRefusedWithoutEffect) {
    Station s;
    for (qint32 id : {0, 19, 31, -1, 1000, INT_MIN}) {
        bool ok = true;
        const QVariant r = s.Invoke(id, {}, &ok);
        EXPECT_FALSE(ok) << id;
        EXPECT_FALSE(r.isValid()) << id;
    }
    struct Bad {
        qint32 id;
        QVariantList args;
    };
    for (const Bad& b : {
             Bad{DISPID_DISCONNECT, {1}},
             Bad{DISPID_CONNECT, {kLoopback, 1, "x"}},
             Bad{DISPID_CONNECT, {kLoopback, 1, "x", 20, 5}},
             Bad{DISPID_INITIALIZE, {QStringLiteral("abc"), "k"}}, // not a number
             Bad{DISPID_INITIALIZE, {4294967296LL, "k"}},          // beyond 32 bits
             Bad{DISPID_INITIALIZE, {1e12, "k"}},
             Bad{DISPID_INITIALIZE, {QVariantList{1}, "k"}}, // no conversion
             Bad{DISPID_SEND_TEXT_MSG, {QVariantMap{}, "x"}},
             Bad{DISPID_MUTE_SPK, {QStringLiteral("maybe")}},
         }) {
        bool ok = true;
        const QVariant r = s.Invoke(b.id, b.args, &ok);
        EXPECT_FALSE(ok) << b.id << " with " << b.args.size() << " arguments";
        EXPECT_FALSE(r.isValid());
    }
    // None of them ran: the object error is still the fresh control's.
    EXPECT_EQ(s.Error(), 0);
    bool ok = false;
    EXPECT_FALSE(s.Invoke(DISPID_UNINITIALIZE, {}, &ok).isValid());
    EXPECT_TRUE(ok);
}

TEST(ControlDispatchTest, ArgumentsAreCoercedAsADispatchCallWould) {
    Station a;
    Station b;
    // Numeric text for a long, a number for a string (the key becomes "12345").
    ASSERT_TRUE(a.Bool(DISPID_INITIALIZE, {QStringLiteral(" 0 "), 12345}));
    ASSERT_TRUE(b.Bool(DISPID_INITIALIZE, {0.4, QStringLiteral("12345")}));
    a.port = a.Long(DISPID_GET_LOCAL_PORT);
    b.port = b.Long(DISPID_GET_LOCAL_PORT);
    ASSERT_TRUE(a.Bool(DISPID_ENABLE_CRYPTOGRAPHY));
    ASSERT_TRUE(b.Bool(DISPID_ENABLE_CRYPTOGRAPHY));
    // Text and user data from numbers and truth values; the port as a byte string.
    ASSERT_TRUE(a.Bool(DISPID_CONNECT, {kLoopback, QByteArray::number(b.port), 42, 20U}));
    ASSERT_TRUE(WaitFor([&] { return b.connections.size() == 1; }));
    EXPECT_EQ(b.connections[0].userData, "42");
    EXPECT_EQ(b.connections[0].port, a.port);
    ASSERT_TRUE(b.Bool(DISPID_ACCEPT_INCOMING_CALL, {kLoopback, qint64{a.port}, 20}));
    ASSERT_TRUE(b.WaitStatus(STATUS_CONNECTED));
    // Same key on both sides: the encrypted text arrives intact.
    ASSERT_TRUE(a.Bool(DISPID_SEND_TEXT_MSG, {true, -7}));
    ASSERT_TRUE(WaitFor([&] { return !b.texts.empty(); }));
    EXPECT_EQ(b.texts[0], (std::pair<QString, QString>{"True", "-7"}));
    // Truth values from numbers and text.
    EXPECT_TRUE(a.Bool(DISPID_MUTE_SPK, {0}));
    EXPECT_TRUE(a.Bool(DISPID_MUTE_SPK, {QStringLiteral("true")}));
}

TEST(ControlEventTest, EventsFireFromTheEventLoopAndNeverAfterUnInitialize) {
    Station s;
    RawPeer silent;
    ASSERT_TRUE(s.Initialize());
    ASSERT_TRUE(s.Bool(DISPID_CONNECT, {kLoopback, silent.Port(), QString(), 20}));
    EXPECT_TRUE(s.statuses.empty()); // not from inside the method call
    ASSERT_TRUE(s.WaitStatus(STATUS_CALLING));

    ASSERT_TRUE(s.Bool(DISPID_DISCONNECT));
    ASSERT_TRUE(s.Bool(DISPID_CONNECT, {kLoopback, silent.Port(), QString(), 20}));
    s.Void(DISPID_UNINITIALIZE);
    Idle(300);
    EXPECT_EQ(s.statuses.size(), 1u); // the second 51 was dropped with the task window
}

TEST(ControlEventTest, HandlersMayTearDownOrDestroyTheControl) {
    // A station ends its side from inside the status handler.
    Station s;
    RawPeer silent;
    ASSERT_TRUE(s.Initialize());
    QObject::connect(&s.client, &TavrinoClient::OnStatusEvent, [&](qint32) {
        s.Bool(DISPID_DISCONNECT);
        s.Void(DISPID_UNINITIALIZE);
        EXPECT_TRUE(s.Initialize(s.port));
    });
    ASSERT_TRUE(s.Bool(DISPID_CONNECT, {kLoopback, silent.Port(), QString(), 20}));
    ASSERT_TRUE(s.WaitStatus(STATUS_CALLING));
    Idle(100);

    // A host that unloads the control inside its handler.
    auto host = std::make_unique<Station>();
    RawPeer caller;
    ASSERT_TRUE(host->Initialize());
    bool fired = false;
    QObject::connect(&host->client, &TavrinoClient::OnConnectionEvent,
                     [&](const QString&, qint32, const QString&) {
                         fired = true;
                         host->client.Unload();
                     });
    Send(caller, host->port, CallRequest("ID=x", TokenBytes(3, 4)));
    Send(caller, host->port, CallRequest("ID=y", TokenBytes(3, 5)));
    ASSERT_TRUE(WaitFor([&] { return fired; }));
    Idle(100);
    EXPECT_FALSE(host->client.IsLoaded());
}

TEST(ControlPluginTest, MetadataCarriesTheRegistrationIdentities) {
    QPluginLoader loader(QDir(QCoreApplication::applicationDirPath())
                             .filePath(QString::fromLatin1(kPluginFileName)));
    const QJsonObject meta = loader.metaData();
    EXPECT_EQ(meta.value("IID").toString(), QStringLiteral(ITavrinoStandardFactory_iid));
    const QJsonObject data = meta.value("MetaData").toObject();
    const QJsonObject lib = data.value("TypeLibrary").toObject();
    EXPECT_EQ(lib.value("LIBID").toString(), "{F962E4CE-5B83-4A14-93D3-4EC770A2D158}");
    EXPECT_EQ(lib.value("Version").toString(), "1.0");
    EXPECT_EQ(lib.value("HelpFile").toString(), "TavrinoStandard.hlp");
    const QJsonObject dispatch = data.value("DispatchInterface").toObject();
    EXPECT_EQ(dispatch.value("IID").toString(), "{FAB0AD8C-7AAB-4977-8D38-A06F2B3B9202}");
    const QJsonObject events = data.value("EventInterface").toObject();
    EXPECT_EQ(events.value("IID").toString(), "{12FFDD35-F8EA-46C6-B67D-D1ED6A8759D2}");
    const QJsonObject control = data.value("ControlClass").toObject();
    EXPECT_EQ(control.value("CLSID").toString(), "{BCDC6F6F-BF7B-4E1E-9572-B789E3D23CCC}");
    EXPECT_EQ(control.value("ProgID").toString(), "TAVRINOSTANDARD.TavrinoStandardCtrl.1");
    EXPECT_EQ(control.value("DocString").toString(), "TavrinoStandard Control");
}
