// SPDX-License-Identifier: GPL-3.0-or-later
// Call admission end to end: the host window answers real call requests that
// a second control, loaded here, sends to it over loopback.
#include "HostUsers.h"
#include "RawPeer.h"

#include "TavrinoClient.h"
#include "frmMain.h"
#include "modUserSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QRegularExpression>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <optional>

using namespace Tavrino;

namespace {

const QString kKey = QStringLiteral("Granite Granite Purple Moon");

// A remote station's control, driven directly.
class Caller {
public:
    // `bindAddress`: the loopback address the caller's socket binds, "" for all.
    explicit Caller(const QByteArray& bindAddress = {}) {
        loaded = client.Load();
        if (!loaded)
            return;
        QObject::connect(&client, &TavrinoClient::OnStatusEvent,
                         [this](qint32 code) { statuses.push_back(code); });
        if (!bindAddress.isEmpty())
            qputenv("TAVRINO_BIND_ADDRESS", bindAddress);
        initialised = client.CallBool(DISPID_INITIALIZE, {0, kKey}) &&
                      client.CallBool(DISPID_DISABLE_CRYPTOGRAPHY);
        m_port = client.CallLong(DISPID_GET_LOCAL_PORT);
        qunsetenv("TAVRINO_BIND_ADDRESS");
    }
    ~Caller() {
        client.CallBool(DISPID_DISCONNECT);
        client.CallVoid(DISPID_UNINITIALIZE);
    }

    bool Call(int hostPort, const QString& userData, int timeOutSeconds = 20) {
        return client.CallBool(DISPID_CONNECT,
                               {QStringLiteral("127.0.0.1"), hostPort, userData, timeOutSeconds});
    }
    bool CallSecurely(int hostPort, const QString& password, int timeOutSeconds = 20) {
        statuses.clear();
        return client.CallBool(DISPID_CONNECT_SECURE,
                               {QStringLiteral("127.0.0.1"), hostPort, QStringLiteral("alice"),
                                password, timeOutSeconds, QString()});
    }
    bool WaitFor(qint32 code, int ms) {
        return ::WaitFor([this, code] { return statuses.contains(code); }, ms);
    }
    // The status that ended the call attempt (anything but 51), or 0.
    qint32 Outcome() const {
        for (qint32 s : statuses)
            if (s != STATUS_CALLING)
                return s;
        return 0;
    }
    int Port() const { return m_port; }

    TavrinoClient client;
    QVector<qint32> statuses;
    bool loaded = false;
    bool initialised = false;

private:
    int m_port = 0;
};

class HostCalls : public ::testing::Test {
protected:
    void SetUp() override { ClearUsers(); }
    void TearDown() override {
        SetTimedMessageDurationForTesting(0);
        if (form)
            form->close();
        form.reset();
        ClearUsers();
    }

    // The host with its user list, online on a port free at the start.
    void StartHost(bool rejectAll = false) {
        const int hostPort = m_hostPort = FreePort();
        folder.Write(kUserListFileName, "ID=alice&PASSWORD=Secret&Enable=0&ConnectName=desk\r\n"
                                        "ID=bob&PASSWORD=pw&Enable=1&ConnectName=off\r\n");
        folder.Write(kHostSettingsFileName,
                     "[Main]\r\nListenPortNo=" + QByteArray::number(hostPort) + "\r\n");
        form = std::make_unique<frmMain>();
        ASSERT_TRUE(form->Form_Load())
            << "the voice control TAVRINOSTANDARD.so must be built next to the tests: "
            << boxes.Texts().join(" | ").toStdString();
        form->show();
        if (rejectAll)
            Reject()->click();
        Online()->click();
        ASSERT_TRUE(Online()->isChecked()) << boxes.Texts().join(" | ").toStdString();
    }

    std::unique_ptr<Caller> NewCaller(const QByteArray& bindAddress = {}) {
        auto caller = std::make_unique<Caller>(bindAddress);
        EXPECT_TRUE(caller->loaded) << caller->client.LoadError().toStdString();
        EXPECT_TRUE(caller->initialised && caller->Port() > 0) << caller->Port();
        return caller;
    }

