#include "AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnello::AtomicFile {

namespace {

// Puts every byte into the temporary file. A write the file system takes only part of (the part
// that still fits) reports no error, so the rest is written again until a write takes nothing:
// that one carries the system's reason.
//
// Small writes only fill the file's buffer, and QSaveFile::commit() renames the temporary file
// into place even when pushing that buffer out fails (a full disk, a file size limit): the buffer
// is pushed out and checked here instead.
bool writeEverything(QFileDevice &file, const QByteArray &bytes)
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

// The six letters or digits that mkostemp() puts at the end of a temporary file's name.
constexpr int temporarySuffixLength = 6;

// What precedes them: hidden, and marked as the program's own, so that removeLeftovers() can tell
// what a replace() left from the user's "alert1.wav.backup" beside the file.
QString temporaryPrefix(const QFileInfo &target)
{
    return QLatin1Char('.') + target.fileName() + QStringLiteral(".varnello-");
}

// Each lost race with another copy's removeLeftovers() costs one fresh temporary file.
constexpr int replaceAttempts = 3;

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

class Descriptor final {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Opens `name` for reading only when it is a regular file of its own: a FIFO would block the
// open and a device could act on it.
int openRegularFile(const QByteArray &name, struct stat &opened)
{
    struct stat named {};
    if (::lstat(name.constData(), &named) != 0 || !S_ISREG(named.st_mode))
        return -1;
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

enum class Attempt { done, failed, lostRace };

// One temporary file, locked for as long as it exists under its name: the lock is what tells
// removeLeftovers() that a writer still lives.
Attempt replaceOnce(const QByteArray &target, QByteArray temporary, const QByteArray &bytes,
                    QFile::Permissions permissions, AtomicFile::Mode mode, QString &reason)
{
    const Descriptor descriptor(::mkostemp(temporary.data(), O_CLOEXEC));
    if (descriptor.get() < 0) {
        reason = qt_error_string(errno);
        return Attempt::failed;
    }
    const auto fail = [&](const QString &why) {
        ::unlink(temporary.constData());
        reason = why;
        return Attempt::failed;
    };
    // Between its creation and the lock, another copy may take it for a leftover.
    if (::flock(descriptor.get(), LOCK_EX | LOCK_NB) != 0)
        return Attempt::lostRace;
    struct stat created {};
    if (::fstat(descriptor.get(), &created) != 0)
        return fail(qt_error_string(errno));
    if (created.st_nlink == 0)
        return Attempt::lostRace;
    QFile file;
    if (!file.open(descriptor.get(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return fail(file.errorString());
    if (!file.setPermissions(permissions) && mode == AtomicFile::Mode::required)
        return fail(file.errorString());
    if (!writeEverything(file, bytes))
        return fail(file.errorString());
    if (::fdatasync(descriptor.get()) != 0 ||
        ::rename(temporary.constData(), target.constData()) != 0)
        return fail(qt_error_string(errno));
    return Attempt::done;
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

std::optional<QString> replace(const QString &path, const QByteArray &bytes,
                               QFile::Permissions permissions, Mode mode)
{
    const QByteArray target = QFile::encodeName(path);
    struct stat existing {};
    if (::lstat(target.constData(), &existing) == 0 && S_ISDIR(existing.st_mode))
        return path + QStringLiteral(" is a folder");
    const QFileInfo info(path);
    const QByteArray temporary = QFile::encodeName(info.dir().filePath(
        temporaryPrefix(info) + QString(temporarySuffixLength, QLatin1Char('X'))));
    QString reason;
    for (int attempt = 0; attempt < replaceAttempts; ++attempt) {
        switch (replaceOnce(target, temporary, bytes, permissions, mode, reason)) {
        case Attempt::done:
            return std::nullopt;
        case Attempt::failed:
            return reason;
        case Attempt::lostRace:
            break;
        }
    }
    return qt_error_string(EAGAIN);
}

bool holds(const QString &path, const QByteArray &bytes)
{
    struct stat opened {};
    const int fd = openRegularFile(QFile::encodeName(path), opened);
    if (fd < 0)
        return false;
    QFile file;
    // The size first: whatever else lies there is never read whole.
    return file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle) &&
           opened.st_size == bytes.size() && file.readAll() == bytes;
}

void removeLeftovers(const QString &path)
{
    const QFileInfo info(path);
    const QDir folder = info.dir();
    const QString prefix = temporaryPrefix(info);
    const QStringList candidates =
        folder.entryList({prefix + QString(temporarySuffixLength, QLatin1Char('?'))},
                         QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QString &entry : candidates) {
        const QStringView suffix = QStringView(entry).sliced(prefix.size());
        if (!std::all_of(suffix.begin(), suffix.end(),
                         [](QChar c) { return c.unicode() < 0x80 && c.isLetterOrNumber(); }))
            continue;
        const QByteArray name = QFile::encodeName(folder.filePath(entry));
        struct stat opened {};
        const Descriptor file(openRegularFile(name, opened));
        struct stat named {};
        // Unlocked means its writer is gone; the name is checked again in case that writer
        // finished and the name went away meanwhile.
        if (file.get() >= 0 && ::flock(file.get(), LOCK_EX | LOCK_NB) == 0 &&
            ::lstat(name.constData(), &named) == 0 && sameFile(named, opened))
            ::unlink(name.constData());
    }
}

} // namespace varnello::AtomicFile
