#include "ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace varnello::screenfit {

QRect availableArea(const QWidget *widget)
{
    const QScreen *screen = nullptr;
    if (widget) {
        // A dialog not shown yet reports the primary screen; its parent window knows better.
        const QWidget *window =
            widget->parentWidget() ? widget->parentWidget()->window() : widget->window();
        screen = window->screen();
    }
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QSize clampedSize(QSize wanted, const QRect &available)
{
    if (available.isEmpty())
        return wanted;
    const QSize room = (available.size() - frameAllowance).expandedTo(QSize(1, 1));
    return wanted.boundedTo(room);
}

QRect movedInside(QRect frame, const QRect &available)
{
    if (available.isEmpty())
        return frame;
    if (frame.right() > available.right())
        frame.moveRight(available.right());
    if (frame.bottom() > available.bottom())
        frame.moveBottom(available.bottom());
    if (frame.left() < available.left())
        frame.moveLeft(available.left());
    if (frame.top() < available.top())
        frame.moveTop(available.top());
    return frame;
}

QRect clientArea(const QRect &available)
{
    if (available.isEmpty())
        return available;
    // Most of the allowance is the title bar at the top.
    const int side = frameAllowance.width() / 2;
    return available.adjusted(side, frameAllowance.height() - side, -side, -side);
}

QRect placedInside(QRect frame, const QRect &available, QSize minimum)
{
    if (available.isEmpty())
        return frame;
    frame.setSize(frame.size().boundedTo(available.size()).expandedTo(minimum));
    return movedInside(frame, available);
}

QPoint popupPosition(const QRect &anchor, QSize size, const QRect &available, int gap)
{
    QRect popup(QPoint(anchor.left(), anchor.bottom() + 1 + gap), size);
    if (available.isEmpty())
        return popup.topLeft();
    if (popup.bottom() > available.bottom()) {
        const int above = anchor.top() - gap - size.height();
        if (above >= available.top())
            popup.moveTop(above);
        else
            popup.moveBottom(available.bottom());
    }
    return movedInside(popup, available).topLeft();
}

void fitToScreen(QWidget *dialog, QSize designed)
{
    const QRect available = availableArea(dialog);
    dialog->resize(clampedSize(designed, available));
}

void keepOnScreen(QWidget *window)
{
    if (!window->isVisible() || !window->screen())
        return;
    const QRect frame = window->frameGeometry();
    const QRect placed = movedInside(frame, window->screen()->availableGeometry());
    if (placed != frame)
        window->move(placed.topLeft());
}

void resizeNormalWindow(QWidget *window, QSize size)
{
    // The place to come back to; while maximised the geometry is the screen's.
    const QRect normal =
        window->normalGeometry().isValid() ? window->normalGeometry() : window->geometry();
    if (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        window->showNormal();
    window->setGeometry(placedInside(QRect(normal.topLeft(), size),
                                     clientArea(availableArea(window)), window->minimumSize()));
}

} // namespace varnello::screenfit
