// The filter panel widgets offscreen: controls follow and drive ContentView's state; pictures of
// the popover, the band sidebar and both sheets go to the build folder.
#include "../../content/ContentViewFixture.h"
#include "AllowedSpotterEntitiesSheet.h"
#include "BandFiltersSidebar.h"
#include "BlockedWordsSheet.h"
#include "FiltersButton.h"
#include "RBNButton.h"
#include "RBNPopover.h"
#include "SpotFiltersPopover.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace varnello;
using namespace varnello::test;

namespace {

using S = ContentView::FilterSwitch;

template <typename T> T *child(QWidget &parent, const QString &name)
{
    T *found = parent.findChild<T *>(name);
    if (!found)
        qWarning("no child %s", qPrintable(name));
    return found;
}

void savePicture(QWidget &widget, const QString &name)
{
    QTest::qWait(20); // pending layout requests first
    widget.grab().save(QCoreApplication::applicationDirPath() + QLatin1Char('/') + name);
}

} // namespace

class TestFilterPanels : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void popover_rendersAndWritesTheFilters()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.setCustomInfoFilterTerms({"a", "b", "c"});
        SpotFiltersPopover popover(view);
        view.setFiltersPopoverPresented(true);
        popover.showBelow(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(&popover));
        QVERIFY(!child<QCheckBox>(popover, "hideQRPSpots")->isVisible());
        QVERIFY(!child<QPushButton>(popover, "clearFilters")->isEnabled());
        QCOMPARE(child<QPushButton>(popover, "customInfoFilterButton")->text(),
                 QStringLiteral("Custom (3)\u2026"));

        child<QCheckBox>(popover, "hideCWSpots")->click();
        QVERIFY(view.filterSwitch(S::hideCWSpots));
        QVERIFY(child<QPushButton>(popover, "clearFilters")->isEnabled());
        child<QCheckBox>(popover, "hiddenDXFrom_EU")->click();
        QCOMPARE(view.hiddenDXFromContinents(), QSet<QString>{"EU"});
        child<QPushButton>(popover, "hiddenDXByTitle")->click();
        QCOMPARE(view.hiddenDXByContinents().size(), 7);
        QVERIFY(child<QCheckBox>(popover, "hiddenDXBy_SA")->isChecked());

        // The allow list switched on here greys out and empties "Hide spotter from".
        child<QCheckBox>(popover, "customSpotterEntityFilterEnabled")->click();
        QVERIFY(view.hiddenDXByContinents().isEmpty());
        QVERIFY(!child<QCheckBox>(popover, "hiddenDXBy_SA")->isEnabled());
        QVERIFY(!child<QCheckBox>(popover, "hiddenDXBy_SA")->isChecked());

        f.settings.setBool(SettingsKeys::advancedMode, true);
        QVERIFY(child<QCheckBox>(popover, "hideQRPSpots")->isVisible());
        child<QPushButton>(popover, "modeShortcut")->click();
        QVERIFY(child<QCheckBox>(popover, "hideQRPSpots")->isChecked());
        savePicture(popover, "spot-filters-popover.png");

        child<QPushButton>(popover, "clearFilters")->click();
        QVERIFY(!view.hasActiveSpotFilters());
        QVERIFY(!child<QPushButton>(popover, "clearFilters")->isEnabled());
        QVERIFY(popover.isVisible());

        // Custom… closes the popover; the sheet's session follows one turn later.
        child<QPushButton>(popover, "customSpotterEntityButton")->click();
        QVERIFY(!popover.isVisible());
        QVERIFY(!view.isFiltersPopoverPresented());
        QVERIFY(!view.customSpotterEntitySession());
        QTRY_VERIFY(view.customSpotterEntitySession());
    }

    void buttons_openTheirPopovers()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        QWidget row;
        auto *filters = new FiltersButton(view, &row);
        auto *rbn = new RBNButton(view, &row);
        row.show();
        QVERIFY(QTest::qWaitForWindowExposed(&row));
        filters->click();
        QVERIFY(view.isFiltersPopoverPresented());
        QVERIFY(filters->popover()->isVisible());
        child<QPushButton>(*filters->popover(), "done")->click();
        QVERIFY(!filters->popover()->isVisible());
        // Without a DXSpider login the RBN button stays disabled and reads "RBN".
        QVERIFY(!rbn->isEnabled());
        QCOMPARE(rbn->text(), QStringLiteral("RBN"));
    }

    void bandSidebar_rowsFooterAndTicks()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        BandFiltersSidebar sidebar(view);
        sidebar.resize(190, 700);
        sidebar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sidebar));
        auto *summary = child<QLabel>(sidebar, "bandSummary");
        QCOMPARE(summary->text(), QStringLiteral("Showing all bands"));
        QTest::mouseClick(child<QPushButton>(sidebar, "group_HF"), Qt::LeftButton);
        QCOMPARE(view.selectedBands().size(), 10);
        QVERIFY(summary->text().startsWith("Showing 160m, 80m"));
        QTest::mouseClick(child<QPushButton>(sidebar, "band_Other"), Qt::LeftButton);
        QVERIFY(summary->text().endsWith("10m, Other"));
        QVERIFY(child<QLabel>(sidebar, "group_HF_check")->property("ticked").toBool());
        QVERIFY(!child<QLabel>(sidebar, "allBands_check")->property("ticked").toBool());
        QCOMPARE(child<QPushButton>(sidebar, "group_HF")->toolTip(),
                 QStringLiteral("Select or deselect all HF bands"));
        savePicture(sidebar, "band-filters-sidebar.png");
        QTest::mouseClick(child<QPushButton>(sidebar, "allBands"), Qt::LeftButton);
        QVERIFY(view.selectedBands().isEmpty());
        QCOMPARE(summary->text(), QStringLiteral("Showing all bands"));
    }

    // Return in the entry adds the term and never presses Save and Enable.
    void blockedWordsSheet_returnInTheEntryOnlyAdds()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.setCustomInfoFilterTerms({"cafe"});
        view.openCustomInfoFilterSheet();
        QTRY_VERIFY(view.customInfoFilterSession());
        QWidget window;
        window.resize(800, 800);
        window.show();
        BlockedWordsSheet sheet(view, &window);
        sheet.open();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        auto *entry = child<QLineEdit>(sheet, "entry");
        entry->setFocus();
        QTest::keyClicks(entry, "CAFE");
        QVERIFY(!child<QPushButton>(sheet, "add")->isEnabled());
        QTest::keyClick(entry, Qt::Key_Return);
        QCOMPARE(entry->text(), QStringLiteral("CAFE"));
        entry->clear();
        QTest::keyClicks(entry, "  <b>spam</b> ");
        QTest::keyClick(entry, Qt::Key_Return);
        QCOMPARE(view.customInfoFilterDraft(), (QStringList{"cafe", "<b>spam</b>"}));
        QCOMPARE(entry->text(), QString());
        QVERIFY(sheet.isVisible());
        QVERIFY(view.customInfoFilterSession());
        QCOMPARE(view.customInfoFilterTerms(), QStringList{"cafe"});
        QCOMPARE(child<QLabel>(sheet, "entryCount")->text(), QStringLiteral("2 entries"));
        bool shownAsTyped = false;
        for (const QLabel *label : sheet.findChildren<QLabel *>()) {
            if (label->text() == QLatin1String("<b>spam</b>"))
                shownAsTyped = label->textFormat() == Qt::PlainText;
        }
        QVERIFY(shownAsTyped);
        savePicture(sheet, "blocked-words-sheet.png");

        child<QPushButton>(sheet, "saveAndEnable")->click();
        QVERIFY(!sheet.isVisible());
        QCOMPARE(view.customInfoFilterTerms(), (QStringList{"cafe", "<b>spam</b>"}));
        QVERIFY(view.filterSwitch(S::customInfoFilterEnabled));
    }

    void entitySheet_sectionsAndPlainNames()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.loadAlertEntities();
        f.settings.setData(SettingsKeys::customSpotterEntityADIFNumbers, "[230]");
        view.openCustomSpotterEntitySheet();
        QTRY_VERIFY(view.customSpotterEntitySession());
        QWidget window;
        window.resize(800, 800);
        window.show();
        AllowedSpotterEntitiesSheet sheet(view, &window);
        sheet.open();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        auto *list = child<QListWidget>(sheet, "entities");
        QCOMPARE(list->item(0)->text(), QStringLiteral("Selected DXCC Entities"));
        QVERIFY(list->item(1)->text().contains(QStringLiteral("ADIF 230")));
        QCOMPARE(list->item(2)->text(), QStringLiteral("All DXCC Entities"));
        QCOMPARE(child<QLabel>(sheet, "selectedCount")->text(), QStringLiteral("1 selected"));
        QTest::keyClicks(child<QLineEdit>(sheet, "search"), "291");
        QCOMPARE(list->count(), 4);
        QVERIFY(list->item(3)->text().contains(QStringLiteral("ADIF 291")));
        list->itemClicked(list->item(3));
        QTRY_COMPARE(view.customSpotterEntityDraft(), (QSet<int>{230, 291}));
        QCOMPARE(list->item(0)->text(), QStringLiteral("Selected DXCC Entities"));
        child<QLineEdit>(sheet, "search")->clear();
        view.setCustomSpotterEntitySearch(QString());
        QVERIFY(!child<QPushButton>(sheet, "selectWithinRadius")->isEnabled());
        child<QLineEdit>(sheet, "homeGrid")->setText("jo01");
        view.setCustomSpotterHomeGrid("jo01");
        view.setCustomSpotterRadius("100");
        QVERIFY(child<QPushButton>(sheet, "selectWithinRadius")->isEnabled());
        savePicture(sheet, "allowed-spotter-entities-sheet.png");
        child<QPushButton>(sheet, "cancel")->click();
        QVERIFY(!sheet.isVisible());
        QCOMPARE(f.settings.data(SettingsKeys::customSpotterEntityADIFNumbers),
                 QByteArray("[230]"));
    }

    void rbnPopover_applyFollowsTheDrafts()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        RBNPopover popover(view);
        view.toggleRBNPopover();
        popover.showBelow(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(&popover));
        // Without a connection nothing can be applied or refreshed.
        QVERIFY(!child<QPushButton>(popover, "apply")->isEnabled());
        QVERIFY(!child<QPushButton>(popover, "refresh")->isEnabled());
        QVERIFY(child<QLabel>(popover, "statusUnavailable")->isVisible());
        QVERIFY(!child<QCheckBox>(popover, "mode_CW")->isEnabled());
        child<QCheckBox>(popover, "enableRBN")->click();
        QVERIFY(view.draftRBNEnabled());
        QVERIFY(child<QCheckBox>(popover, "mode_CW")->isEnabled());
        child<QPushButton>(popover, "spotTypes")->click();
        QVERIFY(child<QCheckBox>(popover, "mode_FT")->isChecked());
        savePicture(popover, "rbn-popover.png");
        child<QPushButton>(popover, "cancel")->click();
        QVERIFY(!popover.isVisible());
        QVERIFY(!view.draftRBNEnabled());
    }
};

QTEST_MAIN(TestFilterPanels)
#include "tst_FilterPanels.moc"
