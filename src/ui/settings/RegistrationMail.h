#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace varnello {

// The e-mail asking the default node to register the operator's callsign, as a mailto: link for
// the user's mail program. Pure: reads no settings and sends nothing.
QString registrationRequestMailBody(const QString &callsign);
// Nothing when no valid link can be formed.
std::optional<QUrl> registrationRequestMailURL(const QString &callsign);

// A query name or value percent-encoded by RFC 3986 for a query component, with "&", "=" and
// "+" encoded as well so that they cannot split or alter the query.
QByteArray percentEncodedQueryPart(const QString &text);

} // namespace varnello
