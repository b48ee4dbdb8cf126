#include "OffscreenScreens.h"

#include <QDir>
#include <QFile>
#include <QStringList>

namespace varnello::test {

bool useOffscreenScreens(const QList<QSize> &sizes, const QString &folder)
{
    QStringList screens;
    int x = 0;
    for (const QSize &size : sizes) {
        screens.append(QStringLiteral(R"({"name": "screen%1", "x": %2, "y": 0, "width": %3, )"
                                      R"("height": %4, "logicalDpi": 96, "logicalBaseDpi": 96, )"
                                      R"("dpr": 1})")
                           .arg(screens.size())
                           .arg(x)
                           .arg(size.width())
                           .arg(size.height()));
        x += size.width();
    }
    const QByteArray text = QStringLiteral(R"({"screens": [%1]})").arg(screens.join(u',')).toUtf8();
    const QString config = QDir(folder).filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush())
        return false;
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    return true;
}

} // namespace varnello::test
