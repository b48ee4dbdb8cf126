#pragma once

// Virtual screens for the offscreen platform. Call before the QApplication is created:
//
//   QTemporaryDir folder;
//   if (!useOffscreenScreens({{1280, 800}, {1366, 768}}, folder.path()))
//       return 1;
//   QApplication app(argc, argv);

#include <QList>
#include <QSize>
#include <QString>

namespace varnello::test {

// The screens side by side, left to right, tops aligned, at 96 dpi. The configuration is written
// into `folder`, which must outlive the application; false when it cannot be written.
bool useOffscreenScreens(const QList<QSize> &sizes, const QString &folder);

} // namespace varnello::test
