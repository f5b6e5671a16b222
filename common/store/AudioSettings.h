// SPDX-License-Identifier: GPL-3.0-or-later
// The user's choice of microphone, speaker and voice cleaning, kept in the user's own configuration.
#pragma once

#include <QString>

class TavrinoClient;

// Kept in "HALVORN Corporation/TESSORA Audio.conf" under the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config): a person's devices belong to the person, not to the
// station's files. Device settings as the control takes them ("" for the default);
// switches -1 automatic, 0 off, 1 on.
struct AudioSettings {
    QString capture;
    QString playback;
    int echo = -1;
    int noise = -1;

    static QString FilePath();
    static AudioSettings Load();
    bool Save() const; // false when the file cannot be written
};

// Hands the stored choice to the control for its next Initialize. False when the control
// refused a device setting (it then keeps the default).
bool ApplyAudioSettings(TavrinoClient* control, const AudioSettings& settings = AudioSettings::Load());

// The status line for the notices the control gathered (its GetAudioNotices bits), in the
// active language; empty for none.
QString AudioNoticeText(qint32 notices);
