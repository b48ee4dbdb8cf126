// The spot table widget offscreen: scroll keeping under front inserts, per-tab positions, the
// at-top report, columns, presets, header clicks, Copy and the row actions.

#include "NotificationHub.h"
#include "SpotTableModel.h"
#include "SpotTableTestSupport.h"

#include <QApplication>
#include <QClipboard>
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
    SpotTableFixture &fixture;
    SpotTableView view;
    SpotTableInput input;

    explicit Table(SpotTableFixture &f, const QList<DXSpot> &spots = {})
        : fixture(f), view(f.environment())
    {
        view.resize(900, 10 * rowHeight + view.horizontalHeader()->sizeHint().height() + 4);
        view.show();
        input.spots = spots;
        view.update(input);
        QCoreApplication::processEvents();
    }

    void show(const QList<DXSpot> &spots)
    {
        input.spots = spots;
        view.update(input);
    }
    void showTab(bool alertsOnly, const QList<DXSpot> &spots)
    {
        input.isAlertsOnly = alertsOnly;
        show(spots);
    }
    QScrollBar &bar() { return *view.verticalScrollBar(); }
    int row(const DXSpot &spot) const { return view.spotModel().rowOfSpot(spot.id); }
    bool isSelected(int row) const { return view.selectionModel()->isRowSelected(row, {}); }
    int selectedCount() const { return int(view.selectionModel()->selectedRows().size()); }
    QPoint cellCentre(int row, int column) const
    {
        return view.visualRect(view.model()->index(row, column)).center();
    }
    // Lets deferred steps (reports, restores) run.
    static void settle() { QTest::qWait(30); }
};

QList<QVariantMap> presetStates(const QSignalSpy &spy)
{
    QList<QVariantMap> states;
    for (const QList<QVariant> &arguments : spy) {
        if (arguments.at(0).toString() == QLatin1StringView("varnelloViewPresetStateChanged"))
            states.append(arguments.at(1).toMap());
    }
    return states;
}

QStringList visualOrder(const QHeaderView &header)
{
    QStringList order;
    for (int visual = 0; visual < header.count(); ++visual)
        order.append(spotTableColumnSpec(header.logicalIndex(visual)).identifier);
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
    void listWithoutAnchor_reloadsAtClampedPosition();
    void otherListChange_reloadsAndKeepsSelectionByID();
    void topState_reportedOncePerChange();
    void topState_notReportedForScrollToTopOrTabRestore();
    void scrollToTopRequest_actsOncePerNewValue();
    void tabSwitch_restoresEachTabsPosition();
    void twoTabSwitchesBeforeRestore_honourTheLast();
    void columnLayout_roundTripAndSmallPreset();
    void columnWidths_clamped_data();
    void columnWidths_clamped();
    void presetState_customOnlyForUserChanges_data();
    void presetState_customOnlyForUserChanges();
    void copy_givesSelectedRowsAscending_data();
    void copy_givesSelectedRowsAscending();
    void contextMenu_adjustsSelectionAndEnablesCopy();
    void timeHeader_togglesLocalTimeAndIsStored();
    void lotwHeader_togglesFilterAndIsRetitled();
    void doubleClick_opensLookupPage_data();
    void doubleClick_opensLookupPage();
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
    const DXSpot x = spots.at(20);
    t.view.selectRow(20); // selecting scrolls the row into view, so select first
    t.bar().setValue(20 * rowHeight + rowHeight / 2);
    QSignalSpy resets(t.view.model(), &QAbstractItemModel::modelReset);

    int next = 100;
    for (const int count : batches) {
        // A capped list: as many drop off the end as arrive in front.
        spots = makeSpots(count, next) + spots.mid(0, spots.size() - count);
        next += count;
        t.show(spots);
        QCOMPARE(t.row(x), int(t.view.spotModel().rowOfSpot(x.id)));
        QCOMPARE(t.view.rowAt(1), t.row(x));
        QCOMPARE(t.view.rowViewportPosition(t.row(x)), -rowHeight / 2);
    }
    QCOMPARE(t.row(x), 23);
    QCOMPARE(t.view.spotModel().rowCount(), 100);
    QCOMPARE(resets.count(), 0);
    QVERIFY(t.isSelected(23));
    QCOMPARE(t.selectedCount(), 1);
    Table::settle();
    QCOMPARE(t.view.rowViewportPosition(23), -rowHeight / 2);
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
    QList<DXSpot> spots = makeSpots(50);
    Table t(f, spots);
    t.view.selectRow(2);
    t.bar().setValue(startY);
    const DXSpot selected = spots.at(2);

    const QList<DXSpot> newer = makeSpots(1, 50);
    t.show(newer + spots);
    QCOMPARE(t.bar().value(), 0);
    QCOMPARE(t.view.rowAt(0), 0);
    QCOMPARE(t.view.spotModel().spotAt(0).id, newer.at(0).id);
    QVERIFY(t.isSelected(t.row(selected)));
    QCOMPARE(t.row(selected), 3);
    QCOMPARE(t.selectedCount(), 1);
    Table::settle();
    QCOMPARE(t.bar().value(), 0);
}

