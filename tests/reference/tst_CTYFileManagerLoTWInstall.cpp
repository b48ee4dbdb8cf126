#include "AppPaths.h"
#include "BundledResources.h"
#include "CTYFileManager.h"
#include "HttpStub.h"
#include "NotificationHub.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

namespace {

const QByteArray kLoTWPath = "/lotw-user-activity.csv";

QByteArray builtInCountryFile()
{
    QFile f(QStringLiteral(":/resources/cty_wt.dat"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray withRelease(QByteArray bytes, const QByteArray &release)
{
    return bytes.replace("# RELEASE 2023.05.02", "# RELEASE " + release);
}

QByteArray generatedList(int count, const QByteArray &date, const QByteArray &prefix = "K")
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += prefix + QByteArray::number(i) + "ABC," + date + ",12:34:56\n";
    return out;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestCTYFileManagerLoTWInstall : public QObject {
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_folder;
    std::unique_ptr<AppPaths::Override> m_paths;
    std::unique_ptr<HttpStub> m_stub;
    std::unique_ptr<NetworkHttpClient> m_http;
    ManualClock m_clock{QDateTime(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC)};
    QMap<QString, QString> m_resources;
    QByteArray m_list;
    QString m_builtInListPath;

    QString countryFile() const { return m_folder + QStringLiteral("/cty_wt.dat"); }
    QString lotwFile() const { return m_folder + QStringLiteral("/lotw-user-activity.csv"); }

    std::unique_ptr<CTYFileManager> makeManager(std::chrono::milliseconds timeout = 15s)
    {
        CTYFileManager::Dependencies deps;
        deps.http = m_http.get();
        deps.clock = &m_clock;
        deps.endpoints = CTYFileManager::Endpoints::withBases(m_stub->baseUrl(), m_stub->baseUrl());
        deps.timeouts = {timeout, timeout, timeout};
        return std::make_unique<CTYFileManager>(deps);
    }

    std::optional<DataFileFailure> run(CTYFileManager &m,
                                       void (CTYFileManager::*op)(CTYFileManager::Completion))
    {
        bool finished = false;
        std::optional<DataFileFailure> failure;
        (m.*op)([&](const std::optional<DataFileFailure> &f) {
            finished = true;
            failure = f;
        });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(finished, 30000); }();
        return failure;
    }

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
        m_folder = m_tmp.path() + QStringLiteral("/run") +
                   QString::number(QRandomGenerator::global()->generate()) +
                   QStringLiteral("/Varnello");
        QVERIFY(QDir().mkpath(m_folder));
        m_paths = std::make_unique<AppPaths::Override>(m_folder);
        m_resources = {{QStringLiteral("cty_wt.dat"), QStringLiteral(":/resources/cty_wt.dat")}};
        BundledResources::setResolverForTesting([this](const QString &name, const QString &ext) {
            const QString key = name + QLatin1Char('.') + ext;
            return m_resources.contains(key) ? std::optional<QString>(m_resources.value(key))
                                             : std::nullopt;
        });
        m_stub = std::make_unique<HttpStub>();
        QVERIFY(m_stub->listen());
        m_http = std::make_unique<NetworkHttpClient>();
        LoTWActivityLookup::shared().replaceAll({});
    }

    void cleanup()
    {
        m_http.reset();
        m_stub.reset();
        BundledResources::setResolverForTesting({});
        m_paths.reset();
    }

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
