#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <optional>

namespace varnello::AtomicFile {

// Whether a file system that cannot set the new file's mode (FAT, some network shares) fails the
// write or only leaves the mode the system gave.
enum class Mode { required, bestEffort };

// Replaces `path` whole with `bytes` (a symbolic link there: the file it points to) through a
// temporary file beside it, which is renamed over the old file only once every byte is known to
// be in it. Nothing on success; otherwise the system's reason ("No space left on device"), the old
// file exactly as it was and no temporary file left.
std::optional<QString> write(const QString &path, const QByteArray &bytes,
                             QFile::Permissions permissions, Mode mode = Mode::required);

// Like write(), for a file that the program alone owns and can make again (a cache): the name
// `path` itself is replaced, so a symbolic link, a FIFO or a device there is neither followed,
// opened nor written through. A folder there is left alone and fails the write.
std::optional<QString> replace(const QString &path, const QByteArray &bytes,
                               QFile::Permissions permissions, Mode mode = Mode::required);

// Whether `path` is itself a regular file (not a link to one) holding exactly `bytes`. Opens
// nothing else, so a FIFO there cannot hold the caller up.
bool holds(const QString &path, const QByteArray &bytes);

// Removes the temporary files (".<name>.varnello-XXXXXX") that a replace() ended in mid-write
// left beside `path`. One that a running replace() is still writing stays, and so does every
// other name: "<name>.XXXXXX", which write() and older builds' replace() used, is also a name the
// user may give a copy of their own.
void removeLeftovers(const QString &path);

} // namespace varnello::AtomicFile
