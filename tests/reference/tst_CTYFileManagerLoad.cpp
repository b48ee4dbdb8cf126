#include "CTYFileManagerTestKit.h"

using namespace varnello;
using namespace varnello::test;

namespace {

// A stub client: the loads never touch the network.
class NoNetwork final : public HttpClient {
public:
    RequestId get(const HttpRequest &, QObject *, Completion) override { return 0; }
    void cancel(RequestId) override {}
};

} // namespace

class TestCTYFileManagerLoad : public DataFileManagerTest {
    Q_OBJECT

    NoNetwork m_noNetwork;

    std::unique_ptr<CTYFileManager> makeManager()
    {
        CTYFileManager::Dependencies deps;
        deps.http = &m_noNetwork;
        return std::make_unique<CTYFileManager>(deps);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    }

    void init()
    {
        QVERIFY(m_tmp.isValid());
        useFreshDataFolder();
    }

    void cleanup() { tearDown(); }

    void builtInCountryFile_isLoadedWithItsRelease()
    {
        const auto m = makeManager();
        QVERIFY(m->database().has_value());
        QCOMPARE(m->source(), CTYFileManager::CountryFileSource::bundled);
        QCOMPARE(m->installedDescription(), QStringLiteral("Bundled \u2014 release 2023.05.02"));
        QCOMPARE(m->countryReleaseDate().value_or(QDate()), QDate(2023, 5, 2));
        QVERIFY(!m->latestCountryReleaseDate());
        QVERIFY(!m->isUpdating());
        QVERIFY(!m->isCountryFileUpdateAvailable());
    }

    void downloadedCountryFile_isPreferred()
    {
        QByteArray bytes = builtInCountryFile();
        bytes.replace("# RELEASE 2023.05.02", "# RELEASE 2025.01.15");
        QVERIFY(writeFile(m_folder + QStringLiteral("/cty_wt.dat"), bytes));
        const auto m = makeManager();
        QCOMPARE(m->source(), CTYFileManager::CountryFileSource::downloaded);
        QCOMPARE(m->installedDescription(), QStringLiteral("Downloaded \u2014 release 2025.01.15"));
        QCOMPARE(m->countryReleaseDate().value_or(QDate()), QDate(2025, 1, 15));
    }

    void damagedDownloadedCountryFile_fallsBackToBuiltInAndStaysOnDisk()
    {
        const QString path = m_folder + QStringLiteral("/cty_wt.dat");
        QVERIFY(writeFile(path, " \n\n  \n"));
        const auto m = makeManager();
        QCOMPARE(m->source(), CTYFileManager::CountryFileSource::bundled);
        QVERIFY(m->database().has_value());
        QVERIFY(QFile::exists(path));
    }

    void countryFileWithoutRelease_isDescribedBySourceAlone()
    {
        QByteArray bytes = builtInCountryFile();
        bytes.remove(0, bytes.indexOf('\n') + 1);
        const QString path = m_tmp.path() + QStringLiteral("/no-release.dat");
        QVERIFY(writeFile(path, bytes));
        m_resources[QStringLiteral("cty_wt.dat")] = path;
        const auto m = makeManager();
        QCOMPARE(m->installedDescription(), QStringLiteral("Bundled"));
        QVERIFY(!m->countryReleaseDate());
    }

    void nothingAvailable_givesEmptyStates()
    {
        m_resources.clear();
        const auto m = makeManager();
        QVERIFY(!m->database());
        QCOMPARE(m->source(), CTYFileManager::CountryFileSource::unavailable);
        QCOMPARE(m->installedDescription(), QStringLiteral("No country file loaded"));
        QCOMPARE(m->lotwSource(), CTYFileManager::LoTWFileSource::unavailable);
        QCOMPARE(m->lotwInstalledDescription(), QStringLiteral("No LoTW activity file loaded"));
        QVERIFY(!m->hasLoTWActivityFile());
        QVERIFY(!m->isLoadingLoTW());
    }

