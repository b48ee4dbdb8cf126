// The rows of the spot table: structural changes, cell texts and tooltips, highlight colours.

#include "SpotTableColumns.h"
#include "SpotTableModel.h"
#include "SpotTableTestSupport.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>

using namespace varnello;
using namespace varnello::test;

namespace {

int col(SpotTableColumn column)
{
    return static_cast<int>(column);
}

// What a tooltip shows on screen: QToolTip reads text that might be rich text as HTML.
QString shownToolTip(const QVariant &tooltip)
{
    const QString text = tooltip.toString();
    if (!Qt::mightBeRichText(text))
        return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}

} // namespace

class tst_SpotTableModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void structuralChanges_passModelTester();
    void frontInsertion_reportsInsertsAndTailRemovals();
    void contentChangedUnderSameID_redrawsThoseRows_data();
    void contentChangedUnderSameID_redrawsThoseRows();
    void frontInsertion_redrawsKeptRowsWithNewContent();
    void cells_data();
    void cells();
    void networkText_isShownAsTyped_data();
    void networkText_isShownAsTyped();
    void alertRows_areFilledAtAlpha();
    void lotwTexts_followReload();
    void copyText_givesTheRowsInAscendingOrder();
    void smallPresentation_fontsTwoPointsSmallerNotBelowTen();
};

void tst_SpotTableModel::structuralChanges_passModelTester()
{
    SpotTableFixture f;
    SpotTableModel model(f.lotw, f.clock);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    QList<DXSpot> spots = makeSpots(10);
    model.insertAtFront(spots, *frontInsertionChange({}, spots));
    QList<DXSpot> next = makeSpots(3, 10) + spots.mid(0, 7);
    model.insertAtFront(next, *frontInsertionChange(spots, next));
    QCOMPARE(model.rowCount(), 10);
    QCOMPARE(model.spotAt(3).id, spots.at(0).id);
    next[5].comment = QStringLiteral("changed");
    model.replaceContent(next);
    model.reloadSpots(makeSpots(4, 100));
    model.setHighlightColors({{model.spotAt(0).id, {1, 0, 0}}});
    model.setShowsLocalTime(true);
    model.setShowLoTWOnly(true);
    model.reloadLoTW();
    model.reloadSpots({});
    QCOMPARE(model.rowCount(), 0);
}

void tst_SpotTableModel::frontInsertion_reportsInsertsAndTailRemovals()
{
    SpotTableFixture f;
    SpotTableModel model(f.lotw, f.clock);
    const QList<DXSpot> old = makeSpots(5);
    model.reloadSpots(old);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    const QList<DXSpot> next = makeSpots(3, 5) + old.mid(0, 2);
    model.insertAtFront(next, *frontInsertionChange(old, next));

    QCOMPARE(resets.count(), 0);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), 2);
    QCOMPARE(removed.at(0).at(2).toInt(), 4);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 0);
    QCOMPARE(inserted.at(0).at(2).toInt(), 2);
    for (int row = 0; row < next.size(); ++row)
        QCOMPARE(model.spotAt(row).id, next.at(row).id);
}

void tst_SpotTableModel::contentChangedUnderSameID_redrawsThoseRows_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("entity after a new country file") << "dxcc";
    QTest::newRow("entity lost") << "nodxcc";
    QTest::newRow("comment") << "comment";
    QTest::newRow("frequency") << "frequency";
    QTest::newRow("call") << "callsign";
}

void tst_SpotTableModel::contentChangedUnderSameID_redrawsThoseRows()
{
    QFETCH(QString, field);
    SpotTableFixture f;
    SpotTableModel model(f.lotw, f.clock);
    const QList<DXSpot> old = makeSpots(8);
    model.reloadSpots(old);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    model.replaceContent(QList<DXSpot>(old));
    QCOMPARE(changed.count(), 0);

    QList<DXSpot> relooked = old;
    for (const int row : {2, 5}) {
        DXSpot &spot = relooked[row];
        if (field == u"dxcc")
            spot.dxcc = QStringLiteral("Canada");
        else if (field == u"nodxcc")
            spot.dxcc.reset();
        else if (field == u"comment")
            spot.comment += QLatin1Char('!');
        else if (field == u"frequency")
            spot.frequency += 0.1;
        else
            spot.callsign += QLatin1Char('X');
    }
    model.replaceContent(relooked);

    QCOMPARE(changed.count(), 1);
    const auto topLeft = changed.at(0).at(0).value<QModelIndex>();
    const auto bottomRight = changed.at(0).at(1).value<QModelIndex>();
    QCOMPARE(topLeft.row(), 2);
    QCOMPARE(bottomRight.row(), 5);
    QCOMPARE(bottomRight.column(), spotTableColumnCount - 1);
    const QString shown = model.index(2, col(SpotTableColumn::dxcc)).data().toString();
    if (field == u"dxcc")
        QCOMPARE(shown, QStringLiteral("Canada"));
    if (field == u"nodxcc")
        QCOMPARE(shown, QStringLiteral("—"));
}

