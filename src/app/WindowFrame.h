#pragma once

#include <QList>
#include <QRect>
#include <QSize>
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

// A maximised, full-screen or minimised window's geometry is the screen's or the window manager's,
// not a frame to come back to.
bool isNormalFrame(Qt::WindowStates state);

// The available areas of the connected screens, in order.
using Screens = std::function<QList<QRect>()>;
QList<QRect> connectedScreens();

// The screen area the frame overlaps most (the first of equals), or nothing when it overlaps none.
std::optional<QRect> screenShowing(const QRect &frame, const QList<QRect> &screens);

// Where a saved frame opens: wholly inside the screen area it overlaps most, leaving room for the
// window manager's frame; moved in first and shrunk only when larger, never below `minimum`.
// Nothing when it overlaps no screen: a monitor that is gone.
std::optional<QRect> placed(const QRect &frame, const QList<QRect> &screens, QSize minimum);

} // namespace WindowFrame

} // namespace varnello