    QPushButton* Online() { return Find<QPushButton>(form.get(), "chkOnline"); }
    QCheckBox* Reject() { return Find<QCheckBox>(form.get(), "chkRejectConnectionRequest"); }
    QString Text(const char* label) { return Find<QLabel>(form.get(), label)->text(); }
    bool PeerShown() {
        return !Text("txtUserName").isEmpty() || !Text("txtConnectedIpAddress").isEmpty() ||
               !Text("txtForwardingPort").isEmpty();
    }

    TestFolder folder;
    MessageBoxRecorder boxes;
    LanguageSetting english{"English"};
    std::unique_ptr<frmMain> form;
    int m_hostPort = 0;
};

} // namespace

TEST_F(HostCalls, EnabledUserIsAcceptedAndTheHostIsBusyUntilTheCallEnds) {
    StartHost();
    auto first = NewCaller();
    ASSERT_TRUE(first->Call(m_hostPort, "ID=alice&Password=Secret"));
    ASSERT_TRUE(first->WaitFor(STATUS_CONNECTED, 5000)) << first->Outcome();
    ASSERT_TRUE(
        WaitFor([this] { return Text("lblConnectionStatus") == "Successfully connected."; }, 3000));
    EXPECT_EQ(Text("txtUserName"), "alice");
    EXPECT_EQ(Text("txtConnectedIpAddress"), "127.0.0.1");
    EXPECT_EQ(Text("txtForwardingPort"), QString::number(first->Port()));
    EXPECT_FALSE(Reject()->isEnabled());

    // The host is busy now: the next caller is told so at once.
    auto second = NewCaller();
    ASSERT_TRUE(second->Call(m_hostPort, "ID=alice&Password=Secret"));
    EXPECT_TRUE(second->WaitFor(STATUS_REMOTE_BUSY, 3000)) << second->Outcome();
    EXPECT_EQ(Text("txtUserName"), "alice");

    // Traffic lights the receive lamp.
    auto* rx = Find<QLabel>(form.get(), "picRx");
    EXPECT_TRUE(WaitFor([rx] { return rx->isVisible(); }, 5000));

    // The caller hangs up: the peer is cleared and the busy state left.
    ASSERT_TRUE(first->client.CallBool(DISPID_DISCONNECT));
    ASSERT_TRUE(WaitFor(
        [this] {
            return Text("lblConnectionStatus") ==
                   "Connection is disconnected by the remote station.";
        },
        3000));
    EXPECT_FALSE(PeerShown());
    EXPECT_TRUE(Reject()->isEnabled());
    second->statuses.clear();
    ASSERT_TRUE(second->Call(m_hostPort, "ID=alice&Password=Secret"));
    EXPECT_TRUE(second->WaitFor(STATUS_CONNECTED, 5000)) << second->Outcome();
    EXPECT_TRUE(boxes.boxes.isEmpty()) << boxes.Texts().join(" | ").toStdString();
}

