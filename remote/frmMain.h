// SPDX-License-Identifier: GPL-3.0-or-later
// Main window of the remote station: choose a stored connection, call the host, show the
// outcome and the activity lamps.
#pragma once

#include "StationWindow.h"

#include <QString>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

// True once a call request was placed; cleared by every status that ends the attempt.
extern bool g_blnConnectionActive;

class frmMain : public StationWindow {
    Q_OBJECT
public:
    // The voice control comes from `controlPath`, by default from the program's folder.
    explicit frmMain(const QString& controlPath = {}, QWidget* parent = nullptr);
    ~frmMain() override;

    // Loads the control (a control that cannot be loaded is told on standard error, and
    // reported when the operator connects), the connection list, the last used connection
    // and the language. The remote works on without the control: always true.
    bool Form_Load() override;

    // Selects the first stored connection called `name` and presses Connect. False, and
    // nothing pressed, when no connection has that name.
    bool ConnectTo(const QString& name);
    // For this run only: a connection that is not pinned may fall back to an
    // unencrypted call, as "Allow unencrypted calls (older hosts)" lets it.
    void AllowUnencryptedCalls() { m_allowUnencryptedForRun = true; }

protected:
    void ApplyLanguage() override;
    void ToggleChanged(bool checked) override { chkConnect_Click(checked); }
    void TavrinoStandard_OnStatusEvent(qint32 statusCode) override;
    QString StatusBox(qint32 statusCode) const override;
    void TavrinoStandard_OnConnectionEvent(const QString& ip, qint32 port,
                                           const QString& userData) override;
    void mnuFileSetup_Click() override;
    AboutInfo StationAboutInfo() const override;
    QString CallPeerName() const override;
    void SaveStationFiles() override;

private:
    void CreateControls();
    void FillConnectionNames();
    void SetConnectionControls(bool idle);
    bool IsConnectionSelected() const;
    bool OpenConnection();

    void chkConnect_Click(bool checked);

    const QString m_controlPath;
    QGroupBox* fraConnectionSettings = nullptr;
    QLabel* lblConnectionName = nullptr;
    QComboBox* cboConnectionName = nullptr;
    QLabel* lblPortNumber = nullptr;
    QLabel* txtPortNumber = nullptr;
    QPushButton* chkConnect = nullptr;

    bool m_allowUnencryptedForRun = false;
    QString m_callingName;      // the connection of the call under way
    qint32 m_secureOutcome = 0; // how its encrypted attempt ended, read at its last status
};
