// SPDX-License-Identifier: GPL-3.0-or-later
// The stations' icons and the maker's logo, built into the programs.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The icon of "TESSORAH" or "TESSORAR"; a null icon for any other name.
QIcon StationIcon(const QString& programBase);

// The maker's logo at the given height, keeping its proportions.
QPixmap HalvornLogo(int height);

// A padlock, closed for an encrypted call and open for one that is not, `size` pixels
// square, drawn at run time in the palette's text colour.
QPixmap LockPixmap(bool closed, int size);
// Five bars rising to the right, `lit` (0 to 5) of them filled: a call's rating.
QPixmap RatingBarsPixmap(int lit, int size);
