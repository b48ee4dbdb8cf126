#include "CTYDatabaseError.h"

namespace varnello {

CTYDatabaseError CTYDatabaseError::unreadableFile(const QString &path)
{
    return {Kind::unreadableFile, path, 0, {}};
}

CTYDatabaseError CTYDatabaseError::malformedHeader(int line, const QString &text)
{
    return {Kind::malformedHeader, {}, line, text};
}

CTYDatabaseError CTYDatabaseError::entryWithoutPrefixes(int line, const QString &entity)
{
    return {Kind::entryWithoutPrefixes, {}, line, entity};
}

CTYDatabaseError CTYDatabaseError::emptyFile()
{
    return {Kind::emptyFile, {}, 0, {}};
}

QString CTYDatabaseError::description() const
{
    switch (kind) {
    case Kind::unreadableFile:
        return QStringLiteral("Could not read CTY.DAT at %1.").arg(path);
    case Kind::malformedHeader:
        return QStringLiteral("Malformed CTY.DAT entity header at line %1: ").arg(line) + text;
    case Kind::entryWithoutPrefixes:
        return QStringLiteral("CTY.DAT entry for ") + text +
               QStringLiteral(" has no terminating prefix list near line %1.").arg(line);
    case Kind::emptyFile:
        return QStringLiteral("CTY.DAT is empty.");
    }
    return {};
}

} // namespace varnello
