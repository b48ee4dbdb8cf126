// The filter panels inside the real main window: their places, and the sheets the presenter shows
// for the sessions the Spot Filters popover opens.
#include "BandFiltersSidebar.h"
#include "FilterPanelsInstaller.h"
#include "FiltersButton.h"
#include "MainWindowKit.h"
#include "SendSpotBar.h"
#include "SheetPresenter.h"
#include "SpotFiltersPopover.h"

#include <QtTest>

using namespace varnello;
using namespace varnello::test;

class TestFilterPanelsInWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void panelsTakeTheirPlacesAndSheetsFollowTheSessions()
    {
        MainWindowKit kit;
        installFilterPanels(*kit.window, *kit.view, {});
        QVERIFY(kit.showWindow());
        QVERIFY(kit.find<BandFiltersSidebar>("bandFiltersSidebar"));
        QVERIFY(kit.find<SendSpotBar>("sendSpotBar"));
        auto *filters = kit.find<FiltersButton>("filtersButton");
        QVERIFY(filters);
        QVERIFY(kit.find<QPushButton>("rbnButton"));
        kit.view->setSidebarIsVisible(true);
        QTest::qWait(400); // the panel slides in
        kit.window->grab().save(QCoreApplication::applicationDirPath() +
                                "/window-with-band-filters.png");
        kit.view->setSidebarIsVisible(false);

        filters->click();
        QVERIFY(filters->popover()->isVisible());
        filters->popover()->findChild<QPushButton *>("customInfoFilterButton")->click();
        QVERIFY(!filters->popover()->isVisible());
        QTRY_VERIFY(kit.window->presenter().current() ==
                    SheetPresenter::Presentation::blockedWords);
        QDialog *sheet = kit.window->presenter().currentDialog();
        QCOMPARE(sheet->objectName(), QStringLiteral("blockedWordsSheet"));
        sheet->findChild<QPushButton *>("cancel")->click();
        QTRY_VERIFY(!kit.window->presenter().current());
        QVERIFY(!kit.view->customInfoFilterSession());

        kit.view->openCustomSpotterEntitySheet();
        QTRY_VERIFY(kit.window->presenter().current() ==
                    SheetPresenter::Presentation::allowedSpotterEntities);
        kit.window->presenter().currentDialog()->findChild<QPushButton *>("save")->click();
        QTRY_VERIFY(!kit.window->presenter().current());
        QVERIFY(!kit.view->customSpotterEntitySession());
    }
};

QTEST_MAIN(TestFilterPanelsInWindow)
#include "tst_FilterPanelsInWindow.moc"
