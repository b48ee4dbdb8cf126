#pragma once

#include <QByteArrayView>
#include <QCryptographicHash>
#include <QFile>
#include <QString>

namespace varnello {

// A file being downloaded: written as "<final>.download", hashed with SHA-256 as it is written,
// and put under its final name only when the whole file has the expected hash. Whatever goes
// wrong, nothing half-written or unverified ever carries the final name.
class UpdateDownloadFile final {
public:
    // `expectedSha256` is lower-case hex.
    UpdateDownloadFile(QString finalPath, QString expectedSha256);
    ~UpdateDownloadFile(); // discards an uncommitted file
    UpdateDownloadFile(const UpdateDownloadFile &) = delete;
    UpdateDownloadFile &operator=(const UpdateDownloadFile &) = delete;

    // Replaces any leftover temporary file and opens a new one (mode 0644).
    bool open();
    bool write(QByteArrayView slice);
    // Checks the hash and renames the file to its final name, replacing an older file there.
    // False when the hash differs (errorString() then empty) or the file system refused.
    bool commit();
    // Removes the temporary file.
    void discard();

    QString finalPath() const { return m_finalPath; }
    QString partialPath() const { return m_file.fileName(); }
    // The file system's sentence for the last failure, or empty.
    QString errorString() const { return m_error; }

private:
    QString m_finalPath;
    QString m_expected;
    QFile m_file;
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
    QString m_error;
    bool m_committed = false;
};

} // namespace varnello
