// What the main window's status bar tells the operator about the settings file: one that could not
// be read at start, and saves that fail. Each line is said once on the console too.
#include "AppSettingsStore.h"
#include "ElidedLabel.h"
#include "PrivateFiles.h"
#include "SettingsNotices.h"

#include <QMainWindow>
#include <QProxyStyle>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QtTest>

using namespace varnello;
using Outcome = SettingsLoadFailure::Outcome;

// Keeps the text last painted by a widget it styles.
struct PaintedText final : QProxyStyle {
    mutable QString text;
    void drawItemText(QPainter *painter, const QRect &rect, int flags, const QPalette &palette,
                      bool enabled, const QString &shown, QPalette::ColorRole role) const override
    {
        text = shown;
        QProxyStyle::drawItemText(painter, rect, flags, palette, enabled, shown, role);
    }
};

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
        const QString load =
            QStringLiteral("Started with the default settings \u2014 settings.json "
                           "could not be read");
        const QString reason = v + QStringLiteral("/settings.json is not writable");
        QTest::newRow("save") << SettingsSaveFailure{v, reason}.description()
                              << save + QStringLiteral("settings.json is not writable (~/V).");
        QTest::newRow("load, kept")
            << SettingsLoadFailure{v, Outcome::keptAsBadCopy}.description()
            << load + QStringLiteral("; it is kept as settings.json.bad (~/V).");
        QTest::newRow("load, no copy") << SettingsLoadFailure{v, Outcome::leftAsItIs}.description()
                                       << load + QStringLiteral(" and was left as it is (~/V).");
        QTest::newRow("load, no copy, written over")
            << SettingsLoadFailure{v, Outcome::replacedByDefaults}.description()
            << load + QStringLiteral(", no copy of it could be kept, and it has been written over "
                                     "(~/V).");
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
        QTest::addColumn<QByteArray>("bytes"); // null: settings.json is a folder
        QTest::addColumn<bool>("copyBlocked"); // by a folder named settings.json.bad
        QTest::addColumn<std::optional<Outcome>>("outcome");
        const QByteArray document = R"({"schemaVersion":1,"values":{"clusterCallsign":)"
                                    R"({"type":"string","value":"N0CALL"}}})";
        const auto kept = std::optional(Outcome::keptAsBadCopy);
        QTest::newRow("garbage") << QByteArray("\x89PNG\r\n\x1a\n", 8) << false << kept;
        QTest::newRow("cut off") << document.chopped(10) << false << kept;
        QTest::newRow("a folder") << QByteArray() << false << kept;
        QTest::newRow("a value of the wrong type")
            << QByteArray(document).replace("\"N0CALL\"", "7") << false << kept;
        QTest::newRow("trailing NUL bytes") << document + QByteArray(64, '\0') << false << kept;
        QTest::newRow("no copy possible")
            << QByteArray("garbage") << true << std::optional(Outcome::leftAsItIs);
        QTest::newRow("readable") << document << false << std::optional<Outcome>();
    }
    void unreadableFileAndFailingSaves_areToldOnce()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, copyBlocked);
        QFETCH(std::optional<Outcome>, outcome);
        QTemporaryDir tmp;
        QFile file(tmp.filePath(QStringLiteral("settings.json")));
        const QString bad = file.fileName() + QStringLiteral(".bad");
        QVERIFY(bytes.isNull()
                    ? QDir().mkpath(file.fileName())
                    : file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        QVERIFY(!copyBlocked || QDir().mkpath(bad + QStringLiteral("/inside")));
        const auto line = [&](Outcome o) {
            return SettingsLoadFailure{tmp.path(), o}.description();
        };
        if (outcome)
            QTest::ignoreMessage(QtWarningMsg, qPrintable(line(*outcome)));
        if (outcome == Outcome::leftAsItIs) // and again once the save below writes over it
            QTest::ignoreMessage(QtWarningMsg, qPrintable(line(Outcome::replacedByDefaults)));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot be saved")));
        QTest::failOnWarning(
            QRegularExpression(QStringLiteral("could not be read|cannot be saved")));

        bool diskFull = true;
        AppSettingsStore store(tmp.path(), [&diskFull](const QString &path, const QByteArray &b) {
            return diskFull ? std::optional(QStringLiteral("No space left on device"))
                            : PrivateFiles::writeAtomically(path, b);
        });
        PaintedText style;
        const auto painted = [&style](ElidedLabel *notice) {
            style.text.clear();
            notice->setStyle(&style);
            notice->grab();
            return style.text;
        };
        QMainWindow window; // too narrow for the lines
        new SettingsNotices(store, window);
        const QString saveFirstPart = QStringLiteral("Changes are kept until the program quits");
        window.resize(window.fontMetrics().horizontalAdvance(saveFirstPart) + 80, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *load = window.findChild<ElidedLabel *>(SettingsNotices::loadLabelName);
        auto *save = window.findChild<ElidedLabel *>(SettingsNotices::saveLabelName);
        QVERIFY(load && save && save->isVisible());
        QCOMPARE(load->isVisible(), outcome.has_value());
        QCOMPARE(load->text(), outcome ? line(*outcome) : QString());
        QVERIFY(outcome != Outcome::keptAsBadCopy || QFileInfo::exists(bad));
        QVERIFY(!outcome || load->geometry().bottom() < save->geometry().top());
        QTRY_VERIFY(save->isElided());
        for (ElidedLabel *notice : {load, save}) { // what it means stays in view
            const QString shown = painted(notice), whole = notice->text();
            QVERIFY2(whole.isEmpty() || (shown.startsWith(whole.section(u'\u2014', 0, 0)) &&
                                         shown.endsWith(u'\u2026')),
                     qPrintable(shown));
            QString tip = QTextDocumentFragment::fromHtml(notice->toolTip()).toPlainText();
            QCOMPARE(tip.remove(u'\u200B'), whole);
        }
        window.resize(window.fontMetrics().horizontalAdvance(load->text() + save->text()) + 100,
                      300);
        QTRY_VERIFY(painted(load) == load->text() && painted(save) == save->text());

        store.setString(SettingsKeys::clusterCallsign, QStringLiteral("N1FULL")); // fails again
        diskFull = false;
        QVERIFY(store.save());
        QVERIFY(!save->isVisible());
        QCOMPARE(load->isVisible(), outcome.has_value());
        if (outcome == Outcome::leftAsItIs)
            QCOMPARE(load->text(), line(Outcome::replacedByDefaults));
        QCOMPARE(window.statusBar()->isVisible(), outcome.has_value());
    }
};

QTEST_MAIN(TestSettingsNotices)
#include "tst_SettingsNotices.moc"
