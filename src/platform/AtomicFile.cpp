#include "AtomicFile.h"

#include <QSaveFile>

namespace varnello::AtomicFile {

namespace {

// Puts every byte into the temporary file. A write the file system takes only part of (the part
// that still fits) reports no error, so the rest is written again until a write takes nothing:
// that one carries the system's reason.
//
// Small writes only fill QSaveFile's buffer, and commit() renames the temporary file into place
// even when pushing that buffer out fails (a full disk, a file size limit): the buffer is pushed
// out and checked here instead.
bool writeEverything(QSaveFile &file, const QByteArray &bytes)
{
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    for (qint64 pending = file.bytesToWrite(); pending > 0;) {
        const bool flushed = file.flush();
        const qint64 left = file.bytesToWrite();
        if (left >= pending)
            return false;
        if (!flushed)
            file.unsetError();
        pending = left;
    }
    return file.error() == QFileDevice::NoError && file.size() == bytes.size();
}

} // namespace

std::optional<QString> write(const QString &path, const QByteArray &bytes,
                             QFile::Permissions permissions, Mode mode)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // Set before the first byte: QSaveFile would give a new file the umask's mode.
    if (!file.setPermissions(permissions) && mode == Mode::required)
        return file.errorString();
    if (!writeEverything(file, bytes)) {
        const QString reason = file.errorString();
        file.cancelWriting(); // the temporary file goes with `file`
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace varnello::AtomicFile
