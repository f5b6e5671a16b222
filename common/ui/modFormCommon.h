// SPDX-License-Identifier: GPL-3.0-or-later
// Fonts and text-box behaviour that every station window sets up when it loads.
#pragma once

#include <QString>

#include <functional>

class QLineEdit;
class QWidget;

// Family name of the desktop's general user-interface font.
QString GetIconTitleFontName();

// Gives the window and every widget inside it the desktop font's family,
// keeping each widget's own size and weight.
void ApplySystemFont(QWidget* form);

// Base font of a window: 9 points, then the desktop family on every widget.
void SetFormBaseFont(QWidget* form);

// Fonts of a station's main window: 9 points, its big toggle button 16
// points bold, then the desktop family on every widget.
void SetMainFormFonts(QWidget* form, QWidget* toggle);

// Selects the whole text of the box.
void SelectAllText(QLineEdit* box);

// Fills the box with all of `text`, also when a hand-edited file gave it more
// than the box's limit: the box would cut it, and the cut text be saved.
void SetWholeText(QLineEdit* box, const QString& text);

// The box selects its whole text whenever it gains the focus.
void SelectAllOnFocus(QLineEdit* box);

// Runs `handler` when `widget` gains (or loses) the keyboard focus inside its
// window. Focus that moves only because the window itself was deactivated
// and activated again, or a menu popped up, does not count: the widget stays
// the window's focus widget then. Handlers run in the order they were added.
void OnGotFocus(QWidget* widget, std::function<void()> handler);
void OnLostFocus(QWidget* widget, std::function<void()> handler);
// Forgets the handlers of `widget`: a window whose handlers call into it drops them in its
// destructor, since the focus leaves its fields while its QWidget part is torn down.
void DropFocusHandlers(QWidget* widget);
