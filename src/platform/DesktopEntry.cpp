#include "DesktopEntry.h"

#include <QDir>
#include <QFileInfo>

namespace varnello::DesktopEntry {

QString id()
{
    return QStringLiteral(VARNELLO_DESKTOP_ID);
}

std::optional<QString> installedEntry(const QString &executablePath)
{
    const QString entry = QDir::cleanPath(QFileInfo(executablePath).absolutePath() +
                                          QStringLiteral("/" VARNELLO_APPLICATIONS_FROM_BIN "/") +
                                          id() + QStringLiteral(".desktop"));
    if (!QFileInfo(entry).isFile())
        return std::nullopt;
    return entry;
}

} // namespace varnello::DesktopEntry
