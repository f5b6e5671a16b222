// SPDX-License-Identifier: GPL-3.0-or-later
// The timed message window: an exclamation icon and one message, above all windows.
#pragma once

#include <QDialog>

class QLabel;

class frmMessage : public QDialog {
    Q_OBJECT
public:
    explicit frmMessage(QWidget* parent = nullptr);

    // Shows `message` under `caption`, sized to the text and centred on the
    // screen, without blocking other windows.
    void ShowMessage(const QString& message, const QString& caption);

private:
    void SetFormFonts();

    QLabel* picIcon = nullptr;
    QLabel* lblMessage = nullptr;
};
