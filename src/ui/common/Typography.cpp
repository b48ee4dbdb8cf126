#include "Typography.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace varnello {

QFont styledFont(TextStyle style, bool bold)
{
    QFont font = QApplication::font();
    const qreal base = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    qreal factor = 1.0;
    switch (style) {
    case TextStyle::title2:
        factor = 17.0 / 13.0;
        break;
    case TextStyle::title3:
        factor = 15.0 / 13.0;
        break;
    case TextStyle::callout:
        factor = 12.0 / 13.0;
        break;
    case TextStyle::caption:
        factor = 10.0 / 13.0;
        break;
    }
    font.setPointSizeF(base * factor);
    font.setBold(bold);
    return font;
}

void makeSecondary(QWidget *widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    palette.setColor(QPalette::Text, palette.color(QPalette::PlaceholderText));
    widget->setPalette(palette);
}

} // namespace varnello
