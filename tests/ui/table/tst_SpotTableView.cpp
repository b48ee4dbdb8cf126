// The spot table widget offscreen: scroll keeping under front inserts, per-tab positions, the
// at-top report, columns, presets, header clicks, Copy and the row actions.

#include "NotificationHub.h"
#include "SpotTableModel.h"
#include "SpotTableTestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace varnello;
using namespace varnello::test;

namespace {

constexpr int rowHeight = 22;

struct Table {
    SpotTableView view;
    SpotTableInput input;

    explicit Table(SpotTableFixture &f, const QList<DXSpot> &spots = {}) : view(f.environment())
    {
        view.resize(900, 10 * rowHeight + view.horizontalHeader()->sizeHint().height() + 4);
        view.show();
        show(spots);
        QCoreApplication::processEvents();
    }
    void show(const QList<DXSpot> &spots, std::optional<bool> alertsOnly = {})
    {
        input.spots = spots;
        input.isAlertsOnly = alertsOnly.value_or(input.isAlertsOnly);
        view.update(input);
    }
    // Only the new rows in front, as the window hands them over after its first list.
    void showNewRows(const QList<DXSpot> &inserted, qsizetype kept)
    {
        SpotTableInput rows = input;
        rows.spots = inserted;
        rows.keptRows = kept;
        view.update(rows);
    }
    QScrollBar &bar() { return *view.verticalScrollBar(); }
    int row(const DXSpot &spot) const { return view.spotModel().rowOfSpot(spot.id); }
    // The row under the top edge and how far the edge lies inside it.
    QPair<int, int> top() const
    {
        const int row = view.rowAt(1);
        return {row, -view.rowViewportPosition(row)};
    }
    bool isSelected(int row) const { return view.selectionModel()->isRowSelected(row, {}); }
    int selectedCount() const { return int(view.selectionModel()->selectedRows().size()); }
    QPoint cell(int row, QStringView column) const
    {
        return view.visualRect(view.model()->index(row, spotTableColumnIndex(column))).center();
    }
    // Lets deferred steps (reports, restores) run.
    static void settle() { QTest::qWait(30); }
};

QStringList visualOrder(const QHeaderView &header)
{
    QStringList order;
    for (int visual = 0; visual < header.count(); ++visual)
        order.append(spotTableColumnInfo(header.logicalIndex(visual)).identifier);
    return order;
}

} // namespace

class tst_SpotTableView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void frontInsertWhileScrolled_keepsAnchorOffsetAndSelection_data();
    void frontInsertWhileScrolled_keepsAnchorOffsetAndSelection();
    void frontInsertAtTop_pinsRowZeroAndKeepsSelection_data();
    void frontInsertAtTop_pinsRowZeroAndKeepsSelection();
    void otherListChange_reloadsKeepingAnchorSelectionOrClampedPosition();
    void newRowsHandedOver_keepAnchorSelectionOrPinTheTop_data();
    void newRowsHandedOver_keepAnchorSelectionOrPinTheTop();
    void topState_reportedOncePerChange();
    void topState_notReportedForScrollToTopOrTabRestore();
    void tabSwitch_restoresEachTabsPosition_data();
    void tabSwitch_restoresEachTabsPosition();
    void columnLayout_roundTripAndSmallPreset();
    void columnWidths_clamped_data();
    void columnWidths_clamped();
    void presetState_customOnlyForUserChanges_data();
    void presetState_customOnlyForUserChanges();
    void preset_onAMaximisedWindow_givesANormalWindowOnTheScreen();
    void copy_givesSelectedRowsAscending_data();
    void copy_givesSelectedRowsAscending();
    void contextMenu_adjustsSelectionAndEnablesCopy();
    void headerClicks_toggleLocalTimeAndLoTWFilter();
    void doubleClick_opensLookupPage_data();
    void doubleClick_opensLookupPage();
    void rowEnds_reachTheRightEdgeOfAWideView();
};

void tst_SpotTableView::frontInsertWhileScrolled_keepsAnchorOffsetAndSelection_data()
{
    QTest::addColumn<QList<int>>("batches");
    QTest::newRow("three at once") << QList<int>{3};
    QTest::newRow("one by one") << QList<int>{1, 1, 1};
}

