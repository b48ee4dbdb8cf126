#include "AppSettingsStore.h"
#include "Clock.h"
#include "HttpStub.h"
#include "SettingsAlertPresenter.h"
#include "ShellFakes.h"
#include "UpdateChecker.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

namespace {

const QByteArray kVersionPath = "/varnello/version.txt";
const QByteArray kTarballPath = "/varnello/varnello-linux-x86_64.tar.gz";
const QString kTarballName = QStringLiteral("varnello-linux-x86_64.tar.gz");

// One checker on a stub update site, an in-memory settings store, a fixed clock and a temporary
// Downloads folder.
struct Rig {
    HttpStub stub;
    AppSettingsStore settings{std::nullopt};
    ManualClock clock;
    FakeAlerts alerts;
    QTemporaryDir downloads;
    QStringList revealed;
    int quits = 0;
    std::unique_ptr<UpdateChecker> checker;

    explicit Rig(std::optional<qint64> localBuild = 5, bool withSite = true,
                 UpdateChecker::Timing timing = {}, qint64 cap = 1 << 20)
    {
        stub.listen();
        UpdateChecker::Setup setup{
            .http = &HttpClient::shared(),
            .settings = &settings,
            .clock = &clock,
            .alerts = &alerts,
            .updateSite = withSite ? stub.baseUrl() : QUrl(),
            .tarballPath = QStringLiteral("varnello/") + kTarballName,
            .localBuild = localBuild,
            .localVersion = QStringLiteral("0.1.0"),
            .downloadsFolder = [this] { return std::optional<QString>(downloads.path()); },
            .showInFolder = [this](const QString &path) { revealed.append(path); },
            .quitApplication = [this] { ++quits; },
            .maximumDownloadBytes = cap,
            .timing = timing,
        };
        checker = std::make_unique<UpdateChecker>(std::move(setup));
    }
    QString finalPath() const { return downloads.filePath(kTarballName); }
    QString partialPath() const { return finalPath() + QStringLiteral(".download"); }
};

QByteArray versionFile(qint64 build, const QByteArray &sha = {})
{
    QByteArray text =
        "build=" + QByteArray::number(build) + "\nversion=2.4\nnote=Faster start-up\n";
    if (!sha.isEmpty())
        text += "sha256=" + sha + "\n";
    return text;
}

QByteArray sha256Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

} // namespace

Q_DECLARE_METATYPE(varnello::test::HttpStub::Response)

