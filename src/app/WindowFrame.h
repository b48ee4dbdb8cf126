#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <functional>
#include <optional>

namespace varnello {

// Window frames as the settings document keeps them: "{{x, y}, {w, h}}", client-area geometry
// with y counted from the top.
namespace WindowFrame {

QString toText(const QRect &frame);
// Reads the first four numbers in the text, missing ones as 0, so text without numbers gives an
// empty rectangle, which every reader rejects.
QRect fromText(QStringView text);

// The available areas of the connected screens, in order.
using Screens = std::function<QList<QRect>()>;
QList<QRect> connectedScreens();

// The first screen area the frame overlaps by any amount, or nothing.
std::optional<QRect> screenShowing(const QRect &frame, const QList<QRect> &screens);

} // namespace WindowFrame

} // namespace varnello