void tst_SpotTableView::frontInsertWhileScrolled_keepsAnchorOffsetAndSelection()
{
    QFETCH(QList<int>, batches);
    SpotTableFixture f;
    QList<DXSpot> spots = makeSpots(100);
    Table t(f, spots);
    t.view.selectRow(20); // selecting scrolls the row into view, so select first
    t.bar().setValue(20 * rowHeight + rowHeight / 2);
    QSignalSpy resets(t.view.model(), &QAbstractItemModel::modelReset);

    int next = 100;
    for (const int count : batches) {
        // A capped list: as many drop off the end as arrive in front.
        spots = makeSpots(count, next) + spots.mid(0, spots.size() - count);
        next += count;
        t.show(spots);
        QCOMPARE(t.top(), qMakePair(20 + next - 100, rowHeight / 2));
    }
    QCOMPARE(resets.count(), 0);
    QVERIFY(t.isSelected(23));
    QCOMPARE(t.selectedCount(), 1);
    Table::settle();
    QCOMPARE(t.top(), qMakePair(23, rowHeight / 2));
}

void tst_SpotTableView::frontInsertAtTop_pinsRowZeroAndKeepsSelection_data()
{
    QTest::addColumn<int>("startY");
    QTest::newRow("exactly at the top") << 0;
    QTest::newRow("a few pixels into row 0") << 7;
}

void tst_SpotTableView::frontInsertAtTop_pinsRowZeroAndKeepsSelection()
{
    QFETCH(int, startY);
    SpotTableFixture f;
    const QList<DXSpot> spots = makeSpots(50);
    Table t(f, spots);
    t.view.selectRow(2);
    t.bar().setValue(startY);

    const QList<DXSpot> newer = makeSpots(1, 50);
    t.show(newer + spots);
    QCOMPARE(t.bar().value(), 0);
    QCOMPARE(t.view.spotModel().spotAt(t.view.rowAt(0)).id, newer.at(0).id);
    QVERIFY(t.isSelected(t.row(spots.at(2))));
    QCOMPARE(t.selectedCount(), 1);
    Table::settle();
    QCOMPARE(t.bar().value(), 0);
}

void tst_SpotTableView::newRowsHandedOver_keepAnchorSelectionOrPinTheTop_data()
{
    QTest::addColumn<int>("startY");
    QTest::addColumn<QList<int>>("batches");
    QTest::newRow("scrolled, three at once") << 20 * rowHeight + rowHeight / 2 << QList<int>{3};
    QTest::newRow("scrolled, one by one") << 20 * rowHeight + rowHeight / 2 << QList<int>{1, 1, 1};
    QTest::newRow("at the top") << 0 << QList<int>{2, 1};
}

void tst_SpotTableView::newRowsHandedOver_keepAnchorSelectionOrPinTheTop()
{
    QFETCH(int, startY);
    QFETCH(QList<int>, batches);
    SpotTableFixture f;
    QList<DXSpot> spots = makeSpots(100);
    Table t(f, spots);
    t.view.selectRow(20);
    t.bar().setValue(startY);
    const QPair<int, int> top = t.top();
    QSignalSpy resets(t.view.model(), &QAbstractItemModel::modelReset);

    int next = 100;
    for (const int count : batches) {
        const QList<DXSpot> inserted = makeSpots(count, next);
        next += count;
        spots = inserted + spots.mid(0, spots.size() - count);
        t.showNewRows(inserted, spots.size() - count);
        for (int row = 0; row < spots.size(); ++row)
            QCOMPARE(t.view.spotModel().spotAt(row).id, spots.at(row).id);
    }
    Table::settle();
    const int inserted = next - 100;
    QCOMPARE(t.top(), startY == 0 ? qMakePair(0, 0) : qMakePair(top.first + inserted, top.second));
    QVERIFY(t.isSelected(20 + inserted));
    QCOMPARE(t.selectedCount(), 1);
    QCOMPARE(resets.count(), 0);
}

void tst_SpotTableView::otherListChange_reloadsKeepingAnchorSelectionOrClampedPosition()
{
    SpotTableFixture f;
    const QList<DXSpot> spots = makeSpots(60);
    Table t(f, spots);
    t.view.selectRow(24);
    t.bar().setValue(20 * rowHeight + 3);

    // A filter removes every other spot above the anchor: not a front insertion.
    QList<DXSpot> filtered;
    for (int i = 0; i < spots.size(); ++i) {
        if (i >= 20 || i % 2 == 0)
            filtered.append(spots.at(i));
    }
    t.show(filtered);
    QCOMPARE(t.top(), qMakePair(10, 3));
    QVERIFY(t.isSelected(t.row(spots.at(24))));
    QCOMPARE(t.selectedCount(), 1);

    // The newest spot and the anchor with all after it go: the clamped position, not the top.
    t.bar().setValue(30 * rowHeight);
    t.show(filtered.mid(1, 29));
    QCOMPARE(t.bar().value(), t.bar().maximum());
    QVERIFY(t.bar().value() > 0);
}

