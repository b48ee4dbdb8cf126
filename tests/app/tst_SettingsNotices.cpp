// What the main window's status bar tells the operator about the settings file: one that could not
// be read at start, and saves that fail. Each line is said once on the console too.
#include "AppSettingsStore.h"
#include "ElidedLabel.h"
#include "PaintedText.h"
#include "PrivateFiles.h"
#include "SettingsNotices.h"
#include "ShortTemporaryDir.h"

#include <QMainWindow>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QtTest>
#include <sys/stat.h>

using namespace varnello;
using namespace varnello::test;
using Found = SettingsLoadFailure::Found;

class TestSettingsNotices : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What it means for the operator comes first; the folder is named once, from "~" in the home
    // folder, even when the system's reason names the file by its full path.
    void lines_sayWhatItMeansFirst_andNameTheFolderOnce_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("expected");
        const QString v = QDir::homePath() + QStringLiteral("/V");
        const QString save =
            QStringLiteral("Changes are kept until the program quits \u2014 settings "
                           "cannot be saved: ");
        const QString load = QStringLiteral("Started with the default settings");
        const QString reason = v + QStringLiteral("/settings.json is not writable");
        QTest::newRow("save") << SettingsSaveFailure{v, reason}.description()
                              << save + QStringLiteral("settings.json is not writable (~/V).");
        QTest::newRow("load, damaged, kept")
            << SettingsLoadFailure{v, {}, QStringLiteral("settings.json.bad-2"), {}}.description()
            << load + QStringLiteral(" \u2014 settings.json is damaged; it is kept as "
                                     "settings.json.bad-2 (~/V).");
        QTest::newRow("load, unreadable, kept")
            << SettingsLoadFailure{v,
                                   QStringLiteral("Permission denied"),
                                   QStringLiteral("settings.json.bad"),
                                   {}}
                   .description()
            << load + QStringLiteral(" \u2014 settings.json could not be read (Permission denied); "
                                     "it is kept as settings.json.bad: fix that file's owner or "
                                     "permissions, then, with the program closed, rename it back "
                                     "to settings.json (~/V).");
        QTest::newRow("load, unreadable, no copy")
            << SettingsLoadFailure{v, QStringLiteral("Is a directory"), {}, QStringLiteral("Busy")}
                   .description()
            << load + QStringLiteral(", which will not be saved \u2014 settings.json could not be "
                                     "read (Is a directory) and no copy of it could be kept "
                                     "(Busy), so it is left as it is: fix its owner or "
                                     "permissions, then restart the program (~/V).");
        QTest::newRow("load, a folder, kept")
            << SettingsLoadFailure{v, {}, QStringLiteral("settings.json.bad"), {}, Found::folder}
                   .description()
            << load + QStringLiteral(" \u2014 settings.json is a folder, not a file; it is kept as "
                                     "settings.json.bad: move that folder elsewhere (~/V).");
        QTest::newRow("load, a named pipe, no copy")
            << SettingsLoadFailure{v, {}, {}, QStringLiteral("Read-only file system"), Found::pipe}
                   .description()
            << load + QStringLiteral(", which will not be saved \u2014 settings.json is a named "
                                     "pipe, not a file, and no copy of it could be kept "
                                     "(Read-only file system), so it is left as it is: remove "
                                     "that named pipe, then restart the program (~/V).");
    }
    void lines_sayWhatItMeansFirst_andNameTheFolderOnce()
    {
        QFETCH(QString, line);
        QFETCH(QString, expected);
        QCOMPARE(line, expected);
    }

    // Every kind of settings file the program cannot use is told once for the whole run, a usable
    // one not at all; saves that fail (here from the start) are told once, until one succeeds. A
    // line too long for the window is cut with "…" after what it means, and its tooltip is whole.
    void unreadableFileAndFailingSaves_areToldOnce_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // of a file; what else is there, the failure says
        QTest::addColumn<bool>("copyBlocked"); // by a folder named settings.json.bad
        QTest::addColumn<std::optional<SettingsLoadFailure>>("failure"); // in no folder
        const QByteArray document = R"({"schemaVersion":1,"values":{"clusterCallsign":)"
                                    R"({"type":"string","value":"N0CALL"}}})";
        const auto kept = std::optional(SettingsLoadFailure{{}, {}, "settings.json.bad", {}});
        QTest::newRow("garbage") << QByteArray("\x89PNG\r\n\x1a\n", 8) << false << kept;
        QTest::newRow("cut off") << document.chopped(10) << false << kept;
        QTest::newRow("a folder") << QByteArray() << false
                                  << std::optional(SettingsLoadFailure{
                                         {}, {}, "settings.json.bad", {}, Found::folder});
        QTest::newRow("a named pipe")
            << QByteArray() << false
            << std::optional(SettingsLoadFailure{{}, {}, "settings.json.bad", {}, Found::pipe});
        QTest::newRow("a value of the wrong type")
            << QByteArray(document).replace("\"N0CALL\"", "7") << false << kept;
        QTest::newRow("trailing NUL bytes") << document + QByteArray(64, '\0') << false << kept;
        QTest::newRow("a folder in the copy's way")
            << QByteArray("garbage") << true
            << std::optional(SettingsLoadFailure{{}, {}, "settings.json.bad-2", {}});
        QTest::newRow("readable") << document << false << std::optional<SettingsLoadFailure>();
    }
    void unreadableFileAndFailingSaves_areToldOnce()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, copyBlocked);
        QFETCH(std::optional<SettingsLoadFailure>, failure);
        // The notice names the folder, and a tooltip holds maximumToolTipLength characters: in a
        // short folder the whole notice fits, whatever the build folder's depth.
        QTemporaryDir tmp{varnello::test::shortTemporaryTemplate()};
        QFile file(tmp.filePath(QStringLiteral("settings.json")));
        const QString bad = file.fileName() + QStringLiteral(".bad");
        const Found found = failure ? failure->found : Found::file;
        QVERIFY(found == Found::folder ? QDir().mkpath(file.fileName())
                : found == Found::pipe
                    ? ::mkfifo(QFile::encodeName(file.fileName()).constData(), 0600) == 0
                    : file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        QVERIFY(!copyBlocked || QDir().mkpath(bad + QStringLiteral("/inside")));
        if (failure) {
            failure->folder = tmp.path();
            QTest::ignoreMessage(QtWarningMsg, qPrintable(failure->description()));
        }
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot be saved")));
        QTest::failOnWarning(QRegularExpression(
            QStringLiteral("Started with the default settings|cannot be saved")));

        bool diskFull = true;
        AppSettingsStore store(tmp.path(), [&diskFull](const QString &path, const QByteArray &b) {
            return diskFull ? std::optional(QStringLiteral("No space left on device"))
                            : PrivateFiles::writeAtomically(path, b);
        });
        PaintedText painted;
        QMainWindow window; // too narrow for the lines
        new SettingsNotices(store, window);
        const QString saveFirstPart = QStringLiteral("Changes are kept until the program quits");
        window.resize(window.fontMetrics().horizontalAdvance(saveFirstPart) + 80, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *load = window.findChild<ElidedLabel *>(SettingsNotices::loadLabelName);
        auto *save = window.findChild<ElidedLabel *>(SettingsNotices::saveLabelName);
        QVERIFY(load && save && save->isVisible());
        QCOMPARE(store.loadFailure(), failure);
        QCOMPARE(load->isVisible(), failure.has_value());
        QCOMPARE(load->text(), failure ? failure->description() : QString());
        QVERIFY(!failure || QFileInfo::exists(tmp.filePath(failure->keptAs)));
        QVERIFY(!failure || load->geometry().bottom() < save->geometry().top());
        QTRY_VERIFY(save->isElided());
        for (ElidedLabel *notice : {load, save}) { // what it means stays in view
            const QString shown = painted.of(notice), whole = notice->text();
            QVERIFY2(whole.isEmpty() || (shown.startsWith(whole.section(u'\u2014', 0, 0)) &&
                                         shown.endsWith(u'\u2026')),
                     qPrintable(shown));
            QString tip = QTextDocumentFragment::fromHtml(notice->toolTip()).toPlainText();
            QCOMPARE(tip.remove(u'\u200B'), whole);
        }
        window.resize(window.fontMetrics().horizontalAdvance(load->text() + save->text()) + 100,
                      300);
        QTRY_VERIFY(painted.of(load) == load->text() && painted.of(save) == save->text());

        store.setString(SettingsKeys::clusterCallsign, QStringLiteral("N1FULL")); // fails again
        diskFull = false;
        QVERIFY(store.save());
        QVERIFY(!save->isVisible());
        QCOMPARE(load->isVisible(), failure.has_value());
        QCOMPARE(window.statusBar()->isVisible(), failure.has_value());
    }
};

QTEST_MAIN(TestSettingsNotices)
#include "tst_SettingsNotices.moc"
