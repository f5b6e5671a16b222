// SPDX-License-Identifier: GPL-3.0-or-later
// TavrinoStandardPlugin: the control module's root object; creates controls for a host.
#pragma once

#include "TavrinoStandardApi.h"

#include <QObject>

// Threads: CreateControl runs on the thread that will own the control.
class TavrinoStandardPlugin : public QObject, public ITavrinoStandardFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ITavrinoStandardFactory_iid FILE "TavrinoStandard.json")
    Q_INTERFACES(ITavrinoStandardFactory)
public:
    explicit TavrinoStandardPlugin(QObject* parent = nullptr);

    // A new control, owned by `parent`, or by the caller when there is none.
    QObject* CreateControl(QObject* parent) override;
};
