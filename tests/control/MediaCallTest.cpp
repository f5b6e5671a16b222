// SPDX-License-Identifier: GPL-3.0-or-later
// Media call tests: two tavrino-console processes hold real calls on loopback, judged on what each
// side hears.
#include "ConsoleProcess.h"
#include "WaitFor.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

const QString kDataDir = QStringLiteral(TESSORA_DATA_DIR);
const QString kRemoteSpeech = kDataDir + "/speech-remote.wav";
const QString kHostSpeech = kDataDir + "/speech-host.wav";

// How long both sides talk once connected: long enough for wav-compare's 4 s window of
// speech, short enough to keep each case well inside its budget.
constexpr int kTalkMs = 5500;

// Margins, measured over repeated runs of these calls: a heard file against the speech
// that was really said scores 0.93 (host to remote) and 0.96 (remote to host), once as
// low as 0.87 on a loaded machine; the same file against the other speech sample, the
// negative control, 0.07 to 0.08; wrong-key noise against either sample 0.03. The
// bounds sit well clear of both.
constexpr double kHeardAtLeast = 0.75;
constexpr double kUnrelatedBelow = 0.30;

const QByteArray kText = "\"secret words\" \"from remote\"";

bool HasLine(const std::vector<QByteArray>& lines, const QByteArray& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

long CountLines(const std::vector<QByteArray>& lines, const QByteArray& line) {
    return static_cast<long>(std::count(lines.begin(), lines.end(), line));
}

QByteArray Joined(const std::vector<QByteArray>& lines) {
    QByteArray all;
    for (const auto& line : lines)
        all += line + '\n';
    return all;
}

// One console with its own file microphone and its own file speaker, bound to 127.0.0.1.
class Console : public ConsoleProcess {
public:
    Console(const QString& microphone, const QString& speaker)
        : ConsoleProcess({{"TAVRINO_CAPTURE", "file:" + microphone},
                          {"TAVRINO_PLAYBACK", "file:" + speaker},
                          {"TAVRINO_BIND_ADDRESS", "127.0.0.1"}}) {}
};

// wav-compare's similarity of HEARD to the looped SAID; a failure (and -1) when it gives none.
double Similarity(const QString& said, const QString& heard) {
    QProcess compare;
    compare.start(QDir(QCoreApplication::applicationDirPath()).filePath("wav-compare"),
                  {said, heard});
    if (compare.waitForFinished(20000) && compare.exitCode() == 0)
        for (const QByteArray& line : compare.readAllStandardOutput().split('\n'))
            if (line.startsWith("similarity: "))
                return line.mid(12).trimmed().toDouble();
    ADD_FAILURE() << "wav-compare gave no similarity for " << heard.toStdString() << ": "
                  << compare.readAllStandardError().constData();
    return -1;
}

// Root mean square of a WAV file, full scale 1; -1 when it cannot be read.
double Rms(const QString& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.toLocal8Bit().constData(), SFM_READ, &info);
    if (!f)
        return -1;
    std::vector<double> samples(static_cast<size_t>(info.frames * info.channels));
    const sf_count_t got = sf_read_double(f, samples.data(), info.frames * info.channels);
    sf_close(f);
    if (got <= 0)
        return -1;
    double sum = 0;
    for (sf_count_t i = 0; i < got; ++i)
        sum += samples[static_cast<size_t>(i)] * samples[static_cast<size_t>(i)];
    return std::sqrt(sum / static_cast<double>(got));
}

struct CallSetup {
    QByteArray hostKey = "TESSORA";
    QByteArray remoteKey = "TESSORA";
    bool hostEncrypts = false;
    bool remoteEncrypts = false;
    QByteArray remoteText; // a SendTextMsg line's arguments, sent mid-call when set
};

// A whole call: both consoles start on ports the system chooses, the remote calls, the
// host accepts, both talk for kTalkMs, the remote hangs up and both quit. Each side's
// speaker file is then what it heard.
class MediaCall {
public:
    MediaCall()
        : hostHeard(m_dir.filePath("host-heard.wav")),
          remoteHeard(m_dir.filePath("remote-heard.wav")), host(kHostSpeech, hostHeard),
          remote(kRemoteSpeech, remoteHeard) {}

