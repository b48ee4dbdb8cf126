#include "BundledResources.h"

#include <QFile>

namespace varnello {

namespace {
BundledResources::Resolver &resolver()
{
    static BundledResources::Resolver r;
    return r;
}
} // namespace

std::optional<QString> BundledResources::url(const QString &name, const QString &ext)
{
    if (resolver())
        return resolver()(name, ext);
    const QString path = QStringLiteral(":/resources/") + name + QLatin1Char('.') + ext;
    if (!QFile::exists(path))
        return std::nullopt;
    return path;
}

void BundledResources::setResolverForTesting(Resolver r)
{
    resolver() = std::move(r);
}

} // namespace varnello
