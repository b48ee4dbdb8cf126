#include "ModalFocus.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace varnello::modalfocus {

QWidget *blockerOf(const QWindow *window)
{
    QWidget *modal = QApplication::activeModalWidget();
    const QWindow *modalWindow = modal ? modal->windowHandle() : nullptr;
    if (!window || !modalWindow || !modal->isVisible() || window->type() == Qt::Popup)
        return nullptr;
    // The modal window's own windows (a dialog it opened) take input.
    for (const QWindow *w = window; w; w = w->transientParent()) {
        if (w == modalWindow)
            return nullptr;
    }
    if (modal->windowModality() == Qt::ApplicationModal)
        return modal;
    for (const QWindow *w = modalWindow->transientParent(); w; w = w->transientParent()) {
        if (w == window)
            return modal;
    }
    return nullptr;
}

bool isBlocked(quintptr windowId)
{
    // X reports a key to the deepest window under the pointer: a native child, such as the main
    // window's menu bar or central area, stands for its top-level window.
    const QWindowList windows = QGuiApplication::allWindows();
    const auto found = std::find_if(windows.begin(), windows.end(), [windowId](QWindow *w) {
        return w->handle() && w->winId() == windowId;
    });
    if (found == windows.end())
        return false;
    QWindow *window = *found;
    while (window->parent())
        window = window->parent();
    return blockerOf(window);
}

} // namespace varnello::modalfocus
