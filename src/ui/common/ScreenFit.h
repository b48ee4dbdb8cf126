#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace varnello::screenfit {

// What a window manager's title bar and borders may add around a top-level window; kept free on
// the screen when a window's size is chosen, since the frame is only known once it is shown.
inline constexpr QSize frameAllowance{16, 48};

// The available area (the screen less its panels and docks) of the screen that shows `widget`'s
// window, or of the primary screen; empty without a screen.
QRect availableArea(const QWidget *widget);

// `wanted`, made smaller where needed so that the window and its frame fit into `available`.
QSize clampedSize(QSize wanted, const QRect &available);

// `frame` moved, not resized, so that as much of it as possible lies inside `available`; when it
// is too large, its top-left corner is kept in view.
QRect movedInside(QRect frame, const QRect &available);

// The part of `available` that a top-level window's client area may take so that its window
// manager's title bar and borders are on the screen too.
QRect clientArea(const QRect &available);

// `frame` brought wholly inside `available`: moved in, and shrunk only where it is larger, never
// below `minimum`. A window whose minimum does not fit keeps its top-left corner in view.
QRect placedInside(QRect frame, const QRect &available, QSize minimum);

// The top-left corner of a popup of `size` opened from a button at `anchor` (global rectangles):
// under the button and aligned with its left edge when that fits; moved left as far as needed to
// stay inside `available`; above the button when there is no room below it; against the bottom
// edge when there is room on neither side.
QPoint popupPosition(const QRect &anchor, QSize size, const QRect &available, int gap = 2);

// Sizes a dialog that is about to open over its parent window: `designed`, shrunk to the
// available area of the parent's screen (less the frame allowance). Its content must be able to
// scroll or shrink to that size.
void fitToScreen(QWidget *dialog, QSize designed);

// Moves a shown window whose size has changed back inside the available area of its screen.
void keepOnScreen(QWidget *window);

// Gives a top-level window `size` at its normal place: a maximised or full-screen window is made
// normal first, and the window stays wholly inside its screen.
void resizeNormalWindow(QWidget *window, QSize size);

} // namespace varnello::screenfit
