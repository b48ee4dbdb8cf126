#include "AlertColorDot.h"

#include "ColorSwatchButton.h"

#include <QPainter>

namespace varnello {

AlertColorDot::AlertColorDot(QWidget *parent) : QWidget(parent)
{
    setFixedSize(diameter, diameter);
}

void AlertColorDot::setColor(const SpotAlertColor &colour, bool highlights)
{
    if (m_colour == colour && m_highlights == highlights)
        return;
    m_colour = colour;
    m_highlights = highlights;
    update();
}

void AlertColorDot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(dotOpacity());
    painter.setPen(Qt::NoPen);
    painter.setBrush(ColorSwatchButton::displayColor(m_colour));
    painter.drawEllipse(QRectF(rect()));
}

} // namespace varnello
