// SPDX-License-Identifier: GPL-3.0-or-later
// The Audio Settings dialog: microphone and speaker, a live input level, a speaker test, voice cleaning.
#pragma once

#include "AudioSettings.h"

#include <QDialog>
#include <QTimer>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class TavrinoClient;

// The help topic of the dialog, the same number in both stations' help.
inline constexpr qint32 HELP_CONTEXT_AUDIO_SETTINGS = 2018;

// Modal, opened from the stations' File menu. Outside a call the chosen microphone is
// recorded for the meter alone; during a call the meter shows the call's microphone.
// OK saves the choice and hands it to the control (the station decides when the
// control takes it up). Lives on the GUI thread.
class frmAudioSettings : public QDialog {
    Q_OBJECT
public:
    frmAudioSettings(TavrinoClient* control, bool callStands, const QString& helpFile,
                     QWidget* parent = nullptr);
    ~frmAudioSettings() override;

    // What the dialog shows now (after OK: what was saved).
    AudioSettings Choice() const;

protected:
    void done(int result) override;

private:
    void ApplyLanguage();
    void FillDevices(const AudioSettings& stored);
    void RestartInputTest();
    void UpdateLevel();
    void cmdTestSpeaker_Click();
    void cmdOK_Click();

    TavrinoClient* m_control;
    bool m_callStands;
    QTimer m_levelTimer;

    QLabel* lblMicrophone = nullptr;
    QComboBox* cboMicrophone = nullptr;
    QLabel* lblInputLevel = nullptr;
    QProgressBar* prgInputLevel = nullptr;
    QLabel* lblSpeaker = nullptr;
    QComboBox* cboSpeaker = nullptr;
    QPushButton* cmdTestSpeaker = nullptr;
    QCheckBox* chkEchoCancellation = nullptr;
    QCheckBox* chkNoiseSuppression = nullptr;
    QLabel* lblOverride = nullptr;
    QLabel* lblNote = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
};
