#pragma once

#include <QProxyStyle>
#include <QWidget>

namespace varnello::test {

// Styles a widget to learn the text it paints: what the operator sees of a label, whole or cut.
// It must outlive the widgets it styles.
struct PaintedText final : QProxyStyle {
    mutable QString text;
    void drawItemText(QPainter *painter, const QRect &rect, int flags, const QPalette &palette,
                      bool enabled, const QString &shown, QPalette::ColorRole role) const override
    {
        text = shown;
        QProxyStyle::drawItemText(painter, rect, flags, palette, enabled, shown, role);
    }
    QString of(QWidget *widget)
    {
        text.clear();
        widget->setStyle(this);
        widget->grab();
        return text;
    }
};

} // namespace varnello::test
