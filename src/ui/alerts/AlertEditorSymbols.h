#pragma once

#include <QIcon>
#include <QStringView>

namespace varnello {

// The symbols of the alert editor and the Populate sheet by their design names ("magnifyingglass",
// "xmark.circle.fill", "trash", "exclamationmark.triangle", ...): the desktop theme's icon when
// there is one, else a standard icon of the style.
QIcon alertEditorSymbol(QStringView name);

} // namespace varnello
