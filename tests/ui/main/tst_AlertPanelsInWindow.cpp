// The alert panels inside the real main window: the sidebar in the right panel, and the editor
// that a slot's gear opens through the presenter and that Cancel closes.
#include "AlertEditorSheet.h"
#include "AlertPanelsInstaller.h"
#include "MainWindowKit.h"
#include "SheetPresenter.h"
#include "SpotAlertsSidebar.h"

#include <QToolButton>
#include <QtTest>

using namespace varnello;
using namespace varnello::test;

class TestAlertPanelsInWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void gearOpensTheEditorAndCancelClosesIt()
    {
        MainWindowKit kit;
        installAlertPanels(*kit.window, *kit.view);
        QVERIFY(kit.showWindow());
        QVERIFY(kit.find<SpotAlertsSidebar>("spotAlertsSidebar"));

        auto *gear = kit.find<QToolButton>("alertGearButton_2");
        QVERIFY(gear);
        gear->click();
        QTRY_VERIFY(kit.window->presenter().current() ==
                    SheetPresenter::Presentation::alertEditor);
        QVERIFY(qobject_cast<AlertEditorSheet *>(kit.window->presenter().currentDialog()));
        QCOMPARE(kit.view->alertEditorSession()->index, 2);

        kit.window->presenter().currentDialog()->findChild<QPushButton *>("cancel")->click();
        QTRY_VERIFY(!kit.window->presenter().current());
        QVERIFY(!kit.view->alertEditorSession());
    }
};

QTEST_MAIN(TestAlertPanelsInWindow)
#include "tst_AlertPanelsInWindow.moc"
