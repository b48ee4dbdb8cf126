#include "AppSettingsStore.h"

#include "AppPaths.h"
#include "PrivateFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace varnello {

namespace {
AppSettingsStore *g_sharedOverride = nullptr;

using Found = SettingsLoadFailure::Found;

Found foundFor(mode_t mode)
{
    if (S_ISREG(mode))
        return Found::file;
    if (S_ISDIR(mode))
        return Found::folder;
    if (S_ISFIFO(mode))
        return Found::pipe;
    return S_ISSOCK(mode) ? Found::socket : Found::device;
}

// Reads the whole settings file. Nothing, with `error` left empty, when the file is implausibly
// large (damaged rather than unreadable); nothing, with the system's reason, when it could not be
// read at all; nothing, with `found` telling what is there, when that is no file.
std::optional<QByteArray> readSettingsFile(const QString &path, QString &error, Found &found)
{
    // Opening a pipe waits for a writer for ever, and opening a device may do anything: only a
    // file is opened, and never in a way that can block.
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        found = foundFor(info.st_mode);
        return std::nullopt;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = qt_error_string(errno);
        return std::nullopt;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        error = file.errorString();
        return std::nullopt;
    }
    if (::fstat(fd, &info) == 0 && !S_ISREG(info.st_mode)) { // swapped since the look
        found = foundFor(info.st_mode);
        return std::nullopt;
    }
    const QByteArray bytes = file.read(SettingsDocument::maximumFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return std::nullopt;
    }
    if (bytes.size() > SettingsDocument::maximumFileSize)
        return std::nullopt;
    return bytes;
}

// Something is at `path`, be it only a dangling link.
bool occupied(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Keeps a settings file this program could not use, so a hand edit or a newer program's document
// survives the defaults that are about to replace it. Takes the first free name and writes over
// nothing, so an earlier kept copy survives too. Returns the name, or nothing with the reason in
// `error` (a read-only folder, every name taken).
std::optional<QString> keepBadFile(const QString &folder, QString &error)
{
    const QString path = folder + QLatin1Char('/') + AppSettingsStore::fileName;
    for (int n = 1; n <= AppSettingsStore::maximumBadCopies; ++n) {
        const QString name = AppSettingsStore::badCopyName(n);
        const QString target = folder + QLatin1Char('/') + name;
        if (occupied(target))
            continue;
        // Not QFile::rename: where renaming fails it copies, and words the failure its own way.
        const QByteArray from = QFile::encodeName(path), to = QFile::encodeName(target);
        int result =
            ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) // a file system without it
            result = ::rename(from.constData(), to.constData());
        if (result == 0)
            return name;
        if (errno != EEXIST) { // else taken meanwhile: try the next name
            error = qt_error_string(errno);
            return std::nullopt;
        }
    }
    error = QStringLiteral("%1 to %2 are all taken")
                .arg(AppSettingsStore::badCopyName(1),
                     AppSettingsStore::badCopyName(AppSettingsStore::maximumBadCopies));
    return std::nullopt;
}

// `path` with the home folder written as "~", as the operator knows it.
QString homeRelative(const QString &path)
{
    const QString home = QDir::homePath();
    QString shown = path;
    if (home.size() > 1 && (shown == home || shown.startsWith(home + QLatin1Char('/'))))
        shown.replace(0, home.size(), QStringLiteral("~"));
    return shown;
}
} // namespace

QString SettingsResetFailure::description() const
{
    if (kind == Kind::keptCopyIsFolder)
        return QStringLiteral("The kept copy of a damaged settings file (%1) is a folder that is "
                              "not empty: move it out of the data folder, then try again.")
            .arg(path);
    const QString what =
        kind == Kind::keptCopyNotRemoved
            ? QStringLiteral("The kept copy of a damaged settings file (%1) could not be removed")
            : QStringLiteral("The settings file (%1) could not be cleared or removed");
    return what.arg(path) + (reason.isEmpty()
                                 ? QStringLiteral(".")
                                 : QStringLiteral(": ") + reason + QStringLiteral("."));
}

