// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader says about the stations' windows where Qt finds nothing to say by
// itself: the pictures, and the lists and meters that no caption of theirs names. Every text
// is in the active language, set when the window applies its language.
#pragma once

#include <QString>

class QWidget;

// A picture that tells something: what it is and what it shows now. Screen readers hear
// a change of the description.
void DescribePicture(QWidget* picture, const QString& name, const QString& description);

// Names a widget whose own caption is a tool tip or a label that is not its buddy; a combo
// box's list of choices gets the same name.
void NameForReaders(QWidget* widget, const QString& name);

// An activity lamp: its lit and its dark picture (one shows at a time) both carry the lamp's
// name and its state, "Receiving" or "Not receiving", "Sending" or "Not sending".
enum class Lamp { Receive, Transmit };
void DescribeLamp(Lamp lamp, QWidget* lit, QWidget* dark, bool on);

// The maker's logo (imgHalvornLogo), and a station's icon (imgIcon) with its program line.
void DescribeLogo(QWidget* logo);
void DescribeStationIcon(QWidget* icon, const QString& programTitle, const QString& modelLine);
