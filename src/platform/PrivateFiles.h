#pragma once

#include <QByteArray>
#include <QString>

namespace varnello {

// Files that may hold passwords: readable by their owner only, and replaced whole so that a crash
// or a full disk never leaves half a file behind.
namespace PrivateFiles {

// Creates `path` (and any missing parents) when it does not exist; the folder itself gets mode
// 0700. True when the folder exists afterwards.
bool ensureFolder(const QString &path);

// Writes `bytes` to a temporary file beside `path` with mode 0600, flushes it and renames it over
// `path`. On failure the previous file is untouched and false is returned.
bool writeAtomically(const QString &path, const QByteArray &bytes);

} // namespace PrivateFiles
} // namespace varnello
