#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <variant>

namespace varnello {

// What went wrong with an update check or download, each with the one sentence the alerts show.
enum class UpdateError {
    invalidResponse,
    invalidVersionFile,
    missingLocalBuild,
    downloadsFolderUnavailable,
    downloadFailed,
};

QString updateErrorSentence(UpdateError error);

// The published release, as the update site's version file describes it.
struct VersionInfo {
    qint64 build = 0;
    QString version;
    QString note;
    // Lower-case hex SHA-256 of the release tarball; without it nothing is downloaded.
    std::optional<QString> sha256;

    bool operator==(const VersionInfo &) const = default;
};

// A whole decimal integer: an optional sign and one or more ASCII digits, nothing else, within
// the 64-bit range.
std::optional<qint64> parseBuildNumber(QStringView text);

// The key=value version file. "build", "version" and "note" are required; "sha256" is taken only
// when it is 64 hexadecimal digits.
std::optional<VersionInfo> parseVersionFile(QStringView text);

// The body as fetched: it must be UTF-8 and a valid version file.
std::variant<VersionInfo, UpdateError> decodeVersionFile(const QByteArray &body);

} // namespace varnello
