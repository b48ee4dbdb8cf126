#pragma once

#include <QString>
#include <optional>

namespace varnello::DesktopEntry {

// The program's name on the desktop: the installed entry's file name without ".desktop", its
// icon's name and the Wayland application id. The launcher and the task switcher find the
// entry of a running window through it (on X11 through the window class, the application name).
QString id();

// The desktop entry that an install put beside this executable (<prefix>/bin/varnello →
// <prefix>/share/applications/<id>.desktop), or nothing when the program runs from anywhere else,
// such as a build folder.
std::optional<QString> installedEntry(const QString &executablePath);

} // namespace varnello::DesktopEntry
