// SPDX-License-Identifier: GPL-3.0-or-later
// The host's pictures, drawn at run time: the lamps and the disabled-user mark.
#pragma once

#include <QPixmap>

// A round lamp; the receive lamp lights green, the transmit lamp red.
enum class LampColour { Receive, Transmit };
QPixmap LampPixmap(LampColour colour, bool lit);

// Small red "no entry" mark for a disabled user's row.
QPixmap DisabledUserPixmap();