QString SettingsSaveFailure::description() const
{
    // The system's reason may name the file by its full path ("Existing file /home/…/settings.json
    // is not writable"); the folder is named once, at the end, so the reason keeps the file name.
    QString why = reason.isEmpty() ? QStringLiteral("Unknown error") : reason;
    if (!folder.isEmpty())
        why.replace(folder + QLatin1Char('/'), QString());
    return QStringLiteral(
               "Changes are kept until the program quits \u2014 settings cannot be saved: "
               "%1 (%2).")
        .arg(why, homeRelative(folder));
}

QString SettingsLoadFailure::description() const
{
    const QString file = AppSettingsStore::fileName;
    const bool kept = !keptAs.isEmpty();
    QString what, remedy;
    if (found != Found::file) {
        static const char *const nouns[] = {"file", "folder", "named pipe", "socket", "device"};
        const QLatin1String noun(nouns[int(found)]);
        what = QStringLiteral("%1 is a %2, not a file").arg(file, noun);
        // A folder may hold something of the operator's; the rest holds nothing at all.
        remedy = found == Found::folder ? QStringLiteral("move that folder elsewhere")
                                        : QStringLiteral("remove that %1").arg(noun);
    } else if (readError.isEmpty()) {
        what = QStringLiteral("%1 is damaged").arg(file);
    } else {
        what = QStringLiteral("%1 could not be read (%2)").arg(file, readError);
        // Only a file that could not be read is worth having back once its owner is set right.
        remedy = kept ? QStringLiteral("fix that file's owner or permissions, then, with the "
                                       "program closed, rename it back to %1")
                            .arg(file)
                      : QStringLiteral("fix its owner or permissions");
    }
    if (kept)
        what += QStringLiteral("; it is kept as %1").arg(keptAs);
    else
        what += QLatin1String(found == Found::file ? "" : ",") +
                QStringLiteral(" and no copy of it could be kept (%1), so it is left as it is")
                    .arg(copyError);
    if (!remedy.isEmpty())
        what += QStringLiteral(": ") + remedy +
                (kept ? QString() : QStringLiteral(", then restart the program"));
    return QStringLiteral("Started with the default settings%1 \u2014 %2 (%3).")
        .arg(kept ? QString() : QStringLiteral(", which will not be saved"), what,
             homeRelative(folder));
}

QString AppSettingsStore::badCopyName(int n)
{
    const QString first = fileName + QStringLiteral(".bad");
    return n <= 1 ? first : first + QLatin1Char('-') + QString::number(n);
}

AppSettingsStore::AppSettingsStore(std::optional<QString> folder, FileWriter writer,
                                   QObject *parent)
    : QObject(parent), m_writer(std::move(writer))
{
    m_coalesceTimer.setSingleShot(true);
    m_coalesceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_coalesceTimer, &QTimer::timeout, this, [this] { save(); });
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, [this] { save(); });
    // A quit right after the last drag step must not lose it.
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &AppSettingsStore::flushPendingSave);
    load(folder);
}

AppSettingsStore::~AppSettingsStore()
{
    flushPendingSave();
    if (g_sharedOverride == this)
        g_sharedOverride = nullptr;
}

AppSettingsStore &AppSettingsStore::shared()
{
    if (g_sharedOverride)
        return *g_sharedOverride;
    // Created once, thread-safely, and kept for the life of the process.
    static AppSettingsStore *const instance = new AppSettingsStore(AppPaths::dataFolder());
    return *instance;
}

AppSettingsStore::SharedOverride::SharedOverride(AppSettingsStore &store)
    : m_previous(g_sharedOverride)
{
    g_sharedOverride = &store;
}

AppSettingsStore::SharedOverride::~SharedOverride()
{
    g_sharedOverride = m_previous;
}

