// What the main window's status bar tells the operator about the settings file: one that could not
// be read at start, and saves that fail. Each line is said once on the console too.
#include "AppSettingsStore.h"
#include "ElidedLabel.h"
#include "PrivateFiles.h"
#include "SettingsNotices.h"

#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QtTest>

using namespace varnello;

namespace {

using Outcome = SettingsLoadFailure::Outcome;

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The text a tooltip shows, whichever form (plain or escaped markup) it was given in.
QString toolTipText(const QWidget *widget)
{
    const QString tip = widget->toolTip();
    if (!Qt::mightBeRichText(tip))
        return tip;
    return QTextDocumentFragment::fromHtml(tip).toPlainText().remove(QChar(0x200B));
}

} // namespace

class TestSettingsNotices : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void lines_sayWhatItMeansFirst_andNameTheFolderOnce_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("expected");
        const QString home = QDir::homePath();
        QTest::newRow("save, full disk, folder in the home folder")
            << SettingsSaveFailure{home + QStringLiteral("/V"),
                                   QStringLiteral("No space left on device")}
                   .description()
            << QStringLiteral("Changes are kept until the program quits \u2014 settings cannot be "
                              "saved: No space left on device (~/V).");
        QTest::newRow("save, read-only file named by the system with its full path")
            << SettingsSaveFailure{home + QStringLiteral("/V"),
                                   QStringLiteral("Existing file %1/V/settings.json is not "
                                                  "writable")
                                       .arg(home)}
                   .description()
            << QStringLiteral("Changes are kept until the program quits \u2014 settings cannot be "
                              "saved: Existing file settings.json is not writable (~/V).");
        QTest::newRow("save, folder outside the home folder, no reason")
            << SettingsSaveFailure{QStringLiteral("/srv/V"), QString()}.description()
            << QStringLiteral("Changes are kept until the program quits \u2014 settings cannot be "
                              "saved: Unknown error (/srv/V).");
        QTest::newRow("load, kept copy")
            << SettingsLoadFailure{home + QStringLiteral("/V"), Outcome::keptAsBadCopy}
                   .description()
            << QStringLiteral("Started with the default settings \u2014 settings.json could not be "
                              "read; it is kept as settings.json.bad (~/V).");
        QTest::newRow("load, no copy, file untouched")
            << SettingsLoadFailure{home + QStringLiteral("/V"), Outcome::leftAsItIs}.description()
            << QStringLiteral("Started with the default settings \u2014 settings.json could not be "
                              "read and was left as it is (~/V).");
        QTest::newRow("load, no copy, file since written over")
            << SettingsLoadFailure{home + QStringLiteral("/V"), Outcome::replacedByDefaults}
                   .description()
            << QStringLiteral("Started with the default settings \u2014 settings.json could not be "
                              "read, no copy of it could be kept, and it has been written over "
                              "(~/V).");
    }
    void lines_sayWhatItMeansFirst_andNameTheFolderOnce()
    {
        QFETCH(QString, line);
        QFETCH(QString, expected);
        QCOMPARE(line, expected);
    }

    // Every kind of settings file the program cannot use is told once; a usable one, or none at
    // all (the first start), is not.
    void unreadableSettingsFile_isToldOnce_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("isFolder");
        QTest::addColumn<bool>("oldCopyIsFolder"); // a kept copy that cannot be replaced
        QTest::addColumn<std::optional<Outcome>>("expected");
        const QByteArray document = R"({"schemaVersion":1,"values":{"clusterCallsign":)"
                                    R"({"type":"string","value":"N0CALL"}}})";
        QTest::newRow("garbage") << QByteArray("\x89PNG\r\n\x1a\n garbage", 16) << false << false
                                 << std::optional(Outcome::keptAsBadCopy);
        QTest::newRow("cut off") << document.left(document.size() / 2) << false << false
                                 << std::optional(Outcome::keptAsBadCopy);
        QTest::newRow("a folder") << QByteArray() << true << false
                                  << std::optional(Outcome::keptAsBadCopy);
        QTest::newRow("one value of the wrong type")
            << QByteArray(document).replace(R"("N0CALL")", "7") << false << false
            << std::optional(Outcome::keptAsBadCopy);
        QTest::newRow("trailing NUL bytes") << document + QByteArray(64, '\0') << false << false
                                            << std::optional(Outcome::keptAsBadCopy);
        QTest::newRow("no copy possible, so written over")
            << QByteArray("garbage") << false << true << std::optional(Outcome::replacedByDefaults);
        QTest::newRow("readable") << document << false << false << std::optional<Outcome>();
        QTest::newRow("readable, beside an old copy")
            << document << false << true << std::optional<Outcome>();
    }
    void unreadableSettingsFile_isToldOnce()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, isFolder);
        QFETCH(bool, oldCopyIsFolder);
        QFETCH(std::optional<Outcome>, expected);
        QTemporaryDir tmp;
        const QString folder = tmp.filePath(QStringLiteral("Varnello"));
        const QString file = folder + QStringLiteral("/settings.json");
        const QString bad = folder + QStringLiteral("/settings.json.bad");
        QVERIFY(QDir().mkpath(isFolder ? file + QStringLiteral("/inside") : folder));
        if (!isFolder)
            QVERIFY(writeAll(file, bytes));
        if (oldCopyIsFolder)
            QVERIFY(QDir().mkpath(bad + QStringLiteral("/inside")));
        const QString line =
            expected ? SettingsLoadFailure{folder, *expected}.description() : QString();
        if (expected)
            QTest::ignoreMessage(QtWarningMsg, qPrintable(line));
        QTest::failOnWarning(QRegularExpression(QStringLiteral("could not be read")));

        bool diskFull = false;
        AppSettingsStore store(folder, [&diskFull](const QString &path, const QByteArray &b) {
            return diskFull ? std::optional(QStringLiteral("No space left on device"))
                            : PrivateFiles::writeAtomically(path, b);
        });
        QMainWindow window;
        new SettingsNotices(store, window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *notice = window.findChild<ElidedLabel *>(SettingsNotices::loadLabelName);
        QVERIFY(notice);
        QCOMPARE(notice->isVisible(), expected.has_value());
        QCOMPARE(notice->text(), line);
        if (expected == Outcome::keptAsBadCopy) {
            QVERIFY(QFileInfo(bad).isDir() == isFolder && QFileInfo::exists(bad));
            if (!isFolder)
                QCOMPARE(QFile(bad).size(), bytes.size());
        }
        // A save that fails and then one that succeeds neither repeat nor remove it.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot be saved")));
        diskFull = true;
        store.setString(QStringLiteral("clusterCallsign"), QStringLiteral("N1FULL"));
        QVERIFY(window.findChild<QWidget *>(SettingsNotices::saveLabelName)->isVisible());
        diskFull = false;
        QVERIFY(store.save());
        QVERIFY(!window.findChild<QWidget *>(SettingsNotices::saveLabelName)->isVisible());
        QCOMPARE(notice->isVisible(), expected.has_value());
        QCOMPARE(window.statusBar()->isVisible(), expected.has_value());
    }

    void failingSaves_areShownOnceUntilOneSucceeds()
    {
        QTemporaryDir home;
        bool diskFull = false;
        AppSettingsStore store(home.path(), [&diskFull](const QString &path, const QByteArray &b) {
            return diskFull ? std::optional(QStringLiteral("No space left on device"))
                            : PrivateFiles::writeAtomically(path, b);
        });
        store.setSaveRetryInterval(std::chrono::milliseconds(50));
        QMainWindow window;
        new SettingsNotices(store, window);
        window.show();
        auto *notice = window.findChild<ElidedLabel *>(SettingsNotices::saveLabelName);
        QVERIFY(notice && !notice->isVisible());
        const QString text = QStringLiteral("Changes are kept until the program quits \u2014 "
                                            "settings cannot be saved: No space left on device "
                                            "(%1).")
                                 .arg(home.path());
        QTest::ignoreMessage(QtWarningMsg, qPrintable(text)); // once, and never again:
        QTest::failOnWarning(QRegularExpression(QStringLiteral("cannot be saved")));
        diskFull = true;
        store.setString(SettingsKeys::clusterCallsign, QStringLiteral("N1FULL"));
        QVERIFY(notice->isVisible());
        QCOMPARE(notice->text(), text);
        QTest::qWait(300); // several retries, all failing
        QVERIFY(notice->isVisible());
        diskFull = false;
        QTRY_VERIFY(!notice->isVisible());
        QVERIFY(window.statusBar()->isHidden());
    }

    // Both lines at once, one above the other, in a window too narrow for them and then wide
    // enough.
    void lines_areCutWithAnEllipsis_keepingWhatItMeansInView_data()
    {
        QTest::addColumn<QString>("labelName");
        QTest::addColumn<QString>("firstPart");
        QTest::newRow("unreadable file") << QString(SettingsNotices::loadLabelName)
                                         << QStringLiteral("Started with the default settings");
        QTest::newRow("failing saves")
            << QString(SettingsNotices::saveLabelName)
            << QStringLiteral("Changes are kept until the program quits");
    }
    void lines_areCutWithAnEllipsis_keepingWhatItMeansInView()
    {
        QFETCH(QString, labelName);
        QFETCH(QString, firstPart);
        QTemporaryDir tmp;
        QVERIFY(writeAll(tmp.filePath(QStringLiteral("settings.json")), "garbage"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("could not be read")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot be saved")));
        AppSettingsStore store(tmp.path(), [](const QString &, const QByteArray &) {
            return std::optional(QStringLiteral("Read-only file system"));
        });
        QMainWindow window;
        new SettingsNotices(store, window);
        window.resize(firstPart.size() * 12, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *notice = window.findChild<ElidedLabel *>(labelName);
        QVERIFY(notice && notice->isVisible());
        const QString whole = notice->text();
        QTRY_VERIFY(notice->isElided());
        const QString shown = notice->shownText();
        QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
        QVERIFY2(shown.startsWith(firstPart), qPrintable(shown));
        QCOMPARE(toolTipText(notice), whole);

        // Wider, the whole line shows; narrower again, it is cut again.
        window.resize(notice->fontMetrics().horizontalAdvance(whole) + 100, 300);
        QTRY_COMPARE(notice->shownText(), whole);
        window.resize(firstPart.size() * 12, 300);
        QTRY_VERIFY(notice->shownText().endsWith(QChar(0x2026)));
        // Both lines stay in view, neither covering the other.
        const auto *load = window.findChild<QWidget *>(SettingsNotices::loadLabelName);
        const auto *save = window.findChild<QWidget *>(SettingsNotices::saveLabelName);
        QVERIFY(load->isVisible() && save->isVisible());
        QVERIFY(load->geometry().bottom() < save->geometry().top());
    }
};

QTEST_MAIN(TestSettingsNotices)
#include "tst_SettingsNotices.moc"
