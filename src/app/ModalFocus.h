#pragma once

class QObject;
class QWidget;
class QWindow;

namespace varnello::modalfocus {

// The modal window that holds back input to `window`: a sheet or alert over it, or a dialog
// modal to the whole program. Null when nothing does.
QWidget *blockerOf(const QWindow *window);

// While `owner` lives, a window that takes the focus while a modal window holds back its input
// hands the focus on to that modal window.
void followModalWindows(QObject *owner);

} // namespace varnello::modalfocus