void tst_SpotTableModel::frontInsertion_redrawsKeptRowsWithNewContent()
{
    SpotTableFixture f;
    SpotTableModel model(f.lotw, f.clock);
    const QList<DXSpot> old = makeSpots(5);
    model.reloadSpots(old);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    QList<DXSpot> next = makeSpots(2, 5) + old;
    next[4].dxcc = QStringLiteral("Canada"); // old row 2
    model.insertAtFront(next, *frontInsertionChange(old, next));

    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>().row(), 4);
    QCOMPARE(changed.at(0).at(1).value<QModelIndex>().row(), 4);
}

void tst_SpotTableModel::cells_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<int>("alignment");

    const int left = Qt::AlignLeft | Qt::AlignVCenter;
    QTest::newRow("time") << "time"
                          << "0905Z"
                          << "" << left;
    QTest::newRow("dx") << "dx"
                        << "K1ABC"
                        << "" << left;
    QTest::newRow("frequency") << "frequency"
                               << "14,025.0"
                               << "" << int(Qt::AlignRight | Qt::AlignVCenter);
    QTest::newRow("band") << "band"
                          << "20m"
                          << "" << left;
    QTest::newRow("spotter") << "spotter"
                             << "W1XY"
                             << "" << left;
    QTest::newRow("comment") << "comment"
                             << ""
                             << "No comment" << left;
    QTest::newRow("dxcc missing") << "dxcc"
                                  << "—"
                                  << "DXCC entity not found" << left;
    QTest::newRow("lotw none") << "lotw"
                               << ""
                               << "No LoTW upload within the last year"
                               << int(Qt::AlignHCenter | Qt::AlignVCenter);
}

void tst_SpotTableModel::cells()
{
    QFETCH(QString, column);
    QFETCH(QString, text);
    QFETCH(QString, tooltip);
    QFETCH(int, alignment);
    SpotTableFixture f;
    SpotTableModel model(f.lotw, f.clock);
    DXSpot spot = makeSpot(1, QString(""));
    spot.callsign = QStringLiteral("K1ABC");
    spot.spotter = QStringLiteral("W1XY");
    spot.frequency = 14025;
    spot.time = QStringLiteral("0905Z");
    spot.dxcc.reset();
    model.reloadSpots({spot});

    const QModelIndex index = model.index(0, spotTableColumnIndex(column));
    QCOMPARE(index.data().toString(), text);
    QCOMPARE(shownToolTip(index.data(Qt::ToolTipRole)), tooltip);
    QCOMPARE(index.data(Qt::TextAlignmentRole).toInt(), alignment);
}

void tst_SpotTableModel::networkText_isShownAsTyped_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");

    QTest::newRow("comment with markup") << "comment"
                                         << "<b>x</b><img src=/etc/passwd>";
    QTest::newRow("comment with entity") << "comment"
                                         << "5&9 &amp; <br> up";
    QTest::newRow("comment with double spaces") << "comment"
                                                << "TNX  QSO   73";
    QTest::newRow("entity name with markup") << "dxcc"
                                             << "<i>Fake</i> Land";
    QTest::newRow("call with markup") << "dx"
                                      << "<u>K1ABC</u>";
}

void tst_SpotTableModel::networkText_isShownAsTyped()
{
    QFETCH(QString, column);
    QFETCH(QString, text);
    SpotTableFixture f;
    SpotTableModel model(f.lotw, f.clock);
    DXSpot spot = makeSpot(1);
    if (column == u"comment")
        spot.comment = text;
    else if (column == u"dxcc")
        spot.dxcc = text;
    else
        spot.callsign = text;
    model.reloadSpots({spot});

    const QModelIndex index = model.index(0, spotTableColumnIndex(column));
    QCOMPARE(index.data().toString(), text);
    const QVariant tooltip = index.data(Qt::ToolTipRole);
    if (tooltip.isValid())
        QCOMPARE(shownToolTip(tooltip), text);
}

