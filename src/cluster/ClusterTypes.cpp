#include "ClusterTypes.h"

#include <array>
#include <utility>

namespace varnello {

namespace {
constexpr std::array<std::pair<ClusterNodeType, QStringView>, 5> nodeTypeRaw{{
    {ClusterNodeType::unknown, u"unknown"},
    {ClusterNodeType::dxSpider, u"dxSpider"},
    {ClusterNodeType::ccCluster, u"ccCluster"},
    {ClusterNodeType::arCluster, u"arCluster"},
    {ClusterNodeType::other, u"other"},
}};
} // namespace

QString toRaw(ClusterNodeType type)
{
    for (const auto &[value, raw] : nodeTypeRaw)
        if (value == type)
            return raw.toString();
    return QStringLiteral("unknown");
}

std::optional<ClusterNodeType> clusterNodeTypeFromRaw(QStringView raw)
{
    for (const auto &[value, text] : nodeTypeRaw)
        if (text == raw)
            return value;
    return std::nullopt;
}

bool isUnsupported(ClusterNodeType type)
{
    return type == ClusterNodeType::arCluster || type == ClusterNodeType::other;
}

std::optional<quint16> parsePortText(QStringView text)
{
    // A sign is allowed, as in any unsigned number: "-0" is 0 (which the connection then refuses
    // as an invalid port, like "0"), while "-1" is no port at all.
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+'))
        text = text.mid(1);
    if (text.isEmpty())
        return std::nullopt;
    quint32 value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + static_cast<quint32>(c.unicode() - u'0');
        if (value > 65535)
            return std::nullopt;
    }
    if (negative && value != 0)
        return std::nullopt;
    return static_cast<quint16>(value);
}

QString nodeIdentity(const QString &host, quint16 port)
{
    return host.trimmed().toLower() + QLatin1Char(':') + QString::number(port);
}

} // namespace varnello
