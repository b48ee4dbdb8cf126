#pragma once

#include "SettingsDocument.h"
#include "SettingsKeys.h"
#include "StoredSetting.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

namespace varnello {

// Why a Factory Reset of the settings did not take: the file, and what the system said.
struct SettingsResetFailure {
    enum class Kind { keptCopyNotRemoved, keptCopyIsFolder, settingsNotCleared };
    Kind kind = Kind::settingsNotCleared;
    QString path;
    QString reason;
    QString description() const;
    bool operator==(const SettingsResetFailure &) const = default;
};

// Why the settings could not be written: the data folder and the system's reason.
struct SettingsSaveFailure {
    QString folder;
    QString reason;
    // The one line the operator is shown: what it means for them first, then why, with the folder
    // named once and written with "~" for the home folder.
    QString description() const;
    bool operator==(const SettingsSaveFailure &) const = default;
};

// The settings file found at start could not be used, so the program began from the defaults;
// says why, and what became of that file.
struct SettingsLoadFailure {
    // What stood in the settings file's place: only a file is ever opened.
    enum class Found { file, folder, pipe, socket, device };
    QString folder;
    // The system's reason when the file could not be read at all (permissions); empty when it was
    // read but holds no settings document, or when it is no file.
    QString readError;
    // The name the file was moved to. Empty when no copy could be made: the file is then left as
    // it is, and nothing is saved this run.
    QString keptAs;
    QString copyError;
    Found found = Found::file;
    // The one line the operator is shown, in the form of SettingsSaveFailure's.
    QString description() const;
    bool operator==(const SettingsLoadFailure &) const = default;
};

// The one settings store of the process: settings.json in the data folder, loaded at creation and
// rewritten whole, atomically, at every real change. Lives on the main thread.
//
// Reads name their own default and never write. Writes of an equal value do nothing; every real
// change emits valueChanged(key) once the new value is in place and then saves. After
// factoryReset() every write is ignored until the process ends.
//
// Values that change at pointer rate (window frames, column widths) are written with
// SaveTiming::coalesced: the value is in place at once, and the document is saved once the
// changes have stopped for coalescingDelay, or at quit, whichever comes first.
//
// A save that fails (full disk, read-only folder) leaves the old file as it was and the values in
// memory complete; saveFailure() then says why, and the save is tried again every
// saveRetryInterval, and at quit, until one succeeds.
//
// A settings file that cannot be read or decoded is moved aside under a name of its own
// (settings.json.bad, settings.json.bad-2, ...) and the program starts from the defaults. When no
// copy can be made the file is left as it is and the defaults are not saved over it. Either way
// loadFailure() says so for the rest of the run.
//
// Tests: construct a store on a temporary folder (or std::nullopt for "no folder") and, where code
// under test calls shared(), install it with SharedOverride.
class AppSettingsStore final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppSettingsStore)

