#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace varnello {

// What a starting copy of the program needs from the system to stay the only running copy per
// data folder: a lock held while it runs, and a line to the copy that holds it. Tests put a fake
// in its place.
class InstanceChannel : public QObject {
    Q_OBJECT

public:
    enum class Claim {
        acquired,          // this copy holds the lock until it ends
        heldByAnotherCopy, // a live copy holds it
        unavailable,       // no lock can be taken here (no folder, no permission)
    };

    using QObject::QObject;

    // Takes the lock; a lock left behind by a copy that is no longer running is taken over.
    virtual Claim claim() = 0;
    // Accepts raise requests from later copies; call after claim() gave `acquired`.
    virtual bool listen() = 0;
    // Asks the copy holding the lock to show its main window. True once it confirmed; blocks for
    // at most `timeout` (this runs before any event loop).
    virtual bool requestRaise(std::chrono::milliseconds timeout) = 0;

Q_SIGNALS:
    // A later copy asked this one to show its main window.
    void raiseRequested();
};

// The lock is a QLockFile in the data folder; the line is a local socket in the user's runtime
// folder, named after the data folder, so that two users or two data folders never meet.
class LocalInstanceChannel final : public InstanceChannel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LocalInstanceChannel)

public:
    static constexpr QLatin1StringView lockFileName{"varnello.lock"};
    // The request a later copy sends and the answer it waits for, each one line.
    static constexpr QLatin1StringView raiseRequest{"raise\n"};
    static constexpr QLatin1StringView raiseAnswer{"ok\n"};
    // A caller that sends nothing useful is dropped after this long.
    static constexpr std::chrono::milliseconds clientTimeout{2000};

    // `runtimeFolder` empty: the user's runtime folder (or the temporary folder without one).
    explicit LocalInstanceChannel(QString dataFolder, QString runtimeFolder = {},
                                  QObject *parent = nullptr);
    ~LocalInstanceChannel() override;

    Claim claim() override;
    bool listen() override;
    bool requestRaise(std::chrono::milliseconds timeout) override;

    // The local server's full socket path for a data folder.
    static QString serverName(const QString &dataFolder, const QString &runtimeFolder);
    const QString &serverName() const { return m_serverName; }

private:
    void acceptCallers();
    void serveCaller(QLocalSocket *socket);

    QString m_dataFolder;
    QString m_serverName;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};

} // namespace varnello
