#pragma once

#include "CTYDatabase.h"
#include "CTYFileManagerErrors.h"
#include "Clock.h"
#include "HttpClient.h"
#include "LoTWActivityLookup.h"

#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QUrl>
#include <chrono>
#include <functional>
#include <optional>

namespace varnello {

// Owns the two reference data files: the country file (cty_wt.dat) and the LoTW user-activity
// list, each built in and, once downloaded, kept in the data folder (the download wins).
// Lives on the main thread for the whole run; every operation is called there.
//
// Subscribers of the country database (the cluster connection) connect to `databaseChanged`
// and read `database()`: it is emitted after every replacement (start-up load, update, return
// to the built-in copy). The database is an immutable, cheaply copied value.
//
// Asynchronous operations report through an optional completion that always runs later on the
// main thread, also when the call returns at once because the same operation is already running.
// A download is held in memory, tested in full and only then written, atomically, over the
// previous copy: a bad download never replaces a good file.
class CTYFileManager final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTYFileManager)

public:
    enum class CountryFileSource { downloaded, bundled, unavailable };
    enum class LoTWFileSource { downloaded, bundled, unavailable };

    // Where the files come from; tests point these at a local stub.
    struct Endpoints {
        QUrl countryFile;  // .../cty/cty_wt.dat
        QUrl releaseFeed;  // .../feed/
        QUrl lotwActivity; // .../lotw-user-activity.csv

        static Endpoints standard();
        // The fixed paths below the two hosts' base addresses ("https://host[:port]").
        static Endpoints withBases(const QUrl &countryFilePublisher, const QUrl &lotwService);
    };

    struct Timeouts {
        std::chrono::milliseconds releaseFeed{std::chrono::seconds(15)};
        std::chrono::milliseconds countryFile{std::chrono::seconds(30)};
        std::chrono::milliseconds lotwList{std::chrono::seconds(60)};
    };

    // Largest bodies accepted; a server or captive portal that sends more is cut off.
    static constexpr qint64 kReleaseFeedMaxBytes = 4LL * 1024 * 1024;
    static constexpr qint64 kCountryFileMaxBytes = 16LL * 1024 * 1024;
    static constexpr qint64 kLoTWListMaxBytes = 64LL * 1024 * 1024;

    // A downloaded country file smaller than this is not a complete database.
    static constexpr int kMinCountryEntities = 301;
    static constexpr int kMinCountryRules = 5001;
    // A LoTW list must be larger than this many bytes and hold more than this many records.
    static constexpr qint64 kLoTWListMinExclusiveBytes = 1'000'000;
    static constexpr qint64 kLoTWListMinExclusiveRecords = 100'000;
    // Bad lines among the first records reject the whole list; later ones are skipped.
    static constexpr qint64 kLoTWRecordsBeforeBadLinesAreSkipped = 100;
    static constexpr qsizetype kLoTWExpectedKeys = 150'000;

    struct Dependencies {
        HttpClient *http = nullptr;   // null: HttpClient::shared()
        const Clock *clock = nullptr; // null: Clock::system()
        Endpoints endpoints = Endpoints::standard();
        Timeouts timeouts;
    };

    // Loads the downloaded or built-in country file at once and chooses the LoTW list without
    // reading it (reloadLoTWActivity reads it).
    explicit CTYFileManager(QObject *parent = nullptr);
    explicit CTYFileManager(Dependencies dependencies, QObject *parent = nullptr);
    ~CTYFileManager() override;

    // ---- Published state (each has a changed signal below) ----
    const std::optional<CTYDatabase> &database() const { return m_database; }
    CountryFileSource source() const { return m_source; }
    QString installedDescription() const { return m_installedDescription; }
    std::optional<QDate> countryReleaseDate() const { return m_countryReleaseDate; }
    std::optional<QDate> latestCountryReleaseDate() const { return m_latestCountryReleaseDate; }
    bool isUpdating() const { return m_isUpdating; }
    QString lotwInstalledDescription() const { return m_lotwInstalledDescription; }
    bool hasLoTWActivityFile() const { return m_hasLoTWActivityFile; }
    LoTWFileSource lotwSource() const { return m_lotwSource; }
    std::optional<QDate> lotwLatestActivityDate() const { return m_lotwLatestActivityDate; }
    std::optional<QDate> latestLoTWActivityDate() const { return m_latestLoTWActivityDate; }
    bool isUpdatingLoTW() const { return m_isUpdatingLoTW; }
    bool isLoadingLoTW() const { return m_isLoadingLoTW; }

    // ---- Constants ----
    static inline const QString bundledResourceName = QStringLiteral("cty_wt");
    static inline const QString bundledResourceExtension = QStringLiteral("dat");
    static inline const QString applicationSupportFolderName = QStringLiteral("Varnello");
    static inline const QString countryFileName = QStringLiteral("cty_wt.dat");
    static inline const QString lotwActivityFileName = QStringLiteral("lotw-user-activity.csv");
    static inline const QString bundledLoTWResourceName = QStringLiteral("lotw-user-activity");
    static inline const QString bundledLoTWResourceExtension = QStringLiteral("csv");

    // ---- Update checks ----
    using Completion = std::function<void(const std::optional<DataFileFailure> &failure)>;
    using CheckCompletion = std::function<void(const DataFileOutcome<bool> &updateAvailable)>;

    bool isCountryFileUpdateAvailable() const;
    // Reads the release feed and publishes the newest release date; true when it is later
    // than the loaded file's. Nothing else changes.
    void checkForCountryFileUpdate(CheckCompletion done = {});
    // Downloads and validates the whole LoTW list (off the main thread) and publishes its
    // latest activity date; the list itself is dropped.
    void checkForLoTWActivityUpdate(CheckCompletion done = {});

    // ---- Downloads and installation ----
    void updateCountryFile(Completion done = {});
    void updateLoTWActivity(Completion done = {});
    // Reads and validates the chosen LoTW list off the main thread; any failure leaves the
    // empty LoTW state, without falling back to another copy. Never fails.
    void reloadLoTWActivity(std::function<void()> done = {});
    std::optional<DataFileFailure> useBundledCountryFile();
    std::optional<DataFileFailure> useBundledLoTWActivityFile();
    // Deletes both downloaded copies (Factory Reset); the loaded data stay in memory.
    std::optional<DataFileFailure> removeDownloadedFiles();

    // ---- Pure helpers ----
    static std::optional<QString> fileURL(const QString &fileName);
    static std::optional<QString> bundledResourceURL(const QString &name, const QString &extension);
    static std::optional<FileSystemError> createParentFolder(const QString &filePath);
    static QString countryDescription(const CTYDatabase &database, const QString &sourceWord);
    static QString lotwDescription(qint64 count, QDate latestActivity, const QString &sourceWord);
    static std::optional<QDate> installedReleaseDate(const std::optional<QString> &release);
    static bool isDateEarlier(const std::optional<QDate> &installed,
                              const std::optional<QDate> &latest);
    static std::optional<QDate> releaseDateFromFeed(const QString &feedText);

    // ---- LoTW list record rules and validation ----
    struct LoTWReadingState {
        qint64 activityCount = 0;
        bool invalid = false;
        bool stop = false;
        std::optional<QDate> latestDate;
        QDateTime cutoff;
        LoTWActivityLookup::Table table;

        // The state for a list read at `now`: cut-off one calendar year earlier.
        static LoTWReadingState startingAt(const QDateTime &now);

    private:
        friend class CTYFileManager;
        qint64 cutoffSecs = 0;
    };

    struct LoTWValidationResult {
        qint64 activityCount = 0;
        QDate latestActivityDate;
        LoTWActivityLookup::Table recentUploads;
    };

    // One line of the list, without its line end.
    static void parseLoTWActivityCSV(QStringView line, LoTWReadingState &state);
    // The same for a line of text already known to be valid UTF-8.
    static void parseLoTWActivityUtf8Line(QByteArrayView line, LoTWReadingState &state);
    static bool isValidLoTWDate(QStringView text);
    static bool isValidLoTWTime(QStringView text);
    static std::optional<QDate> lotwActivityDate(QStringView text);
    // Safe on any thread; uses nothing of a manager.
    static DataFileOutcome<LoTWValidationResult> validateLoTWActivityData(const QByteArray &bytes,
                                                                          const QDateTime &now);