    // Runs the call; false (with the reason in `failure`) when it did not get through.
    bool Run() {
        if (!m_dir.isValid() || !host.started || !remote.started)
            return Fail("setup");
        const QByteArray hostPort = host.InitializeAnyPort(setup.hostKey);
        const QByteArray remotePort = remote.InitializeAnyPort(setup.remoteKey);
        if (hostPort.toInt() <= 0 || remotePort.toInt() <= 0)
            return Fail("no port of its own for each control");
        host.Write(setup.hostEncrypts ? "EnableCryptography\n" : "DisableCryptography\n");
        remote.Write(
            QByteArray(setup.remoteEncrypts ? "EnableCryptography\n" : "DisableCryptography\n") +
            "Connect \"127.0.0.1\" " + hostPort + " \"ID=a&Password=b\" 20\n");
        if (!host.WaitForLine("! OnConnectionEvent \"127.0.0.1\" " + remotePort +
                              " \"ID=a&Password=b\""))
            return Fail("no call request at the host");
        host.Write("AcceptIncomingCall \"127.0.0.1\" " + remotePort + " 20\nEnableBusyState\n");
        if (!remote.WaitForLine("! OnStatusEvent 53") || !host.WaitForLine("! OnStatusEvent 53"))
            return Fail("not connected");
        QElapsedTimer talking;
        talking.start();
        Talk(kTalkMs / 2);
        if (!setup.remoteText.isEmpty())
            remote.Write("SendTextMsg " + setup.remoteText + "\n");
        Talk(kTalkMs / 2);
        remote.Write("Disconnect\nquit\n");
        talkedMs = talking.elapsed();
        if (!host.WaitForLine("! OnStatusEvent 54"))
            return Fail("hang-up not seen");
        host.Write("quit\n");
        if (!remote.Finish() || !host.Finish())
            return Fail("a console did not quit");
        return true;
    }

    CallSetup setup; // to change before Run
    std::string failure;
    qint64 talkedMs = 0;

private:
    // The event loop runs all along, so both consoles' output is read and no pipe fills.
    void Talk(int ms) {
        WaitFor([] { return false; }, ms);
    }
    bool Fail(const char* what) {
        failure = std::string(what) + "\nhost:\n" + Joined(host.lines).constData() + "remote:\n" +
                  Joined(remote.lines).constData();
        return false;
    }

    QTemporaryDir m_dir;

public:
    const QString hostHeard;
    const QString remoteHeard;
    Console host;
    Console remote;
};

void ExpectCleanExit(Console& console, const char* side) {
    EXPECT_EQ(console.process.exitStatus(), QProcess::NormalExit) << side;
    EXPECT_EQ(console.process.exitCode(), 0) << side;
    EXPECT_FALSE(HasLine(console.lines, "! OnStatusEvent 52")) << side << " lost the call";
}

// Each side heard the other's speech: well above the negative control, the same heard
// file against the speech sample that was NOT sent to it.
void ExpectEachHeardTheOther(const MediaCall& call) {
    const double hostHeardRemote = Similarity(kRemoteSpeech, call.hostHeard);
    const double hostHeardItself = Similarity(kHostSpeech, call.hostHeard);
    const double remoteHeardHost = Similarity(kHostSpeech, call.remoteHeard);
    const double remoteHeardItself = Similarity(kRemoteSpeech, call.remoteHeard);
    EXPECT_GE(hostHeardRemote, kHeardAtLeast);
    EXPECT_LT(hostHeardItself, kUnrelatedBelow);
    EXPECT_GE(remoteHeardHost, kHeardAtLeast);
    EXPECT_LT(remoteHeardItself, kUnrelatedBelow);
    std::printf("similarity host<-remote %.3f (control %.3f), remote<-host %.3f (control %.3f)\n",
                hostHeardRemote, hostHeardItself, remoteHeardHost, remoteHeardItself);
}

