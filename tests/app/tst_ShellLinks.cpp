#include "ShellLinks.h"

#include <QtTest>

using namespace varnello;

class TestShellLinks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void contactMail_carriesVersionAndBuildInItsSubject_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("version"); // empty: missing
        QTest::addColumn<QString>("build");
        QTest::addColumn<QString>("url"); // empty: no link
        const QString prefix = QStringLiteral(
            "mailto:author@example.org?subject=Contact%20from%20Varnello%20%E2%80%94%20v");
        QTest::newRow("both") << "author@example.org"
                              << "0.1.0"
                              << "12" << prefix + "0.1.0%20(12)";
        QTest::newRow("no build") << "author@example.org"
                                  << "0.1.0"
                                  << "" << prefix + "0.1.0%20(Unknown)";
        QTest::newRow("no version") << "author@example.org"
                                    << ""
                                    << "12" << prefix + "Unknown%20(12)";
        QTest::newRow("& and + encoded") << "author@example.org"
                                         << "1&2+3"
                                         << "4" << prefix + "1%262%2B3%20(4)";
        QTest::newRow("no address") << ""
                                    << "0.1.0"
                                    << "12"
                                    << "";
    }
    void contactMail_carriesVersionAndBuildInItsSubject()
    {
        QFETCH(QString, address);
        QFETCH(QString, version);
        QFETCH(QString, build);
        QFETCH(QString, url);
        auto given = [](const QString &text) {
            return text.isEmpty() ? std::nullopt : std::optional(text);
        };
        const std::optional<QUrl> mail =
            ShellLinks::contactMail(address, given(version), given(build));
        QCOMPARE(mail.has_value(), !url.isEmpty());
        if (mail)
            QCOMPARE(mail->toString(QUrl::FullyEncoded), url);
    }
};

QTEST_GUILESS_MAIN(TestShellLinks)
#include "tst_ShellLinks.moc"
