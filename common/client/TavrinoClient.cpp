// SPDX-License-Identifier: GPL-3.0-or-later
#include "TavrinoClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QPluginLoader>

TavrinoClient::TavrinoClient(QObject* parent) : QObject(parent) {}

TavrinoClient::~TavrinoClient() { Unload(); }

bool TavrinoClient::Load(const QString& pluginPath) {
    Unload();
    const QString path = pluginPath.isEmpty()
                             ? QDir(QCoreApplication::applicationDirPath())
                                   .filePath(QString::fromLatin1(Tavrino::kPluginFileName))
                             : pluginPath;
    // The loader stays loaded for the life of the process: unloading a module
    // whose objects may still be referenced by queued events is not safe.
    QPluginLoader loader(path);
    QObject* root = loader.instance();
    if (!root) {
        m_loadError = loader.errorString();
        return false;
    }
    auto* factory = qobject_cast<ITavrinoStandardFactory*>(root);
    if (!factory) {
        m_loadError = QStringLiteral("%1 is not a TavrinoStandard control module").arg(path);
        return false;
    }
    QObject* control = factory->CreateControl(nullptr);
    auto* dispatch = control ? qobject_cast<ITavrinoStandardDispatch*>(control) : nullptr;
    if (!dispatch) {
        delete control;
        m_loadError = QStringLiteral("the module did not create a control");
        return false;
    }
    control->setParent(this);
    m_control = control;
    m_dispatch = dispatch;
    // Late binding: the events are found by name.
    for (const char* signature : {Tavrino::kOnStatusEventSignal, Tavrino::kOnTextEventSignal,
                                  Tavrino::kOnConnectionEventSignal, Tavrino::kOnAudioNoticeSignal}) {
        // An older control lacks the signals beyond the stated three.
        if (control->metaObject()->indexOfSignal(signature) < 0)
            continue;
        const QByteArray sig = QByteArray("2") + signature; // what SIGNAL() produces
        connect(control, sig.constData(), this, sig.constData());
    }
    m_loadError.clear();
    return true;
}

void TavrinoClient::Unload() {
    m_dispatch = nullptr;
    delete m_control.data();
    m_control = nullptr;
}

QVariant TavrinoClient::Invoke(qint32 dispid, const QVariantList& args, bool* ok) {
    if (!m_dispatch) {
        if (ok)
            *ok = false;
        return {};
    }
    return m_dispatch->Invoke(dispid, args, ok);
}

bool TavrinoClient::CallBool(qint32 dispid, const QVariantList& args) {
    bool ok = false;
    const QVariant r = Invoke(dispid, args, &ok);
    return ok && r.toBool();
}

qint32 TavrinoClient::CallLong(qint32 dispid, const QVariantList& args) {
    bool ok = false;
    const QVariant r = Invoke(dispid, args, &ok);
    return ok ? r.toInt() : 0;
}

QString TavrinoClient::CallString(qint32 dispid, const QVariantList& args) {
    bool ok = false;
    const QVariant r = Invoke(dispid, args, &ok);
    return ok ? r.toString() : QString();
}

void TavrinoClient::CallVoid(qint32 dispid, const QVariantList& args) { Invoke(dispid, args); }