TEST(MediaCallTest, PlainCallCarriesEachSidesSpeechToTheOther) {
    MediaCall call;
    ASSERT_TRUE(call.Run()) << call.failure;
    ExpectCleanExit(call.host, "host");
    ExpectCleanExit(call.remote, "remote");
    ExpectEachHeardTheOther(call);
}

TEST(MediaCallTest, EqualKeysCarryEncryptedSpeechAndText) {
    MediaCall call;
    call.setup.hostEncrypts = call.setup.remoteEncrypts = true;
    call.setup.remoteText = kText;
    ASSERT_TRUE(call.Run()) << call.failure;
    ExpectCleanExit(call.host, "host");
    ExpectCleanExit(call.remote, "remote");
    EXPECT_TRUE(HasLine(call.host.lines, "! OnTextEvent \"secret words\" \"from remote\""))
        << Joined(call.host.lines).constData();
    EXPECT_EQ(CountLines(call.host.lines, "! OnStatusEvent 58"), 0);
    ExpectEachHeardTheOther(call);
}

TEST(MediaCallTest, DifferentKeysKeepTheCallUpButGarbleSpeechAndText) {
    MediaCall call;
    call.setup.hostKey = "host key";
    call.setup.remoteKey = "remote key";
    call.setup.hostEncrypts = call.setup.remoteEncrypts = true;
    call.setup.remoteText = kText;
    ASSERT_TRUE(call.Run()) << call.failure;
    ExpectCleanExit(call.host, "host");
    ExpectCleanExit(call.remote, "remote");

    // The text arrives, as something else.
    long texts = 0;
    for (const QByteArray& line : call.host.lines) {
        if (!line.startsWith("! OnTextEvent "))
            continue;
        ++texts;
        EXPECT_FALSE(line.contains("secret words")) << line.constData();
    }
    EXPECT_EQ(texts, 1) << Joined(call.host.lines).constData();

    // Each side plays sound (decoded noise, not silence) that matches neither speech
    // sample any better than unrelated speech does.
    for (const QString& heard : {call.hostHeard, call.remoteHeard}) {
        const double rms = Rms(heard);
        EXPECT_GT(rms, 0.01) << heard.toStdString();
        const double toRemote = Similarity(kRemoteSpeech, heard);
        const double toHost = Similarity(kHostSpeech, heard);
        EXPECT_LT(toRemote, kUnrelatedBelow) << heard.toStdString();
        EXPECT_LT(toHost, kUnrelatedBelow) << heard.toStdString();
        std::printf("wrong key: rms %.3f, similarity %.3f / %.3f\n", rms, toRemote, toHost);
    }
}

TEST(MediaCallTest, PlainSideReportsEveryEncryptedPacketAndPlaysNone) {
    MediaCall call;
    call.setup.remoteEncrypts = true;
    call.setup.remoteText = kText;
    ASSERT_TRUE(call.Run()) << call.failure;
    ExpectCleanExit(call.host, "host");
    ExpectCleanExit(call.remote, "remote");

    // One report per encrypted packet: a voice frame every 120 ms (about 8 a second)
    // plus the one text. The bounds are wide: this counts packets, it does not time them.
    const long reports = CountLines(call.host.lines, "! OnStatusEvent 58");
    const double frames = static_cast<double>(call.talkedMs) / 120.0;
    std::printf("%ld reports of encrypted data in %lld ms of call\n", reports,
                static_cast<long long>(call.talkedMs));
    EXPECT_GT(reports, static_cast<long>(frames * 0.6)) << call.talkedMs << " ms";
    EXPECT_LT(reports, static_cast<long>(frames * 1.4) + 2) << call.talkedMs << " ms";
    for (const QByteArray& line : call.host.lines)
        EXPECT_FALSE(line.startsWith("! OnTextEvent ")) << line.constData();

    // The plain side played nothing at all; the encrypting side still plays plain voice.
    EXPECT_EQ(Rms(call.hostHeard), 0.0);
    const double remoteHeardHost = Similarity(kHostSpeech, call.remoteHeard);
    EXPECT_GE(remoteHeardHost, kHeardAtLeast);
    std::printf("similarity remote<-host %.3f\n", remoteHeardHost);
}

} // namespace