void tst_SpotTableModel::alertRows_areFilledAtAlpha()
{
    SpotTableFixture f;
    SpotTableModel model(f.lotw, f.clock);
    const QList<DXSpot> spots = makeSpots(3);
    model.reloadSpots(spots);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    model.setHighlightColors({{spots.at(1).id, {1.0, 0.8, 0.0}}});
    QCOMPARE(changed.count(), 1);
    const auto fill = model.index(1, 3).data(Qt::BackgroundRole).value<QColor>();
    QCOMPARE(fill.redF(), 1.0);
    QVERIFY(qAbs(fill.greenF() - 0.8) < 0.01);
    QVERIFY(qAbs(fill.alphaF() - 0.38) < 0.01);
    QVERIFY(!model.index(0, 3).data(Qt::BackgroundRole).isValid());

    model.setHighlightColors({{spots.at(1).id, {1.0, 0.8, 0.0}}});
    QCOMPARE(changed.count(), 1); // equal colours: nothing to redraw
}

void tst_SpotTableModel::lotwTexts_followReload()
{
    SpotTableFixture f;
    SpotTableModel model(f.lotw, f.clock);
    DXSpot spot = makeSpot(1);
    spot.callsign = QStringLiteral("EA8/G4ABC/P");
    model.reloadSpots({spot});
    const QModelIndex lotw = model.index(0, col(SpotTableColumn::lotw));
    QCOMPARE(lotw.data().toString(), QString());

    f.lotw.replaceAll({{QStringLiteral("G4ABC"), QDate(2026, 1, 5)}});
    QCOMPARE(lotw.data().toString(), QString()); // kept until the reload notice
    model.reloadLoTW();
    QCOMPARE(lotw.data().toString(), QStringLiteral("✓"));
    QCOMPARE(shownToolTip(lotw.data(Qt::ToolTipRole)),
             QStringLiteral("Last LoTW upload: ") + *f.lotw.lastUploadText(u"G4ABC"));
}

void tst_SpotTableModel::copyText_givesTheRowsInAscendingOrder()
{
    SpotTableFixture f;
    SpotTableModel model(f.lotw, f.clock);
    QList<DXSpot> spots = makeSpots(5);
    spots[1].callsign = QStringLiteral("K1ABC");
    spots[1].frequency = 14025;
    spots[1].time = QStringLiteral("0905Z");
    spots[1].comment = QString();
    spots[1].dxcc.reset();
    spots[3].callsign = QStringLiteral("DL1XYZ");
    spots[3].spotter = QStringLiteral("G3SXW");
    spots[3].frequency = 7012.5;
    spots[3].band = QStringLiteral("40m");
    spots[3].time = QStringLiteral("2359Z");
    spots[3].comment = QStringLiteral("CW 599");
    spots[3].dxcc = QStringLiteral("Fed. Rep. of Germany");
    f.lotw.replaceAll({{QStringLiteral("DL1XYZ"), QDate(2026, 11, 1)}});
    model.reloadSpots(spots);

    QCOMPARE(model.copyText({3, 1, 42, -1}),
             QStringLiteral("0905Z\tK1ABC\t14,025.0\t20m\t%1\t\t\t\n"
                            "2359Z\tDL1XYZ\t7,012.5\t40m\tG3SXW\tCW 599\tFed. Rep. of Germany\tYes")
                 .arg(spots[1].spotter));
}

void tst_SpotTableModel::smallPresentation_fontsTwoPointsSmallerNotBelowTen()
{
    SpotTableFixture f;
    const QFont original = QGuiApplication::font();
    for (const auto &[size, small] : {std::pair{15, 13}, std::pair{11, 10}, std::pair{9, 10}}) {
        QFont font = original;
        font.setPixelSize(size);
        QGuiApplication::setFont(font);
        SpotTableModel model(f.lotw, f.clock);
        model.reloadSpots(makeSpots(1));
        const auto fontOf = [&model](int column) {
            return model.index(0, column).data(Qt::FontRole).value<QFont>();
        };
        QCOMPARE(fontOf(3).pixelSize(), size);
        model.setSmallPresentation(true);
        for (int column = 0; column < spotTableColumnCount; ++column)
            QCOMPARE(fontOf(column).pixelSize(), small);
        QCOMPARE(fontOf(col(SpotTableColumn::dx)).weight(), QFont::Medium);
        model.setSmallPresentation(false);
        QCOMPARE(fontOf(3).pixelSize(), size);
    }
    QGuiApplication::setFont(original);
}

QTEST_MAIN(tst_SpotTableModel)
#include "tst_SpotTableModel.moc"
