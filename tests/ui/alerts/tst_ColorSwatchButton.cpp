#include "ColorSwatchButton.h"

#include <QColorDialog>
#include <QSignalSpy>
#include <QTest>

using namespace varnello;

Q_DECLARE_METATYPE(std::optional<varnello::SpotAlertColor>)

class tst_ColorSwatchButton : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pickedColour_becomesSrgbComponents_data()
    {
        QTest::addColumn<QColor>("picked");
        QTest::addColumn<std::optional<SpotAlertColor>>("expected");
        QTest::newRow("invalid") << QColor() << std::optional<SpotAlertColor>();
        QTest::newRow("8-bit rgb")
            << QColor(255, 0, 51) << std::optional<SpotAlertColor>({1.0, 0.0, 0.2});
        QTest::newRow("hsv") << QColor::fromHsv(120, 255, 255)
                             << std::optional<SpotAlertColor>({0.0, 1.0, 0.0});
        // Components outside sRGB's range stay as they are: no clamping.
        QTest::newRow("extended") << QColor::fromRgbF(1.25f, -0.125f, 0.5f)
                                  << std::optional<SpotAlertColor>({1.25, -0.125, 0.5});
    }
    void pickedColour_becomesSrgbComponents()
    {
        QFETCH(QColor, picked);
        QFETCH(std::optional<SpotAlertColor>, expected);
        const auto colour = ColorSwatchButton::alertColorFromPicked(picked);
        QCOMPARE(colour.has_value(), expected.has_value());
        // Exact: QCOMPARE on doubles would forgive a float round trip.
        if (colour)
            QVERIFY2(*colour == *expected, qPrintable(QStringLiteral("%1 %2 %3")
                                                          .arg(colour->red, 0, 'g', 17)
                                                          .arg(colour->green, 0, 'g', 17)
                                                          .arg(colour->blue, 0, 'g', 17)));
    }

    void onlyAPickedColour_isReported()
    {
        ColorSwatchButton swatch;
        QSignalSpy picked(&swatch, &ColorSwatchButton::colorPicked);
        const SpotAlertColor shown{0.95, 0.35, 0.65};
        swatch.setColor(shown);
        swatch.show();

        // Opening and cancelling the dialog leaves the colour exactly as shown.
        QTest::mouseClick(&swatch, Qt::LeftButton);
        QPointer<QColorDialog> dialog = swatch.dialog();
        QVERIFY(dialog);
        QVERIFY(!dialog->testOption(QColorDialog::ShowAlphaChannel));
        dialog->reject();
        QTRY_VERIFY(!dialog);
        QCOMPARE(picked.count(), 0);
        QCOMPARE(swatch.color(), shown);

        QTest::mouseClick(&swatch, Qt::LeftButton);
        dialog = swatch.dialog();
        QVERIFY(dialog);
        dialog->setCurrentColor(QColor(0, 255, 0));
        dialog->accept();
        QCOMPARE(picked.count(), 1);
        QCOMPARE(picked.first().first().value<SpotAlertColor>(), (SpotAlertColor{0, 1, 0}));
        QCOMPARE(swatch.color(), (SpotAlertColor{0, 1, 0}));
    }
};

QTEST_MAIN(tst_ColorSwatchButton)
#include "tst_ColorSwatchButton.moc"
