#pragma once

#include <QList>
#include <QSize>
#include <QString>

namespace varnello::test {

// Before the QApplication is made: the offscreen platform shows these screens side by side, left
// to right, at 96 dpi. The configuration is written into `folder`, which must outlive the
// application; false when it cannot be written.
bool useOffscreenScreens(const QList<QSize> &sizes, const QString &folder);

} // namespace varnello::test
