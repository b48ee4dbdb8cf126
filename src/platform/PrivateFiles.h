#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace varnello {

// Files that may hold passwords: readable by their owner only, and replaced whole so that a crash
// or a full disk never leaves half a file behind.
namespace PrivateFiles {

// Creates `path` (and any missing parents) when it does not exist; the folder itself gets mode
// 0700. True when the folder exists afterwards.
bool ensureFolder(const QString &path);

// Replaces `path` whole with `bytes`, mode 0600 (AtomicFile::write). Nothing on success, else the
// system's reason; the previous file is then untouched.
std::optional<QString> writeAtomically(const QString &path, const QByteArray &bytes);

} // namespace PrivateFiles
} // namespace varnello
