#pragma once

#include <QtGlobal>

class QWidget;
class QWindow;

namespace varnello::modalfocus {

// The modal window that holds back input to `window`: a sheet or alert over it, or a dialog
// modal to the whole program. Null when nothing does.
QWidget *blockerOf(const QWindow *window);

// Whether a modal window holds back the input of the program's window with this native id, or
// of the window that holds it.
bool isBlocked(quintptr windowId);

} // namespace varnello::modalfocus