public:
    static constexpr QLatin1StringView fileName{"settings.json"};
    // An unreadable or undecodable settings file is moved to the first free one of these names
    // (1 is settings.json.bad, n > 1 settings.json.bad-n) before the defaults replace it.
    static QString badCopyName(int n);
    static constexpr int maximumBadCopies = 100;

    // Replaces the atomic file write of save(), so tests can watch every save (including the one
    // at load) or make one fail. Returns nothing on success, else the reason.
    using FileWriter =
        std::function<std::optional<QString>(const QString &path, const QByteArray &bytes)>;

    enum class SaveTiming { now, coalesced };
    static constexpr std::chrono::milliseconds defaultCoalescingDelay{500};
    static constexpr std::chrono::milliseconds defaultSaveRetryInterval{30000};

    // Loads settings.json from `folder` (created 0700 when missing). Without a folder the store
    // keeps its settings in memory only. An empty `writer` means the real atomic write.
    explicit AppSettingsStore(std::optional<QString> folder, FileWriter writer = {},
                              QObject *parent = nullptr);
    ~AppSettingsStore() override;

    // The process's store, created on first use on the data folder of AppPaths.
    static AppSettingsStore &shared();

    // Makes shared() return `store` while alive; restores the previous store when destroyed.
    class SharedOverride final {
    public:
        explicit SharedOverride(AppSettingsStore &store);
        ~SharedOverride();
        SharedOverride(const SharedOverride &) = delete;
        SharedOverride &operator=(const SharedOverride &) = delete;

    private:
        AppSettingsStore *m_previous;
    };

    // --- Getters: the stored payload when the key holds that case, otherwise the default.
    QString string(const QString &key, const QString &defaultValue = {}) const;
    bool boolValue(const QString &key, bool defaultValue = false) const;
    QByteArray data(const QString &key, const QByteArray &defaultValue = {}) const;
    double doubleValue(const QString &key, double defaultValue = 0.0) const;

    QString string(const StringSettingKey &key) const { return string(key.name, key.defaultValue); }
    bool boolValue(const BoolSettingKey &key) const
    {
        return boolValue(key.name, key.defaultValue);
    }
    QByteArray data(const DataSettingKey &key) const { return data(key.name); }
    double doubleValue(const DoubleSettingKey &key) const
    {
        return doubleValue(key.name, key.defaultValue);
    }
    std::optional<double> doubleValue(const OptionalDoubleSettingKey &key) const;

    // The stored value whatever its case, or nothing when absent.
    std::optional<StoredSetting> value(const QString &key) const;
    const QMap<QString, StoredSetting> &values() const { return m_values; }
    // Grows with every change of any value: a reader that remembers it can tell that nothing
    // changed since without reading a key again.
    quint64 revision() const { return m_revision; }

    // --- Setters: store the case named and save; an equal stored value makes them do nothing.
    void setString(const QString &key, const QString &value, SaveTiming timing = SaveTiming::now);
    void setBool(const QString &key, bool value);
    void setData(const QString &key, const QByteArray &value, SaveTiming timing = SaveTiming::now);
    // NaN and infinities are ignored: JSON cannot hold them, and a document holding null would be
    // rejected at the next start, losing every setting.
    void setDouble(const QString &key, double value);

    void setString(const StringSettingKey &key, const QString &value,
                   SaveTiming timing = SaveTiming::now)
    {
        setString(key.name, value, timing);
    }
    void setBool(const BoolSettingKey &key, bool value) { setBool(key.name, value); }
    void setData(const DataSettingKey &key, const QByteArray &value,
                 SaveTiming timing = SaveTiming::now)
    {
        setData(key.name, value, timing);
    }
    void setDouble(const DoubleSettingKey &key, double value) { setDouble(key.name, value); }
    void setDouble(const OptionalDoubleSettingKey &key, double value)
    {
        setDouble(key.name, value);
    }

    // Removes the key and saves; an absent key writes nothing.
    void removeValue(const QString &key);

    // How long coalesced changes wait for quiet before they are saved; tests shorten it.
    void setCoalescingDelay(std::chrono::milliseconds delay) { m_coalescingDelay = delay; }
    std::chrono::milliseconds coalescingDelay() const { return m_coalescingDelay; }
    // A coalesced change is in memory but not yet saved.
    bool hasPendingSave() const { return m_coalesceTimer.isActive(); }
    // Saves a waiting coalesced change, or values a failed save left unwritten, at once. Runs by
    // itself when the application quits.
    void flushPendingSave();

    // Why the last save failed; nothing once a save succeeded (or none was tried).
    const std::optional<SettingsSaveFailure> &saveFailure() const { return m_saveFailure; }
    // How long after a failed save the next try comes; tests shorten it.
    void setSaveRetryInterval(std::chrono::milliseconds interval)
    {
        m_saveRetryInterval = interval;
    }

    // Set when the settings file found at start could not be used; stays set for the whole run.
    const std::optional<SettingsLoadFailure> &loadFailure() const { return m_loadFailure; }

    // Clears every setting except installationID, saves, and removes the kept copies of damaged
    // files (they may hold old passwords); a kept folder only when empty, since what it holds was
    // never this program's. From then on every setter and removeValue does nothing;
    // the application is expected to quit. When the emptied document cannot be saved the file is
    // removed instead, so the next start still begins from the defaults. When neither works, or
    // a kept copy cannot be removed, the reset did not happen: the settings stay as they were,
    // writable, and the failure says why.
    std::optional<SettingsResetFailure> factoryReset();
    bool isFactoryResetInProgress() const { return m_factoryResetInProgress; }

    // Writes the whole document atomically. False when there is no folder, the settings file
    // found at start was left as it is, or the write failed; the values in memory stay, and after
    // a failed write a retry or the next change writes them.
    bool save();

    // Full path of settings.json, or nothing when running without a data folder.
    const std::optional<QString> &settingsPath() const { return m_settingsPath; }

Q_SIGNALS:
    // Emitted after a key's value changed, was added or was removed.
    void valueChanged(const QString &key);
    // saveFailure() became set, changed its reason, or cleared.
    void saveFailureChanged();

private:
    void load(const std::optional<QString> &folder);
    bool fillLoadDefaults();
    void store(const QString &key, StoredSetting value, SaveTiming timing = SaveTiming::now);
    void setSaveFailure(std::optional<SettingsSaveFailure> failure);

    QMap<QString, StoredSetting> m_values;
    quint64 m_revision = 0;
    std::optional<QString> m_settingsPath;
    bool m_factoryResetInProgress = false;
    FileWriter m_writer;
    QTimer m_coalesceTimer;
    std::chrono::milliseconds m_coalescingDelay = defaultCoalescingDelay;
    std::optional<SettingsSaveFailure> m_saveFailure;
    std::optional<SettingsLoadFailure> m_loadFailure;
    // A settings file that could not be used or moved aside is never written over.
    bool m_fileLeftAsItIs = false;
    QTimer m_retryTimer;
    std::chrono::milliseconds m_saveRetryInterval = defaultSaveRetryInterval;
};

} // namespace varnello
