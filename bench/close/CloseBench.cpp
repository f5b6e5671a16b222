// SPDX-License-Identifier: GPL-3.0-or-later
// Hang-up and offline times: how long Disconnect + UnInitialize keep the calling thread (a
// station's window) from its events, on each kind of microphone and speaker. Offline: a host
// online without a call goes offline. HangUp: one side of a standing call hangs up while voice
// flows both ways. The ALSA and PulseAudio rows need a sound server (scripts/start-audio.sh)
// and report an error without one.
#include "CTavrinoStandardCtrl.h"
#include "TavrinoStandardApi.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

using namespace Tavrino;

namespace {

const QString kKey = QStringLiteral("Granite Granite Purple Moon");
constexpr int kHostPort = 45731;
constexpr int kCallerPort = 45732;
constexpr int kTalkMs = 600; // voice flows, buffers circulate, before the hang-up

struct Devices {
    const char* name;
    std::string capture;
    std::string playback; // "%" stands for a file of the run's own folder
};

QTemporaryDir& Scratch() {
    static QTemporaryDir dir;
    return dir;
}

const Devices kDevices[] = {
    {"file", "file:" TESSORA_DATA_DIR "/speech-host.wav", "file:%"},
    {"silence", "silence", "null"},
    {"alsa", "alsa:default", "alsa:default"},
    {"pulse", "pulse", "pulse"},
};

// The devices the next Initialize opens; each control gets a speaker file of its own.
void UseDevices(const Devices& devices, const char* who) {
    std::string playback = devices.playback;
    if (const auto at = playback.find('%'); at != std::string::npos)
        playback.replace(at, 1, Scratch().filePath(QString::fromLatin1(who) + ".wav").toStdString());
    setenv("TAVRINO_CAPTURE", devices.capture.c_str(), 1);
    setenv("TAVRINO_PLAYBACK", playback.c_str(), 1);
}

bool Call(CTavrinoStandardCtrl& control, DispId id, const QVariantList& args = {}) {
    bool ok = false;
    const QVariant result = control.Invoke(id, args, &ok);
    return ok && result.toBool();
}

bool Online(CTavrinoStandardCtrl& control, int port) {
    return Call(control, DISPID_INITIALIZE, {port, kKey}) &&
           Call(control, DISPID_DISABLE_CRYPTOGRAPHY);
}

// Runs the event loop until `done` or `ms` have passed.
bool RunUntil(const std::function<bool()>& done, int ms) {
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// The time Disconnect + UnInitialize take, in seconds; the longest so far goes into
// `state`'s counter "max_ms", since one slow close is what an operator notices.
double GoOffline(CTavrinoStandardCtrl& control, benchmark::State* state = nullptr) {
    const auto start = std::chrono::steady_clock::now();
    control.Invoke(DISPID_DISCONNECT, {});
    control.Invoke(DISPID_UNINITIALIZE, {});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (state != nullptr) {
        benchmark::Counter& longest = state->counters["max_ms"];
        longest = std::max(static_cast<double>(longest), seconds * 1000);
    }
    return seconds;
}

void Offline(benchmark::State& state, const Devices* devices) {
    CTavrinoStandardCtrl host;
    for (auto _ : state) {
        UseDevices(*devices, "host");
        if (!Online(host, kHostPort)) {
            state.SkipWithError("the devices did not open");
            return;
        }
        RunUntil([] { return false; }, kTalkMs);
        state.SetIterationTime(GoOffline(host, &state));
    }
}

void HangUp(benchmark::State& state, const Devices* devices) {
    CTavrinoStandardCtrl host;
    CTavrinoStandardCtrl caller;
    int hostStatus = 0;
    int callerStatus = 0;
    QObject::connect(&host, &CTavrinoStandardCtrl::OnConnectionEvent,
                     [&host](const QString& ip, qint32 port, const QString&) {
                         Call(host, DISPID_ACCEPT_INCOMING_CALL, {ip, port, 20});
                     });
    QObject::connect(&host, &CTavrinoStandardCtrl::OnStatusEvent,
                     [&hostStatus](qint32 code) { hostStatus = code; });
    QObject::connect(&caller, &CTavrinoStandardCtrl::OnStatusEvent,
                     [&callerStatus](qint32 code) { callerStatus = code; });
    for (auto _ : state) {
        hostStatus = callerStatus = 0;
        UseDevices(*devices, "host");
        const bool hostOnline = Online(host, kHostPort);
        UseDevices(*devices, "caller");
        if (!hostOnline || !Online(caller, kCallerPort)) {
            state.SkipWithError("the devices did not open");
            return;
        }
        Call(caller, DISPID_CONNECT, {QStringLiteral("127.0.0.1"), kHostPort,
                                      QStringLiteral("ID=bench&Password=bench"), 20});
        if (!RunUntil([&] { return hostStatus == STATUS_CONNECTED &&
                                   callerStatus == STATUS_CONNECTED; }, 5000)) {
            state.SkipWithError("the call did not connect");
            return;
        }
        RunUntil([] { return false; }, kTalkMs);
        state.SetIterationTime(GoOffline(caller, &state));
        RunUntil([&] { return hostStatus == STATUS_REMOTE_DISCONNECTED; }, 2000);
        GoOffline(host);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    for (const Devices& devices : kDevices) {
        benchmark::RegisterBenchmark((std::string("Offline/") + devices.name).c_str(), Offline,
                                     &devices)
            ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
        benchmark::RegisterBenchmark((std::string("HangUp/") + devices.name).c_str(), HangUp,
                                     &devices)
            ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