void tst_SpotTableView::topState_reportedOncePerChange()
{
    SpotTableFixture f;
    Table t(f, makeSpots(100));
    QSignalSpy reports(&t.view, &SpotTableView::topStateChanged);

    const QList<std::pair<int, QVariantList>> steps{
        {200, {false}},                 // leaves the top
        {400, {false}},                 // further down: nothing new
        {rowHeight - 1, {false, true}}, // row 0 partly visible again
        {0, {false, true}},             // within the top region: nothing new
    };
    for (const auto &[y, expected] : steps) {
        t.bar().setValue(y);
        Table::settle();
        QVariantList seen;
        for (const QVariantList &arguments : reports)
            seen.append(arguments.at(0));
        QCOMPARE(seen, expected);
    }
}

void tst_SpotTableView::topState_notReportedForScrollToTopOrTabRestore()
{
    SpotTableFixture f;
    const QList<DXSpot> spots = makeSpots(100);
    Table t(f, spots);
    t.view.resize(600, t.view.height()); // narrower than the columns
    t.bar().setValue(300);
    t.view.horizontalScrollBar()->setValue(150);
    Table::settle();
    QSignalSpy reports(&t.view, &SpotTableView::topStateChanged);

    t.input.scrollToTopRequest = 1;
    t.show(spots); // an unchanged list
    QTRY_COMPARE(t.bar().value(), 0);
    QCOMPARE(t.view.horizontalScrollBar()->value(), 0); // the top-left corner
    Table::settle();
    QCOMPARE(reports.count(), 0);
    t.bar().setValue(500);
    t.show(spots); // the same counter value again does nothing
    Table::settle();
    QCOMPARE(t.bar().value(), 500);
    QCOMPARE(reports.count(), 1); // leaving the top is reported as usual

    t.show(spots.mid(0, 5), true);
    Table::settle();
    t.show(spots, false);
    Table::settle();
    QCOMPARE(t.bar().value(), 500);
    QCOMPARE(reports.count(), 1);
}

void tst_SpotTableView::tabSwitch_restoresEachTabsPosition_data()
{
    QTest::addColumn<bool>("switchBackAtOnce");
    QTest::newRow("each restore runs") << false;
    QTest::newRow("two switches before the restore") << true;
}

void tst_SpotTableView::tabSwitch_restoresEachTabsPosition()
{
    QFETCH(bool, switchBackAtOnce);
    SpotTableFixture f;
    const QList<DXSpot> spots = makeSpots(100);
    const QList<DXSpot> alerts = makeSpots(40, 200);
    Table t(f, spots);
    t.bar().setValue(30 * rowHeight + 9);
    Table::settle();
    QSignalSpy reports(&t.view, &SpotTableView::topStateChanged);

    t.show(alerts, true);
    if (!switchBackAtOnce) {
        Table::settle();
        QCOMPARE(t.bar().value(), 0); // the Alerts Only tab was never scrolled
        t.bar().setValue(12 * rowHeight);
        Table::settle();
        reports.clear();
    }
    t.show(spots, false);
    Table::settle();
    QCOMPARE(t.top(), qMakePair(30, 9));
    QCOMPARE(reports.count(), 0);
    if (!switchBackAtOnce) {
        t.show(makeSpots(2, 300) + alerts, true); // two alert spots arrived meanwhile
        Table::settle();
        QCOMPARE(t.top(), qMakePair(14, 0));
    }
    // The restores have ended: the operator's own scrolling is reported again.
    t.show(spots, false);
    Table::settle();
    t.bar().setValue(0);
    QTRY_COMPARE(reports.count(), 1);
    QCOMPARE(reports.at(0).at(0).toBool(), true);
}

