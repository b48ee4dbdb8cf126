// The icon mapping, the program's icon, the empty-state panel, network text and sectioned lists.
#include "EmptyStateView.h"
#include "Icons.h"
#include "NetworkText.h"
#include "SectionedListWidget.h"

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

    void applicationIcon_isDrawnAtWindowSizes()
    {
        const QIcon icon = applicationIcon();
        for (const int size : {16, 32, 64, 128}) {
            const QImage image = icon.pixmap(size, size).toImage();
            QCOMPARE(image.width(), size);
            // Opaque in the middle, transparent at the rounded corner.
            QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        }
    }

    void networkDisplayText_data()
    {
        QTest::addColumn<QString>("received");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain text is kept") << "CW 599 <b>up</b>"
                                            << "CW 599 <b>up</b>";
        QTest::newRow("bell and escape removed") << "QRV\a \x1b[31mnow"
                                                 << "QRV [31mnow";
        QTest::newRow("DEL and C1 removed, next line a blank") << "a\x7f\u0085b\u009bc"
                                                               << "a bc";
        QTest::newRow("tab and line breaks become blanks") << "a\tb\u2028c\rd"
                                                           << "a b c d";
        QTest::newRow("override dropped") << "\u202Elive\u202C ok"
                                          << "live ok";
        QTest::newRow("embeddings, isolates and marks dropped")
            << "\u202Aa\u202Bb\u202Dc\u2066d\u2067e\u2068f\u2069g\u200Eh\u200Fi\u061Cj"
            << "abcdefghij";
        QTest::newRow("letters of other scripts kept") << "\u05e9\u05dc\u05d5\u05dd \u00e9"
                                                       << "\u05e9\u05dc\u05d5\u05dd \u00e9";
        QTest::newRow("stacked marks cut to three per letter")
            << "Z\u0336\u0337\u0338\u0335\u0334a\u0300\u0301\u0302\u0303 ok"
            << "Z\u0336\u0337\u0338a\u0300\u0301\u0302 ok";
        QTest::newRow("marks beyond the plane, counted whole")
            << QString::fromUtf16(u"x\U0001D165\U0001D166\U0001D167\U0001D168")
            << QString::fromUtf16(u"x\U0001D165\U0001D166\U0001D167");
        QTest::newRow("a removed control joins no runs") << "e\u0301\u0301\a\u0301\u0301"
                                                         << "e\u0301\u0301\u0301";
    }

    void networkDisplayText()
    {
        QFETCH(QString, received);
        QFETCH(QString, shown);
        QCOMPARE(varnello::networkDisplayText(received), shown);
        QCOMPARE(needsNetworkDisplayCleaning(received), received != shown);
        QCOMPARE(networkDisplayLines({received, received}), shown + u'\n' + shown);
    }

    // Rows: 0 heading, 1 "a", 2 heading, 3 hidden "b", 4 "c", 5 heading, 6 "d", 7 hidden "e".
    void sectionedList_keysAndClicksLandOnShownEntries_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("key"); // 0: a click on the heading in row 2
        QTest::addColumn<int>("landing");
        QTest::newRow("Down over a heading and a hidden entry") << 1 << int(Qt::Key_Down) << 4;
        QTest::newRow("End before a hidden entry") << 1 << int(Qt::Key_End) << 6;
        QTest::newRow("Page Up onto the top heading") << 6 << int(Qt::Key_PageUp) << 1;
        QTest::newRow("click on a heading") << 4 << 0 << 4;
    }

    void sectionedList_keysAndClicksLandOnShownEntries()
    {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, landing);
        SectionedListWidget list(
            [](const QModelIndex &row) { return row.data().toString()[0].isLower(); });
        list.addItems(QStringLiteral("Top a Middle b c Bottom d e").split(u' '));
        list.setRowHidden(3, true);
        list.setRowHidden(7, true);
        list.show();
        list.setCurrentRow(start);
        if (key)
            QTest::keyClick(&list, Qt::Key(key));
        else
            QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                              list.visualItemRect(list.item(2)).center());
        QCOMPARE(list.currentRow(), landing);
    }

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
