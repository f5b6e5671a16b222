// SPDX-License-Identifier: GPL-3.0-or-later
// What a station's detailed setup dialog is opened for, set by its setup window before each
// show (g_intEditMode on either station).
#pragma once

#include <QtGlobal>

enum EditMode : qint16 {
    EDIT_MODE_ADD = 1,
    EDIT_MODE_EDIT = 2,
};
