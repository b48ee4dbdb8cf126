#pragma once

#include <QIcon>
#include <QStringView>

namespace varnello {

// The icon for one of the window's symbol names ("bell", "gearshape", "sidebar.left", ...): the
// desktop theme's icon when it has one, else our own drawing. An unknown name gives a null icon.
QIcon themedIcon(QStringView name);

// The program's own icon, for its windows, the task bar and About.
QIcon applicationIcon();

// The desktop theme name a symbol maps to, or an empty string for an unknown symbol.
QString themeIconName(QStringView name);

} // namespace varnello
