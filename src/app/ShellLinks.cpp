#include "ShellLinks.h"

#include "RegistrationMail.h"

namespace varnello::ShellLinks {

std::optional<QUrl> below(const QUrl &site, const QString &path)
{
    if (site.isEmpty() || !site.isValid() || site.host().isEmpty())
        return std::nullopt;
    QString base = site.toString(QUrl::FullyEncoded);
    if (!base.endsWith(u'/'))
        base.append(u'/');
    const QUrl url(base + path, QUrl::StrictMode);
    return url.isValid() ? std::optional(url) : std::nullopt;
}

std::optional<QUrl> productPage(const QUrl &makerSite)
{
    return below(makerSite, QStringLiteral("varnello"));
}

std::optional<QUrl> manual(const QUrl &makerSite)
{
    return below(makerSite, QStringLiteral("varnello/varnello-guide.pdf"));
}

std::optional<QUrl> supportGroupPage(const QString &host)
{
    if (host.isEmpty())
        return std::nullopt;
    QUrl site;
    site.setScheme(QStringLiteral("https"));
    site.setHost(host, QUrl::StrictMode);
    return below(site, QStringLiteral("g/varnello"));
}

QString supportGroupItemTitle(const QString &host)
{
    return QStringLiteral("Varnello Help via %1\u2026").arg(host);
}

QString contactSubject(const std::optional<QString> &version, const std::optional<QString> &build)
{
    const QString unknown = QStringLiteral("Unknown");
    return QStringLiteral("Contact from Varnello \u2014 v%1 (%2)")
        .arg(version.value_or(unknown), build.value_or(unknown));
}

std::optional<QUrl> contactMail(const QString &address, const std::optional<QString> &version,
                                const std::optional<QString> &build)
{
    if (address.isEmpty())
        return std::nullopt;
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(address, QUrl::StrictMode);
    url.setQuery(QStringLiteral("subject=") +
                     QString::fromLatin1(percentEncodedQueryPart(contactSubject(version, build))),
                 QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

} // namespace varnello::ShellLinks