void tst_SpotTableView::listWithoutAnchor_reloadsAtClampedPosition()
{
    SpotTableFixture f;
    const QList<DXSpot> spots = makeSpots(100);
    Table t(f, spots);
    t.bar().setValue(30 * rowHeight + 5);

    // A filter drops every spot from row 25 on, the anchor with them.
    t.show(spots.mid(0, 25));
    QCOMPARE(t.bar().value(), t.bar().maximum());
    QVERIFY(t.bar().value() > 0);
}

void tst_SpotTableView::otherListChange_reloadsAndKeepsSelectionByID()
{
    SpotTableFixture f;
    const QList<DXSpot> spots = makeSpots(60);
    Table t(f, spots);
    t.view.selectRow(24);
    t.bar().setValue(20 * rowHeight + 3);
    const DXSpot anchor = spots.at(20);
    const DXSpot selected = spots.at(24);

    // A filter removes every other spot above the anchor: not a front insertion.
    QList<DXSpot> filtered;
    for (int i = 0; i < spots.size(); ++i) {
        if (i >= 20 || i % 2 == 0)
            filtered.append(spots.at(i));
    }
    t.show(filtered);
    QCOMPARE(t.row(anchor), 10);
    QCOMPARE(t.view.rowAt(1), 10);
    QCOMPARE(t.view.rowViewportPosition(10), -3);
    QVERIFY(t.isSelected(t.row(selected)));
    QCOMPARE(t.selectedCount(), 1);
}

void tst_SpotTableView::topState_reportedOncePerChange()
{
    SpotTableFixture f;
    Table t(f, makeSpots(100));
    QSignalSpy reports(&t.view, &SpotTableView::topStateChanged);

    const QList<std::pair<int, QList<bool>>> steps{
        {200, {false}},                 // leaves the top
        {400, {false}},                 // further down: nothing new
        {rowHeight - 1, {false, true}}, // row 0 partly visible again
        {0, {false, true}},             // within the top region: nothing new
    };
    for (const auto &[y, expected] : steps) {
        t.bar().setValue(y);
        Table::settle();
        QList<bool> seen;
        for (const QList<QVariant> &arguments : reports)
            seen.append(arguments.at(0).toBool());
        QCOMPARE(seen, expected);
    }
}

void tst_SpotTableView::topState_notReportedForScrollToTopOrTabRestore()
{
    SpotTableFixture f;
    const QList<DXSpot> spots = makeSpots(100);
    Table t(f, spots);
    t.bar().setValue(300);
    Table::settle();
    QSignalSpy reports(&t.view, &SpotTableView::topStateChanged);

    t.input.scrollToTopRequest = 1;
    t.show(spots);
    QTRY_COMPARE(t.bar().value(), 0);
    Table::settle();
    QCOMPARE(reports.count(), 0);

    t.bar().setValue(300);
    Table::settle();
    QCOMPARE(reports.count(), 1); // leaving the top again is a change
    t.showTab(true, spots.mid(0, 5));
    Table::settle();
    t.showTab(false, spots);
    Table::settle();
    QCOMPARE(t.bar().value(), 300);
    QCOMPARE(reports.count(), 1);
}