TEST_F(HostCalls, DisabledUserIsCancelledAndUnknownOrMalformedCallersGetNoAnswer) {
    StartHost();
    auto disabled = NewCaller();
    auto wrongPassword = NewCaller();
    auto wrongCase = NewCaller();
    auto noAmpersand = NewCaller();
    auto noEquals = NewCaller();
    auto emptyName = NewCaller();
    auto otherBytes = NewCaller();
    ASSERT_TRUE(AddUser(User("carl", Tavrino::DecodeLocalText("p\xe4\xe4sswort"))));
    ASSERT_TRUE(disabled->Call(m_hostPort, "ID=bob&Password=pw", 2));
    ASSERT_TRUE(wrongPassword->Call(m_hostPort, "ID=alice&Password=secret", 2));
    ASSERT_TRUE(wrongCase->Call(m_hostPort, "ID=Alice&Password=Secret", 2));
    ASSERT_TRUE(noAmpersand->Call(m_hostPort, "ID=alice", 2));
    ASSERT_TRUE(noEquals->Call(m_hostPort, "alice&Secret", 2));
    ASSERT_TRUE(emptyName->Call(m_hostPort, "ID=&Password=Secret", 2));
    ASSERT_TRUE(otherBytes->Call(m_hostPort,
                                 Tavrino::DecodeLocalText("ID=carl&Password=p\xff\xfesswort"), 2));

    EXPECT_TRUE(disabled->WaitFor(STATUS_CALL_REJECTED, 3000)) << disabled->Outcome();
    for (Caller* c : {wrongPassword.get(), wrongCase.get(), noAmpersand.get(), noEquals.get(),
                      emptyName.get(), otherBytes.get()}) {
        EXPECT_TRUE(c->WaitFor(STATUS_TIMEOUT, 5000)) << c->Port() << " got " << c->Outcome();
        EXPECT_EQ(c->Outcome(), STATUS_TIMEOUT) << c->Port();
    }
    // Nothing was shown for any of them, and the host stays open for others.
    EXPECT_TRUE(Text("lblConnectionStatus").isEmpty());
    EXPECT_FALSE(PeerShown());
    EXPECT_TRUE(Reject()->isEnabled());
    EXPECT_TRUE(boxes.boxes.isEmpty()) << boxes.Texts().join(" | ").toStdString();
    EXPECT_TRUE(Online()->isChecked());
}

TEST_F(HostCalls, KeyNamesAreFreeAndAPasswordKeepsLaterSeparators) {
    StartHost();
    // Added while running, as the setup window would: only the file line
    // cannot carry an "&" in a password.
    ASSERT_TRUE(AddUser(User("carol", Tavrino::DecodeLocalText("p&w=1\xe4")))); // and its bytes
    auto caller = NewCaller();
    ASSERT_TRUE(caller->Call(m_hostPort, Tavrino::DecodeLocalText("Name=carol&Key=p&w=1\xe4")));
    ASSERT_TRUE(caller->WaitFor(STATUS_CONNECTED, 5000)) << caller->Outcome();
    ASSERT_TRUE(WaitFor([this] { return Text("txtUserName") == "carol"; }, 3000));
}

TEST_F(HostCalls, RejectSwitchRefusesEveryCallerWhileChecked) {
    StartHost(/*rejectAll=*/true);
    auto caller = NewCaller();
    ASSERT_TRUE(caller->Call(m_hostPort, "ID=alice&Password=Secret"));
    EXPECT_TRUE(caller->WaitFor(STATUS_REMOTE_NOT_AVAILABLE, 3000)) << caller->Outcome();

    Reject()->click(); // unchecked while online: callers are admitted again
    caller->statuses.clear();
    ASSERT_TRUE(caller->Call(m_hostPort, "ID=alice&Password=Secret"));
    EXPECT_TRUE(caller->WaitFor(STATUS_CONNECTED, 5000)) << caller->Outcome();
}

TEST_F(HostCalls, AcceptWhileTheHostIsItselfCallingShowsTheTimedMessage) {
    StartHost();
    SetTimedMessageDurationForTesting(1500);
    // The host's own control places a call nobody answers, so it is pending
    // when the caller's request is announced: the accept fails with 12.
    auto* control = Find<TavrinoClient>(form.get(), "TavrinoStandard");
    const RawPeer silent;
    ASSERT_TRUE(control->CallBool(
        DISPID_CONNECT, {QStringLiteral("127.0.0.1"), silent.Port(), QStringLiteral("x"), 10}));
    auto caller = NewCaller();
    ASSERT_TRUE(caller->Call(m_hostPort, "ID=alice&Password=Secret", 3));

    // The window is shown from inside the host's event handler, whose wait
    // runs its own event loop: look at it from a timer, which runs there too.
    struct Seen {
        QString title;
        QString text;
        bool onTop = false;
        bool modal = true;
    };
    std::optional<Seen> seen;
    QPointer<QWidget> window;
    QTimer look;
    look.setInterval(20);
    QObject::connect(&look, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() != "frmMessage" || !w->isVisible() || seen)
                continue;
            window = w;
            auto* label = w->findChild<QLabel*>("lblMessage");
            seen = Seen{w->windowTitle(), label ? label->text() : QString(),
                        bool(w->windowFlags() & Qt::WindowStaysOnTopHint), w->isModal()};
        }
    });
    look.start();
    ASSERT_TRUE(WaitFor([&seen] { return seen.has_value(); }, 4000))
        << "caller " << caller->Outcome() << " boxes " << boxes.Texts().join(" | ").toStdString();
    EXPECT_EQ(seen->title, "TESSORA-H");
    EXPECT_TRUE(seen->onTop);
    EXPECT_FALSE(seen->modal);
    EXPECT_EQ(seen->text, "Already connecting, please disconnect it first.");
    // It goes away by itself; the failed accept changed nothing.
    EXPECT_TRUE(WaitFor([&window] { return !window || !window->isVisible(); }, 4000));
    EXPECT_FALSE(PeerShown());
    EXPECT_TRUE(Reject()->isEnabled());
    EXPECT_TRUE(boxes.boxes.isEmpty()) << boxes.Texts().join(" | ").toStdString();
}

