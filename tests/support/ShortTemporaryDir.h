#pragma once

#include <QDir>
#include <QString>

namespace varnello::test {

// A template for a temporary folder whose path stays short enough for a socket's address (107
// bytes at most): in the test's own runtime folder, which ctest gives every test in a short
// folder whatever the build folder's depth; else (a test run by hand) the temporary folder.
inline QString shortTemporaryTemplate()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return (runtime.isEmpty() ? QDir::tempPath() : runtime) + QStringLiteral("/t-XXXXXX");
}

} // namespace varnello::test