void tst_SpotTableView::columnLayout_roundTripAndSmallPreset()
{
    SpotTableFixture f;
    {
        Table t(f);
        QHeaderView &header = *t.view.horizontalHeader();
        QCOMPARE(visualOrder(header).join(u','),
                 QStringLiteral("time,dx,frequency,band,spotter,comment,dxcc,lotw"));
        header.moveSection(header.visualIndex(spotTableColumnIndex(u"dxcc")), 1);
        header.resizeSection(spotTableColumnIndex(u"dx"), 150);
    }
    const QString moved = QStringLiteral("time,dxcc,dx,frequency,band,spotter,comment,lotw");
    Table t(f); // the next start
    QHeaderView &header = *t.view.horizontalHeader();
    QCOMPARE(visualOrder(header).join(u','), moved);
    QCOMPARE(header.sectionSize(spotTableColumnIndex(u"dx")), 150);

    t.view.applyViewPreset(SpotTableViewPreset::small);
    QCOMPARE(visualOrder(header).join(u','), moved);
    for (int column = 0; column < spotTableColumnCount; ++column)
        QCOMPARE(header.sectionSize(column), spotTableColumnInfo(column).minimumWidth);
    QCOMPARE(t.view.verticalHeader()->defaultSectionSize(), 18);
    const auto saved =
        SavedColumnLayout::decode(f.settings.data(SettingsKeys::DXSpotTableColumnLayout));
    QVERIFY(saved);
    QCOMPARE(saved->order.join(u','), moved);
    QCOMPARE(saved->widths.value(QStringLiteral("comment")), 195.0);
}

void tst_SpotTableView::columnWidths_clamped_data()
{
    QTest::addColumn<QByteArray>("savedLayout"); // empty: the user resizes
    QTest::newRow("saved layout") << QByteArray(
        R"({"order":["bogus"],"widths":{"comment":500,"lotw":10,"bogus":3}})");
    QTest::newRow("user resize") << QByteArray();
}

void tst_SpotTableView::columnWidths_clamped()
{
    QFETCH(QByteArray, savedLayout);
    SpotTableFixture f;
    f.settings.setData(SettingsKeys::DXSpotTableColumnLayout, savedLayout);
    Table t(f);
    QHeaderView &header = *t.view.horizontalHeader();
    const int comment = spotTableColumnIndex(u"comment");
    const int lotw = spotTableColumnIndex(u"lotw");
    if (savedLayout.isEmpty()) {
        header.resizeSection(comment, 500);
        header.resizeSection(lotw, 10);
    }
    QCOMPARE(header.sectionSize(comment), 240);
    QCOMPARE(header.sectionSize(lotw), 52);
}

void tst_SpotTableView::presetState_customOnlyForUserChanges_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("column resize") << "column";
    QTest::newRow("column move") << "move";
    QTest::newRow("window resize") << "window";
}

void tst_SpotTableView::presetState_customOnlyForUserChanges()
{
    QFETCH(QString, change);
    SpotTableFixture f;
    QWidget window;
    window.setMinimumSize(803, 410); // the main window's, which the small view opens at
    SpotTableView view(f.environment(), &window);
    window.resize(700, 500);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy posted(&NotificationHub::instance(), &NotificationHub::posted);
    const auto states = [&posted] {
        QStringList states;
        for (const QVariantList &arguments : posted) {
            if (arguments.at(0).toString() == u"varnelloViewPresetStateChanged")
                states.append(arguments.at(1).toMap().value(QStringLiteral("state")).toString());
        }
        return states;
    };

    NotificationHub::instance().post(QStringLiteral("varnelloApplySmallView"));
    QTRY_COMPARE(window.size(), QSize(803, 410));
    QTRY_VERIFY(!view.isApplyingViewPreset());
    QTRY_VERIFY(!states().isEmpty());
    QCOMPARE(states().join(u','), QStringLiteral("small"));
    QCOMPARE(f.settings.string(SettingsKeys::DXSpotTableViewPreset), QStringLiteral("small"));
    posted.clear();

    if (change == u"column")
        view.horizontalHeader()->resizeSection(1, 120);
    else if (change == u"move")
        view.horizontalHeader()->moveSection(2, 4);
    else
        window.resize(900, 600);
    QTRY_VERIFY(!states().isEmpty());
    QCOMPARE(states().constLast(), QStringLiteral("custom"));
    QCOMPARE(f.settings.string(SettingsKeys::DXSpotTableViewPreset), QStringLiteral("custom"));
}

