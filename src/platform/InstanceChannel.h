#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <memory>
#include <optional>

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
        lockFileUnusable,  // something that cannot serve as a lock is in its place
        unavailable,       // no lock can be taken here (no folder, no permission)
    };

    // What is wrong with the lock file after claim() gave `lockFileUnusable`.
    enum class LockFileProblem {
        none,
        folder,       // a folder (or a link to one) has the lock file's name
        notAFile,     // a pipe, socket or device has it
        brokenLink,   // a symbolic link to nothing, or one that loops
        noPermission, // this user may not read it
        unreadable,   // reading it fails otherwise
    };

    // Who holds the lock, as its file says; pid 0 and an empty host when it cannot be read.
    struct Holder {
        qint64 pid = 0;
        QString host;
        QString lockPath;
        bool operator==(const Holder &) const = default;
    };

    using QObject::QObject;

    // Takes the lock; a lock left behind by a copy that is no longer running is taken over.
    virtual Claim claim() = 0;
    // The copy holding the lock after claim() gave `heldByAnotherCopy`; its lockPath is also the
    // file to name when claim() gave `lockFileUnusable`.
    virtual Holder holder() const = 0;
    virtual LockFileProblem lockFileProblem() const = 0;
    // Accepts raise requests from later copies; call after claim() gave `acquired`.
    virtual bool listen() = 0;
    // Asks the copy holding the lock to show its main window. True once it confirmed; blocks for
    // at most `timeout` (this runs before any event loop).
    virtual bool requestRaise(std::chrono::milliseconds timeout) = 0;
    // The longest a copy holding the lock, set up like this one, may go unreachable while it runs
    // (its line can be taken away between two checks): a later copy keeps asking at least this
    // long.
    virtual std::chrono::milliseconds longestOutOfReach() const = 0;

Q_SIGNALS:
    // A later copy asked this one to show its main window.
    void raiseRequested();
};

// The lock is a QLockFile in the data folder; the line is a local socket in the user's runtime
// folder, named after the data folder, so that two users or two data folders never meet.
//
// A lock of this machine is stale once its process is gone. The process of a lock written on
// another machine (a restored backup, a home folder shared between computers) cannot be looked
// at from here, so the holder keeps its lock's modification time fresh while it runs, and such a
// lock left unrefreshed for foreignLockStaleAge is taken over.
//
// The holder keeps its socket reachable: a cleaner of the runtime folder may remove the socket
// file, or something else may take its name, while the server goes on listening unseen. Whatever
// sits under the socket's name is moved aside, never deleted, but for this copy's own socket and,
// found at the start, a socket nobody listens on (a crashed copy's): another program's live
// socket goes aside too. At the end the holder removes its own socket only.
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
    static constexpr std::chrono::minutes foreignLockStaleAge{10};
    // Numbered names tried first, after the socket's own, for something found in its place; past
    // them a name with the time (and a number when that is taken), so that nothing is left there.
    static constexpr int movedAsideNames = 9;

    struct Timing {
        // How often the holder touches its lock file; well inside foreignLockStaleAge.
        std::chrono::milliseconds lockRefresh = std::chrono::minutes(3);
        // How often the holder makes sure it still listens under its socket's name (a failed
        // accept closes the server; the file may go), and the longest wait between tries to
        // listen again. Later copies keep asking for at least one check.
        std::chrono::milliseconds listenCheck = std::chrono::seconds(2);
        std::chrono::milliseconds longestListenRetry = std::chrono::minutes(1);
    };

    // `runtimeFolder` empty: the user's runtime folder (or the temporary folder without one).
    explicit LocalInstanceChannel(QString dataFolder, QString runtimeFolder = {},
                                  QObject *parent = nullptr);
    ~LocalInstanceChannel() override;

    // Tests shorten the durations; takes effect at the next claim() or listen().
    void setTiming(Timing timing) { m_timing = timing; }

    Claim claim() override;
    Holder holder() const override;
    LockFileProblem lockFileProblem() const override { return m_lockFileProblem; }
    bool listen() override;
    bool requestRaise(std::chrono::milliseconds timeout) override;
    std::chrono::milliseconds longestOutOfReach() const override { return m_timing.listenCheck; }

    // The local server's full socket path for a data folder.
    static QString serverName(const QString &dataFolder, const QString &runtimeFolder);
    const QString &serverName() const { return m_serverName; }

Q_SIGNALS:
    // Something that was not this copy's socket stood under the socket's name and was renamed
    // `movedTo`.
    void socketPathMovedAside(const QString &path, const QString &movedTo);

private:
    // Which file is under a name, as lstat tells it.
    struct FileIdentity {
        quint64 device = 0;
        quint64 inode = 0;
        quint32 type = 0;
        qint64 changedNs = 0;
        bool operator==(const FileIdentity &) const = default;
    };
    static std::optional<FileIdentity> identityOf(const QString &path);

    QString lockPath() const;
    Claim startHolding();
    void refreshLock();
    bool listeningHere() const;
    bool startListening();
    bool clearSocketPath();
    bool moveAside();
    void checkListening();
    void acceptCallers();
    void serveCaller(QLocalSocket *socket);

    QString m_dataFolder;
    QString m_serverName;
    Timing m_timing;
    std::unique_ptr<QLockFile> m_lock;
    LockFileProblem m_lockFileProblem = LockFileProblem::none;
    QTimer m_refreshTimer;
    QLocalServer *m_server = nullptr;
    std::optional<FileIdentity> m_socketIdentity; // the file the server created
    QTimer m_listenTimer;
    std::chrono::milliseconds m_listenRetry{0};
};

} // namespace varnello
