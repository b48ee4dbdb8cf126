#include "AppPaths.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace varnello {

namespace {
bool g_overridden = false;
std::optional<QString> g_override;

std::optional<QString> varnelloFolderIn(QStandardPaths::StandardLocation location)
{
    const QString base = QStandardPaths::writableLocation(location);
    if (base.isEmpty())
        return std::nullopt;
    return base + QStringLiteral("/Varnello");
}
} // namespace

std::optional<QString> AppPaths::dataFolder()
{
    if (g_overridden)
        return g_override;
    return varnelloFolderIn(QStandardPaths::GenericDataLocation);
}

std::optional<QString> AppPaths::cacheFolder()
{
    return varnelloFolderIn(QStandardPaths::GenericCacheLocation);
}

bool AppPaths::ensureDataFolder()
{
    const auto folder = dataFolder();
    if (!folder)
        return false;
    QDir dir(*folder);
    if (dir.exists())
        return true;
    if (!QDir().mkpath(*folder))
        return false;
    QFile::setPermissions(*folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return true;
}

std::optional<QString> AppPaths::filePath(const QString &fileName)
{
    const auto folder = dataFolder();
    if (!folder)
        return std::nullopt;
    return *folder + QLatin1Char('/') + fileName;
}

AppPaths::Override::Override(std::optional<QString> folder)
    : m_hadPrevious(g_overridden), m_previous(g_override)
{
    g_overridden = true;
    g_override = std::move(folder);
}

AppPaths::Override::~Override()
{
    g_overridden = m_hadPrevious;
    g_override = m_previous;
}

} // namespace varnello
