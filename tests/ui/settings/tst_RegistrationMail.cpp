#include "RegistrationMail.h"

#include <QtTest>

using namespace varnello;

class tst_RegistrationMail final : public QObject {
    Q_OBJECT

private slots:
    void mailURL_data()
    {
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<QString>("expected");
        const QString head = QStringLiteral(
            "mailto:register@ka2pbt.com?subject=Request%20to%20register%20for%20Varnello"
            "&body=Hi,%0A%0APlease%20could%20you%20register%20my%20callsign,%20");
        const QString tail = QStringLiteral(
            ",%20for%20use%20on%20the%20dx.ka2pbt.com%20DX%20cluster%20so%20that%20I%20can%20"
            "send%20spots%20using%20Varnello.%0A%0AThanks.");
        QTest::newRow("lower case, portable, blanks around")
            << " \tg4abc/p \n"
            << head + QStringLiteral("G4ABC/P") + tail;
        QTest::newRow("empty call") << "" << head + tail;
        QTest::newRow("query characters are encoded")
            << "a&b=c+d#e%" << head + QStringLiteral("A%26B%3DC%2BD%23E%25") + tail;
        QTest::newRow("non-ASCII as UTF-8") << QString::fromUtf8("é") << head + "%C3%89" + tail;
    }
    void mailURL()
    {
        QFETCH(QString, callsign);
        QFETCH(QString, expected);
        const std::optional<QUrl> url = registrationRequestMailURL(callsign);
        QVERIFY(url);
        QCOMPARE(url->toString(QUrl::FullyEncoded), expected);
        QCOMPARE(QString::fromLatin1(url->toEncoded()), expected);
    }

    void body_isPlainTextWithoutTrailingLineFeed()
    {
        QCOMPARE(registrationRequestMailBody(QStringLiteral("k1abc")),
                 QStringLiteral("Hi,\n\nPlease could you register my callsign, K1ABC, for use on "
                                "the dx.ka2pbt.com DX cluster so that I can send spots using "
                                "Varnello.\n\nThanks."));
    }
};

QTEST_MAIN(tst_RegistrationMail)
#include "tst_RegistrationMail.moc"
