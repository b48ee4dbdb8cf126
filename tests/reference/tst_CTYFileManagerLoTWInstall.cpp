#include "CTYFileManagerTestKit.h"
#include "NotificationHub.h"

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

namespace {

const QByteArray kLoTWPath = "/lotw-user-activity.csv";

} // namespace

class TestCTYFileManagerLoTWInstall : public DataFileManagerTest {
    Q_OBJECT

    QByteArray m_list;
    QString m_builtInListPath;

    QString lotwFile() const { return m_folder + QStringLiteral("/lotw-user-activity.csv"); }

    void reload(CTYFileManager &m)
    {
        bool finished = false;
        m.reloadLoTWActivity([&] { finished = true; });
        QTRY_VERIFY_WITH_TIMEOUT(finished, 30000);
        QVERIFY(!m.isLoadingLoTW());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        m_list = generatedList(100'001, "2026-11-30");
        m_builtInListPath = m_tmp.path() + QStringLiteral("/built-in-lotw.csv");
        QVERIFY(writeFile(m_builtInListPath, generatedList(100'002, "2026-10-01", "W")));
    }

    void init()
    {
        useFreshDataFolder();
        startStub();
        LoTWActivityLookup::shared().replaceAll({});
    }

    void cleanup() { tearDown(); }

    // ---- LoTW list ----

    void lotwUpdate_installsListAndFillsLookup()
    {
        m_stub->setResponse(kLoTWPath, HttpStub::Response::ok(m_list));
        const auto m = makeManager();
        int notices = 0;
        QCoreApplication::sendPostedEvents();
        connect(&NotificationHub::instance(), &NotificationHub::posted, m.get(),
                [&](const QString &name) {
                    notices += name == QLatin1String(kLoTWActivityLookupDidReload) ? 1 : 0;
                });
        QVERIFY(!run(*m, &CTYFileManager::updateLoTWActivity));
        QCOMPARE(readFile(lotwFile()), m_list);
        QVERIFY(m->hasLoTWActivityFile());
        QCOMPARE(m->lotwSource(), CTYFileManager::LoTWFileSource::downloaded);
        QCOMPARE(m->lotwLatestActivityDate().value_or(QDate()), QDate(2026, 11, 30));
        QCOMPARE(m->latestLoTWActivityDate().value_or(QDate()), QDate(2026, 11, 30));
        QCOMPARE(m->lotwInstalledDescription(),
                 QStringLiteral(
                     "Downloaded \u2014 100,001 callsigns \u2014 latest activity 30 Nov 2026"));
        QVERIFY(!m->isUpdatingLoTW());
        QVERIFY(LoTWActivityLookup::shared().hasRecentUpload(u"K100000ABC/P"));
        QTRY_COMPARE_WITH_TIMEOUT(notices, 1, 10000);
    }

    void lotwUpdate_badListsChangeNothing_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("error");
        QTest::newRow("203") << 203 << m_list << int(LoTWActivityFileError::invalidServerResponse);
        QTest::newRow("empty") << 200 << QByteArray() << int(LoTWActivityFileError::emptyDownload);
        QTest::newRow("latin-1") << 200 << (m_list + "\xe9")
                                 << int(LoTWActivityFileError::invalidTextEncoding);
        QTest::newRow("too few") << 200 << generatedList(100'000, "2026-11-30")
                                 << int(LoTWActivityFileError::downloadFailedValidation);
    }
    void lotwUpdate_badListsChangeNothing()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, error);
        QVERIFY(writeFile(lotwFile(), "previous"));
        LoTWActivityLookup::shared().replaceAll({{QStringLiteral("X1X"), QDate(2026, 1, 1)}});
        m_stub->setResponse(kLoTWPath, HttpStub::Response::withStatus(status, body));
        const auto m = makeManager();
        const auto failure = run(*m, &CTYFileManager::updateLoTWActivity);
        QVERIFY(failure && failure->as<LoTWActivityFileError>());
        QCOMPARE(int(*failure->as<LoTWActivityFileError>()), error);
        QVERIFY(!m->isUpdatingLoTW());
        QCOMPARE(readFile(lotwFile()), QByteArray("previous"));
        QVERIFY(!m->latestLoTWActivityDate());
        QVERIFY(LoTWActivityLookup::shared().hasRecentUpload(u"X1X"));
    }

    void lotwUpdate_oversizeIsRefusedEarly()
    {
        m_stub->setResponse(kLoTWPath,
                            {.generatedBodyBytes = CTYFileManager::kLoTWListMaxBytes + 1});
        const auto m = makeManager();
        const auto failure = run(*m, &CTYFileManager::updateLoTWActivity);
        QVERIFY(failure && failure->as<LoTWActivityFileError>());
        QCOMPARE(*failure->as<LoTWActivityFileError>(),
                 LoTWActivityFileError::downloadFailedValidation);
        QVERIFY(!m->isUpdatingLoTW());

        // The same size behind another status is the server's failure, not a bad list.
        m_stub->setResponse(
            kLoTWPath,
            {.status = 404, .generatedBodyBytes = CTYFileManager::kLoTWListMaxBytes + 1});
        const auto refused = run(*m, &CTYFileManager::updateLoTWActivity);
        QVERIFY(refused && refused->as<LoTWActivityFileError>());
        QCOMPARE(*refused->as<LoTWActivityFileError>(),
                 LoTWActivityFileError::invalidServerResponse);
        QVERIFY(!m->isUpdatingLoTW());
    }

    void reload_validatesInBackgroundAndPublishes()
    {
        QVERIFY(writeFile(lotwFile(), m_list));
        const auto m = makeManager();
        bool finished = false;
        m->reloadLoTWActivity([&] { finished = true; });
        // The call returns before anything is read: the main thread stays free.
        QVERIFY(m->isLoadingLoTW());
        QCOMPARE(m->lotwInstalledDescription(),
                 QStringLiteral("Downloaded \u2014 loading activity data\u2026"));
        bool secondFinished = false;
        m->reloadLoTWActivity([&] { secondFinished = true; });
        QTRY_VERIFY_WITH_TIMEOUT(finished && secondFinished, 30000);
        QVERIFY(!m->isLoadingLoTW());
        QCOMPARE(m->lotwSource(), CTYFileManager::LoTWFileSource::downloaded);
        QCOMPARE(m->lotwLatestActivityDate().value_or(QDate()), QDate(2026, 11, 30));
        QVERIFY(!m->latestLoTWActivityDate());
        QVERIFY(LoTWActivityLookup::shared().hasRecentUpload(u"K5ABC"));
    }

    void reload_damagedDownloadGivesEmptyStateWithoutFallback()
    {
        QVERIFY(writeFile(lotwFile(), "K1ABC,2026-01-01,00:00:00\n"));
        m_resources[QStringLiteral("lotw-user-activity.csv")] = m_builtInListPath;
        LoTWActivityLookup::shared().replaceAll({{QStringLiteral("X1X"), QDate(2026, 1, 1)}});
        const auto m = makeManager();
        reload(*m);
        QVERIFY(!m->hasLoTWActivityFile());
        QCOMPARE(m->lotwSource(), CTYFileManager::LoTWFileSource::unavailable);
        QCOMPARE(m->lotwInstalledDescription(), QStringLiteral("No LoTW activity file loaded"));
        QCOMPARE(LoTWActivityLookup::shared().size(), 0);
        QVERIFY(QFile::exists(lotwFile()));
    }

    void reload_missingOrUnavailableFileGivesEmptyState()
    {
        QVERIFY(writeFile(lotwFile(), m_list));
        const auto m = makeManager();
        QFile::remove(lotwFile()); // deleted behind the program's back
        reload(*m);
        QCOMPARE(m->lotwSource(), CTYFileManager::LoTWFileSource::unavailable);
        reload(*m); // unavailable: no file is read
        QCOMPARE(m->lotwInstalledDescription(), QStringLiteral("No LoTW activity file loaded"));
    }

    void builtInList_isReadByReloadAndCanBeReturnedTo()
    {
        m_resources[QStringLiteral("lotw-user-activity.csv")] = m_builtInListPath;
        auto m = makeManager();
        QCOMPARE(m->lotwSource(), CTYFileManager::LoTWFileSource::bundled);
        reload(*m);
        QCOMPARE(
            m->lotwInstalledDescription(),
            QStringLiteral("Bundled \u2014 100,002 callsigns \u2014 latest activity 1 Oct 2026"));
        QVERIFY(LoTWActivityLookup::shared().hasRecentUpload(u"W7ABC"));

        // After a download, the return to the built-in list removes it.
        QVERIFY(writeFile(lotwFile(), m_list));
        m = makeManager();
        QVERIFY(!m->useBundledLoTWActivityFile());
        QVERIFY(!QFile::exists(lotwFile()));
        QCOMPARE(m->lotwSource(), CTYFileManager::LoTWFileSource::bundled);
        QCOMPARE(m->lotwLatestActivityDate().value_or(QDate()), QDate(2026, 10, 1));
        QVERIFY(LoTWActivityLookup::shared().hasRecentUpload(u"W100001ABC"));
    }

    void useBundledLoTWList_refusesSmallOrMissingListAndKeepsDownload()
    {
        const QString small = m_tmp.path() + QStringLiteral("/small.csv");
        QVERIFY(writeFile(small, generatedList(1000, "2026-10-01")));
        m_resources[QStringLiteral("lotw-user-activity.csv")] = small;
        QVERIFY(writeFile(lotwFile(), m_list));
        const auto m = makeManager();
        auto failure = m->useBundledLoTWActivityFile();
        QVERIFY(failure && failure->as<LoTWActivityFileError>());
        QCOMPARE(*failure->as<LoTWActivityFileError>(),
                 LoTWActivityFileError::downloadFailedValidation);
        QVERIFY(QFile::exists(lotwFile()));
        QCOMPARE(m->lotwSource(), CTYFileManager::LoTWFileSource::downloaded);

        m_resources.remove(QStringLiteral("lotw-user-activity.csv"));
        failure = m->useBundledLoTWActivityFile();
        QVERIFY(failure);
        QCOMPARE(failure->description(),
                 QStringLiteral("The bundled LoTW activity file could not be found."));
    }

    void removeDownloadedFiles_deletesBothAndKeepsLoadedData()
    {
        const auto m = makeManager();
        QVERIFY(!m->removeDownloadedFiles()); // nothing there: no failure
        QVERIFY(writeFile(countryFile(), withRelease(builtInCountryFile(), "2024.01.01")));
        QVERIFY(writeFile(lotwFile(), m_list));
        const auto loaded = makeManager();
        QVERIFY(!loaded->removeDownloadedFiles());
        QVERIFY(!QFile::exists(countryFile()));
        QVERIFY(!QFile::exists(lotwFile()));
        QCOMPARE(loaded->source(), CTYFileManager::CountryFileSource::downloaded);
        QCOMPARE(loaded->database()->release().value_or(QString()), QStringLiteral("2024.01.01"));
    }
};

QTEST_GUILESS_MAIN(TestCTYFileManagerLoTWInstall)
#include "tst_CTYFileManagerLoTWInstall.moc"
