// SPDX-License-Identifier: GPL-3.0-or-later
// Every environment variable the station programs read, in one place: what a script, a
// test or the desktop session decides for a run instead of the operator's settings.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// TAVRINO_CAPTURE, TAVRINO_PLAYBACK and TAVRINO_ECHO, which the voice control obeys before
// the audio settings dialog, as "NAME=value" lines; empty when none is set.
QString AudioEnvironmentOverride();

// TAVRINO_BIND_ADDRESS, the address the voice control binds, trimmed; empty for every
// address.
QByteArray BindAddressFromEnvironment();

// TESSORA_UPNP=off (or 0, no, false) keeps the host from talking to the router whatever
// the operator chose: for hosts whose network forbids it and for tests, which must not
// search the real network for a router.
bool RouterPortAllowedByEnvironment();

// TESSORA_UPNP_CHECK_SECONDS, the router check period in seconds when it is a positive
// number; else 0, the mapper's own period.
int RouterCheckSecondsFromEnvironment();

// XDG_CONFIG_DIRS: the folders of the machine-wide settings, most important first;
// /etc/xdg when none is named.
QStringList SystemConfigFolders();

// DBUS_SESSION_BUS_ADDRESS is set: there is a desktop session bus to ask.
bool SessionBusNamed();
