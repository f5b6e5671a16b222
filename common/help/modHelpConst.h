// SPDX-License-Identifier: GPL-3.0-or-later
// Opens the station's help file at its contents, its index or a window's topic.
#pragma once

#include <QString>

class QWidget;

// Help commands, with the values of the HTML Help interface.
inline constexpr qint32 HH_DISPLAY_TOC = 1;
inline constexpr qint32 HH_DISPLAY_INDEX = 2;
inline constexpr qint32 HH_HELP_CONTEXT = 15;
inline constexpr qint32 HH_CLOSE_ALL = 18;

// Help context numbers of the windows.
inline constexpr qint32 HELP_CONTEXT_MAIN = 1001;
inline constexpr qint32 HELP_CONTEXT_HOST_SETUP = 2015;
inline constexpr qint32 HELP_CONTEXT_HOST_DETAILED_SETUP = 2016;
inline constexpr qint32 HELP_CONTEXT_HOST_ABOUT = 2017;
inline constexpr qint32 HELP_CONTEXT_REMOTE_SETUP = 2012;
inline constexpr qint32 HELP_CONTEXT_REMOTE_DETAILED_SETUP = 2013;
inline constexpr qint32 HELP_CONTEXT_REMOTE_ABOUT = 2014;

// Shows the help file in the process's one help viewer:
//   HH_DISPLAY_TOC    the contents page;
//   HH_DISPLAY_INDEX  the index, with `data` as the keyword looked up;
//   HH_HELP_CONTEXT   the topic of `contextNumber`;
//   HH_CLOSE_ALL      closes the help viewer.
// Returns 1 when the viewer shows the page asked for, 0 otherwise: for any
// other command (nothing is done), for HH_CLOSE_ALL, and when the file is
// missing or unreadable or holds no such topic (the viewer then says so
// instead of showing a page). Never blocks.
qint32 ShowHelp(const QString& helpFile, qint32 command, qint32 contextNumber, const QString& data);

// The help file of a program ("TESSORAH" or "TESSORAR") in the active
// language: the program's folder + "TESSORAH(Japanese).qhc" when
// g_strLanguage is "Japanese", else "TESSORAH(English).qhc". (A Qt help
// collection; it names the "TESSORAH(Japanese).qch" beside it.)
QString HelpFilePath(const QString& programBase);

// Gives a window its help topic: F1 anywhere in it opens `contextNumber` of
// `helpFile`.
void SetHelpContext(QWidget* window, const QString& helpFile, qint32 contextNumber);
