#include "PrivateFiles.h"

#include "AtomicFile.h"

#include <QDir>
#include <QFileInfo>

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

std::optional<QString> writeAtomically(const QString &path, const QByteArray &bytes)
{
    return AtomicFile::write(path, bytes, ownerOnlyFile);
}

} // namespace varnello::PrivateFiles
