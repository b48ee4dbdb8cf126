#include "WindowFrame.h"

#include "ScreenFit.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <limits>

namespace varnello::WindowFrame {

QString toText(const QRect &frame)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}")
        .arg(frame.x())
        .arg(frame.y())
        .arg(frame.width())
        .arg(frame.height());
}

QRect fromText(QStringView text)
{
    static const QRegularExpression number(
        QStringLiteral("[-+]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)(?:[eE][-+]?[0-9]+)?"));
    int values[4] = {0, 0, 0, 0};
    int found = 0;
    for (auto it = number.globalMatch(text); it.hasNext() && found < 4;) {
        const double value = it.next().captured().toDouble();
        // Frames are whole pixels; absurd values would overflow the geometry.
        const double limit = 1 << 24;
        values[found++] =
            std::isfinite(value) ? int(std::lround(std::clamp(value, -limit, limit))) : 0;
    }
    return QRect(values[0], values[1], values[2], values[3]);
}

bool isNormalFrame(Qt::WindowStates state)
{
    return !(state & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized));
}

QList<QRect> connectedScreens()
{
    QList<QRect> areas;
    for (const QScreen *screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    return areas;
}

std::optional<QRect> screenShowing(const QRect &frame, const QList<QRect> &screens)
{
    std::optional<QRect> showing;
    qint64 most = 0;
    for (const QRect &screen : screens) {
        const QRect shared = screen.intersected(frame);
        const qint64 area = qint64(shared.width()) * shared.height();
        if (area > most) {
            most = area;
            showing = screen;
        }
    }
    return showing;
}

std::optional<QRect> placed(const QRect &frame, const QList<QRect> &screens, QSize minimum)
{
    const std::optional<QRect> screen = screenShowing(frame, screens);
    if (!screen)
        return std::nullopt;
    return screenfit::placedInside(frame, screenfit::clientArea(*screen), minimum);
}

} // namespace varnello::WindowFrame
