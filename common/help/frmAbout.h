// SPDX-License-Identifier: GPL-3.0-or-later
// The about box: program, version, the computer's own address, rights.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QFrame;
class QPushButton;

// What differs between the two stations' about boxes.
struct AboutInfo {
    QString programTitle;   // "TESSORA-H" / "TESSORA-R"
    QString modelLine;      // "VoIP Program (for Host Station)" / "(for Remote Station)"
    QString helpFile;       // the program's help file in the active language
    qint32 helpContext = 0; // 2017 host, 2014 remote
    int versionMajor = 1;
    int versionMinor = 0;
    QString programBase; // "TESSORAH" / "TESSORAR": names the icon
    // Where the address line comes from; GetLocalIPAddress when empty.
    std::function<QString()> localAddress;
    // Where the IPv6 line comes from; GetGlobalIPv6Address when empty. No line for ''.
    std::function<QString()> globalIpv6Address;
};

// The host's and the remote's about boxes.
AboutInfo HostAboutInfo(const QString& helpFile);
AboutInfo RemoteAboutInfo(const QString& helpFile);

// "Version 1.05": the minor number written with at least two digits.
QString FormatVersion(int major, int minor);

// Shown modal by the stations' Help > About. The texts, the address among
// them, are filled in each time the box is shown.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(const AboutInfo& info, QWidget* parent = nullptr);
    ~frmAbout() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ApplyLanguage();
    void ShowLocalAddress();
    void btnOk_Click();

    AboutInfo m_info;
    QLabel* imgIcon = nullptr;
    QLabel* lblModelName = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblIpAddress = nullptr;
    QLabel* lblIpv6Address = nullptr; // shown only where the computer has a global one
    QFrame* linLine = nullptr;
    QLabel* lblCopyright = nullptr;
    QLabel* lblTavrino = nullptr;
    QLabel* lblFilesFolder = nullptr; // where the station keeps its files
    QLabel* imgHalvornLogo = nullptr;
    QPushButton* btnOk = nullptr;
};