Q_SIGNALS:
    void databaseChanged();
    void sourceChanged();
    void installedDescriptionChanged();
    void countryReleaseDateChanged();
    void latestCountryReleaseDateChanged();
    void isUpdatingChanged();
    void lotwInstalledDescriptionChanged();
    void hasLoTWActivityFileChanged();
    void lotwSourceChanged();
    void lotwLatestActivityDateChanged();
    void latestLoTWActivityDateChanged();
    void isUpdatingLoTWChanged();
    void isLoadingLoTWChanged();

private:
    void loadCountryFile();
    void loadLoTWActivityFile();
    void publishCountry(CTYDatabase database, CountryFileSource source);
    void publishEmptyLoTWState();
    void publishLoTWResult(const LoTWValidationResult &result, LoTWFileSource source,
                           bool alsoLatest);
    void setIsUpdating(bool value);
    void setIsUpdatingLoTW(bool value);
    void setIsLoadingLoTW(bool value);
    void setLatestLoTWActivityDate(std::optional<QDate> value);
    void setLoTWListState(bool has, LoTWFileSource source, std::optional<QDate> latest,
                          const QString &description);
    // Runs validateLoTWActivityData in the background and hands the outcome back here.
    void validateInBackground(QByteArray bytes,
                              std::function<void(DataFileOutcome<LoTWValidationResult>)> then);
    void finishLater(std::function<void()> call);
    static std::optional<DataFileFailure> writeAtomically(const QString &path,
                                                          const QByteArray &bytes);

    HttpClient *m_http;
    const Clock *m_clock;
    Endpoints m_endpoints;
    Timeouts m_timeouts;
    QThreadPool m_pool;

    std::optional<CTYDatabase> m_database;
    CountryFileSource m_source = CountryFileSource::unavailable;
    QString m_installedDescription;
    std::optional<QDate> m_countryReleaseDate;
    std::optional<QDate> m_latestCountryReleaseDate;
    bool m_isUpdating = false;
    QString m_lotwInstalledDescription;
    bool m_hasLoTWActivityFile = false;
    LoTWFileSource m_lotwSource = LoTWFileSource::unavailable;
    std::optional<QDate> m_lotwLatestActivityDate;
    std::optional<QDate> m_latestLoTWActivityDate;
    bool m_isUpdatingLoTW = false;
    bool m_isLoadingLoTW = false;
};

} // namespace varnello