void AppSettingsStore::load(const std::optional<QString> &folder)
{
    if (!folder || folder->isEmpty())
        return void(fillLoadDefaults());

    // A failure here shows up as a failed read and failed saves: the program then runs on the
    // values in memory.
    PrivateFiles::ensureFolder(*folder);
    const QString path = *folder + QLatin1Char('/') + fileName;
    m_settingsPath = path;

    const bool existed = QFileInfo::exists(path);
    std::optional<SettingsDocument> document;
    QString readError;
    Found found = Found::file;
    if (const auto bytes = readSettingsFile(path, readError, found))
        document = SettingsDocument::decode(*bytes);
    if (document) {
        m_values = std::move(document->values);
    } else if (existed) {
        SettingsLoadFailure failure{QFileInfo(path).absolutePath(), readError, {}, {}, found};
        if (auto kept = keepBadFile(*folder, failure.copyError))
            failure.keptAs = std::move(*kept);
        m_fileLeftAsItIs = failure.keptAs.isEmpty();
        m_loadFailure = std::move(failure);
    }

    const bool changed = fillLoadDefaults();
    if (changed || !QFileInfo::exists(path))
        save();
}

bool AppSettingsStore::fillLoadDefaults()
{
    bool changed = false;
    const auto fill = [&](QLatin1StringView key, StoredSetting value) {
        if (!m_values.contains(key)) {
            m_values.insert(key, std::move(value));
            changed = true;
        }
    };
    using namespace SettingsKeys;
    fill(clusterHost.name, StoredSetting::string(clusterHost.defaultValue));
    fill(clusterPort.name, StoredSetting::string(clusterPort.defaultValue));
    const auto backupDefault = StoredSetting::string(backupClusterHost.defaultValue);
    const auto backup = m_values.find(backupClusterHost.name);
    if (backup != m_values.end() &&
        *backup == StoredSetting::string(SettingsDefaults::legacyBackupClusterAddress)) {
        *backup = backupDefault;
        changed = true;
    } else {
        fill(backupClusterHost.name, backupDefault);
    }
    fill(backupClusterPort.name, StoredSetting::string(backupClusterPort.defaultValue));
    fill(updateCheckFrequency.name, StoredSetting::string(updateCheckFrequency.defaultValue));
    fill(autoReconnectEnabled.name, StoredSetting::boolean(autoReconnectEnabled.defaultValue));
    fill(backupClusterEnabled.name, StoredSetting::boolean(backupClusterEnabled.defaultValue));
    return changed;
}

bool AppSettingsStore::save()
{
    // A whole-document save carries any coalesced change, and any earlier failed one, with it.
    m_coalesceTimer.stop();
    m_retryTimer.stop();
    if (!m_settingsPath || m_fileLeftAsItIs)
        return false;
    SettingsDocument document;
    document.values = m_values;
    const QByteArray bytes = document.encode();
    std::optional<QString> reason = m_writer
                                        ? m_writer(*m_settingsPath, bytes)
                                        : PrivateFiles::writeAtomically(*m_settingsPath, bytes);
    if (!reason) {
        setSaveFailure(std::nullopt);
        return true;
    }
    setSaveFailure(SettingsSaveFailure{QFileInfo(*m_settingsPath).absolutePath(), *reason});
    m_retryTimer.start(m_saveRetryInterval);
    return false;
}

void AppSettingsStore::setSaveFailure(std::optional<SettingsSaveFailure> failure)
{
    if (failure == m_saveFailure)
        return;
    m_saveFailure = std::move(failure);
    Q_EMIT saveFailureChanged();
}

std::optional<StoredSetting> AppSettingsStore::value(const QString &key) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.cend())
        return std::nullopt;
    return *it;
}

QString AppSettingsStore::string(const QString &key, const QString &defaultValue) const
{
    const auto it = m_values.constFind(key);
    return it == m_values.cend() ? defaultValue : it->stringValue().value_or(defaultValue);
}

bool AppSettingsStore::boolValue(const QString &key, bool defaultValue) const
{
    const auto it = m_values.constFind(key);
    return it == m_values.cend() ? defaultValue : it->boolValue().value_or(defaultValue);
}

QByteArray AppSettingsStore::data(const QString &key, const QByteArray &defaultValue) const
{
    const auto it = m_values.constFind(key);
    return it == m_values.cend() ? defaultValue : it->dataValue().value_or(defaultValue);
}

double AppSettingsStore::doubleValue(const QString &key, double defaultValue) const
{
    const auto it = m_values.constFind(key);
    return it == m_values.cend() ? defaultValue : it->doubleValue().value_or(defaultValue);
}

