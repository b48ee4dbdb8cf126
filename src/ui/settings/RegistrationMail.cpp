#include "RegistrationMail.h"

#include "ClusterConnection.h"
#include "SettingsKeys.h"

namespace varnello {

QString registrationRequestMailBody(const QString &callsign)
{
    return QStringLiteral("Hi,\n\nPlease could you register my callsign, ") +
           callsign.trimmed().toUpper() + QStringLiteral(", for use on the ") +
           QString(SettingsDefaults::primaryClusterHost) +
           QStringLiteral(" DX cluster so that I can send spots using Varnello.\n\nThanks.");
}

QByteArray percentEncodedQueryPart(const QString &text)
{
    // Unreserved characters plus the sub-delimiters and ":@/?" a query may hold as they are,
    // less the three that carry meaning inside a query.
    return text.toUtf8().toPercentEncoding("!$'()*,;:@/?");
}

std::optional<QUrl> registrationRequestMailURL(const QString &callsign)
{
    const QByteArray query =
        "subject=" + percentEncodedQueryPart(QStringLiteral("Request to register for Varnello")) +
        "&body=" + percentEncodedQueryPart(registrationRequestMailBody(callsign));
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(QString(ClusterConnection::defaultNodeRegistrationAddress));
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

} // namespace varnello
