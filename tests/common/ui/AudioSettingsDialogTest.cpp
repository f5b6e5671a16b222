// SPDX-License-Identifier: GPL-3.0-or-later
// The Audio Settings dialog against a private PulseAudio daemon: the list, the meter, the
// choice saved, reloaded and used by the next Initialize.
#include "AudioSettings.h"
#include "TavrinoClient.h"
#include "frmAudioSettings.h"
#include "modHvnRegistry.h"

#include <QComboBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QCheckBox>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

using namespace Tavrino;

namespace {

bool Cmd(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The highest meter reading over `ms`, read as the dialog shows it.
int PeakOver(QProgressBar* meter, int ms) {
    int peak = 0;
    for (int t = 0; t < ms; t += 50) {
        QTest::qWait(50);
        peak = std::max(peak, meter->value());
    }
    return peak;
}

class AudioSettingsDialog : public testing::Test {
protected:
    static void SetUpTestSuite() {
        qputenv("XDG_RUNTIME_DIR", (s_dir.path() + "/run").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (s_dir.path() + "/config").toLocal8Bit());
        for (const char* name : {"PULSE_SERVER", "TAVRINO_CAPTURE", "TAVRINO_PLAYBACK", "TAVRINO_ECHO"})
            qunsetenv(name);
        QDir().mkpath(s_dir.path() + "/run");
        QFile::setPermissions(s_dir.path() + "/run", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                          QFileDevice::ExeOwner);
        Cmd("pulseaudio", {"-D", "-n", "--exit-idle-time=-1", "--load=module-native-protocol-unix"});
        s_up = QTest::qWaitFor([] { return Cmd("pactl", {"info"}); }, 5000) &&
               Cmd("pactl", {"load-module", "module-sine-source", "source_name=sine", "frequency=440",
                             "source_properties=\"device.description='Test Tone'\""}) &&
               Cmd("pactl", {"load-module", "module-null-source", "source_name=quiet",
                             "description=\"Quiet Input\""}) &&
               Cmd("pactl", {"load-module", "module-null-sink", "sink_name=desk",
                             "sink_properties=\"device.description='Desk Speaker'\""});
    }
    static void TearDownTestSuite() { Cmd("pulseaudio", {"-k"}); }
    void SetUp() override {
        if (!s_up)
            GTEST_SKIP() << "no PulseAudio daemon could be started";
        ASSERT_TRUE(client.Load()) << client.LoadError().toStdString();
    }

    static inline QTemporaryDir s_dir;
    static inline bool s_up = false;
    TavrinoClient client;
};

TEST_F(AudioSettingsDialog, MeterListChoiceAndTheNextInitialize) {
    {
        frmAudioSettings dialog(&client, false, QString());
        dialog.show();
        auto* mic = dialog.findChild<QComboBox*>("cboMicrophone");
        auto* speaker = dialog.findChild<QComboBox*>("cboSpeaker");
        auto* meter = dialog.findChild<QProgressBar*>("prgInputLevel");
        ASSERT_TRUE(mic && speaker && meter);
        // Devices by description, each carrying its setting.
        const int tone = mic->findText("Test Tone");
        const int quiet = mic->findText("Quiet Input");
        const int desk = speaker->findText("Desk Speaker");
        ASSERT_TRUE(tone > 0 && quiet > 0 && desk > 0);
        EXPECT_EQ(mic->itemData(tone).toString(), "pulse:sine");

        // -60 dBFS reads 0 and full scale 100: the sine sits near the top, silence at 0.
        const struct { int index; int low; int high; } cases[] = {{tone, 60, 100}, {quiet, 0, 5}};
        for (const auto& c : cases) {
            mic->setCurrentIndex(c.index);
            QTest::qWait(1500); // the source's first burst passes
            const int peak = PeakOver(meter, 1500);
            EXPECT_GE(peak, c.low) << mic->currentText().toStdString();
            EXPECT_LE(peak, c.high) << mic->currentText().toStdString();
        }
        mic->setCurrentIndex(tone);
        speaker->setCurrentIndex(desk);
        dialog.findChild<QCheckBox*>("chkEchoCancellation")->setChecked(false);
        EXPECT_TRUE(client.CallBool(DISPID_PLAY_TEST_TONE, {speaker->currentData()}));
        dialog.findChild<QPushButton*>("cmdOK")->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }

    // Kept in the user's configuration, and shown again by the next dialog.
    const AudioSettings saved = AudioSettings::Load();
    EXPECT_TRUE(AudioSettings::FilePath().startsWith(s_dir.path() + "/config/"));
    EXPECT_EQ(saved.capture, "pulse:sine");
    EXPECT_EQ(saved.playback, "pulse:desk");
    EXPECT_EQ(saved.echo, 0);
    frmAudioSettings again(&client, false, QString());
    EXPECT_EQ(again.Choice().capture, "pulse:sine");
    again.reject();

    // The next Initialize records from the chosen microphone: the call's meter shows the sine.
    ASSERT_TRUE(client.CallBool(DISPID_INITIALIZE, {0, QStringLiteral("K")}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return client.CallLong(DISPID_GET_INPUT_LEVEL) >= 60; }, 4000));
    client.CallVoid(DISPID_UNINITIALIZE);
}

TEST(AudioNotices, ReadInBothLanguages) {
    const struct { const char* language; qint32 notices; const char* part; } cases[] = {
        {"English", NOTICE_CAPTURE_MISSING, "chosen microphone is missing"},
        {"English", NOTICE_SERVER_LOST | NOTICE_PLAYBACK_LOST, "sound server stopped"},
        {"Japanese", NOTICE_CAPTURE_LOST, "マイクが切断されました"},
        {"Japanese", NOTICE_NO_SERVER, "サウンドサーバーが応答しません"},
    };
    for (const auto& c : cases) {
        g_strLanguage = QString::fromLatin1(c.language);
        EXPECT_TRUE(AudioNoticeText(c.notices).contains(QString::fromUtf8(c.part))) << c.part;
    }
    g_strLanguage.clear();
    EXPECT_TRUE(AudioNoticeText(0).isEmpty());
}

} // namespace
