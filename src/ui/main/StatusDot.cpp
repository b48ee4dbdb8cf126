#include "StatusDot.h"

#include <QPainter>

namespace varnello {

StatusDot::StatusDot(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("statusDot"));
    setFixedSize(diameter, diameter);
}

void StatusDot::setStatusColor(StatusColor color)
{
    if (m_color == color)
        return;
    m_color = color;
    update();
}

QString StatusDot::colorName() const
{
    switch (m_color) {
    case StatusColor::green:
        return QStringLiteral("green");
    case StatusColor::orange:
        return QStringLiteral("orange");
    case StatusColor::red:
        break;
    }
    return QStringLiteral("red");
}

void StatusDot::paintEvent(QPaintEvent *)
{
    QColor fill(0xff, 0x3b, 0x30);
    if (m_color == StatusColor::green)
        fill = QColor(0x28, 0xc8, 0x40);
    else if (m_color == StatusColor::orange)
        fill = QColor(0xff, 0x9f, 0x0a);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(rect()));
}

} // namespace varnello
