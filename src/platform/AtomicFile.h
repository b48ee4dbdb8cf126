#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <optional>

namespace varnello::AtomicFile {

// Whether a file system that cannot set the new file's mode (FAT, some network shares) fails the
// write or only leaves the mode the system gave.
enum class Mode { required, bestEffort };

// Replaces `path` whole with `bytes` through a temporary file beside it, which is renamed over the
// old file only once every byte is known to be in it. Nothing on success; otherwise the system's
// reason ("No space left on device"), the old file exactly as it was and no temporary file left.
std::optional<QString> write(const QString &path, const QByteArray &bytes,
                             QFile::Permissions permissions, Mode mode = Mode::required);

} // namespace varnello::AtomicFile