std::optional<double> AppSettingsStore::doubleValue(const OptionalDoubleSettingKey &key) const
{
    const auto it = m_values.constFind(key.name);
    return it == m_values.cend() ? std::nullopt : it->doubleValue();
}

void AppSettingsStore::flushPendingSave()
{
    if (m_coalesceTimer.isActive() || m_saveFailure)
        save();
}

void AppSettingsStore::store(const QString &key, StoredSetting value, SaveTiming timing)
{
    if (m_factoryResetInProgress)
        return;
    const auto it = m_values.constFind(key);
    if (it != m_values.cend() && *it == value)
        return;
    m_values.insert(key, std::move(value));
    ++m_revision;
    Q_EMIT valueChanged(key);
    if (timing == SaveTiming::coalesced)
        m_coalesceTimer.start(m_coalescingDelay);
    else
        save();
}

void AppSettingsStore::setString(const QString &key, const QString &value, SaveTiming timing)
{
    store(key, StoredSetting::string(value), timing);
}
void AppSettingsStore::setBool(const QString &key, bool value)
{
    store(key, StoredSetting::boolean(value));
}
void AppSettingsStore::setData(const QString &key, const QByteArray &value, SaveTiming timing)
{
    store(key, StoredSetting::data(value), timing);
}

void AppSettingsStore::setDouble(const QString &key, double value)
{
    if (!std::isfinite(value))
        return;
    store(key, StoredSetting::number(value));
}

void AppSettingsStore::removeValue(const QString &key)
{
    if (m_factoryResetInProgress)
        return;
    if (m_values.remove(key) == 0)
        return;
    ++m_revision;
    Q_EMIT valueChanged(key);
    save();
}

std::optional<SettingsResetFailure> AppSettingsStore::factoryReset()
{
    if (m_settingsPath) {
        // The kept copies go first: a reset that cannot remove them changes nothing else. A folder
        // moved aside from the settings file's place goes only when empty: what is in it was put
        // there by someone else, and is not this program's to delete.
        const QString folder = QFileInfo(*m_settingsPath).absolutePath() + QLatin1Char('/');
        QStringList copies;
        for (int n = 1; n <= maximumBadCopies; ++n) {
            const QFileInfo copy(folder + badCopyName(n));
            if (copy.isDir() && !copy.isSymLink() &&
                !QDir(copy.filePath())
                     .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System |
                              QDir::NoDotAndDotDot))
                return SettingsResetFailure{
                    SettingsResetFailure::Kind::keptCopyIsFolder, copy.filePath(), {}};
            if (occupied(copy.filePath()))
                copies.append(copy.filePath());
        }
        for (const QString &copy : std::as_const(copies)) {
            // remove() takes an empty folder as well as a file.
            if (std::remove(QFile::encodeName(copy).constData()) != 0 && errno != ENOENT)
                return SettingsResetFailure{SettingsResetFailure::Kind::keptCopyNotRemoved, copy,
                                            qt_error_string(errno)};
        }
    }

    const QString idKey = SettingsKeys::installationID.name;
    const std::optional<StoredSetting> installationID = value(idKey);
    const bool hadPendingSave = hasPendingSave();
    QMap<QString, StoredSetting> previous = std::exchange(m_values, {});
    if (installationID)
        m_values.insert(idKey, *installationID);
    if (!save() && m_settingsPath) {
        QFile file(*m_settingsPath);
        if (file.exists() && !file.remove()) {
            // The old document is still on disk and will be read at the next start: the reset
            // did not happen, so the program goes on with the settings it has.
            m_values = std::move(previous);
            if (hadPendingSave)
                m_coalesceTimer.start(m_coalescingDelay);
            return SettingsResetFailure{SettingsResetFailure::Kind::settingsNotCleared,
                                        *m_settingsPath, file.errorString()};
        }
    }
    m_factoryResetInProgress = true;
    ++m_revision;
    for (auto it = previous.cbegin(); it != previous.cend(); ++it) {
        if (it.key() != idKey)
            Q_EMIT valueChanged(it.key());
    }
    return std::nullopt;
}

} // namespace varnello
