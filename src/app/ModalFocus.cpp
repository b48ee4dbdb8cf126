#include "ModalFocus.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

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

void followModalWindows(QObject *owner)
{
    // Qt drops every key sent to a window that a modal window blocks, Ctrl+Q included, and the
    // window manager activates such a window when it is clicked or a second start raises it; X
    // then keeps sending the keys there until the focus moves on.
    QObject::connect(qApp, &QGuiApplication::focusWindowChanged, owner, [](QWindow *window) {
        if (QWidget *modal = blockerOf(window)) {
            modal->raise();
            modal->activateWindow();
        }
    });
}

} // namespace varnello::modalfocus
