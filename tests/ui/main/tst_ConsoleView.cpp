// The console follows the connection's lines: appends what is new, keeps 5,000, starts again
// when its lines are gone.
#include "ConsoleView.h"

#include <QTextBlock>
#include <QtTest>

using namespace varnello;

namespace {

QList<ClusterLine> makeLines(int from, int count)
{
    QList<ClusterLine> lines;
    for (int i = from; i < from + count; ++i)
        lines.append(ClusterLine::make(QStringLiteral("line %1").arg(i)));
    return lines;
}

QString firstText(const ConsoleView &console)
{
    return console.document()->firstBlock().text();
}

QString lastText(const ConsoleView &console)
{
    return console.document()->lastBlock().text();
}

} // namespace

class ConsoleViewTest : public QObject {
    Q_OBJECT

private slots:
    void sync_followsTheConnectionsList_data()
    {
        QTest::addColumn<int>("initial");
        QTest::addColumn<int>("added");
        QTest::addColumn<int>("dropped"); // oldest lines the connection dropped meanwhile
        QTest::addColumn<int>("blocks");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::newRow("first lines") << 0 << 3 << 0 << 3 << "line 0"
                                     << "line 2";
        QTest::newRow("one more") << 3 << 1 << 0 << 4 << "line 0"
                                  << "line 3";
        QTest::newRow("at the cap") << 5000 << 10 << 10 << 5000 << "line 10"
                                    << "line 5009";
        QTest::newRow("more new lines than fit") << 100 << 6000 << 1100 << 5000 << "line 1100"
                                                 << "line 6099";
    }

    void sync_followsTheConnectionsList()
    {
        QFETCH(int, initial);
        QFETCH(int, added);
        QFETCH(int, dropped);
        ConsoleView console;
        QList<ClusterLine> lines = makeLines(0, initial);
        console.sync(lines);
        lines.append(makeLines(initial, added));
        lines.remove(0, dropped);
        console.sync(lines);
        QTEST(console.document()->blockCount(), "blocks");
        QTEST(firstText(console), "first");
        QTEST(lastText(console), "last");
    }

    void sync_startsAgainWhenItsLinesAreGone()
    {
        ConsoleView console;
        console.sync(makeLines(0, 5));
        // None of the lines shown is in the new list (all dropped since): start again.
        console.sync(makeLines(100, 2));
        QCOMPARE(console.document()->blockCount(), 2);
        QCOMPARE(firstText(console), QStringLiteral("line 100"));

        console.sync({});
        QVERIFY(console.document()->isEmpty());
        QCOMPARE(console.placeholderText(), QStringLiteral("No cluster output."));
    }

    void sync_emptyLineKeepsItsRowAndMarkupStaysText()
    {
        ConsoleView console;
        QList<ClusterLine> lines{ClusterLine::make(QStringLiteral("<img src=x>")),
                                 ClusterLine::make(QString()),
                                 ClusterLine::make(QStringLiteral("after"))};
        console.sync(lines);
        QCOMPARE(console.toPlainText(), QStringLiteral("<img src=x>\n \nafter"));
        QCOMPARE(console.document()->blockCount(), 3);

        // A console whose only line is empty holds output: no "No cluster output." over it.
        ConsoleView blankOnly;
        blankOnly.sync({ClusterLine::make(QString())});
        QVERIFY(!blankOnly.document()->isEmpty());
    }
};

QTEST_MAIN(ConsoleViewTest)
#include "tst_ConsoleView.moc"
