// SPDX-License-Identifier: GPL-3.0-or-later
// The user's choice of microphone, speaker and voice cleaning, kept in the user's own configuration.
#include "AudioSettings.h"

#include "TavrinoClient.h"
#include "modHvnRegistry.h"

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

using namespace Tavrino;

QString AudioSettings::FilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/HALVORN Corporation/TESSORA Audio.conf");
}

AudioSettings AudioSettings::Load() {
    const QSettings file(FilePath(), QSettings::IniFormat);
    AudioSettings s;
    s.capture = file.value(QStringLiteral("Microphone")).toString();
    s.playback = file.value(QStringLiteral("Speaker")).toString();
    // A damaged number reads as automatic.
    const auto readSwitch = [&file](const QString& key) {
        bool ok = false;
        const int v = file.value(key, -1).toInt(&ok);
        return ok && v >= -1 && v <= 1 ? v : -1;
    };
    s.echo = readSwitch(QStringLiteral("EchoCancellation"));
    s.noise = readSwitch(QStringLiteral("NoiseSuppression"));
    return s;
}

bool AudioSettings::Save() const {
    QSettings file(FilePath(), QSettings::IniFormat);
    file.setValue(QStringLiteral("Microphone"), capture);
    file.setValue(QStringLiteral("Speaker"), playback);
    file.setValue(QStringLiteral("EchoCancellation"), echo);
    file.setValue(QStringLiteral("NoiseSuppression"), noise);
    file.sync(); // written whole through a temporary file
    return file.status() == QSettings::NoError;
}

bool ApplyAudioSettings(TavrinoClient* control, const AudioSettings& settings) {
    bool ok = control->CallBool(DISPID_SET_AUDIO_PROCESSING, {settings.echo, settings.noise});
    if (!control->CallBool(DISPID_SET_CAPTURE_DEVICE, {settings.capture})) {
        control->CallBool(DISPID_SET_CAPTURE_DEVICE, {QString()});
        ok = false;
    }
    if (!control->CallBool(DISPID_SET_PLAYBACK_DEVICE, {settings.playback})) {
        control->CallBool(DISPID_SET_PLAYBACK_DEVICE, {QString()});
        ok = false;
    }
    return ok;
}

QString AudioNoticeText(qint32 notices) {
    struct Line {
        qint32 bit;
        const char* english;
        const char* japanese;
    };
    static const Line lines[] = {
        {NOTICE_CAPTURE_MISSING, "The chosen microphone is missing; the default microphone is used.",
         "選択したマイクが見つかりません。既定のマイクを使用します。"},
        {NOTICE_PLAYBACK_MISSING, "The chosen speaker is missing; the default speaker is used.",
         "選択したスピーカーが見つかりません。既定のスピーカーを使用します。"},
        {NOTICE_CAPTURE_LOST, "The microphone was disconnected; the default microphone is used.",
         "マイクが切断されました。既定のマイクを使用します。"},
        {NOTICE_PLAYBACK_LOST, "The speaker was disconnected; the default speaker is used.",
         "スピーカーが切断されました。既定のスピーカーを使用します。"},
        {NOTICE_SERVER_LOST, "The sound server stopped; no sound until the next call.",
         "サウンドサーバーが停止しました。次の通話まで音声はありません。"},
        {NOTICE_NO_SERVER, "No sound server answers; ALSA's default device is used.",
         "サウンドサーバーが応答しません。ALSA の既定のデバイスを使用します。"},
    };
    QStringList text;
    for (const Line& line : lines)
        if ((notices & line.bit) != 0)
            text << Tr(QString::fromUtf8(line.english), QString::fromUtf8(line.japanese));
    return text.join(QLatin1Char(' '));
}