TEST_F(HostCalls, ExitDuringACallHangsUpAndSaves) {
    StartHost();
    auto caller = NewCaller();
    ASSERT_TRUE(caller->Call(m_hostPort, "ID=alice&Password=Secret"));
    ASSERT_TRUE(caller->WaitFor(STATUS_CONNECTED, 5000)) << caller->Outcome();
    folder.Write(kUserListFileName, "");
    form->close();
    EXPECT_TRUE(caller->WaitFor(STATUS_REMOTE_DISCONNECTED, 3000)) << caller->Outcome();
    EXPECT_EQ(folder.Read(kUserListFileName),
              QByteArray("ID=alice&PASSWORD=Secret&Enable=0&ConnectName=desk\r\n"
                         "ID=bob&PASSWORD=pw&Enable=1&ConnectName=off\r\n"));
}

TEST_F(HostCalls, GuessesFromOneAddressAreRefusedAfterTheLimitWhileAnotherConnectsEncrypted) {
    StartHost();
    auto guesser = NewCaller();
    // Each wrong password is told at once (the host's accept fails its tag) and counts.
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(guesser->CallSecurely(m_hostPort, QStringLiteral("guess %1").arg(i)));
        ASSERT_TRUE(guesser->WaitFor(STATUS_CALL_REJECTED, 5000)) << i;
        EXPECT_EQ(guesser->client.CallLong(DISPID_GET_SECURE_OUTCOME),
                  SECURE_OUTCOME_PASSWORD_REFUSED);
    }
    // Then that address is refused, not even admitted with the right password, and told
    // so: silence would look like an older host to a remote that may fall back.
    ASSERT_TRUE(guesser->CallSecurely(m_hostPort, QStringLiteral("Secret"), 3));
    ASSERT_TRUE(guesser->WaitFor(STATUS_CALL_REJECTED, 6000));
    EXPECT_EQ(guesser->client.CallLong(DISPID_GET_SECURE_OUTCOME), SECURE_OUTCOME_REFUSED);
    EXPECT_FALSE(PeerShown()); // nothing showed for the guesses

    auto other = NewCaller("127.0.0.5");
    ASSERT_TRUE(other->CallSecurely(m_hostPort, QStringLiteral("Secret")));
    ASSERT_TRUE(other->WaitFor(STATUS_CONNECTED, 5000));
    ASSERT_TRUE(WaitFor([this] { return Text("txtUserName") == "alice"; }, 5000));
    EXPECT_EQ(Text("txtConnectedIpAddress"), "127.0.0.5");
    EXPECT_EQ(Text("lblCallSecurity"), "Encrypted");
    EXPECT_EQ(other->client.CallLong(DISPID_GET_CALL_SECURITY), SECURITY_ENCRYPTED);
}

