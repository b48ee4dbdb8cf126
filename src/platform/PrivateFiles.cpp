#include "PrivateFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace varnello::PrivateFiles {

namespace {
constexpr QFile::Permissions ownerOnlyFolder =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions ownerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;
} // namespace

bool ensureFolder(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    if (info.exists())
        return false;
    const QString absolute = info.absoluteFilePath();
    const QString parent = QFileInfo(absolute).absolutePath();
    if (!QDir().mkpath(parent))
        return false;
    // Created with its final mode, so there is no moment in which others could open it.
    if (QDir().mkdir(absolute, ownerOnlyFolder))
        return true;
    return QFileInfo(absolute).isDir(); // created concurrently by someone else
}

bool writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // QSaveFile would otherwise give a new file the umask's mode (usually 0644). Returning without
    // commit() discards the temporary file and leaves the old one in place.
    if (!file.setPermissions(ownerOnlyFile))
        return false;
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

} // namespace varnello::PrivateFiles
