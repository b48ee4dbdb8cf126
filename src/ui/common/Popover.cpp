#include "Popover.h"

#include "ScreenFit.h"

#include <QPainter>

namespace varnello {

Popover::Popover(QWidget *parent) : QDialog(parent, Qt::Popup | Qt::FramelessWindowHint)
{
    // Opaque: a desktop without a compositor would show black where a drop shadow fades out, so
    // the shadow is drawn inside the popover's own edge.
    setAutoFillBackground(false);
}

void Popover::showFrom(const QWidget *anchor)
{
    adjustSize();
    if (anchor) {
        const QRect button(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
        move(screenfit::popupPosition(button, size(), screenfit::availableArea(anchor)));
    }
    show();
}

void Popover::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area = rect();
    const QPalette &colours = palette();
    painter.fillRect(area, colours.color(QPalette::Window));
    // The shadow: a band along the bottom and right edges that fades towards the inside.
    QColor shade = colours.color(QPalette::Shadow);
    for (int i = 0; i < edge - 1; ++i) {
        shade.setAlpha(120 - i * 40);
        painter.setPen(shade);
        painter.drawLine(area.left() + 1 + i, area.bottom() - i, area.right() - i,
                         area.bottom() - i);
        painter.drawLine(area.right() - i, area.top() + 1 + i, area.right() - i, area.bottom() - i);
    }
    // The frame.
    QColor line = colours.color(QPalette::Shadow);
    line.setAlpha(150);
    painter.setPen(line);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
}

} // namespace varnello