TEST_F(HostCalls, WidebandVoiceOnlyWhenBothOfferItInAnEncryptedCall) {
    const struct {
        bool host, caller, encrypted, wideband;
    } cases[] = {{true, true, false, false}, // first: an encrypted call pins alice
                 {true, true, true, true},
                 {true, false, true, false},
                 {false, true, true, false}};
    StartHost();
    auto* wideband = Find<QAction>(form.get(), "mnuRunWidebandVoice");
    EXPECT_TRUE(wideband->isChecked()); // on unless the operator turned it off
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.host << c.caller << c.encrypted);
        wideband->setChecked(c.host);
        EXPECT_EQ(UserOption(QStringLiteral("TESSORA-H"), "Voice/Wideband", true), c.host);
        auto caller = NewCaller();
        caller->client.CallBool(DISPID_SET_WIDEBAND_VOICE, {c.caller});
        ASSERT_TRUE(c.encrypted ? caller->CallSecurely(m_hostPort, QStringLiteral("Secret"))
                                : caller->Call(m_hostPort, "ID=alice&Password=Secret"));
        ASSERT_TRUE(caller->WaitFor(STATUS_CONNECTED, 5000)) << caller->Outcome();
        EXPECT_EQ(caller->client.CallLong(DISPID_GET_CALL_VOICE),
                  c.wideband ? VOICE_WIDEBAND : VOICE_NARROWBAND);
        auto* voice = Find<QLabel>(form.get(), "lblCallVoice");
        ASSERT_TRUE(WaitFor([&] { return Find<QLabel>(form.get(), "lblCallSecurity")->isVisible(); }, 5000));
        EXPECT_EQ(voice->isVisible(), c.wideband);
        if (c.wideband) {
            EXPECT_EQ(voice->text(), "Wideband");
            EXPECT_EQ(voice->toolTip(), "Opus, 16 kHz");
        }
        caller.reset();
        ASSERT_TRUE(WaitFor([&] { return !voice->isVisible() && !PeerShown(); }, 5000));
    }
}

TEST_F(HostCalls, CallStatisticsWindowShowsTheCallsFiguresWithNamesForReaders) {
    StartHost();
    auto caller = NewCaller();
    caller->client.CallBool(DISPID_SET_WIDEBAND_VOICE, {true});
    ASSERT_TRUE(caller->CallSecurely(m_hostPort, QStringLiteral("Secret")));
    ASSERT_TRUE(caller->WaitFor(STATUS_CONNECTED, 5000)) << caller->Outcome();
    Find<QAction>(form.get(), "mnuRunCallStatistics")->trigger();
    auto* window = Find<QWidget>(form.get(), "frmCallStatistics");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Call Statistics");
    // The reports of both sides make the round trip known within a few seconds.
    auto* rtt = Find<QLabel>(window, "lblIn_rtt");
    ASSERT_TRUE(WaitFor([&] { return rtt->text().endsWith(" ms"); }, 8000)) << rtt->text().toStdString();
    EXPECT_TRUE(Find<QLabel>(window, "lblIn_voice")->text().startsWith("Opus, 16 kHz"));
    // Nothing lost on loopback; the encoder follows once two of the far end's reports span
    // an interval, which may come a refresh after the round trip.
    auto* encoder = Find<QLabel>(window, "lblOut_encoder");
    EXPECT_TRUE(WaitFor([&] { return encoder->text() == "2 %"; }, 5000)) << encoder->text().toStdString();
    for (QLabel* value : window->findChildren<QLabel*>(QRegularExpression("^lbl(In|Out)_")))
        EXPECT_FALSE(value->accessibleName().isEmpty()) << value->objectName().toStdString();
    EXPECT_FALSE(Find<QWidget>(window, "picCallPlot")->accessibleDescription().isEmpty());
    auto* rating = Find<QLabel>(form.get(), "imgCallRating");
    EXPECT_TRUE(rating->isVisible());
    EXPECT_TRUE(rating->toolTip().startsWith("Call quality 4.")) << rating->toolTip().toStdString();
    // After the call the window tells the last one; the bars go with the lock.
    caller.reset();
    ASSERT_TRUE(WaitFor([&] { return !rating->isVisible(); }, 5000));
    EXPECT_TRUE(Find<QLabel>(window, "lblCallState")->text().startsWith("Last call, "));
}
