// SPDX-License-Identifier: GPL-3.0-or-later
// The Audio Settings dialog: microphone and speaker, a live input level, a speaker test, voice cleaning.
#include "frmAudioSettings.h"

#include "TavrinoClient.h"
#include "modAccessibility.h"
#include "modHelpConst.h"
#include "modHvnRegistry.h"
#include "modMessage.h"
#include "modStationEnvironment.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

using namespace Tavrino;

namespace {

constexpr int kLevelIntervalMs = 100;

// The combo box item whose data is `setting`; the default (first) item when none is.
int FindSetting(const QComboBox* box, const QString& setting) {
    const int index = box->findData(setting);
    return index < 0 ? 0 : index;
}

} // namespace

frmAudioSettings::frmAudioSettings(TavrinoClient* control, bool callStands, const QString& helpFile,
                                   QWidget* parent)
    : QDialog(parent), m_control(control), m_callStands(callStands) {
    setObjectName(QStringLiteral("frmAudioSettings"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    lblMicrophone = new QLabel(this);
    lblMicrophone->setObjectName(QStringLiteral("lblMicrophone"));
    cboMicrophone = new QComboBox(this);
    cboMicrophone->setObjectName(QStringLiteral("cboMicrophone"));
    lblMicrophone->setBuddy(cboMicrophone);
    lblInputLevel = new QLabel(this);
    lblInputLevel->setObjectName(QStringLiteral("lblInputLevel"));
    prgInputLevel = new QProgressBar(this);
    prgInputLevel->setObjectName(QStringLiteral("prgInputLevel"));
    prgInputLevel->setRange(0, 100);
    prgInputLevel->setTextVisible(false);
    lblSpeaker = new QLabel(this);
    lblSpeaker->setObjectName(QStringLiteral("lblSpeaker"));
    cboSpeaker = new QComboBox(this);
    cboSpeaker->setObjectName(QStringLiteral("cboSpeaker"));
    lblSpeaker->setBuddy(cboSpeaker);
    cmdTestSpeaker = new QPushButton(this);
    cmdTestSpeaker->setObjectName(QStringLiteral("cmdTestSpeaker"));
    chkEchoCancellation = new QCheckBox(this);
    chkEchoCancellation->setObjectName(QStringLiteral("chkEchoCancellation"));
    chkNoiseSuppression = new QCheckBox(this);
    chkNoiseSuppression->setObjectName(QStringLiteral("chkNoiseSuppression"));
    lblOverride = new QLabel(this);
    lblOverride->setObjectName(QStringLiteral("lblOverride"));
    lblOverride->setWordWrap(true);
    lblNote = new QLabel(this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setWordWrap(true);
    cmdOK = new QPushButton(this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto* grid = new QGridLayout;
    grid->addWidget(lblMicrophone, 0, 0);
    grid->addWidget(cboMicrophone, 0, 1, 1, 2);
    grid->addWidget(lblInputLevel, 1, 0);
    grid->addWidget(prgInputLevel, 1, 1, 1, 2);
    grid->addWidget(lblSpeaker, 2, 0);
    grid->addWidget(cboSpeaker, 2, 1);
    grid->addWidget(cmdTestSpeaker, 2, 2);
    grid->addWidget(chkEchoCancellation, 3, 1, 1, 2);
    grid->addWidget(chkNoiseSuppression, 4, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addWidget(lblOverride);
    column->addWidget(lblNote);
    column->addLayout(buttons);
    cboMicrophone->setMinimumWidth(320);

    const AudioSettings stored = AudioSettings::Load();
    FillDevices(stored);
    chkEchoCancellation->setChecked(stored.echo != 0);
    chkNoiseSuppression->setChecked(stored.noise != 0);
    chkNoiseSuppression->setEnabled(chkEchoCancellation->isChecked());
    ApplyLanguage();
    SetHelpContext(this, helpFile, HELP_CONTEXT_AUDIO_SETTINGS);

    // Noise is suppressed within the canceller: without it there is nothing to switch.
    connect(chkEchoCancellation, &QCheckBox::toggled, chkNoiseSuppression, &QWidget::setEnabled);
    connect(cboMicrophone, &QComboBox::currentIndexChanged, this, &frmAudioSettings::RestartInputTest);
    connect(cmdTestSpeaker, &QPushButton::clicked, this, &frmAudioSettings::cmdTestSpeaker_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmAudioSettings::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_levelTimer, &QTimer::timeout, this, &frmAudioSettings::UpdateLevel);
    m_levelTimer.start(kLevelIntervalMs);
    RestartInputTest();
}

frmAudioSettings::~frmAudioSettings() {
    m_control->CallVoid(DISPID_STOP_INPUT_TEST);
}

void frmAudioSettings::ApplyLanguage() {
    setWindowTitle(Tr(QStringLiteral("Audio Settings"), QStringLiteral("音声設定")));
    lblMicrophone->setText(Tr(QStringLiteral("&Microphone:"), QStringLiteral("マイク(&M)：")));
    lblInputLevel->setText(Tr(QStringLiteral("Input level:"), QStringLiteral("入力レベル：")));
    lblSpeaker->setText(Tr(QStringLiteral("&Speaker:"), QStringLiteral("スピーカー(&S)：")));
    // The labels name the boxes; these name what no label is the buddy of.
    NameForReaders(prgInputLevel, Tr(QStringLiteral("Input level"), QStringLiteral("入力レベル")));
    cboMicrophone->view()->setAccessibleName(Tr(QStringLiteral("Microphone"), QStringLiteral("マイク")));
    cboSpeaker->view()->setAccessibleName(Tr(QStringLiteral("Speaker"), QStringLiteral("スピーカー")));
    cmdTestSpeaker->setText(Tr(QStringLiteral("&Test speaker"), QStringLiteral("スピーカーのテスト(&T)")));
    chkEchoCancellation->setText(
        Tr(QStringLiteral("&Echo cancellation"), QStringLiteral("エコーキャンセル(&E)")));
    chkNoiseSuppression->setText(
        Tr(QStringLiteral("&Noise suppression"), QStringLiteral("ノイズ抑制(&N)")));
    lblNote->setText(m_callStands ? Tr(QStringLiteral("The choice takes effect at the next call."),
                                       QStringLiteral("選択は次の通話から有効になります。"))
                                  : QString());
    lblNote->setVisible(m_callStands);
    const QString override = AudioEnvironmentOverride();
    lblOverride->setText(Tr(QStringLiteral("The environment decides instead of this dialog:\n"),
                            QStringLiteral("このダイアログに代わり環境変数が優先されます：\n")) +
                         override);
    lblOverride->setVisible(!override.isEmpty());
    cmdOK->setText(Tr(QStringLiteral("OK"), QStringLiteral("OK")));
    cmdCancel->setText(Tr(QStringLiteral("Cancel"), QStringLiteral("キャンセル")));
}

void frmAudioSettings::FillDevices(const AudioSettings& stored) {
    const QString defaultText = Tr(QStringLiteral("Default device"), QStringLiteral("既定のデバイス"));
    cboMicrophone->addItem(defaultText, QString());
    cboSpeaker->addItem(defaultText, QString());
    const QString list = m_control->Invoke(DISPID_GET_AUDIO_DEVICES).toString();
    for (const QString& line : list.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() < 3)
            continue;
        QComboBox* box = fields[0] == QLatin1String("capture") ? cboMicrophone : cboSpeaker;
        box->addItem(fields[2], fields[1]);
    }
    // A stored device that is not here now stays choosable: it may be plugged in later.
    const auto keep = [](QComboBox* box, const QString& setting) {
        if (!setting.isEmpty() && box->findData(setting) < 0)
            box->addItem(setting, setting);
        box->setCurrentIndex(FindSetting(box, setting));
    };
    keep(cboMicrophone, stored.capture);
    keep(cboSpeaker, stored.playback);
}

AudioSettings frmAudioSettings::Choice() const {
    AudioSettings s;
    s.capture = cboMicrophone->currentData().toString();
    s.playback = cboSpeaker->currentData().toString();
    s.echo = chkEchoCancellation->isChecked() ? 1 : 0;
    s.noise = chkNoiseSuppression->isChecked() ? 1 : 0;
    return s;
}

void frmAudioSettings::RestartInputTest() {
    // During a call the meter shows the call's own microphone.
    if (m_callStands)
        return;
    m_control->CallBool(DISPID_START_INPUT_TEST, {cboMicrophone->currentData().toString()});
}

void frmAudioSettings::UpdateLevel() {
    prgInputLevel->setValue(m_control->CallLong(DISPID_GET_INPUT_LEVEL));
}

void frmAudioSettings::cmdTestSpeaker_Click() {
    if (!m_control->CallBool(DISPID_PLAY_TEST_TONE, {cboSpeaker->currentData().toString()}))
        ShowErrorBox(this, Tr(QStringLiteral("The speaker could not be opened."),
                              QStringLiteral("スピーカーを開けませんでした。")));
}

void frmAudioSettings::cmdOK_Click() {
    if (!Choice().Save()) {
        ShowErrorBox(this, Tr(QStringLiteral("The audio settings could not be saved:\n%1"),
                              QStringLiteral("音声設定を保存できませんでした：\n%1"))
                               .arg(AudioSettings::FilePath()));
        return;
    }
    ApplyAudioSettings(m_control, Choice());
    accept();
}

void frmAudioSettings::done(int result) {
    m_levelTimer.stop();
    m_control->CallVoid(DISPID_STOP_INPUT_TEST);
    QDialog::done(result);
}
