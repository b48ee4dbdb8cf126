// Data-file manager: construction, published state, the start-up loads and the descriptions.

#include "CTYFileManager.h"

#include "AppPaths.h"
#include "BundledResources.h"
#include "CivilDate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>

namespace varnello {

namespace {
const QString kDownloadedWord = QStringLiteral("Downloaded");
const QString kBundledWord = QStringLiteral("Bundled");
const QString kNoCountryFile = QStringLiteral("No country file loaded");
const QString kNoLoTWFile = QStringLiteral("No LoTW activity file loaded");
const QString kDash = QStringLiteral(" \u2014 ");
const QString kLoadingActivity = QStringLiteral(" \u2014 loading activity data\u2026");

const char kCountryFilePublisher[] = "https://www.country-files.com";
const char kLoTWService[] = "https://lotw.arrl.org";
} // namespace

CTYFileManager::Endpoints CTYFileManager::Endpoints::standard()
{
    static const Endpoints endpoints = withBases(QUrl(QString::fromLatin1(kCountryFilePublisher)),
                                                 QUrl(QString::fromLatin1(kLoTWService)));
    return endpoints;
}

CTYFileManager::Endpoints CTYFileManager::Endpoints::withBases(const QUrl &countryFilePublisher,
                                                               const QUrl &lotwService)
{
    const auto below = [](const QUrl &base, const char *path) {
        QString text = base.toString();
        while (text.endsWith(QLatin1Char('/')))
            text.chop(1);
        return QUrl(text + QString::fromLatin1(path));
    };
    Endpoints e;
    e.countryFile = below(countryFilePublisher, "/cty/cty_wt.dat");
    e.releaseFeed = below(countryFilePublisher, "/feed/");
    e.lotwActivity = below(lotwService, "/lotw-user-activity.csv");
    return e;
}

CTYFileManager::CTYFileManager(QObject *parent) : CTYFileManager(Dependencies{}, parent) {}

CTYFileManager::CTYFileManager(Dependencies dependencies, QObject *parent)
    : QObject(parent), m_http(dependencies.http ? dependencies.http : &HttpClient::shared()),
      m_clock(dependencies.clock ? dependencies.clock : &Clock::system()),
      m_endpoints(std::move(dependencies.endpoints)), m_timeouts(dependencies.timeouts),
      m_installedDescription(kNoCountryFile), m_lotwInstalledDescription(kNoLoTWFile)
{
    // Validation of a LoTW list is background work that must not compete with the interface.
    m_pool.setMaxThreadCount(2);
    m_pool.setThreadPriority(QThread::LowPriority);
    loadCountryFile();
    loadLoTWActivityFile();
}

CTYFileManager::~CTYFileManager()
{
    // Background validations hand their results to this object: let them end first. Their
    // queued hand-overs are dropped with the object.
    m_pool.waitForDone();
}

// ---- Loading ----

void CTYFileManager::loadCountryFile()
{
    if (const auto path = fileURL(countryFileName); path && QFileInfo(*path).isFile()) {
        auto loaded = CTYDatabase::load(*path);
        if (loaded.database) {
            publishCountry(std::move(*loaded.database), CountryFileSource::downloaded);
            return;
        }
    }
    if (const auto path = bundledResourceURL(bundledResourceName, bundledResourceExtension)) {
        auto loaded = CTYDatabase::load(*path);
        if (loaded.database) {
            publishCountry(std::move(*loaded.database), CountryFileSource::bundled);
            return;
        }
    }
    m_database.reset();
    Q_EMIT databaseChanged();
    if (m_source != CountryFileSource::unavailable) {
        m_source = CountryFileSource::unavailable;
        Q_EMIT sourceChanged();
    }
    if (m_countryReleaseDate) {
        m_countryReleaseDate.reset();
        Q_EMIT countryReleaseDateChanged();
    }
    if (m_installedDescription != kNoCountryFile) {
        m_installedDescription = kNoCountryFile;
        Q_EMIT installedDescriptionChanged();
    }
}

void CTYFileManager::loadLoTWActivityFile()
{
    if (const auto path = fileURL(lotwActivityFileName); path && QFileInfo(*path).isFile()) {
        setLoTWListState(true, LoTWFileSource::downloaded, std::nullopt,
                         kDownloadedWord + kLoadingActivity);
        return;
    }
    if (bundledResourceURL(bundledLoTWResourceName, bundledLoTWResourceExtension)) {
        setLoTWListState(true, LoTWFileSource::bundled, std::nullopt,
                         kBundledWord + kLoadingActivity);
        return;
    }
    setLoTWListState(false, LoTWFileSource::unavailable, std::nullopt, kNoLoTWFile);
}

// ---- Publishing, in the fixed field order ----

void CTYFileManager::publishCountry(CTYDatabase database, CountryFileSource source)
{
    const std::optional<QString> release = database.release();
    m_database = std::move(database);
    Q_EMIT databaseChanged();
    if (m_source != source) {
        m_source = source;
        Q_EMIT sourceChanged();
    }
    const auto releaseDate = installedReleaseDate(release);
    if (m_countryReleaseDate != releaseDate) {
        m_countryReleaseDate = releaseDate;
        Q_EMIT countryReleaseDateChanged();
    }
    const QString description = countryDescription(
        *m_database, source == CountryFileSource::downloaded ? kDownloadedWord : kBundledWord);
    if (m_installedDescription != description) {
        m_installedDescription = description;
        Q_EMIT installedDescriptionChanged();
    }
}

void CTYFileManager::setLoTWListState(bool has, LoTWFileSource source, std::optional<QDate> latest,
                                      const QString &description)
{
    if (m_hasLoTWActivityFile != has) {
        m_hasLoTWActivityFile = has;
        Q_EMIT hasLoTWActivityFileChanged();
    }
    if (m_lotwSource != source) {
        m_lotwSource = source;
        Q_EMIT lotwSourceChanged();
    }
    if (m_lotwLatestActivityDate != latest) {
        m_lotwLatestActivityDate = latest;
        Q_EMIT lotwLatestActivityDateChanged();
    }
    if (m_lotwInstalledDescription != description) {
        m_lotwInstalledDescription = description;
        Q_EMIT lotwInstalledDescriptionChanged();
    }
}

void CTYFileManager::publishEmptyLoTWState()
{
    setLoTWListState(false, LoTWFileSource::unavailable, std::nullopt, kNoLoTWFile);
    LoTWActivityLookup::shared().replaceAll({});
    setIsLoadingLoTW(false);
}

void CTYFileManager::publishLoTWResult(const LoTWValidationResult &result, LoTWFileSource source,
                                       bool alsoLatest)
{
    const QString description =
        lotwDescription(result.activityCount, result.latestActivityDate,
                        source == LoTWFileSource::downloaded ? kDownloadedWord : kBundledWord);
    if (m_hasLoTWActivityFile != true) {
        m_hasLoTWActivityFile = true;
        Q_EMIT hasLoTWActivityFileChanged();
    }
    if (m_lotwSource != source) {
        m_lotwSource = source;
        Q_EMIT lotwSourceChanged();
    }
    if (m_lotwLatestActivityDate != result.latestActivityDate) {
        m_lotwLatestActivityDate = result.latestActivityDate;
        Q_EMIT lotwLatestActivityDateChanged();
    }
    if (alsoLatest)
        setLatestLoTWActivityDate(result.latestActivityDate);
    if (m_lotwInstalledDescription != description) {
        m_lotwInstalledDescription = description;
        Q_EMIT lotwInstalledDescriptionChanged();
    }
}

void CTYFileManager::setIsUpdating(bool value)
{
    if (m_isUpdating != value) {
        m_isUpdating = value;
        Q_EMIT isUpdatingChanged();
    }
}

void CTYFileManager::setIsUpdatingLoTW(bool value)
{
    if (m_isUpdatingLoTW != value) {
        m_isUpdatingLoTW = value;
        Q_EMIT isUpdatingLoTWChanged();
    }
}

void CTYFileManager::setIsLoadingLoTW(bool value)
{
    if (m_isLoadingLoTW != value) {
        m_isLoadingLoTW = value;
        Q_EMIT isLoadingLoTWChanged();
    }
}

void CTYFileManager::setLatestLoTWActivityDate(std::optional<QDate> value)
{
    if (m_latestLoTWActivityDate != value) {
        m_latestLoTWActivityDate = value;
        Q_EMIT latestLoTWActivityDateChanged();
    }
}

void CTYFileManager::finishLater(std::function<void()> call)
{
    if (call)
        QTimer::singleShot(0, this, std::move(call));
}

// ---- Files, descriptions, dates ----

std::optional<QString> CTYFileManager::fileURL(const QString &fileName)
{
    return AppPaths::filePath(fileName);
}

std::optional<QString> CTYFileManager::bundledResourceURL(const QString &name,
                                                          const QString &extension)
{
    return BundledResources::url(name, extension);
}

std::optional<FileSystemError> CTYFileManager::createParentFolder(const QString &filePath)
{
    const QString folder = QFileInfo(filePath).absolutePath();
    if (QFileInfo(folder).isDir())
        return std::nullopt;
    if (!QDir().mkpath(folder))
        return FileSystemError{QStringLiteral("The folder “%1” could not be created.").arg(folder)};
    // The same folder holds the settings with their passwords.
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return std::nullopt;
}

QString CTYFileManager::countryDescription(const CTYDatabase &database, const QString &sourceWord)
{
    const std::optional<QString> release = database.release();
    if (release && !release->isEmpty())
        return sourceWord + QStringLiteral(" \u2014 release ") + *release;
    return sourceWord;
}

QString CTYFileManager::lotwDescription(qint64 count, QDate latestActivity,
                                        const QString &sourceWord)
{
    const QLocale locale;
    return sourceWord + kDash + locale.toString(count) +
           QStringLiteral(" callsigns \u2014 latest activity ") +
           formatAbbreviatedDate(latestActivity, locale);
}

std::optional<QDate> CTYFileManager::installedReleaseDate(const std::optional<QString> &release)
{
    if (!release || release->isEmpty())
        return std::nullopt;
    const QList<QStringView> pieces = QStringView(*release).split(u'.', Qt::SkipEmptyParts);
    if (pieces.size() < 3)
        return std::nullopt;
    const auto y = parseDecimalInteger(pieces[0]);
    const auto m = parseDecimalInteger(pieces[1]);
    const auto d = parseDecimalInteger(pieces[2]);
    if (!y || !m || !d)
        return std::nullopt;
    return civilDate(*y, *m, *d);
}

bool CTYFileManager::isDateEarlier(const std::optional<QDate> &installed,
                                   const std::optional<QDate> &latest)
{
    return installed && latest && *installed < *latest;
}

} // namespace varnello
