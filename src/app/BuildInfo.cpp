#include "BuildInfo.h"

#include "UpdateVersionFile.h"

namespace varnello::BuildInfo {

QString version()
{
    return QStringLiteral(VARNELLO_VERSION);
}

std::optional<QString> buildText()
{
    const QString text = QStringLiteral(VARNELLO_BUILD_NUMBER);
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

std::optional<qint64> buildNumber()
{
    const std::optional<QString> text = buildText();
    return text ? parseBuildNumber(*text) : std::nullopt;
}

QUrl updateSite()
{
    return QUrl(QStringLiteral(VARNELLO_UPDATE_SITE), QUrl::StrictMode);
}

QString updateTarballPath()
{
    return QStringLiteral(VARNELLO_UPDATE_TARBALL);
}

QUrl usageEndpoint()
{
    return QUrl(QStringLiteral(VARNELLO_STATS_ENDPOINT), QUrl::StrictMode);
}

QUrl makerSite()
{
    return QUrl(QStringLiteral(VARNELLO_MAKER_SITE), QUrl::StrictMode);
}

QString supportGroupHost()
{
    return QStringLiteral(VARNELLO_SUPPORT_GROUP_HOST);
}

QString contactAddress()
{
    return QStringLiteral(VARNELLO_CONTACT_ADDRESS);
}

} // namespace varnello::BuildInfo
