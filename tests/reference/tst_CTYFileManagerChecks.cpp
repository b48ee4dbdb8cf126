#include "CTYFileManagerTestKit.h"

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

namespace {

QByteArray item(const QByteArray &title, const QByteArray &body)
{
    return "<item><title>" + title + "</title><description>" + body + "</description></item>\n";
}

QByteArray feed(const QByteArray &items)
{
    return "<?xml version=\"1.0\"?><rss><channel><title>Country files</title>\n" + items +
           "</channel></rss>";
}

} // namespace

class TestCTYFileManagerChecks : public DataFileManagerTest {
    Q_OBJECT

    QByteArray m_validList;

public:
    TestCTYFileManagerChecks() { m_defaultTimeout = 10s; }

private:
    DataFileOutcome<bool> checkCountry(CTYFileManager &m)
    {
        std::optional<DataFileOutcome<bool>> outcome;
        m.checkForCountryFileUpdate([&](const DataFileOutcome<bool> &o) { outcome = o; });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 30000); }();
        return outcome.value_or(DataFileOutcome<bool>(TransportError{}));
    }

    DataFileOutcome<bool> checkLoTW(CTYFileManager &m)
    {
        std::optional<DataFileOutcome<bool>> outcome;
        m.checkForLoTWActivityUpdate([&](const DataFileOutcome<bool> &o) { outcome = o; });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 30000); }();
        return outcome.value_or(DataFileOutcome<bool>(TransportError{}));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_validList = generatedList(100'001, "2026-11-30");
    }

    void init()
    {
        m_paths = std::make_unique<AppPaths::Override>(m_tmp.path() + QStringLiteral("/Varnello"));
        BundledResources::setResolverForTesting({});
        startStub();
    }

    void cleanup() { tearDown(); }

    void feed_firstQualifyingItemWins()
    {
        m_stub->setResponse("/feed/", HttpStub::Response::ok(
                                          feed(item("News of the week", "VER20300101") +
                                               item("cty-3600 lower case", "VER20290101") +
                                               item("CTY-3501 release", "no version token here") +
                                               item("  CTY-3502 release", "File VER20250115 out") +
                                               item("CTY-3503 newer", "VER20260601"))));
        const auto m = makeManager();
        const auto outcome = checkCountry(*m);
        QVERIFY(outcome.ok());
        QVERIFY(outcome.value()); // built-in 2023.05.02 is older
        QCOMPARE(m->latestCountryReleaseDate().value_or(QDate()), QDate(2025, 1, 15));
        QVERIFY(m->isCountryFileUpdateAvailable());
    }

    void feed_withoutQualifyingItemKeepsPreviousDate()
    {
        const auto m = makeManager();
        m_stub->setResponse("/feed/",
                            HttpStub::Response::ok(feed(item("CTY-3502", "VER20230502"))));
        auto outcome = checkCountry(*m);
        QVERIFY(outcome.ok());
        QVERIFY(!outcome.value()); // same day on both sides
        QCOMPARE(m->latestCountryReleaseDate().value_or(QDate()), QDate(2023, 5, 2));

        m_stub->setResponse("/feed/",
                            HttpStub::Response::ok(feed(item("cty-3600", "VER20300101"))));
        outcome = checkCountry(*m);
        QVERIFY(outcome.ok());
        QVERIFY(!outcome.value());
        QCOMPARE(m->latestCountryReleaseDate().value_or(QDate()), QDate(2023, 5, 2));
    }

    void feed_isDecodedAsLatin1WhenNotUtf8()
    {
        m_stub->setResponse("/feed/", HttpStub::Response::ok(feed(item("CTY-3502 Espa\xf1"
                                                                       "a",
                                                                       "VER20240229"))));
        const auto m = makeManager();
        QVERIFY(checkCountry(*m).ok());
        QCOMPARE(m->latestCountryReleaseDate().value_or(QDate()), QDate(2024, 2, 29));
    }

    void feed_badAnswersFailWithTheirSentence_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("sentence");
        const QString invalid =
            QStringLiteral("The country-file server returned an invalid response.");
        QTest::newRow("203") << 203 << feed(item("CTY-1", "VER20300101")) << invalid;
        QTest::newRow("304") << 304 << QByteArray() << invalid;
        QTest::newRow("500") << 500 << QByteArray("oops") << invalid;
        QTest::newRow("empty") << 200 << QByteArray()
                               << QStringLiteral("The downloaded CTY_WT.DAT file was empty.");
    }
    void feed_badAnswersFailWithTheirSentence()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, sentence);
        m_stub->setResponse("/feed/", HttpStub::Response::withStatus(status, body));
        const auto m = makeManager();
        const auto outcome = checkCountry(*m);
        QVERIFY(!outcome.ok());
        QCOMPARE(outcome.failure().description(), sentence);
        QVERIFY(!m->latestCountryReleaseDate());
    }

    void feed_largerThanCapIsInvalidResponse()
    {
        m_stub->setResponse(
            "/feed/",
            {.generatedBodyBytes = CTYFileManager::kReleaseFeedMaxBytes + 1, .chunked = true});
        const auto m = makeManager();
        const auto outcome = checkCountry(*m);
        QVERIFY(!outcome.ok());
        QCOMPARE(outcome.failure().as<CTYFileManagerError>() != nullptr, true);
        QCOMPARE(*outcome.failure().as<CTYFileManagerError>(),
                 CTYFileManagerError::invalidServerResponse);
    }

    void feed_silentServerIsATimeOut()
    {
        m_stub->setResponse("/feed/", {.hang = true});
        const auto m = makeManager(300ms);
        const auto outcome = checkCountry(*m);
        QVERIFY(!outcome.ok());
        QCOMPARE(outcome.failure().description(), QStringLiteral("The request timed out."));
    }

    void feedScan_staysLinearOnUnclosedItems()
    {
        // Quadratic item matching would not finish this within the test's time limit.
        QString text = QStringLiteral("<item>").repeated(400'000);
        QVERIFY(!CTYFileManager::releaseDateFromFeed(text));
        text = QStringLiteral("<item><title>CTY-1</title>VER20250102</item>") + text;
        QCOMPARE(CTYFileManager::releaseDateFromFeed(text).value_or(QDate()), QDate(2025, 1, 2));
    }

    void lotwCheck_publishesLatestDateWithoutInstalling()
    {
        m_stub->setResponse("/lotw-user-activity.csv", HttpStub::Response::ok(m_validList));
        LoTWActivityLookup::shared().replaceAll({{QStringLiteral("X1X"), QDate(2026, 1, 1)}});
        const auto m = makeManager();
        const auto outcome = checkLoTW(*m);
        QVERIFY(outcome.ok());
        QVERIFY(!outcome.value()); // no list loaded: nothing to compare
        QCOMPARE(m->latestLoTWActivityDate().value_or(QDate()), QDate(2026, 11, 30));
        QVERIFY(!m->lotwLatestActivityDate());
        QVERIFY(!QFile::exists(m_tmp.path() + QStringLiteral("/Varnello/lotw-user-activity.csv")));
        QVERIFY(LoTWActivityLookup::shared().hasRecentUpload(u"X1X"));
        QVERIFY(!LoTWActivityLookup::shared().hasRecentUpload(u"K1ABC"));
    }

    void lotwCheck_badAnswersFailWithTheirError_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("error");
        QTest::newRow("304") << 304 << QByteArray()
                             << int(LoTWActivityFileError::invalidServerResponse);
        QTest::newRow("empty") << 200 << QByteArray() << int(LoTWActivityFileError::emptyDownload);
        QTest::newRow("latin-1") << 200 << (m_validList + "F\xe9,2026-01-01,00:00:00\n")
                                 << int(LoTWActivityFileError::invalidTextEncoding);
        QTest::newRow("portal page") << 200 << QByteArray("<html>Log in to the hotel Wi-Fi</html>")
                                     << int(LoTWActivityFileError::downloadFailedValidation);
    }
    void lotwCheck_badAnswersFailWithTheirError()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, error);
        m_stub->setResponse("/lotw-user-activity.csv",
                            HttpStub::Response::withStatus(status, body));
        const auto m = makeManager();
        const auto outcome = checkLoTW(*m);
        QVERIFY(!outcome.ok());
        QVERIFY(outcome.failure().as<LoTWActivityFileError>());
        QCOMPARE(int(*outcome.failure().as<LoTWActivityFileError>()), error);
        QVERIFY(!m->latestLoTWActivityDate());
    }

    void lotwCheck_oversizeListIsCutOff()
    {
        m_stub->setResponse("/lotw-user-activity.csv",
                            {.generatedBodyBytes = CTYFileManager::kLoTWListMaxBytes + 1});
        const auto m = makeManager();
        const auto outcome = checkLoTW(*m);
        QVERIFY(!outcome.ok());
        QCOMPARE(*outcome.failure().as<LoTWActivityFileError>(),
                 LoTWActivityFileError::downloadFailedValidation);
        QTRY_COMPARE_WITH_TIMEOUT(m_stub->openConnectionCount(), 0, 20000);
    }

    void lotwCheck_oversizeErrorPageIsInvalidResponse()
    {
        m_stub->setResponse(
            "/lotw-user-activity.csv",
            {.status = 503, .generatedBodyBytes = CTYFileManager::kLoTWListMaxBytes + 1});
        const auto m = makeManager();
        const auto outcome = checkLoTW(*m);
        QVERIFY(!outcome.ok());
        QVERIFY(outcome.failure().as<LoTWActivityFileError>());
        QCOMPARE(*outcome.failure().as<LoTWActivityFileError>(),
                 LoTWActivityFileError::invalidServerResponse);
    }
};

QTEST_GUILESS_MAIN(TestCTYFileManagerChecks)
#include "tst_CTYFileManagerChecks.moc"