class TestUpdateChecker : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void versionFile_parsesOrIsInvalid_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("build");
        QTest::addColumn<QString>("note");
        const QString tail = QStringLiteral("\nversion=2.4\nnote=Faster start-up");
        const QString fast = QStringLiteral("Faster start-up");
        QTest::newRow("bare") << "build=57" + tail << true << qint64(57) << fast;
        QTest::newRow("CRLF, comments, blanks, spaces")
            << "# release\r\n\r\n  build = 57 \r\nversion= 2.4\r\n\r\nnote =Faster start-up\r\n"
            << true << qint64(57) << fast;
        QTest::newRow("lone CR") << "build=57\rversion=2.4\rnote=x" << true << qint64(57) << "x";
        QTest::newRow("value keeps =")
            << "build=1\nversion=2\nnote=a=b" << true << qint64(1) << "a=b";
        QTest::newRow("later line wins") << "build=1\nbuild=2" + tail << true << qint64(2) << fast;
        QTest::newRow("line without =") << "build=3\njunk" + tail << true << qint64(3) << fast;
        QTest::newRow("+12") << "build=+12" + tail << true << qint64(12) << fast;
        QTest::newRow("-1") << "build=-1" + tail << true << qint64(-1) << fast;
        QTest::newRow("int64 max") << "build=9223372036854775807" + tail << true
                                   << std::numeric_limits<qint64>::max() << fast;
        QTest::newRow("int64 min") << "build=-9223372036854775808" + tail << true
                                   << std::numeric_limits<qint64>::min() << fast;
        QTest::newRow("past int64")
            << "build=9223372036854775808" + tail << false << qint64(0) << "";
        QTest::newRow("12a") << "build=12a" + tail << false << qint64(0) << "";
        QTest::newRow("1 2") << "build=1 2" + tail << false << qint64(0) << "";
        QTest::newRow("sign only") << "build=+" + tail << false << qint64(0) << "";
        QTest::newRow("empty build") << "build=" + tail << false << qint64(0) << "";
        QTest::newRow("Build only") << "Build=57" + tail << false << qint64(0) << "";
        QTest::newRow("Build and build") << "Build=57\nbuild=3" + tail << true << qint64(3) << fast;
        QTest::newRow("missing note")
            << QStringLiteral("build=5\nversion=2.4") << false << qint64(0) << "";
        QTest::newRow("empty note")
            << QStringLiteral("build=5\nversion=2.4\nnote= ") << false << qint64(0) << "";
        QTest::newRow("empty version")
            << QStringLiteral("build=5\nversion=\nnote=x") << false << qint64(0) << "";
        QTest::newRow("commented build") << "#build=5" + tail << false << qint64(0) << "";
    }
    void versionFile_parsesOrIsInvalid()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const std::optional<VersionInfo> info = parseVersionFile(text);
        QCOMPARE(info.has_value(), valid);
        if (!valid)
            return;
        QFETCH(qint64, build);
        QFETCH(QString, note);
        QCOMPARE(info->build, build);
        QCOMPARE(info->note, note);
    }

    void versionFile_takesOnlyAWellFormedHash_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected"); // empty: no hash
        const QByteArray hex(64, 'a');
        QTest::newRow("lower") << "sha256=" + hex << QString::fromLatin1(hex);
        QTest::newRow("upper is folded") << "sha256=" + hex.toUpper() << QString::fromLatin1(hex);
        QTest::newRow("63 digits") << "sha256=" + hex.left(63) << QString();
        QTest::newRow("not hex") << "sha256=" + QByteArray(64, 'g') << QString();
    }
    void versionFile_takesOnlyAWellFormedHash()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        const auto decoded = decodeVersionFile(versionFile(7) + line);
        const auto *info = std::get_if<VersionInfo>(&decoded);
        QVERIFY(info);
        QCOMPARE(info->sha256.value_or(QString()), expected);
    }

    void dueTest_followsFrequencyAndLastCheck_data()
    {
        QTest::addColumn<QString>("frequency");
        QTest::addColumn<double>("last"); // NaN: never checked
        QTest::addColumn<bool>("due");
        const double now = 1'800'000'000;
        const double never = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("daily, never") << "daily" << never << true;
        QTest::newRow("daily, 86,399 s") << "daily" << now - 86399 << false;
        QTest::newRow("daily, 86,400 s") << "daily" << now - 86400 << true;
        QTest::newRow("weekly, a day") << "weekly" << now - 86400 << false;
        QTest::newRow("weekly, 604,800 s") << "weekly" << now - 604800 << true;
        QTest::newRow("disabled, never") << "disabled" << never << false;
        QTest::newRow("unknown counts as daily") << "monthly" << now - 86400 << true;
        QTest::newRow("unknown, an hour") << "monthly" << now - 3600 << false;
        QTest::newRow("clock behind the stored time") << "daily" << now + 100 << false;
        QTest::newRow("stored 0") << "daily" << 0.0 << true;
        QTest::newRow("stored negative") << "daily" << -5.0 << true;
    }
    void dueTest_followsFrequencyAndLastCheck()
    {
        QFETCH(QString, frequency);
        QFETCH(double, last);
        QFETCH(bool, due);
        const std::optional<double> stored = std::isnan(last) ? std::nullopt : std::optional(last);
        QCOMPARE(UpdateChecker::isCheckDue(frequency, stored, 1'800'000'000), due);
    }

    void check_reportsOutcome_data()
    {
        QTest::addColumn<bool>("userInitiated");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<qint64>("localBuild"); // -1: none
        QTest::addColumn<QString>("title");     // empty: no alert
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("stored");
        const QString unable = QStringLiteral("Unable to check for updates");
        const QString upToDate = QStringLiteral("Varnello is up to date");
        const QString available = QStringLiteral("Varnello 2.4 (6) is available");
        const QString availableText =
            QStringLiteral("Faster start-up\n\nWould you like to download it now?");
        const QString latest =
            QStringLiteral("You are using the latest version of Varnello (0.1.0, build 6).");
        const QString unexpected =
            QStringLiteral("The update server returned an unexpected response.");
        const QString unreadable = QStringLiteral("The update information could not be read.");
        const QString noBuild =
            QStringLiteral("Varnello could not determine its own build number.");
        for (const bool user : {true, false}) {
            const char *who = user ? "user" : "scheduled";
            auto row = [&](const char *name) {
                return &QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(who, name)));
            };
            *row("same build") << user << 200 << versionFile(6) << qint64(6)
                               << (user ? upToDate : QString()) << latest << true;
            *row("newer local") << user << 200 << versionFile(6) << qint64(7)
                                << (user ? upToDate : QString())
                                << QStringLiteral("You are using the latest version of Varnello "
                                                  "(0.1.0, build 7).")
                                << true;
            *row("older local") << user << 200 << versionFile(6) << qint64(5) << available
                                << availableText << true;
            *row("404") << user << 404 << QByteArray("gone") << qint64(5)
                        << (user ? unable : QString()) << unexpected << false;
            *row("invalid file") << user << 200 << QByteArray("build=6a\nversion=1\nnote=x")
                                 << qint64(5) << (user ? unable : QString()) << unreadable << false;
            *row("no local build") << user << 200 << versionFile(6) << qint64(-1)
                                   << (user ? unable : QString()) << noBuild << true;
        }
    }
    void check_reportsOutcome()
    {
        QFETCH(bool, userInitiated);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(qint64, localBuild);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(bool, stored);
        Rig rig(localBuild < 0 ? std::nullopt : std::optional(localBuild));
        rig.stub.setResponse(kVersionPath, HttpStub::Response::withStatus(status, body));
        QSignalSpy finished(rig.checker.get(), &UpdateChecker::checkFinished);

        rig.checker->checkForUpdates(userInitiated);
        QVERIFY(rig.checker->isChecking());
        if (title.isEmpty()) {
            QTRY_COMPARE(finished.size(), 1);
            QVERIFY(rig.alerts.shown.isEmpty());
        } else {
            QTRY_COMPARE(rig.alerts.shown.size(), 1);
            QCOMPARE(rig.alerts.shown[0].title, title);
            QCOMPARE(rig.alerts.shown[0].text, text);
            QVERIFY(rig.checker->isChecking()); // until the alert is closed
            rig.alerts.answer(int(rig.alerts.shown[0].buttons.size()) - 1);
            QCOMPARE(finished.size(), 1);
        }
        QVERIFY(!rig.checker->isChecking());
        const std::optional<double> last =
            rig.settings.doubleValue(SettingsKeys::lastSuccessfulUpdateCheck);
        QCOMPARE(last.has_value(), stored);
        if (stored)
            QCOMPARE(*last, rig.clock.now().toMSecsSinceEpoch() / 1000.0);
    }

    void check_whileOneRuns_saysSoOnlyToTheUser()
    {
        Rig rig;
        rig.stub.setResponse(kVersionPath, {.body = versionFile(5), .delay = 300ms});
        rig.checker->checkForUpdates(false);
        rig.checker->checkForUpdates(false);
        QVERIFY(rig.alerts.shown.isEmpty());
        rig.checker->checkForUpdates(true);
        QCOMPARE(rig.alerts.shown.size(), 1);
        QCOMPARE(rig.alerts.shown[0].title, QStringLiteral("Update check already in progress"));
        QCOMPARE(rig.alerts.shown[0].text,
                 QStringLiteral("Varnello is already checking for a new version."));
        rig.alerts.answer(0);
        QVERIFY(rig.checker->isChecking());
        QTRY_VERIFY(!rig.checker->isChecking());
        QCOMPARE(rig.stub.requestCount(kVersionPath), 1);
    }

    void check_withoutUpdateServer_fetchesNothing()
    {
        Rig rig(5, false);
        rig.checker->checkForUpdates(false);
        QVERIFY(rig.alerts.shown.isEmpty());
        QVERIFY(!rig.checker->isChecking());
        rig.checker->checkForUpdates(true);
        QCOMPARE(rig.alerts.shown.size(), 1);
        QCOMPARE(rig.alerts.shown[0].text, QStringLiteral("This build has no update server."));
        rig.alerts.answer(0);
        QTest::qWait(50);
        QCOMPARE(rig.stub.totalRequestCount(), 0);
    }

    void schedule_checksAtStartUnlessDisabled_data()
    {
        QTest::addColumn<QString>("frequency");
        QTest::addColumn<bool>("checkedRecently");
        QTest::addColumn<int>("firstChecks");
        QTest::addColumn<bool>("hourlyChecks");
        QTest::newRow("daily, checked a minute ago") << "daily" << true << 1 << false;
        QTest::newRow("daily, never checked") << "daily" << false << 1 << true;
        QTest::newRow("unknown value") << "fortnightly" << false << 1 << true;
        QTest::newRow("disabled") << "disabled" << false << 0 << false;
    }
    void schedule_checksAtStartUnlessDisabled()
    {
        QFETCH(QString, frequency);
        QFETCH(bool, checkedRecently);
        QFETCH(int, firstChecks);
        QFETCH(bool, hourlyChecks);
        // The version file is unreadable, so no check succeeds and the stored time stays put.
        Rig rig(5, true, {.firstCheckDelay = 20ms, .dueTestInterval = 250ms});
        rig.stub.setResponse(kVersionPath, HttpStub::Response::withStatus(500));
        rig.settings.setString(SettingsKeys::updateCheckFrequency, frequency);
        if (checkedRecently)
            rig.settings.setDouble(SettingsKeys::lastSuccessfulUpdateCheck,
                                   rig.clock.now().toSecsSinceEpoch() - 60.0);
        rig.checker->runUpdateSchedule();
        rig.checker->runUpdateSchedule();
        QTest::qWait(150);
        QCOMPARE(rig.stub.requestCount(kVersionPath), firstChecks);
        if (hourlyChecks) {
            QTRY_VERIFY(rig.stub.requestCount(kVersionPath) >= firstChecks + 2);
        } else {
            QTest::qWait(600); // two due tests
            QCOMPARE(rig.stub.requestCount(kVersionPath), firstChecks);
        }
        QVERIFY(rig.alerts.shown.isEmpty());
        QVERIFY(rig.checker->isMonitoring());
    }

    void download_streamsVerifiesThenRenames_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("revealed");
        QTest::addColumn<int>("quits");
        QTest::newRow("Show in Folder") << 0 << 1 << 0;
        QTest::newRow("Close Varnello") << 1 << 0 << 1;
        QTest::newRow("Later") << 2 << 0 << 0;
    }
    void download_streamsVerifiesThenRenames()
    {
        QFETCH(int, button);
        QFETCH(int, revealed);
        QFETCH(int, quits);
        // Under a strict umask a file left at its creation mode would not be readable by others.
        const mode_t umaskBefore = ::umask(077);
        const auto restoreUmask = qScopeGuard([&] { ::umask(umaskBefore); });
        Rig rig(5, true, {}, 8 << 20);
        QByteArray tarball(3 << 20, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(tarball.data()),
                                      tarball.size() / 4);
        rig.stub.setResponse(kVersionPath,
                             HttpStub::Response::ok(versionFile(6, sha256Hex(tarball))));
        rig.stub.setResponse(kTarballPath, {.body = tarball, .chunked = true});
        // A leftover link must be replaced, not followed.
        QFile victim(rig.downloads.filePath(QStringLiteral("victim")));
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.write("keep");
        victim.close();
        QVERIFY(QFile::link(victim.fileName(), rig.partialPath()));
        QFile older(rig.finalPath());
        QVERIFY(older.open(QIODevice::WriteOnly));
        older.write("older release");
        older.close();

        rig.checker->checkForUpdates(false);
        QTRY_COMPARE(rig.alerts.shown.size(), 1);
        QCOMPARE(rig.alerts.shown[0].buttons, (QStringList{"Download", "Later"}));
        rig.alerts.answer(0);
        QVERIFY(rig.checker->isDownloading());
        QTRY_COMPARE(rig.alerts.shown.size(), 2);
        const FakeAlerts::Shown done = rig.alerts.shown[1];
        QCOMPARE(done.title, QStringLiteral("Varnello 2.4 has been downloaded"));
        QVERIFY(done.text.startsWith("The update has been saved in your Downloads folder as " +
                                     kTarballName + ".\n\n"));
        QCOMPARE(done.buttons, (QStringList{"Show in Folder", "Close Varnello", "Later"}));

        QFile final(rig.finalPath());
        QVERIFY(final.open(QIODevice::ReadOnly));
        QCOMPARE(final.readAll(), tarball);
        const QFile::Permissions everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                            QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(int(final.permissions() & everyone),
                 int(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(!QFileInfo(rig.partialPath()).isSymLink() && !QFile::exists(rig.partialPath()));
        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), QByteArray("keep"));

        QVERIFY(rig.checker->isDownloading());
        rig.alerts.answer(button);
        QVERIFY(!rig.checker->isDownloading());
        QCOMPARE(rig.revealed.size(), revealed);
        if (revealed)
            QCOMPARE(rig.revealed[0], rig.finalPath());
        QCOMPARE(rig.quits, quits);
    }

    void download_failure_leavesNoFinalFile_data()
    {
        QTest::addColumn<HttpStub::Response>("response");
        QTest::addColumn<bool>("withHash");
        QTest::addColumn<bool>("withFolder");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("requests");
        const QString failed = QStringLiteral("The update could not be downloaded.");
        const QByteArray body(4096, 'v');
        QTest::newRow("hash mismatch")
            << HttpStub::Response::ok(body + 'x') << true << true << failed << 1;
        QTest::newRow("declared past the cap")
            << HttpStub::Response{.generatedBodyBytes = 2 << 20} << true << true << failed << 1;
        QTest::newRow("streamed past the cap")
            << HttpStub::Response{.generatedBodyBytes = 2 << 20, .chunked = true} << true << true
            << failed << 1;
        QTest::newRow("404") << HttpStub::Response::withStatus(404, body) << true << true << failed
                             << 1;
        QTest::newRow("cut off") << HttpStub::Response{.body = body, .declaredLength = 9000} << true
                                 << true << QStringLiteral("The network connection was lost.") << 1;
        QTest::newRow("no published hash")
            << HttpStub::Response::ok(body) << false << true << failed << 0;
        QTest::newRow("no Downloads folder")
            << HttpStub::Response::ok(body) << true << false
            << QStringLiteral("The Downloads folder could not be accessed.") << 0;
    }
    void download_failure_leavesNoFinalFile()
    {
        QFETCH(HttpStub::Response, response);
        QFETCH(bool, withHash);
        QFETCH(bool, withFolder);
        QFETCH(QString, text);
        QFETCH(int, requests);
        Rig rig;
        if (!withFolder)
            QVERIFY(rig.downloads.remove());
        rig.stub.setResponse(kTarballPath, response);
        VersionInfo info{6, QStringLiteral("2.4"), QStringLiteral("n"), std::nullopt};
        if (withHash)
            info.sha256 = QString::fromLatin1(sha256Hex(QByteArray(4096, 'v')));

        rig.checker->downloadUpdate(info);
        QTRY_COMPARE(rig.alerts.shown.size(), 1);
        QCOMPARE(rig.alerts.shown[0].title, QStringLiteral("Update download failed"));
        QCOMPARE(rig.alerts.shown[0].text, text);
        QCOMPARE(rig.stub.requestCount(kTarballPath), requests);
        QVERIFY(!QFile::exists(rig.finalPath()));
        QVERIFY(!QFile::exists(rig.partialPath()));
        rig.alerts.answer(0);
        QVERIFY(!rig.checker->isDownloading());
    }

    void download_secondRequestWhileRunning_isIgnored()
    {
        Rig rig;
        const QByteArray body("tarball");
        rig.stub.setResponse(kTarballPath, {.body = body, .delay = 200ms});
        const VersionInfo info{6, QStringLiteral("2.4"), QStringLiteral("n"),
                               QString::fromLatin1(sha256Hex(body))};
        rig.checker->downloadUpdate(info);
        rig.checker->downloadUpdate(info);
        QTRY_COMPARE(rig.alerts.shown.size(), 1);
        QTest::qWait(100);
        QCOMPARE(rig.alerts.shown.size(), 1);
        QCOMPARE(rig.stub.requestCount(kTarballPath), 1);
    }

    void alerts_showNetworkTextAsPlainText()
    {
        Rig rig;
        MessageBoxAlertPresenter presenter;
        rig.checker->setAlertPresenter(&presenter);
        const QByteArray note = "<b>Big</b> <img src=\"http://x/y.png\"> <a href=x>x</a>";
        rig.stub.setResponse(kVersionPath, HttpStub::Response::ok("build=6\nversion=<i>2.4</i>\n"
                                                                  "note=" +
                                                                  note));
        rig.checker->checkForUpdates(false);
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())));
        QCOMPARE(box->text(), QStringLiteral("Varnello <i>2.4</i> (6) is available"));
        QCOMPARE(box->informativeText(),
                 QString::fromLatin1(note) +
                     QStringLiteral("\n\nWould you like to download it now?"));
        for (const char *name : {"qt_msgbox_label", "qt_msgbox_informativelabel"}) {
            auto *label = box->findChild<QLabel *>(QLatin1String(name));
            QVERIFY2(label, name);
            QCOMPARE(label->textFormat(), Qt::PlainText);
        }
        QCOMPARE(box->defaultButton()->text(), QStringLiteral("Download"));
        const auto buttons = box->buttons();
        const auto later = std::find_if(buttons.begin(), buttons.end(), [](QAbstractButton *b) {
            return b->text() == QLatin1String("Later");
        });
        QVERIFY(later != buttons.end());
        (*later)->click();
        QTRY_VERIFY(!rig.checker->isChecking());
        QVERIFY(!rig.checker->isDownloading());
    }
};

QTEST_MAIN(TestUpdateChecker)
#include "tst_UpdateChecker.moc"
