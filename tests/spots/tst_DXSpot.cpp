#include "DXSpot.h"
#include "SpotType.h"

#include <QtTest>
#include <clocale>
#include <limits>

using namespace varnello;

class tst_DXSpot : public QObject {
    Q_OBJECT

private slots:
    void frequencyText_oneDecimalWithCommaGrouping_data()
    {
        QTest::addColumn<double>("kHz");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole kHz") << 14025.0 << "14,025.0";
        QTest::newRow("half kHz") << 7047.5 << "7,047.5";
        QTest::newRow("zero") << 0.0 << "0.0";
        QTest::newRow("below a thousand") << 999.0 << "999.0";
        QTest::newRow("two separators") << 1296174.0 << "1,296,174.0";
        QTest::newRow("tie rounds to even, up") << 14025.15 << "14,025.2";
        QTest::newRow("tie rounds to even, down") << 14025.25 << "14,025.2";
        QTest::newRow("tie on an even tenth") << 14025.05 << "14,025.0";
        QTest::newRow("above the tie") << 14025.251 << "14,025.3";
        QTest::newRow("below the tie") << 14025.149 << "14,025.1";
        QTest::newRow("carry into thousands") << 999.95 << "1,000.0";
        QTest::newRow("huge") << 1e15 << "1,000,000,000,000,000.0";
        QTest::newRow("infinite falls back to printf")
            << std::numeric_limits<double>::infinity() << "inf";
    }
    void frequencyText_oneDecimalWithCommaGrouping()
    {
        QFETCH(double, kHz);
        QFETCH(QString, text);
        DXSpot spot;
        spot.frequency = kHz;
        QCOMPARE(spot.frequencyText(), text);

        // The user's locale never changes the text.
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const char *cLocale = std::setlocale(LC_ALL, "de_DE.UTF-8");
        QCOMPARE(spot.frequencyText(), text);
        if (cLocale)
            std::setlocale(LC_ALL, "C");
        QLocale::setDefault(saved);
    }

    void spotType_rawValues()
    {
        QStringList raw;
        for (SpotType t : allSpotTypes)
            raw << toRaw(t);
        QCOMPARE(raw, (QStringList{"beacon", "ftx", "otherData", "cw", "ssb", "unknown"}));
        for (SpotType t : allSpotTypes)
            QCOMPARE(spotTypeFromRaw(toRaw(t)), t);
        QCOMPARE(spotTypeFromRaw(u"otherData"), SpotType::otherDigital);
        QCOMPARE(spotTypeFromRaw(u"otherDigital"), std::nullopt);
        QCOMPARE(spotTypeFromRaw(u"CW"), std::nullopt);
    }

    void equality_includesTheIdentity()
    {
        DXSpot a;
        a.id = QUuid::createUuid();
        a.spotter = QStringLiteral("K1ABC");
        a.frequency = 14025;
        DXSpot b = a;
        QCOMPARE(a, b);
        b.id = QUuid::createUuid();
        QVERIFY(a != b);
        b.id = a.id;
        b.dxccADIFNumber = 230;
        QVERIFY(a != b);
    }
};

QTEST_GUILESS_MAIN(tst_DXSpot)
#include "tst_DXSpot.moc"