    void noDataFolder_stillLoadsBuiltInCopies()
    {
        AppPaths::Override none(std::nullopt);
        const auto m = makeManager();
        QCOMPARE(m->source(), CTYFileManager::CountryFileSource::bundled);
        QVERIFY(!CTYFileManager::fileURL(CTYFileManager::countryFileName));
    }

    void downloadedLoTWList_isChosenByPresenceAlone()
    {
        QVERIFY(writeFile(m_folder + QStringLiteral("/lotw-user-activity.csv"), "damaged"));
        m_resources[QStringLiteral("lotw-user-activity.csv")] = QStringLiteral("/somewhere.csv");
        const auto m = makeManager();
        QVERIFY(m->hasLoTWActivityFile());
        QCOMPARE(m->lotwSource(), CTYFileManager::LoTWFileSource::downloaded);
        QCOMPARE(m->lotwInstalledDescription(),
                 QStringLiteral("Downloaded \u2014 loading activity data\u2026"));
        QVERIFY(!m->lotwLatestActivityDate());
    }

    void builtInLoTWList_isChosenWhenNothingDownloaded()
    {
        m_resources[QStringLiteral("lotw-user-activity.csv")] = QStringLiteral("/somewhere.csv");
        const auto m = makeManager();
        QCOMPARE(m->lotwSource(), CTYFileManager::LoTWFileSource::bundled);
        QCOMPARE(m->lotwInstalledDescription(),
                 QStringLiteral("Bundled \u2014 loading activity data\u2026"));
    }

    void lotwDescription_usesLocaleGroupingAndAbbreviatedDate()
    {
        QCOMPARE(CTYFileManager::lotwDescription(123456, QDate(2026, 1, 5),
                                                 QStringLiteral("Downloaded")),
                 QStringLiteral(
                     "Downloaded \u2014 123,456 callsigns \u2014 latest activity 5 Jan 2026"));
    }

    void isDateEarlier_needsBothDatesStrictlyOrdered()
    {
        const QDate a(2025, 1, 1);
        const QDate b(2025, 1, 2);
        QVERIFY(CTYFileManager::isDateEarlier(a, b));
        QVERIFY(!CTYFileManager::isDateEarlier(b, a));
        QVERIFY(!CTYFileManager::isDateEarlier(a, a));
        QVERIFY(!CTYFileManager::isDateEarlier(std::nullopt, b));
        QVERIFY(!CTYFileManager::isDateEarlier(a, std::nullopt));
    }

    void endpoints_haveTheFixedPaths()
    {
        const auto e = CTYFileManager::Endpoints::standard();
        QCOMPARE(e.countryFile.scheme(), QStringLiteral("https"));
        QCOMPARE(e.countryFile.path(), QStringLiteral("/cty/cty_wt.dat"));
        QCOMPARE(e.releaseFeed.path(), QStringLiteral("/feed/"));
        QCOMPARE(e.lotwActivity.path(), QStringLiteral("/lotw-user-activity.csv"));
        const auto local =
            CTYFileManager::Endpoints::withBases(QUrl(QStringLiteral("http://127.0.0.1:81/")),
                                                 QUrl(QStringLiteral("http://127.0.0.1:82")));
        QCOMPARE(local.releaseFeed.toString(), QStringLiteral("http://127.0.0.1:81/feed/"));
        QCOMPARE(local.lotwActivity.toString(),
                 QStringLiteral("http://127.0.0.1:82/lotw-user-activity.csv"));
    }

    void errorSentences_areTheFixedTexts()
    {
        QCOMPARE(DataFileFailure(CTYFileManagerError::emptyDownload).description(),
                 QStringLiteral("The downloaded CTY_WT.DAT file was empty."));
        QCOMPARE(DataFileFailure(LoTWActivityFileError::invalidTextEncoding).description(),
                 QStringLiteral("The downloaded LoTW activity file was not valid UTF-8 text."));
        QCOMPARE(DataFileFailure(TransportError{HttpErrorKind::timeout}).description(),
                 QStringLiteral("The request timed out."));
    }
};

QTEST_GUILESS_MAIN(TestCTYFileManagerLoad)
#include "tst_CTYFileManagerLoad.moc"