void tst_SpotTableView::preset_onAMaximisedWindow_givesANormalWindowOnTheScreen()
{
    SpotTableFixture f;
    QWidget window;
    window.setMinimumSize(803, 410);
    SpotTableView view(f.environment(), &window);
    window.setGeometry(100, 100, 900, 600);
    window.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    NotificationHub::instance().post(QStringLiteral("varnelloApplyDefaultView"));
    QTRY_VERIFY(!window.isMaximized());
    // The default view's 1000 x 800 does not fit the 800 x 800 screen: as tall as the screen
    // allows, as narrow as the window allows, its title bar and bottom edge in view.
    const QRect available = window.screen()->availableGeometry();
    QTRY_COMPARE(window.width(), 803);
    QVERIFY(window.height() < 800);
    QVERIFY(available.contains(window.frameGeometry().topLeft()));
    QVERIFY(window.frameGeometry().bottom() <= available.bottom());
}

void tst_SpotTableView::copy_givesSelectedRowsAscending_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::newRow("Ctrl+C") << false;
    QTest::newRow("context menu") << true;
}

void tst_SpotTableView::copy_givesSelectedRowsAscending()
{
    QFETCH(bool, fromMenu);
    SpotTableFixture f;
    QList<DXSpot> spots = makeSpots(6);
    spots[1].comment.clear();
    spots[3].dxcc.reset();
    f.lotw.replaceAll({{spots[3].callsign, QDate(2026, 11, 1)}});
    Table t(f, spots);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));

    QTest::mouseClick(t.view.viewport(), Qt::LeftButton, {}, t.cell(3, u"dx"));
    QTest::mouseClick(t.view.viewport(), Qt::LeftButton, Qt::ControlModifier, t.cell(1, u"dx"));
    if (fromMenu) {
        std::unique_ptr<QMenu> menu(t.view.makeContextMenu(t.cell(1, u"band")));
        menu->findChild<QAction *>(QStringLiteral("copySpotsAction"))->trigger();
    } else {
        QTest::keyClick(&t.view, Qt::Key_C, Qt::ControlModifier);
    }
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("0004Z\tK4AB\t14,004.0\t20m\tW4XY\t\tUnited States\t\n"
                            "0002Z\tK2AB\t14,002.0\t20m\tW2XY\tCQ 2\t\tYes"));

    t.view.clearSelection();
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    QTest::keyClick(&t.view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
}

void tst_SpotTableView::contextMenu_adjustsSelectionAndEnablesCopy()
{
    SpotTableFixture f;
    Table t(f, makeSpots(5));
    const auto copyEnabledAfterClickAt = [&t](QPoint position) {
        std::unique_ptr<QMenu> menu(t.view.makeContextMenu(position));
        return menu->findChild<QAction *>(QStringLiteral("copySpotsAction"))->isEnabled();
    };
    t.view.selectRow(0);
    t.view.selectionModel()->select(t.view.model()->index(1, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);

    QVERIFY(copyEnabledAfterClickAt(t.cell(1, u"band")));
    QCOMPARE(t.selectedCount(), 2); // part of the selection: kept whole
    QVERIFY(copyEnabledAfterClickAt(t.cell(3, u"band")));
    QCOMPARE(t.selectedCount(), 1);
    QVERIFY(t.isSelected(3));
    QVERIFY(!copyEnabledAfterClickAt(QPoint(20, 5 * rowHeight + 10))); // below the last row
    QCOMPARE(t.selectedCount(), 0);

    // Right of the last column is still the row.
    t.view.resize(1200, t.view.height());
    const QPoint pastLastColumn(t.view.viewport()->width() - 10, t.cell(2, u"band").y());
    QVERIFY(!t.view.indexAt(pastLastColumn).isValid());
    QVERIFY(copyEnabledAfterClickAt(pastLastColumn));
    QCOMPARE(t.selectedCount(), 1);
    QVERIFY(t.isSelected(2));
}

void tst_SpotTableView::headerClicks_toggleLocalTimeAndLoTWFilter()
{
    SpotTableFixture f;
    qputenv("TZ", "Etc/GMT-1"); // one hour ahead of UTC
    QList<DXSpot> spots = makeSpots(1);
    spots[0].time = QStringLiteral("0905Z");
    const auto clickHeader = [](SpotTableView &view, QStringView column) {
        QHeaderView &header = *view.horizontalHeader();
        const int x = header.sectionViewportPosition(spotTableColumnIndex(column)) + 10;
        QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, QPoint(x, 5));
    };
    {
        Table t(f, spots);
        const QModelIndex time = t.view.model()->index(0, spotTableColumnIndex(u"time"));
        QSignalSpy lotwToggles(&t.view, &SpotTableView::loTWFilterToggled);
        clickHeader(t.view, u"spotter");
        QCOMPARE(time.data().toString(), QStringLiteral("0905Z"));
        clickHeader(t.view, u"lotw");
        QCOMPARE(lotwToggles.count(), 1);
        clickHeader(t.view, u"time");
        QCOMPARE(time.data().toString(), QStringLiteral("1005"));
        QCOMPARE(f.settings.boolValue(SettingsKeys::DXSpotTableShowLocalTime), true);

        t.input.showLoTWOnly = true; // the window flipped its filter
        t.show(spots);
        QCOMPARE(t.view.model()->headerData(spotTableColumnIndex(u"lotw"), Qt::Horizontal),
                 QStringLiteral("LoTW ✓"));
    }
    Table again(f, spots);
    QCOMPARE(again.view.model()->index(0, 0).data().toString(), QStringLiteral("1005"));
    qunsetenv("TZ");
}

