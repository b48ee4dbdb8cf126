#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace varnello {

// What this build knows about itself and about the maker's services, fixed when it was
// configured. An empty service means the build has none: what needs it says so or stays off.
namespace BuildInfo {

// The version shown to the user ("0.1.0").
QString version();
// The build number as written at configure time, or nothing when the build has none.
std::optional<QString> buildText();
// The build number as an integer, or nothing when there is none or it is not a number.
std::optional<qint64> buildNumber();

// Root of the update site, or an empty URL.
QUrl updateSite();
// Path of the release tarball below the update site, or empty.
QString updateTarballPath();
// The usage ping's address, or an empty URL.
QUrl usageEndpoint();
// Root of the maker's web site, or an empty URL.
QUrl makerSite();
// Host name of the support group's site, or empty.
QString supportGroupHost();
// The author's e-mail address, or empty.
QString contactAddress();

} // namespace BuildInfo

} // namespace varnello
