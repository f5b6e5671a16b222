// What a station adds for audio devices: the File menu item, its dialog, and the device status line.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QLabel;
class QMenu;
class QWidget;
class TavrinoClient;

// Owned by the station's window (Qt parent). Lives on the GUI thread.
class AudioSettingsMenu : public QObject {
public:
    struct Hooks {
        std::function<bool()> callStands;   // a call is up: the choice waits for the next one
        std::function<void()> applyNow;     // the devices are open but idle: reopen them (may be empty)
        std::function<QString()> helpFile;  // the station's help in the active language
    };

    // Inserts the item "mnuFileAudioSettings" into `fileMenu` before `before`.
    AudioSettingsMenu(QMenu* fileMenu, QAction* before, QWidget* window, Hooks hooks);

    // The loaded control: it is handed the stored choice at once.
    void SetControl(TavrinoClient* control);

    void ApplyLanguage();
    // Puts what happened to the devices since the last look on `statusLine`.
    void ShowNotices(QLabel* statusLine);
    void Open();

private:
    QAction* m_action;
    TavrinoClient* m_control = nullptr;
    QWidget* m_window;
    Hooks m_hooks;
};
