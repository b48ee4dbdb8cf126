#pragma once

#include "AppSettingsStore.h"
#include "PrivateFiles.h"
#include "SettingsDocument.h"

#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

namespace varnello::test {

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Permission bits of a file or folder, e.g. 0600.
inline unsigned modeOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777)
                                                                 : 0xffffffffu;
}

// Identity and modification time: a rewrite (atomic rename) changes the inode.
struct FileStamp {
    ino_t inode = 0;
    qint64 mtimeNs = 0;
    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

inline FileStamp stampOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {st.st_ino, qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// The values the store writes on its own when they are missing.
inline QMap<QString, StoredSetting> loadDefaults()
{
    return {
        {QStringLiteral("clusterHost"), StoredSetting::string(QStringLiteral("dx.ka2pbt.com"))},
        {QStringLiteral("clusterPort"), StoredSetting::string(QStringLiteral("7300"))},
        {QStringLiteral("backupClusterHost"),
         StoredSetting::string(QStringLiteral("gb7djk.dxcluster.net"))},
        {QStringLiteral("backupClusterPort"), StoredSetting::string(QStringLiteral("7300"))},
        {QStringLiteral("updateCheckFrequency"), StoredSetting::string(QStringLiteral("daily"))},
        {QStringLiteral("autoReconnectEnabled"), StoredSetting::boolean(true)},
        {QStringLiteral("backupClusterEnabled"), StoredSetting::boolean(true)},
    };
}

inline StoredSetting absent()
{
    return StoredSetting::string(QStringLiteral("<absent>"));
}

// While alive, a write that would grow a file of this process past `bytes` fails ("File too
// large") as on a full disk, without root or a small file system; SIGXFSZ would end the process.
struct FileSizeLimit {
    rlimit previous{};
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous);
        const rlimit limited{bytes, previous.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &previous); }
};

// A temporary data folder with a store on it whose saves are counted (and still written).
struct StoreFixture {
    QTemporaryDir tmp;
    QString folder = tmp.path() + QStringLiteral("/Varnello");
    QString file = folder + QStringLiteral("/settings.json");
    QList<QByteArray> saves;
    bool failWrites = false;
    // Last, so that a save at its destruction still finds the members above.
    std::unique_ptr<AppSettingsStore> store;

    AppSettingsStore &open()
    {
        store = std::make_unique<AppSettingsStore>(
            folder, [this](const QString &path, const QByteArray &bytes) {
                saves.append(bytes);
                return failWrites ? std::optional(QStringLiteral("Input/output error"))
                                  : PrivateFiles::writeAtomically(path, bytes);
            });
        return *store;
    }

    SettingsDocument onDisk() const
    {
        return SettingsDocument::decode(readAll(file)).value_or(SettingsDocument{-1, {}});
    }
};

} // namespace varnello::test
