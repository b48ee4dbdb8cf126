// Termination signals arrive as a Qt signal on the main thread, once; the defaults come back after.
#include "TerminationSignals.h"

#include <QSignalSpy>
#include <QtTest>
#include <csignal>

using namespace varnello;

namespace {

bool handledByDefault(int number)
{
    struct sigaction current {};
    ::sigaction(number, nullptr, &current);
    return current.sa_handler == SIG_DFL;
}

} // namespace

class TestTerminationSignals : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void signal_arrivesOnTheMainThread_data()
    {
        QTest::addColumn<int>("number");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void signal_arrivesOnTheMainThread()
    {
        QFETCH(int, number);
        {
            TerminationSignals termination;
            QVERIFY(termination.isInstalled());
            QVERIFY(!handledByDefault(number));
            QSignalSpy requested(&termination, &TerminationSignals::terminationRequested);
            ::raise(number);
            QTRY_COMPARE(requested.size(), 1);
            QCOMPARE(requested.at(0).at(0).toInt(), number);
            // A second one while quitting would end the process the default way.
            QVERIFY(handledByDefault(number));
        }
        QVERIFY(handledByDefault(SIGTERM) && handledByDefault(SIGINT) && handledByDefault(SIGHUP));
    }
};

QTEST_GUILESS_MAIN(TestTerminationSignals)
#include "tst_TerminationSignals.moc"
