// Dragging a column border or moving the main window changes a setting at pointer rate: the
// settings file is written once the changes stop, and a quit right after the last step keeps it.
#include "AppPaths.h"
#include "AppSettingsStore.h"
#include "HttpStub.h"
#include "MainWindow.h"
#include "PrivateFiles.h"
#include "SettingsDocument.h"
#include "SpotTableColumns.h"
#include "VarnelloApp.h"
#include "WindowFrame.h"

#include <QFile>
#include <QHeaderView>
#include <QStyleHints>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace varnello;
using namespace varnello::test;

namespace {

constexpr int steps = 40;

StoredSetting storedOnDisk(const QString &file, const QString &key)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return StoredSetting::string(QStringLiteral("<unreadable>"));
    const std::optional<SettingsDocument> document = SettingsDocument::decode(f.readAll());
    if (!document)
        return StoredSetting::string(QStringLiteral("<undecodable>"));
    return document->values.value(key, StoredSetting::string(QStringLiteral("<absent>")));
}

} // namespace

class TestSavesWhileDragging : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void dragAndMove_writeAtMostTwiceEach_andQuitKeepsTheLastStep()
    {
        QTemporaryDir home;
        const QString folder = home.filePath(QStringLiteral("Varnello"));
        AppPaths::Override paths(folder);
        int writes = 0;
        AppSettingsStore store(folder, [&writes](const QString &path, const QByteArray &bytes) {
            ++writes;
            return PrivateFiles::writeAtomically(path, bytes);
        });
        AppSettingsStore::SharedOverride shared(store);
        HttpStub dataFilesSite; // answers 404: no data file is ever newer
        QVERIFY(dataFilesSite.listen());
        CTYFileManager::Dependencies files;
        files.endpoints =
            CTYFileManager::Endpoints::withBases(dataFilesSite.baseUrl(), dataFilesSite.baseUrl());
        VarnelloApp app({.dataFiles = files});
        MainWindow &window = app.window();
        app.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // The start-up's own frame save comes and goes first.
        QTest::qWait(VarnelloApp::frameCheckDelayMs);
        QTRY_VERIFY(!store.hasPendingSave());
        const QString file = *store.settingsPath();

        // A column border dragged in 40 pointer steps.
        auto *table = window.findChild<QTableView *>(QStringLiteral("spotTable"));
        QVERIFY(table);
        QHeaderView *header = table->horizontalHeader();
        const int column = header->logicalIndex(0);
        const int startWidth = header->sectionSize(column);
        const int y = header->height() / 2;
        int x = header->sectionViewportPosition(column) + startWidth - 1;
        writes = 0;
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(x, y));
        for (int i = 0; i < steps; ++i) {
            QTest::mouseMove(header->viewport(), QPoint(++x, y));
            QTest::qWait(5);
        }
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(x, y));
        const int draggedWidth = header->sectionSize(column);
        QVERIFY2(draggedWidth > startWidth, "the drag did not resize the column");
        QTRY_VERIFY(!store.hasPendingSave());
        QVERIFY2(writes <= 2, qPrintable(QString::number(writes)));
        const std::optional<SavedColumnLayout> layout =
            SavedColumnLayout::decode(storedOnDisk(file, QStringLiteral("DXSpotTableColumnLayout"))
                                          .dataValue()
                                          .value_or(QByteArray()));
        QVERIFY(layout);
        QCOMPARE(layout->widths.value(spotTableColumnInfo(column).identifier), draggedWidth);

        // The main window moved in 40 steps.
        writes = 0;
        const QPoint start = window.pos();
        for (int i = 1; i <= steps; ++i) {
            window.move(start + QPoint(i, i));
            QTest::qWait(5);
        }
        QTRY_VERIFY(!store.hasPendingSave());
        QVERIFY2(writes <= 2, qPrintable(QString::number(writes)));
        QCOMPARE(storedOnDisk(file, QStringLiteral("VarnelloMainWindowFrame")),
                 StoredSetting::string(WindowFrame::toText(window.geometry())));

        // Both again, and the program quits right after the last step (a new press, not the
        // second click of a double click, which would fit the column to its contents).
        QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
        x = header->sectionViewportPosition(column) + draggedWidth - 1;
        writes = 0;
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(x, y));
        for (int i = 0; i < steps; ++i)
            QTest::mouseMove(header->viewport(), QPoint(--x, y));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(x, y));
        const int lastWidth = header->sectionSize(column);
        QVERIFY(lastWidth < draggedWidth);
        for (int i = 1; i <= steps; ++i)
            window.move(start + QPoint(steps + i, i));
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        QCoreApplication::exec();
        QVERIFY2(writes <= 2, qPrintable(QString::number(writes)));
        QVERIFY(!store.hasPendingSave());
        QCOMPARE(window.pos(), start + QPoint(2 * steps, steps));
        QCOMPARE(storedOnDisk(file, QStringLiteral("VarnelloMainWindowFrame")),
                 StoredSetting::string(WindowFrame::toText(window.geometry())));
        const std::optional<SavedColumnLayout> last =
            SavedColumnLayout::decode(storedOnDisk(file, QStringLiteral("DXSpotTableColumnLayout"))
                                          .dataValue()
                                          .value_or(QByteArray()));
        QVERIFY(last);
        QCOMPARE(last->widths.value(spotTableColumnInfo(column).identifier), lastWidth);
    }
};

QTEST_MAIN(TestSavesWhileDragging)
#include "tst_SavesWhileDragging.moc"