void tst_SpotTableView::scrollToTopRequest_actsOncePerNewValue()
{
    SpotTableFixture f;
    const QList<DXSpot> spots = makeSpots(100);
    Table t(f, spots);
    t.bar().setValue(500);
    t.input.scrollToTopRequest = 4;
    t.show(spots); // unchanged list
    QTRY_COMPARE(t.bar().value(), 0);

    t.bar().setValue(500);
    t.show(spots); // the same counter value again
    Table::settle();
    QCOMPARE(t.bar().value(), 500);
}

void tst_SpotTableView::tabSwitch_restoresEachTabsPosition()
{
    SpotTableFixture f;
    const QList<DXSpot> spots = makeSpots(100);
    const QList<DXSpot> alerts = makeSpots(40, 200);
    Table t(f, spots);
    t.bar().setValue(30 * rowHeight + 9);

    t.showTab(true, alerts);
    Table::settle();
    QCOMPARE(t.bar().value(), 0); // the Alerts Only tab was never scrolled
    t.bar().setValue(12 * rowHeight);
    Table::settle();

    t.showTab(false, spots);
    Table::settle();
    QCOMPARE(t.view.rowAt(1), 30);
    QCOMPARE(t.view.rowViewportPosition(30), -9);

    t.showTab(true, makeSpots(2, 300) + alerts); // two new alert spots arrived meanwhile
    Table::settle();
    QCOMPARE(t.view.rowAt(1), 14);
    QCOMPARE(t.view.rowViewportPosition(14), 0);
}

void tst_SpotTableView::twoTabSwitchesBeforeRestore_honourTheLast()
{
    SpotTableFixture f;
    const QList<DXSpot> spots = makeSpots(100);
    Table t(f, spots);
    t.bar().setValue(40 * rowHeight + 4);
    QSignalSpy reports(&t.view, &SpotTableView::topStateChanged);
    Table::settle();
    reports.clear();

    t.showTab(true, makeSpots(3, 500));
    t.showTab(false, spots);
    Table::settle();
    QCOMPARE(t.view.rowAt(1), 40);
    QCOMPARE(t.view.rowViewportPosition(40), -4);
    QCOMPARE(reports.count(), 0);

    // The restore has ended: the operator's own scrolling is reported again.
    t.bar().setValue(0);
    QTRY_COMPARE(reports.count(), 1);
    QCOMPARE(reports.at(0).at(0).toBool(), true);
}

void tst_SpotTableView::columnLayout_roundTripAndSmallPreset()
{
    SpotTableFixture f;
    {
        Table t(f, makeSpots(5));
        QHeaderView &header = *t.view.horizontalHeader();
        QCOMPARE(visualOrder(header), (QStringList{"time", "dx", "frequency", "band", "spotter",
                                                   "comment", "dxcc", "lotw"}));
        header.moveSection(header.visualIndex(spotTableColumnIndex(u"dxcc")),
                           header.visualIndex(spotTableColumnIndex(u"dx")));
        header.resizeSection(spotTableColumnIndex(u"dx"), 150);
    }
    const QStringList moved{"time", "dxcc",    "dx",      "frequency",
                            "band", "spotter", "comment", "lotw"};
    Table t(f, makeSpots(5)); // the next start
    QHeaderView &header = *t.view.horizontalHeader();
    QCOMPARE(visualOrder(header), moved);
    QCOMPARE(header.sectionSize(spotTableColumnIndex(u"dx")), 150);

    t.view.applyViewPreset(SpotTableViewPreset::small);
    QCOMPARE(visualOrder(header), moved);
    for (int column = 0; column < spotTableColumnCount; ++column)
        QCOMPARE(header.sectionSize(column), spotTableColumnSpec(column).minimumWidth);
    QCOMPARE(t.view.verticalHeader()->defaultSectionSize(), 18);
    const auto saved =
        SavedColumnLayout::decode(f.settings.data(SettingsKeys::DXSpotTableColumnLayout));
    QVERIFY(saved);
    QCOMPARE(saved->order, moved);
    QCOMPARE(saved->widths.value(QStringLiteral("comment")), 195.0);
}

