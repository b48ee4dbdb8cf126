#include "CTYFileManagerTestKit.h"

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

namespace {

const QByteArray kCountryPath = "/cty/cty_wt.dat";

// The first `entities` entities of the built-in file.
QByteArray truncatedCountryFile(int entities)
{
    const QByteArray all = builtInCountryFile();
    qsizetype at = 0;
    for (int i = 0; i <= entities; ++i) {
        at = all.indexOf("# ADIF ", at + 1);
        if (at < 0)
            return all;
    }
    return all.left(at);
}

// Makes every file write of this process past `bytes` fail, as a full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

} // namespace

class TestCTYFileManagerCountryInstall : public DataFileManagerTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    }

    void init()
    {
        useFreshDataFolder();
        startStub();
    }

    void cleanup() { tearDown(); }

    // ---- Country file ----

    void countryUpdate_secondCallWhileRunningSendsNoRequest()
    {
        m_stub->setResponse(kCountryPath, {.body = withRelease(builtInCountryFile(), "2025.01.15"),
                                           .delay = 1500ms});
        const auto m = makeManager();
        bool firstDone = false;
        bool secondDone = false;
        m->updateCountryFile([&](const auto &f) {
            firstDone = true;
            QVERIFY(!f);
        });
        QVERIFY(m->isUpdating());
        m->updateCountryFile([&](const auto &f) {
            secondDone = true;
            QVERIFY(!f);
        });
        QTRY_VERIFY_WITH_TIMEOUT(secondDone, 10000);
        QVERIFY(!firstDone);
        QVERIFY(m->isUpdating());
        QTRY_VERIFY_WITH_TIMEOUT(firstDone, 30000);
        QVERIFY(!m->isUpdating());
        QCOMPARE(m_stub->requestCount(kCountryPath), 1);
    }

    void countryUpdate_writesBodyByteForByteAndPublishes()
    {
        // A Latin-1 comment makes the file invalid UTF-8; it is stored exactly as received.
        QByteArray body = withRelease(builtInCountryFile(), "2025.01.15");
        body.insert(body.indexOf('\n') + 1, "# Compa\xf1"
                                            "\xed"
                                            "a de datos\n");
        m_stub->setResponse(kCountryPath, HttpStub::Response::ok(body));
        const auto m = makeManager();
        int databaseChanges = 0;
        connect(m.get(), &CTYFileManager::databaseChanged, this, [&] { ++databaseChanges; });
        QVERIFY(!run(*m, &CTYFileManager::updateCountryFile));
        QCOMPARE(readFile(countryFile()), body);
        QCOMPARE(databaseChanges, 1);
        QCOMPARE(m->source(), CTYFileManager::CountryFileSource::downloaded);
        QCOMPARE(m->installedDescription(), QStringLiteral("Downloaded \u2014 release 2025.01.15"));
        QCOMPARE(m->countryReleaseDate().value_or(QDate()), QDate(2025, 1, 15));
        QCOMPARE(m->database()->release().value_or(QString()), QStringLiteral("2025.01.15"));
        QVERIFY(!m->isUpdating());
    }

    void countryUpdate_failuresKeepEverythingAndClearBusyFlag_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("sentence");
        const QString invalid =
            QStringLiteral("The country-file server returned an invalid response.");
        const QString incomplete =
            QStringLiteral("The downloaded file did not look like a complete CTY_WT.DAT database.");
        QTest::newRow("203") << 203 << builtInCountryFile() << invalid;
        QTest::newRow("304") << 304 << QByteArray() << invalid;
        QTest::newRow("empty") << 200 << QByteArray()
                               << QStringLiteral("The downloaded CTY_WT.DAT file was empty.");
        QTest::newRow("does not parse") << 200 << QByteArray(" \n \n") << QString();
        QTest::newRow("300 entities") << 200 << truncatedCountryFile(300) << incomplete;
    }
    void countryUpdate_failuresKeepEverythingAndClearBusyFlag()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, sentence);
        m_stub->setResponse(kCountryPath, HttpStub::Response::withStatus(status, body));
        const auto m = makeManager();
        const auto before = m->database()->entityCount();
        const auto failure = run(*m, &CTYFileManager::updateCountryFile);
        QVERIFY(failure);
        if (!sentence.isEmpty())
            QCOMPARE(failure->description(), sentence);
        else
            QVERIFY(failure->as<CTYDatabaseError>());
        QVERIFY(!m->isUpdating());
        QCOMPARE(m->source(), CTYFileManager::CountryFileSource::bundled);
        QCOMPARE(m->database()->entityCount(), before);
        QCOMPARE(m->installedDescription(), QStringLiteral("Bundled \u2014 release 2023.05.02"));
        QVERIFY(!QFile::exists(countryFile()));
    }

    void countryUpdate_oversizeOrSilentServerFails()
    {
        m_stub->setResponse(kCountryPath,
                            {.generatedBodyBytes = CTYFileManager::kCountryFileMaxBytes + 1});
        auto m = makeManager();
        auto failure = run(*m, &CTYFileManager::updateCountryFile);
        QVERIFY(failure && failure->as<CTYFileManagerError>());
        QCOMPARE(*failure->as<CTYFileManagerError>(),
                 CTYFileManagerError::downloadFailedValidation);
        QVERIFY(!m->isUpdating());

        // The same size behind another status is the server's failure, not a bad file.
        m_stub->setResponse(
            kCountryPath,
            {.status = 503, .generatedBodyBytes = CTYFileManager::kCountryFileMaxBytes + 1});
        failure = run(*m, &CTYFileManager::updateCountryFile);
        QVERIFY(failure && failure->as<CTYFileManagerError>());
        QCOMPARE(*failure->as<CTYFileManagerError>(), CTYFileManagerError::invalidServerResponse);
        QVERIFY(!m->isUpdating());

        m_stub->setResponse(kCountryPath, {.hang = true});
        m = makeManager(300ms);
        failure = run(*m, &CTYFileManager::updateCountryFile);
        QVERIFY(failure);
        QCOMPARE(failure->description(), QStringLiteral("The request timed out."));
        QVERIFY(!m->isUpdating());
    }

    void countryUpdate_unwritableFolderFailsAndKeepsState()
    {
        m_stub->setResponse(
            kCountryPath, HttpStub::Response::ok(withRelease(builtInCountryFile(), "2025.01.15")));
        if (geteuid() != 0) { // permissions do not bind the superuser
            QVERIFY(QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::ExeOwner));
            const auto m = makeManager();
            const auto failure = run(*m, &CTYFileManager::updateCountryFile);
            QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QVERIFY(failure && failure->as<FileSystemError>());
            QVERIFY(!m->isUpdating());
            QVERIFY(!QFile::exists(countryFile()));
        }

        // The data folder cannot be created: its parent is a regular file.
        const QString blocker = m_tmp.path() + QStringLiteral("/blocker");
        QVERIFY(writeFile(blocker, "x"));
        AppPaths::Override o(blocker + QStringLiteral("/Varnello"));
        m_stub->setResponse(
            kCountryPath, HttpStub::Response::ok(withRelease(builtInCountryFile(), "2025.01.15")));
        const auto m = makeManager();
        const auto failure = run(*m, &CTYFileManager::updateCountryFile);
        QVERIFY(failure && failure->as<FileSystemError>());
        QVERIFY(!m->isUpdating());
        QCOMPARE(m->source(), CTYFileManager::CountryFileSource::bundled);

        AppPaths::Override none(std::nullopt);
        const auto noFolder = run(*m, &CTYFileManager::updateCountryFile);
        QVERIFY(noFolder);
        QCOMPARE(noFolder->description(), QStringLiteral("The data folder could not be located."));
        QVERIFY(!m->isUpdating());
    }

    void countryUpdate_failedWriteKeepsPreviousFileByteIdentical()
    {
        const QByteArray previous = withRelease(builtInCountryFile(), "2024.01.01");
        QVERIFY(writeFile(countryFile(), previous));
        m_stub->setResponse(
            kCountryPath, HttpStub::Response::ok(withRelease(builtInCountryFile(), "2025.01.15")));
        const auto m = makeManager();
        QCOMPARE(m->source(), CTYFileManager::CountryFileSource::downloaded);
        std::optional<DataFileFailure> failure;
        {
            FileSizeLimit full(4096);
            failure = run(*m, &CTYFileManager::updateCountryFile);
        }
        QVERIFY(failure && failure->as<FileSystemError>());
        QCOMPARE(readFile(countryFile()), previous);
        QCOMPARE(QDir(m_folder).entryList(QDir::Files), QStringList{QStringLiteral("cty_wt.dat")});
        QCOMPARE(m->database()->release().value_or(QString()), QStringLiteral("2024.01.01"));
        QCOMPARE(m->countryReleaseDate().value_or(QDate()), QDate(2024, 1, 1));
        QVERIFY(!m->isUpdating());
    }

    void useBundledCountryFile_removesDownloadAfterLoading()
    {
        QVERIFY(writeFile(countryFile(), withRelease(builtInCountryFile(), "2024.01.01")));
        const auto m = makeManager();
        QVERIFY(!m->useBundledCountryFile());
        QVERIFY(!QFile::exists(countryFile()));
        QCOMPARE(m->source(), CTYFileManager::CountryFileSource::bundled);
        QCOMPARE(m->installedDescription(), QStringLiteral("Bundled \u2014 release 2023.05.02"));
        QVERIFY(!m->useBundledCountryFile()); // nothing to remove: still fine

        QVERIFY(writeFile(countryFile(), "kept"));
        m_resources.clear();
        const auto failure = m->useBundledCountryFile();
        QVERIFY(failure);
        QCOMPARE(failure->description(),
                 QStringLiteral("The bundled CTY_WT.DAT file could not be found."));
        QVERIFY(QFile::exists(countryFile()));
    }
};

QTEST_GUILESS_MAIN(TestCTYFileManagerCountryInstall)
#include "tst_CTYFileManagerCountryInstall.moc"
