// SPDX-License-Identifier: GPL-3.0-or-later
// Loads the voice control TavrinoStandard from the programs' folder, as a
// station embeds it, and calls it by dispatch id. The control's three events
// come out as this object's signals, on the owner's thread.
#pragma once

#include "TavrinoStandardApi.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

// The fixed key text both stations pass to Initialize; each then calls
// DisableCryptography, so payload encryption stays off.
inline const QString kStationCryptographyKey = QStringLiteral("Granite Granite Purple Moon");

class TavrinoClient : public QObject {
    Q_OBJECT
public:
    explicit TavrinoClient(QObject* parent = nullptr);
    // Destroys the control, which uninitialises it.
    ~TavrinoClient() override;

    // Loads the module from `pluginPath`, or by default from the folder of
    // the running program, and creates one control. False with LoadError()
    // set when the module or the control cannot be had.
    bool Load(const QString& pluginPath = {});
    bool IsLoaded() const { return m_dispatch != nullptr; }
    QString LoadError() const { return m_loadError; }

    // Late-bound call. `ok` is false for a wrong id or arguments, or when no
    // control is loaded; the result is then invalid.
    QVariant Invoke(qint32 dispid, const QVariantList& args = {}, bool* ok = nullptr);
    // Convenience wrappers: FALSE / 0 / "" when the call itself fails.
    bool CallBool(qint32 dispid, const QVariantList& args = {});
    qint32 CallLong(qint32 dispid, const QVariantList& args = {});
    QString CallString(qint32 dispid, const QVariantList& args = {});
    void CallVoid(qint32 dispid, const QVariantList& args = {});

    // Destroys the control now (the destructor does the same).
    void Unload();

signals:
    void OnStatusEvent(qint32 statusCode);
    void OnTextEvent(const QString& textMsg, const QString& userData);
    void OnConnectionEvent(const QString& ip, qint32 port, const QString& userData);
    // Raised only by a control that has the signal.
    void OnAudioNotice(qint32 notices);

private:
    QPointer<QObject> m_control;
    ITavrinoStandardDispatch* m_dispatch = nullptr;
    QString m_loadError;
};
