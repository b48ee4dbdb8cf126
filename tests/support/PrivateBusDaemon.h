#pragma once

// A dbus-daemon of the test's own, so that D-Bus tests never touch the desktop's session bus.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <optional>

namespace varnello::test {

class PrivateBusDaemon {
public:
    PrivateBusDaemon() = default;
    ~PrivateBusDaemon() { stop(); }
    PrivateBusDaemon(const PrivateBusDaemon &) = delete;
    PrivateBusDaemon &operator=(const PrivateBusDaemon &) = delete;

    // The dbus-daemon program, or empty when it is not installed (the test then fails: a test
    // that skipped would let the suite pass without it).
    static QString executable();

    // Starts a session daemon and gives the address it listens on; empty when it did not start
    // or named no address within `timeoutMs`.
    QString start(const QString &program, int timeoutMs = 10000);

    void stop();

private:
    std::optional<QTemporaryDir> m_folder;
    QProcess m_process;
};

} // namespace varnello::test