void tst_SpotTableView::columnWidths_clamped_data()
{
    QTest::addColumn<bool>("byUser");
    QTest::newRow("saved layout") << false;
    QTest::newRow("user resize") << true;
}

void tst_SpotTableView::columnWidths_clamped()
{
    QFETCH(bool, byUser);
    SpotTableFixture f;
    const int comment = spotTableColumnIndex(u"comment");
    const int lotw = spotTableColumnIndex(u"lotw");
    if (!byUser)
        f.settings.setData(SettingsKeys::DXSpotTableColumnLayout,
                           R"({"order":[],"widths":{"comment":500,"lotw":10,"bogus":3}})");
    Table t(f);
    QHeaderView &header = *t.view.horizontalHeader();
    if (byUser) {
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
    SpotTableView view(f.environment(), &window);
    window.resize(700, 500);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy posted(&NotificationHub::instance(), &NotificationHub::posted);

    NotificationHub::instance().post(QStringLiteral("varnelloApplySmallView"));
    QTRY_COMPARE(window.size(), QSize(803, 410));
    QTRY_VERIFY(!view.isApplyingViewPreset());
    QTRY_VERIFY(!presetStates(posted).isEmpty());
    QCOMPARE(f.settings.string(SettingsKeys::DXSpotTableViewPreset), QStringLiteral("small"));
    for (const QVariantMap &state : presetStates(posted))
        QCOMPARE(state.value(QStringLiteral("state")).toString(), QStringLiteral("small"));
    posted.clear();

    if (change == u"column")
        view.horizontalHeader()->resizeSection(1, 120);
    else if (change == u"move")
        view.horizontalHeader()->moveSection(2, 4);
    else
        window.resize(900, 600);
    QTRY_VERIFY(!presetStates(posted).isEmpty());
    QCOMPARE(presetStates(posted).constLast().value(QStringLiteral("state")).toString(),
             QStringLiteral("custom"));
    QCOMPARE(f.settings.string(SettingsKeys::DXSpotTableViewPreset), QStringLiteral("custom"));
}

void tst_SpotTableView::copy_givesSelectedRowsAscending_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Ctrl+C") << "key";
    QTest::newRow("context menu") << "menu";
}

void tst_SpotTableView::copy_givesSelectedRowsAscending()
{
    QFETCH(QString, how);
    SpotTableFixture f;
    QList<DXSpot> spots = makeSpots(6);
    for (int i = 0; i < spots.size(); ++i) {
        spots[i].callsign = QStringLiteral("CALL%1").arg(i);
        spots[i].spotter = QStringLiteral("SP%1").arg(i);
        spots[i].frequency = 7000 + i;
        spots[i].time = QStringLiteral("120%1Z").arg(i);
        spots[i].comment = QStringLiteral("c%1").arg(i);
    }
    spots[1].comment.clear();
    spots[3].dxcc.reset();
    Table t(f, spots);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));

    QTest::mouseClick(t.view.viewport(), Qt::LeftButton, {}, t.cellCentre(3, 1));
    QTest::mouseClick(t.view.viewport(), Qt::LeftButton, Qt::ControlModifier, t.cellCentre(1, 1));
    QCOMPARE(t.selectedCount(), 2);
    if (how == u"key") {
        QTest::keyClick(&t.view, Qt::Key_C, Qt::ControlModifier);
    } else {
        std::unique_ptr<QMenu> menu(t.view.makeContextMenu(t.cellCentre(1, 4)));
        menu->findChild<QAction *>(QStringLiteral("copySpotsAction"))->trigger();
    }
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("1201Z\tCALL1\t7,001.0\t20m\tSP1\t\tUnited States\t\n"
                            "1203Z\tCALL3\t7,003.0\t20m\tSP3\tc3\t\t"));

    t.view.clearSelection();
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    QTest::keyClick(&t.view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
}

