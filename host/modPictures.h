// The host's pictures, drawn at run time: lamps, the disabled-user mark,
// the maker logo and the program icon.
#pragma once

#include <QIcon>
#include <QPixmap>

// A round lamp; the receive lamp lights green, the transmit lamp red.
enum class LampColour { Receive, Transmit };
QPixmap LampPixmap(LampColour colour, bool lit);

// Small red "no entry" mark for a disabled user's row.
QPixmap DisabledUserPixmap();

// The maker's word mark.
QPixmap HalvornLogoPixmap();

// The window icon of the host program.
QIcon HostProgramIcon();
