#include "OffscreenScreens.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace varnello::test {

bool useOffscreenScreens(const QList<QSize> &sizes, const QString &folder)
{
    const QString config = QDir(folder).filePath(QStringLiteral("screens.json"));
    QJsonArray screens;
    int x = 0;
    for (const QSize &size : sizes) {
        screens.append(QJsonObject{
            {"name", QStringLiteral("screen%1x%2").arg(size.width()).arg(size.height())},
            {"x", x},
            {"y", 0},
            {"width", size.width()},
            {"height", size.height()},
            {"logicalDpi", 96},
            {"logicalBaseDpi", 96},
            {"dpr", 1}});
        x += size.width();
    }
    QFile file(config);
    const QByteArray text = QJsonDocument(QJsonObject{{"screens", screens}}).toJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return false;
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    return true;
}

} // namespace varnello::test
