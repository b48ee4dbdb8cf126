#pragma once

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace varnello::test {

// Runs `Test` on the offscreen platform showing these screens side by side, left to right, at 96
// dpi; the platform reads them from a file that must outlive the application.
template <typename Test>
int execOnOffscreenScreens(const QList<QSize> &sizes, int argc, char **argv)
{
    QTemporaryDir folder;
    QByteArray text = R"({"screens": [)";
    for (int x = 0; const QSize &size : sizes) {
        text +=
            QString::asprintf(R"(%s{"name": "screen%d", "x": %d, "y": 0, "width": %d, )"
                              R"("height": %d, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1})",
                              x ? "," : "", x, x, size.width(), size.height())
                .toUtf8();
        x += size.width();
    }
    text += "]}";
    QFile file(folder.filePath(QStringLiteral("screens.json")));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush())
        return 1;
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(file.fileName()));
    QApplication app(argc, argv);
    Test test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace varnello::test
