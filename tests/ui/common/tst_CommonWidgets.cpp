// The icon mapping and the empty-state panel.
#include "EmptyStateView.h"
#include "Icons.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace varnello;

class CommonWidgetsTest : public QObject {
    Q_OBJECT

private slots:
    void themedIcon_everySymbolHasADrawingOfItsOwn_data()
    {
        QTest::addColumn<QString>("symbol");
        for (const char *symbol :
             {"sidebar.left", "sidebar.right", "magnifyingglass", "xmark.circle.fill", "gearshape",
              "network.slash", "bell", "bell.slash", "terminal",
              "antenna.radiowaves.left.and.right", "line.3.horizontal.decrease.circle"})
            QTest::newRow(symbol) << QString::fromLatin1(symbol);
    }

    void themedIcon_everySymbolHasADrawingOfItsOwn()
    {
        QFETCH(QString, symbol);
        // Machines without an icon theme (CI) show our own drawings.
        QIcon::setThemeName(QStringLiteral("no-such-theme"));
        QVERIFY(!themeIconName(symbol).isEmpty());
        const QIcon icon = themedIcon(symbol);
        QVERIFY(!icon.isNull());
        const QImage image = icon.pixmap(32, 32).toImage();
        QVERIFY(!image.isNull());
        bool painted = false;
        for (int y = 0; y < image.height() && !painted; ++y)
            for (int x = 0; x < image.width() && !painted; ++x)
                painted = qAlpha(image.pixel(x, y)) > 0;
        QVERIFY2(painted, "the fallback drawing renders nothing");
    }

    void themedIcon_unknownSymbolIsNull() { QVERIFY(themedIcon(u"no.such.symbol").isNull()); }

    void emptyState_plainTextAndOptionalAction()
    {
        EmptyStateView view;
        QSignalSpy triggered(&view, &EmptyStateView::actionTriggered);
        view.setContent(themedIcon(u"magnifyingglass"), QStringLiteral("No Matching Callsigns"),
                        QStringLiteral("No received spots match <b>K1</b>."),
                        QStringLiteral("Clear Search"));
        view.show();
        auto *description = view.findChild<QLabel *>(QStringLiteral("emptyStateDescription"));
        QCOMPARE(description->textFormat(), Qt::PlainText);
        QCOMPARE(view.description(), QStringLiteral("No received spots match <b>K1</b>."));
        auto *action = view.findChild<QPushButton *>(QStringLiteral("emptyStateAction"));
        QVERIFY(action->isVisible());
        action->click();
        QCOMPARE(triggered.size(), 1);

        view.setContent(QIcon(), QStringLiteral("Waiting for Spots"), QString());
        QVERIFY(!action->isVisible());
        QCOMPARE(view.actionTitle(), QString());
    }
};

QTEST_MAIN(CommonWidgetsTest)
#include "tst_CommonWidgets.moc"