void tst_SpotTableView::doubleClick_opensLookupPage_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("expected");
    QTest::newRow("dx") << "dx"
                        << "https://www.qrz.com/db/VP2E/K1ABC";
    QTest::newRow("spotter") << "spotter"
                             << "https://www.qrz.com/db/W1AW";
    QTest::newRow("comment does nothing") << "comment"
                                          << "";
}

void tst_SpotTableView::doubleClick_opensLookupPage()
{
    QFETCH(QString, column);
    QFETCH(QString, expected);
    SpotTableFixture f;
    QList<DXSpot> spots = makeSpots(3);
    spots[1].callsign = QStringLiteral("VP2E/K1ABC");
    spots[1].spotter = QStringLiteral(" W1AW ");
    Table t(f, spots);

    // A double click is a press and release followed by the double-click event.
    QTest::mouseClick(t.view.viewport(), Qt::LeftButton, {}, t.cell(1, column));
    QTest::mouseDClick(t.view.viewport(), Qt::LeftButton, {}, t.cell(1, column));
    QStringList opened;
    for (const QUrl &url : f.openedUrls)
        opened.append(QString::fromLatin1(url.toEncoded()));
    QCOMPARE(opened, expected.isEmpty() ? QStringList() : QStringList{expected});
}

// Right of the last column the rows go on: alternating fill, alert colour and selection, and the
// header, up to the view's edge.
void tst_SpotTableView::rowEnds_reachTheRightEdgeOfAWideView()
{
    SpotTableFixture f;
    Table t(f);
    t.view.resize(1400, t.view.height());
    t.input.highlightColorsBySpotID = {};
    const QList<DXSpot> spots = makeSpots(5);
    t.input.highlightColorsBySpotID.insert(spots.at(1).id, SpotAlertColor{1.0, 0.8, 0.0});
    t.show(spots);
    t.view.selectRow(3);
    t.settle();
    const QHeaderView *header = t.view.horizontalHeader();
    const int lastColumnEnd = header->length();
    const int edge = t.view.viewport()->width() - 3;
    QVERIFY(edge > lastColumnEnd + 100);

    const QImage rows = t.view.viewport()->grab().toImage();
    for (int row = 0; row < spots.size(); ++row) {
        const int y = t.view.rowViewportPosition(row) + t.view.rowHeight(row) / 2;
        // The LoTW cells are empty: their background is what the row shows.
        QCOMPARE(rows.pixelColor(edge, y), rows.pixelColor(lastColumnEnd - 3, y));
    }
    QVERIFY(rows.pixelColor(edge, t.view.rowViewportPosition(1) + 5) !=
            rows.pixelColor(edge, t.view.rowViewportPosition(0) + 5));

    // A click there selects its row.
    QTest::mouseClick(t.view.viewport(), Qt::LeftButton, {},
                      QPoint(edge, t.view.rowViewportPosition(4) + 5));
    QVERIFY(t.isSelected(4) && t.selectedCount() == 1);

    // The header shows an empty section there, not the bare background.
    const QImage heading = header->viewport()->grab().toImage();
    const int middle = heading.height() / 2;
    QCOMPARE(heading.pixelColor(edge, middle), heading.pixelColor(lastColumnEnd - 3, middle));
}

QTEST_MAIN(tst_SpotTableView)
#include "tst_SpotTableView.moc"
