#include "UpdateVersionFile.h"

#include <QHash>
#include <QStringDecoder>
#include <limits>

namespace varnello {

QString updateErrorSentence(UpdateError error)
{
    switch (error) {
    case UpdateError::invalidResponse:
        return QStringLiteral("The update server returned an unexpected response.");
    case UpdateError::invalidVersionFile:
        return QStringLiteral("The update information could not be read.");
    case UpdateError::missingLocalBuild:
        return QStringLiteral("Varnello could not determine its own build number.");
    case UpdateError::downloadsFolderUnavailable:
        return QStringLiteral("The Downloads folder could not be accessed.");
    case UpdateError::downloadFailed:
        break;
    }
    return QStringLiteral("The update could not be downloaded.");
}

std::optional<qint64> parseBuildNumber(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        i = 1;
    }
    if (i == text.size())
        return std::nullopt;
    // Accumulate towards the negative side, which holds one more value than the positive one.
    qint64 value = 0;
    constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c - u'0';
        if (value < (lowest + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    if (value == lowest)
        return std::nullopt;
    return -value;
}

namespace {

bool isSha256Hex(QStringView text)
{
    if (text.size() != 64)
        return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F')))
            return false;
    }
    return true;
}

} // namespace

std::optional<VersionInfo> parseVersionFile(QStringView text)
{
    QHash<QString, QString> values;
    // CR, LF and each half of CR LF end a line; the empty lines this makes are skipped below.
    for (QStringView line : text.tokenize(u'\n')) {
        for (QStringView part : line.tokenize(u'\r')) {
            const QStringView trimmed = part.trimmed();
            if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
                continue;
            const qsizetype equals = trimmed.indexOf(u'=');
            if (equals < 0)
                continue;
            values.insert(trimmed.left(equals).trimmed().toString(),
                          trimmed.mid(equals + 1).trimmed().toString());
        }
    }
    const QString version = values.value(QStringLiteral("version"));
    const QString note = values.value(QStringLiteral("note"));
    const std::optional<qint64> build = parseBuildNumber(values.value(QStringLiteral("build")));
    if (!build || version.isEmpty() || note.isEmpty())
        return std::nullopt;
    VersionInfo info{*build, version, note, std::nullopt};
    const QString sha = values.value(QStringLiteral("sha256"));
    if (isSha256Hex(sha))
        info.sha256 = sha.toLower();
    return info;
}

std::variant<VersionInfo, UpdateError> decodeVersionFile(const QByteArray &body)
{
    QStringDecoder decoder(QStringConverter::Utf8);
    const QString text = decoder.decode(body);
    if (decoder.hasError())
        return UpdateError::invalidVersionFile;
    std::optional<VersionInfo> info = parseVersionFile(text);
    if (!info)
        return UpdateError::invalidVersionFile;
    return *std::move(info);
}

} // namespace varnello
