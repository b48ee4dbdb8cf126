#pragma once

#include <QDir>
#include <QString>

namespace varnello::test {

// A template for a temporary folder whose path stays short enough for a socket's address (107
// bytes at most): in the test's own runtime folder when it has one, else the temporary folder.
inline QString shortTemporaryTemplate()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return (runtime.isEmpty() ? QDir::tempPath() : runtime) + QStringLiteral("/t-XXXXXX");
}

} // namespace varnello::test
