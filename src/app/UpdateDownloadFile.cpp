#include "UpdateDownloadFile.h"

#include <QFileInfo>
#include <unistd.h>

namespace varnello {

namespace {
constexpr QFileDevice::Permissions kMode0644 = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ReadGroup | QFileDevice::ReadOther;

// True when something (a file, a directory, a dangling link) sits at `path`.
bool occupied(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}
} // namespace

UpdateDownloadFile::UpdateDownloadFile(QString finalPath, QString expectedSha256)
    : m_finalPath(std::move(finalPath)), m_expected(std::move(expectedSha256)),
      m_file(m_finalPath + QStringLiteral(".download"))
{
}

UpdateDownloadFile::~UpdateDownloadFile()
{
    if (!m_committed)
        discard();
}

bool UpdateDownloadFile::open()
{
    // A leftover may be a link planted to redirect the write: remove it and create a new file,
    // refusing to follow anything that appears in between.
    if (occupied(m_file.fileName()) && !QFile::remove(m_file.fileName())) {
        m_error = QStringLiteral("The file %1 could not be replaced.").arg(m_file.fileName());
        return false;
    }
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        !m_file.setPermissions(kMode0644)) {
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

bool UpdateDownloadFile::write(QByteArrayView slice)
{
    if (m_file.write(slice.data(), slice.size()) != slice.size()) {
        m_error = m_file.errorString();
        return false;
    }
    m_hash.addData(slice);
    return true;
}

bool UpdateDownloadFile::commit()
{
    if (!m_file.isOpen())
        return false;
    if (!m_file.flush() || ::fsync(m_file.handle()) != 0) {
        m_error = m_file.errorString();
        return false;
    }
    m_file.close();
    if (QString::fromLatin1(m_hash.result().toHex()) != m_expected) {
        m_error.clear();
        return false;
    }
    if (occupied(m_finalPath) && !QFile::remove(m_finalPath)) {
        m_error = QStringLiteral("The file %1 could not be replaced.").arg(m_finalPath);
        return false;
    }
    if (!m_file.rename(m_finalPath)) {
        m_error = m_file.errorString();
        return false;
    }
    m_committed = true;
    QFile::setPermissions(m_finalPath, kMode0644);
    return true;
}

void UpdateDownloadFile::discard()
{
    if (m_committed)
        return;
    m_file.close();
    if (occupied(m_file.fileName()))
        QFile::remove(m_file.fileName());
}

} // namespace varnello
