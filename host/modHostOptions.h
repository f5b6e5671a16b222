// SPDX-License-Identifier: GPL-3.0-or-later
// The host's options kept in the user's own configuration ("HALVORN Corporation/
// TESSORA-H.conf" under $XDG_CONFIG_HOME): what the operator chose from the Run menu,
// the users pinned to encrypted calls and their home addresses. Never in the host's
// stated files.
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// Run > Accept Unencrypted Calls; on by default, so older remotes keep working.
bool AcceptUnencryptedCallsOption();
void SetAcceptUnencryptedCallsOption(bool on);

// The users who once called encrypted: a stated request naming one gets no answer.
QSet<QString> PinnedUsers();
void SavePinnedUsers(const QSet<QString>& users);

// Per user, the networks (an IPv4 address, an IPv6 /64) from which that user confirmed
// an encrypted call: there the user's failed attempts have a budget of their own.
QHash<QString, QStringList> HomeAddresses();
void SaveHomeAddresses(const QHash<QString, QStringList>& homes);
