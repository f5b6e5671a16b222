// SPDX-License-Identifier: GPL-3.0-or-later
// The stations' texts for the voice control's status codes and object errors.
#pragma once

#include <QString>

// The two stations word two of the texts each from their own side.
enum class Station { Host, Remote };

// The status line of a status code in the active language; empty for a code
// outside 50..58.
QString StatusText(qint32 statusCode, Station station);

// The message box the remote shows beside the status line of a code that ends its
// call attempt for a reason the operator can act on; empty for every other code.
QString StatusBoxText(qint32 statusCode, Station station);

// The box the remote shows instead, for a code that ends an encrypted call attempt in a
// way the control tells apart (its GetSecureOutcome); empty for every other pair.
QString SecureOutcomeBoxText(qint32 statusCode, qint32 secureOutcome);

// The message of an object error in the active language; empty for a number
// that shows nothing.
QString ObjectErrorText(qint32 error, Station station);
