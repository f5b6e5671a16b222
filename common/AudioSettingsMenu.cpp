// What a station adds for audio devices: the File menu item, its dialog, and the device status line.
#include "AudioSettingsMenu.h"

#include "AudioSettings.h"
#include "TavrinoClient.h"
#include "frmAudioSettings.h"
#include "modConsoleLog.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QWidget>

AudioSettingsMenu::AudioSettingsMenu(QMenu* fileMenu, QAction* before, QWidget* window, Hooks hooks)
    : QObject(window), m_action(new QAction(window)), m_window(window), m_hooks(std::move(hooks)) {
    m_action->setObjectName(QStringLiteral("mnuFileAudioSettings"));
    fileMenu->insertAction(before, m_action);
    connect(m_action, &QAction::triggered, this, &AudioSettingsMenu::Open);
}

void AudioSettingsMenu::SetControl(TavrinoClient* control) {
    m_control = control;
    if (m_control != nullptr && m_control->IsLoaded())
        ApplyAudioSettings(m_control);
}

void AudioSettingsMenu::ApplyLanguage() {
    m_action->setText(frmAudioSettings::MenuText());
}

void AudioSettingsMenu::ShowNotices(QLabel* statusLine) {
    if (m_control == nullptr)
        return;
    const qint32 notices = m_control->CallLong(Tavrino::DISPID_GET_AUDIO_NOTICES);
    const QString text = AudioNoticeText(notices);
    if (text.isEmpty())
        return;
    statusLine->setText(text);
    ConsoleLog(QStringLiteral("audio: %1").arg(text));
}

void AudioSettingsMenu::Open() {
    if (m_control == nullptr)
        return;
    const bool callStands = m_hooks.callStands && m_hooks.callStands();
    frmAudioSettings dialog(m_control, callStands, m_hooks.helpFile ? m_hooks.helpFile() : QString(),
                            m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!callStands && m_hooks.applyNow)
        m_hooks.applyNow();
}
