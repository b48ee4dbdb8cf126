// The filter panels inside the real main window: their places, and the sheets the presenter shows
// for the sessions the Spot Filters popover opens.
#include "BandFiltersSidebar.h"
#include "ClusterConnectionTestAccess.h"
#include "FilterPanelsInstaller.h"
#include "FiltersButton.h"
#include "MainWindowKit.h"
#include "SendSpotBar.h"
#include "SheetPresenter.h"
#include "SpotFiltersPopover.h"
#include "UrlOpener.h"

#include <QMessageBox>
#include <QUrlQuery>
#include <QtTest>

using namespace varnello;
using namespace varnello::test;

namespace {

// Records the links the program opens, for as long as it lives.
struct RecordingOpener final : UrlOpener {
    QList<QUrl> opened;
    RecordingOpener() { UrlOpener::setShared(this); }
    ~RecordingOpener() override { UrlOpener::setShared(nullptr); }
    bool open(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
};

} // namespace

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

    // Installed as the program installs it, Register hands the registration request mail of the
    // login callsign to the desktop.
    void register_opensTheRegistrationMail()
    {
        RecordingOpener opener;
        MainWindowKit kit;
        installFilterPanels(*kit.window, *kit.view, {});
        QVERIFY(kit.showWindow());
        QVERIFY(kit.logIn(QStringLiteral("N0CALL")));
        ClusterConnectionTestAccess::requireRegistration(kit.cluster());
        auto *button = kit.find<QPushButton>("sendSpotButton");
        QTRY_COMPARE(button->text(), QStringLiteral("Register"));
        QVERIFY(button->isEnabled());
        button->click();
        QCOMPARE(opener.opened.size(), 1);
        const QUrl link = opener.opened.first();
        QCOMPARE(link.scheme(), QStringLiteral("mailto"));
        const QUrlQuery query(link);
        QCOMPARE(query.queryItemValue("subject", QUrl::FullyDecoded),
                 QStringLiteral("Request to register for Varnello"));
        QVERIFY(query.queryItemValue("body", QUrl::FullyDecoded).contains("N0CALL"));
        QVERIFY(kit.window->findChild<QMessageBox *>("registrationAlert"));
    }
};

QTEST_MAIN(TestFilterPanelsInWindow)
#include "tst_FilterPanelsInWindow.moc"