void tst_SpotTableView::contextMenu_adjustsSelectionAndEnablesCopy()
{
    SpotTableFixture f;
    Table t(f, makeSpots(5));
    const auto copyEnabled = [](QMenu *menu) {
        return menu->findChild<QAction *>(QStringLiteral("copySpotsAction"))->isEnabled();
    };
    t.view.selectRow(0);
    t.view.selectionModel()->select(t.view.model()->index(1, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);

    std::unique_ptr<QMenu> inside(t.view.makeContextMenu(t.cellCentre(1, 2)));
    QCOMPARE(t.selectedCount(), 2); // part of the selection: kept whole
    QVERIFY(copyEnabled(inside.get()));

    std::unique_ptr<QMenu> other(t.view.makeContextMenu(t.cellCentre(3, 2)));
    QCOMPARE(t.selectedCount(), 1);
    QVERIFY(t.isSelected(3));
    QVERIFY(copyEnabled(other.get()));

    std::unique_ptr<QMenu> below(t.view.makeContextMenu(QPoint(20, 5 * rowHeight + 10)));
    QCOMPARE(t.selectedCount(), 0);
    QVERIFY(!copyEnabled(below.get()));
}

void tst_SpotTableView::timeHeader_togglesLocalTimeAndIsStored()
{
    SpotTableFixture f;
    qputenv("TZ", "Etc/GMT-1"); // one hour ahead of UTC
    QList<DXSpot> spots = makeSpots(1);
    spots[0].time = QStringLiteral("0905Z");
    {
        Table t(f, spots);
        QHeaderView &header = *t.view.horizontalHeader();
        const auto clickHeader = [&header](QStringView column) {
            const int logical = spotTableColumnIndex(column);
            QTest::mouseClick(header.viewport(), Qt::LeftButton, {},
                              QPoint(header.sectionViewportPosition(logical) + 10, 5));
        };
        const QModelIndex time = t.view.model()->index(0, spotTableColumnIndex(u"time"));
        QCOMPARE(time.data().toString(), QStringLiteral("0905Z"));

        clickHeader(u"spotter");
        QCOMPARE(time.data().toString(), QStringLiteral("0905Z"));
        clickHeader(u"time");
        QCOMPARE(time.data().toString(), QStringLiteral("1005"));
        QCOMPARE(f.settings.boolValue(SettingsKeys::DXSpotTableShowLocalTime), true);
    }
    Table again(f, spots);
    QCOMPARE(again.view.model()->index(0, 0).data().toString(), QStringLiteral("1005"));
    qunsetenv("TZ");
}

void tst_SpotTableView::lotwHeader_togglesFilterAndIsRetitled()
{
    SpotTableFixture f;
    Table t(f, makeSpots(3));
    QHeaderView &header = *t.view.horizontalHeader();
    const int lotw = spotTableColumnIndex(u"lotw");
    QSignalSpy toggles(&t.view, &SpotTableView::loTWFilterToggled);
    QTest::mouseClick(header.viewport(), Qt::LeftButton, {},
                      QPoint(header.sectionViewportPosition(lotw) + 10, 5));
    QCOMPARE(toggles.count(), 1);

    QCOMPARE(t.view.model()->headerData(lotw, Qt::Horizontal).toString(), QStringLiteral("LoTW"));
    t.input.showLoTWOnly = true;
    t.show(t.input.spots);
    QCOMPARE(t.view.model()->headerData(lotw, Qt::Horizontal).toString(), QStringLiteral("LoTW ✓"));
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

    const QPoint cell = t.cellCentre(1, spotTableColumnIndex(column));
    // A double click is a press and release followed by the double-click event.
    QTest::mouseClick(t.view.viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(t.view.viewport(), Qt::LeftButton, {}, cell);
    if (expected.isEmpty()) {
        QVERIFY(f.openedUrls.isEmpty());
        return;
    }
    QCOMPARE(f.openedUrls.size(), 1);
    QCOMPARE(QString::fromLatin1(f.openedUrls.at(0).toEncoded()), expected);
}

QTEST_MAIN(tst_SpotTableView)
#include "tst_SpotTableView.moc"
