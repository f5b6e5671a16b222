// SPDX-License-Identifier: GPL-3.0-or-later
// A part of a station window made as the named child of another, as tests, help contexts
// and screen readers find the parts by their object names.
#pragma once

#include <QObject>
#include <QString>

#include <utility>

// A new T(args..., parent), owned by `parent`, named `name`.
template <typename T, typename Parent, typename... Args>
T* NewNamed(Parent* parent, const char* name, Args&&... args) {
    auto* child = new T(std::forward<Args>(args)..., parent);
    child->setObjectName(QString::fromLatin1(name));
    return child;
}
