// SPDX-License-Identifier: GPL-3.0-or-later
// TavrinoStandardPlugin: the control module's root object; creates controls for a host.
#include "TavrinoStandardPlugin.h"

#include "CTavrinoStandardCtrl.h"

#include <memory>

TavrinoStandardPlugin::TavrinoStandardPlugin(QObject* parent) : QObject(parent) {}

QObject* TavrinoStandardPlugin::CreateControl(QObject* parent) {
    auto control = std::make_unique<CTavrinoStandardCtrl>();
    control->setParent(parent);
    return control.release(); // to the parent, or to the caller
}
