// SPDX-License-Identifier: GPL-3.0-or-later
// The host's options kept in the user's own configuration ("HALVORN Corporation/
// TESSORA-H.conf" under $XDG_CONFIG_HOME): what the operator chose from the Run menu,
// and the users pinned to encrypted calls. Never in the host's stated files.
#pragma once

#include <QSet>
#include <QString>

// Run > Accept Unencrypted Calls; on by default, so older remotes keep working.
bool AcceptUnencryptedCallsOption();
void SetAcceptUnencryptedCallsOption(bool on);

// The users who once called encrypted: a stated request naming one gets no answer.
QSet<QString> PinnedUsers();
void SavePinnedUsers(const QSet<QString>& users);
