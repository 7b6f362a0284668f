#pragma once

#include <QPoint>
#include <QRect>

class QWidget;

namespace zorvane {

// The main window's modeless dialogs (exposure settings, cooler, display, and every one added
// later) are tool windows of it: they stay above it, also while it is maximised, never hide
// behind it, and come back exactly where the user left them. A dialog's stored position is the
// top-left corner of its client area on the screen: unlike the outer frame's corner it does
// not depend on when the window manager's decorations become known, so a save and a restore
// give back the same place instead of creeping by the title bar's height at every start.
//
// Use: MakeToolWindow once after creating the dialog (its parent is the main window or a
// widget inside it), PlaceToolWindow before showing it when a position is stored, and store
// ToolWindowPosition whenever it moves.

// Makes the dialog a tool window of the window its parent belongs to. Call before showing it.
void MakeToolWindow(QWidget* dialog);

// Puts the dialog's client area's top-left corner at (left, top), moved just enough to keep
// the dialog on the screen's available area. Before or after it is shown; its size is kept.
void PlaceToolWindow(QWidget* dialog, int left, int top);

// The position to store for the dialog (client area's top-left on the screen).
QPoint ToolWindowPosition(const QWidget* dialog);

// The rectangle moved (and, when larger, shrunk) to lie within the available area of the
// screen it is mostly on, or of the primary screen when it is on none.
QRect KeptOnScreen(const QRect& rect);

}  // namespace zorvane
