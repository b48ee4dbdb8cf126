// Offscreen pictures of the main window for a person to look at (written into the build folder,
// never compared): logged in with spots, the console, a warning sheet, the empty state.
#include "MainWindowKit.h"

#include "FilterPanelsInstaller.h"
#include "SheetPresenter.h"
#include "UnsupportedClusterWarningView.h"
#include "UpstreamFilterWarningView.h"

#include <QAbstractButton>
#include <QDir>

using namespace varnello;
using namespace varnello::test;

class MainWindowPicturesTest : public QObject {
    Q_OBJECT

    static QString picturePath(const QString &name)
    {
        const QString folder = QDir::current().absoluteFilePath(QStringLiteral("pictures"));
        QDir().mkpath(folder);
        return folder + u'/' + name + QStringLiteral(".png");
    }

    static bool save(QWidget *widget, const QString &name)
    {
        return widget->grab().save(picturePath(name));
    }

private slots:
    void pictures()
    {
        MainWindowKit kit;
        installFilterPanels(*kit.window, *kit.view, {});
        kit.window->resize(1000, 640);
        QVERIFY(kit.showWindow());
        QTRY_VERIFY(kit.find<QWidget>(QStringLiteral("emptyState"))->isVisible());
        QVERIFY(save(kit.window.get(), QStringLiteral("main-empty")));

        QVERIFY(kit.logIn());
        QStringList spots;
        const QStringList calls{"K1ABC",  "DL1XYZ", "JA1AAA", "VK2BBB", "PY2CCC",
                                "ZS6DDD", "G4EEE",  "VE3FFF", "EA8GGG", "OH2HHH"};
        for (int i = 0; i < 30; ++i)
            spots.append(
                spotLineFor(calls[i % calls.size()] + (i >= 10 ? QString::number(i) : ""), i));
        kit.net.node.sendLines(spots);
        kit.net.node.sendLine(QStringLiteral("<b>node notice</b> kept as typed"));
        QTRY_COMPARE(kit.cluster().spots().size(), 30);
        kit.view->setSidebarIsVisible(true);
        QTest::qWait(400);
        QVERIFY(save(kit.window.get(), QStringLiteral("main-spots")));
        kit.view->setSidebarIsVisible(false);

        kit.window->resize(100, 100);
        QTest::qWait(400);
        QVERIFY(save(kit.window.get(), QStringLiteral("main-smallest")));
        kit.window->resize(1000, 640);

        kit.find<QAbstractButton>(QStringLiteral("tabConsole"))->click();
        QTest::qWait(300);
        QVERIFY(save(kit.window.get(), QStringLiteral("main-console")));

        kit.view->setCommand(QStringLiteral("sh/dx"));
        kit.view->pressConnectButton();
        kit.net.node.setKind(FakeClusterNode::Kind::CCCluster);
        kit.view->connect(ConnectionOrigin::manual);
        QTRY_VERIFY(kit.window->presenter().currentDialog());
        QTest::qWait(200);
        QVERIFY(save(kit.window->presenter().currentDialog(), QStringLiteral("sheet-ccc")));

        UpstreamFilterWarningView filters(
            {QStringLiteral("filter1 accept/spots on hf/cw"),
             QStringLiteral("filter2 reject/spots on 6m"),
             QStringLiteral("filter9 reject/spots by_dxcc 100000/100001 and not call K1ABC")},
            {});
        filters.show();
        QVERIFY(save(&filters, QStringLiteral("sheet-filters")));
        UnsupportedClusterWarningView other(
            {ClusterNodeType::other, QStringLiteral("node.example"), 7300}, {});
        other.show();
        QVERIFY(save(&other, QStringLiteral("sheet-unsupported")));
        qInfo("pictures in %s", qPrintable(QFileInfo(picturePath("x")).absolutePath()));
    }
};

QTEST_MAIN(MainWindowPicturesTest)
#include "tst_MainWindowPictures.moc"
